// EEPROM writes against a simulated unit: the backup before, the read-back
// after, and the old text back when the unit does not hold the new one.
#include "datacontrol/eeprom_writer.h"
#include "datacontrol/unit_text.h"
#include "platform/files.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quillon;
using namespace quillon::test;

namespace {

const std::vector<std::string> kOldText{"[Factory Default]", "Name=OLD1",      "CCD=ILX511",
                                        "IntTime=20",        "[Cal Data]",     "PointCount=2",
                                        "Data 1=4000;100",   "Data 2=8000;900"};

std::string joined(const std::vector<std::string> &lines) {
    std::string text;
    for (const auto &line : lines) {
        text += line + "\n";
    }
    return text;
}

const std::string kNewText = "[Factory Default]\r\nName=OLD1\r\nCCD=ILX511\r\nIntTime=30\r\n"
                             "[Cal Data]\r\nPointCount=2\r\nData 1=4010;100\r\nData 2=8010;900\r\n";

class EepromWrite : public StartUpFixture {
protected:
    DataControl &start(const std::vector<std::string> &eeprom = kOldText,
                       std::vector<std::string> extra = {}) {
        loadBench({{0, eeprom, std::move(extra)}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        prompter.clearShown();
        return *control;
    }
    std::string unitText() { return simCommand("eeprom 0"); }
    std::vector<std::filesystem::path> backups() const {
        std::vector<std::filesystem::path> found;
        const auto backupFolder = folder.path / "Backup";
        if (std::filesystem::exists(backupFolder)) {
            for (const auto &entry : std::filesystem::directory_iterator(backupFolder)) {
                found.push_back(entry.path());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    std::string told() const {
        std::string all;
        for (const auto &text : prompter.textsOf(PromptKind::Message)) {
            all += text + "\n";
        }
        return all;
    }
};

TEST_F(EepromWrite, KeepsTheOldTextInANewBackupAndReportsDoneOnlyAfterTheReadBack) {
    DataControl &dc = start();
    const EepromWriteOutcome first = dc.WriteEeprom(kNewText);
    EXPECT_EQ(first.result, OpResult::Done) << first.report;
    EXPECT_EQ(unitText(), UnitTextForEeprom(kNewText));
    ASSERT_EQ(backups().size(), 1u);
    EXPECT_EQ(first.backup, backups()[0]);
    EXPECT_EQ(UnitTextForEeprom(platform::readWholeFile(first.backup).value_or("?")),
              joined(kOldText));
    EXPECT_NE(told().find(platform::pathText(first.backup)), std::string::npos) << told();

    // The same second again: a second backup beside the first, which keeps the old text.
    const EepromWriteOutcome second = dc.WriteEeprom(joined(kOldText));
    EXPECT_EQ(second.result, OpResult::Done);
    ASSERT_EQ(backups().size(), 2u);
    EXPECT_NE(second.backup, first.backup);
    EXPECT_EQ(UnitTextForEeprom(platform::readWholeFile(first.backup).value_or("?")),
              joined(kOldText));
    EXPECT_EQ(UnitTextForEeprom(platform::readWholeFile(second.backup).value_or("?")),
              UnitTextForEeprom(kNewText));
}

TEST_F(EepromWrite, AUnitThatStoresSomethingElseGetsItsOldTextBack) {
    DataControl &dc = start();
    simCommand("eeprom 0 garble");
    const EepromWriteOutcome outcome = dc.WriteEeprom(kNewText);
    EXPECT_EQ(outcome.result, OpResult::Failed);
    EXPECT_TRUE(outcome.restored);
    EXPECT_EQ(unitText(), joined(kOldText));
    ASSERT_EQ(backups().size(), 1u);
    EXPECT_NE(told().find("differs"), std::string::npos) << told();
    EXPECT_NE(told().find("written back"), std::string::npos) << told();
}

// The new text does not fit: the transfer breaks off after its first packets.
TEST_F(EepromWrite, AWriteThatFailsHalfWayLeavesTheOldTextAndSaysSo) {
    const std::size_t oldSize = joined(kOldText).size();
    DataControl &dc = start(kOldText, {"EepromCapacity=" + std::to_string(oldSize + 40)});
    std::string longText = kNewText;
    for (int i = 0; i < 8; ++i) {
        longText += "Note" + std::to_string(i) + "=a line the small EEPROM cannot hold\r\n";
    }
    const EepromWriteOutcome outcome = dc.WriteEeprom(longText);
    EXPECT_EQ(outcome.result, OpResult::Failed);
    EXPECT_EQ(unitText(), joined(kOldText));
    EXPECT_EQ(backups().size(), 1u);
    EXPECT_NE(told().find("did not take"), std::string::npos) << told();
}

TEST_F(EepromWrite, AnUnreadableEepromIsNotWrittenForWantOfABackup) {
    DataControl &dc = start();
    simCommand("fail 0 0x0A 1");
    const EepromWriteOutcome outcome = dc.WriteEeprom(kNewText);
    EXPECT_EQ(outcome.result, OpResult::Failed);
    EXPECT_TRUE(outcome.backup.empty());
    EXPECT_TRUE(backups().empty());
    EXPECT_EQ(unitText(), joined(kOldText));
    EXPECT_NE(told().find("Nothing was written"), std::string::npos) << told();
}

TEST_F(EepromWrite, TheTextTheUnitHoldsBecomesItsUnitFileUnderItsSerial) {
    DataControl &dc = start();
    const auto oldFile = dc.State().currentInfo().unitFile;
    std::string renamed = kNewText;
    renamed.replace(renamed.find("Name=OLD1"), 9, "Name=new2");
    ASSERT_EQ(dc.WriteEeprom(renamed).result, OpResult::Done);
    ASSERT_EQ(dc.AdoptUnitText(), OpResult::Done);
    const auto newFile = dc.State().currentInfo().unitFile;
    EXPECT_EQ(newFile, dc.State().iniFolder / "NEW2.ini");
    EXPECT_EQ(UnitTextForEeprom(platform::readWholeFile(newFile).value_or("")),
              UnitTextForEeprom(renamed));
    EXPECT_FALSE(platform::fileExists(oldFile));

    simCommand("fail 0 0x0A 1");
    EXPECT_EQ(dc.AdoptUnitText(), OpResult::Failed);
    EXPECT_EQ(dc.State().currentInfo().unitFile, newFile);
    EXPECT_TRUE(platform::fileExists(newFile));
}

TEST(EepromBackupName, UsesTheSafeUnitNameAndTheNextFreeNumber) {
    TempFolder folder;
    EepromBackupPlace place{folder.path, "../A:B", std::chrono::system_clock::now()};
    const auto first = freeBackupPath(place);
    EXPECT_EQ(first.parent_path(), folder.path);
    EXPECT_EQ(first.filename().string().rfind("_._A_B_", 0), 0u) << first;
    ASSERT_TRUE(platform::replaceTextFile(first, "x"));
    const auto second = freeBackupPath(place);
    EXPECT_EQ(second.stem().string(), first.stem().string() + "_2");
}

} // namespace
