#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"
#include "voices/voice_manager_logic.hpp"

#include "voice_test_files.hpp"

#include <gtest/gtest.h>

#include <set>

namespace ferro {
namespace {

using test::append;
using test::appendFill;
using Data = std::vector<std::uint8_t>;

ImportResult importData(VoiceFileKind kind, const Data& data, std::string_view name = "song.bin") {
    return importVoiceBytes(kind, data, name);
}

Data countingBytes(std::size_t count, int start = 0) {
    Data out;
    for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<std::uint8_t>(start + static_cast<int>(i)));
    return out;
}

FmVoice voiceOf(const Data& data, std::size_t at) {
    FmVoice v;
    for (std::size_t k = 0; k < 25; ++k) v.bytes[k] = at + k < data.size() ? data[at + k] : 0;
    return v;
}

std::vector<std::string> names(const ImportResult& r) {
    std::vector<std::string> out;
    for (const auto& v : r.voices) out.push_back(v.name);
    return out;
}
std::vector<FmVoice> voices(const ImportResult& r) {
    std::vector<FmVoice> out;
    for (const auto& v : r.voices) out.push_back(v.voice);
    return out;
}

// Every failure message with the smallest input that provokes it.
TEST(VoiceImport, FailureMessages) {
    struct Case {
        const char* what;
        VoiceFileKind kind;
        Data data;
        const char* message;
    };
    Data s1TooMany = {0x00, 0x02};
    appendFill(s1TooMany, 255 * 25 + 13, 0);
    const std::vector<Case> cases = {
        {"empty raw", VoiceFileKind::Raw25, {}, kNoVoicesMessage},
        {"24-byte raw", VoiceFileKind::Raw25, Data(24), kNoVoicesMessage},
        {"empty ymx", VoiceFileKind::Ymx, {}, kNotYmxMessage},
        {"ymx wrong digit", VoiceFileKind::Ymx, {'Y', 'M', '2', '6', '1', '3', 0, 0}, kNotYmxMessage},
        {"ymx no zero after name", VoiceFileKind::Ymx, {'Y', 'M', '2', '6', '1', '2', ' ', 0}, kNotYmxMessage},
        {"ymx lower case", VoiceFileKind::Ymx, {'y', 'm', '2', '6', '1', '2', 0, 0}, kNotYmxMessage},
        {"ymx without a record", VoiceFileKind::Ymx, {'Y', 'M', '2', '6', '1', '2', 0, 0}, kNoVoicesMessage},
        {"empty s1 song", VoiceFileKind::Sonic1Song, {}, kNoVoicesMessage},
        {"s1 pointer 12 past end", VoiceFileKind::Sonic1Song, {0x00, 0x0E}, kNoVoicesMessage},
        {"s1 pointer 13 past end", VoiceFileKind::Sonic1Song, {0x00, 0x0F}, kWrongFileMessage},
        {"s1 256 voices", VoiceFileKind::Sonic1Song, s1TooMany, kWrongFileMessage},
        {"s3k universal bank", VoiceFileKind::S3kSong, {0xD8, 0x17}, kUniversalBankMessage},
        {"crackers universal bank", VoiceFileKind::CrackersSong, {0xD8, 0x17}, kUniversalBankMessage},
        {"empty s3k", VoiceFileKind::S3kSong, {}, kNoVoicesMessage},
        {"s3k 7 fm tracks", VoiceFileKind::S3kSong, {0x00, 0x00, 8, 0}, kWrongFileMessage},
        {"crackers 4 psg tracks", VoiceFileKind::CrackersSong, {0x00, 0x00, 1, 4}, kWrongFileMessage},
        {"empty fcv", VoiceFileKind::Fcv, {}, kNoVoicesMessage},
        {"fcv count 0", VoiceFileKind::Fcv, {0}, kNoVoicesMessage},
        {"28-byte raw29", VoiceFileKind::Raw29, Data(28), kNoVoicesMessage},
        {"mvs bad signature", VoiceFileKind::Mvs, Data(31, 'M'), kNotMvsMessage},
    };
    for (const auto& c : cases) {
        const ImportResult r = importData(c.kind, c.data);
        EXPECT_EQ(std::tuple(r.message, r.voices.size(), r.ok()), std::tuple(c.message, 0u, false)) << c.what;
    }
}

// A broken file's second line: the file's name and what does not fit its kind.
TEST(VoiceImport, BrokenFilesSayWhatDoesNotFit) {
    struct Case {
        VoiceFileKind kind;
        std::size_t size;
        std::string text;
    };
    const Case cases[] = {
        {VoiceFileKind::Tfi, 41, "This file seems to be broken\nx.tfi: a TFI voice is 42 bytes long, this file is 41"},
        {VoiceFileKind::Tfi, 43, "This file seems to be broken\nx.tfi: a TFI voice is 42 bytes long, this file is 43"},
        {VoiceFileKind::Mvs, 30, "This file seems to be broken\nx.tfi: an MVS instrument is at least 31 bytes long "
                                 "(signature, name and registers), this file is 30"},
        {VoiceFileKind::Raw25, 24,
         "There are no voices in this file\nx.tfi: a raw voice is 25 bytes long, this file is 24 bytes"},
        {VoiceFileKind::Ymx, 8,
         "File is not a valid YMX\nx.tfi: the file does not start with \"YM2612\" and a zero byte"},
        {VoiceFileKind::Fcv, 1, "There are no voices in this file\nx.tfi: the voice count (the first byte) is 0"},
        {VoiceFileKind::Mvs, 31,
         "This file doesn't seem to be a valid MVS instrument\nx.tfi: the file does not start with \"MVSI1\""},
        {VoiceFileKind::Sonic1Song, 2, "There are no voices in this file\nx.tfi: the voice table at offset 0 holds no "
                                       "whole voice before the file's end (2 bytes)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(importFailureText(importData(c.kind, Data(c.size)), "x.tfi"), c.text) << c.size;
}

TEST(VoiceImport, FileFrameOpensReadsAndNamesWithoutFolder) {
    test::VoiceTempDir dir;
    const auto file = dir.write("drums.bin", countingBytes(32 * 25));
    const ImportResult r = importVoiceFile(VoiceFileKind::Raw25, file);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.voices.size(), 32u);
    EXPECT_EQ(std::tuple(r.voices[0].name, r.voices[31].name, r.voices[31].voice),
              std::tuple("drums.bin: voice $0", "drums.bin: voice $1F", voiceOf(countingBytes(32 * 25), 31 * 25)));

    EXPECT_EQ(importVoiceFile(VoiceFileKind::Raw25, dir.path() / "missing.bin").message, kWrongFileMessage);
    EXPECT_EQ(importVoiceFile(VoiceFileKind::Raw25, dir.path()).message, kWrongFileMessage);  // a folder
    EXPECT_EQ(importVoiceFile(VoiceFileKind::Paste, file).message, kWrongFileMessage);
    std::filesystem::remove(file);  // closed again: the file can go
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(VoiceImport, RawRecordsRoundDown) {
    for (const auto& [kind, size] : {std::pair{VoiceFileKind::Raw25, 50}, {VoiceFileKind::Raw25, 60},
                                     {VoiceFileKind::Raw29, 58}, {VoiceFileKind::Raw29, 86}})
        EXPECT_EQ(importData(kind, Data(static_cast<std::size_t>(size))).voices.size(), 2u) << size;
}

TEST(VoiceImport, Raw29RecordIsRearrangedIntoSmpsOrder) {
    Data data = countingBytes(29);
    Data twice = data;
    const Data second = countingBytes(29, 0x80);
    twice.insert(twice.end(), second.begin(), second.end());
    const ImportResult r = importData(VoiceFileKind::Raw29, twice, "cube.bin");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.voices.size(), 2u);
    EXPECT_EQ(formatVoiceHex(r.voices[0].voice),
              "1C 00 02 01 03 08 0A 09 0B 0C 0E 0D 0F 10 12 11 13 14 16 15 17 04 06 05 07");
    EXPECT_EQ(formatVoiceHex(r.voices[1].voice),
              "9C 80 82 81 83 88 8A 89 8B 8C 8E 8D 8F 90 92 91 93 94 96 95 97 84 86 85 87");
    EXPECT_EQ(r.voices[1].name, "cube.bin: voice $1");
}

Data ymxBank(int countField, const std::vector<std::pair<Data, std::string>>& voices) {
    Data out;
    append(out, {'Y', 'M', '2', '6', '1', '2', 0, countField});
    for (const auto& [bytes, name] : voices) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        Data field(10, 0);
        std::copy(name.begin(), name.end(), field.begin());
        out.insert(out.end(), field.begin(), field.end());
    }
    return out;
}

TEST(VoiceImport, YmxSwapsOperatorsAndReadsNames) {
    const Data natural = countingBytes(25);
    const ImportResult r =
        importData(VoiceFileKind::Ymx, ymxBank(2, {{natural, "Bass"}, {natural, "ExactlyTen"}, {natural, ""}}));
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(names(r), (std::vector<std::string>{"Bass", "ExactlyTen", ""}));
    EXPECT_EQ(formatVoiceHex(r.voices[0].voice),
              "00 01 03 02 04 05 07 06 08 09 0B 0A 0C 0D 0F 0E 10 11 13 12 14 15 17 16 18");
}

TEST(VoiceImport, YmxCountFieldOfFFAnnounces256) {
    std::vector<std::pair<Data, std::string>> voices(256, {countingBytes(25), "v"});
    const ImportResult r = importData(VoiceFileKind::Ymx, ymxBank(0xFF, voices));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.voices.size(), 256u);
}

TEST(VoiceImport, YmxRecordsWhollyMissingAreNoVoices) {
    // A record cut short reads on as zeros; one wholly missing is no voice,
    // and the bank says how many it lacks.
    const Data natural = countingBytes(25, 1);
    struct Case {
        const char* name;
        int countField;
        std::size_t cutBytes;  // taken from the end of a bank of two whole records
        std::vector<std::string> names;
        std::string notice;
    };
    for (const Case& c : {Case{"as announced", 1, 0, {"Only", "Two"}, ""},
                          Case{"last record cut inside its name", 1, 4, {"Only", "Two"}, ""},
                          Case{"announces one more", 2, 0, {"Only", "Two"}, "the file announces 3 voices and holds 2"},
                          Case{"announces 33, holds 2", 32, 0, {"Only", "Two"}, "the file announces 33 voices and holds 2"}}) {
        Data bank = ymxBank(c.countField, {{natural, "Only"}, {natural, "Two"}});
        bank.resize(bank.size() - c.cutBytes);
        const ImportResult r = importData(VoiceFileKind::Ymx, bank);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(std::tuple(names(r), r.notice), std::tuple(c.names, c.notice)) << c.name;
    }
}

TEST(VoiceImport, ShortBanksGiveTheAnnouncedCountCompletedWithZeros) {
    ImportResult r;
    // An fcv bank announcing 3 voices, the second cut inside its name.
    Data fcv = {3};
    const Data v = countingBytes(25, 7);
    fcv.insert(fcv.end(), v.begin(), v.end());
    append(fcv, {4});
    append(fcv, "Lead");
    fcv.insert(fcv.end(), v.begin(), v.end());
    append(fcv, {9});
    append(fcv, "Str");
    r = importData(VoiceFileKind::Fcv, fcv);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(names(r), (std::vector<std::string>{"Lead", "Str", ""}));
    EXPECT_EQ(voices(r), (std::vector<FmVoice>{voiceOf(v, 0), voiceOf(v, 0), FmVoice{}}));
}

TEST(VoiceImport, FcvVoicesAndNames) {
    Data fcv = {2};
    const Data a = countingBytes(25, 0x40);
    fcv.insert(fcv.end(), a.begin(), a.end());
    append(fcv, {0});
    fcv.insert(fcv.end(), a.begin(), a.end());
    append(fcv, {5});
    append(fcv, "Pi\xE9no");
    const ImportResult r = importData(VoiceFileKind::Fcv, fcv);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(names(r), (std::vector<std::string>{"", "Pi\xE9no"}));
    EXPECT_EQ(voices(r)[1], voiceOf(a, 0));  // fcv keeps SMPS order
}

Data sonic1Song(std::size_t tableOffset, std::size_t bytesAfter) {
    Data out = {static_cast<std::uint8_t>(tableOffset >> 8), static_cast<std::uint8_t>(tableOffset & 0xFF)};
    out.resize(tableOffset, 0xEE);
    const Data tail = countingBytes(bytesAfter, 1);
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

TEST(VoiceImport, SongVoiceTableRoundsToTheNearestRecord) {
    struct Case {
        std::size_t bytesAfter;
        std::size_t voices;
    };
    for (const Case c : {Case{40, 2}, Case{37, 1}, Case{25, 1}, Case{13, 1}, Case{255 * 25, 255},
                         Case{255 * 25 + 12, 255}}) {
        const ImportResult r = importData(VoiceFileKind::Sonic1Song, sonic1Song(0x20, c.bytesAfter));
        ASSERT_TRUE(r.ok()) << c.bytesAfter;
        EXPECT_EQ(r.voices.size(), c.voices) << c.bytesAfter;
    }

    // The rounded-up last record is completed with zeros.
    const ImportResult r = importData(VoiceFileKind::Sonic1Song, sonic1Song(0x20, 40), "s1.bin");
    ASSERT_EQ(r.voices.size(), 2u);
    EXPECT_EQ(r.voices[0].voice, voiceOf(countingBytes(25, 1), 0));
    EXPECT_EQ(formatVoiceHex(r.voices[1].voice),
              "1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 28 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(r.voices[1].name, "s1.bin: voice $1");
}

// A Z80 song header: voice table V, F FM-type tracks (DAC included), P PSG
// tracks, the DAC address, then the FM and PSG addresses.
Data z80Header(int v, int dac, const std::vector<int>& fm, const std::vector<int>& psg) {
    Data out;
    append(out, {v & 0xFF, v >> 8, static_cast<int>(fm.size()) + 1, static_cast<int>(psg.size()), 0x01, 0x02,
                 dac & 0xFF, dac >> 8, 0x03, 0x04});
    for (int a : fm) append(out, {a & 0xFF, a >> 8, 0, 0});
    for (int a : psg) append(out, {a & 0xFF, a >> 8, 0, 0, 0, 0});
    return out;
}

TEST(VoiceImport, S3kVoiceTableFromTheLowestAddress) {
    Data song = z80Header(0x1100, 0x1000, {0x1010}, {0x1020});
    ASSERT_EQ(song.size(), 20u);  // H
    song.resize(276, 0xEE);       // $1100 - $1000 + 20
    const Data table = countingBytes(50, 0x30);
    song.insert(song.end(), table.begin(), table.end());
    for (const auto kind : {VoiceFileKind::S3kSong, VoiceFileKind::CrackersSong}) {
        const ImportResult r = importData(kind, song, "s3k.bin");
        EXPECT_EQ(voices(r), (std::vector<FmVoice>{voiceOf(table, 0), voiceOf(table, 25)}));
        EXPECT_EQ(names(r), (std::vector<std::string>{"s3k.bin: voice $0", "s3k.bin: voice $1"}));
    }

    // Voice table below every track: it follows the header directly.
    Data first = z80Header(0x8000, 0x9000, {0x9100, 0x9200, 0x9300, 0x9400, 0x9500, 0x9600}, {0x9700, 0x9800, 0x9900});
    ASSERT_EQ(first.size(), 10u + 24u + 18u);
    first.insert(first.end(), table.begin(), table.end());
    const ImportResult r = importData(VoiceFileKind::S3kSong, first);
    EXPECT_EQ(voices(r), (std::vector<FmVoice>{voiceOf(table, 0), voiceOf(table, 25)}));

    // The universal bank address wins over anything that follows.
    Data universal = z80Header(0x17D8, 0x1000, {}, {});
    universal.resize(200, 0x11);
    EXPECT_EQ(importData(VoiceFileKind::S3kSong, universal).message, kUniversalBankMessage);
}

Data tfi(int alg, int fb, const std::array<std::array<int, 10>, 4>& ops) {
    Data out;
    append(out, {alg, fb});
    for (const auto& op : ops)
        for (int v : op) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

TEST(VoiceImport, TfiBytesHandComputed) {
    //                      MUL DT  TL    RS AR  DR  SR  RR  SL  SSG
    const std::array<std::array<int, 10>, 4> ops = {{{1, 3, 0x20, 1, 31, 5, 2, 7, 3, 0},
                                                     {2, 0, 0x10, 0, 20, 6, 3, 8, 4, 0},
                                                     {15, 6, 0x7F, 3, 10, 31, 0, 15, 15, 0},
                                                     {0, 2, 0x00, 2, 0, 0, 31, 0, 0, 0}}};
    const ImportResult r = importData(VoiceFileKind::Tfi, tfi(4, 5, ops), "lead.tfi");
    ASSERT_EQ(std::tuple(names(r), r.ssgEgWarning), std::tuple(std::vector<std::string>{"lead"}, false));
    // Operators 1, 3, 2, 4; detune 0 -> 7, 2 -> 5, 6 -> 3.
    EXPECT_EQ(formatVoiceHex(r.voices[0].voice),
              "2C 01 3F 72 50 5F CA 14 80 05 1F 06 00 02 00 03 1F 37 FF 48 00 20 7F 10 00");

    auto withSsg = ops;
    withSsg[3][9] = 8;
    withSsg[1][1] = 1;  // detune -2
    const ImportResult warned = importData(VoiceFileKind::Tfi, tfi(7, 7, withSsg), "pad.tfi");
    ASSERT_TRUE(warned.ok());
    EXPECT_EQ(std::tuple(warned.ssgEgWarning, warned.voices[0].voice.bytes[0], warned.voices[0].voice.bytes[3]),
              std::tuple(true, 0x3F, 0x62));

    EXPECT_EQ(importData(VoiceFileKind::Tfi, tfi(0, 0, ops), "a.t").voices[0].name, "");
}

TEST(VoiceImport, TfiValuesBeyondAByteAreRefused) {
    const std::array<std::array<int, 10>, 4> zero{};
    auto rs = zero;
    rs[2][3] = 4;  // RS 4 -> 256
    auto sl = zero;
    sl[0][8] = 16;  // SL 16 -> 256
    auto dt = zero;
    dt[1][0] = 255;
    dt[1][1] = 4;  // 16 + 255
    for (const auto& ops : {rs, sl, dt})
        EXPECT_EQ(importData(VoiceFileKind::Tfi, tfi(0, 0, ops), "x.tfi").message, kWrongFileMessage);
    EXPECT_EQ(importData(VoiceFileKind::Tfi, tfi(0, 32, zero), "x.tfi").message, kWrongFileMessage);
    EXPECT_TRUE(importData(VoiceFileKind::Tfi, tfi(7, 31, zero), "x.tfi").ok());  // 7 + 248 = 255
}

// The same for the refusals that need particular bytes.
TEST(VoiceImport, SongsAndTfiSayWhatDoesNotFit) {
    std::array<std::array<int, 10>, 4> rs{};
    rs[2][3] = 4;  // RS 4 -> 256
    struct Case { VoiceFileKind kind; Data data; std::string problem; };
    const Case cases[] = {
        {VoiceFileKind::Sonic1Song, {0x00, 0x0F}, "the voice table at offset 15 lies past the file's end (2 bytes)"},
        {VoiceFileKind::CrackersSong, {0xD8, 0x17},
         "its voice table address is $17D8, where the driver keeps the bank"},
        {VoiceFileKind::S3kSong, {0x00, 0x00, 8, 0},
         "the header announces 7 FM and 0 PSG tracks; a song has at most 6 and 3"},
        {VoiceFileKind::Tfi, tfi(0, 0, rs),
         "operator 3's rate scaling and attack rate give 256, more than a byte holds"},
    };
    for (const Case& c : cases) EXPECT_EQ(importData(c.kind, c.data).problem, c.problem) << c.problem;
}

// A voice file from any folder is read as the kind its name says: the chosen
// kind when its pattern matches (the .bin kinds share one), else the first
// that matches; a refusal says the message, then the file and what is wrong.
TEST(VoiceImport, PickedFilesTakeTheirKindFromTheirName) {
    test::VoiceTempDir dir;
    dir.write("two.bin", Data(2 * 29, 0));
    Data bank = {'Y', 'M', '2', '6', '1', '2', 0, 0};
    bank.resize(bank.size() + 35);
    dir.write("BANK.YMX", bank);
    dir.write("short.tfi", Data(41));
    dir.write("notes.txt", Data(25));
    struct Case { const char* file; VoiceFileKind chosen; VoiceFileKind kind; std::size_t voices; std::string failure; };
    const Case cases[] = {
        {"two.bin", VoiceFileKind::Raw29, VoiceFileKind::Raw29, 2, ""},
        {"two.bin", VoiceFileKind::Ymx, VoiceFileKind::Raw25, 2, ""},
        {"BANK.YMX", VoiceFileKind::Raw25, VoiceFileKind::Ymx, 1, ""},
        {"short.tfi", VoiceFileKind::Raw25, VoiceFileKind::Tfi, 0,
         "This file seems to be broken\nshort.tfi: a TFI voice is 42 bytes long, this file is 41"},
        {"gone.fcv", VoiceFileKind::Raw25, VoiceFileKind::Fcv, 0,
         "There is something wrong with this file\ngone.fcv: the file cannot be read"},
        {"notes.txt", VoiceFileKind::Raw25, VoiceFileKind::Raw25, 0,
         "There is something wrong with this file\nnotes.txt: its name matches none of the voice files' patterns "
         "(*.bin *.ymx *.fcv *.tfi *.ins)"},
    };
    for (const Case& c : cases) {
        const PickedVoiceFile picked = readPickedVoiceFile(dir.path() / c.file, c.chosen);
        EXPECT_EQ(picked.kind, c.kind) << c.file;
        EXPECT_EQ(picked.result.voices.size(), c.voices) << c.file;
        EXPECT_EQ(picked.failure, c.failure) << c.file;
    }
}

TEST(VoiceImport, MvsNameAndRegisterLayout) {
    Data smallest;
    append(smallest, "mvsi1");
    append(smallest, {0xAA});
    const Data regs = countingBytes(25, 0x40);
    smallest.insert(smallest.end(), regs.begin(), regs.end());
    ASSERT_EQ(smallest.size(), 31u);
    ImportResult r = importData(VoiceFileKind::Mvs, smallest, "x.ins");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(std::tuple(r.voices[0].name, formatVoiceHex(r.voices[0].voice)),
              std::tuple("", "58 40 42 41 43 48 4A 49 4B 4C 4E 4D 4F 50 52 51 53 54 56 55 57 44 46 45 47"));

    Data named;
    append(named, "MvSi1Slap bass");
    append(named, {0});
    named.insert(named.end(), regs.begin(), regs.end());
    r = importData(VoiceFileKind::Mvs, named, "x.ins");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(std::tuple(r.voices[0].name, r.voices[0].voice.bytes[0]), std::tuple("Slap bass", 0x58));
}

TEST(VoiceImport, PastedText) {
    const std::string canonical = "00 0A FF 10 9B 01 02 03 04 05 06 07 08 09 AB CD EF 7F 80 3C 11 22 33 44 F0";
    std::string compact;
    for (char c : canonical)
        if (c != ' ') compact.push_back(c);
    std::string lower = canonical;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string lines = canonical;
    for (std::size_t i = 2; i < lines.size(); i += 12) lines[i] = '\n';

    struct Case {
        std::string text;
        std::optional<std::string> hex;
    };
    const std::vector<Case> cases = {
        {canonical, canonical},
        {lower, canonical},
        {compact, canonical},
        {"\r\n" + canonical + "\r\n", canonical},
        {"  " + lines + "\n", canonical},
        // Odd tokens: "A" alone is one byte, "ABC" is AB then 0C.
        {"A B ABC " + canonical.substr(0, 3 * 21 - 1), std::string("0A 0B AB 0C ") + canonical.substr(0, 3 * 21 - 1)},
        {canonical + " 00", std::nullopt},        // 26 bytes
        {canonical.substr(0, 71), std::nullopt},  // 24 bytes
        {"", std::nullopt},
        {"   \r\n", std::nullopt},
        {canonical + "\t", std::nullopt},
        {canonical.substr(0, 73) + "G", std::nullopt},
        {"0x" + canonical.substr(2), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto voice = parsePastedVoice(c.text);
        EXPECT_EQ(voice ? std::optional(formatVoiceHex(*voice)) : std::nullopt, c.hex) << c.text;
    }
}

// The command line names each kind; every name leads back to its own kind.
TEST(VoiceImport, EveryKindIsFoundByItsCommandLineName) {
    std::set<std::string> cliNames;
    for (int i = 0; i < kVoiceFileKindCount; ++i) {
        const auto& k = voiceFileKinds()[static_cast<std::size_t>(i)];
        EXPECT_EQ(static_cast<int>(k.kind), i);
        cliNames.insert(k.cliName);
        EXPECT_EQ(findVoiceKindByCliName(k.cliName), &k);
    }
    EXPECT_EQ(cliNames.size(), static_cast<std::size_t>(kVoiceFileKindCount));
}

// Any bytes, of any length, end in voices or in one of the listed messages.
TEST(VoiceImport, ArbitraryBytesNeverBreakAnImport) {
    const std::set<std::string> messages = {kNoVoicesMessage, kNotYmxMessage,    kWrongFileMessage,
                                            kUniversalBankMessage, kBrokenFileMessage, kNotMvsMessage};
    std::mt19937 random(12345);
    std::vector<Data> inputs;
    for (std::size_t size = 0; size <= 90; ++size) {
        inputs.push_back(Data(size, 0));
        inputs.push_back(Data(size, 0xFF));
        Data r(size);
        for (auto& b : r) b = static_cast<std::uint8_t>(random());
        inputs.push_back(r);
    }
    for (int i = 0; i < 200; ++i) {
        Data r(random() % 2000);
        for (auto& b : r) b = static_cast<std::uint8_t>(random() % 4 == 0 ? random() : random() % 8);
        if (i % 3 == 0 && r.size() >= 8) std::copy_n("YM2612", 7, r.begin());
        if (i % 3 == 1 && r.size() >= 5) std::copy_n("MVSI1", 5, r.begin());
        inputs.push_back(r);
    }
    for (const auto& info : voiceFileKinds()) {
        if (info.import == nullptr) continue;
        for (const auto& data : inputs) {
            const ImportResult r = importData(info.kind, data);
            if (r.ok()) {
                EXPECT_FALSE(r.voices.empty());
                // Never more voices than the format's count field can say or the bytes can hold.
                EXPECT_LE(r.voices.size(), std::max<std::size_t>(256, data.size() / 25));
            } else {
                EXPECT_TRUE(messages.count(r.message)) << info.cliName << ": " << r.message;
                EXPECT_TRUE(r.voices.empty());
            }
        }
    }
    for (const auto& data : inputs) {
        const std::string text(data.begin(), data.end());
        (void)parsePastedVoice(text);
    }
}

}  // namespace
}  // namespace ferro
