#include "ByteCodec.h"

namespace corvane {

// The plain loops. Each byte waits for the sum before it; faster kernels must match these
// byte for byte.
std::uint8_t EncodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running)
{
    for (std::uint8_t& b : bytes) {
        running = static_cast<std::uint8_t>(running + b);
        b = running;
    }
    return running;
}

std::uint8_t DecodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running)
{
    for (std::uint8_t& b : bytes) {
        const std::uint8_t coded = b;  // remember the coded byte before it is overwritten
        b = static_cast<std::uint8_t>(coded - running);
        running = coded;
    }
    return running;
}

void EncodeBytes(std::span<std::uint8_t> bytes) { EncodeBytes(bytes, 0); }
void DecodeBytes(std::span<std::uint8_t> bytes) { DecodeBytes(bytes, 0); }

}  // namespace corvane
