// Expected results for tests, coded here by the definition itself rather than by the codec under
// test: each encoded byte is the running sum of the plain bytes up to it, modulo 256; decoding
// takes successive differences. For every system the codec is built for.
#pragma once

#include <cstdint>
#include <utility>

#include "support/TempDir.h"

namespace corvane::testing {

// `bytes` encoded, whole.
inline Bytes Encoded(Bytes bytes)
{
    std::uint8_t sum = 0;
    for (std::uint8_t& byte : bytes) byte = sum = static_cast<std::uint8_t>(sum + byte);
    return bytes;
}

// `bytes` decoded, whole.
inline Bytes Decoded(Bytes bytes)
{
    std::uint8_t previous = 0;
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(byte - std::exchange(previous, byte));
    return bytes;
}

}  // namespace corvane::testing
