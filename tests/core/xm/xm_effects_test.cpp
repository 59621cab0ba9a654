// What the status line hints at while the module's effects are not followed.
#include <gtest/gtest.h>

#include "support/xm_writer.hpp"
#include "xm/xm_effects.hpp"

namespace ferro {
namespace {

XmModule moduleWith(std::vector<XmCell> cells) {
    test::XmLayout layout;
    layout.channelCount = 2;
    layout.patterns[0].rows = static_cast<int>(cells.size()) / 2;
    layout.patterns[0].cells = std::move(cells);
    return std::get<XmModule>(parseXmModule(test::buildXm(layout)));
}

TEST(ModuleEffectsHint, CountsVolumeRowsSpeedChangesAndOtherEffects) {
    const XmCell none{};
    const XmCell volume{49, 0, 0x20, 0, 0};
    const XmCell slideAndVolume{0, 0, 0x30, 0x0A, 0x01};
    const XmCell speed{0, 0, 0, 0x0F, 0x03};
    const XmCell vibrato{49, 0, 0, 0x04, 0x11};
    const struct {
        std::vector<XmCell> cells;  // two channels a row
        std::string hint;
    } table[] = {
        {{none, none, none, none}, ""},
        {{volume, slideAndVolume, none, volume, speed, none},
         "This module changes volume on 3 rows and speed 1 time: tick \"Play the module's volumes and effects\" to keep them"},
        {{none, none, speed, none, none, vibrato, none, none},
         "This module changes speed 1 time and uses 1 other effect: tick \"Play the module's volumes and effects\" to "
         "keep them"},
        {{volume, none, none, vibrato, speed, none, none, none},
         "This module changes volume on 1 row and speed 1 time and uses 1 other effect: tick \"Play the module's "
         "volumes and effects\" to keep them"},
    };
    for (const auto& row : table) EXPECT_EQ(moduleEffectsHint(moduleWith(row.cells)), row.hint);
}

}  // namespace
}  // namespace ferro
