#include "ByteCodec.h"

#include "CodecKernel.h"

namespace corvane {

// The work is done by the active kernel (CodecKernel.h); all kernels give the same bytes.

std::uint8_t EncodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running)
{
    return EncodeBytesWith(ActiveCodecKernel(), bytes, bytes, running);
}

std::uint8_t DecodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running)
{
    return DecodeBytesWith(ActiveCodecKernel(), bytes, bytes, running);
}

void EncodeBytes(std::span<std::uint8_t> bytes) { EncodeBytes(bytes, 0); }
void DecodeBytes(std::span<std::uint8_t> bytes) { DecodeBytes(bytes, 0); }

}  // namespace corvane
