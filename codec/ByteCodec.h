// The byte codec: a keyless, reversible transform of a byte sequence.
//
// Encoding replaces every byte by the running sum, modulo 256, of all plain bytes up to and
// including it; decoding takes successive differences. Both work in place or from one buffer into
// another, never fail, never allocate, and keep the length:
// coded[i] = (plain[0] + ... + plain[i]) mod 256.
//
// The work is done by the fastest kernel this processor supports; CodecKernel.h names the
// kernels and forces one. Every kernel gives the same bytes.
#pragma once

#include <cstdint>
#include <span>

namespace corvane {

// Codes the whole buffer in place, with the running value starting at 0.
void EncodeBytes(std::span<std::uint8_t> bytes);
void DecodeBytes(std::span<std::uint8_t> bytes);

// Chunked forms. `running` is the last coded byte before this chunk (0 at the start of a
// stream) and the result is the running value for the next chunk, so coding a stream in
// chunks of any size gives exactly the bytes of one whole-buffer call.
std::uint8_t EncodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running);
std::uint8_t DecodeBytes(std::span<std::uint8_t> bytes, std::uint8_t running);

// The chunked forms coding from.size() bytes of `from` into `to`, as a copy that codes on the
// way. `to` must be at least as long as `from`, and either the same bytes (which is coding in
// place) or not overlap them at all; `from` is left unchanged then.
std::uint8_t EncodeBytes(std::span<const std::uint8_t> from, std::span<std::uint8_t> to,
                         std::uint8_t running);
std::uint8_t DecodeBytes(std::span<const std::uint8_t> from, std::span<std::uint8_t> to,
                         std::uint8_t running);

}  // namespace corvane
