// Random answers, lengths and outcomes from every request: the library may
// fail a call but must never crash, hang or write past a buffer (run under
// AddressSanitizer and UndefinedBehaviorSanitizer).
#include "fake_driver.h"
#include "ovdbusbm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
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

// The codes each export can give; anything else is a fault of its own.
using Codes = std::initializer_list<int>;
constexpr Codes kFrameCodes{OV_OK, OV_ERR_REQUEST, OV_ERR_NO_DEVICE, OV_ERR_NO_TRIGGER,
                            OV_ERR_TIMEOUT};
constexpr Codes kSetupCodes{OV_OK, OV_ERR_REQUEST, OV_ERR_NO_DEVICE};
constexpr Codes kFactCodes{OV_OK, OV_ERR_NO_DEVICE, OV_ERR_FILE, OV_ERR_NO_DATA};
constexpr Codes kFitCodes{OV_OK, OV_ERR_NO_DEVICE, OV_ERR_FILE, OV_ERR_NO_DATA, OV_ERR_CCD_TYPE};

void expectCode(const char *name, short result, Codes allowed) {
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), result), allowed.end())
        << name << " gave " << result;
}

void expectInRange(const char *name, short result, int low, int high, Codes alsoAllowed) {
    if (result >= low && result <= high) {
        return;
    }
    expectCode(name, result, alsoAllowed);
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
        expectInRange("ovTestAllChannels", ovTestAllChannels(static_cast<int>(args() % 2)), 1,
                      OV_MAX_CHANNELS, {OV_ERR_REQUEST, OV_ERR_NO_DEVICE});
        expectCode("ovSetupGivenChannel", ovSetupGivenChannel(channel), kSetupCodes);
        int packet = 0;
        expectCode("ovCheckSpeedMode", ovCheckSpeedMode(&packet, channel), kSetupCodes);
        expectCode("ovGetDevIsNew", ovGetDevIsNew(channel),
                   {OV_OK, OV_NO, OV_ERR_REQUEST, OV_ERR_NO_DEVICE});
        expectCode("ovInitGivenChannel", ovInitGivenChannel(static_cast<int>(args() % 6), channel),
                   kFrameCodes);
        expectCode("ovSelTrigMode", ovSelTrigMode(static_cast<int>(args() % 5), channel),
                   {OV_OK, OV_ERR_REQUEST});
        expectCode("ovReadDataEx", ovReadDataEx(frame.data.data(), channel), kFrameCodes);
        expectCode("ovReadDataAdvEx",
                   ovReadDataAdvEx(frame.data.data(), 2, 50, 3, badPixels.data(), channel),
                   kFrameCodes);
        expectCode("ovReadDataExT", ovReadDataExT(frame.data.data(), channel), kFrameCodes);
        expectCode("ovReadEEPROM", ovReadEEPROM(nullptr, channel),
                   {OV_OK, OV_ERR_REQUEST, OV_ERR_NO_DATA});
        expectCode("ovDevInfo", ovDevInfo(model.data.data(), serial.data.data(), channel),
                   kFactCodes);
        expectInRange("ovGetModel", ovGetModel(channel), OV_CCD_ILX511, OV_CCD_INGAAS256,
                      {OV_ERR_REQUEST, OV_ERR_NO_DEVICE, OV_ERR_FILE, OV_ERR_NO_DATA});
        expectCode("ovInsShutter", ovInsShutter(channel),
                   {1, 0, OV_ERR_REQUEST, OV_ERR_NO_DEVICE, OV_ERR_FILE, OV_ERR_NO_DATA});
        expectCode("ovGetWLTable", ovGetWLTable(table.data.data(), channel), kFitCodes);
        int points = 0;
        expectCode("ovGetWLTableADV",
                   ovGetWLTableADV(table.data.data(), 3648, &points, pixels.data.data(),
                                   wavelengths.data.data(), channel),
                   kFitCodes);
        EXPECT_LE(points, OV_MAX_CAL_POINTS);
        expectCode("ovWriteEEPROM", ovWriteEEPROM(nullptr, channel), {OV_OK, OV_ERR_REQUEST});
        short id = 0;
        expectCode("ovReadChannelID", ovReadChannelID(&id, channel), {OV_OK, OV_ERR_REQUEST});
        expectInRange("ovGetShutterPos", ovGetShutterPos(channel), 0, 255, {OV_ERR_REQUEST});
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
        expectCode("ovDevInfo", ovDevInfo(model.data.data(), serial.data.data(), 0), kFactCodes);
        expectCode("ovGetWLTable", ovGetWLTable(table.data.data(), 0), kFitCodes);
        expectCode("ovGetWLTableADV",
                   ovGetWLTableADV(table.data.data(), 100, &points, pixels.data.data(),
                                   wavelengths.data.data(), 0),
                   kFitCodes);
        ASSERT_TRUE(table.intact() && pixels.intact() && wavelengths.intact() && model.intact() &&
                    serial.intact());
        ASSERT_EQ(ovTestAllChannels(0), 1); // reading faults drop the count; scan again
    }
}

} // namespace
} // namespace ov::test
