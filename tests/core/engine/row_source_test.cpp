// The module's row streams as the conversion reads them.
#include <gtest/gtest.h>

#include <variant>

#include "engine/conversion_error.hpp"
#include "engine/row_source.hpp"
#include "support/xm_writer.hpp"

namespace ferro {
namespace {

TEST(RowSources, RemovingKeyOffsChangesOnlyThatChannelsCopy) {
    test::XmLayout layout;
    layout.channelCount = 2;
    layout.patterns[0].rows = 3;
    layout.patterns[0].cells = {test::noteCell(kXmKeyOff), test::noteCell(kXmKeyOff), test::noteCell(5),
                                test::noteCell(kXmKeyOff), test::noteCell(kXmKeyOff, 2), test::noteCell(1)};
    auto parsed = parseXmModule(test::buildXm(layout));
    ASSERT_TRUE(std::holds_alternative<XmModule>(parsed));
    const XmModule& m = std::get<XmModule>(parsed);
    MemoryRowSource rows(m);
    ASSERT_TRUE(rows.removeKeyOffs(1));
    ASSERT_TRUE(rows.removeKeyOffs(1));
    EXPECT_FALSE(rows.removeKeyOffs(0));
    EXPECT_FALSE(rows.removeKeyOffs(3));
    const RowStream dac = rows.rowStream(1, 3);
    EXPECT_EQ(dac.cell(0), XmCell{});
    EXPECT_EQ(dac.cell(2), (XmCell{0, 2, 0, 0, 0}));
    EXPECT_EQ(rows.rowStream(2, 3).cell(0).note, kXmKeyOff);
    EXPECT_EQ(m.rowStream(1)[0], kXmKeyOff) << "the module itself is never changed";
    EXPECT_THROW(rows.rowStream(1, 4), ConversionError);
    EXPECT_THROW(rows.rowStream(3, 0), ConversionError);
}

}  // namespace
}  // namespace ferro
