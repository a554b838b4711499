// Command packets and the rules that fill them.
#include "command_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace ov {
namespace {

TEST(FrameGeometry, PacketsAndRemainderPerPacketSize) {
    EXPECT_EQ(frameGeometry(2080, 512).packets, 9);
    EXPECT_EQ(frameGeometry(2080, 512).remainder, 32);
    EXPECT_EQ(frameGeometry(2080, 64).packets, 65);
    EXPECT_EQ(frameGeometry(2080, 64).remainder, 0);
    EXPECT_EQ(frameGeometry(3680, 1024).packets, 8);
    EXPECT_EQ(frameGeometry(3680, 1024).remainder, 96);
    EXPECT_EQ(frameGeometry(256, 512).packets, 1);
    EXPECT_EQ(frameGeometry(256, 512).remainder, 0);
}

TEST(ReadoutLength, PerCcdTypeAndNothingForUnknownTypes) {
    const std::array<int, 6> expected{2080, 3680, 1056, 512, 2080, 256};
    for (int type = 0; type < 6; ++type) {
        EXPECT_EQ(readoutLengthOf(type), expected[static_cast<std::size_t>(type)]);
    }
    EXPECT_EQ(readoutLengthOf(6), 0);
    EXPECT_EQ(readoutLengthOf(-1), 0);
    EXPECT_EQ(activePixelCountOf(1), 3648);
}

TEST(Integration, TenMicrosecondSensorSwitchesToMillisecondsAt400Steps) {
    EXPECT_EQ(integrationFromInt(1, 399).value, 399);
    EXPECT_EQ(integrationFromInt(1, 399).unit, kUnitTenMicroseconds);
    EXPECT_EQ(integrationFromInt(1, 400).value, 4);
    EXPECT_EQ(integrationFromInt(1, 400).unit, kUnitMilliseconds);
    EXPECT_EQ(integrationFromInt(1, 0).value, 1);
    EXPECT_EQ(integrationFromInt(1, -5).value, 1);
    EXPECT_EQ(integrationFromInt(1, 100000000).value, 65535);
}

TEST(Integration, OtherSensorsClampMilliseconds) {
    EXPECT_EQ(integrationFromInt(0, 0).value, 1);
    EXPECT_EQ(integrationFromInt(0, 70000).value, 65535);
    EXPECT_EQ(integrationFromInt(4, 250).value, 250);
    EXPECT_EQ(integrationFromInt(4, 250).unit, kUnitMilliseconds);
    EXPECT_EQ(integrationFromDouble(0, 0.2).value, 1);
    EXPECT_EQ(integrationFromDouble(0, 12.9).value, 12);
    EXPECT_EQ(integrationFromDouble(2, 1e12).value, 65535);
}

TEST(Integration, DoubleTimesOnTheTenMicrosecondSensorRound) {
    EXPECT_EQ(integrationFromDouble(1, 3.999).value, 400);
    EXPECT_EQ(integrationFromDouble(1, 3.999).unit, kUnitTenMicroseconds);
    EXPECT_EQ(integrationFromDouble(1, 4.0).value, 4);
    EXPECT_EQ(integrationFromDouble(1, 4.6).value, 5);
    EXPECT_EQ(integrationFromDouble(1, 4.6).unit, kUnitMilliseconds);
}

TEST(Speed, ReportedMaximumPacketSelectsPacketAndTransferSize) {
    EXPECT_EQ(speedFromMaxPacket(1025).packetSize, 512);
    EXPECT_EQ(speedFromMaxPacket(1025).transferSize, 1025);
    EXPECT_EQ(speedFromMaxPacket(1024).transferSize, 1024);
    EXPECT_EQ(speedFromMaxPacket(512).packetSize, 64);
    EXPECT_EQ(speedFromMaxPacket(512).transferSize, 64);
    EXPECT_EQ(speedFromMaxPacket(64).transferSize, 64);
}

TEST(Generation, VendorAndProductSelectResultAndSampleFormat) {
    EXPECT_EQ(generationFromIds(0x04B4, 0x0237).result, 1);
    EXPECT_EQ(generationFromIds(0x04B4, 0x0242).result, 1);
    EXPECT_EQ(generationFromIds(0x04B4, 0x0322).result, 0);
    EXPECT_EQ(generationFromIds(0x0547, 0x0322).sampleFormat, 0);
    EXPECT_EQ(generationFromIds(0x0547, 0x0323).sampleFormat, 1);
    EXPECT_EQ(generationFromIds(0x0547, 0x0324).sampleFormat, 2);
    EXPECT_EQ(generationFromIds(0x0547, 0x0324).result, 1);
    EXPECT_EQ(generationFromIds(0x0547, 0x0325).result, 0);
}

TEST(Samples, DecodingPerFormat) {
    const std::array<std::uint8_t, 6> bytes{0x00, 0x00, 0x34, 0x12, 0xFF, 0xFF};
    std::array<int, 3> counts{};
    decodeSamples(bytes, 0, counts.data());
    EXPECT_EQ(counts, (std::array<int, 3>{32768, 0x1234 ^ 0x8000, 0x7FFF}));
    decodeSamples(bytes, 2, counts.data());
    EXPECT_EQ(counts[0], 32768);
    decodeSamples(bytes, 1, counts.data());
    EXPECT_EQ(counts, (std::array<int, 3>{65535, 0xFFFF - 0x1234, 0}));
}

TEST(Packets, InitialiseCommandLayout) {
    const CommandPacket packet = initialiseCommand(2, 1056, frameGeometry(1056, 512));
    const std::vector<std::uint8_t> head(packet.begin(), packet.begin() + 13);
    EXPECT_EQ(head,
              (std::vector<std::uint8_t>{0x00, 11, 0, 0x20, 0x04, 1, 0, 5, 0x20, 0, 0, 32, 0}));
    EXPECT_EQ(initialiseCommand(0, 2080, frameGeometry(2080, 64))[5], 0);
    EXPECT_EQ(initialiseCommand(0, 2080, frameGeometry(2080, 64))[7], 65);
}

TEST(Packets, IntegrationAndByteCommands) {
    const CommandPacket time = integrationTimeCommand({0x1234, kUnitMilliseconds});
    EXPECT_EQ(time[0], 0x01);
    EXPECT_EQ(time[1], 0x34);
    EXPECT_EQ(time[2], 0x12);
    EXPECT_EQ(time[3], 8);
    const CommandPacket wheel = byteCommand(Command::FilterWheel, 5);
    EXPECT_EQ(wheel[0], 0x2A);
    EXPECT_EQ(wheel[1], 5);
    EXPECT_TRUE(isNoFrameYet(std::array<std::uint8_t, 2>{0x00, 0xFF}));
    EXPECT_FALSE(isNoFrameYet(std::array<std::uint8_t, 2>{0xFF, 0x00}));
}

} // namespace
} // namespace ov
