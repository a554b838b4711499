// The EEPROM tool's text rules.
#include "datacontrol/eeprom_tool_text.h"
#include "datacontrol/sensors.h"

#include <gtest/gtest.h>

using namespace quillon;

namespace {

TEST(EepromToolText, TheTemplateNamesTheChannelsSensorAndID) {
    EXPECT_EQ(eepromTemplate(kBoardTcd1304, 0, 3),
              "[Factory Default]\r\nName=\r\nCCD=TCD1304\r\nChannel=3\r\nIntTime=3500\r\n"
              "PixelFlip=0\r\nInitPane=4\r\nIrradDist=50\r\nBadPixels=\r\n[Cal Data]\r\n");
    EXPECT_NE(
        eepromTemplate(kBoardInGaAs256, 4, 0).find("CCD=G9208-256\r\nChannel=0\r\nIntTime=35\r\n"),
        std::string::npos);
    // A kind that does not go with the board: no CCD line.
    EXPECT_EQ(eepromTemplate(kBoardInGaAs256, 1, 0).find("CCD="), std::string::npos);
}

TEST(EepromToolText, AWriteSetsTheChannelAndTheSensorOfTheChannel) {
    const std::string pane = "[Factory Default]\r\nName= qx20-a1 \r\nCCD=ILX511\r\nChannel=5\r\n"
                             "[Cal Data]\r\nPointCount=0\r\n";
    const auto prepared = prepareEepromText(pane, 2, kBoardTcd1304, 0);
    EXPECT_EQ(prepared.refusal, "");
    EXPECT_EQ(prepared.unitName, "QX20-A1");
    EXPECT_EQ(prepared.text, "[Factory Default]\nName= qx20-a1 \nCCD=TCD1304\nChannel=2\n"
                             "[Cal Data]\nPointCount=0\n");

    // Missing lines go to the end of the factory section; another name of
    // the same sensor stays.
    const auto added = prepareEepromText("[Factory Default]\nName=G1\nCCD=G9212\n[Cal Data]\n", 1,
                                         kBoardInGaAs512, 0);
    EXPECT_EQ(added.text, "[Factory Default]\nName=G1\nCCD=G9212\nChannel=1\n[Cal Data]\n");
    const auto bare = prepareEepromText("Name=X1\n", 0, kBoardIlx511, 0);
    // Without the section the lines open one, and the name falls inside it.
    EXPECT_EQ(bare.text, "[Factory Default]\nChannel=0\nName=X1\nCCD=ILX511\n");
}

TEST(EepromToolText, TheNameLosesOnlyItsKeyAndATextWithoutOneIsRefused) {
    EXPECT_EQ(unitNameOfText("[Factory Default]\r\nname=mean-01\r\n"), "MEAN-01");
    const auto refused = prepareEepromText("[Factory Default]\nCCD=ILX511\n", 0, kBoardIlx511, 0);
    EXPECT_FALSE(refused.refusal.empty());
    EXPECT_TRUE(refused.text.empty());
}

TEST(EepromToolText, IdsAndLineEnds) {
    EXPECT_EQ(channelIdChoices(3).size(), 8u);
    EXPECT_EQ(channelIdChoices(8).back(), 8);
    EXPECT_TRUE(channelIdNeedsRepair(9));
    EXPECT_TRUE(channelIdNeedsRepair(-1));
    EXPECT_FALSE(channelIdNeedsRepair(8));
    EXPECT_EQ(withPaneLineEnds("a\nb\r\n"), "a\r\nb\r\n");
    EXPECT_EQ(withUnitLineEnds("a\r\nb"), "a\nb\n");
}

} // namespace
