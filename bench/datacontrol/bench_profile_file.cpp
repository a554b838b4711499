// Loading large settings files: one section of 100,000 keys, and 50,000
// sections of one key each (the two shapes that cost most when every entry
// is looked up by a scan), then saving and looking up all their entries.
#include "datacontrol/profile_file.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

fs::path benchFile(const std::string &name, const std::string &content) {
    const fs::path folder =
        fs::temp_directory_path() / ("quillon-bench-profile-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
}

std::string manyKeys(int count) {
    std::string text = "[Big]\n";
    for (int i = 0; i < count; ++i) {
        text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    }
    return text;
}

std::string manySections(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "[Section " + std::to_string(i) + "]\nValue=" + std::to_string(i) + "\n";
    }
    return text;
}

void loadFile(benchmark::State &state, const fs::path &file) {
    std::size_t sections = 0;
    for (auto _ : state) {
        quillon::ProfileFile profile;
        profile.SetPath(file);
        if (!profile.Load()) {
            state.SkipWithError("cannot load the file");
            return;
        }
        sections = profile.SectionCount();
        benchmark::DoNotOptimize(sections);
    }
    state.counters["sections"] = static_cast<double>(sections);
    state.counters["bytes"] = static_cast<double>(fs::file_size(file));
}

void BM_Load100000Keys(benchmark::State &state) {
    loadFile(state, benchFile("keys.ini", manyKeys(100000)));
}
BENCHMARK(BM_Load100000Keys)->Unit(benchmark::kMillisecond);

void BM_Load50000Sections(benchmark::State &state) {
    loadFile(state, benchFile("sections.ini", manySections(50000)));
}
BENCHMARK(BM_Load50000Sections)->Unit(benchmark::kMillisecond);

// Every key of the 100,000 looked up once.
void BM_Lookup100000Keys(benchmark::State &state) {
    quillon::ProfileFile profile;
    profile.SetPath(benchFile("lookup.ini", manyKeys(100000)));
    if (!profile.Load()) {
        state.SkipWithError("cannot load the file");
        return;
    }
    std::vector<std::string> keys;
    for (int i = 0; i < 100000; ++i) {
        keys.push_back("Key" + std::to_string(i));
    }
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const auto &key : keys) {
            sum += profile.GetInt("Big", key);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_Lookup100000Keys)->Unit(benchmark::kMillisecond);

void BM_Save50000Sections(benchmark::State &state) {
    quillon::ProfileFile profile;
    profile.SetPath(benchFile("save.ini", manySections(50000)));
    if (!profile.Load()) {
        state.SkipWithError("cannot load the file");
        return;
    }
    for (auto _ : state) {
        if (!profile.Save()) {
            state.SkipWithError("cannot save the file");
            return;
        }
    }
}
BENCHMARK(BM_Save50000Sections)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(fs::temp_directory_path() /
                       ("quillon-bench-profile-" + std::to_string(::getpid())),
                   ignored);
    return 0;
}
