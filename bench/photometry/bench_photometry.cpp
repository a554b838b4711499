// The colour engine at its two per-scan costs.
//
// BM_ComputeColor     ComputeColor on a 31-point reflectance: what the colour
//                     view spends per scan, with the allocations per call.
// BM_LoadColorTable   reading one weighting set and the locus from the file,
//                     as the colour panel's OK does.
// BM_FindColorTemp    FindColorTemp from the grid (resampling included), as
//                     the irradiance readout does once per scan: the whole
//                     72,000-byte locus file is read on every call. Argument
//                     0: a warm page cache; 1: the file is first dropped from
//                     the page cache, so it comes from disk.
// BM_ColourTemperature DataControl-style short-lived engine per call:
//                     construct, PrepareColorTemp (loads the table), search.
//
// The tables are the shipped ones, copied into a folder beside the build
// tree (QUILLON_BENCH_DIR overrides it), removed at the end.
#include "photometry/color_calc.h"
#include "platform/scripted_prompter.h"

#include "allocation_counter.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace quillon;

namespace {

fs::path benchFolder() {
    const char *chosen = std::getenv("QUILLON_BENCH_DIR");
    fs::path folder = chosen ? fs::path(chosen) : fs::path(QUILLON_BENCH_BUILD_DIR) / "bench_tmp";
    folder /= "photometry";
    fs::create_directories(folder);
    for (const char *name : colour::kShippedFiles) {
        fs::copy_file(fs::path(QUILLON_SHIPPED_DIR) / name, folder / name,
                      fs::copy_options::overwrite_existing);
    }
    return folder;
}

struct Bench {
    Bench() {
        state.programFolder = folder;
        state.settings.colorWord = colour::withSelection(0, 2, 1);
        state.grid.start = 400;
        state.grid.interval = 10;
        state.grid.count = 31;
        state.grid.end = 700;
        for (int i = 0; i < 31; ++i) {
            const double nm = 400 + 10 * i;
            const double d = (nm - 550) / 40;
            state.buffers.gridResult.push_back(
                static_cast<float>(88 * std::exp(-0.693 * d * d * d * d)));
        }
    }
    ~Bench() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder = benchFolder();
    ChannelState state;
    ScriptedPrompter prompter;
};

void dropFromPageCache(const fs::path &file) {
    const int fd = ::open(file.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void BM_ComputeColor(benchmark::State &st) {
    Bench b;
    ColorCalc engine(b.state, b.prompter);
    if (engine.LoadColorTable() != OpResult::Done) {
        st.SkipWithError("no colour table");
        return;
    }
    const long long before = bench::heapAllocations();
    for (auto _ : st) {
        benchmark::DoNotOptimize(engine.ComputeColor());
        benchmark::DoNotOptimize(engine.TileColor());
    }
    st.counters["allocs_per_call"] = static_cast<double>(bench::heapAllocations() - before) /
                                     static_cast<double>(st.iterations());
}
BENCHMARK(BM_ComputeColor);

void BM_LoadColorTable(benchmark::State &st) {
    Bench b;
    ColorCalc engine(b.state, b.prompter);
    for (auto _ : st) {
        benchmark::DoNotOptimize(engine.LoadColorTable());
    }
}
BENCHMARK(BM_LoadColorTable);

void BM_FindColorTemp(benchmark::State &st) {
    Bench b;
    ColorCalc engine(b.state, b.prompter);
    if (engine.PrepareColorTemp() != OpResult::Done) {
        st.SkipWithError("no colour table");
        return;
    }
    const bool cold = st.range(0) != 0;
    for (auto _ : st) {
        if (cold) {
            st.PauseTiming();
            dropFromPageCache(b.folder / colour::kLocusFile);
            st.ResumeTiming();
        }
        benchmark::DoNotOptimize(engine.FindColorTemp(false));
    }
}
BENCHMARK(BM_FindColorTemp)->Arg(0)->Arg(1);

void BM_ColourTemperature(benchmark::State &st) {
    Bench b;
    for (auto _ : st) {
        ColorCalc engine(b.state, b.prompter);
        if (engine.PrepareColorTemp() != OpResult::Done) {
            st.SkipWithError("no colour table");
            return;
        }
        benchmark::DoNotOptimize(engine.FindColorTemp(false));
    }
}
BENCHMARK(BM_ColourTemperature);

} // namespace

BENCHMARK_MAIN();
