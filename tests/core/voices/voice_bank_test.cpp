#include "voices/voice_bank.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"

#include "support/voice_bytes.hpp"
#include "voice_test_files.hpp"

#include <gtest/gtest.h>

namespace ferro {
namespace {

SongVoiceList listOf(int count, const std::vector<std::string>& names = {}) {
    SongVoiceList list;
    for (int i = 0; i < count; ++i)
        list.add(static_cast<std::size_t>(i) < names.size() ? names[static_cast<std::size_t>(i)] : "v" + std::to_string(i),
                 test::voiceOf(i));
    return list;
}

const std::vector<std::string> kNames = {"Lead", "A name longer than ten", "Caf\xE9"};

// A raw bank reads back with the names of its places, an fcv bank with its
// own (any length, Latin-1 as it is); both keep the voices' bytes.
TEST(VoiceBank, RawAndFcvRoundTrip) {
    const struct {
        BankFormat format;
        VoiceFileKind kind;
        const char* file;
        std::size_t size;
        std::vector<std::string> names;
    } cases[] = {
        {BankFormat::Raw, VoiceFileKind::Raw25, "bank.bin", 75, {"bank.bin: voice $0", "bank.bin: voice $1", "bank.bin: voice $2"}},
        {BankFormat::Fcv, VoiceFileKind::Fcv, "bank.fcv", 1 + 3 * 26 + 4 + 22 + 4, kNames},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::VoiceTempDir dir;
        const auto list = listOf(3, kNames);
        ASSERT_TRUE(writeVoiceBank(list, c.format, dir / c.file));
        EXPECT_EQ(dir.read(c.file).size(), c.size);
        const ImportResult r = importVoiceFile(c.kind, dir / c.file);
        ASSERT_TRUE(r.ok());
        ASSERT_EQ(r.voices.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(r.voices[i].voice, list.voice(static_cast<int>(i)));
            EXPECT_EQ(r.voices[i].name, c.names[i]);
        }
    }
}

TEST(VoiceBank, YmxRoundTripCutsNamesToTen) {
    test::VoiceTempDir dir;
    const auto list = listOf(3, {"Bas", "ExactlyTen", "A name longer than ten"});
    ASSERT_TRUE(writeVoiceBank(list, BankFormat::Ymx, dir.path() / "bank.ymx"));
    const auto bytes = dir.read("bank.ymx");
    ASSERT_EQ(bytes.size(), 8u + 3u * 35u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 7), std::string("YM2612\0", 7));
    EXPECT_EQ(bytes[7], 2);
    // Stored in natural operator order.
    EXPECT_EQ(bytes[8 + 2], list.voice(0).bytes[3]);
    EXPECT_EQ(bytes[8 + 3], list.voice(0).bytes[2]);
    // "Bas" leaves seven zero bytes; ten characters leave none.
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 33, bytes.begin() + 43),
              (std::vector<std::uint8_t>{'B', 'a', 's', 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::string(bytes.begin() + 33 + 35, bytes.begin() + 43 + 35), "ExactlyTen");

    const ImportResult r = importVoiceFile(VoiceFileKind::Ymx, dir.path() / "bank.ymx");
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.voices.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.voices[static_cast<std::size_t>(i)].voice, list.voice(i));
    EXPECT_EQ(r.voices[0].name, "Bas");
    EXPECT_EQ(r.voices[1].name, "ExactlyTen");
    EXPECT_EQ(r.voices[2].name, "A name lon");
}

TEST(VoiceBank, CountFieldsAndLimits) {
    struct Case {
        BankFormat format;
        int voices;
        bool written;
    };
    for (const Case c : {Case{BankFormat::Ymx, 1, true}, Case{BankFormat::Ymx, 127, true},
                         Case{BankFormat::Ymx, 128, false}, Case{BankFormat::Fcv, 255, true},
                         Case{BankFormat::Fcv, 256, false}, Case{BankFormat::Raw, 256, true},
                         Case{BankFormat::Raw, 0, false}, Case{BankFormat::Fcv, 0, false},
                         Case{BankFormat::Ymx, 0, false}}) {
        const auto bytes = encodeVoiceBank(listOf(c.voices), c.format);
        EXPECT_EQ(bytes.has_value(), c.written) << static_cast<int>(c.format) << " " << c.voices;
        if (!bytes) continue;
        if (c.format == BankFormat::Ymx) {
            EXPECT_EQ((*bytes)[7], c.voices - 1);
        }
        if (c.format == BankFormat::Fcv) {
            EXPECT_EQ((*bytes)[0], c.voices);
        }
        if (c.format == BankFormat::Raw) {
            EXPECT_EQ(bytes->size(), 25u * static_cast<std::size_t>(c.voices));
        }
    }
}

TEST(VoiceBank, ReplacesAnExistingFileButNeverOnFailure) {
    test::VoiceTempDir dir;
    dir.write("bank.fcv", std::vector<std::uint8_t>(1000, 0x55));
    ASSERT_TRUE(writeVoiceBank(listOf(1, {"x"}), BankFormat::Fcv, dir.path() / "bank.fcv"));
    EXPECT_EQ(dir.read("bank.fcv").size(), 1u + 26u + 1u);

    // A 256-character name cannot be stored in fcv; the earlier bank stays.
    SongVoiceList longName;
    longName.add(std::string(256, 'n'), FmVoice{});
    EXPECT_FALSE(writeVoiceBank(longName, BankFormat::Fcv, dir.path() / "bank.fcv"));
    EXPECT_EQ(dir.read("bank.fcv").size(), 28u);
    EXPECT_TRUE(writeVoiceBank(longName, BankFormat::Ymx, dir.path() / "long.ymx"));

    EXPECT_FALSE(writeVoiceBank(listOf(1), BankFormat::Raw, dir.path() / "no such folder" / "bank.bin"));
}

}  // namespace
}  // namespace ferro
