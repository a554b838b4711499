// The "Print Page" texts of the main settings file: defaults, what a write
// keeps, files that cannot be read or written, and the close sequence.
#include "datacontrol/print_page.h"
#include "datacontrol/profile_file.h"
#include "file_size_limit.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

using namespace quillon;
using namespace quillon::test;

namespace {

constexpr std::array<PrintPageGroup, 2> kBothPages{PrintPageGroup::Header,
                                                   PrintPageGroup::UnitInformation};
constexpr std::array<PrintPageGroup, 1> kHeaderPage{PrintPageGroup::Header};

class PrintPage : public StartUpFixture {
protected:
    std::filesystem::path settings() const { return folder / "QuillonX.ini"; }
    std::vector<std::string> messages() const { return prompter.textsOf(PromptKind::Message); }
};

TEST_F(PrintPage, MissingOrEmptyKeysReadAsDefaultsAndAreWrittenBackWithTheRestKept) {
    writeBytes(settings(), "[Extend Options]\nTimeAV=4\n[Print Page]\nOperator=\nSlit=25\n");
    const PrintPageFile file(settings());
    std::string why;
    const auto texts = file.Read(why);
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->organization, "Orvantis");
    EXPECT_EQ(texts->operatorName, "Manager");
    EXPECT_EQ(texts->sample, "Sample");
    EXPECT_EQ(texts->slit, "25");
    EXPECT_EQ(texts->boardSerial, "BoardSerial");

    // Only the pages written are touched; a line end cannot split an entry.
    PrintPageTexts changed = *texts;
    changed.sample = "Leaf\nGreen";
    changed.slit = "50";
    ASSERT_TRUE(file.Write(changed, kHeaderPage, why));
    ProfileFile saved;
    saved.SetPath(settings());
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.GetText("Extend Options", "TimeAV"), "4");
    EXPECT_EQ(saved.GetText("Print Page", "Organization"), "Orvantis");
    EXPECT_EQ(saved.GetText("Print Page", "Operator"), "Manager");
    EXPECT_EQ(saved.GetText("Print Page", "Sample"), "Leaf Green");
    EXPECT_EQ(saved.GetText("Print Page", "Slit"), "25");
    EXPECT_EQ(saved.FindEntry(saved.FindSection("Print Page"), "CCD"), -1);

    ASSERT_TRUE(file.Write(changed, kBothPages, why));
    const auto reread = file.Read(why);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->slit, "50");
    EXPECT_EQ(reread->ccd, "CCD");
}

TEST_F(PrintPage, AFileThatCannotBeReadIsToldAndNeverReplaced) {
    loadBench({{0, factoryEeprom("U1", "ILX511", 20)}});
    ASSERT_EQ(startUp(), 1);
    std::filesystem::remove(settings());
    std::filesystem::create_directories(settings() / "in the way");
    EXPECT_FALSE(control->ReadPrintPage(PrintPageGroup::Header));
    EXPECT_FALSE(control->ReadPrintPage(PrintPageGroup::UnitInformation));
    EXPECT_FALSE(control->WritePrintPage(PrintPageTexts{}, kBothPages));
    EXPECT_FALSE(
        control->WritePrintPage(PrintPageTexts{}, std::array{PrintPageGroup::UnitInformation}));
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].rfind(print_page_messages::kOpenInCustomInit, 0), 0u) << shown[0];
    EXPECT_EQ(shown[1].rfind(print_page_messages::kOpenInUnitInit, 0), 0u) << shown[1];
    EXPECT_EQ(shown[2].rfind(print_page_messages::kOpenInCustomOk, 0), 0u) << shown[2];
    EXPECT_EQ(shown[3].rfind(print_page_messages::kOpenInUnitOk, 0), 0u) << shown[3];
    EXPECT_NE(shown[0].find(settings().string()), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(settings() / "in the way"));
    prompter.clearShown();
    control->KeepSettingsFile();
}

TEST_F(PrintPage, AFailedWriteIsToldAndLeavesTheFileWhole) {
    QUILLON_SKIP_WITHOUT_FILE_SIZE_LIMIT();
    std::string content = "[Extend Options]\nTimeAV=3\n[Notes]\n";
    for (int i = 0; i < 200; ++i) {
        content += "Note" + std::to_string(i) + "=kept as it is\n";
    }
    writeBytes(settings(), content);
    loadBench({{0, factoryEeprom("U1", "ILX511", 20)}});
    ASSERT_EQ(startUp(), 1);
    PrintPageTexts texts;
    texts.organization = "Lab";
    {
        const FileSizeLimit limit(content.size() / 2);
        EXPECT_FALSE(control->WritePrintPage(texts, kHeaderPage));
    }
    EXPECT_EQ(readBytes(settings()), content);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].rfind(print_page_messages::kOpenInCustomOk, 0), 0u);
    for (const auto &entry : std::filesystem::directory_iterator(folder.path)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }
    prompter.clearShown();
    control->KeepSettingsFile();
}

TEST_F(PrintPage, TheCloseSequenceKeepsTextsWrittenDuringTheRun) {
    loadBench({{0, factoryEeprom("U1", "ILX511", 20)}});
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(control->ApplySetting("TimeAV", "6"), "");
    PrintPageTexts texts;
    texts.operatorName = "Kim";
    texts.grating = "1200";
    ASSERT_TRUE(control->WritePrintPage(texts, kBothPages));
    ASSERT_TRUE(control->CloseDown());
    ProfileFile saved;
    saved.SetPath(settings());
    ASSERT_TRUE(saved.Load());
    EXPECT_EQ(saved.GetText("Print Page", "Operator"), "Kim");
    EXPECT_EQ(saved.GetText("Print Page", "Grating"), "1200");
    EXPECT_EQ(saved.GetInt("Extend Options", "TimeAV"), 6);
    EXPECT_TRUE(messages().empty());
}

} // namespace
