// Calibration points and sets: rows to points, residuals, the line chooser's
// groups, peaks matched to lines, and the sets stored, applied and written
// into a simulated unit.
#include "datacontrol/calibration_sets.h"
#include "datacontrol/messages.h"
#include "datacontrol/profile_file.h"
#include "platform/files.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quillon;
using namespace quillon::test;

namespace {

TEST(CalibrationPoints, RowsBecomeTenthsOfANanometreAndIncompleteRowsAreLeftOut) {
    const std::vector<PointRow> rows{{"435.83", "1410"}, {"", "900"},    {"546.07", ""},
                                     {"0", "1200"},      {"12x", "300"}, {" 696.54 ", " 2100 "}};
    const auto points = storedPointsOfRows(rows);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(pointText(points[0]), "4358;1410");
    EXPECT_EQ(pointText(points[1]), "6965;2100");
    EXPECT_EQ(wavelengthCellText(4358), " 435.8");
}

TEST(CalibrationPoints, ResidualsPointAtTheMistypedPoint) {
    // wavelength = 300 + 0.2 * pixel, exactly.
    std::vector<StoredPoint> points;
    for (int pixel : {100, 500, 900, 1300, 1700}) {
        points.push_back({static_cast<int>((300.0 + 0.2 * pixel) * 10.0), pixel});
    }
    const auto exact = calibrationResiduals(points);
    ASSERT_TRUE(exact.fitted);
    EXPECT_EQ(exact.order, 3);
    EXPECT_LT(exact.rmsNm, 1e-3);

    points[2].tenthsNm += 50; // 5 nm off
    const auto typo = calibrationResiduals(points);
    ASSERT_TRUE(typo.fitted);
    std::size_t worst = 0;
    for (std::size_t i = 1; i < typo.points.size(); ++i) {
        if (std::abs(typo.points[i].residualNm) > std::abs(typo.points[worst].residualNm)) {
            worst = i;
        }
    }
    EXPECT_EQ(worst, 2u);
    EXPECT_GT(typo.rmsNm, 0.5);
    EXPECT_FALSE(calibrationResiduals(std::span(points).first(1)).fitted);
}

TEST(CalibrationPoints, LinesAreGroupedBy30NanometresAndPeaksMatchTheNearestLine) {
    const std::vector<double> lines{404.66, 435.83, 546.07, 576.96, 579.07};
    const auto groups = groupLines(lines);
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0].heading(), "390 - 420");
    EXPECT_EQ(groups[1].heading(), "420 - 450");
    EXPECT_EQ(groups[1].linesNm, std::vector<double>{435.83});
    EXPECT_EQ(groups[2].heading(), "540 - 570");
    EXPECT_EQ(groups[3].linesNm, (std::vector<double>{576.96, 579.07}));

    // The present calibration reads 1 nm short: wavelength = 299 + 0.2 * pixel.
    const std::vector<float> present{299.0f, 0.2f, 0.0f, 0.0f, 0.0f};
    const auto pixelOf = [](double nm) { return (nm - 300.0) / 0.2; };
    const std::vector<double> peaks{pixelOf(435.83), pixelOf(576.96), pixelOf(579.07),
                                    pixelOf(700.0)};
    const auto matches = matchPeaksToLines(peaks, lines, present, 1, 2.5);
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_DOUBLE_EQ(matches[0].lineNm, 435.83);
    EXPECT_DOUBLE_EQ(matches[1].lineNm, 576.96);
    EXPECT_DOUBLE_EQ(matches[2].lineNm, 579.07);
    EXPECT_NEAR(matches[0].presentNm, 434.83, 1e-3);
}

TEST(CalibrationPoints, TheShippedLineTableReadsAndBadTablesSayWhere) {
    std::string error;
    const auto lines =
        linesOfTable("species,air_wavelength_nm\nHg I,435.8335,\nAr I,696.5431,4\n", error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(lines, (std::vector<double>{435.8335, 696.5431}));
    EXPECT_TRUE(linesOfTable("species,nm\nHg I,abc\n", error).empty());
    EXPECT_EQ(error, "line 2: no wavelength in nm in the second column");
}

class Sets : public StartUpFixture {
protected:
    DataControl &start() {
        loadBench({{0, factoryEeprom("U1", "ILX511", 20), {}}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        prompter.clearShown();
        return *control;
    }
    std::vector<std::string> names(DataControl &dc) {
        std::string problem;
        const auto list = dc.Calibrations().SetNames(problem);
        EXPECT_TRUE(list) << problem;
        return list.value_or(std::vector<std::string>{});
    }
    // A good set for the bench's unit, near its factory points.
    static std::vector<StoredPoint> points() { return {{4010, 100}, {6000, 500}, {8010, 900}}; }
};

TEST_F(Sets, ANewSetIsStoredAfterTheFactorySetAndCanBeApplied) {
    DataControl &dc = start();
    EXPECT_EQ(names(dc), std::vector<std::string>{"U1[Dflt]"});
    const auto number = dc.Calibrations().SaveCustomSet("Lamp A", 0, points());
    ASSERT_EQ(number, 1);
    ProfileFile main(dc.State().mainSettingsPath);
    ASSERT_TRUE(main.Load());
    EXPECT_EQ(main.GetText("Cal 1", "Name"), "Lamp A");
    EXPECT_EQ(main.GetText("Cal 1", "Data 1"), "4010;100");
    EXPECT_EQ(main.GetInt("Cal 1", "PointCount"), 3);
    EXPECT_EQ(names(dc), (std::vector<std::string>{"U1[Dflt]", "Lamp A"}));
    EXPECT_EQ(dc.Calibrations().PointsOfSet(1), points());

    ASSERT_EQ(dc.Calibrations().ApplySet(1), OpResult::Done);
    EXPECT_EQ(dc.State().settings.calNo, 1);
    EXPECT_EQ(dc.State().settings.modelName, "Lamp A");
    const ChannelState &st = dc.State();
    EXPECT_NEAR(EvalPolynomial(st.geometry.wavelengthOfPixel, st.calibrationPolynomialOrder, 900.0),
                801.0, 0.05);
}

TEST_F(Sets, ASetThatCannotBeUsedLeavesTheCalibrationInUse) {
    DataControl &dc = start();
    const auto before = dc.State().geometry.wavelengthOfPixel;
    const std::vector<StoredPoint> one{{4010, 100}};
    ASSERT_EQ(dc.Calibrations().SaveCustomSet("One point", 0, one), 1);
    EXPECT_EQ(dc.Calibrations().ApplySet(1), OpResult::Failed);
    EXPECT_EQ(dc.State().settings.calNo, 0);
    EXPECT_EQ(dc.State().geometry.wavelengthOfPixel, before);
    const auto told = prompter.textsOf(PromptKind::Message);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(), messages::kCalibrationSetKept);
}

TEST_F(Sets, SavedInTheUnitTheSetBecomesItsFactorySetAndUnitFile) {
    DataControl &dc = start();
    const auto oldFile = dc.State().currentInfo().unitFile;
    prompter.queueYesNo(true);
    const auto outcome = dc.Calibrations().SaveInEeprom("../New Name", points());
    ASSERT_EQ(outcome.result, OpResult::Done) << outcome.report;
    const std::string unit = simCommand("eeprom 0");
    EXPECT_NE(unit.find("Name=../New Name\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("Data 3=8010;900\n"), std::string::npos) << unit;
    // The name's path characters stay inside the Ini folder.
    const auto newFile = dc.State().currentInfo().unitFile;
    EXPECT_EQ(newFile.parent_path(), dc.State().iniFolder);
    EXPECT_EQ(newFile.filename(), "_._New Name.ini");
    EXPECT_TRUE(platform::fileExists(newFile));
    EXPECT_FALSE(platform::fileExists(oldFile));
}

TEST_F(Sets, AUnitThatDoesNotKeepTheSetKeepsItsOldTextAndFile) {
    DataControl &dc = start();
    const auto oldFile = dc.State().currentInfo().unitFile;
    const std::string oldUnit = simCommand("eeprom 0");
    simCommand("eeprom 0 garble");
    prompter.queueYesNo(true);
    const auto outcome = dc.Calibrations().SaveInEeprom("Lamp B", points());
    EXPECT_EQ(outcome.result, OpResult::Failed);
    EXPECT_EQ(simCommand("eeprom 0"), oldUnit);
    EXPECT_EQ(dc.State().currentInfo().unitFile, oldFile);
    EXPECT_TRUE(platform::fileExists(oldFile));
    EXPECT_FALSE(platform::fileExists(dc.State().iniFolder / "Lamp B.ini"));

    // Answered No: nothing is touched.
    prompter.queueYesNo(false);
    EXPECT_EQ(dc.Calibrations().SaveInEeprom("Lamp B", points()).result, OpResult::NotDone);
    EXPECT_EQ(simCommand("eeprom 0"), oldUnit);
}

} // namespace

namespace {

// A unit with an empty EEPROM running on Serial.ini, which holds a calibration.
class SerialIniSets : public Sets {
protected:
    DataControl &startOnSerialIni() {
        loadBench({{0, {}}});
        writeBytes(folder / "Serial.ini", "[Factory Default]\nName=SERIAL\nIntTime=20\n"
                                          "[Cal Data]\nPointCount=2\nData 1=4000;100\n"
                                          "Data 2=8000;900\n");
        prompter.queueYesNo(true);
        prompter.queueSensorChoice(0); // QX10 : Sony ILX Series
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        prompter.clearShown();
        return *control;
    }
};

TEST_F(SerialIniSets, TheFactorySetIsNumberMinusOneAndSavingInTheUnitAsksNothing) {
    DataControl &dc = startOnSerialIni();
    ASSERT_EQ(dc.Calibrations().SaveCustomSet("Lamp A", 0, points()), 1);
    ASSERT_EQ(dc.Calibrations().ApplySet(1), OpResult::Done);
    ASSERT_EQ(dc.Calibrations().ApplySet(0), OpResult::Done);
    EXPECT_EQ(dc.State().settings.calNo, -1);
    EXPECT_EQ(dc.State().settings.modelName, "SERIAL");

    const auto outcome = dc.Calibrations().SaveInEeprom("QX10-NEW1", points());
    ASSERT_EQ(outcome.result, OpResult::Done) << outcome.report;
    EXPECT_TRUE(prompter.textsOf(PromptKind::YesNo).empty());
    const std::string unit = simCommand("eeprom 0");
    EXPECT_NE(unit.find("Name=QX10-NEW1\nCCD=ILX511\n"), std::string::npos) << unit;
    EXPECT_EQ(dc.State().currentInfo().unitFile, dc.State().iniFolder / "QX10-NEW1.ini");
    EXPECT_EQ(dc.State().currentInfo().onSerialIni, 0);
    EXPECT_TRUE(platform::fileExists(folder / "Serial.ini")); // the shared file stays
}

} // namespace
