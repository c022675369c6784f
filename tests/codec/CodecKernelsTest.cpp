// Every kernel against the plain loop, across vector widths, chunk edges, data and placement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>

#include "codec/ByteCodec.h"
#include "codec/CodecKernel.h"
#include "support/TempDir.h"

namespace corvane {

// Names the kernel in test names and messages rather than printing its bytes.
void PrintTo(CodecKernel kernel, std::ostream* out) { *out << CodecKernelName(kernel); }

namespace {

using testing::Bytes;
using testing::FirstDifference;

enum class Direction { Encode, Decode };
enum class Placement { InPlace, Apart };

// Lengths around each vector width (16, 32, 64) and chunk size used here, and one that is not a
// multiple of anything.
constexpr std::size_t kLengths[] = {0,  1,  15, 16, 17, 31,   32,   33,
                                    63, 64, 65, 4095, 4096, 4097, (1u << 20) + 3};
constexpr std::size_t kWhole = 0;
constexpr std::size_t kChunks[] = {1, 7, 64, 4096, kWhole};

Bytes Ramp(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
}

const struct {
    const char* name;
    Bytes (*make)(std::size_t);
} kData[] = {
    {"random",
     [](std::size_t size) { return testing::RandomBytes(size, static_cast<std::uint32_t>(size)); }},
    {"all 0xFF", [](std::size_t size) { return Bytes(size, 0xFF); }},
    {"0..255 ramp", Ramp},
};

std::uint8_t CodeWith(CodecKernel kernel, Direction direction, std::span<const std::uint8_t> from,
                      std::span<std::uint8_t> to, std::uint8_t running)
{
    return direction == Direction::Encode ? EncodeBytesWith(kernel, from, to, running)
                                          : DecodeBytesWith(kernel, from, to, running);
}

struct Coded {
    Bytes bytes;
    std::uint8_t running = 0;  // what the last call returned
};

// Codes `input` with one kernel in chunks of `chunk` bytes (kWhole: one call), carrying the
// running value from chunk to chunk.
Coded Code(CodecKernel kernel, Direction direction, const Bytes& input, std::size_t chunk,
           Placement placement)
{
    Coded result{placement == Placement::InPlace ? input : Bytes(input.size())};
    const std::span<const std::uint8_t> source =
        placement == Placement::InPlace ? std::span<const std::uint8_t>(result.bytes) : input;
    const std::size_t step = chunk == kWhole ? std::max<std::size_t>(input.size(), 1) : chunk;
    for (std::size_t at = 0; at < input.size(); at += step) {
        const std::size_t size = std::min(step, input.size() - at);
        result.running = CodeWith(kernel, direction, source.subspan(at, size),
                                  std::span(result.bytes).subspan(at, size), result.running);
    }
    return result;
}

std::string Describe(CodecKernel kernel, Direction direction, const char* data, std::size_t length,
                     std::size_t chunk, Placement placement)
{
    std::string text(CodecKernelName(kernel));
    text += direction == Direction::Encode ? " encode of " : " decode of ";
    text += std::string(data) + ", " + std::to_string(length) + " bytes";
    text += chunk == kWhole ? " in one call" : " in chunks of " + std::to_string(chunk);
    text += placement == Placement::InPlace ? ", in place" : ", into another buffer";
    return text;
}

// Runs the test body with `kernel` active and puts back the kernel that was active before.
class KernelForced {
public:
    explicit KernelForced(CodecKernel kernel) { EXPECT_TRUE(SetCodecKernel(kernel)); }
    ~KernelForced() { SetCodecKernel(previous_); }
    KernelForced(const KernelForced&) = delete;
    KernelForced& operator=(const KernelForced&) = delete;

private:
    CodecKernel previous_ = ActiveCodecKernel();
};

class CodecKernels : public ::testing::TestWithParam<CodecKernel> {
protected:
    void SetUp() override
    {
        if (!CodecKernelSupported(GetParam())) {
            GTEST_SKIP() << "this build or processor has no " << CodecKernelName(GetParam())
                         << " kernel";
        }
    }
};

TEST_P(CodecKernels, MatchThePlainLoopAtEveryLengthChunkingAndPlacement)
{
    const CodecKernel kernel = GetParam();
    for (const std::size_t length : kLengths) {
        for (const auto& data : kData) {
            const Bytes input = data.make(length);
            for (const Direction direction : {Direction::Encode, Direction::Decode}) {
                const Coded expected =
                    Code(CodecKernel::Scalar, direction, input, kWhole, Placement::Apart);
                // The running value handed on is the last coded byte: written when encoding,
                // read when decoding.
                const Bytes& coded = direction == Direction::Encode ? expected.bytes : input;
                ASSERT_EQ(expected.running, length == 0 ? 0 : coded.back());

                for (const std::size_t chunk : kChunks) {
                    for (const Placement placement : {Placement::InPlace, Placement::Apart}) {
                        const Coded actual = Code(kernel, direction, input, chunk, placement);
                        const std::string what =
                            Describe(kernel, direction, data.name, length, chunk, placement);
                        ASSERT_EQ(FirstDifference(actual.bytes, expected.bytes), "") << what;
                        ASSERT_EQ(actual.running, expected.running) << what << ": running value";
                    }
                }
            }
        }
    }
}

TEST_P(CodecKernels, LeaveTheSourceAloneWhenCodingIntoAnotherBuffer)
{
    const Bytes input = testing::RandomBytes(4097, 11);
    for (const Direction direction : {Direction::Encode, Direction::Decode}) {
        Bytes output(input.size());
        const Bytes before = input;
        CodeWith(GetParam(), direction, input, output, 0);
        EXPECT_EQ(FirstDifference(input, before), "") << CodecKernelName(GetParam());
    }
}

TEST_P(CodecKernels, DriveTheByteCodecWhenForced)
{
    const KernelForced forced(GetParam());
    EXPECT_EQ(ActiveCodecKernel(), GetParam());

    const Bytes plain = testing::RandomBytes((1u << 16) + 5, 3);
    const Bytes coded =
        Code(CodecKernel::Scalar, Direction::Encode, plain, kWhole, Placement::Apart).bytes;
    Bytes bytes = plain;
    EncodeBytes(bytes);
    EXPECT_EQ(FirstDifference(bytes, coded), "") << CodecKernelName(GetParam()) << " EncodeBytes";
    DecodeBytes(bytes);
    EXPECT_EQ(FirstDifference(bytes, plain), "") << CodecKernelName(GetParam()) << " DecodeBytes";

    // The chunked forms, starting from a running value other than 0.
    const std::uint8_t start = 0xA5;
    Bytes chunked = plain;
    const std::uint8_t running = EncodeBytes(std::span(chunked).first(1000), start);
    EncodeBytes(std::span(chunked).subspan(1000), running);
    Bytes whole = plain;
    EncodeBytesWith(CodecKernel::Scalar, whole, whole, start);
    EXPECT_EQ(FirstDifference(chunked, whole), "") << CodecKernelName(GetParam()) << " chunked EncodeBytes";
}

INSTANTIATE_TEST_SUITE_P(Each, CodecKernels, ::testing::ValuesIn(kCodecKernels),
                         [](const ::testing::TestParamInfo<CodecKernel>& info) {
                             return std::string(CodecKernelName(info.param));
                         });

TEST(CodecKernelSelection, NamesRoundTripAndUnknownNamesAreRefused)
{
    for (const CodecKernel kernel : kCodecKernels) {
        EXPECT_EQ(CodecKernelNamed(CodecKernelName(kernel)), kernel) << CodecKernelName(kernel);
    }
    for (const char* name : {"", "AVX2", "avx512", "scalar "}) {
        EXPECT_EQ(CodecKernelNamed(name), std::nullopt) << '"' << name << '"';
    }
}

TEST(CodecKernelSelection, ARequestIsHonouredOnlyWhenSupported)
{
    EXPECT_TRUE(CodecKernelSupported(CodecKernel::Scalar));
    const CodecKernel fastest = ChooseCodecKernel(std::nullopt);
    EXPECT_TRUE(CodecKernelSupported(fastest));
    EXPECT_EQ(ChooseCodecKernel("no such kernel"), fastest);

    for (const CodecKernel kernel : kCodecKernels) {
        const CodecKernel before = ActiveCodecKernel();
        if (CodecKernelSupported(kernel)) {
            EXPECT_EQ(ChooseCodecKernel(CodecKernelName(kernel)), kernel);
            const KernelForced forced(kernel);
            EXPECT_EQ(ActiveCodecKernel(), kernel);
        } else {
            EXPECT_EQ(ChooseCodecKernel(CodecKernelName(kernel)), fastest);
            EXPECT_FALSE(SetCodecKernel(kernel)) << CodecKernelName(kernel);
            EXPECT_EQ(ActiveCodecKernel(), before) << CodecKernelName(kernel);
        }
    }
}

// Also run by CTest once per kernel name in CORVANE_CODEC_KERNEL (tests/codec/CMakeLists.txt).
TEST(CodecKernelSelection, TheEnvironmentChoosesTheKernelAtStart)
{
    const char* requested = std::getenv("CORVANE_CODEC_KERNEL");
    const auto named = requested ? CodecKernelNamed(requested) : std::nullopt;
    if (named && CodecKernelSupported(*named)) {
        EXPECT_EQ(ActiveCodecKernel(), *named) << "CORVANE_CODEC_KERNEL=" << requested;
    } else {
        EXPECT_EQ(ActiveCodecKernel(), ChooseCodecKernel(std::nullopt))
            << "CORVANE_CODEC_KERNEL=" << (requested ? requested : "(unset)");
    }
}

}  // namespace
}  // namespace corvane
