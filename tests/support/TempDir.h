// A fresh folder under the system's temporary folder, removed with everything in it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <stdlib.h>
#endif

namespace corvane::testing {

using Bytes = std::vector<std::uint8_t>;

class TempDir {
public:
    TempDir() : TempDir(std::filesystem::temp_directory_path()) {}
    // A fresh folder in `under` instead (a file system a test needs); check Made() then.
    explicit TempDir(const std::filesystem::path& under)
    {
        std::string pattern = (under / "corvane-test-XXXXXX").string();
#ifdef _WIN32
        path_ = under / ("corvane-test-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(path_);
#else
        if (const char* made = ::mkdtemp(pattern.data())) path_ = made;
#endif
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (Made()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Made() const { return !path_.empty(); }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes RandomBytes(std::size_t size, std::uint32_t seed)
{
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(generator());
    return bytes;
}

// "" when equal, else where and how the two first differ: for failure messages.
inline std::string FirstDifference(const Bytes& actual, const Bytes& expected)
{
    if (actual.size() != expected.size()) {
        return "length " + std::to_string(actual.size()) + ", expected " + std::to_string(expected.size());
    }
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected[i]) {
            return "byte " + std::to_string(i) + " is " + std::to_string(actual[i]) + ", expected " +
                   std::to_string(expected[i]);
        }
    }
    return {};
}

// The names of the files in a folder (not recursive), sorted.
inline std::vector<std::string> FileNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace corvane::testing
