#include "voices/song_voice_list.hpp"
#include "voices/voice_hex.hpp"
#include "xm/scratch_files.hpp"

#include "voice_test_files.hpp"

#include <gtest/gtest.h>

namespace ferro {
namespace {

FmVoice countingVoice(int start = 0) {
    FmVoice v;
    for (int i = 0; i < kFmVoiceSize; ++i) v.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(start + i);
    return v;
}

TEST(VoiceHex, FormatsUpperCaseTwoDigitGroups) {
    FmVoice v;
    v.bytes = {0x00, 0x0A, 0xFF, 0x10, 0x9B, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
               0x09, 0xAB, 0xCD, 0xEF, 0x7F, 0x80, 0x3C, 0x11, 0x22, 0x33, 0x44, 0xF0};
    const VoiceHexText text = formatVoiceHex(v);
    EXPECT_EQ(text, "00 0A FF 10 9B 01 02 03 04 05 06 07 08 09 AB CD EF 7F 80 3C 11 22 33 44 F0");
    EXPECT_EQ(parseVoiceHex(text), v);
}

TEST(VoiceHex, ParsingReadsOnlyTheDigitPositionsAndRefusesDamage) {
    std::string text = formatVoiceHex(countingVoice(0x30));
    std::string otherSeparators = text;
    for (std::size_t i = 2; i < otherSeparators.size(); i += 3) otherSeparators[i] = '-';
    EXPECT_EQ(parseVoiceHex(otherSeparators), countingVoice(0x30));
    std::string lower = text;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(parseVoiceHex(lower), countingVoice(0x30));

    EXPECT_FALSE(parseVoiceHex(""));
    EXPECT_FALSE(parseVoiceHex(text.substr(0, 73)));
    std::string bad = text;
    bad[72] = 'G';
    EXPECT_FALSE(parseVoiceHex(bad));
}

TEST(VoiceHex, SwapExchangesTheMiddlePairOfEachGroup) {
    const FmVoice swapped = swapNaturalSmps(countingVoice());
    const std::array<std::uint8_t, 25> expected = {0,  1,  3,  2,  4,  5,  7,  6,  8,  9,  11, 10, 12,
                                                   13, 15, 14, 16, 17, 19, 18, 20, 21, 23, 22, 24};
    EXPECT_EQ(swapped.bytes, expected);
    EXPECT_EQ(swapNaturalSmps(swapped), countingVoice());
}

TEST(VoiceHex, NameTextConversions) {
    EXPECT_EQ(utf8FromLatin1("Caf\xE9"), "Caf\xC3\xA9");
    EXPECT_EQ(latin1FromUtf8("Caf\xC3\xA9"), "Caf\xE9");
    EXPECT_EQ(latin1FromUtf8("\xE2\x82\xAC!"), "?!");     // euro sign is not Latin-1
    EXPECT_EQ(latin1FromUtf8("a\xE9z"), "a\xE9z");        // not UTF-8: kept as it is
    EXPECT_EQ(latin1FileName(std::filesystem::path("dir") / "lead.tfi"), "lead.tfi");
}

TEST(SongVoiceList, DisplayTextsFollowIndices) {
    SongVoiceList list;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(list.add(i == 10 || i == 255 ? "bass" : "v", FmVoice{}), AddVoiceResult::Ok);
    EXPECT_EQ(list.displayText(0), "0: v");
    EXPECT_EQ(list.displayText(10), "A: bass");
    EXPECT_EQ(list.displayText(255), "FF: bass");
}

TEST(SongVoiceList, Capacity) {
    SongVoiceList list;
    for (int i = 0; i < SongVoiceList::kCapacity; ++i) ASSERT_EQ(list.add("v", countingVoice(i)), AddVoiceResult::Ok);
    EXPECT_TRUE(list.isFull());
    EXPECT_EQ(list.add("one more", FmVoice{}), AddVoiceResult::Full);
    EXPECT_EQ(list.add("one more", formatVoiceHex(FmVoice{})), AddVoiceResult::Full);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.add("bad", std::string_view("not a voice")), AddVoiceResult::BadText);
    EXPECT_EQ(list.count(), 0);
}

TEST(SongVoiceList, RemovalRenumbersAndKeepsNames) {
    SongVoiceList list;
    list.add("first", countingVoice(0));
    list.add("second", countingVoice(1));
    ASSERT_EQ(list.add("third", formatVoiceHex(countingVoice(2))), AddVoiceResult::Ok);
    EXPECT_TRUE(list.removeAt(0));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.displayText(0), "0: second");
    EXPECT_EQ(list.displayText(1), "1: third");
    EXPECT_EQ(list.voice(1), countingVoice(2));
    EXPECT_EQ(list.hex(0), formatVoiceHex(countingVoice(1)));
    EXPECT_FALSE(list.removeAt(2));
    EXPECT_FALSE(list.removeAt(-1));
    EXPECT_EQ(list.count(), 2);
    EXPECT_THROW(list.name(2), std::out_of_range);
}

TEST(SongVoiceList, RenameKeeps255CharactersAndIgnoresEmpty) {
    SongVoiceList list;
    list.add("old", FmVoice{});
    EXPECT_FALSE(list.rename(0, ""));
    EXPECT_EQ(list.name(0), "old");
    EXPECT_TRUE(list.rename(0, std::string(300, 'x')));
    EXPECT_EQ(list.name(0), std::string(255, 'x'));
    EXPECT_EQ(list.displayText(0), "0: " + std::string(255, 'x'));
    EXPECT_FALSE(list.rename(1, "nobody"));
}

}  // namespace
}  // namespace ferro
