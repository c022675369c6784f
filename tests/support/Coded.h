// Test helpers around the codec, for every system the codec is built for.
#pragma once

#include "codec/ByteCodec.h"
#include "support/TempDir.h"

namespace corvane::testing {

// `bytes` as the codec encodes them, whole.
inline Bytes Encoded(Bytes bytes)
{
    EncodeBytes(bytes);
    return bytes;
}

}  // namespace corvane::testing
