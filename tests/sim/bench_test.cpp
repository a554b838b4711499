// Bench files, the command language and the choice of backend.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../platform/watchdog.h"

#include "../../app/platform/environment.h"
#include "../platform/special_files.h"
#include "sim_fixture.h"
#include "sim_protocol.h"

namespace ov::sim::testing {
namespace {

class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("ov_sim_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path write(const std::string &name, const std::string &text) const {
        const auto p = path_ / name;
        std::ofstream(p) << text;
        return p;
    }

private:
    static inline int counter_ = 0;
    std::filesystem::path path_;
};

TEST(SimBench, DefaultBenchHasThreeSensorFamiliesWithRealisticEeproms) {
    const auto result = defaultBench();
    ASSERT_TRUE(result.bench) << result.error;
    const auto &units = result.bench->units;
    ASSERT_GE(units.size(), 3u);
    std::set<int> boardTypes;
    bool shutter = false;
    for (const auto &u : units) {
        boardTypes.insert(sensorByName(u.sensor)->boardType);
        shutter |= u.shutter.value_or(false);
        for (const char *key :
             {"[Factory Default]", "Name=QX", "CCD=", "IntTime=", "PixelFlip=", "InitPane=12",
              "BadPixels=", "[Cal Data]", "PointCount=", "Data 4="}) {
            EXPECT_NE(u.eepromText.find(key), std::string::npos) << key << " on " << u.slot;
        }
    }
    EXPECT_GE(boardTypes.size(), 3u);
    EXPECT_TRUE(shutter);

    // Every unit of it answers the maker's strings and reads back its EEPROM.
    SimDriver d(result);
    for (const auto &u : units) {
        EXPECT_NE(stringDescriptor(d, u.slot, 1)->find("ORVANTIS"), std::string::npos);
        const auto g = speedCheck(d, u.slot);
        ASSERT_TRUE(g);
        const auto text = readEepromText(d, u.slot, static_cast<std::size_t>(g->transferBytes));
        ASSERT_TRUE(text);
        EXPECT_EQ(*text, u.eepromText + "\n");
    }
}

TEST(SimBench, ErrorsNameFileAndLineAndGiveNoUnits) {
    const std::pair<std::string, std::string> cases[] = {
        {"[Unit]\nSlot=0\nColour=blue\n", "test-bench.ini:3: unknown key 'Colour'"},
        {"[Unit]\nSlot=12\n", "test-bench.ini:2: Slot:"},
        {"[Unit]\nSlot=0\n[Unit]\nSlot=0\n", "test-bench.ini:3: slot 0 is used twice"},
        {"[Unit]\nSlot=1\nSensor=XYZ\n", "test-bench.ini:3: Sensor: unknown sensor 'XYZ'"},
        {"[Unit]\nSlot=1\nMaxPacket=256\n", "test-bench.ini:3: MaxPacket:"},
        {"[Unit]\nSlot=1\nSource=laser\n", "test-bench.ini:3: Source: unknown source"},
        {"Slot=1\n", "test-bench.ini:1: key outside"},
        {"[Unit]\nSource=dark\n", "test-bench.ini:1: unit without Slot="},
        {"[Units]\n", "test-bench.ini:1: unknown section"},
        {"[Unit]\nSlot=0\nEepromCapacity=8\nEeprom=Name=QX10-LONGNAME\n",
         "test-bench.ini:1: the EEPROM text does not fit"},
        {"[Unit]\nSlot=0\nEepromFile=missing.txt\n", "test-bench.ini:3: cannot read EEPROM file"},
        {"[Unit]\nSlot=0\nFail=0x5C\n", "test-bench.ini:3: Fail:"},
    };
    for (const auto &[text, message] : cases) {
        const auto result = parseBench(text, "test-bench.ini", "/nonexistent");
        EXPECT_FALSE(result.bench) << text;
        EXPECT_EQ(result.error.rfind(message, 0), 0u) << result.error;
        SimDriver d(result);
        for (int slot = 0; slot < driver::kSlotCount; ++slot) {
            EXPECT_EQ(d.open(slot), driver::kInvalidHandle);
        }
        EXPECT_NE(d.statusMessage().find("test-bench.ini:"), std::string::npos);
    }
}

TEST(SimBench, EepromFileIsReadBesideTheBench) {
    TempDir dir;
    dir.write("unit.txt", "[Factory Default]\nName=QX20-F1\nCCD=TCD1304\n");
    const auto bench = dir.write("bench.ini", "[Unit]\nSlot=4\nEepromFile=unit.txt\n");
    const auto result = loadBenchFile(bench);
    ASSERT_TRUE(result.bench) << result.error;
    EXPECT_EQ(result.bench->units[0].sensor, "TCD1304"); // taken from CCD=
    SimDriver d(result);
    EXPECT_EQ(readEepromText(d, 4, 1024), "[Factory Default]\nName=QX20-F1\nCCD=TCD1304\n\n");

    const auto unreadable = loadBenchFile(dir.write("x", "") / "nothing.ini");
    EXPECT_FALSE(unreadable.bench);
    EXPECT_NE(unreadable.error.find("nothing.ini"), std::string::npos);
}

// A FIFO would block the read and a device never ends: both are refused at
// once, as bench and as EEPROM file, and so is a file over 1 MiB.
TEST(SimBench, OnlySmallRegularFilesAreRead) {
    const quillon::test::Watchdog watchdog("reading a FIFO or a device as a bench file");
    TempDir dir;
    const auto fifo = dir.write("x", "").parent_path() / "fifo";
    ASSERT_TRUE(quillon::test::makeNonRegularFile(fifo));
    for (const std::filesystem::path &path :
         {fifo, std::filesystem::path(quillon::test::kDeviceFile)}) {
        const auto result = loadBenchFile(path);
        EXPECT_FALSE(result.bench);
        EXPECT_NE(result.error.find("not a regular file"), std::string::npos) << result.error;
    }
    const auto viaEeprom =
        loadBenchFile(dir.write("bench.ini", "[Unit]\nSlot=0\nEepromFile=fifo\n"));
    EXPECT_FALSE(viaEeprom.bench);
    EXPECT_NE(viaEeprom.error.find("not a regular file"), std::string::npos) << viaEeprom.error;
    const auto zero = loadBenchFile(
        dir.write("zero.ini", "[Unit]\nSlot=0\nEepromFile=" + quillon::test::kDeviceFile + "\n"));
    EXPECT_FALSE(zero.bench);

    const auto big = dir.write("big.txt", "");
    std::filesystem::resize_file(big, (1u << 20) + 1);
    const auto tooLarge =
        loadBenchFile(dir.write("large.ini", "[Unit]\nSlot=0\nEepromFile=big.txt\n"));
    EXPECT_FALSE(tooLarge.bench);
    EXPECT_NE(tooLarge.error.find("larger than 1 MiB"), std::string::npos) << tooLarge.error;
}

TEST(SimCommands, GoodCommandsChangeTheUnit) {
    auto d = driverFromBench(oneUnit("Sensor=ILX511\n"));
    std::string reply;
    EXPECT_EQ(d->command("list", reply), 1);
    EXPECT_NE(reply.find("slot 0: ILX511"), std::string::npos);
    EXPECT_EQ(d->command("help", reply), 1);
    EXPECT_NE(reply.find("bench load PATH"), std::string::npos);

    EXPECT_EQ(d->command("set 0 source halogen 3100", reply), 1) << reply;
    EXPECT_EQ(d->unit(0)->status().source.temperatureK, 3100.0);
    EXPECT_EQ(d->command("set 0 sample filter 550 80", reply), 1) << reply;
    EXPECT_EQ(d->unit(0)->status().sample.kind, SampleKind::ColourFilter);
    EXPECT_EQ(d->command("set 0 level 0.5", reply), 1) << reply;
    EXPECT_EQ(d->unit(0)->status().source.level, 0.5);
    EXPECT_EQ(d->command("set 0 timing realtime", reply), 1) << reply;
    EXPECT_TRUE(d->unit(0)->status().realTime);
    EXPECT_EQ(d->command("  trigger   0  ", reply), 1) << reply;
    EXPECT_EQ(d->unit(0)->status().pendingTriggers, 1);
    EXPECT_EQ(d->command("show 0", reply), 1);
    EXPECT_NE(reply.find("pending triggers 1"), std::string::npos) << reply;
    EXPECT_EQ(d->command("eeprom 0 erase", reply), 1);
    EXPECT_EQ(readEepromText(*d, 0, 1024), "");
}

TEST(SimCommands, TheCalibratedLampFollowsTheInverseSquareLaw) {
    auto d = driverFromBench(oneUnit("Sensor=ILX511\n"));
    std::string reply;
    EXPECT_EQ(d->command("set 0 source lamp", reply), 1) << reply;
    EXPECT_EQ(d->unit(0)->status().source.kind, SourceKind::CalibratedLamp);
    const SourceSettings at50 = d->unit(0)->status().source;
    EXPECT_EQ(d->command("set 0 distance 25", reply), 1) << reply;
    const SourceSettings at25 = d->unit(0)->status().source;
    EXPECT_EQ(at25.distanceCm, 25.0);
    EXPECT_EQ(at25.kind, SourceKind::CalibratedLamp); // the source stays
    for (const double nm : {400.0, 555.0, 900.0}) {
        EXPECT_NEAR(sourceRadiance(at25, nm, 1.5) / sourceRadiance(at50, nm, 1.5), 4.0, 1e-12);
        EXPECT_NEAR(calibratedLampIrradiance(nm, 25.0), 4.0 * calibratedLampIrradiance(nm, 50.0),
                    1e-12);
    }
    EXPECT_DOUBLE_EQ(calibratedLampIrradiance(555.0, 50.0), CalibratedLamp::kIrradianceAt555);
    // The shipped table: distance, temperature, start, end, step, then the values.
    const std::string table = calibratedLampTable();
    EXPECT_EQ(table.substr(0, 19), "50\n3100\n300\n1100\n1\n");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5 + 801);
}

TEST(SimCommands, BadCommandsGetAClearReplyAndANegativeCode) {
    auto d = driverFromBench(oneUnit(""));
    const std::pair<const char *, int> cases[] = {
        {"", kCommandMalformed},
        {"dance", kCommandUnknown},
        {"set 0 source laser", kCommandMalformed},
        {"set 0 sample nd", kCommandMalformed},
        {"set 0 timing slow", kCommandMalformed},
        {"set 0 distance 0", kCommandMalformed},
        {"set 0 distance near", kCommandMalformed},
        {"set 0 colour red", kCommandMalformed},
        {"trigger", kCommandMalformed},
        {"trigger 11", kCommandMalformed},
        {"trigger 3", kCommandNoUnit},
        {"trigger 0 zero", kCommandMalformed},
        {"fail 0 0x5C", kCommandMalformed},
        {"timeout 0 -1", kCommandMalformed},
        {"unplug 0 now", kCommandMalformed},
        {"bench", kCommandMalformed},
        {"bench load", kCommandMalformed},
        {"bench load /nonexistent/bench.ini", kCommandBenchError},
    };
    for (const auto &[command, code] : cases) {
        std::string reply;
        EXPECT_EQ(d->command(command, reply), code) << command;
        EXPECT_FALSE(reply.empty()) << command;
    }
}

TEST(SimCommands, BenchLoadReplacesTheUnitsOrKeepsTheOldOnes) {
    TempDir dir;
    auto d = driverFromBench(oneUnit(""));
    const auto oldHandle = d->open(0);
    std::string reply;
    const auto bad = dir.write("bad.ini", "[Unit]\nSlot=2\nBogus=1\n");
    EXPECT_EQ(d->command("bench load " + bad.string(), reply), kCommandBenchError);
    EXPECT_NE(reply.find("bad.ini:3"), std::string::npos) << reply;
    EXPECT_NE(d->open(0), driver::kInvalidHandle);

    const auto good = dir.write("good bench.ini", "[Unit]\nSlot=2\n[Unit]\nSlot=5\n");
    EXPECT_EQ(d->command("bench load " + good.string(), reply), 1) << reply;
    EXPECT_EQ(d->open(0), driver::kInvalidHandle);
    EXPECT_NE(d->open(5), driver::kInvalidHandle);
    std::array<std::uint8_t, 18> descriptor{};
    std::uint32_t n = 0;
    EXPECT_FALSE(d->control(oldHandle, driver::kIoctlDeviceDescriptor, descriptor, descriptor, n));

    EXPECT_EQ(d->command("bench default", reply), 1) << reply;
    EXPECT_NE(d->open(0), driver::kInvalidHandle);
    EXPECT_NE(d->open(2), driver::kInvalidHandle);
}

// The backend is chosen once per process, so each case runs in a child.
void expectBackend(const char *driverName, const char *bench, bool unitOnSlot0,
                   const char *messagePart) {
    EXPECT_EXIT(
        {
            if (driverName) {
                quillon::platform::setEnvironment("OV_DRIVER", driverName);
            } else {
                quillon::platform::clearEnvironment("OV_DRIVER");
            }
            if (bench) {
                quillon::platform::setEnvironment("OV_SIM_BENCH", bench);
            } else {
                quillon::platform::clearEnvironment("OV_SIM_BENCH");
            }
            auto &d = driver::activeDriver();
            const bool found = d.open(0) != driver::kInvalidHandle;
            const auto message = driver::driverStatusMessage();
            const bool messageOk =
                messagePart ? message.find(messagePart) != std::string::npos : message.empty();
            std::exit(found == unitOnSlot0 && messageOk ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(SimDriverSelection, EnvironmentChoosesTheBackend) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const auto bad = dir.write("bad.ini", "[Unit]\nSlot=0\nSensor=ABC\n");
    const auto good = dir.write("good.ini", "[Unit]\nSlot=0\n");
    expectBackend("sim", nullptr, true, nullptr);
    expectBackend("sim", good.string().c_str(), true, nullptr);
    expectBackend("sim", bad.string().c_str(), false, "bad.ini:3");
    // Unset (or libusb): the real units' backend; this machine has none of them.
    expectBackend("none", nullptr, false, nullptr);
#ifdef _WIN32
    expectBackend("win32", nullptr, false, nullptr); // the real driver: no unit here
#else
    expectBackend("win32", nullptr, false, "not available on this platform");
#endif
    expectBackend("floppy", nullptr, false, "not a known driver");
    // The simulated bench behind the libusb backend's requests.
    expectBackend("sim-usb", nullptr, true, nullptr);
    expectBackend("sim-usb", bad.string().c_str(), false, "bad.ini:3");
    // And behind the Windows backend's requests.
    expectBackend("sim-win32", nullptr, true, nullptr);
    expectBackend("sim-win32", bad.string().c_str(), false, "bad.ini:3");
}

TEST(SimDriverSelection, InstalledDriverServesEveryCaller) {
    auto sim = std::make_unique<SimDriver>(defaultBench());
    const auto *raw = sim.get();
    driver::installDriver(std::move(sim));
    EXPECT_EQ(&driver::activeDriver(), raw);
    ASSERT_NE(driver::activeDriver().simulator(), nullptr);
    std::string reply;
    EXPECT_EQ(driver::activeDriver().simulator()->command("list", reply), 1);
    EXPECT_EQ(driver::driverStatusMessage(), "");
}

} // namespace
} // namespace ov::sim::testing
