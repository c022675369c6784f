#include "ByteCodec.h"

#include "CodecKernel.h"

namespace corvane {

// The work is done by the active kernel (CodecKernel.h); all kernels give the same bytes.

std::uint8_t EncodeBytes(std::span<const std::uint8_t> from, std::span<std::uint8_t> to,
                         std::uint8_t running)
{
    return EncodeBytesWith(ActiveCodecKernel(), from, to, running);
}

std::uint8_t DecodeBytes(std::span<const std::uint8_t> from, std::span<std::uint8_t> to,
                         std::uint8_t running)
{
    return DecodeBytesWith(ActiveCodecKernel(), from, to, running);
}

std::uint8_t EncodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running)
{
    return EncodeBytes(bytes, bytes, running);
}

std::uint8_t DecodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running)
{
    return DecodeBytes(bytes, bytes, running);
}

void EncodeBytes(std::span<std::uint8_t> bytes) { EncodeBytes(bytes, 0); }
void DecodeBytes(std::span<std::uint8_t> bytes) { DecodeBytes(bytes, 0); }

}  // namespace corvane
