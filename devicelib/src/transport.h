// How one request reaches one unit: open the device of the slot, issue one
// driver request, close it again. A handle never outlives its request.
#ifndef QUILLON_DEVICELIB_SRC_TRANSPORT_H
#define QUILLON_DEVICELIB_SRC_TRANSPORT_H

#include "command_codec.h"
#include "driver.h"

#include <cstdint>
#include <span>

namespace ov {

// RAII owner of a device handle for the duration of one request.
class DeviceGuard {
public:
    explicit DeviceGuard(int slot);
    ~DeviceGuard();
    DeviceGuard(const DeviceGuard &) = delete;
    DeviceGuard &operator=(const DeviceGuard &) = delete;

    bool isOpen() const { return handle != driver::kInvalidHandle; }
    driver::DeviceHandle get() const { return handle; }
    driver::Driver &device() const { return drv; }
    // The driver's connection the handle belongs to (0: unknown).
    std::uint64_t connection() const { return connectionId; }

private:
    driver::Driver &drv;
    driver::DeviceHandle handle = driver::kInvalidHandle;
    std::uint64_t connectionId = 0;
};

// Every open compares the handle's connection with the one the slot was
// initialised on; another one marks the slot as reset (Slot::reset).
void noteConnection(int slot, std::uint64_t connection);
// After the initialise command went out on `connection`: the slot is set up
// for that connection and no longer reset.
void recordInitialisedConnection(int slot, std::uint64_t connection);

enum class RequestStatus { Ok, NoDevice, Failed };

// One driver request on its own open/close. `bytesReturned` may be null.
RequestStatus request(int slot, std::uint32_t code, std::span<const std::uint8_t> in,
                      std::span<std::uint8_t> out, std::uint32_t *bytesReturned = nullptr);
RequestStatus resetPipe(int slot, std::uint32_t pipe);
std::array<std::uint8_t, driver::kPipeRecordSize> pipeRecord(std::uint32_t pipe);

// Sending: the command packet by bulk write on pipe 1, under the slot's lock.
bool sendCommand(int slot, const CommandPacket &packet);
// The same on a handle the caller already holds open (the frame read keeps
// one from its start-frame command to the last packet).
bool sendCommand(const DeviceGuard &device, int slot, const CommandPacket &packet);
// Sending with an answer: the command, then one bulk read of transfer size
// into the slot's buffer; `answer` receives a copy of its first 64 bytes.
bool sendWithAnswer(int slot, const CommandPacket &packet, CommandPacket &answer);

bool isValidSlot(int slot);

} // namespace ov

#endif
