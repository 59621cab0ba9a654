#include <gtest/gtest.h>

#include "params/auto_fill.hpp"
#include "params/validation.hpp"
#include "support/xm_writer.hpp"

namespace ferro {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

// A "CNAM" block with one zero-padded 20-byte field per name.
Bytes8 cnamBlock(const std::vector<std::string>& names) {
    Bytes8 out = {'C', 'N', 'A', 'M', 0x40, 0, 0, 0};
    for (const std::string& name : names) {
        Bytes8 field(20, 0);
        std::copy(name.begin(), name.end(), field.begin());
        out.insert(out.end(), field.begin(), field.end());
    }
    return out;
}

Bytes8 concat(Bytes8 a, const Bytes8& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ChannelNames, ClassificationFailures) {
    const std::vector<std::vector<std::string>> failing = {
        {"DAC", "dac"},
        {"HATS", "NOISE"},
        {"noise", " Noise "},
        {"FM3 lead", "fm 3 pad"},
        {"PSG2", "psg 2"},
        {"FM1", "FM2", "FM3", "FM4", "FM5", "FM6", "DAC"},
        {"PSG1", "PSG2", "PSG3", "NOISE"},
        {"FM1", "FM10"},  // FM10 also begins with FM1
    };
    for (const auto& names : failing) {
        SCOPED_TRACE(testing::PrintToString(names));
        EXPECT_FALSE(classifyChannelNames(names));
    }
}

TEST(ChannelNames, KeysAreTrimmedUpperCasedPrefixes) {
    const auto m = classifyChannelNames({"  dac  ", "Noise", " fm 2x", "FM10", "Fm  3", "\tPSG1", "DACS", "FM",
                                         "psg 2 lead"});
    ASSERT_TRUE(m);
    EXPECT_EQ(m->dac, XmChannelChoice(1));
    EXPECT_EQ(m->noise, XmChannelChoice(2));
    EXPECT_EQ(m->fm[1], XmChannelChoice(3));
    EXPECT_EQ(m->fm[0], XmChannelChoice(4));   // FM10 counts for FM1
    EXPECT_FALSE(m->fm[2]);                    // two spaces
    EXPECT_FALSE(m->psg[0]);                   // a tab is not trimmed
    EXPECT_EQ(m->psg[1], XmChannelChoice(9));
    EXPECT_EQ(m->fmTop, 2);
    EXPECT_EQ(m->psgTop, 2);
}

TEST(ChannelNames, ApplyingTheExampleNames) {
    SongSettings s;
    ChannelAssignment a;
    resetChannelAssignment(a, 6);
    const auto m = classifyChannelNames({"FM1 lead", "FM 2 bass", "psg1", "PSG 2", "HATS", "DAC"});
    ASSERT_TRUE(m);
    applyChannelNameMatch(*m, s, a);
    EXPECT_EQ(s.fmChannelCount, 2);
    EXPECT_EQ(s.psgChannelCount, 3);
    EXPECT_TRUE(s.hasDrums);
    EXPECT_TRUE(s.useNoise);
    EXPECT_EQ(a.fm, (std::array<XmChannelChoice, 6>{1, 2, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(a.psg, (std::array<XmChannelChoice, 3>{3, 4, 5}));
    EXPECT_EQ(a.dac, XmChannelChoice(6));
    EXPECT_EQ(generalWindowView(s).psgRowCaption[2], "Noise");
    EXPECT_EQ(validateGeneralSettings(s, a).light, ReadinessLight::Green);
}

TEST(ChannelNames, ApplyingCountsAndOptions) {
    struct Case {
        std::vector<std::string> names;
        int fmCount, psgCount;
        bool drums, noise;
        std::array<XmChannelChoice, 3> psg;
        ReadinessLight light;
    };
    const std::optional<int> no;
    const Case cases[] = {
        {{"FM1", "FM2", "FM3", "FM4", "FM5", "FM6"}, 6, 0, false, false, {}, ReadinessLight::Green},
        {{"PSG1", "NOISE"}, 0, 2, false, true, {1, 2, no}, ReadinessLight::Green},
        {{"noise"}, 0, 1, false, true, {1, no, no}, ReadinessLight::Green},
        {{"PSG1", "PSG2", "PSG3"}, 0, 3, false, false, {1, 2, 3}, ReadinessLight::Green},
        {{"FM1", "FM3"}, 3, 0, false, false, {}, ReadinessLight::Red},  // FM2 stays unassigned
        {{"", "", ""}, 0, 0, false, false, {}, ReadinessLight::Yellow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.names));
        SongSettings s;
        ChannelAssignment a;
        resetChannelAssignment(a, static_cast<int>(c.names.size()));
        a.psg = {4, 4, 4};  // earlier choices are all replaced, hidden ones too
        a.dac = 1;
        const auto m = classifyChannelNames(c.names);
        ASSERT_TRUE(m);
        applyChannelNameMatch(*m, s, a);
        EXPECT_EQ(s.fmChannelCount, c.fmCount);
        EXPECT_EQ(s.psgChannelCount, c.psgCount);
        EXPECT_EQ(s.hasDrums, c.drums);
        EXPECT_EQ(s.useNoise, c.noise);
        EXPECT_EQ(a.psg, c.psg);
        EXPECT_FALSE(a.dac);
        EXPECT_EQ(validateGeneralSettings(s, a).light, c.light);
    }
}

TEST(ChannelNames, ReadingTheBlock) {
    auto names = [&](const Bytes8& bytes, int n) { return findChannelNames(bytes, n); };
    using Names = std::vector<std::string>;

    // Search starts 1300 bytes before the end.
    const Bytes8 block = cnamBlock({"DAC", "FM1"});
    const Bytes8 filler(1300 - block.size(), 'x');
    EXPECT_EQ(names(concat(block, filler), 2), (Names{"DAC", "FM1"}));
    EXPECT_EQ(names(concat(concat(Bytes8(5000, 0), block), filler), 2), (Names{"DAC", "FM1"}));
    EXPECT_FALSE(names(concat(concat(Bytes8(5000, 0), block), concat(filler, {'x'})), 2));
    // No tag, a tag cut by the end, an empty file.
    EXPECT_FALSE(names(Bytes8(100, 'C'), 2));
    EXPECT_FALSE(names({'x', 'C', 'N', 'A'}, 2));
    EXPECT_FALSE(names({}, 0));

    // A 20-byte name without a zero byte is empty; so is a field past the end.
    Bytes8 full = cnamBlock({"", "PSG1"});
    std::fill(full.begin() + 8, full.begin() + 28, 'D');
    EXPECT_EQ(names(full, 3), (Names{"", "PSG1", ""}));
    EXPECT_EQ(names({'C', 'N', 'A', 'M'}, 2), (Names{"", ""}));
    Bytes8 cut = cnamBlock({"FM1", "FM2"});
    cut.resize(cut.size() - 1);
    EXPECT_EQ(names(cut, 2), (Names{"FM1", ""}));
    // The first tag wins; bytes after the zero are ignored.
    Bytes8 twice = concat(cnamBlock({"DAC"}), cnamBlock({"FM1"}));
    twice[8 + 5] = 'Z';
    EXPECT_EQ(names(twice, 1), (Names{"DAC"}));
}

// A module as the parser reads it: its channels play nothing.
XmModule parsed(const test::XmLayout& layout) {
    auto result = parseXmModule(test::buildXm(layout));
    EXPECT_TRUE(std::holds_alternative<XmModule>(result));
    return std::holds_alternative<XmModule>(result) ? std::get<XmModule>(std::move(result)) : XmModule{};
}

TEST(AutoFill, WholeActionOnAParsedModule) {
    test::XmLayout layout;
    layout.channelCount = 4;
    layout.trailer = cnamBlock({"FM1", "fm2", "Noise", "DAC"});

    SongSettings s;
    ChannelAssignment a;
    resetChannelAssignment(a, 4);
    EXPECT_EQ(autoFillModule(parsed(layout), s, a), kFilledFromNamesText);
    EXPECT_EQ(s.fmChannelCount, 2);
    EXPECT_EQ(s.psgChannelCount, 1);
    EXPECT_EQ(a.psg[0], XmChannelChoice(3));
    EXPECT_EQ(a.dac, XmChannelChoice(4));
    EXPECT_EQ(validateGeneralSettings(s, a).light, ReadinessLight::Green);
}

// Neither names nor notes: no block, a keyword twice, names of nothing.
TEST(AutoFill, FailuresChangeNothing) {
    test::XmLayout layout;
    layout.channelCount = 2;
    for (const Bytes8& trailer : {Bytes8{}, cnamBlock({"DAC", "DAC"}), cnamBlock({"", "lead"})}) {
        layout.trailer = trailer;
        SongSettings s;
        s.fmChannelCount = 1;
        ChannelAssignment a;
        resetChannelAssignment(a, 2);
        a.fm[0] = 2;
        ASSERT_FALSE(autoFillModule(parsed(layout), s, a));
        EXPECT_EQ(s.fmChannelCount, 1);
        EXPECT_EQ(s.psgChannelCount, 3);
        EXPECT_TRUE(s.hasDrums);
        EXPECT_TRUE(s.useNoise);
        EXPECT_EQ(a.fm[0], XmChannelChoice(2));
    }
}

}  // namespace
}  // namespace ferro
