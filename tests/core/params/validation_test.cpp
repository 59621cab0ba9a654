#include <gtest/gtest.h>

#include "params/validation.hpp"

namespace ferro {
namespace {

using Ch = XmChannelChoice;
constexpr auto none = std::nullopt;

struct Case {
    const char* name;
    int fmCount;
    int psgCount;
    bool hasDrums;
    std::array<Ch, 6> fm;
    std::array<Ch, 3> psg;
    Ch dac;
    ReadinessLight light;
    std::string text;
};

TEST(Validation, OrderedRulesOverAssignments) {
    const std::string fmPsg = "Can't convert. FM and PSG both on channel ";
    const std::string fmDac = "Can't convert. FM and DAC both on channel ";
    const std::string psgDac = "Can't convert. PSG and DAC both on channel ";
    const std::string ok = "All channels assigned!";
    const Case cases[] = {
        {"fresh load", 5, 3, true, {}, {}, none, ReadinessLight::Red,
         "Can't convert. Unassigned FM channels exist."},
        {"fresh load, no FM", 0, 3, true, {}, {}, none, ReadinessLight::Red,
         "Can't convert. Unassigned PSG channels exist."},
        {"FM1 conflict before FM2 unassigned", 2, 1, false, {2, none}, {2}, none, ReadinessLight::Red, fmPsg + "2"},
        {"FM unassigned after a sound FM1", 2, 1, false, {1, none}, {2}, none, ReadinessLight::Red,
         "Can't convert. Unassigned FM channels exist."},
        {"FM and DAC", 2, 0, true, {1, 7}, {}, 7, ReadinessLight::Red, fmDac + "7"},
        {"FM-PSG checked before FM-DAC", 1, 1, true, {3}, {3}, 3, ReadinessLight::Red, fmPsg + "3"},
        {"PSG unassigned", 1, 2, true, {1}, {2, none}, 5, ReadinessLight::Red,
         "Can't convert. Unassigned PSG channels exist."},
        {"PSG and DAC", 1, 2, true, {1}, {2, 4}, 4, ReadinessLight::Red, psgDac + "4"},
        {"DAC unassigned", 5, 3, true, {1, 2, 3, 4, 5}, {6, 7, 8}, none, ReadinessLight::Red,
         "Can't convert. Unassigned DAC channel exists."},
        {"all assigned", 5, 3, true, {1, 2, 3, 4, 5}, {6, 7, 8}, 9, ReadinessLight::Green, ok},
        {"FM1 = FM3", 5, 3, true, {4, 2, 4, 1, 5}, {6, 7, 8}, 9, ReadinessLight::Yellow, ok},
        {"noise row and PSG1 share", 5, 3, true, {1, 2, 3, 4, 5}, {6, 7, 6}, 9, ReadinessLight::Yellow, ok},
        {"nothing to convert", 0, 0, false, {}, {}, none, ReadinessLight::Yellow, ok},
        {"one PSG channel only", 0, 1, false, {}, {3}, none, ReadinessLight::Green, ok},
        {"drums only", 0, 0, true, {}, {}, 2, ReadinessLight::Green, ok},
        {"hidden FM6 shares PSG1", 5, 3, true, {1, 2, 3, 4, 5, 6}, {6, 7, 8}, 9, ReadinessLight::Green, ok},
        {"hidden PSG3 shares FM1", 5, 2, true, {1, 2, 3, 4, 5}, {6, 7, 1}, 9, ReadinessLight::Green, ok},
        {"drums off ignores DAC conflict", 2, 1, false, {1, 2}, {3}, 1, ReadinessLight::Green, ok},
        {"six FM without drums", 6, 0, false, {1, 2, 3, 4, 5, 6}, {}, none, ReadinessLight::Green, ok},
        {"choice beyond the channel count is unassigned", 1, 0, false, {10}, {}, none, ReadinessLight::Red,
         "Can't convert. Unassigned FM channels exist."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SongSettings s;
        s.fmChannelCount = c.fmCount;
        s.psgChannelCount = c.psgCount;
        s.hasDrums = c.hasDrums;
        ChannelAssignment a;
        a.channelCount = 9;
        a.fm = c.fm;
        a.psg = c.psg;
        a.dac = c.dac;
        const GeneralValidation v = validateGeneralSettings(s, a);
        EXPECT_EQ(v.light, c.light);
        EXPECT_EQ(v.statusText, c.text);
    }
}

}  // namespace
}  // namespace ferro
