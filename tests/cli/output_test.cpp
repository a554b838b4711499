// Scan tables, number and JSON texts, EEPROM texts made ready for a unit,
// and the simulator's unit list.
#include "cli/steps.h"
#include "cli/table_output.h"
#include "datacontrol/simulated_units.h"
#include "platform/scripted_prompter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <sstream>

using namespace quillon;
using namespace quillon::cli;

namespace {

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

const std::vector<float> kValues{1.5f, -2.25f, 1000.0f};
const std::vector<float> kWavelengths{400.0f, 500.0f, 625.0f};

ScanResult pixelResult() {
    ScanResult r;
    r.values = kValues;
    r.wavelengths = kWavelengths;
    return r;
}

ScanResult gridResult() {
    ScanResult r;
    r.values = kValues;
    r.wavelengthBase = true;
    r.start = 450.0;
    r.step = 0.5;
    return r;
}

TEST(ScanTable, PixelBaseHasFourColumnsAndOneRowPerPixel) {
    std::ostringstream out;
    ScanTableWriter(out, TableFormat::Tsv, false).write(pixelResult(), "scope");
    EXPECT_EQ(linesOf(out.str()),
              (std::vector<std::string>{"pixel\twavelength_nm\twavenumber_cm-1\tvalue",
                                        "1\t400.000\t25000.00\t1.5", "2\t500.000\t20000.00\t-2.25",
                                        "3\t625.000\t16000.00\t1000"}));
}

TEST(ScanTable, WavelengthBaseRunsFromTheGridStart) {
    std::ostringstream out;
    ScanTableWriter(out, TableFormat::Csv, false).write(gridResult(), "tr");
    EXPECT_EQ(linesOf(out.str()), (std::vector<std::string>{
                                      "wavelength_nm,wavenumber_cm-1,value", "450.000,22222.22,1.5",
                                      "450.500,22197.56,-2.25", "451.000,22172.95,1000"}));
}

TEST(ScanTable, SeveralTextTablesAreSeparatedByAnEmptyLine) {
    std::ostringstream out;
    {
        ScanTableWriter writer(out, TableFormat::Tsv, true);
        writer.write(gridResult(), "tr");
        writer.write(gridResult(), "tr");
    }
    const auto lines = linesOf(out.str());
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], lines[0]);
}

TEST(ScanTable, JsonHasNullForNumbersWithoutAForm) {
    const std::vector<float> values{std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity()};
    const std::vector<float> wavelengths{0.0f, 500.0f};
    ScanResult r;
    r.values = values;
    r.wavelengths = wavelengths;
    std::ostringstream out;
    ScanTableWriter(out, TableFormat::Json, false).write(r, "absorbance");
    EXPECT_EQ(out.str(), "{\"mode\":\"absorbance\",\"base\":\"pixel\",\"columns\":[\"pixel\","
                         "\"wavelength_nm\",\"wavenumber_cm-1\",\"value\"],\"rows\":[\n"
                         "[1,0.000,null,null],\n[2,500.000,20000.00,null]]}\n");
}

TEST(ScanTable, SeveralJsonTablesFormOneArray) {
    std::ostringstream out;
    {
        ScanTableWriter writer(out, TableFormat::Json, true);
        writer.write(gridResult(), "scope");
        writer.write(gridResult(), "scope");
    }
    const std::string text = out.str();
    EXPECT_EQ(text.front(), '[');
    EXPECT_EQ(text.substr(text.size() - 3), "}]\n");
    EXPECT_NE(text.find("]]},\n{\"mode\""), std::string::npos);
    std::ostringstream none;
    ScanTableWriter(none, TableFormat::Json, true).finish();
    EXPECT_EQ(none.str(), "[]\n");
}

TEST(Numbers, TextsDoNotFollowTheLocale) {
    // A decimal comma locale, where the machine has one.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const bool switched = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(formatFloat(0.1f), "0.1");
    EXPECT_EQ(formatFloat(-12345.5f), "-12345.5");
    EXPECT_EQ(formatFixed(2.0 / 3.0, 3), "0.667");
    EXPECT_EQ(formatFixed(1e7 / 300.0, 2), "33333.33");
    std::setlocale(LC_ALL, previous.c_str());
    if (!switched) {
        GTEST_LOG_(INFO) << "no de_DE locale here; checked in the C locale only";
    }
}

TEST(Numbers, JsonStringsAreEscaped) {
    EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsonString("line\r\n\tx"), "\"line\\r\\n\\tx\"");
    EXPECT_EQ(jsonString(std::string("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
    EXPECT_EQ(jsonString("nm \xC2\xB5"), "\"nm \xC2\xB5\"");
}

const std::string kCalibration = "[Cal Data]\nPointCount=3\nData 1=4047;300\nData 2=5461;1000\n"
                                 "Data 3=6965;1700\n";

TEST(EepromText, MadeReadyForTheUnit) {
    std::string error;
    EXPECT_EQ(eepromTextForUnit("[Factory Default]\r\n  Name=QX10-1\r\n\r\n;note\r\nCCD=ILX511\n" +
                                    kCalibration,
                                error),
              "[Factory Default]\nName=QX10-1\nCCD=ILX511\n" + kCalibration);
    EXPECT_TRUE(error.empty()) << error;
}

// A text the unit could keep but not start from would stop the next start-up.
TEST(EepromText, RefusedWhenTheUnitCouldNotStartFromIt) {
    std::string error;
    const std::string head = "[Factory Default]\nName=QX10-1\n";
    eepromTextForUnit(head + "CCD=NOPE\n" + kCalibration, error);
    EXPECT_EQ(error, "CCD=NOPE names no known sensor");
    eepromTextForUnit(head + "CCD=ILX511\n", error);
    EXPECT_EQ(error, "[Cal Data] needs PointCount= from 2 to 256");
    eepromTextForUnit(head + "CCD=ILX511\n[Cal Data]\nPointCount=2\nData 1=4047;300\n", error);
    EXPECT_EQ(error, "[Cal Data] Data 2= is not a wavelength in 0.1 nm and a pixel from 1 to 2048");
    eepromTextForUnit(head + "CCD=ILX511\n[Cal Data]\nPointCount=2\nData 1=4047;300\n"
                             "Data 2=5461;300\n",
                      error);
    EXPECT_EQ(error, "the calibration points of [Cal Data] give no usable wavelength fit");
}

TEST(EepromText, RefusedWhenTheUnitCouldNotKeepIt) {
    std::string error;
    EXPECT_EQ(eepromTextForUnit("Name=A\nBad=\x08x\n", error), "");
    EXPECT_EQ(error, "byte 11 is a control byte the unit uses to separate its records");
    eepromTextForUnit(std::string("Name=A\n\0", 8), error);
    EXPECT_EQ(error, "byte 7 is a control byte the unit uses to separate its records");
    eepromTextForUnit("\n  \n;only a comment\n", error);
    EXPECT_EQ(error, "the text is empty");
    eepromTextForUnit("CCD=ILX511\n" + kCalibration, error);
    EXPECT_EQ(error, "no Name= line: the unit would start without a serial number");
    eepromTextForUnit("Name=A\n" + std::string(4100, 'x') + "\n", error);
    EXPECT_EQ(error, "the text has 4108 bytes; at most 4095 fit");
}

TEST(SimList, PluggedSlotsInListOrder) {
    EXPECT_EQ(pluggedSlotsFromSimList(
                  "slot 0: ILX511, realtime, source halogen 2856, sample none, channel ID 0\n"
                  "slot 3: TCD1304 (unplugged), fast, source dark, sample none, channel ID 1\n"
                  "slot 7: G9212, fast, source hgar, sample nd 25, channel ID 2"),
              (std::vector<int>{0, 7}));
    EXPECT_TRUE(pluggedSlotsFromSimList("no units").empty());
}

} // namespace
