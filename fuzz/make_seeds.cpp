// Writes small valid inputs for every fuzz target, so that each run starts
// from files that reach deep into the readers:
//   make_seeds OUT
// creates OUT/<target>/seed-<k> for the targets xm_reader, voice_import,
// paste, auto_fill, setup_file and player.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/player/player_test_util.hpp"
#include "support/xm_writer.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_bank.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"

namespace fs = std::filesystem;
using namespace ferro;
using ferro::test::XmPatternLayout;
using ferro::test::XmLayout;
using Seed = std::vector<std::uint8_t>;

namespace {

void put(Seed& out, std::initializer_list<int> values) {
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
}
void put(Seed& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

FmVoice sampleVoice(int k) {
    FmVoice v;
    for (int i = 0; i < kFmVoiceSize; ++i) v.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k * 31 + i * 7);
    return v;
}

// A pattern of `rows` x `channels` cells with notes, key-offs, instruments,
// pan effects and, when `breakRow` >= 0, a pattern break.
XmPatternLayout pattern(int rows, int channels, int seed, int breakRow = -1) {
    XmPatternLayout p;
    p.rows = rows;
    p.cells.resize(static_cast<std::size_t>(rows * channels));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < channels; ++c) {
            XmCell& cell = p.cells[static_cast<std::size_t>(r * channels + c)];
            const int k = r * 7 + c * 3 + seed;
            if (k % 4 == 0) cell = test::noteCell(static_cast<std::uint8_t>(1 + (k * 5) % 95), static_cast<std::uint8_t>(1 + k % 4));
            if (k % 11 == 0) cell.note = kXmKeyOff;
            if (k % 9 == 0) { cell.effectType = 8; cell.effectParameter = static_cast<std::uint8_t>(k * 40); }
            if (r == breakRow && c == 0) cell.effectType = kXmPatternBreak;
        }
    }
    return p;
}

Seed cnamBlock(const std::vector<std::string>& names) {
    Seed out;
    put(out, "CNAM");
    const std::size_t length = names.size() * 20;
    put(out, {static_cast<int>(length & 0xFF), static_cast<int>((length >> 8) & 0xFF), 0, 0});
    for (const std::string& n : names) {
        for (std::size_t i = 0; i < 20; ++i) out.push_back(i < n.size() ? static_cast<std::uint8_t>(n[i]) : 0);
    }
    return out;
}

std::vector<Seed> xmSeeds() {
    std::vector<Seed> seeds;
    {  // Two patterns, one repeated, a restart position: an intro and a loop.
        XmLayout s;
        s.channelCount = 4;
        s.orderTable = {0, 1, 0};
        s.restartPosition = 1;
        s.patterns = {pattern(16, 4, 0), pattern(8, 4, 3)};
        s.trailer = {0x0F, 0x00};
        seeds.push_back(test::buildXm(s));
    }
    {  // A break, unpacked cells, a long header, a pattern with no data.
        XmLayout s;
        s.channelCount = 3;
        s.orderTable = {1, 0, 2};
        s.extraHeaderBytes = 12;
        XmPatternLayout plain = pattern(12, 3, 1, 5);
        plain.packed = false;
        plain.extraHeaderBytes = 3;
        XmPatternLayout empty;
        empty.rows = 4;
        empty.storeNoData = true;
        s.patterns = {plain, empty, pattern(6, 3, 2)};
        s.trailer = {0xB6, 0x01};
        seeds.push_back(test::buildXm(s));
    }
    {  // Eight channels named for Auto fill, an order entry with no pattern.
        XmLayout s;
        s.channelCount = 8;
        s.orderTable = {0, 5};
        s.patterns = {pattern(8, 8, 4)};
        s.trailer = cnamBlock({"FM1", "FM 2", "PSG1", "psg2", "NOISE", "DAC", "FM3 lead", "x"});
        seeds.push_back(test::buildXm(s));
    }
    {  // One channel, one row.
        XmLayout s;
        s.channelCount = 1;
        s.patterns = {pattern(1, 1, 0)};
        seeds.push_back(test::buildXm(s));
    }
    return seeds;
}

std::vector<Seed> voiceSeeds() {
    std::vector<Seed> seeds;
    auto withKind = [](VoiceFileKind kind, const Seed& body) {
        Seed s{static_cast<std::uint8_t>(kind)};
        s.insert(s.end(), body.begin(), body.end());
        return s;
    };
    SongVoiceList list;
    list.add("Lead", sampleVoice(1));
    list.add("Bass guitar", sampleVoice(2));
    list.add("", sampleVoice(3));
    for (const BankFormat format : {BankFormat::Raw, BankFormat::Fcv, BankFormat::Ymx}) {
        const auto bank = encodeVoiceBank(list, format);
        if (!bank) continue;
        const VoiceFileKind kind = format == BankFormat::Raw   ? VoiceFileKind::Raw25
                                   : format == BankFormat::Fcv ? VoiceFileKind::Fcv
                                                               : VoiceFileKind::Ymx;
        seeds.push_back(withKind(kind, *bank));
    }
    {  // Sonic 1 song: a voice table after a few track bytes.
        Seed song;
        put(song, {0x00, 0x0A, 0x02, 0x03, 0x01, 0x00, 0x80, 0x10, 0xF2, 0x00});
        for (int k = 0; k < 2; ++k) {
            const FmVoice v = sampleVoice(k + 4);
            song.insert(song.end(), v.bytes.begin(), v.bytes.end());
        }
        seeds.push_back(withKind(VoiceFileKind::Sonic1Song, song));
    }
    for (const VoiceFileKind kind : {VoiceFileKind::S3kSong, VoiceFileKind::CrackersSong}) {
        // A header of 10 + 4 + 6 bytes loaded at $1000, three tracks of one
        // byte each ($1014..$1016), the voices from $1017.
        Seed song;
        put(song, {0x17, 0x10, 0x02, 0x01, 0x01, 0x02, 0x14, 0x10, 0x00, 0x00});
        put(song, {0x15, 0x10, 0x00, 0x00});
        put(song, {0x16, 0x10, 0x00, 0x00, 0x00, 0x00});
        put(song, {0xF2, 0xF2, 0xF2});
        const FmVoice v = sampleVoice(7);
        song.insert(song.end(), v.bytes.begin(), v.bytes.end());
        seeds.push_back(withKind(kind, song));
    }
    {  // Raw 29-byte records.
        Seed raw;
        for (int i = 0; i < 58; ++i) raw.push_back(static_cast<std::uint8_t>(i * 13));
        seeds.push_back(withKind(VoiceFileKind::Raw29, raw));
    }
    {  // TFI: algorithm, feedback, four operators of ten bytes.
        Seed tfi;
        put(tfi, {4, 5});
        for (int op = 0; op < 4; ++op) put(tfi, {1 + op, op, 20 + op, 1, 31, 10, 3, 7, 2, op == 3 ? 8 : 0});
        seeds.push_back(withKind(VoiceFileKind::Tfi, tfi));
    }
    {  // MVS instrument.
        Seed mvs;
        put(mvs, "MVSI1Piano");
        mvs.push_back(0);
        for (int i = 0; i < 24; ++i) mvs.push_back(static_cast<std::uint8_t>(i * 9));
        mvs.push_back(0x3A);
        seeds.push_back(withKind(VoiceFileKind::Mvs, mvs));
    }
    {  // Pasted text.
        Seed text;
        put(text, formatVoiceHex(sampleVoice(9)));
        seeds.push_back(withKind(VoiceFileKind::Paste, text));
    }
    return seeds;
}

std::vector<Seed> pasteSeeds() {
    std::vector<Seed> seeds;
    Seed plain;
    put(plain, formatVoiceHex(sampleVoice(5)));
    seeds.push_back(plain);
    Seed lines;
    put(lines, "3a 1 0f 7\r\n10 20 30 40 50 60 70 80\n90 a0 b0 c0 d0 e0 f0 ff 0 1 2 3 4 5 6\n");
    seeds.push_back(lines);
    Seed latin1 = {'L', 'e', 'a', 'd', 0xE9, 0xFF, 0xC3, 0xA9};
    seeds.push_back(latin1);
    return seeds;
}

std::vector<Seed> autoFillSeeds() {
    std::vector<Seed> seeds;
    const std::vector<std::vector<std::string>> nameSets = {
        {"FM1 lead", "FM 2 bass", "psg1", "PSG 2", "HATS", " dac "},
        {"FM1", "FM2", "FM3", "FM4", "FM5", "FM6"},
        {"PSG1", "NOISE", "", "FM10"},
    };
    for (const auto& names : nameSets) {
        XmLayout s;
        s.channelCount = static_cast<int>(names.size());
        s.patterns = {pattern(2, s.channelCount, 0)};
        s.trailer = cnamBlock(names);
        Seed seed{static_cast<std::uint8_t>(names.size() - 1)};
        const Seed xm = test::buildXm(s);
        seed.insert(seed.end(), xm.begin(), xm.end());
        seeds.push_back(seed);
    }
    return seeds;
}

std::string integers(int count, int first, int step, int low, int high) {
    std::string text = "[";
    for (int k = 0; k < count; ++k) {
        if (k > 0) text += ",";
        text += std::to_string(low + (first + k * step) % (high - low + 1));
    }
    return text + "]";
}

std::vector<Seed> setupSeeds() {
    std::vector<Seed> seeds;
    auto withChannels = [](int channels, const std::string& json) {
        Seed s{static_cast<std::uint8_t>(channels - 1)};
        put(s, json);
        return s;
    };
    seeds.push_back(withChannels(4, "{}"));
    seeds.push_back(withChannels(
        10, "{\"fmChannelCount\": 5, \"psgChannelCount\": 3, \"useNoise\": true, \"hasDrums\": true,"
            " \"loopSong\": false, \"endDacWithE4\": true, \"optimiseOutput\": true, \"removeRests\": false,"
            " \"dividingTiming\": 2, \"tempo\": 7, \"fm\": [1, 2, 3, 4, 5, null], \"psg\": [6, 7, 8], \"dac\": 10,"
            " \"pitch\": " + integers(9, 3, 40, -128, 127) + ", \"volume\": " + integers(10, 1, 7, 0, 63) +
            ", \"pan\": [0, 1, 2, 3, 4, 0, 2], \"drumsByNote\": true, \"hihatsByNote\": false,"
            " \"corri\": " + integers(256, 0, 1, 0, 255) + ", \"psgorri\": " + integers(256, 0, 3, 0, 127) +
            ", \"dorri\": " + integers(96, 0, 1, 129, 223) + ", \"norri\": " + integers(256, 0, 1, 1, 2) +
            ", \"voices\": [{\"name\": \"Lead\", \"hex\": \"" + formatVoiceHex(sampleVoice(2)) + "\"},"
            " {\"kind\": \"raw25\", \"file\": \"two.bin\", \"index\": 1}, {\"kind\": \"fcv\", \"file\": \"one.fcv\"},"
            " {\"kind\": \"tfi\", \"file\": \"one.tfi\"}], \"writeBin\": true, \"writeAsm\": true}"));
    seeds.push_back(withChannels(2, "{\"fm\": [1, 2, null, null, null, null], \"fmChannelCount\": 2, \"hasDrums\": false, \"psgChannelCount\": 0,"
                                    " \"writeBin\": false, \"writeAsm\": true, \"voices\": [{\"kind\": \"fcv\", \"file\": \"one.fcv\"}]}"));
    return seeds;
}

// Songs that use every flag the driver defines; the first byte picks the
// player's options (envelopes at hand, the reset first) and the sound data
// (a SEGA voice).
std::vector<Seed> playerSeeds() {
    using test::TestSong;
    using test::TrackBytes;
    const auto with = [](std::uint8_t choice, const TestSong& song) {
        Seed s{choice};
        const Seed bytes = test::buildSong(song);
        s.insert(s.end(), bytes.begin(), bytes.end());
        return s;
    };
    std::vector<Seed> seeds;
    seeds.push_back(with(5, {.div = 2, .tempo = 3,
                             .dac = Seed{0x81, 0x04, 0x82, 0x88, 0x04, 0x80, 0xE0, 0x40, 0x8B, 0xF6, 0xFF, 0xF5},
                             .fm = {TrackBytes{{0xE0, 0x80, 0xE1, 0x03, 0xE8, 0x05, 0xA1, 0x06, 0xE7, 0xA5, 0x80, 0x02,
                                                0xE6, 0x04, 0xE9, 0x0C, 0xF0, 0x01, 0x01, 0x02, 0x04, 0xB1, 0x08, 0xF4,
                                                0xF1, 0xF9, 0xE2, 0x01, 0xED, 0xE5, 0x03, 0xC1, 0x02, 0xF6, 0xFF, 0xDB}}},
                             .psg = {TrackBytes{{0xF5, 0x01, 0x81, 0x04, 0xEC, 0x02, 0xE7, 0x85, 0x80, 0x02, 0xF0, 0x00,
                                                 0x02, 0x03, 0x04, 0x89, 0x10, 0xF6, 0xFF, 0xED}, 0, 2, 1},
                                     TrackBytes{{0xF3, 0xE7, 0xD1, 0x02, 0xE6, 0x01, 0xD1, 0x03, 0xF2}, 0x23, 1, 2}}}));
    seeds.push_back(with(1, {.fm = {TrackBytes{{0xF8, 0x00, 0x0B, 0xF7, 0x00, 0x02, 0xFF, 0xF9, 0xEA, 0x02, 0xEB, 0x03,
                                                0xEE, 0xA1, 0x02, 0xF8, 0x00, 0x02, 0xE3, 0xA5, 0x01, 0xE3}},
                                    TrackBytes{}, TrackBytes{}, TrackBytes{{0xA8, 0x08, 0xF2}, 0, 0x20}}}));
    seeds.push_back(with(0, {.dac = Seed{0x81, 0x04, 0xE4, 0xF2},
                             .fm = {TrackBytes{{0xA1, 0x7F}}},
                             .psg = {TrackBytes{{0x81, 0x7F}}}}));
    // The SEGA voice (87 and up) over a kick, the requests 84-86 without a
    // sample, and a loop back into them.
    seeds.push_back(with(9, {.dac = Seed{0x81, 0x02, 0x87, 0x10, 0x82, 0x02, 0x85, 0x02, 0x90, 0x40, 0x8C, 0x02,
                                         0xF6, 0xFF, 0xF2},
                             .fm = {TrackBytes{{0xA1, 0x20, 0xF6, 0xFF, 0xFC}}}}));
    // Sonic 2 songs in the music buffer and in the bank window: every drum
    // note, a voice, modulation, a call, a loop and jumps back.
    for (const std::uint16_t address : {std::uint16_t{0x1380}, std::uint16_t{0x8000}}) {
        const auto lo = [&](int offset) { return static_cast<std::uint8_t>(address + offset); };
        const auto hi = [&](int offset) { return static_cast<std::uint8_t>((address + offset) >> 8); };
        Seed dac;
        for (std::uint8_t note = 0x81; note <= 0x92; ++note) dac.insert(dac.end(), {note, 0x03});
        dac.insert(dac.end(), {0xE0, 0x40, 0x80, 0x02, 0x02, 0xF6, lo(0x0E), hi(0x0E)});
        // FM1 starts at 0Eh plus the DAC track's 44 bytes: its loop at 41h, the call to 56h.
        const Seed fm = {0xEF, 0x00, 0xF0, 0x01, 0x01, 0x02, 0x04, 0xA1, 0x06, 0xE7, 0xA5, 0x04, 0xF4, 0xE6, 0x02,
                         0xF8, lo(0x56), hi(0x56), 0xF7, 0x00, 0x02, lo(0x41), hi(0x41), 0xEA, 0xC0, 0xF6, lo(0x41),
                         hi(0x41), 0xE8, 0x02, 0xDF, 0x03, 0xF1, 0xED, 0x00, 0xE3};
        Seed s{static_cast<std::uint8_t>(address == 0x8000 ? 0x31 : 0x11)};
        const Seed bytes = test::sonic2Song(address, 0xE0, {fm}, dac);
        s.insert(s.end(), bytes.begin(), bytes.end());
        seeds.push_back(s);
    }
    return seeds;
}

bool writeSeeds(const fs::path& folder, const std::vector<Seed>& seeds) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return false;
    for (std::size_t k = 0; k < seeds.size(); ++k) {
        test::writeFileBytes(folder / ("seed-" + std::to_string(k)), seeds[k]);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUT\n");
        return 2;
    }
    const fs::path out = argv[1];
    const bool ok = writeSeeds(out / "xm_reader", xmSeeds()) && writeSeeds(out / "voice_import", voiceSeeds()) &&
                    writeSeeds(out / "paste", pasteSeeds()) && writeSeeds(out / "auto_fill", autoFillSeeds()) &&
                    writeSeeds(out / "setup_file", setupSeeds()) && writeSeeds(out / "player", playerSeeds());
    if (!ok) {
        std::fprintf(stderr, "make_seeds: cannot write into %s\n", out.string().c_str());
        return 1;
    }
    return 0;
}
