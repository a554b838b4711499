// Helpers of the end-to-end tests: bench files for the simulated units,
// loaded through the library's simulator command.
#ifndef QUILLON_TESTS_DEVICELIB_SIM_BENCH_H
#define QUILLON_TESTS_DEVICELIB_SIM_BENCH_H

#include "ovdbusbm.h"

#include <gtest/gtest.h>

#include "../../app/platform/environment.h"
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ov::test {

struct SimUnit {
    int slot = 0;
    std::string ccd = "ILX511";
    int maxPacket = 1024;
    int productId = 0x0322;
    int channelId = 0;
    std::string serial = "S0001";
    std::string source = "dark";
    std::string timing = "fast";
    std::vector<std::string> extraEeprom;

    SimUnit &sensor(std::string name) { return set(ccd, std::move(name)); }
    SimUnit &packet(int size) { return set(maxPacket, size); }
    SimUnit &product(int id) { return set(productId, id); }
    SimUnit &id(int value) { return set(channelId, value); }
    SimUnit &sn(std::string text) { return set(serial, std::move(text)); }
    SimUnit &light(std::string text) { return set(source, std::move(text)); }
    SimUnit &clock(std::string text) { return set(timing, std::move(text)); }

private:
    template <typename T, typename V>
    SimUnit &set(T &field, V value) {
        field = std::move(value);
        return *this;
    }
};

inline SimUnit unitAt(int slot) {
    SimUnit unit;
    unit.slot = slot;
    return unit;
}

inline std::string unitSection(const SimUnit &u) {
    std::string text = "[Unit]\nSlot=" + std::to_string(u.slot) + "\nVendorId=0x0547\n";
    std::array<char, 32> hex{};
    std::snprintf(hex.data(), hex.size(), "0x%04X", u.productId);
    text += "ProductId=" + std::string(hex.data()) + "\nMaxPacket=" + std::to_string(u.maxPacket) +
            "\nChannelId=" + std::to_string(u.channelId) +
            "\nManufacturer=ORVANTIS\nProduct=OV USB Spectrometer\nSource=" + u.source +
            "\nTiming=" + u.timing + "\nSeed=" + std::to_string(17 + u.slot) +
            "\nEeprom=Name=QX10-" + u.serial + "\nEeprom=CCD=" + u.ccd +
            "\nEeprom=BuiltInShutter=0\nEeprom=PointCount=4\nEeprom=Data 1=4047;170\n"
            "Eeprom=Data 2=5461;577\nEeprom=Data 3=6965;1021\nEeprom=Data 4=8115;1368\n";
    for (const std::string &line : u.extraEeprom) {
        text += "Eeprom=" + line + "\n";
    }
    return text;
}

class SimBench : public testing::Test {
protected:
    // QUILLON_TEST_DRIVER=sim-usb runs the same cases through the libusb
    // backend's request mapping, with the bench seen at the USB level.
    static void SetUpTestSuite() {
        const char *chosen = std::getenv("QUILLON_TEST_DRIVER");
        quillon::platform::setEnvironment("OV_DRIVER",
                                          chosen != nullptr && *chosen != '\0' ? chosen : "sim");
    }

    static std::string sim(const std::string &command) {
        std::array<char, 8192> reply{};
        const int result =
            ovSimCommand(command.c_str(), reply.data(), static_cast<int>(reply.size()));
        EXPECT_EQ(result, 1) << command << ": " << reply.data();
        return reply.data();
    }

    static std::filesystem::path tempFile(const std::string &name) {
        const auto dir = std::filesystem::temp_directory_path() /
                         ("quillon-devicelib-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir / name;
    }

    static void load(const std::vector<SimUnit> &units, bool record64 = false) {
        std::string ini = "[Bench]\nPipeRecord64=" + std::string(record64 ? "1" : "0") + "\n";
        for (const SimUnit &u : units) {
            ini += unitSection(u);
        }
        const auto path = tempFile("bench.ini");
        std::ofstream(path) << ini;
        sim("bench load " + path.string());
    }

    // Loads the units, scans, sets up and initialises every channel.
    static void start(const std::vector<SimUnit> &units, int ccdType = OV_CCD_ILX511) {
        load(units);
        ASSERT_EQ(ovTestAllChannels(0), static_cast<short>(units.size()));
        for (int channel = 0; channel < static_cast<int>(units.size()); ++channel) {
            ASSERT_EQ(ovSetupGivenChannel(channel), OV_OK);
            int packet = 0;
            ASSERT_EQ(ovCheckSpeedMode(&packet, channel), OV_OK);
            ASSERT_GE(ovGetDevIsNew(channel), 0);
            ASSERT_EQ(ovInitGivenChannel(ccdType, channel), OV_OK);
        }
    }
};

} // namespace ov::test

#endif
