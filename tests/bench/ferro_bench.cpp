// Speed and memory of the load and the conversion (Google Benchmark).
//
//   ferro_bench [benchmark flags] [REAL.xm ...]
//       the generated modules, the I/O floor they are compared with, and the
//       load plus conversion of each real module named
//   ferro_bench --peak-rss PATTERNS ROWS CHANNELS
//       writes such a module in a fresh process, then loads and converts it
//       in another and prints that process's peak resident memory
//
// Built in a Release build without sanitizers: scripts/bench.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/byte_reader.hpp"
#include "engine/conversion.hpp"
#include "engine/request_builder.hpp"
#include "support/xm_writer.hpp"
#include "xm/scratch_files.hpp"
#include "xm/xm_reader.hpp"

namespace fs = std::filesystem;
using namespace ferro;

namespace {

constexpr int kRows = 256;

// A folder of its own under the temporary folder, removed at the end.
struct BenchFolder {
    fs::path path;
    explicit BenchFolder(const std::string& tag) {
        path = fs::temp_directory_path() / ("ferro-bench-" + tag + "-" + std::to_string(::getpid()));
        std::error_code ec;
        fs::remove_all(path, ec);
        fs::create_directories(path);
    }
    ~BenchFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

// `patterns` different patterns of `rows` rows played once each, on
// `channels` channels. Each channel plays a note every `spacing` rows with a
// changing pitch and instrument, a key-off half-way and now and then a pan
// effect, so that every track has events all along the song and nothing
// repeats (the loop optimisation looks at every row and finds no repeat).
Bytes generatedModule(int patterns, int rows, int channels, int spacing) {
    test::XmLayout layout;
    layout.channelCount = channels;
    layout.restartPosition = 0;
    layout.orderTable.clear();
    layout.patterns.clear();
    for (int p = 0; p < patterns; ++p) {
        layout.orderTable.push_back(static_cast<std::uint8_t>(p));
        test::XmPatternLayout pattern;
        pattern.rows = rows;
        pattern.cells.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(channels));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < channels; ++c) {
                XmCell& cell = pattern.cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(channels) +
                                             static_cast<std::size_t>(c)];
                const int phase = (r + 3 * c) % spacing;
                if (phase == 0) {
                    const int k = p * rows + r + c;
                    cell = test::noteCell(static_cast<std::uint8_t>(25 + (k * 7) % 48),
                                          static_cast<std::uint8_t>(1 + (k / spacing / 16) % 2));
                    if ((k / spacing) % 8 == 0) {
                        cell.effectType = 8;
                        cell.effectParameter = static_cast<std::uint8_t>(k * 37);
                    }
                } else if (phase == spacing / 2 && (r / spacing) % 4 == 1) {
                    cell.note = kXmKeyOff;
                }
            }
        }
        layout.patterns.push_back(std::move(pattern));
    }
    return test::buildXm(layout);
}

// Every output channel assigned (5 FM, DAC, 2 PSG tone, noise), "Optimise the
// output" on, maps long enough for every instrument.
ConversionRequest requestFor(const XmModule& m) {
    ConversionRequest r = moduleRequest(m);
    const int n = m.channelCount;
    auto channel = [n](int k) { return (k - 1) % n + 1; };
    r.fmChannelCount = 5;
    for (int k = 0; k < 5; ++k) r.fm[static_cast<std::size_t>(k)] = channel(k + 1);
    r.hasDrums = true;
    r.dac = channel(6);
    r.psgChannelCount = 3;
    r.useNoise = true;
    for (int k = 0; k < 3; ++k) r.psg[static_cast<std::size_t>(k)] = channel(7 + k);
    r.optimiseOutput = true;
    for (int key = 0; key < 256; ++key) {
        r.corri.push_back(static_cast<char>(key % 2));
        r.psgorri.push_back(static_cast<char>(1 + key % 8));
        r.norri.push_back(static_cast<char>(1 + key % 2));
        r.dorri.push_back(static_cast<char>(0x81 + key % 6));
    }
    r.voices.resize(2);
    return r;
}

XmModule loadOrDie(const fs::path& dir, const std::string& name) {
    auto loaded = loadXmModule(dir, name, 0);
    if (!std::holds_alternative<XmModule>(loaded)) {
        std::fprintf(stderr, "cannot load %s\n", (dir / name).string().c_str());
        std::exit(1);
    }
    return std::get<XmModule>(loaded);
}

// One generated module per shape, written once.
const fs::path& generatedFolder(int patterns, int channels) {
    static std::map<std::pair<int, int>, std::unique_ptr<BenchFolder>> folders;
    auto& folder = folders[{patterns, channels}];
    if (!folder) {
        folder = std::make_unique<BenchFolder>(std::to_string(patterns) + "x" + std::to_string(channels));
        test::writeFileBytes(folder->path / "song.xm", generatedModule(patterns, kRows, channels, 64));
    }
    return folder->path;
}

void setCellCounters(benchmark::State& state, std::int64_t cells) {
    state.SetComplexityN(cells);
    state.counters["cells"] = static_cast<double>(cells);
    state.counters["ns_per_cell"] =
        benchmark::Counter(static_cast<double>(cells) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                                  benchmark::Counter::kInvert);
}

// The floor: reading the module and writing scratch files of the same sizes,
// with no unpacking, no joining and no conversion.
void BM_ReadModuleWriteScratch(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const fs::path& dir = generatedFolder(patterns, channels);
    const Bytes patternFile(static_cast<std::size_t>(kRows) * kXmCellSize, 0);
    const Bytes rowStream(static_cast<std::size_t>(patterns) * kRows * kXmCellSize, 0);
    for (auto _ : state) {
        deleteScratchFiles(dir);
        const auto module = readWholeFile(dir / "song.xm");
        benchmark::DoNotOptimize(module);
        for (int p = 0; p < patterns; ++p)
            for (int n = 1; n <= channels; ++n) writeWholeFile(dir / patternChannelFileName(p, n), patternFile);
        for (int n = 1; n <= channels; ++n) writeWholeFile(dir / rowStreamFileName(n), rowStream);
    }
    deleteScratchFiles(dir);
    setCellCounters(state, std::int64_t{patterns} * kRows * channels);
}

void BM_Load(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const fs::path& dir = generatedFolder(patterns, channels);
    for (auto _ : state) benchmark::DoNotOptimize(loadOrDie(dir, "song.xm"));
    deleteScratchFiles(dir);
    setCellCounters(state, std::int64_t{patterns} * kRows * channels);
}

void BM_Convert(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const fs::path& dir = generatedFolder(patterns, channels);
    const ConversionRequest request = requestFor(loadOrDie(dir, "song.xm"));
    for (auto _ : state) {
        const ConversionResult result = MAINCONVERSIONCODE(request, seededRandom(1));
        if (!result.succeeded) state.SkipWithError(result.message.c_str());
        state.counters["song_bytes"] = static_cast<double>(result.binaryLength);
    }
    deleteScratchFiles(dir);
    setCellCounters(state, std::int64_t{patterns} * kRows * channels);
}

void BM_LoadAndConvert(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const fs::path& dir = generatedFolder(patterns, channels);
    for (auto _ : state) {
        const ConversionResult result = MAINCONVERSIONCODE(requestFor(loadOrDie(dir, "song.xm")), seededRandom(1));
        if (!result.succeeded) state.SkipWithError(result.message.c_str());
    }
    deleteScratchFiles(dir);
    setCellCounters(state, std::int64_t{patterns} * kRows * channels);
}

// The large module of the issue: 128 patterns x 256 rows x 32 channels.
void largeModule(benchmark::internal::Benchmark* b) {
    b->Args({128, 32})->Unit(benchmark::kMillisecond)->UseRealTime();
}
// How the cost grows: rows (patterns of 256 rows) and channels, each doubled.
void growth(benchmark::internal::Benchmark* b) {
    for (int patterns : {16, 32, 64, 128}) b->Args({patterns, 32});
    for (int channels : {8, 16, 64}) b->Args({128, channels});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Complexity(benchmark::oN);
}

BENCHMARK(BM_ReadModuleWriteScratch)->Apply(largeModule);
BENCHMARK(BM_Load)->Apply(largeModule);
BENCHMARK(BM_Convert)->Apply(largeModule);
BENCHMARK(BM_LoadAndConvert)->Apply(growth);

// A real module: load plus conversion, and the floor for the same module.
void registerRealModule(const fs::path& file) {
    const std::string name = file.filename().string();
    auto folder = std::make_shared<BenchFolder>("real-" + std::to_string(std::hash<std::string>{}(name)));
    fs::copy_file(file, folder->path / name);
    benchmark::RegisterBenchmark(("RealModule/LoadAndConvert/" + name).c_str(), [folder, name](benchmark::State& state) {
        std::string outcome;
        XmModule module;
        for (auto _ : state) {
            module = loadOrDie(folder->path, name);
            const ConversionResult result = MAINCONVERSIONCODE(requestFor(module), seededRandom(1));
            outcome = result.succeeded ? "converted" : "refused: " + result.message;
        }
        deleteScratchFiles(folder->path);
        state.SetLabel(outcome);
        setCellCounters(state, std::int64_t{module.totalRows} * module.channelCount);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("RealModule/Load/" + name).c_str(), [folder, name](benchmark::State& state) {
        XmModule module;
        for (auto _ : state) module = loadOrDie(folder->path, name);
        deleteScratchFiles(folder->path);
        setCellCounters(state, std::int64_t{module.totalRows} * module.channelCount);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
}

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Writes the module in a child process, so that building it in memory does
// not count, then loads and converts it here.
int measurePeakRss(int patterns, int rows, int channels) {
    BenchFolder folder("rss");
    const pid_t child = fork();
    if (child == 0) {
        test::writeFileBytes(folder.path / "song.xm", generatedModule(patterns, rows, channels, 64));
        std::_Exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    const long atStart = peakRssKb();
    const XmModule module = loadOrDie(folder.path, "song.xm");
    const long afterLoad = peakRssKb();
    const ConversionResult result = MAINCONVERSIONCODE(requestFor(module), seededRandom(1));
    const long afterConvert = peakRssKb();
    std::printf("module: %d patterns x %d rows x %d channels, %ju bytes\n", patterns, rows, channels,
                static_cast<std::uintmax_t>(fs::file_size(folder.path / "song.xm")));
    std::printf("peak RSS before loading: %.1f MB\n", atStart / 1024.0);
    std::printf("peak RSS after the load: %.1f MB\n", afterLoad / 1024.0);
    std::printf("peak RSS after the conversion: %.1f MB (%s)\n", afterConvert / 1024.0,
                result.succeeded ? "converted" : result.message.c_str());
    deleteScratchFiles(folder.path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--peak-rss")
        return measurePeakRss(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    std::vector<char*> flags;
    std::vector<fs::path> realModules;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && argv[i][0] != '-') realModules.emplace_back(argv[i]);
        else flags.push_back(argv[i]);
    }
    for (const fs::path& file : realModules) registerRealModule(file);
    int flagCount = static_cast<int>(flags.size());
    benchmark::Initialize(&flagCount, flags.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
