// The units' byte-level protocol, spoken through the driver interface alone.
#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "sim_protocol.h"

namespace ov::sim::testing {
namespace {

using driver::WaitStatus;

TEST(SimProtocol, SpeedCheckFindsTheMaximumPacketInEitherRecordLayout) {
    auto narrow = driverFromBench(oneUnit("MaxPacket=1025\n"));
    auto g = speedCheck(*narrow, 0);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->packetBytes, 512);
    EXPECT_EQ(g->transferBytes, 1025);

    auto wide = driverFromBench("[Bench]\nPipeRecord64=1\n" + oneUnit("MaxPacket=1024\n"));
    ASSERT_TRUE(wide->pipeRecordUses64BitLayout());
    std::vector<std::uint8_t> record(driver::kPipeInfoSize);
    std::uint32_t n = 0;
    ASSERT_TRUE(request(*wide, 0, driver::kIoctlPipeInfo, {}, record, n));
    EXPECT_EQ(record[24] | (record[25] << 8), 1024);
    EXPECT_NE(record[16] | (record[17] << 8), 1024); // not where the 32-bit layout has it

    auto slow = driverFromBench(oneUnit("MaxPacket=512\n"));
    g = speedCheck(*slow, 0);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->packetBytes, 64);
    EXPECT_EQ(g->transferBytes, 64);
}

TEST(SimProtocol, IdentityAndMakerStringsComeFromTheBench) {
    auto d = driverFromBench(oneUnit("VendorId=0x0547\nProductId=0x0323\n"
                                     "Manufacturer=ORVANTIS\nProduct=OV USB Spectrometer\n"));
    const auto id = identity(*d, 0);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->vendor, 0x0547);
    EXPECT_EQ(id->product, 0x0323);
    EXPECT_EQ(stringDescriptor(*d, 0, 1), "ORVANTIS");
    EXPECT_EQ(stringDescriptor(*d, 0, 2), "OV USB Spectrometer");
    EXPECT_FALSE(stringDescriptor(*d, 0, 7)); // no such descriptor

    std::string reply;
    ASSERT_EQ(d->command("set 0 strings foreign", reply), 1) << reply;
    const auto foreign = stringDescriptor(*d, 0, 1);
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->find("OV"), std::string::npos);
}

struct PacketCase {
    int maxPacket;
    int readout;
    int packets;
};

class SimFramePackets : public ::testing::TestWithParam<PacketCase> {};

TEST_P(SimFramePackets, InitialiseThenStartFrameGivesExactlyPacketsPerFrame) {
    const auto c = GetParam();
    const std::string sensor = c.readout == 3680 ? "TCD1304" : "ILX511";
    auto d = driverFromBench(oneUnit("MaxPacket=" + std::to_string(c.maxPacket) +
                                     "\nSensor=" + sensor + "\nSource=dark\n"));
    const auto g = speedCheck(*d, 0);
    ASSERT_TRUE(g);
    ASSERT_TRUE(send(*d, 0, initialisePacket(c.readout, g->packetBytes)));
    const auto status = d->unit(0)->status();
    EXPECT_EQ(status.readoutLength, c.readout);
    EXPECT_EQ(status.packetsPerFrame, c.packets);

    const auto frame = readFrame(*d, 0, *g, c.readout, 0);
    ASSERT_EQ(frame.status, WaitStatus::Completed);
    ASSERT_EQ(frame.received.size(), static_cast<std::size_t>(c.packets));
    for (const auto n : frame.received) {
        EXPECT_EQ(n, static_cast<std::uint32_t>(g->transferBytes));
    }
    ASSERT_EQ(frame.counts.size(), static_cast<std::size_t>(c.readout));
    // The samples past the last one announced are zero filler, not more data.
    const auto h = d->open(0);
    std::vector<std::uint8_t> extra(static_cast<std::size_t>(g->transferBytes));
    std::uint32_t n = 0;
    EXPECT_EQ(d->bulkReadWait(h, driver::kPipeIn, extra, 10, n), WaitStatus::TimedOut);
    // Every sample decodes to a count near the bias: the encoding round-trips.
    for (const int count : frame.counts) {
        ASSERT_GT(count, 1000);
        ASSERT_LT(count, 3000);
    }
}

INSTANTIATE_TEST_SUITE_P(PacketSizes, SimFramePackets,
                         ::testing::Values(PacketCase{1024, 2080, 9}, PacketCase{512, 2080, 65},
                                           PacketCase{1025, 3680, 15}, PacketCase{64, 3680, 115}));

TEST(SimProtocol, LastPacketCarriesTwiceTheRemainderThenZeros) {
    auto d = driverFromBench(oneUnit("MaxPacket=1024\nSensor=ILX511\nSource=dark\n"));
    ASSERT_TRUE(send(*d, 0, initialisePacket(2080, 512)));
    const auto h = d->open(0);
    Packet start = commandPacket({0x02});
    std::array<std::uint8_t, 4> out = {1, 0, 0, 0};
    std::uint32_t n = 0;
    ASSERT_TRUE(d->control(h, driver::kIoctlBulkWrite, out, start, n));
    std::vector<std::uint8_t> buffer(1024);
    for (int k = 0; k < 9; ++k) {
        ASSERT_EQ(d->bulkReadWait(h, driver::kPipeIn, buffer, 1000, n), WaitStatus::Completed);
    }
    // Remainder 32 samples: 64 bytes of samples, the rest of the transfer is zero.
    EXPECT_NE(buffer[63], 0);
    EXPECT_TRUE(std::all_of(buffer.begin() + 64, buffer.end(), [](auto b) { return b == 0; }));
}

TEST(SimProtocol, OlderEncodingDecodesWithTheComplement) {
    auto d = driverFromBench(oneUnit("VendorId=0x0547\nProductId=0x0323\nSource=dark\n"));
    const auto id = identity(*d, 0);
    ASSERT_TRUE(id);
    ASSERT_EQ(id->sampleFormat, 1);
    const auto g = speedCheck(*d, 0);
    ASSERT_TRUE(send(*d, 0, initialisePacket(2080, g->packetBytes)));
    const auto right = readFrame(*d, 0, *g, 2080, 1);
    const auto wrong = readFrame(*d, 0, *g, 2080, 0);
    ASSERT_EQ(right.counts.size(), 2080u);
    EXPECT_NEAR(right.counts[100], 2000 + 1.5 * 11, 100);
    EXPECT_GT(wrong.counts[100], 20000); // the other decoding is far off
}

TEST(SimProtocol, EepromWriteOfTwoLinesIsTwoPacketsAndReadsBack) {
    auto d = driverFromBench(oneUnit("Eeprom=Name=OLD-1\n"));
    const auto packets = eepromWritePackets("Name=UNIT-123\nCCD=ILX511");
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0][1], 1);
    EXPECT_EQ(packets[0][2], 25);
    EXPECT_EQ(packets[1][1], 2);
    EXPECT_EQ(packets[1][2], 2);
    for (const auto &p : packets) {
        ASSERT_TRUE(send(*d, 0, p));
    }
    EXPECT_EQ(d->unit(0)->eepromText(), "Name=UNIT-123\nCCD=ILX511\n");

    // The first read answer is the first 64 stored bytes.
    ASSERT_TRUE(send(*d, 0, commandPacket({0x0A, 1})));
    const auto answer = readAnswer(*d, 0, 1024);
    ASSERT_TRUE(answer);
    const std::string expected = "Name=UNIT-123\x08"
                                 "CCD=ILX511\x08\x08\x07";
    EXPECT_EQ(std::string(answer->begin(), answer->begin() + 27), expected);
    EXPECT_EQ((*answer)[27], 0);
    EXPECT_EQ(readEepromText(*d, 0, 1024), "Name=UNIT-123\nCCD=ILX511\n\n");
}

TEST(SimProtocol, LongLineSpansPacketsBothWays) {
    auto d = driverFromBench(oneUnit(""));
    const std::string longLine = "BadPixels=" + std::string(120, '7');
    ASSERT_EQ(longLine.size(), 130u);
    const std::string text = "Name=QX10-A1\n" + longLine + "\n;comment\nCCD=ILX511\n";
    const auto packets = eepromWritePackets(text);
    for (const auto &p : packets) {
        ASSERT_TRUE(send(*d, 0, p));
    }
    const std::string stored = "Name=QX10-A1\n" + longLine + "\nCCD=ILX511\n";
    EXPECT_EQ(d->unit(0)->eepromText(), stored);
    // The library's pending part holds one packet, which a 130-byte line outgrows;
    // the unit streams it all the same and a reader that keeps the pieces gets it whole.
    EXPECT_EQ(readEepromText(*d, 0, 64), stored + "\n");
}

TEST(SimProtocol, EmptyEepromAnswersTheEndMarkerFirst) {
    auto d = driverFromBench(oneUnit(""));
    ASSERT_TRUE(send(*d, 0, commandPacket({0x0A, 1})));
    const auto answer = readAnswer(*d, 0, 1024);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], 0x08);
    EXPECT_EQ((*answer)[1], 0x07);
}

TEST(SimProtocol, EepromWriteBeyondCapacityFailsAndKeepsTheOldText) {
    auto d = driverFromBench(oneUnit("EepromCapacity=100\nEeprom=Name=KEEP-1\n"));
    std::string text;
    for (int i = 0; i < 10; ++i) {
        text += "Data " + std::to_string(i) + "=4047;170\n";
    }
    bool failed = false;
    for (const auto &p : eepromWritePackets(text)) {
        failed |= !send(*d, 0, p);
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(d->unit(0)->eepromText(), "Name=KEEP-1\n");
}

TEST(SimProtocol, EepromWriteContinuationWithoutAStartFails) {
    auto d = driverFromBench(oneUnit("Eeprom=Name=KEEP-1\n"));
    auto packets = eepromWritePackets("Name=NEW-2");
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_FALSE(send(*d, 0, packets[1]));                // sequence 2 with no transfer begun
    ASSERT_TRUE(send(*d, 0, packets[0]));                 // a broken-off transfer ...
    EXPECT_EQ(d->unit(0)->eepromText(), "Name=KEEP-1\n"); // ... changes nothing yet
    ASSERT_TRUE(send(*d, 0, packets[1]));
    EXPECT_EQ(d->unit(0)->eepromText(), "Name=NEW-2\n");
}

TEST(SimProtocol, ExternalTriggerReleasesOneFramePerTrigger) {
    auto d = driverFromBench(oneUnit("Source=halogen\n"));
    const auto g = speedCheck(*d, 0);
    ASSERT_TRUE(send(*d, 0, initialisePacket(2080, g->packetBytes)));
    ASSERT_TRUE(send(*d, 0, commandPacket({0x04})));
    auto frame = readFrame(*d, 0, *g, 2080, 0);
    EXPECT_TRUE(frame.noFrameYet);

    std::string reply;
    ASSERT_EQ(d->command("trigger 0 2", reply), 1) << reply;
    for (int i = 0; i < 2; ++i) {
        frame = readFrame(*d, 0, *g, 2080, 0);
        EXPECT_FALSE(frame.noFrameYet);
        EXPECT_EQ(frame.counts.size(), 2080u);
    }
    EXPECT_TRUE(readFrame(*d, 0, *g, 2080, 0).noFrameYet);

    ASSERT_TRUE(send(*d, 0, commandPacket({0x03}))); // back to internal
    EXPECT_FALSE(readFrame(*d, 0, *g, 2080, 0).noFrameYet);
    // Every trigger-mode request is counted, also one that changes nothing.
    ASSERT_TRUE(send(*d, 0, commandPacket({0x03})));
    EXPECT_EQ(d->unit(0)->status().internalTriggerRequests, 2);
    EXPECT_EQ(d->unit(0)->status().externalTriggerRequests, 1);
    ASSERT_EQ(d->command("show 0", reply), 1);
    EXPECT_NE(reply.find("trigger requests internal 2 external 1"), std::string::npos) << reply;
}

TEST(SimProtocol, UnplugFailsOpenAndKillsOldHandles) {
    auto d = driverFromBench(oneUnit(""));
    const auto before = d->open(0);
    ASSERT_NE(before, driver::kInvalidHandle);
    std::string reply;
    ASSERT_EQ(d->command("unplug 0", reply), 1);
    EXPECT_EQ(d->open(0), driver::kInvalidHandle);
    ASSERT_EQ(d->command("replug 0", reply), 1);
    const auto after = d->open(0);
    ASSERT_NE(after, driver::kInvalidHandle);
    EXPECT_NE(after, before);
    std::array<std::uint8_t, 18> descriptor{};
    std::uint32_t n = 0;
    EXPECT_FALSE(d->control(before, driver::kIoctlDeviceDescriptor, descriptor, descriptor, n));
    EXPECT_TRUE(d->control(after, driver::kIoctlDeviceDescriptor, descriptor, descriptor, n));
    EXPECT_EQ(d->open(5), driver::kInvalidHandle); // no unit there
    EXPECT_EQ(d->open(10), driver::kInvalidHandle);
}

TEST(SimProtocol, ConnectionChangesOnlyWithAReplug) {
    auto d = driverFromBench(oneUnit(""));
    const auto first = d->connectionOf(d->open(0));
    EXPECT_NE(first, 0u);
    EXPECT_EQ(d->connectionOf(d->open(0)), first);
    std::string reply;
    ASSERT_EQ(d->command("replug 0", reply), 1); // still plugged: nothing happens
    EXPECT_EQ(d->connectionOf(d->open(0)), first);
    ASSERT_EQ(d->command("unplug 0", reply), 1);
    ASSERT_EQ(d->command("replug 0", reply), 1);
    const auto second = d->connectionOf(d->open(0));
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_EQ(d->connectionOf(driver::kInvalidHandle), 0u);
}

TEST(SimProtocol, InjectedFailuresAndTimeoutsCountDown) {
    auto d = driverFromBench(oneUnit(""));
    std::string reply;
    ASSERT_EQ(d->command("fail 0 0x5C 2", reply), 1) << reply;
    const auto readId = commandPacket({0x5C});
    EXPECT_FALSE(send(*d, 0, readId));
    EXPECT_FALSE(send(*d, 0, readId));
    EXPECT_TRUE(send(*d, 0, readId));
    EXPECT_TRUE(send(*d, 0, commandPacket({0x14, 1}))); // other commands unaffected

    ASSERT_EQ(d->command("fail 0 0x00222004 1", reply), 1) << reply;
    EXPECT_FALSE(identity(*d, 0));
    EXPECT_TRUE(identity(*d, 0));

    const auto g = speedCheck(*d, 0);
    ASSERT_TRUE(send(*d, 0, initialisePacket(2080, g->packetBytes)));
    ASSERT_EQ(d->command("timeout 0 1", reply), 1) << reply;
    EXPECT_EQ(readFrame(*d, 0, *g, 2080, 0).status, WaitStatus::TimedOut);
    EXPECT_EQ(readFrame(*d, 0, *g, 2080, 0).status, WaitStatus::Completed);
}

TEST(SimProtocol, SettingsAreStoredAndAnswered) {
    auto d = driverFromBench(oneUnit("ChannelId=4\nShutter=1\n"));
    const std::pair<Packet, const char *> commands[] = {
        {commandPacket({0x01, 0x2C, 0x01, 7}), "integration"}, // 300 x 10 us
        {commandPacket({0x12, 1}), "cf"},
        {commandPacket({0x13, 0}), "tec"},
        {commandPacket({0x14, 3}), "skip"},
        {commandPacket({0x15, 1}), "safe"},
        {commandPacket({0x1E, 2}), "mode"},
        {commandPacket({0x1F, 1}), "edge"},
        {commandPacket({0x29, 1}), "shutter"},
        {commandPacket({0x2A, 5}), "wheel"},
        {commandPacket({0x32, 9}), "resister"},
        {commandPacket({0x5B, 7}), "id"},
    };
    for (const auto &[packet, name] : commands) {
        ASSERT_TRUE(send(*d, 0, packet)) << name;
    }
    const auto s = d->unit(0)->status();
    EXPECT_DOUBLE_EQ(s.integrationMs, 3.0);
    EXPECT_EQ(s.integrationUnit, 7);
    EXPECT_EQ(s.cf, 1);
    EXPECT_EQ(s.tec, 0);
    EXPECT_EQ(s.skip, 3);
    EXPECT_EQ(s.safeMemory, 1);
    EXPECT_EQ(s.integrationMode, 2);
    EXPECT_EQ(s.edge, 1);
    EXPECT_EQ(s.filterWheel, 5);
    EXPECT_EQ(s.resister, 9);

    ASSERT_TRUE(send(*d, 0, commandPacket({0x28})));
    auto answer = readAnswer(*d, 0, 1024);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], 1);
    ASSERT_TRUE(send(*d, 0, commandPacket({0x5C})));
    answer = readAnswer(*d, 0, 1024);
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[0], 7);

    ASSERT_TRUE(send(*d, 0, commandPacket({0x01, 40, 0, 8}))); // 40 ms
    EXPECT_DOUBLE_EQ(d->unit(0)->status().integrationMs, 40.0);
    ASSERT_TRUE(send(*d, 0, commandPacket({0x01, 5, 0, 3}))); // unknown unit: ignored
    EXPECT_DOUBLE_EQ(d->unit(0)->status().integrationMs, 40.0);

    // A replug is a power cycle: registers reset, the channel ID stays.
    std::string reply;
    d->command("unplug 0", reply);
    d->command("replug 0", reply);
    EXPECT_DOUBLE_EQ(d->unit(0)->status().integrationMs, 11.0);
    EXPECT_EQ(d->unit(0)->status().channelId, 7);
}

TEST(SimProtocol, MalformedRequestsFail) {
    auto d = driverFromBench(oneUnit(""));
    std::array<std::uint8_t, 10> shortBuffer{};
    std::uint32_t n = 0;
    EXPECT_FALSE(request(*d, 0, driver::kIoctlDeviceDescriptor, {}, shortBuffer, n));
    EXPECT_FALSE(request(*d, 0, driver::kIoctlPipeInfo, {}, shortBuffer, n));
    std::array<std::uint8_t, 4> wrongPipe = {0, 0, 0, 0};
    Packet packet = commandPacket({0x14, 1});
    EXPECT_FALSE(request(*d, 0, driver::kIoctlBulkWrite, wrongPipe, packet, n));
    std::array<std::uint8_t, 10> shortCommand{};
    std::array<std::uint8_t, 4> pipeOut = {1, 0, 0, 0};
    EXPECT_FALSE(request(*d, 0, driver::kIoctlBulkWrite, pipeOut, shortCommand, n));
    EXPECT_FALSE(request(*d, 0, 0x00222999, {}, shortBuffer, n));
    // Nothing pending: a draining read fails, which ends the library's drain loop.
    std::vector<std::uint8_t> buffer(1024);
    std::array<std::uint8_t, 4> pipeIn = {0, 0, 0, 0};
    EXPECT_FALSE(request(*d, 0, driver::kIoctlDrainRead, pipeIn, buffer, n));
}

TEST(SimProtocol, DuplicateSerialsAreTwoUnitsWithTheSameName) {
    const std::string unit = "Eeprom=Name=QX10-DUP1\nEeprom=CCD=ILX511\n";
    auto d = driverFromBench("[Unit]\nSlot=0\n" + unit + "[Unit]\nSlot=3\n" + unit);
    const auto first = readEepromText(*d, 0, 1024);
    const auto second = readEepromText(*d, 3, 1024);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, *second);
    EXPECT_NE(first->find("Name=QX10-DUP1"), std::string::npos);
}

} // namespace
} // namespace ov::sim::testing
