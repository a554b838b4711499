// The Windows backend's request mapping, through its api seam: a recording
// api in front of the simulated units (which answer as the driver would), so
// that the device library's own operations run through the backend; and,
// on Windows, the real kernel32 api on a machine without the USB driver.
#include "ovdbusbm.h"
#include "win32/sim_ezusb_api.h"
#include "win32/win32_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace ov::win32 {
namespace {

using driver::DeviceHandle;
using driver::kInvalidHandle;
using driver::WaitStatus;

struct Request {
    std::uint32_t code = 0;
    std::vector<std::uint8_t> in;
    std::size_t outSize = 0;
    int timeoutMs = -1; // -1: a plain request without a wait of its own

    bool operator==(const Request &) const = default;
};

// What the backend did through the api, shared with the test after the
// driver (and the api it owns) has gone to the library.
struct ApiLog {
    std::mutex mutex;
    std::vector<std::string> opened;
    int opens = 0;
    int closes = 0;
    std::set<NativeHandle> live;
    std::vector<Request> requests;
    int wow64Questions = 0;

    // Scripted faults and answers.
    std::map<std::string, OpenResult> refusals;
    std::set<std::uint32_t> failingCodes;
    std::optional<bool> wow64;
    std::optional<WaitStatus> readOutcome;
    std::uint32_t extraReturned = 0; // an api that claims more bytes than fit

    std::vector<Request> takeRequests() {
        std::lock_guard lock(mutex);
        return std::exchange(requests, {});
    }
    std::vector<std::string> takeOpened() {
        std::lock_guard lock(mutex);
        return std::exchange(opened, {});
    }
};

class RecordingApi final : public EzusbApi {
public:
    RecordingApi(std::unique_ptr<SimEzusbApi> inner, std::shared_ptr<ApiLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    OpenResult openDevice(const std::string &name) override {
        std::lock_guard lock(log_->mutex);
        log_->opened.push_back(name);
        if (const auto refused = log_->refusals.find(name); refused != log_->refusals.end()) {
            return refused->second;
        }
        const OpenResult result = inner_->openDevice(name);
        if (result.handle != kNoNativeHandle) {
            ++log_->opens;
            EXPECT_TRUE(log_->live.insert(result.handle).second) << "handle given twice";
        }
        return result;
    }
    void closeHandle(NativeHandle handle) override {
        {
            std::lock_guard lock(log_->mutex);
            ++log_->closes;
            EXPECT_EQ(log_->live.erase(handle), 1u) << "closed a handle not open";
        }
        inner_->closeHandle(handle);
    }
    bool ioControl(NativeHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                   std::span<std::uint8_t> out, std::uint32_t &returned) override {
        if (!note(handle, {code, {in.begin(), in.end()}, out.size(), -1})) {
            returned = 0;
            return false;
        }
        const bool ok = inner_->ioControl(handle, code, in, out, returned);
        returned += log_->extraReturned;
        return ok;
    }
    WaitStatus overlappedRequest(NativeHandle handle, std::uint32_t code,
                                 std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                                 int timeoutMs, std::uint32_t &returned) override {
        if (!note(handle, {code, {in.begin(), in.end()}, out.size(), timeoutMs})) {
            returned = 0;
            return WaitStatus::Failed;
        }
        const WaitStatus status =
            inner_->overlappedRequest(handle, code, in, out, timeoutMs, returned);
        returned += log_->extraReturned;
        std::lock_guard lock(log_->mutex);
        return log_->readOutcome.value_or(status);
    }
    bool isWow64Process() override {
        std::lock_guard lock(log_->mutex);
        ++log_->wow64Questions;
        return log_->wow64.value_or(inner_->isWow64Process());
    }
    driver::SimulatorControl *simulator() override { return inner_->simulator(); }

private:
    // Records the request; false when it is scripted to fail.
    bool note(NativeHandle handle, Request request) {
        std::lock_guard lock(log_->mutex);
        EXPECT_TRUE(log_->live.contains(handle)) << "request on a handle not open";
        const bool fails = log_->failingCodes.contains(request.code);
        log_->requests.push_back(std::move(request));
        return !fails;
    }

    std::unique_ptr<SimEzusbApi> inner_;
    std::shared_ptr<ApiLog> log_;
};

constexpr const char *kTwoUnits = "[Unit]\nSlot=0\nEeprom=CCD=ILX511\n"
                                  "[Unit]\nSlot=3\nMaxPacket=1025\nEeprom=CCD=ILX511\n";

std::unique_ptr<SimEzusbApi> simulatedUnits(const std::string &bench) {
    auto parsed = sim::parseBench(bench, "bench.ini", {});
    EXPECT_TRUE(parsed.bench) << parsed.error;
    return std::make_unique<SimEzusbApi>(std::make_unique<sim::SimDriver>(parsed));
}

struct Backend {
    std::shared_ptr<ApiLog> log = std::make_shared<ApiLog>();
    std::unique_ptr<Win32Driver> driver;

    explicit Backend(const std::string &bench = kTwoUnits)
        : driver(std::make_unique<Win32Driver>(
              std::make_unique<RecordingApi>(simulatedUnits(bench), log))) {}
};

std::string nameOf(int slot) {
    return "\\\\.\\Ezusb-" + std::to_string(slot);
}

const std::vector<std::uint8_t> kPipe0{0, 0, 0, 0};
const std::vector<std::uint8_t> kPipe1{1, 0, 0, 0};

TEST(Win32Backend, EachSlotIsItsOwnDeviceAndNoNumberBeyondNineIsOpened) {
    Backend b;
    for (int slot = -1; slot <= driver::kSlotCount; ++slot) {
        const DeviceHandle h = b.driver->open(slot);
        EXPECT_EQ(h != kInvalidHandle, slot == 0 || slot == 3) << slot;
        b.driver->close(h);
    }
    std::vector<std::string> expected;
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        expected.push_back(nameOf(slot));
    }
    EXPECT_EQ(b.log->takeOpened(), expected);
    EXPECT_EQ(deviceNameOf(10), "");
    EXPECT_EQ(b.log->opens, 2);
    EXPECT_EQ(b.log->closes, 2);
    EXPECT_EQ(b.driver->unitProblem(), ""); // empty slots are nothing to explain
}

TEST(Win32Backend, CodesAndRecordsReachTheDriverUnchanged) {
    Backend b;
    const DeviceHandle h = b.driver->open(0);
    ASSERT_NE(h, kInvalidHandle);
    std::array<std::uint8_t, driver::kDeviceDescriptorSize> descriptor{};
    std::array<std::uint8_t, 64> packet{0x5C};
    std::uint32_t n = 0;
    ASSERT_TRUE(b.driver->control(h, driver::kIoctlDeviceDescriptor, {}, descriptor, n));
    EXPECT_EQ(n, driver::kDeviceDescriptorSize);
    EXPECT_EQ(descriptor[8] | (descriptor[9] << 8), 0x0547);
    ASSERT_TRUE(b.driver->control(h, driver::kIoctlBulkWrite, kPipe1, packet, n));
    ASSERT_TRUE(b.driver->control(h, driver::kIoctlResetPipe, kPipe0, {}, n));
    EXPECT_EQ(b.log->takeRequests(),
              (std::vector<Request>{{driver::kIoctlDeviceDescriptor, {}, 18, -1},
                                    {driver::kIoctlBulkWrite, kPipe1, 64, -1},
                                    {driver::kIoctlResetPipe, kPipe0, 0, -1}}));

    // The frame read: the bulk-read code with the pipe record, and the wait.
    // (The unit has no frame started; the api is told to complete the reads.)
    b.log->readOutcome = WaitStatus::Completed;
    std::array<std::uint8_t, 1024> buffer{};
    EXPECT_EQ(b.driver->bulkReadWait(h, driver::kPipeIn, buffer, 1000, n), WaitStatus::Completed);
    EXPECT_EQ(b.driver->bulkReadWait(h, driver::kPipeIn, buffer, -5, n), WaitStatus::Completed);
    EXPECT_EQ(b.log->takeRequests(),
              (std::vector<Request>{{driver::kIoctlBulkRead, kPipe0, 1024, 1000},
                                    {driver::kIoctlBulkRead, kPipe0, 1024, 0}}));

    // A count beyond the buffer never reaches the library.
    b.log->extraReturned = 5000;
    EXPECT_TRUE(b.driver->control(h, driver::kIoctlDeviceDescriptor, {}, descriptor, n));
    EXPECT_EQ(n, driver::kDeviceDescriptorSize);
    EXPECT_EQ(b.driver->bulkReadWait(h, driver::kPipeIn, buffer, 1000, n), WaitStatus::Completed);
    EXPECT_EQ(n, buffer.size());
    b.driver->close(h);
}

TEST(Win32Backend, FailuresTimeOutsAndStaleHandles) {
    Backend b;
    const DeviceHandle h = b.driver->open(0);
    std::array<std::uint8_t, 1024> buffer{};
    std::uint32_t n = 99;
    b.log->failingCodes = {driver::kIoctlResetDevice};
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlResetDevice, {}, {}, n));
    EXPECT_EQ(n, 0u);

    b.log->readOutcome = WaitStatus::TimedOut;
    n = 99;
    EXPECT_EQ(b.driver->bulkReadWait(h, driver::kPipeIn, buffer, 1000, n), WaitStatus::TimedOut);
    EXPECT_EQ(n, 0u); // nothing arrived that the library could take
    b.log->readOutcome = WaitStatus::Failed;
    EXPECT_EQ(b.driver->bulkReadWait(h, driver::kPipeIn, buffer, 1000, n), WaitStatus::Failed);
    b.log->readOutcome.reset();

    // After its close a handle reaches nothing, nor does one never given.
    b.driver->close(h);
    b.log->takeRequests();
    EXPECT_FALSE(b.driver->control(h, driver::kIoctlDeviceDescriptor, {}, buffer, n));
    EXPECT_EQ(b.driver->bulkReadWait(h, driver::kPipeIn, buffer, 1000, n), WaitStatus::Failed);
    EXPECT_FALSE(b.driver->control(kInvalidHandle, driver::kIoctlDeviceDescriptor, {}, buffer, n));
    EXPECT_TRUE(b.log->takeRequests().empty());
    // A close of a handle already closed does not close another one.
    const DeviceHandle other = b.driver->open(3);
    b.driver->close(h);
    EXPECT_TRUE(b.driver->control(other, driver::kIoctlDeviceDescriptor, {},
                                  std::span(buffer).first(18), n));
    b.driver->close(other);
    EXPECT_EQ(b.log->opens, b.log->closes);
}

TEST(Win32Backend, DevicesThatRefuseToOpenAreExplainedUntilTheyOpen) {
    Backend b;
    b.log->refusals[nameOf(0)] = {kNoNativeHandle, OpenError::AccessDenied, 5, "Access is denied."};
    b.log->refusals[nameOf(3)] = {kNoNativeHandle, OpenError::Other, 31,
                                  "A device attached to the system is not functioning."};
    b.log->refusals[nameOf(5)] = {kNoNativeHandle, OpenError::InUse, 32, "In use."};
    EXPECT_EQ(b.driver->open(0), kInvalidHandle);
    EXPECT_EQ(b.driver->open(3), kInvalidHandle);
    EXPECT_EQ(b.driver->open(5), kInvalidHandle);
    const std::string problem = b.driver->unitProblem();
    EXPECT_NE(problem.find("A unit is present at \\\\.\\Ezusb-0 but cannot be opened: access "
                           "denied"),
              std::string::npos)
        << problem;
    EXPECT_NE(problem.find("\\\\.\\Ezusb-3 but cannot be opened: A device attached to the system "
                           "is not functioning (error 31)"),
              std::string::npos)
        << problem;
    EXPECT_NE(problem.find("\\\\.\\Ezusb-5 but cannot be opened: it is in use by another program"),
              std::string::npos)
        << problem;
    EXPECT_EQ(std::count(problem.begin(), problem.end(), '\n'), 2);

    // Slot 0 opens, slot 3's device goes away: only slot 5 is left to explain.
    b.log->refusals.erase(nameOf(0));
    b.log->refusals[nameOf(3)] = {kNoNativeHandle, OpenError::NotPresent, 2, "Not found."};
    b.driver->close(b.driver->open(0));
    EXPECT_EQ(b.driver->open(3), kInvalidHandle);
    EXPECT_EQ(b.driver->unitProblem().find("Ezusb-0"), std::string::npos);
    EXPECT_EQ(b.driver->unitProblem().find("Ezusb-3"), std::string::npos);
    EXPECT_NE(b.driver->unitProblem().find("Ezusb-5"), std::string::npos);
}

TEST(Win32Backend, HandlesLeftOpenAreClosedWithTheBackend) {
    auto b = std::make_unique<Backend>();
    const auto log = b->log;
    ASSERT_NE(b->driver->open(0), kInvalidHandle);
    ASSERT_NE(b->driver->open(3), kInvalidHandle);
    b.reset();
    EXPECT_EQ(log->closes, 2);
    EXPECT_TRUE(log->live.empty());
}

// The device library's own operations through the backend.
class LibraryOverWin32 : public testing::Test {
protected:
    void install(const std::string &bench = kTwoUnits) {
        driver::installDriver(std::make_unique<Win32Driver>(
            std::make_unique<RecordingApi>(simulatedUnits(bench), log)));
    }

    void startChannels(int count) {
        ASSERT_EQ(ovTestAllChannels(0), count);
        for (short channel = 0; channel < count; ++channel) {
            ASSERT_EQ(ovSetupGivenChannel(channel), OV_OK);
            int packet = 0;
            ASSERT_EQ(ovCheckSpeedMode(&packet, channel), OV_OK);
            ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, channel), OV_OK);
        }
    }

    std::shared_ptr<ApiLog> log = std::make_shared<ApiLog>();
    std::vector<int> frame = std::vector<int>(2080);
};

TEST_F(LibraryOverWin32, ScanSetupAndFramesOpenEachDeviceForOneRequestOnly) {
    install();
    ASSERT_EQ(ovTestAllChannels(0), 2);
    const auto scanned = log->takeOpened();
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        EXPECT_NE(std::find(scanned.begin(), scanned.end(), nameOf(slot)), scanned.end()) << slot;
    }
    EXPECT_EQ(std::find(scanned.begin(), scanned.end(), nameOf(10)), scanned.end());
    EXPECT_EQ(log->opens, log->closes);

    // Set-up of channel 1 (slot 3): the open check, then three requests of their own.
    log->takeRequests();
    const int opensBefore = log->opens;
    ASSERT_EQ(ovSetupGivenChannel(1), OV_OK);
    EXPECT_EQ(log->takeOpened(), std::vector<std::string>(4, nameOf(3)));
    EXPECT_EQ(log->opens - opensBefore, 4);
    EXPECT_EQ(log->takeRequests(),
              (std::vector<Request>{{driver::kIoctlResetDevice, {}, 0, -1},
                                    {driver::kIoctlResetPipe, kPipe0, 0, -1},
                                    {driver::kIoctlResetPipe, kPipe1, 0, -1}}));
    ASSERT_EQ(ovSetupGivenChannel(0), OV_OK);

    int packet = 0;
    ASSERT_EQ(ovCheckSpeedMode(&packet, 1), OV_OK);
    EXPECT_EQ(packet, 512);
    ASSERT_EQ(ovInitGivenChannel(OV_CCD_ILX511, 1), OV_OK);
    log->takeRequests();
    ASSERT_EQ(ovReadDataEx(frame.data(), 1), OV_OK);
    // One start-frame command, then the frame's packets as waited-for reads.
    const auto requests = log->takeRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().code, driver::kIoctlBulkWrite);
    const auto reads = std::count_if(requests.begin(), requests.end(), [](const Request &r) {
        return r.code == driver::kIoctlBulkRead && r.timeoutMs > 0 && r.in == kPipe0 &&
               r.outSize == 1025;
    });
    EXPECT_EQ(reads, 9); // 2080 samples in reads of 256
    EXPECT_EQ(log->opens, log->closes);
    EXPECT_TRUE(log->live.empty());
}

TEST_F(LibraryOverWin32, RecordLayoutFollowsTheProcessKind) {
    // A unit reporting 1025 on a driver laying the record out with 8-byte pointers.
    install("[Bench]\nPipeRecord64=1\n[Unit]\nSlot=0\nMaxPacket=1025\nEeprom=CCD=ILX511\n");
    ASSERT_EQ(ovTestAllChannels(0), 1);
    int packet = 0;
    log->wow64 = true;
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    EXPECT_EQ(packet, 512);
    EXPECT_GT(log->wow64Questions, 0);
    // Read at the 32-bit place, the same record gives no high-speed pipe.
    log->wow64 = false;
    ASSERT_EQ(ovCheckSpeedMode(&packet, 0), OV_OK);
    EXPECT_EQ(packet, 64);
}

TEST_F(LibraryOverWin32, TwoThreadsOnTwoUnitsKeepTheirHandlesApart) {
    install();
    startChannels(2);
    std::atomic<int> failures{0};
    const auto reader = [&](short channel) {
        std::vector<int> own(2080);
        for (int i = 0; i < 20; ++i) {
            failures += ovReadDataEx(own.data(), channel) == OV_OK ? 0 : 1;
        }
    };
    std::thread first(reader, 0);
    std::thread second(reader, 1);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(log->opens, log->closes);
    EXPECT_TRUE(log->live.empty());
}

#ifdef _WIN32
// The real api, on a machine without the USB driver.
TEST(Win32KernelApi, AbsentDriverMeansNoUnitsAndNothingToExplain) {
    auto api = makeKernelEzusbApi();
    const OpenResult result = api->openDevice("\\\\.\\Ezusb-0");
    EXPECT_EQ(result.handle, kNoNativeHandle);
    EXPECT_EQ(result.error, OpenError::NotPresent) << result.systemCode << " " << result.systemText;
    Win32Driver backend(makeKernelEzusbApi());
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        EXPECT_EQ(backend.open(slot), kInvalidHandle);
    }
    EXPECT_EQ(backend.unitProblem(), "");
#ifdef _WIN64
    EXPECT_FALSE(api->isWow64Process());
    EXPECT_FALSE(backend.pipeRecordUses64BitLayout());
#endif
}

// A named pipe's listen request stands in for a bulk read that waits: it
// stays pending until a client connects.
constexpr std::uint32_t kPipeListen = 0x00110008;
// One name per process: the test cases run side by side in their own processes.
const std::string &pipeName() {
    static const std::string name =
        "\\\\.\\pipe\\quillon-win32-backend-test-" + std::to_string(GetCurrentProcessId());
    return name;
}

struct PipeServer {
    HANDLE handle = CreateNamedPipeA(pipeName().c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_BYTE | PIPE_WAIT, 1, 64, 64, 0, nullptr);
    ~PipeServer() {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    NativeHandle native() const { return reinterpret_cast<NativeHandle>(handle); }
};

HANDLE connectClient() {
    return CreateFileA(pipeName().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

TEST(Win32KernelApi, APendingRequestIsCancelledAtItsTimeOutOrCompletesInTime) {
    auto api = makeKernelEzusbApi();
    PipeServer server;
    ASSERT_NE(server.handle, INVALID_HANDLE_VALUE);
    std::uint32_t n = 99;
    // Should the cancel not happen, a late client ends the wait: the test
    // then fails instead of hanging.
    std::mutex mutex;
    std::condition_variable returned;
    bool timedOut = false;
    std::thread rescue([&] {
        std::unique_lock lock(mutex);
        if (!returned.wait_for(lock, std::chrono::seconds(3), [&] { return timedOut; })) {
            const HANDLE h = connectClient();
            if (h != INVALID_HANDLE_VALUE) {
                CloseHandle(h);
            }
        }
    });
    const auto started = std::chrono::steady_clock::now();
    const WaitStatus first = api->overlappedRequest(server.native(), kPipeListen, {}, {}, 100, n);
    {
        std::lock_guard lock(mutex);
        timedOut = true;
    }
    returned.notify_one();
    rescue.join();
    ASSERT_EQ(first, WaitStatus::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(90));
    EXPECT_EQ(n, 0u);

    // Cancelled, the pipe listens afresh; a client arriving in time completes it.
    std::thread client([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const HANDLE h = connectClient();
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    });
    EXPECT_EQ(api->overlappedRequest(server.native(), kPipeListen, {}, {}, 5000, n),
              WaitStatus::Completed);
    client.join();

    // The plain request fails when the system refuses it at once.
    EXPECT_FALSE(api->ioControl(server.native(), kPipeListen, {}, {}, n));
}

TEST(Win32KernelApi, APlainRequestWaitsForItsCompletion) {
    auto api = makeKernelEzusbApi();
    PipeServer server;
    ASSERT_NE(server.handle, INVALID_HANDLE_VALUE);
    std::atomic<bool> connected{false};
    std::thread client([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        connected = true;
        const HANDLE h = connectClient();
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    });
    std::uint32_t n = 0;
    EXPECT_TRUE(api->ioControl(server.native(), kPipeListen, {}, {}, n));
    EXPECT_TRUE(connected.load()); // it returned only after the client came
    client.join();
}
#endif

} // namespace
} // namespace ov::win32
