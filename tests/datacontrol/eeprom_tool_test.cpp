// The EEPROM tool's steps against a simulated unit: what the unit holds
// after each step, and what the operator was told or asked.
#include "datacontrol/eeprom_tool.h"
#include "datacontrol/eeprom_tool_text.h"
#include "datacontrol/messages.h"
#include "datacontrol/sensors.h"
#include "datacontrol/unit_text.h"
#include "platform/files.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

class EepromToolSteps : public StartUpFixture {
protected:
    DataControl &start() {
        loadBench({{0, factoryEeprom("OLD1", "ILX511", 20)}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        prompter.clearShown();
        return *control;
    }
    std::string unitText() { return simCommand("eeprom 0"); }
    int unitId() { return control->Unit().readChannelId(0).value_or(-1); }
    std::vector<std::string> told() const { return prompter.textsOf(PromptKind::Message); }
    bool wasTold(const std::string &text) const {
        const auto all = told();
        return std::find(all.begin(), all.end(), text) != all.end();
    }
    bool backupExists() const {
        const auto backups = folder.path / "Backup";
        return std::filesystem::exists(backups) && !std::filesystem::is_empty(backups);
    }
    static std::string replaced(std::string text, const std::string &from, const std::string &to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    }
};

TEST_F(EepromToolSteps, OpeningRepairsAnIdTheUnitShouldNotHoldBeforeReadingTheText) {
    DataControl &dc = start();
    ASSERT_TRUE(dc.Unit().writeChannelId(9, 0));
    // A failing first read shows where the text is read: after the repair.
    simCommand("fail 0 0x0A 1");
    EepromTool tool(dc);
    ASSERT_TRUE(tool.Open());
    ASSERT_EQ(told(), (std::vector<std::string>{messages::kToolChannelIdRepaired,
                                                messages::kToolReadEeprom}));
    EXPECT_TRUE(tool.paneText().empty());
    EXPECT_EQ(unitId(), 0);
    EXPECT_EQ(dc.State().channelId, 0);
    ASSERT_EQ(tool.Read(), OpResult::Done);
    EXPECT_EQ(UnitTextForEeprom(tool.paneText()), unitText());
    EXPECT_EQ(tool.unitName(), "OLD1");
    EXPECT_FALSE(tool.modified());
}

TEST_F(EepromToolSteps, AnIdThatCannotBeReadOrWrittenStaysAsTheUnitHasIt) {
    DataControl &dc = start();
    simCommand("fail 0 0x5C 1");
    EepromTool unreadable(dc);
    EXPECT_FALSE(unreadable.Open());
    EXPECT_EQ(told(), std::vector<std::string>{messages::kToolReadChannelId});
    EXPECT_TRUE(unreadable.paneText().empty());
    EXPECT_EQ(unreadable.ChangeChannelId(3), OpResult::NotDone);
    EXPECT_EQ(unitId(), 0);

    ASSERT_TRUE(dc.Unit().writeChannelId(200, 0));
    prompter.clearShown();
    simCommand("fail 0 0x5B 1");
    EepromTool unrepaired(dc);
    EXPECT_FALSE(unrepaired.Open());
    EXPECT_TRUE(wasTold(messages::kToolChannelIdRepaired));
    EXPECT_EQ(told().back(), messages::kToolWriteChannelId);
    EXPECT_TRUE(unrepaired.paneText().empty());
    EXPECT_EQ(unitId(), 200);

    ASSERT_TRUE(dc.Unit().writeChannelId(1, 0));
    EepromTool tool(dc);
    ASSERT_TRUE(tool.Open());
    EXPECT_EQ(tool.ChangeChannelId(1), OpResult::NotDone);
    EXPECT_EQ(tool.ChangeChannelId(9), OpResult::NotDone);
    simCommand("fail 0 0x5B 1");
    EXPECT_EQ(tool.ChangeChannelId(5), OpResult::Failed);
    EXPECT_EQ(told().back(), messages::kToolWriteChannelId);
    EXPECT_EQ(tool.channelId(), 1);
    EXPECT_FALSE(tool.modified());
    EXPECT_EQ(unitId(), 1);
}

TEST_F(EepromToolSteps, AnEmptyEepromGetsTheTemplateOnceItNamesTheUnit) {
    DataControl &dc = start();
    const auto oldFile = dc.State().currentInfo().unitFile;
    simCommand("eeprom 0 erase");
    EepromTool tool(dc);
    ASSERT_TRUE(tool.Open());
    EXPECT_EQ(told(), std::vector<std::string>{messages::kToolEepromEmpty});
    EXPECT_TRUE(tool.paneText().empty());

    tool.Template();
    EXPECT_TRUE(tool.modified());
    EXPECT_EQ(tool.paneText(), eepromTemplate(kBoardIlx511, 0, 0));
    // No serial: refused, nothing written, the template stays for the operator.
    prompter.clearShown();
    EXPECT_EQ(tool.Write(), OpResult::Failed);
    ASSERT_EQ(told().size(), 1u);
    EXPECT_NE(told()[0].find("Name="), std::string::npos) << told()[0];
    EXPECT_TRUE(unitText().empty());
    EXPECT_FALSE(backupExists());
    EXPECT_TRUE(tool.modified());
    EXPECT_EQ(tool.paneText(), eepromTemplate(kBoardIlx511, 0, 0));

    const std::string named = replaced(tool.paneText(), "Name=", "Name=new7");
    tool.EditPane(named);
    ASSERT_EQ(tool.Write(), OpResult::Done);
    EXPECT_EQ(unitText(), UnitTextForEeprom(named));
    EXPECT_TRUE(tool.written());
    EXPECT_FALSE(tool.modified());
    EXPECT_EQ(UnitTextForEeprom(tool.paneText()), unitText());

    // OK: the unit's text becomes its unit file under its serial.
    EXPECT_TRUE(tool.Ok());
    const auto newFile = dc.State().iniFolder / "NEW7.ini";
    EXPECT_EQ(dc.State().currentInfo().unitFile, newFile);
    EXPECT_EQ(UnitTextForEeprom(platform::readWholeFile(newFile).value_or("")), unitText());
    EXPECT_FALSE(platform::fileExists(oldFile));
}

TEST_F(EepromToolSteps, AWriteNamesTheChannelsSensorAndIdWhateverTheTextSays) {
    DataControl &dc = start();
    const std::string before = unitText();
    EepromTool tool(dc);
    ASSERT_TRUE(tool.Open());
    EXPECT_EQ(tool.Write(), OpResult::NotDone);
    EXPECT_TRUE(told().empty());
    EXPECT_FALSE(backupExists());
    EXPECT_EQ(unitText(), before);

    ASSERT_EQ(tool.ChangeChannelId(3), OpResult::Done);
    std::string edited = replaced(tool.paneText(), "CCD=ILX511", "CCD=TCD1304");
    edited = replaced(edited, "IntTime=20", "IntTime=25\r\nChannel=6");
    tool.EditPane(edited);
    ASSERT_EQ(tool.Write(), OpResult::Done);
    const std::string held = unitText();
    EXPECT_NE(held.find("CCD=ILX511\n"), std::string::npos) << held;
    EXPECT_EQ(held.find("TCD1304"), std::string::npos) << held;
    EXPECT_NE(held.find("Channel=3\n"), std::string::npos) << held;
    EXPECT_EQ(held.find("Channel=6"), std::string::npos) << held;
    EXPECT_NE(held.find("IntTime=25\n"), std::string::npos) << held;
}

TEST_F(EepromToolSteps, AFailedWriteKeepsTheOperatorsTextAndReportsNothingDone) {
    DataControl &dc = start();
    const std::string before = unitText();
    EepromTool tool(dc);
    ASSERT_TRUE(tool.Open());
    const std::string edited = replaced(tool.paneText(), "IntTime=20", "IntTime=30");
    tool.EditPane(edited);
    simCommand("eeprom 0 garble");
    EXPECT_EQ(tool.Write(), OpResult::Failed);
    EXPECT_EQ(told().back(), messages::kToolWriteEeprom);
    EXPECT_EQ(tool.paneText(), edited);
    EXPECT_TRUE(tool.modified());
    EXPECT_FALSE(tool.written());
    EXPECT_TRUE(backupExists());
    EXPECT_EQ(unitText(), before);

    // While acquisition cannot pause the unit is not touched at all.
    dc.Hold().RecorderStarting();
    prompter.clearShown();
    EXPECT_EQ(tool.Write(), OpResult::NotDone);
    EXPECT_EQ(told(), std::vector<std::string>{messages::kAcquisitionDidNotPause});
    dc.Hold().RecorderEnded();
    EXPECT_EQ(unitText(), before);

    // The same text written once the unit behaves.
    ASSERT_EQ(tool.Write(), OpResult::Done);
    EXPECT_NE(unitText().find("IntTime=30\n"), std::string::npos) << unitText();
}

} // namespace
