#include <gtest/gtest.h>

#include <random>

#include "codec/ByteCodec.h"
#include "support/Coded.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::Bytes;
using testing::Encoded;
using testing::FirstDifference;

Bytes Decoded(Bytes bytes)
{
    DecodeBytes(bytes);
    return bytes;
}

struct Example {
    const char* name;
    Bytes plain;
    Bytes coded;
};

TEST(ByteCodec, WorkedExamplesCodeBothWays)
{
    const Example examples[] = {
        {"empty", {}, {}},
        {"single byte", {0x9C}, {0x9C}},
        {"zeros", {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"abc", {0x61, 0x62, 0x63}, {0x61, 0xC3, 0x26}},
        {"wrap", {0xFF, 0x01}, {0xFF, 0x00}},
        {"ones wrap every 256", Bytes(258, 1), [] {
             Bytes b(258);
             for (int i = 0; i < 258; ++i) b[i] = static_cast<std::uint8_t>(i + 1);
             return b;
         }()},
    };
    for (const auto& e : examples) {
        EXPECT_EQ(FirstDifference(Encoded(e.plain), e.coded), "") << e.name;
        EXPECT_EQ(FirstDifference(Decoded(e.coded), e.plain), "") << e.name;
    }
}

TEST(ByteCodec, DecodingPlainBytesAndEncodingTwiceAreNotErrors)
{
    EXPECT_EQ(Decoded({0x61, 0x62, 0x63}), (Bytes{0x61, 0x01, 0x01}));
    const Bytes plain = testing::RandomBytes(1000, 7);
    EXPECT_EQ(FirstDifference(Decoded(Encoded(Encoded(plain))), Encoded(plain)), "");
}

TEST(ByteCodec, RandomBuffersRoundTripAndChunkingChangesNothing)
{
    std::mt19937 generator(2024);
    for (std::size_t length : {0u, 1u, 2u, 15u, 16u, 17u, 255u, 256u, 257u, 4095u, 4097u, 65539u}) {
        const Bytes plain = testing::RandomBytes(length, static_cast<std::uint32_t>(length));
        const Bytes whole = Encoded(plain);
        ASSERT_EQ(whole.size(), plain.size());
        EXPECT_EQ(FirstDifference(Decoded(whole), plain), "") << "length " << length;

        // The same buffer in random chunks, carrying the running value across them.
        Bytes encoded = plain;
        Bytes decoded = whole;
        std::uint8_t encodeRunning = 0;
        std::uint8_t decodeRunning = 0;
        for (std::size_t at = 0; at < length;) {
            const std::size_t size = std::min<std::size_t>(1 + generator() % 97, length - at);
            encodeRunning = EncodeBytes(std::span(encoded).subspan(at, size), encodeRunning);
            decodeRunning = DecodeBytes(std::span(decoded).subspan(at, size), decodeRunning);
            at += size;
        }
        EXPECT_EQ(FirstDifference(encoded, whole), "") << "length " << length;
        EXPECT_EQ(FirstDifference(decoded, plain), "") << "length " << length;

        // The same from one buffer into another, which leaves the source alone.
        Bytes encodedApart(length);
        Bytes decodedApart(length);
        encodeRunning = 0;
        decodeRunning = 0;
        for (std::size_t at = 0; at < length;) {
            const std::size_t size = std::min<std::size_t>(1 + generator() % 97, length - at);
            encodeRunning = EncodeBytes(std::span(plain).subspan(at, size),
                                        std::span(encodedApart).subspan(at, size), encodeRunning);
            decodeRunning = DecodeBytes(std::span(whole).subspan(at, size),
                                        std::span(decodedApart).subspan(at, size), decodeRunning);
            at += size;
        }
        EXPECT_EQ(FirstDifference(encodedApart, whole), "") << "length " << length << ", apart";
        EXPECT_EQ(FirstDifference(decodedApart, plain), "") << "length " << length << ", apart";
    }
}

}  // namespace
}  // namespace corvane
