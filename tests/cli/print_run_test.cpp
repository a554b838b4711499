// quillon writing the data sheet as PDF, read back by an independent PDF
// reader: the boxes of a scan with its peaks, the factory form, and a file
// that cannot be written.
#include "../datacontrol/temp_folder.h"
#include "quillon_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

std::string pdfText(const fs::path &file) {
    const std::string command = "pdftotext -layout '" + file.string() + "' -";
    std::string text;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) {
            text.append(buffer, n);
        }
        if (pclose(pipe) != 0) {
            return {};
        }
    }
    return text;
}

// The line of `text` that holds `needle`.
std::string lineWith(const std::string &text, const std::string &needle) {
    for (const std::string &line : split(text, '\n')) {
        if (line.find(needle) != std::string::npos) {
            return line;
        }
    }
    return {};
}

TEST(PrintRun, TheSheetOfAScanWithItsPeaksIsAPdfWithEveryBox) {
    TempFolder folder;
    const Outcome run =
        runIn(folder.path,
              {"--simulate", "--quiet", "sim", "set 0 source dark", "dark", "sim",
               "set 0 source hgar", "set", "axis=wavelength", "scan", "peaks", "print", "run.txt"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The name takes the form's extension, like every file step.
    ASSERT_TRUE(fs::exists(folder.path / "run.pdf"));
    EXPECT_FALSE(fs::exists(folder.path / "run.txt"));
    const std::string text = pdfText(folder.path / "run.pdf");
    ASSERT_FALSE(text.empty()) << "pdftotext could not read the file";

    const std::string header = lineWith(text, "Spectral Data Sheet");
    EXPECT_LT(header.find("Organization : Orvantis"), header.find("Spectral Data Sheet"));
    EXPECT_LT(header.find("Spectral Data Sheet"), header.find("Operator : Manager"));
    EXPECT_NE(lineWith(text, "Model : QX10"), "");
    const std::string titles = lineWith(text, "Unit Information");
    EXPECT_LT(titles.find("Unit Information"), titles.find("Wavelength value"));
    EXPECT_LT(titles.find("Wavelength value"), titles.find("Peak Data"));
    EXPECT_NE(lineWith(text, "Serial No=QX10-S10417"), "");
    EXPECT_TRUE(std::regex_search(lineWith(text, "Serial No="),
                                  std::regex(R"(No :\s+Wavelength\s+Intensity)")));
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(\n.*\s1\s+:\s+\d{3}\.\d{3}\s+\d+\.\d{3})")));
    EXPECT_EQ(text.find("No Peak Data"), std::string::npos);
}

TEST(PrintRun, TheFactoryFormListsTheUnitTextsInsteadOfTheValues) {
    TempFolder folder;
    const Outcome run =
        runIn(folder.path, {"--simulate", "--quiet", "scan", "print", "f.pdf", "--factory"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = pdfText(folder.path / "f.pdf");
    const std::string titles = lineWith(text, "Factory Unit Information");
    EXPECT_NE(titles.find("Peak Data"), std::string::npos);
    EXPECT_NE(lineWith(text, "Slit Width = Slit"), "");
    EXPECT_NE(lineWith(text, "No Peak Data"), "");
    EXPECT_EQ(text.find("Wavelength value"), std::string::npos);
}

TEST(PrintRun, TheColourSheetHoldsTheColourValuesTheTableAndTheCharts) {
    TempFolder folder;
    const std::vector<std::string> light{
        "--simulate",           "--quiet",   "sim", "set 0 source dark",         "dark", "sim",
        "set 0 source halogen", "reference", "sim", "set 0 sample filter 550 80"};
    std::vector<std::string> args = light;
    args.insert(args.end(), {"print", "c.pdf", "--colour", "colour"});
    const Outcome run = runIn(folder.path, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = pdfText(folder.path / "c.pdf");
    const std::string titles = lineWith(text, "Color Constant");
    EXPECT_LT(titles.find("Color Constant"), titles.find("Wavelength value"));
    EXPECT_NE(titles.find("Wavelength value(2)"), std::string::npos);
    EXPECT_NE(lineWith(text, "10nm interval from 400nm to 700nm"), "");
    EXPECT_NE(lineWith(text, "Wavelength(nm)"), "");
    EXPECT_NE(lineWith(text, "   550.00 "), "");
    const std::string charts = lineWith(text, "xyY");
    EXPECT_LT(charts.find("xyY"), charts.find("Lab*"));
    EXPECT_NE(charts.find("Spectral Re"), std::string::npos); // "fl" may come as a ligature
    EXPECT_NE(lineWith(text, " X=").find("Y="), std::string::npos);
    EXPECT_NE(lineWith(text, "Spectral Data Sheet"), "");

    // Without a reference there is no colour, and no file.
    const Outcome none =
        runIn(folder.path, {"--simulate", "--quiet", "print", "n.pdf", "--colour"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_FALSE(fs::exists(folder.path / "n.pdf"));
}

TEST(PrintRun, AFileThatCannotBeWrittenFailsTheStep) {
    TempFolder folder;
    const Outcome run =
        runIn(folder.path, {"--simulate", "--quiet", "scan", "print", "missing/sheet.pdf"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("step 2 (print) failed: "), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder.path / "missing"));
    // Qt's own notes stay out of the program's output.
    EXPECT_EQ(run.err.find("QStandardPaths"), std::string::npos) << run.err;
}

} // namespace
