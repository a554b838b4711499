// The wavelength calibration dialog's work without its window: the table
// filled from each source, the peaks the graph reports, the sets kept, and
// a unit re-calibrated on the Hg-Ar lamp through the same steps.
#include "analysis/peak_finder.h"
#include "datacontrol/calibration_session.h"
#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "datacontrol/profile_file.h"
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quillon;
using namespace quillon::test;

namespace {

TEST(CalibrationPixel, APeakGivesTheWholePixelOnEitherAxis) {
    // pixel = (nm - 300) / 0.2
    const std::vector<float> pixelOfNm{-1500.0f, 5.0f, 0.0f, 0.0f, 0.0f};
    analysis::Peak peak;
    peak.position = 1409.6f;
    EXPECT_EQ(calibrationPixelOfPeak(peak, false, pixelOfNm, 1, 2048), 1410);
    peak.position = 400.02f; // nm on the grid
    EXPECT_EQ(calibrationPixelOfPeak(peak, true, pixelOfNm, 1, 2048), 500);
    peak.position = 800.0f; // beyond the sensor's last pixel
    EXPECT_EQ(calibrationPixelOfPeak(peak, true, pixelOfNm, 1, 2048), std::nullopt);
    peak.position = std::nanf("");
    EXPECT_EQ(calibrationPixelOfPeak(peak, false, pixelOfNm, 1, 2048), std::nullopt);
}

class Session : public StartUpFixture {
protected:
    DataControl &start() {
        loadBench({{0, factoryEeprom("U1", "ILX511", 20), {"Source=hgar"}}});
        EXPECT_EQ(startUp(), 1);
        EXPECT_EQ(toCode(control->FinishStartUp()), 1);
        prompter.clearShown();
        return *control;
    }
    // The lamp's peaks on the pixel axis, as the graph finds them.
    static void findLampPeaks(DataControl &dc) {
        dc.SetWavelengthBase(false);
        dc.SetDisplayMode(DisplayMode::Scope);
        ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
        ASSERT_EQ(dc.AcquireScan(), ScanOutcome::Scanned);
        (void)dc.FindPeaks();
        ASSERT_GE(dc.Peaks().size(), 3u);
    }
    static void fillPoints(CalibrationSession &session,
                           const std::vector<std::pair<std::string, std::string>> &cells) {
        for (std::size_t row = 0; row < cells.size(); ++row) {
            session.SetWavelengthCell(static_cast<int>(row), cells[row].first);
            session.SetPixelCell(static_cast<int>(row), cells[row].second);
        }
    }
};

TEST_F(Session, TheFirstCustomSetIsMadeFromATypedNameAndCanBeApplied) {
    DataControl &dc = start();
    CalibrationSession session(dc);
    ASSERT_TRUE(session.Open());
    EXPECT_EQ(session.SetNames(), std::vector<std::string>{"U1[Dflt]"});
    EXPECT_EQ(session.Source(), PointSource::FactorySet);
    EXPECT_EQ(session.Rows()[0].wavelength, " 400.0");
    EXPECT_EQ(session.Rows()[1].pixel, "900");
    EXPECT_FALSE(session.ApplyEnabled());
    EXPECT_FALSE(session.SetListEnabled());

    session.ChooseSource(PointSource::NewSet);
    EXPECT_EQ(session.Rows()[0].wavelength, "");
    EXPECT_EQ(session.TypedName(), "");
    session.TypeName("Lamp A");
    fillPoints(session, {{"435.83", "1410"}, {"", "77"}, {"696.54", "2000"}, {"546.07", "1700"}});
    const CalibrationResiduals fit = session.Residuals();
    ASSERT_TRUE(fit.fitted);
    EXPECT_EQ(fit.points.size(), 3u);
    ASSERT_TRUE(session.SaveInIniFile());

    ProfileFile main(dc.State().mainSettingsPath);
    ASSERT_TRUE(main.Load());
    EXPECT_EQ(main.GetText("Cal 1", "Name"), "Lamp A");
    EXPECT_EQ(main.GetText("Cal 1", "Data 1"), "4358;1410");
    EXPECT_EQ(main.GetText("Cal 1", "Data 2"), "6965;2000");
    EXPECT_EQ(main.GetInt("Cal 1", "PointCount"), 3);
    EXPECT_EQ(session.SetNames(), (std::vector<std::string>{"U1[Dflt]", "Lamp A"}));
    EXPECT_EQ(session.SelectedEntry(), 1);
    EXPECT_TRUE(session.ApplyEnabled());

    ASSERT_EQ(session.ApplyAsDefault(), OpResult::Done);
    EXPECT_EQ(dc.State().settings.calNo, 1);
    EXPECT_EQ(dc.State().settings.modelName, "Lamp A");
    EXPECT_FALSE(session.ApplyEnabled());

    // Opened again, the set in use is shown; the factory set can be had back.
    CalibrationSession again(dc);
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Source(), PointSource::CustomSet);
    EXPECT_EQ(again.SelectedEntry(), 1);
    EXPECT_EQ(again.Rows()[0].wavelength, " 435.8");
    EXPECT_TRUE(again.SaveInEepromEnabled());
    again.ChooseEntry(0);
    EXPECT_EQ(again.Source(), PointSource::FactorySet);
    EXPECT_TRUE(again.ApplyEnabled());
    ASSERT_EQ(again.ApplyAsDefault(), OpResult::Done);
    EXPECT_EQ(dc.State().settings.calNo, 0);
    EXPECT_EQ(dc.State().settings.modelName, "U1");
}

TEST_F(Session, ListsThatWouldLoseASetAreNotSaved) {
    DataControl &dc = start();
    CalibrationSession session(dc);
    ASSERT_TRUE(session.Open());
    session.ChooseSource(PointSource::NewSet);
    session.TypeName("Lamp A");
    fillPoints(session, {{"435.83", "1410"}, {"546.07", "1700"}});
    ASSERT_TRUE(session.SaveInIniFile());

    // Set 1 chosen with a list that holds no complete point: its points stay.
    session.ChooseSource(PointSource::AutoPeaks);
    session.ChooseEntry(1);
    EXPECT_FALSE(session.SaveInIniFile());
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(), messages::kTooFewPointsToSave);
    EXPECT_EQ(dc.Calibrations().PointsOfSet(1).size(), 2u);

    // The factory entry saved becomes a new set, not the last one replaced.
    session.ChooseSource(PointSource::FactorySet);
    ASSERT_TRUE(session.SaveInIniFile());
    EXPECT_EQ(dc.Calibrations().PointsOfSet(1).size(), 2u);
    ProfileFile main(dc.State().mainSettingsPath);
    ASSERT_TRUE(main.Load());
    EXPECT_EQ(main.GetText("Cal 2", "Name"), "U1");
    EXPECT_EQ(main.GetText("Cal 2", "Data 1"), "4000;100");

    // A blank name is refused.
    session.ChooseSource(PointSource::NewSet);
    session.TypeName("   ");
    fillPoints(session, {{"435.83", "1410"}, {"546.07", "1700"}});
    EXPECT_FALSE(session.SaveInIniFile());
    EXPECT_EQ(prompter.textsOf(PromptKind::Message).back(), messages::kNoSetName);
    EXPECT_EQ(main.Load() ? main.GetText("Cal 3", "Name") : "?", "");
}

TEST_F(Session, PeakMessagesFillOneRowPerNewPixel) {
    DataControl &dc = start();
    findLampPeaks(dc);
    CalibrationSession session(dc);
    ASSERT_TRUE(session.Open());
    session.ChooseSource(PointSource::NewSet);
    const std::vector<analysis::Peak> peaks = dc.Peaks().Peaks();
    const std::string first = std::to_string(static_cast<int>(std::trunc(peaks[0].position + 0.5)));

    EXPECT_EQ(session.PeakMessage(1), 0);
    EXPECT_EQ(session.PeakMessage(1), std::nullopt); // the same tip again
    EXPECT_EQ(session.PeakMessage(2), 1);
    EXPECT_EQ(session.Rows()[0].pixel, first);
    EXPECT_EQ(session.Rows()[2].pixel, "");
    EXPECT_EQ(session.PeakMessage(0), std::nullopt);
    EXPECT_EQ(session.PeakMessage(static_cast<int>(peaks.size()) + 1), std::nullopt);
    // After a refresh the same peak counts again, into the next row.
    session.ForgetLastPeak();
    EXPECT_EQ(session.PeakMessage(2), 2);

    // The peak list itself fills the table; a tip then only selects its row.
    session.ChooseSource(PointSource::AutoPeaks);
    EXPECT_EQ(session.Rows()[0].pixel, first);
    EXPECT_EQ(session.Rows()[0].wavelength, "");
    EXPECT_EQ(session.PeakMessage(3), 2);
    EXPECT_EQ(session.Rows()[3].pixel,
              std::to_string(static_cast<int>(std::trunc(peaks[3].position + 0.5))));

    // The data base gives wavelengths only, and tips leave it alone.
    session.ChooseSource(PointSource::Database);
    EXPECT_EQ(session.Rows()[0].pixel, "");
    EXPECT_FALSE(session.Rows()[0].wavelength.empty());
    EXPECT_EQ(session.PeakMessage(1), std::nullopt);
    EXPECT_FALSE(session.ApplyEnabled());
    EXPECT_FALSE(session.SaveInEepromEnabled());
}

// A unit running on the shared Serial.ini has the factory set as number -1.
TEST_F(Session, TheFactorySetOfASerialIniUnitIsAppliedAsMinusOne) {
    loadBench({{0, {}}});
    writeBytes(folder / "Serial.ini", "[Factory Default]\nName=SERIAL\nIntTime=20\n"
                                      "[Cal Data]\nPointCount=2\nData 1=4000;100\n"
                                      "Data 2=8000;900\n");
    prompter.queueYesNo(true);
    prompter.queueSensorChoice(0);
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    DataControl &dc = *control;
    ASSERT_EQ(dc.Calibrations().SaveCustomSet("Lamp A", 0,
                                              std::vector<StoredPoint>{{4010, 100}, {8010, 900}}),
              1);
    ASSERT_EQ(dc.Calibrations().ApplySet(1), OpResult::Done);

    CalibrationSession session(dc);
    ASSERT_TRUE(session.Open());
    session.ChooseSource(PointSource::FactorySet);
    EXPECT_TRUE(session.ApplyEnabled());
    ASSERT_EQ(session.ApplyAsDefault(), OpResult::Done);
    EXPECT_EQ(dc.State().settings.calNo, -1);
    EXPECT_EQ(dc.State().settings.modelName, "SERIAL");
}

// The TCD1304 unit of the default bench reads up to 1 nm off. The operator
// takes the lamp's peaks, gives each the line it is, and writes the list
// into the unit; set up again from the unit, the lines fall where they are.
TEST_F(Session, ALampCalibrationWrittenIntoTheUnitPutsTheLinesInPlace) {
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    ASSERT_EQ(toCode(control->ChangeChannel(1)), 1);
    simCommand("set 1 source hgar");
    DataControl &dc = *control;
    const std::string serial = dc.State().settings.modelName;
    const std::vector<double> lines = dc.Calibrations().DatabaseLines();
    const auto offBefore = dc.PointsFromLampScan(lines, 2.5);
    ASSERT_TRUE(offBefore);
    ASSERT_GE(offBefore->matches.size(), 8u);
    double worstBefore = 0.0;
    for (const MatchedLine &m : offBefore->matches) {
        worstBefore = std::max(worstBefore, std::abs(m.presentNm - m.lineNm));
    }
    EXPECT_GT(worstBefore, 0.5);

    // The operator points at each peak that is a single line and chooses
    // that line for the row the peak's pixel went into.
    CalibrationSession session(dc);
    ASSERT_TRUE(session.Open());
    session.ChooseSource(PointSource::NewSet);
    const std::vector<analysis::Peak> peaks = dc.Peaks().Peaks();
    int named = 0;
    for (std::size_t rank = 1; rank <= peaks.size(); ++rank) {
        for (const MatchedLine &m : offBefore->matches) {
            if (std::lround(m.pixel) != std::lround(peaks[rank - 1].position)) {
                continue;
            }
            const auto row = session.PeakMessage(static_cast<int>(rank));
            ASSERT_TRUE(row);
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", m.lineNm);
            session.SetWavelengthCell(*row, text);
            ++named;
        }
    }
    ASSERT_GE(named, 8);
    const CalibrationResiduals fit = session.Residuals();
    ASSERT_TRUE(fit.fitted);
    EXPECT_LT(fit.rmsNm, 0.1);

    session.TypeName(serial);
    prompter.queueYesNo(true); // the factory data of the unit is replaced
    const EepromWriteOutcome written = session.SaveInEeprom();
    ASSERT_EQ(written.result, OpResult::Done) << written.report;
    EXPECT_TRUE(std::filesystem::exists(written.backup));
    EXPECT_EQ(session.Source(), PointSource::FactorySet);
    EXPECT_TRUE(session.ApplyEnabled());

    // A new run sets the unit up from what it holds.
    control.reset();
    ASSERT_EQ(startUp(), 1);
    ASSERT_EQ(toCode(control->FinishStartUp()), 1);
    ASSERT_EQ(toCode(control->ChangeChannel(1)), 1);
    const auto after = control->PointsFromLampScan(lines, 0.5);
    ASSERT_TRUE(after);
    ASSERT_GE(after->matches.size(), 8u);
    double squares = 0.0;
    for (const MatchedLine &m : after->matches) {
        EXPECT_LT(std::abs(m.presentNm - m.lineNm), 0.15) << m.lineNm;
        squares += (m.presentNm - m.lineNm) * (m.presentNm - m.lineNm);
    }
    EXPECT_LT(std::sqrt(squares / static_cast<double>(after->matches.size())), 0.1);
}

} // namespace
