// Speed and memory of reading and converting modules.
//
//   ferro_bench [benchmark flags] [REAL.xm ...]
//       Google Benchmark: the parse, the in-memory conversion and the
//       windows' load (with its scratch files) of generated modules, and the
//       same for each real module named
//   ferro_bench --versus-openmpt PATTERNS ROWS CHANNELS [RUNS]
//       `ferrocanto-cli convert` of a generated module (every output channel
//       assigned, optimised, .bin and .asm) against libopenmpt's load of the
//       same file: the median of RUNS runs each, and their ratio
//   ferro_bench --peak-rss PATTERNS ROWS CHANNELS
//       the peak resident memory of `ferrocanto-cli convert` of such a module
//
// Built in a Release build without sanitizers: scripts/bench.
#include <benchmark/benchmark.h>
#include <libopenmpt/libopenmpt.hpp>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/byte_reader.hpp"
#include "engine/conversion.hpp"
#include "song/song_choices.hpp"
#include "engine/row_source.hpp"
#include "support/xm_writer.hpp"
#include "voices/voice_hex.hpp"
#include "xm/scratch_files.hpp"
#include "xm/xm_reader.hpp"

extern char** environ;

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
        r.instrumentVoices.push_back(static_cast<char>(key % 2));
        r.instrumentPsgEnvelopes.push_back(static_cast<char>(1 + key % 8));
        r.hihatKinds.push_back(static_cast<char>(1 + key % 2));
        r.drumSamples.push_back(static_cast<char>(0x81 + key % 6));
    }
    r.voices.resize(2);
    return r;
}

XmModule parseOrDie(const Bytes& bytes) {
    auto parsed = parseXmModule(bytes);
    if (!std::holds_alternative<XmModule>(parsed)) {
        std::fprintf(stderr, "cannot parse the module\n");
        std::exit(1);
    }
    XmModule module = std::get<XmModule>(std::move(parsed));
    module.fileName = "song.xm";
    return module;
}

XmModule loadOrDie(const fs::path& dir, const std::string& name) {
    auto loaded = loadXmModule(dir, name);
    if (!std::holds_alternative<XmModule>(loaded)) {
        std::fprintf(stderr, "cannot load %s\n", (dir / name).string().c_str());
        std::exit(1);
    }
    return std::get<XmModule>(loaded);
}

// The in-memory conversion of a parsed module; false when it was refused.
bool convertsInMemory(const XmModule& module, std::size_t* songBytes = nullptr) {
    const MemoryRowSource rows(module);
    const SongConversion song = convertSong(requestFor(module), rows, seededRandom(1));
    if (songBytes) *songBytes = song.binary.size();
    return song.succeeded;
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

const Bytes& generatedBytes(int patterns, int channels) {
    static std::map<std::pair<int, int>, Bytes> modules;
    Bytes& bytes = modules[{patterns, channels}];
    if (bytes.empty()) bytes = *readWholeFile(generatedFolder(patterns, channels) / "song.xm");
    return bytes;
}

void setCellCounters(benchmark::State& state, std::int64_t cells) {
    state.SetComplexityN(cells);
    state.counters["cells"] = static_cast<double>(cells);
    state.counters["ns_per_cell"] =
        benchmark::Counter(static_cast<double>(cells) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                                  benchmark::Counter::kInvert);
}

// The parser alone, bytes already in memory.
void BM_Parse(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const Bytes& bytes = generatedBytes(patterns, channels);
    for (auto _ : state) benchmark::DoNotOptimize(parseOrDie(bytes));
    setCellCounters(state, std::int64_t{patterns} * kRows * channels);
}

// The conversion alone, in memory.
void BM_Convert(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const XmModule module = parseOrDie(generatedBytes(patterns, channels));
    for (auto _ : state) {
        std::size_t songBytes = 0;
        if (!convertsInMemory(module, &songBytes)) state.SkipWithError("refused");
        state.counters["song_bytes"] = static_cast<double>(songBytes);
    }
    setCellCounters(state, std::int64_t{patterns} * kRows * channels);
}

// What the command line does: read the file, parse, convert in memory.
void BM_ReadParseConvert(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const fs::path& dir = generatedFolder(patterns, channels);
    for (auto _ : state) {
        if (!convertsInMemory(parseOrDie(*readWholeFile(dir / "song.xm")))) state.SkipWithError("refused");
    }
    setCellCounters(state, std::int64_t{patterns} * kRows * channels);
}

// The windows' load: the parse and the scratch files (one per pattern and
// channel, and the row streams), nearly all of it the file system's.
void BM_WindowsLoad(benchmark::State& state) {
    const int patterns = static_cast<int>(state.range(0));
    const int channels = static_cast<int>(state.range(1));
    const fs::path& dir = generatedFolder(patterns, channels);
    for (auto _ : state) benchmark::DoNotOptimize(loadOrDie(dir, "song.xm"));
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

BENCHMARK(BM_Parse)->Apply(largeModule);
BENCHMARK(BM_Convert)->Apply(largeModule);
BENCHMARK(BM_WindowsLoad)->Apply(largeModule);
BENCHMARK(BM_ReadParseConvert)->Apply(growth);

// A real module: read, parse and convert in memory; and the windows' load.
void registerRealModule(const fs::path& file) {
    const std::string name = file.filename().string();
    auto folder = std::make_shared<BenchFolder>("real-" + std::to_string(std::hash<std::string>{}(name)));
    fs::copy_file(file, folder->path / name);
    benchmark::RegisterBenchmark(("RealModule/ReadParseConvert/" + name).c_str(), [folder, name](benchmark::State& state) {
        std::string outcome;
        XmModule module;
        for (auto _ : state) {
            module = parseOrDie(*readWholeFile(folder->path / name));
            outcome = convertsInMemory(module) ? "converted" : "refused";
        }
        state.SetLabel(outcome);
        setCellCounters(state, std::int64_t{module.totalRows} * module.channelCount);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("RealModule/WindowsLoad/" + name).c_str(), [folder, name](benchmark::State& state) {
        XmModule module;
        for (auto _ : state) module = loadOrDie(folder->path, name);
        deleteScratchFiles(folder->path);
        setCellCounters(state, std::int64_t{module.totalRows} * module.channelCount);
    })->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The choices of requestFor() as a song setup file for the command line.
std::string setupText(int channels) {
    auto channel = [channels](int k) { return (k - 1) % channels + 1; };
    nlohmann::json instrumentVoices, instrumentPsgEnvelopes, hihatKinds, drumSamples;
    for (int key = 0; key < 256; ++key) {
        instrumentVoices.push_back(key % 2);
        instrumentPsgEnvelopes.push_back(1 + key % 8);
        hihatKinds.push_back(1 + key % 2);
        drumSamples.push_back(0x81 + key % 6);
    }
    const std::string silent = formatVoiceHex(FmVoice{});
    const nlohmann::json setup = {
        {"fmChannelCount", 5}, {"psgChannelCount", 3}, {"hasDrums", true}, {"useNoise", true},
        {"fm", {channel(1), channel(2), channel(3), channel(4), channel(5), nullptr}},
        {"dac", channel(6)}, {"psg", {channel(7), channel(8), channel(9)}}, {"optimiseOutput", true},
        {"corri", instrumentVoices}, {"psgorri", instrumentPsgEnvelopes}, {"norri", hihatKinds}, {"dorri", drumSamples},
        {"voices", {{{"name", "a"}, {"hex", silent}}, {{"name", "b"}, {"hex", silent}}}},
        {"writeBin", true}, {"writeAsm", true}};
    return setup.dump();
}

// Runs the command line; its wall time in seconds, and its peak resident
// memory in kB through `peakKb`. Exits when it fails.
double runCli(const std::vector<std::string>& args, long* peakKb = nullptr) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(FERRO_CLI_PATH));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, FERRO_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", FERRO_CLI_PATH);
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "ferrocanto-cli %s failed\n", args.front().c_str());
        std::exit(1);
    }
    if (peakKb) *peakKb = usage.ru_maxrss;
    return seconds;
}

// A generated module and its setup file in a fresh folder.
std::unique_ptr<BenchFolder> moduleWithSetup(int patterns, int rows, int channels) {
    auto folder = std::make_unique<BenchFolder>("cli");
    test::writeFileBytes(folder->path / "song.xm", generatedModule(patterns, rows, channels, 64));
    std::ofstream(folder->path / "setup.json") << setupText(channels);
    return folder;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int versusOpenMpt(int patterns, int rows, int channels, int runs) {
    const auto folder = moduleWithSetup(patterns, rows, channels);
    const fs::path song = folder->path / "song.xm";
    const std::vector<std::string> convert = {"convert", song.string(), "--setup",
                                              (folder->path / "setup.json").string(), "--seed", "1"};
    std::vector<double> cli, openmpt;
    for (int i = 0; i < runs; ++i) {
        cli.push_back(runCli(convert));
        const auto start = std::chrono::steady_clock::now();
        {
            std::ifstream in(song, std::ios::binary);
            openmpt::module module(in);
            benchmark::DoNotOptimize(module.get_num_patterns());
        }
        openmpt.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    const double ours = median(cli);
    const double theirs = median(openmpt);
    std::printf("module: %d patterns x %d rows x %d channels, %ju bytes; median of %d runs\n", patterns, rows,
                channels, static_cast<std::uintmax_t>(fs::file_size(song)), runs);
    std::printf("ferrocanto-cli convert (.bin and .asm): %.1f ms\n", ours * 1e3);
    std::printf("libopenmpt load:                        %.1f ms\n", theirs * 1e3);
    std::printf("ratio: %.2f\n", ours / theirs);
    return 0;
}

int measurePeakRss(int patterns, int rows, int channels) {
    const auto folder = moduleWithSetup(patterns, rows, channels);
    const fs::path song = folder->path / "song.xm";
    long convertKb = 0;
    long infoKb = 0;
    runCli({"convert", song.string(), "--setup", (folder->path / "setup.json").string(), "--seed", "1"}, &convertKb);
    runCli({"info", song.string()}, &infoKb);
    std::printf("module: %d patterns x %d rows x %d channels, %ju bytes\n", patterns, rows, channels,
                static_cast<std::uintmax_t>(fs::file_size(song)));
    std::printf("peak RSS of ferrocanto-cli info:    %.1f MB\n", infoKb / 1024.0);
    std::printf("peak RSS of ferrocanto-cli convert: %.1f MB\n", convertKb / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    // The command line's setup gives each of the nine output channels its own
    // XM channel; with fewer, FM and PSG would share one and be refused.
    if ((mode == "--versus-openmpt" || mode == "--peak-rss") && argc >= 5 && std::atoi(argv[4]) < 9) {
        std::fprintf(stderr, "%s needs at least 9 channels\n", mode.c_str());
        return 2;
    }
    if ((argc == 5 || argc == 6) && mode == "--versus-openmpt")
        return versusOpenMpt(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                             argc == 6 ? std::max(1, std::atoi(argv[5])) : 5);
    if (argc == 5 && mode == "--peak-rss")
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
