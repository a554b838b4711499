#include "datacontrol/unit_text.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(UnitText, KeepsTrimmedLinesWithoutBlanksOrComments) {
    EXPECT_EQ(UnitTextForEeprom("[Factory Default]\r\n  Name=QX10-1 \t\r\n\r\n ;note\r\n"
                                "CCD=ILX511"),
              "[Factory Default]\nName=QX10-1\nCCD=ILX511\n");
    EXPECT_EQ(UnitTextForEeprom("\n \t\n;only a comment\n"), "");
    EXPECT_EQ(UnitTextForEeprom(""), "");
    EXPECT_EQ(UnitTextForEeprom("A=1\rB\n"), "A=1\rB\n"); // a lone CR is text
}

} // namespace
} // namespace quillon
