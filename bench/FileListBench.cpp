// Listing a folder of 100,000 files in the file list, against a bare listing of the same
// folder by the standard library, measured in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/RatioReport.h"
#include "platform/FileList.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 100'000;

const fs::path& Folder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / "corvane-bench-100k";
        if (!fs::exists(path / "file-99999.dat")) {
            fs::create_directories(path);
            for (int i = 0; i < kFiles; ++i) std::ofstream(path / ("file-" + std::to_string(i) + ".dat"));
        }
        return path;
    }();
    return folder;
}

void BM_BareListing(benchmark::State& state)
{
    for (auto _ : state) {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(Folder())) count += entry.is_regular_file();
        benchmark::DoNotOptimize(count);
    }
}

void BM_FileListSetPath(benchmark::State& state)
{
    corvane::platform::FileList list;
    list.resize(280, 290);
    list.show();
    const QString folder = QString::fromStdString(Folder().string());
    for (auto _ : state) {
        if (const auto error = list.SetPath(folder)) {
            state.SkipWithError(corvane::ErrorLine(*error).c_str());
            break;
        }
        QApplication::processEvents();  // the view lays out and paints its first page
        benchmark::DoNotOptimize(list.ListCount());
    }
}

BENCHMARK(BM_BareListing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileListSetPath)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Folder();  // made once, outside the measurements
    corvane::bench::RatioReport report;
    benchmark::RunSpecifiedBenchmarks(&report);
    const auto* bare = report.Find("BM_BareListing");
    const auto* list = report.Find("BM_FileListSetPath");
    if (bare && list) {
        std::printf("\n%d files: file list %.1f ms (median), bare listing %.1f ms, ratio %.2fx\n", kFiles,
                    list->seconds * 1e3, bare->seconds * 1e3, list->seconds / bare->seconds);
    }
    return 0;
}
