// Every kernel against the plain loop, across vector widths, chunk edges, data and placement.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "codec/ByteCodec.h"
#include "codec/CodecKernel.h"
#include "support/TempDir.h"

namespace corvane {

// Names the kernel in test names and messages rather than printing its bytes.
void PrintTo(CodecKernel kernel, std::ostream* out) { *out << CodecKernelName(kernel); }
void PrintTo(const Error& error, std::ostream* out) { *out << ErrorLine(error); }

namespace {

using testing::Bytes;
using testing::FirstDifference;

enum class Direction { Encode, Decode };
enum class Placement { InPlace, Apart };

// Lengths around each vector width (16, 32, 64), the 512 bytes the AVX-512 kernel takes per step
// and each chunk size used here, and one that is not a multiple of anything.
constexpr std::size_t kLengths[] = {0,   1,   15,  16,   17,   31,   32,   33,   63,
                                    64,  65,  511, 512,  513,  1000, 4095, 4096, 4097,
                                    (1u << 20) + 3};
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
    explicit KernelForced(CodecKernel kernel)
    {
        if (const auto error = SetCodecKernel(kernel)) ADD_FAILURE() << ErrorLine(*error);
    }
    ~KernelForced() { (void)SetCodecKernel(previous_); }
    KernelForced(const KernelForced&) = delete;
    KernelForced& operator=(const KernelForced&) = delete;

private:
    CodecKernel previous_ = ActiveCodecKernel();
};

// Sets CORVANE_CODEC_KERNEL (nullptr: unsets it) for the life of this object.
class EnvironmentSet {
public:
    explicit EnvironmentSet(const char* value)
    {
        if (const char* before = std::getenv(kName)) previous_ = before;
        Set(value);
    }
    ~EnvironmentSet() { Set(previous_ ? previous_->c_str() : nullptr); }
    EnvironmentSet(const EnvironmentSet&) = delete;
    EnvironmentSet& operator=(const EnvironmentSet&) = delete;

private:
    static constexpr const char* kName = "CORVANE_CODEC_KERNEL";
    static void Set(const char* value)
    {
#ifdef _WIN32
        _putenv_s(kName, value ? value : "");
#else
        value ? setenv(kName, value, 1) : unsetenv(kName);
#endif
    }
    std::optional<std::string> previous_;
};

// The whole test program honours CORVANE_CODEC_KERNEL, as Corvane's programs do: CTest runs the
// byte codec's tests once per kernel name (tests/codec/CMakeLists.txt). A kernel this processor
// cannot run skips every test and says why, rather than test another kernel under its name.
class KernelFromEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        const auto error = CodecKernelFromEnvironment();
        if (!error) return;
        const auto named = CodecKernelNamed(std::getenv("CORVANE_CODEC_KERNEL"));
        if (named && !CodecKernelSupported(*named)) GTEST_SKIP() << ErrorLine(*error);
        FAIL() << ErrorLine(*error);
    }
};
const auto* const kKernelFromEnvironment = ::testing::AddGlobalTestEnvironment(new KernelFromEnvironment);

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

    // The forms coding into another buffer.
    Bytes apart(plain.size());
    EXPECT_EQ(EncodeBytes(plain, apart, start), whole.back());
    EXPECT_EQ(FirstDifference(apart, whole), "") << CodecKernelName(GetParam()) << " EncodeBytes apart";
    Bytes decoded(plain.size());
    EXPECT_EQ(DecodeBytes(apart, decoded, start), whole.back());
    EXPECT_EQ(FirstDifference(decoded, plain), "") << CodecKernelName(GetParam()) << " DecodeBytes apart";
}

INSTANTIATE_TEST_SUITE_P(Each, CodecKernels, ::testing::ValuesIn(kCodecKernels),
                         [](const ::testing::TestParamInfo<CodecKernel>& info) {
                             return std::string(CodecKernelName(info.param));
                         });

TEST(CodecKernelSelection, NamesRoundTripAndUnknownNamesAreRefusedWithTheChoices)
{
    for (const CodecKernel kernel : kCodecKernels) {
        EXPECT_EQ(CodecKernelNamed(CodecKernelName(kernel)), kernel) << CodecKernelName(kernel);
    }
    // The name comes from the user's environment: one that would clear a terminal is shown escaped.
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"", ""}, {"sse", "sse"}, {"AVX2", "AVX2"}, {"avx-512", "avx-512"}, {"scalar ", "scalar "},
        {"sse\n\x1b[2J", "sse\\n\\x1b[2J"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE('"' + c.shown + '"');
        EXPECT_EQ(CodecKernelNamed(c.name), std::nullopt);
        const auto parsed = ParseCodecKernel(c.name);
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.error(),
                  (Error{EINVAL, "no codec kernel is called \"" + c.shown +
                                     "\"; the kernels are scalar, sse2, avx2 and avx512"}));
    }
}

TEST(CodecKernelSelection, AForcedKernelRunsOrIsAnErrorThatChangesNothing)
{
    EXPECT_TRUE(CodecKernelSupported(CodecKernel::Scalar));
    EXPECT_TRUE(CodecKernelSupported(FastestCodecKernel()));
    for (const CodecKernel kernel : kCodecKernels) {
        SCOPED_TRACE(CodecKernelName(kernel));
        const CodecKernel before = ActiveCodecKernel();
        const auto parsed = ParseCodecKernel(CodecKernelName(kernel));
        if (CodecKernelSupported(kernel)) {
            ASSERT_TRUE(parsed) << ErrorLine(parsed.error());
            EXPECT_EQ(*parsed, kernel);
            const KernelForced forced(kernel);
            EXPECT_EQ(ActiveCodecKernel(), kernel);
        } else {
            ASSERT_FALSE(parsed);
            EXPECT_EQ(parsed.error().number, EINVAL);
            EXPECT_EQ(parsed.error().description.rfind("this processor cannot run the " +
                                                           std::string(CodecKernelName(kernel)) +
                                                           " codec kernel; it can run scalar, sse2",
                                                       0),
                      0u)
                << parsed.error().description;
            const auto error = SetCodecKernel(kernel);
            EXPECT_EQ(error, std::optional<Error>(parsed.error()));
            EXPECT_EQ(ActiveCodecKernel(), before);
        }
    }
}

TEST(CodecKernelSelection, TheEnvironmentVariableForcesAKernelOrIsReportedAsAnError)
{
    const KernelForced restored(ActiveCodecKernel());
    for (const CodecKernel kernel : kCodecKernels) {
        SCOPED_TRACE(CodecKernelName(kernel));
        const EnvironmentSet set(std::string(CodecKernelName(kernel)).c_str());
        const auto error = CodecKernelFromEnvironment();
        if (CodecKernelSupported(kernel)) {
            EXPECT_EQ(error, std::nullopt);
            EXPECT_EQ(ActiveCodecKernel(), kernel);
        } else {
            ASSERT_NE(error, std::nullopt);
            EXPECT_EQ(error->description.rfind("CORVANE_CODEC_KERNEL: this processor cannot run", 0), 0u)
                << error->description;
        }
    }

    ASSERT_EQ(SetCodecKernel(CodecKernel::Scalar), std::nullopt);
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        const EnvironmentSet set(value);
        EXPECT_EQ(CodecKernelFromEnvironment(), std::nullopt) << (value ? "empty" : "unset");
        EXPECT_EQ(ActiveCodecKernel(), CodecKernel::Scalar) << (value ? "empty" : "unset");
    }
    const EnvironmentSet set("sse");
    EXPECT_EQ(CodecKernelFromEnvironment(),
              (Error{EINVAL, "CORVANE_CODEC_KERNEL: no codec kernel is called \"sse\"; the kernels are "
                             "scalar, sse2, avx2 and avx512"}));
    EXPECT_EQ(ActiveCodecKernel(), CodecKernel::Scalar);
}

// Also run by CTest once per kernel name in CORVANE_CODEC_KERNEL (tests/codec/CMakeLists.txt).
TEST(CodecKernelSelection, TheEnvironmentChoosesTheKernelAtStart)
{
    const char* requested = std::getenv("CORVANE_CODEC_KERNEL");
    if (requested && *requested) {
        EXPECT_EQ(ActiveCodecKernel(), CodecKernelNamed(requested)) << "CORVANE_CODEC_KERNEL=" << requested;
    } else {
        EXPECT_EQ(ActiveCodecKernel(), FastestCodecKernel()) << "CORVANE_CODEC_KERNEL unset";
    }
}

}  // namespace
}  // namespace corvane
