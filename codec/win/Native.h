// What the file layer holds on Windows beside what it holds on every system. Internal to the
// codec library.
#pragma once

namespace corvane::detail {

using NativeHandle = void*;  // a HANDLE
inline constexpr NativeHandle kNoHandle = nullptr;

// A destination on Windows needs nothing beyond what every system's holds: its folder is
// named, not opened.
struct NativeDestination {};

}  // namespace corvane::detail
