#include "transport.h"

#include "library_state.h"
#include "record_bytes.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace ov {

bool isValidSlot(int slot) {
    return slot >= 0 && slot < kSlots;
}

DeviceGuard::DeviceGuard(int slot) : drv(driver::activeDriver()) {
    if (isValidSlot(slot)) {
        handle = drv.open(slot);
    }
    if (isOpen()) {
        connectionId = drv.connectionOf(handle);
        noteConnection(slot, connectionId);
    }
}

DeviceGuard::~DeviceGuard() {
    if (isOpen()) {
        drv.close(handle);
    }
}

void noteConnection(int slot, std::uint64_t connection) {
    if (!isValidSlot(slot) || connection == 0) {
        return;
    }
    Slot &unit = state().slots[static_cast<std::size_t>(slot)];
    const std::uint64_t initialised = unit.connection.load();
    if (initialised != 0 && initialised != connection) {
        unit.reset.store(true);
    }
}

void recordInitialisedConnection(int slot, std::uint64_t connection) {
    if (!isValidSlot(slot)) {
        return;
    }
    Slot &unit = state().slots[static_cast<std::size_t>(slot)];
    unit.connection.store(connection);
    unit.reset.store(false);
}

std::array<std::uint8_t, driver::kPipeRecordSize> pipeRecord(std::uint32_t pipe) {
    return driver::pipeRecordOf(pipe);
}

RequestStatus request(int slot, std::uint32_t code, std::span<const std::uint8_t> in,
                      std::span<std::uint8_t> out, std::uint32_t *bytesReturned) {
    DeviceGuard device(slot);
    if (!device.isOpen()) {
        return RequestStatus::NoDevice;
    }
    std::uint32_t returned = 0;
    const bool ok = device.device().control(device.get(), code, in, out, returned);
    if (bytesReturned != nullptr) {
        *bytesReturned = std::min<std::uint32_t>(returned, static_cast<std::uint32_t>(out.size()));
    }
    return ok ? RequestStatus::Ok : RequestStatus::Failed;
}

RequestStatus resetPipe(int slot, std::uint32_t pipe) {
    const auto record = pipeRecord(pipe);
    return request(slot, driver::kIoctlResetPipe, record, {});
}

namespace {

bool bulkWrite(int slot, std::span<std::uint8_t> bytes) {
    const auto record = pipeRecord(driver::kPipeOut);
    return request(slot, driver::kIoctlBulkWrite, record, bytes) == RequestStatus::Ok;
}

} // namespace

bool sendCommand(int slot, const CommandPacket &packet) {
    if (!isValidSlot(slot)) {
        return false;
    }
    Slot &unit = state().slots[static_cast<std::size_t>(slot)];
    std::lock_guard guard(unit.lock);
    std::memcpy(unit.buffer.data(), packet.data(), packet.size());
    return bulkWrite(slot, std::span(unit.buffer.data(), kCommandLength));
}

bool sendCommand(const DeviceGuard &device, int slot, const CommandPacket &packet) {
    if (!isValidSlot(slot) || !device.isOpen()) {
        return false;
    }
    Slot &unit = state().slots[static_cast<std::size_t>(slot)];
    std::lock_guard guard(unit.lock);
    std::memcpy(unit.buffer.data(), packet.data(), packet.size());
    const auto record = pipeRecord(driver::kPipeOut);
    std::uint32_t returned = 0;
    return device.device().control(device.get(), driver::kIoctlBulkWrite, record,
                                   std::span(unit.buffer.data(), kCommandLength), returned);
}

bool sendWithAnswer(int slot, const CommandPacket &packet, CommandPacket &answer) {
    if (!isValidSlot(slot)) {
        return false;
    }
    Slot &unit = state().slots[static_cast<std::size_t>(slot)];
    // The lock spans command and answer, so no other thread's packet slips between.
    std::lock_guard guard(unit.lock);
    std::memcpy(unit.buffer.data(), packet.data(), packet.size());
    if (!bulkWrite(slot, std::span(unit.buffer.data(), kCommandLength))) {
        return false;
    }
    std::fill(unit.buffer.begin(), unit.buffer.end(), std::uint8_t{0});
    const auto record = pipeRecord(driver::kPipeIn);
    const auto transfer = static_cast<std::size_t>(unit.transferSize);
    if (request(slot, driver::kIoctlBulkRead, record, std::span(unit.buffer.data(), transfer)) !=
        RequestStatus::Ok) {
        return false;
    }
    std::copy_n(unit.buffer.begin(), answer.size(), answer.begin());
    return true;
}

} // namespace ov
