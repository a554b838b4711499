// The transport beneath the device library: one small interface with the
// roles of the USB driver requests the units are driven by. The library sees
// nothing but this; backends (simulated units, libusb, the Windows driver)
// sit behind it and are chosen by the OV_DRIVER environment variable.
#ifndef QUILLON_DEVICELIB_DRIVER_DRIVER_H
#define QUILLON_DEVICELIB_DRIVER_DRIVER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace ov::driver {

inline constexpr int kSlotCount = 10;

// Control codes of the driver requests, with the record layouts of the real driver.
inline constexpr std::uint32_t kIoctlPipeInfo = 0x00222000;         // out: 1024-byte interface record
inline constexpr std::uint32_t kIoctlDeviceDescriptor = 0x00222004; // out: 18-byte device descriptor
inline constexpr std::uint32_t kIoctlResetDevice = 0x00222031;      // no records
inline constexpr std::uint32_t kIoctlResetPipe = 0x00222035;        // in: pipe record
inline constexpr std::uint32_t kIoctlStringDescriptor = 0x00222044; // in: 4-byte request; out: descriptor
inline constexpr std::uint32_t kIoctlBulkRead = 0x0022204E;         // in: pipe record; out: data read
inline constexpr std::uint32_t kIoctlBulkWrite = 0x00222051;        // in: pipe record; out: data sent
inline constexpr std::uint32_t kIoctlDrainRead = 0x0022208A;        // in: pipe record; out: data read

inline constexpr std::size_t kPipeInfoSize = 1024;
inline constexpr std::size_t kPipeInfoMaxPacketOffset32 = 16; // 32-bit driver layout
inline constexpr std::size_t kPipeInfoMaxPacketOffset64 = 24; // 64-bit driver (8-byte pointers)
inline constexpr std::size_t kDeviceDescriptorSize = 18;
inline constexpr std::size_t kPipeRecordSize = 4; // little-endian 32-bit pipe index
inline constexpr std::uint16_t kStringLanguageId = 0x001B;
inline constexpr std::uint32_t kPipeIn = 0;  // bulk IN: answers and frames
inline constexpr std::uint32_t kPipeOut = 1; // bulk OUT: 64-byte commands
inline constexpr std::size_t kCommandLength = 64;

// A device handle lives for one request only; -1 is "not open".
using DeviceHandle = int;
inline constexpr DeviceHandle kInvalidHandle = -1;

enum class WaitStatus { Completed, TimedOut, Failed };

// Runtime control of simulated units; present only on the simulated backend.
class SimulatorControl {
public:
    virtual ~SimulatorControl() = default;
    // Runs one text command; returns 1 or a negative code, with a reply text.
    virtual int command(std::string_view line, std::string &reply) = 0;
    // Why the simulated bench has no units (a bad bench file); empty when all is well.
    virtual std::string statusMessage() const { return {}; }
};

class Driver {
public:
    virtual ~Driver() = default;

    // Opens the unit of a device slot 0..9; kInvalidHandle when there is none.
    virtual DeviceHandle open(int slot) = 0;
    virtual void close(DeviceHandle handle) = 0;

    // One driver request. `in` is the request's input record, `out` its output
    // buffer. As with the real driver, a bulk write carries the bytes to send
    // in `out`. `bytesReturned` is the length of the answer. False on failure.
    virtual bool control(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                         std::span<std::uint8_t> out, std::uint32_t &bytesReturned) = 0;

    // An overlapped bulk read of out.size() bytes on `pipe`, waited for at most
    // timeoutMs. A read still pending at the time-out is cancelled.
    virtual WaitStatus bulkReadWait(DeviceHandle handle, std::uint32_t pipe,
                                    std::span<std::uint8_t> out, int timeoutMs,
                                    std::uint32_t &bytesReturned) = 0;

    // The connection of its slot an open handle belongs to: a number that
    // changes whenever a unit is plugged in behind the slot (a power cycle
    // counts, as the unit then runs on its power-on defaults). 0 when the
    // backend cannot tell connections apart.
    virtual std::uint64_t connectionOf(DeviceHandle) const { return 0; }

    // Stand-in for "a 32-bit process on a 64-bit system": the driver then lays
    // the interface record out with 8-byte pointers (maximum packet at 24).
    virtual bool pipeRecordUses64BitLayout() const { return false; }

    // Capability: runtime control when the units are simulated, else null.
    virtual SimulatorControl *simulator() { return nullptr; }

    // Why units that are present cannot be used (say, no permission to open
    // them); empty when there is nothing to explain.
    virtual std::string unitProblem() const { return {}; }
};

// The process's driver, created on first use from OV_DRIVER ("sim" for the
// simulated bench; unset means the platform's real backend, which finds no
// unit where none is built). Never chosen silently as the simulator.
Driver &activeDriver();

// Replaces the active driver (the program's --simulate switch, tests).
void installDriver(std::unique_ptr<Driver> driver);

// Message explaining why the active backend has no units (bad bench file,
// unknown OV_DRIVER value); empty when all is well.
std::string driverStatusMessage();

} // namespace ov::driver

#endif
