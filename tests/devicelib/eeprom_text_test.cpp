// EEPROM records on the wire: packing, stream parsing, keys.
#include "eeprom_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ov {
namespace {

struct SentPacket {
    int sequence;
    std::string payload;
};

std::vector<SentPacket> pack(const std::vector<std::string> &lines) {
    std::vector<SentPacket> sent;
    const bool ok = packEepromRecords(lines, [&](const CommandPacket &packet) {
        EXPECT_EQ(packet[0], 0x08);
        sent.push_back(
            {packet[1], std::string(packet.begin() + 3, packet.begin() + 3 + packet[2])});
        return true;
    });
    EXPECT_TRUE(ok);
    return sent;
}

TEST(EepromPacking, TwoShortLinesGoInOnePacketThenTheEndRecord) {
    const auto sent = pack({"Name=UNIT-123", "CCD=ILX511"});
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0].sequence, 1);
    EXPECT_EQ(sent[0].payload, "Name=UNIT-123\x08"
                               "CCD=ILX511\x08");
    EXPECT_EQ(sent[0].payload.size(), 25U);
    EXPECT_EQ(sent[1].sequence, 2);
    EXPECT_EQ(sent[1].payload, "\x08\x07");
}

TEST(EepromPacking, LongLineIsFlushedThenSentIn61BytePieces) {
    const std::string line(130, 'x');
    const auto sent = pack({line});
    ASSERT_EQ(sent.size(), 5U);
    EXPECT_EQ(sent[0].sequence, 1);
    EXPECT_EQ(sent[0].payload.size(), 0U);
    EXPECT_EQ(sent[1].payload, std::string(61, 'x'));
    EXPECT_EQ(sent[1].sequence, 2);
    EXPECT_EQ(sent[2].payload, std::string(61, 'x'));
    EXPECT_EQ(sent[3].payload, std::string(8, 'x') + "\x08"); // rest, flushed by the end record
    EXPECT_EQ(sent[4].payload, "\x08\x07");
}

TEST(EepromPacking, CommentLinesNeverReachTheUnit) {
    const auto sent = pack({"; a comment", "A=1", ";B=2"});
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0].payload, "A=1\x08");
}

TEST(EepromPacking, FailedSendStopsThePacking) {
    int calls = 0;
    const std::vector<std::string> lines{std::string(200, 'y')};
    EXPECT_FALSE(packEepromRecords(lines, [&](const CommandPacket &) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST(LibraryTextLines, BlankLinesAndIndentationDropAndTheLastLineIsTrimmed) {
    const auto lines = linesOfLibraryText("A=1\n\n   B=2\r\nC=3  \t");
    EXPECT_EQ(lines, (std::vector<std::string>{"A=1", "B=2\r", "C=3"}));
    EXPECT_TRUE(linesOfLibraryText("").empty());
}

std::vector<std::uint8_t> answer(const std::string &bytes) {
    std::vector<std::uint8_t> packet(64, 0);
    std::copy(bytes.begin(), bytes.end(), packet.begin());
    return packet;
}

TEST(EepromStream, LinesSpanPacketsAndTheTextEndsWithAnEmptyLine) {
    EepromStreamParser parser;
    EXPECT_EQ(parser.feed(answer("Name=UNIT-123\x08"
                                 "CCD=IL")),
              EepromStreamParser::Status::NeedMore);
    EXPECT_EQ(parser.feed(answer("X511\x08\x08\x07")), EepromStreamParser::Status::Finished);
    EXPECT_EQ(parser.text(), "Name=UNIT-123\nCCD=ILX511\n\n");
}

TEST(EepromStream, AStreamWithoutEndIsCutAtTheBound) {
    EepromStreamParser parser;
    const std::vector<std::uint8_t> filler(64, 'z');
    EepromStreamParser::Status status = EepromStreamParser::Status::NeedMore;
    std::size_t fed = 0;
    while (status == EepromStreamParser::Status::NeedMore && fed < 2 * kMaxEepromBytes) {
        status = parser.feed(filler);
        fed += filler.size();
    }
    EXPECT_EQ(status, EepromStreamParser::Status::Overflow);
    EXPECT_LE(fed, kMaxEepromBytes + 64);
}

TEST(EepromStream, EmptyMarker) {
    EXPECT_TRUE(isEmptyEeprom(answer("\x08\x07")));
    EXPECT_FALSE(isEmptyEeprom(answer("\x08X")));
}

TEST(Keys, ValuesAreTakenAtLineStartsUpToTheLineEnd) {
    const std::string text = "FileName=x\r\nName=QX-0042\r\nCCD=ILX511\nLast=end";
    EXPECT_EQ(findKeyValue(text, "Name="), "QX-0042");
    EXPECT_EQ(findKeyValue(text, "CCD="), "ILX511");
    EXPECT_EQ(findKeyValue(text, "Last="), "end");
    EXPECT_FALSE(findKeyValue(text, "PointCount=").has_value());
}

TEST(Keys, SensorNamesAreExactAndCaseSensitive) {
    EXPECT_EQ(ccdTypeOfSensorName("ILX511"), 0);
    EXPECT_EQ(ccdTypeOfSensorName("G9208-512"), 3);
    EXPECT_EQ(ccdTypeOfSensorName("G9208-256"), 5);
    EXPECT_EQ(ccdTypeOfSensorName("ilx511"), -1);
    EXPECT_EQ(ccdTypeOfSensorName("ILX511 "), -1);
}

TEST(CalibrationPoints, ParsedInTenthsOfANanometre) {
    const auto points =
        parseCalibrationPoints("PointCount=2\nData 1=4047;120\nData 2=5461;890\n", 256);
    ASSERT_EQ(points.result, 1);
    EXPECT_EQ(points.pixels, (std::vector<double>{120, 890}));
    EXPECT_DOUBLE_EQ(points.wavelengths[0], 404.7);
    EXPECT_DOUBLE_EQ(points.wavelengths[1], 546.1);
}

TEST(CalibrationPoints, MissingCountPointOrSeparatorIsReported) {
    EXPECT_EQ(parseCalibrationPoints("Data 1=4047;120\n", 256).result, -4);
    EXPECT_EQ(parseCalibrationPoints(
                  "PointCount=5\nData 1=1;1\nData 2=2;2\nData 4=4;4\nData 5=5;5\n", 256)
                  .result,
              -4);
    EXPECT_EQ(parseCalibrationPoints("PointCount=1\nData 1=4047 120\n", 256).result, -4);
    EXPECT_EQ(parseCalibrationPoints("PointCount=0\n", 256).result, -4);
    EXPECT_EQ(parseCalibrationPoints("PointCount=-3\n", 256).result, -4);
    EXPECT_EQ(parseCalibrationPoints("PointCount=99999999999\n", 256).result, -4);
}

} // namespace
} // namespace ov
