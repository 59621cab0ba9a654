#include <gtest/gtest.h>

#include "params/channel_output.hpp"
#include "params/instrument_maps.hpp"

namespace ferro {
namespace {

using Kind = InstrumentMapKind;

std::string shownValue(const InstrumentMaps& maps, Kind kind, int key) {
    const int position = mapValuePosition(maps, kind, key);
    if (position < 0) return "<none>";
    return mapValueItems(kind).at(static_cast<std::size_t>(position));
}

// What a fresh map shows at its edges: the FM list is in hexadecimal, each
// instrument starting on the voice of its own number less one.
TEST(InstrumentMaps, FreshMapsShowTheirFirstValues) {
    const InstrumentMaps maps;
    const struct {
        Kind kind;
        int key;
        const char* shown;
    } cases[] = {
        {Kind::Fm, 1, "0"},       {Kind::Fm, 10, "9"},        {Kind::Fm, 17, "10"},
        {Kind::Fm, 256, "FF"},    {Kind::Psg, 200, "0"},      {Kind::Dac, 256, "81"},
        {Kind::HiHat, 256, "Closed HH"}, {Kind::Fm, 0, "<none>"}, {Kind::Fm, 257, "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(shownValue(maps, c.kind, c.key), c.shown);
    }
    EXPECT_EQ(mapEntry(maps, Kind::Dac, 3), 0x81);
    EXPECT_FALSE(mapEntry(maps, Kind::Fm, 257));
}

// Names follow the numbers where there are names; notes have none.
TEST(InstrumentMaps, ItemsWithNames) {
    InstrumentMaps maps;
    const std::vector<std::string> names = {"Slap bass", "", std::string("Tab\tbed")};
    const auto keys = mapKeyItems(maps, Kind::Fm, names);
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 4),
              (std::vector<std::string>{"1 Slap bass", "2", "3 Tab bed", "4"}));
    EXPECT_EQ(mapValueItems(Kind::Fm, names)[2], "2 Tab bed");
    EXPECT_EQ(mapValueItems(Kind::Dac, names).front(), "81");
    setDrumKeying(maps, true);
    EXPECT_EQ(mapKeyItems(maps, Kind::Dac, names).front(), "1");
}

TEST(InstrumentMaps, StoringAValueAndShowingItAgain) {
    InstrumentMaps maps;
    EXPECT_TRUE(setMapValue(maps, Kind::Fm, 5, 0x1F));
    EXPECT_EQ(static_cast<unsigned char>(maps.instrumentVoices[4]), 31);
    EXPECT_EQ(shownValue(maps, Kind::Fm, 5), "1F");
    EXPECT_EQ(shownValue(maps, Kind::Fm, 6), "5");

    EXPECT_TRUE(setMapValue(maps, Kind::HiHat, 3, 1));  // "Open HH"
    EXPECT_EQ(maps.hihatKinds[2], 1);
    EXPECT_EQ(shownValue(maps, Kind::HiHat, 3), "Open HH");

    EXPECT_TRUE(setMapValue(maps, Kind::Dac, 7, 94));  // last item
    EXPECT_EQ(static_cast<unsigned char>(maps.drumSamples[6]), 0xDF);
    EXPECT_EQ(shownValue(maps, Kind::Dac, 7), "DF");

    EXPECT_TRUE(setMapValue(maps, Kind::Psg, 256, 127));
    EXPECT_EQ(shownValue(maps, Kind::Psg, 256), "7F");

    // Nothing outside the lists is stored.
    const InstrumentMaps before = maps;
    EXPECT_FALSE(setMapValue(maps, Kind::Psg, 1, 128));
    EXPECT_FALSE(setMapValue(maps, Kind::Dac, 1, 95));
    EXPECT_FALSE(setMapValue(maps, Kind::HiHat, 1, 2));
    EXPECT_FALSE(setMapValue(maps, Kind::Fm, 0, 1));
    EXPECT_FALSE(setMapValue(maps, Kind::Fm, 257, 1));
    EXPECT_EQ(maps.instrumentVoices, before.instrumentVoices);
    EXPECT_EQ(maps.instrumentPsgEnvelopes, before.instrumentPsgEnvelopes);
    EXPECT_EQ(maps.drumSamples, before.drumSamples);
    EXPECT_EQ(maps.hihatKinds, before.hihatKinds);
}

TEST(InstrumentMaps, KeyingChangesLoseEveryEntry) {
    for (Kind kind : {Kind::Dac, Kind::HiHat}) {
        SCOPED_TRACE(static_cast<int>(kind));
        auto setKeying = [kind](InstrumentMaps& m, bool byNote) {
            kind == Kind::Dac ? setDrumKeying(m, byNote) : setHiHatKeying(m, byNote);
        };
        const std::string initial = mapValueItems(kind).front();
        InstrumentMaps maps;
        setMapValue(maps, kind, 2, 1);
        setMapValue(maps, kind, 200, 1);

        setKeying(maps, true);
        EXPECT_EQ(mapKeyCount(maps, kind), 96);
        EXPECT_EQ(mapKeyItems(maps, kind).back(), "96");
        EXPECT_EQ(mapFrameTexts(maps, kind).keyHeading, "XM note number");
        EXPECT_EQ(shownValue(maps, kind, 2), initial);
        EXPECT_EQ(shownValue(maps, kind, 97), "<none>");

        setMapValue(maps, kind, 2, 1);
        setKeying(maps, true);  // choosing the same option again also resets
        EXPECT_EQ(shownValue(maps, kind, 2), initial);

        setMapValue(maps, kind, 96, 1);
        setKeying(maps, false);
        EXPECT_EQ(mapKeyCount(maps, kind), 256);
        EXPECT_EQ(mapFrameTexts(maps, kind).keyHeading, "XM instrument number");
        for (int key = 1; key <= 256; ++key) ASSERT_EQ(shownValue(maps, kind, key), initial) << key;
    }
    InstrumentMaps maps;
    setDrumKeying(maps, true);
    EXPECT_TRUE(maps.drumsByNote);
}

TEST(ChannelOutput, Ranges) {
    ChannelOutputSettings c;
    setPitch(c, 0, -200);
    setPitch(c, 8, 500);
    setVolume(c, 9, 64);
    setVolume(c, 3, -1);
    setPan(c, 6, 4);
    setPan(c, 0, 5);  // not an item: ignored
    setPitch(c, 9, 1);  // no such slot: ignored
    EXPECT_EQ(c.pitch[0], -128);
    EXPECT_EQ(c.pitch[8], 127);
    EXPECT_EQ(c.volume[9], 63);
    EXPECT_EQ(c.volume[3], 0);
    EXPECT_EQ(c.pan[6], PanChoice::Random);
    EXPECT_EQ(c.pan[0], PanChoice::Default);
}

}  // namespace
}  // namespace ferro
