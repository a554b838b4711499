// The library through its exports only, against the simulated bench.
#include "sim_bench.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace ov::test {
namespace {

class EndToEnd : public SimBench {
protected:
    static int framesDelivered(int slot) {
        const std::string shown = sim("show " + std::to_string(slot));
        const auto at = shown.find("\nframes ");
        EXPECT_NE(at, std::string::npos) << shown;
        return at == std::string::npos ? -1 : std::stoi(shown.substr(at + 8));
    }
};

std::string serialOf(int channel) {
    std::array<char, OV_DEVINFO_TEXT_SIZE> model{};
    std::array<char, OV_DEVINFO_TEXT_SIZE> serial{};
    EXPECT_EQ(ovDevInfo(model.data(), serial.data(), channel), OV_OK);
    return serial.data();
}

TEST_F(EndToEnd, DiscoveryWithoutIdsFollowsSlotOrder) {
    load({unitAt(1).id(4).sn("A1"), unitAt(3).id(2).sn("B3")});
    ASSERT_EQ(ovTestAllChannels(0), 2);
    EXPECT_EQ(serialOf(0), "A1");
    EXPECT_EQ(serialOf(1), "B3");
    short id = 0;
    ASSERT_EQ(ovReadChannelID(&id, 1), OV_OK);
    EXPECT_EQ(id, 2);
}

TEST_F(EndToEnd, DiscoveryWithIdsMapsChannelsByStoredId) {
    load({unitAt(1).id(1).sn("A1"), unitAt(3).id(0).sn("B3")});
    ASSERT_EQ(ovTestAllChannels(1), 2);
    EXPECT_EQ(serialOf(0), "B3");
    EXPECT_EQ(serialOf(1), "A1");
}

TEST_F(EndToEnd, DuplicateAndOutOfRangeIdsAreRewrittenInDiscoveryOrder) {
    load({unitAt(2).id(5).sn("C2"), unitAt(4).id(5).sn("D4"), unitAt(8).id(40).sn("E8")});
    ASSERT_EQ(ovTestAllChannels(1), 3);
    for (int channel = 0; channel < 3; ++channel) {
        short id = -1;
        ASSERT_EQ(ovReadChannelID(&id, channel), OV_OK);
        EXPECT_EQ(id, channel);
    }
    EXPECT_EQ(serialOf(2), "E8");
    std::array<short, OV_MAX_CHANNELS> ids{};
    ovGetAssignedChannelID(ids.data());
    EXPECT_EQ(ids[0], 0);
    EXPECT_EQ(ids[2], 2);
    // The next scan finds the IDs stored by the rewrite.
    ASSERT_EQ(ovTestAllChannels(1), 3);
    EXPECT_EQ(serialOf(1), "D4");
}

TEST_F(EndToEnd, ForeignUnitsAreNotCounted) {
    load({unitAt(0).sn("F0"), unitAt(5).sn("G5")});
    sim("set 0 strings foreign");
    ASSERT_EQ(ovTestAllChannels(0), 1);
    EXPECT_EQ(serialOf(0), "G5");
    sim("unplug 5");
    EXPECT_EQ(ovTestAllChannels(0), OV_ERR_NO_DEVICE);
}

TEST_F(EndToEnd, FrameGeometryPerPacketSize) {
    start({unitAt(0).packet(1024), unitAt(1).packet(64)});
    std::vector<int> frame(2080, -1);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    ASSERT_EQ(ovReadDataEx(frame.data(), 1), OV_OK);
    EXPECT_NE(sim("show 0").find("9 packets of 256 samples, remainder 32"), std::string::npos);
    EXPECT_NE(sim("show 1").find("65 packets of 32 samples, remainder 0"), std::string::npos);
    for (const int count : frame) {
        ASSERT_GE(count, 0);
        ASSERT_LE(count, 65535);
    }
}

TEST_F(EndToEnd, RecordLayoutOf64BitDriver) {
    std::vector<SimUnit> units{unitAt(0).packet(1025)};
    std::string ini = "[Bench]\nPipeRecord64=1\n" + unitSection(units[0]);
    const auto path = tempFile("bench64.ini");
    std::ofstream(path) << ini;
    sim("bench load " + path.string());
    ASSERT_EQ(ovTestAllChannels(0), 1);
    int packet = 0;
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    EXPECT_EQ(packet, 512);
}

TEST_F(EndToEnd, ExternalTriggerThenFrame) {
    start({unitAt(2)});
    ASSERT_EQ(ovSelTrigMode(3, 0), OV_OK);
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_NO_TRIGGER);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_NO_TRIGGER);
    sim("trigger 2 1");
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_NO_TRIGGER);
    sim("trigger 2 2");
    // The averaging read does not count "no frame yet".
    EXPECT_EQ(ovReadDataAdvEx(frame.data(), 2, 0, 0, nullptr, 0), OV_OK);
    ASSERT_EQ(ovSelTrigMode(2, 0), OV_OK);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
}

TEST_F(EndToEnd, AveragingReadGivesUpWhenNoTriggerComes) {
    start({unitAt(2)});
    ASSERT_EQ(ovSelTrigMode(3, 0), OV_OK);
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataExT(frame.data(), 0), OV_ERR_NO_TRIGGER);
    ASSERT_EQ(ovSelTrigMode(2, 0), OV_OK);
}

TEST_F(EndToEnd, TimeOutThenRecovery) {
    start({unitAt(0)});
    sim("timeout 0 1");
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_TIMEOUT);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
}

TEST_F(EndToEnd, InjectedTimeOutsHitFrameReadsOnly) {
    // From the bench file: the scan with channel IDs reads every ID, and
    // the initialisation's frame takes the one time-out.
    const auto path = tempFile("timeouts.ini");
    std::ofstream(path) << "[Bench]\n" << unitSection(unitAt(0)) << "Timeouts=1\n";
    sim("bench load " + path.string());
    ASSERT_EQ(ovTestAllChannels(1), 1);
    short id = -1;
    ASSERT_EQ(ovReadChannelID(&id, 0), OV_OK);
    ASSERT_EQ(ovSetupGivenChannel(0), OV_OK);
    EXPECT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 0), OV_ERR_TIMEOUT);
    ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 0), OV_OK);

    // From the command: ID reads answer, the frame read times out.
    sim("timeout 0 1");
    EXPECT_EQ(ovReadChannelID(&id, 0), OV_OK);
    EXPECT_EQ(id, 0);
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_TIMEOUT);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
}

TEST_F(EndToEnd, LostStartFrameCommandFailsAtOnceInsteadOfTimingOut) {
    start({unitAt(0)});
    sim("fail 0 0x02 1"); // the next start-frame command is lost
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
}

TEST_F(EndToEnd, ResultTextsNameEveryCode) {
    EXPECT_STREQ(ovResultText(OV_ERR_TIMEOUT), "time-out");
    EXPECT_STREQ(ovResultText(OV_ERR_NO_TRIGGER), "no trigger yet");
    EXPECT_STREQ(ovResultText(OV_OK), "ok");
    for (const int code :
         {OV_NO, OV_ERR_REQUEST, OV_ERR_NO_DEVICE, OV_ERR_FILE, OV_ERR_NO_DATA, OV_ERR_CCD_TYPE,
          OV_ERR_AUTO_DARK, OV_ERR_NOT_AVAILABLE, OV_ERR_TRIGGER_MODE, OV_ERR_SHUTTER,
          OV_ERR_FILTER, OV_ERR_UNIT_RESET, OV_ERR_AVERAGE, OV_ERR_HALFWIDTH}) {
        EXPECT_EQ(std::string(ovResultText(code)).rfind("result ", 0), std::string::npos) << code;
    }
    EXPECT_STREQ(ovResultText(-12345), "result -12345");
    EXPECT_STREQ(ovResultText(-2147483647 - 1), "result -2147483648");
}

TEST_F(EndToEnd, UnpluggedUnitFailsWithoutHanging) {
    start({unitAt(0), unitAt(1).sn("U1")});
    sim("unplug 1");
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataEx(frame.data(), 1), OV_ERR_NO_DEVICE);
    EXPECT_EQ(ovGetModel(1), OV_ERR_NO_DEVICE);
    EXPECT_EQ(ovSetupGivenChannel(1), OV_ERR_NO_DEVICE);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    sim("replug 1");
    ASSERT_EQ(ovTestAllChannels(0), 2);
    EXPECT_EQ(serialOf(1), "U1");
}

// A unit plugged in again runs on its power-on defaults: its frames are
// refused, without a read, until its channel has been initialised again,
// whether or not a request failed while it was gone.
TEST_F(EndToEnd, UnitPluggedInAgainIsRefusedUntilInitialised) {
    start({unitAt(0), unitAt(1).sn("U1")});
    std::vector<int> frame(2080);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    for (const bool failedMeanwhile : {false, true}) {
        sim("unplug 0");
        if (failedMeanwhile) {
            EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_NO_DEVICE);
            EXPECT_EQ(ovSetIntEx(20, 0), OV_ERR_REQUEST);
        }
        sim("replug 0");
        const int delivered = framesDelivered(0);
        EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_UNIT_RESET);
        // Settings alone do not make it the unit it was.
        EXPECT_EQ(ovSetIntEx(20, 0), OV_OK);
        EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_UNIT_RESET);
        EXPECT_EQ(ovReadDataAdvEx(frame.data(), 2, 0, 0, nullptr, 0), OV_ERR_UNIT_RESET);
        EXPECT_EQ(ovReadDataExT(frame.data(), 0), OV_ERR_UNIT_RESET);
        EXPECT_EQ(framesDelivered(0), delivered);
        EXPECT_EQ(ovReadDataEx(frame.data(), 1), OV_OK); // the other unit is untouched

        ASSERT_EQ(ovSetupGivenChannel(0), OV_OK);
        EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_UNIT_RESET);
        ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 0), OV_OK);
        EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
        EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    }
}

TEST_F(EndToEnd, FailedRequestsGiveRequestErrors) {
    start({unitAt(0)});
    sim("fail 0 0x01 1");
    EXPECT_EQ(ovSetIntEx(20, 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovSetIntEx(20, 0), OV_OK);
    sim("fail 0 0x00222035 1");
    EXPECT_EQ(ovCloseGivenChannel(0), OV_ERR_REQUEST);
}

TEST_F(EndToEnd, EepromRoundTripOfTwoShortLines) {
    start({unitAt(0)});
    ASSERT_EQ(ovSetEEPROMData("Name=UNIT-123\nCCD=ILX511\n"), OV_OK);
    ASSERT_EQ(ovWriteEEPROM(nullptr, 0), OV_OK);
    ASSERT_EQ(ovSetEEPROMData(""), OV_OK);
    ASSERT_EQ(ovReadEEPROM(nullptr, 0), OV_OK);
    EXPECT_STREQ(ovGetEEPROMData(), "Name=UNIT-123\nCCD=ILX511\n\n");
    EXPECT_EQ(serialOf(0), "123");
    EXPECT_EQ(ovGetModel(0), OV_CCD_ILX511);
}

TEST_F(EndToEnd, EepromRoundTripOfALongLineAndCommentsThroughFiles) {
    start({unitAt(0)});
    const std::string longLine = "Note=" + std::string(125, 'x');
    const auto source = tempFile("unit-in.txt");
    std::ofstream(source) << "; kept out of the unit\r\nName=QX10-L1\r\n"
                          << longLine << "\r\n\r\nCCD=S10420\r\n";
    ASSERT_EQ(ovWriteEEPROM(source.string().c_str(), 0), OV_OK);
    const auto target = tempFile("unit-out.txt");
    ASSERT_EQ(ovReadEEPROM(target.string().c_str(), 0), OV_OK);
    std::stringstream back;
    back << std::ifstream(target).rdbuf();
    EXPECT_EQ(back.str(), "Name=QX10-L1\n" + longLine + "\nCCD=S10420\n\n");
    // Written back again, the text does not grow.
    ASSERT_EQ(ovWriteEEPROM(target.string().c_str(), 0), OV_OK);
    ASSERT_EQ(ovReadEEPROM(nullptr, 0), OV_OK);
    EXPECT_EQ(std::string(ovGetEEPROMData()), back.str());
    EXPECT_EQ(ovGetModel(0), OV_CCD_S10420);
    EXPECT_EQ(ovWriteEEPROM("/nonexistent/dir/x.txt", 0), OV_ERR_FILE);
    EXPECT_EQ(ovReadEEPROM("/nonexistent/dir/x.txt", 0), OV_ERR_FILE);
}

TEST_F(EndToEnd, ErasedEepromReportsNoData) {
    start({unitAt(0)});
    sim("eeprom 0 erase");
    EXPECT_EQ(ovReadEEPROM(nullptr, 0), OV_ERR_NO_DATA);
    ASSERT_EQ(ovTestAllChannels(0), 1); // the failure dropped the channel count
    EXPECT_EQ(ovGetModel(0), OV_ERR_NO_DEVICE);
}

TEST_F(EndToEnd, FactsOfTheDefaultBench) {
    sim("bench default");
    ASSERT_EQ(ovTestAllChannels(0), 3);
    EXPECT_EQ(ovGetModel(0), OV_CCD_ILX511);
    EXPECT_EQ(ovGetModel(1), OV_CCD_TCD1304);
    EXPECT_EQ(ovGetModel(2), OV_CCD_INGAAS512);
    EXPECT_EQ(ovInsShutter(0), 0);
    EXPECT_EQ(ovInsShutter(1), 1);
    std::array<char, OV_DEVINFO_TEXT_SIZE> model{};
    std::array<char, OV_DEVINFO_TEXT_SIZE> serial{};
    ASSERT_EQ(ovDevInfo(model.data(), serial.data(), 1), OV_OK);
    EXPECT_STREQ(model.data(), "QX20");
    EXPECT_STREQ(serial.data(), "T20931");
    EXPECT_EQ(ovGetDevIsNew(0), 1);
}

TEST_F(EndToEnd, WavelengthTableMatchesTheEepromPoints) {
    sim("bench default");
    ASSERT_EQ(ovTestAllChannels(0), 3);
    ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 0), OV_OK);
    std::vector<double> table(2048);
    std::vector<double> advanced(2048);
    std::array<double, OV_MAX_CAL_POINTS> pixels{};
    std::array<double, OV_MAX_CAL_POINTS> wavelengths{};
    int points = 0;
    ASSERT_EQ(ovGetWLTable(table.data(), 0), OV_OK);
    ASSERT_EQ(ovGetWLTableADV(advanced.data(), 2048, &points, pixels.data(), wavelengths.data(), 0),
              OV_OK);
    ASSERT_EQ(points, 6);
    EXPECT_EQ(pixels[0], 170);
    EXPECT_DOUBLE_EQ(wavelengths[2], 546.1);
    EXPECT_EQ(table, advanced);
    for (int k = 0; k < points; ++k) {
        const auto index = static_cast<std::size_t>(pixels[static_cast<std::size_t>(k)]) - 1;
        EXPECT_NEAR(table[index], wavelengths[static_cast<std::size_t>(k)], 0.5) << k;
    }
    for (std::size_t i = 1; i < table.size(); ++i) {
        ASSERT_GT(table[i], table[i - 1]);
    }
    // Also against ovPolyFit/ovPolyCalc on the same points.
    std::array<double, 4> c{};
    ASSERT_EQ(ovPolyFit(pixels.data(), wavelengths.data(), points, c.data(), 3), OV_OK);
    double at100 = 0;
    ovPolyCalc(c.data(), 3, 100.0, &at100);
    EXPECT_DOUBLE_EQ(table[99], at100);
}

TEST_F(EndToEnd, MissingCalibrationPointIsReported) {
    load({unitAt(0)});
    ASSERT_EQ(ovTestAllChannels(0), 1);
    ASSERT_EQ(ovSetEEPROMData("Name=QX-1\nCCD=ILX511\nPointCount=5\nData 1=4047;170\n"
                              "Data 2=5461;577\nData 4=6965;1021\nData 5=8115;1368\n"),
              OV_OK);
    ASSERT_EQ(ovWriteEEPROM(nullptr, 0), OV_OK);
    std::vector<double> table(2048);
    EXPECT_EQ(ovGetWLTable(table.data(), 0), OV_ERR_NO_DATA);
    ASSERT_EQ(ovSetEEPROMData("Name=QX-1\nCCD=ilx511\n"), OV_OK);
    ASSERT_EQ(ovWriteEEPROM(nullptr, 0), OV_OK);
    EXPECT_EQ(ovGetModel(0), -1);
    EXPECT_EQ(ovGetWLTable(table.data(), 0), OV_ERR_NO_DATA); // no PointCount
}

TEST_F(EndToEnd, InGaAsCorrectionReversesAndInverts) {
    start({unitAt(0).sensor("G9212").product(0x0324).light("dark")}, OV_CCD_INGAAS512);
    std::vector<int> raw(512);
    std::vector<int> corrected(512);
    ASSERT_EQ(ovReadDataEx(raw.data(), 0), OV_OK);
    ASSERT_EQ(ovReadDataAdvEx(corrected.data(), 1, 0, 0, nullptr, 0), OV_OK);
    double meanRaw = 0;
    double meanCorrected = 0;
    for (std::size_t i = 0; i < 512; ++i) {
        meanRaw += raw[i] / 512.0;
        meanCorrected += corrected[i] / 512.0;
    }
    EXPECT_NEAR(meanCorrected, 65535.0 - meanRaw, 200.0);
}

TEST_F(EndToEnd, AveragedAndSmoothedReadsStayNearTheRawLevel) {
    start({unitAt(0).light("halogen 2856")});
    ASSERT_EQ(ovSetIntEx(20, 0), OV_OK);
    std::vector<int> raw(2080);
    ASSERT_EQ(ovReadDataEx(raw.data(), 0), OV_OK);
    ASSERT_EQ(ovDupdate(4, 5, 0), OV_OK);
    std::vector<int> smooth(2080);
    ASSERT_EQ(ovReadDataExT(smooth.data(), 0), OV_OK);
    std::vector<int> filtered(2080);
    const std::array<short, 2> bad{700, 701};
    ASSERT_EQ(ovReadDataAdvEx(filtered.data(), 3, 50, 2, bad.data(), 0), OV_OK);
    double rawSum = 0;
    double smoothSum = 0;
    double filteredSum = 0;
    for (std::size_t i = 100; i < 2000; ++i) {
        rawSum += raw[i];
        smoothSum += smooth[i];
        filteredSum += filtered[i];
    }
    EXPECT_NEAR(smoothSum / rawSum, 1.0, 0.02);
    EXPECT_NEAR(filteredSum / rawSum, 1.0, 0.02);
    EXPECT_EQ(ovDupdate(1, 0, 0), OV_OK);
}

TEST_F(EndToEnd, ShutterMovesAndReportsItsPosition) {
    SimUnit u = unitAt(0);
    load({u});
    ASSERT_EQ(ovTestAllChannels(0), 1);
    ASSERT_EQ(ovSetShutterPos(1, 0), OV_OK);
    EXPECT_EQ(ovGetShutterPos(0), 1);
    EXPECT_EQ(ovSetShutterPos(2, 0), OV_ERR_SHUTTER);
}

TEST_F(EndToEnd, SimulatorCommandReplyIsCutToTheBuffer) {
    std::array<char, 6> reply{};
    reply.fill('#');
    EXPECT_EQ(ovSimCommand("help", reply.data(), 5), 1);
    EXPECT_EQ(std::string(reply.data()).size(), 4U);
    EXPECT_EQ(reply[5], '#');
    EXPECT_LT(ovSimCommand("no such command", nullptr, 0), 0);
}

} // namespace
} // namespace ov::test
