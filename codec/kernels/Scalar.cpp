// The plain loops: one byte at a time, each waiting for the sum before it. They are the
// definition of the coding and the reference every other kernel is tested against, so they stay
// as simple as the arithmetic they state.
#include "Kernels.h"

namespace corvane::kernels {

std::uint8_t EncodeScalar(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                          std::uint8_t running)
{
    for (std::size_t i = 0; i < size; ++i) {
        running = static_cast<std::uint8_t>(running + from[i]);
        to[i] = running;
    }
    return running;
}

std::uint8_t DecodeScalar(const std::uint8_t* from, std::uint8_t* to, std::size_t size,
                          std::uint8_t running)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t coded = from[i];  // read before it is overwritten when coding in place
        to[i] = static_cast<std::uint8_t>(coded - running);
        running = coded;
    }
    return running;
}

}  // namespace corvane::kernels
