// Random answers, lengths and outcomes from every request: the library may
// fail a call but must never crash, hang or write past a buffer (run under
// AddressSanitizer and UndefinedBehaviorSanitizer).
#include "fake_driver.h"
#include "ovdbusbm.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace ov::test {
namespace {

// Caller buffers with guard zones on both sides.
template <typename T, std::size_t N>
struct Guarded {
    static constexpr T kGuard = static_cast<T>(0x5A);
    std::array<T, 64> before;
    std::array<T, N> data;
    std::array<T, 64> after;
    Guarded() {
        before.fill(kGuard);
        after.fill(kGuard);
    }
    bool intact() const {
        for (std::size_t i = 0; i < 64; ++i) {
            if (before[i] != kGuard || after[i] != kGuard) {
                return false;
            }
        }
        return true;
    }
};

short checkCode(short result) {
    // Every result is 1, 0, a listed code, or a shutter position 0..255.
    EXPECT_GE(result, -302);
    EXPECT_LE(result, 255);
    return result;
}

TEST(Fuzz, RandomAnswersNeverBreakTheLibrary) {
    FakeDriver &fake = installFakeDriver();
    for (auto &unit : fake.units) {
        unit.present = true;
    }
    fake.fuzz = true;
    Guarded<int, 3680> frame;
    Guarded<double, 3648> table;
    Guarded<double, OV_MAX_CAL_POINTS> pixels;
    Guarded<double, OV_MAX_CAL_POINTS> wavelengths;
    Guarded<char, OV_DEVINFO_TEXT_SIZE> model;
    Guarded<char, OV_DEVINFO_TEXT_SIZE> serial;
    std::array<short, 3> badPixels{5, 6, 2000};
    std::mt19937 args(99);
    for (int round = 0; round < 400; ++round) {
        const int channel = static_cast<int>(args() % 12) - 1;
        checkCode(ovTestAllChannels(static_cast<int>(args() % 2)));
        checkCode(ovSetupGivenChannel(channel));
        int packet = 0;
        checkCode(ovCheckSpeedMode(&packet, channel));
        checkCode(ovGetDevIsNew(channel));
        checkCode(ovInitGivenChannel(static_cast<int>(args() % 6), channel));
        checkCode(ovSelTrigMode(static_cast<int>(args() % 5), channel));
        checkCode(ovReadDataEx(frame.data.data(), channel));
        checkCode(ovReadDataAdvEx(frame.data.data(), 2, 50, 3, badPixels.data(), channel));
        checkCode(ovReadDataExT(frame.data.data(), channel));
        checkCode(ovReadEEPROM(nullptr, channel));
        checkCode(ovDevInfo(model.data.data(), serial.data.data(), channel));
        checkCode(ovGetModel(channel));
        checkCode(ovInsShutter(channel));
        checkCode(ovGetWLTable(table.data.data(), channel));
        int points = 0;
        checkCode(ovGetWLTableADV(table.data.data(), 3648, &points, pixels.data.data(),
                                  wavelengths.data.data(), channel));
        EXPECT_LE(points, OV_MAX_CAL_POINTS);
        checkCode(ovWriteEEPROM(nullptr, channel));
        short id = 0;
        checkCode(ovReadChannelID(&id, channel));
        checkCode(ovGetShutterPos(channel));
        ASSERT_TRUE(frame.intact() && table.intact() && pixels.intact() && wavelengths.intact() &&
                    model.intact() && serial.intact())
            << "round " << round;
    }
}

TEST(Fuzz, ParsedTextsFromRandomEepromsStayInBounds) {
    // Plausible-looking records with random corruption: keys without values,
    // huge counts, separators missing, bytes of every value.
    FakeDriver &fake = installFakeDriver();
    fake.units[0].present = true;
    ASSERT_EQ(ovTestAllChannels(0), 1);
    std::mt19937 random(7);
    const std::array<std::string, 8> pieces{"Name=",       "-",       "CCD=", "ILX511",
                                            "PointCount=", "Data 1=", ";",    "BuiltInShutter="};
    Guarded<double, 3648> table;
    Guarded<double, OV_MAX_CAL_POINTS> pixels;
    Guarded<double, OV_MAX_CAL_POINTS> wavelengths;
    Guarded<char, OV_DEVINFO_TEXT_SIZE> model;
    Guarded<char, OV_DEVINFO_TEXT_SIZE> serial;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> eeprom;
        const int parts = static_cast<int>(random() % 60);
        for (int i = 0; i < parts; ++i) {
            const auto roll = random() % 4;
            if (roll == 0) {
                eeprom.push_back(static_cast<std::uint8_t>(random()));
            } else if (roll == 1) {
                eeprom.push_back(0x08);
            } else {
                const std::string &piece = pieces[random() % pieces.size()];
                eeprom.insert(eeprom.end(), piece.begin(), piece.end());
                const std::string number = std::to_string(static_cast<int>(random() % 5000) - 100);
                eeprom.insert(eeprom.end(), number.begin(), number.end());
            }
        }
        eeprom.push_back(0x08);
        eeprom.push_back(0x07);
        fake.units[0].eeprom = eeprom;
        fake.units[0].present = true;
        int points = 0;
        checkCode(ovDevInfo(model.data.data(), serial.data.data(), 0));
        checkCode(ovGetWLTable(table.data.data(), 0));
        checkCode(ovGetWLTableADV(table.data.data(), 100, &points, pixels.data.data(),
                                  wavelengths.data.data(), 0));
        ASSERT_TRUE(table.intact() && pixels.intact() && wavelengths.intact() && model.intact() &&
                    serial.intact());
        ASSERT_EQ(ovTestAllChannels(0), 1); // reading faults drop the count; scan again
    }
}

} // namespace
} // namespace ov::test
