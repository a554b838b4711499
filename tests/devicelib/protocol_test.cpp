// The library's conversation with a unit, byte by byte, against scripted
// units (the simulated bench is exercised by the end-to-end tests).
#include "fake_driver.h"
#include "ovdbusbm.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace ov::test {
namespace {

class Protocol : public testing::Test {
protected:
    void SetUp() override { fake = &installFakeDriver(); }

    FakeUnit &unit(int slot) {
        FakeUnit &u = fake->units[static_cast<std::size_t>(slot)];
        u.present = true;
        return u;
    }

    // Units at the given slots, scanned without channel IDs and initialised.
    void bench(std::initializer_list<int> slots, int ccdType = OV_CCD_ILX511) {
        for (const int slot : slots) {
            unit(slot);
        }
        ASSERT_EQ(ovTestAllChannels(0), static_cast<short>(slots.size()));
        for (int channel = 0; channel < static_cast<int>(slots.size()); ++channel) {
            ASSERT_EQ(ovInitGivenChannel(ccdType, channel), OV_OK);
        }
    }

    static std::vector<std::uint8_t> bytesOf(const std::string &text) {
        return {text.begin(), text.end()};
    }

    FakeDriver *fake = nullptr;
};

TEST_F(Protocol, ScanSkipsForeignUnitsAndMapsChannelsInSlotOrder) {
    unit(1);
    unit(3).channelId = 7;
    unit(5).string2 = "Other maker";
    unit(6).string1 = "";
    ASSERT_EQ(ovTestAllChannels(0), 2);
    short id = 0;
    ASSERT_EQ(ovReadChannelID(&id, 1), OV_OK);
    EXPECT_EQ(id, 7);
    EXPECT_TRUE(fake->units[5].commands.empty());
    EXPECT_EQ(ovReadChannelID(&id, 2), OV_ERR_REQUEST);
    EXPECT_EQ(id, -1);
}

TEST_F(Protocol, NoUnitGivesNoDevice) {
    EXPECT_EQ(ovTestAllChannels(1), OV_ERR_NO_DEVICE);
}

TEST_F(Protocol, DuplicateAndOutOfRangeIdsAreRewrittenInDiscoveryOrder) {
    unit(2).channelId = 3;
    unit(4).channelId = 3;
    unit(7).channelId = 12;
    ASSERT_EQ(ovTestAllChannels(1), 3);
    EXPECT_EQ(fake->units[2].channelId, 0);
    EXPECT_EQ(fake->units[4].channelId, 1);
    EXPECT_EQ(fake->units[7].channelId, 2);
    std::array<short, OV_MAX_CHANNELS> ids{};
    ids.fill(-9);
    ovGetAssignedChannelID(ids.data());
    EXPECT_EQ(ids[0], 0);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 2);
    EXPECT_EQ(ids[3], -9);
}

TEST_F(Protocol, DistinctIdsMapChannelsByStoredId) {
    unit(2).channelId = 1;
    unit(6).channelId = 0;
    ASSERT_EQ(ovTestAllChannels(1), 2);
    EXPECT_TRUE(fake->units[2].commands.size() == 1); // only the ID read, no rewrite
    short id = -1;
    ASSERT_EQ(ovReadChannelID(&id, 0), OV_OK);
    EXPECT_EQ(fake->units[6].commands.back()[0], 0x5C);
}

TEST_F(Protocol, ScanDrainsStaleData) {
    unit(0).drainPackets = 5;
    ASSERT_EQ(ovTestAllChannels(0), 1);
    EXPECT_EQ(fake->units[0].drainPackets, 0);
}

TEST_F(Protocol, SpeedCheckReadsTheRecordLayoutOfTheDriver) {
    unit(0).maxPacket = 1025;
    int packet = 0;
    ASSERT_EQ(ovTestAllChannels(0), 1);
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    EXPECT_EQ(packet, 512);
    fake->layout64 = true;
    unit(0).maxPacket = 512;
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    EXPECT_EQ(packet, 64);
    unit(0).maxPacket = 1024;
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    EXPECT_EQ(packet, 512);
    unit(0).failingCodes.insert(driver::kIoctlPipeInfo);
    EXPECT_EQ(ovCheckSpeedMode(&packet, 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovCheckSpeedMode(&packet, 4), OV_ERR_NO_DEVICE);
}

TEST_F(Protocol, OversizedOrEmptyStringDescriptorsAreHandled) {
    unit(0).string1 = "OV" + std::string(300, 'x'); // longer than any descriptor buffer
    unit(0).string1LengthOverride = 255;
    unit(1).string1LengthOverride = 0;
    EXPECT_EQ(ovTestAllChannels(0), 1);
}

TEST_F(Protocol, FrameAtPacketSize512TakesNineReadsAndDecodesInOrder) {
    unit(0).maxPacket = 1024;
    bench({0});
    fake->units[0].frameReads = 0;
    std::vector<int> frame(2080, -1);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    EXPECT_EQ(fake->units[0].frameReads, 9);
    for (int k = 0; k < 2080; ++k) {
        ASSERT_EQ(frame[static_cast<std::size_t>(k)], fakeSampleWord(k) ^ 0x8000) << k;
    }
}

TEST_F(Protocol, FrameAtPacketSize64TakesSixtyFiveReads) {
    unit(0).maxPacket = 64;
    bench({0});
    fake->units[0].frameReads = 0;
    std::vector<int> frame(2080);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    EXPECT_EQ(fake->units[0].frameReads, 65);
    EXPECT_EQ(frame[2079], fakeSampleWord(2079) ^ 0x8000);
}

TEST_F(Protocol, SampleFormatFollowsTheProductId) {
    unit(0).productId = 0x0323;
    bench({0});
    ASSERT_EQ(ovGetDevIsNew(0), 1);
    std::vector<int> frame(2080);
    ASSERT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    EXPECT_EQ(frame[5], 0xFFFF - fakeSampleWord(5));
}

TEST_F(Protocol, ExternalTriggerAndTimeOut) {
    bench({0});
    ASSERT_EQ(ovSetTrgEx(OV_TRIGGER_EXTERNAL, 0), OV_OK);
    EXPECT_EQ(fake->units[0].commands.back()[0], 0x04);
    fake->units[0].noFrameYet = true;
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_NO_TRIGGER);
    fake->units[0].noFrameYet = false;
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_OK);
    fake->units[0].timeOut = true;
    EXPECT_EQ(ovReadDataEx(frame.data(), 0), OV_ERR_TIMEOUT);
    fake->units[0].timeOut = false;
    ASSERT_EQ(ovSetTrgEx(OV_TRIGGER_RESET, 0), OV_OK);
}

TEST_F(Protocol, InitialiseSendsGeometryThenTriggerSkipTimeAndOneFrame) {
    unit(0).maxPacket = 1024;
    unit(0).vendorId = 0x1234; // an older unit: trigger by mode 10 then 11
    bench({0}, OV_CCD_S7031);
    std::vector<std::uint8_t> codes;
    for (const Packet &p : fake->units[0].commands) {
        codes.push_back(p[0]);
    }
    EXPECT_EQ(codes, (std::vector<std::uint8_t>{0x00, 0x03, 0x14, 0x01, 0x02}));
    const Packet &init = fake->units[0].commands[0];
    EXPECT_EQ(init[3] | (init[4] << 8), 1056);
    EXPECT_EQ(init[5], 1);
    EXPECT_EQ(init[7], 5);
    EXPECT_EQ(init[8] | (init[9] << 8), 32);
}

TEST_F(Protocol, BadCcdTypeShowsTheMessageAndSendsNothing) {
    unit(0);
    ASSERT_EQ(ovTestAllChannels(0), 1);
    std::vector<std::string> messages;
    ovSetMessageHook(
        [](const char *text, void *context) {
            static_cast<std::vector<std::string> *>(context)->emplace_back(text);
        },
        &messages);
    EXPECT_EQ(ovInitGivenChannel(6, 0), OV_ERR_CCD_TYPE);
    ovSetMessageHook(nullptr, nullptr);
    EXPECT_EQ(messages, (std::vector<std::string>{"Error in setting the CCD type!"}));
    EXPECT_TRUE(fake->units[0].commands.empty());
}

TEST_F(Protocol, IntegrationTimeUnitsOnTheTenMicrosecondSensor) {
    bench({0}, OV_CCD_TCD1304);
    ASSERT_EQ(ovSetIntEx(399, 0), OV_OK);
    Packet p = fake->units[0].commands.back();
    EXPECT_EQ(p[1] | (p[2] << 8), 399);
    EXPECT_EQ(p[3], 7);
    ASSERT_EQ(ovSetIntEx(400, 0), OV_OK);
    p = fake->units[0].commands.back();
    EXPECT_EQ(p[1] | (p[2] << 8), 4);
    EXPECT_EQ(p[3], 8);
    ASSERT_EQ(ovSetDblIntEx(3.999, 0), OV_OK);
    p = fake->units[0].commands.back();
    EXPECT_EQ(p[1] | (p[2] << 8), 400);
    EXPECT_EQ(p[3], 7);
    fake->units[0].failingCodes.insert(driver::kIoctlBulkWrite);
    EXPECT_EQ(ovSetIntEx(100, 0), OV_ERR_REQUEST);
}

TEST_F(Protocol, TriggerSelectionOnNewerUnits) {
    unit(0).productId = 0x0322;
    bench({0});
    fake->units[0].commands.clear();
    ASSERT_EQ(ovSelTrigMode(2, 0), OV_OK);
    EXPECT_EQ(fake->units[0].commands[0][0], 0x1E);
    EXPECT_EQ(fake->units[0].commands[0][1], 0); // ILX511, mode 2 goes out as 0
    ASSERT_EQ(ovSelTrigMode(4, 0), OV_OK);
    EXPECT_EQ(fake->units[0].commands.back()[0], 0x04);
    EXPECT_EQ(ovSelTrigMode(5, 0), OV_ERR_TRIGGER_MODE);
    ASSERT_EQ(ovInitGivenChannel(OV_CCD_INGAAS512, 0), OV_OK);
    EXPECT_EQ(ovSetExtEdgeMode(1, 0), OV_ERR_NOT_AVAILABLE);
    EXPECT_EQ(ovSetIntMode(1, 10.0, 0), OV_ERR_NOT_AVAILABLE);
    EXPECT_EQ(ovSetTrgEx(OV_TRIGGER_RESET, 0), OV_OK);
}

TEST_F(Protocol, SimpleCommandsAndRangeChecks) {
    bench({0});
    fake->units[0].commands.clear();
    EXPECT_EQ(ovSetTEC(0x1A5, 0), OV_OK);
    EXPECT_EQ(ovSelectCF(2, 0), OV_OK);
    EXPECT_EQ(ovSetSafeMemory(1, 0), OV_OK);
    EXPECT_EQ(ovResisterSetup(9, 0), OV_OK);
    ASSERT_EQ(fake->units[0].commands.size(), 4U);
    EXPECT_EQ(fake->units[0].commands[0][0], 0x13);
    EXPECT_EQ(fake->units[0].commands[0][1], 0xA5);
    EXPECT_EQ(fake->units[0].commands[3][0], 0x32);
    EXPECT_EQ(ovSetShutterPos(2, 0), OV_ERR_SHUTTER);
    EXPECT_EQ(ovFilterWheel(0, 0), OV_ERR_FILTER);
    EXPECT_EQ(ovFilterWheel(7, 0), OV_ERR_FILTER);
    EXPECT_EQ(fake->units[0].commands.size(), 4U);
    EXPECT_EQ(ovDupdate(1, 1, 0), OV_ERR_HALFWIDTH);
    EXPECT_EQ(ovDupdate(0, 5, 0), OV_ERR_AVERAGE);
    EXPECT_EQ(ovAutoDark(2, 0), OV_ERR_AUTO_DARK);
    fake->units[0].shutter = 1;
    EXPECT_EQ(ovGetShutterPos(0), 1);
    EXPECT_EQ(ovFilterWheel(6, 0), OV_OK);
    EXPECT_EQ(fake->units[0].commands.back()[1], 5);
}

TEST_F(Protocol, EepromWriteOfTheLibraryText) {
    bench({0});
    ASSERT_EQ(ovSetEEPROMData("Name=UNIT-123\n;secret\nCCD=ILX511\n"), OV_OK);
    fake->units[0].commands.clear();
    ASSERT_EQ(ovWriteEEPROM(nullptr, 0), OV_OK);
    const auto &sent = fake->units[0].commands;
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0][1], 1);
    EXPECT_EQ(sent[0][2], 25);
    EXPECT_EQ(sent[1][1], 2);
    EXPECT_EQ(sent[1][2], 2);
    EXPECT_EQ(fake->units[0].eepromWritten, bytesOf("Name=UNIT-123\x08"
                                                    "CCD=ILX511\x08\x08\x07"));
}

TEST_F(Protocol, EepromReadEmptyAndUnendingStreams) {
    bench({0});
    fake->units[0].eeprom = {0x08, 0x07};
    EXPECT_EQ(ovReadEEPROM(nullptr, 0), OV_ERR_NO_DATA);
    bench({0});
    EXPECT_EQ(ovGetModel(0), OV_ERR_NO_DEVICE);
    fake->units[0].eeprom.assign(200000, 'A'); // never a separator, never an end
    EXPECT_EQ(ovReadEEPROM(nullptr, 0), OV_ERR_REQUEST);
    bench({0});
    fake->units[0].eeprom = bytesOf(std::string("\x07"));
    EXPECT_EQ(ovGetModel(0), OV_ERR_FILE); // empty text
}

TEST_F(Protocol, FactReadersOnLongAndOddTexts) {
    bench({0});
    std::string text = "Name=" + std::string(200, 'M') + "-" + std::string(300, 'S') + "\x08";
    for (int i = 0; i < 300; ++i) {
        text += "Filler line " + std::to_string(i) + "\x08";
    }
    text += "CCD=S10420\x08"
            "BuiltInShutter=yes\x08\x08\x07";
    fake->units[0].eeprom = bytesOf(text);
    std::array<char, OV_DEVINFO_TEXT_SIZE + 8> model{};
    std::array<char, OV_DEVINFO_TEXT_SIZE + 8> serial{};
    model.fill('#');
    serial.fill('#');
    ASSERT_EQ(ovDevInfo(model.data(), serial.data(), 0), OV_OK);
    EXPECT_EQ(std::string(model.data()), std::string(OV_DEVINFO_TEXT_SIZE - 1, 'M'));
    EXPECT_EQ(model[OV_DEVINFO_TEXT_SIZE], '#');
    EXPECT_EQ(std::string(serial.data()), std::string(OV_DEVINFO_TEXT_SIZE - 1, 'S'));
    EXPECT_EQ(ovGetModel(0), OV_CCD_S10420);
    EXPECT_EQ(ovInsShutter(0), -1);
    fake->units[0].eeprom = bytesOf("Name=NoDash\x08\x08\x07");
    EXPECT_EQ(ovDevInfo(model.data(), serial.data(), 0), OV_ERR_NO_DATA);
    EXPECT_EQ(ovGetModel(0), OV_ERR_NO_DATA);
    std::array<double, 2048> table{};
    EXPECT_EQ(ovGetWLTable(table.data(), 0), OV_ERR_NO_DATA);
}

TEST_F(Protocol, NullPointersAreRefused) {
    EXPECT_EQ(ovReadDataEx(nullptr, 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovReadChannelID(nullptr, 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovCheckSpeedMode(nullptr, 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovDevInfo(nullptr, nullptr, 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovSetEEPROMData(nullptr), OV_ERR_REQUEST);
    EXPECT_EQ(ovPolyFit(nullptr, nullptr, 4, nullptr, 3), OV_ERR_REQUEST);
    EXPECT_EQ(ovPolyCalc(nullptr, 3, 1.0, nullptr), OV_ERR_REQUEST);
    EXPECT_EQ(ovGetWLTableADV(nullptr, 10, nullptr, nullptr, nullptr, 0), OV_ERR_REQUEST);
    EXPECT_EQ(ovReadDataAdvEx(nullptr, 1, 0, 0, nullptr, 0), OV_ERR_REQUEST);
    char reply[8];
    EXPECT_LT(ovSimCommand("bench default", reply, sizeof reply), 0);
    EXPECT_EQ(std::string(reply), "no simu");
}

TEST_F(Protocol, UnpluggedUnitGivesNoDeviceAndCloseDropsTheCount) {
    bench({0, 1});
    fake->units[1].present = false;
    std::vector<int> frame(2080);
    EXPECT_EQ(ovReadDataEx(frame.data(), 1), OV_ERR_NO_DEVICE);
    EXPECT_EQ(ovSetupGivenChannel(1), OV_ERR_NO_DEVICE);
    EXPECT_EQ(ovCloseAllChannels(), OV_OK); // count was dropped by the failed set-up
    EXPECT_EQ(ovSetupAllChannels(), OV_OK);
}

} // namespace
} // namespace ov::test
