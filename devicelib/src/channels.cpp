// Channel table operations: discovery scan, set-up, initialisation, close,
// channel IDs, speed and generation checks.
#include "command_codec.h"
#include "library_state.h"
#include "operations.h"
#include "transport.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

namespace ov {

namespace {

constexpr int kStringDescriptorBuffer = 256;
constexpr int kMaxDescriptorChars = 64;
// A unit that keeps answering the draining read is not drained forever.
constexpr int kMaxDrainReads = 4096;

Slot &slotAt(int slot) {
    return state().slots[static_cast<std::size_t>(slot)];
}

// Text of one string descriptor (low bytes of its UTF-16 characters), or
// empty when a request fails or the answer is malformed.
std::string stringDescriptorText(const DeviceGuard &device, std::uint8_t index) {
    const std::array<std::uint8_t, 4> query{index, 0, driver::kStringLanguageId & 0xFF,
                                            driver::kStringLanguageId >> 8};
    std::array<std::uint8_t, kStringDescriptorBuffer> answer{};
    std::uint32_t returned = 0;
    if (!device.device().control(device.get(), driver::kIoctlStringDescriptor, query,
                                 std::span(answer.data(), 4), returned)) {
        return {};
    }
    const std::size_t length = std::min<std::size_t>(answer[0], answer.size());
    if (length <= 2) {
        return {};
    }
    answer.fill(0);
    if (!device.device().control(device.get(), driver::kIoctlStringDescriptor, query,
                                 std::span(answer.data(), length), returned)) {
        return {};
    }
    const std::size_t usable = std::min<std::size_t>(length, returned);
    const std::size_t chars =
        std::min<std::size_t>(usable > 2 ? (usable - 2) / 2 : 0, kMaxDescriptorChars);
    std::string text;
    for (std::size_t i = 0; i < chars; ++i) {
        text.push_back(static_cast<char>(answer[2 + 2 * i]));
    }
    return text;
}

bool hasMakerText(const std::string &text) {
    return text.find("ORVANTIS") != std::string::npos ||
           text.find("OV USB driver") != std::string::npos || text.find("OV") != std::string::npos;
}

bool passesStringCheck(const DeviceGuard &device) {
    return hasMakerText(stringDescriptorText(device, 1)) &&
           hasMakerText(stringDescriptorText(device, 2));
}

int transferSizeOf(int slot) {
    Slot &unit = slotAt(slot);
    std::lock_guard guard(unit.lock);
    return unit.transferSize;
}

void drainUnit(int slot) {
    std::array<std::uint8_t, kMaxTransferSize> scratch{};
    const auto transfer = static_cast<std::size_t>(transferSizeOf(slot));
    const auto record = pipeRecord(driver::kPipeIn);
    for (int i = 0; i < kMaxDrainReads; ++i) {
        std::uint32_t returned = 0;
        if (request(slot, driver::kIoctlDrainRead, record, std::span(scratch.data(), transfer),
                    &returned) != RequestStatus::Ok ||
            returned == 0) {
            return;
        }
    }
}

// Rewrites the IDs 0, 1, ... in discovery order.
int rewriteChannelIds(int found) {
    LibraryState &st = state();
    for (auto &entry : st.channelIdTable) {
        entry = kNoSlot;
    }
    for (int k = 0; k < found; ++k) {
        const int slot = st.foundOrder[static_cast<std::size_t>(k)];
        if (!DeviceGuard(slot).isOpen()) {
            return kErrNoDevice;
        }
        st.channelIdTable[static_cast<std::size_t>(k)] = slot;
        if (writeChannelId(slot, k) != kOk) {
            return kErrRequest;
        }
    }
    return kOk;
}

int initialIntegrationValue(int ccdType) {
    return ccdType == kCcdTcd1304 ? 1100 : 11;
}

// Steps that speak to the unit through the found order: trigger selection,
// skip, integration time and one frame.
int finishInit(int ccdType, int slot, bool selectTrigger) {
    if (ccdType != kCcdTcd1304 && selectTrigger) {
        const int result = selectTriggerMode(slot, 2);
        if (result < 0) {
            return result;
        }
    }
    std::array<int, kMaxReadoutLength> scratch{};
    int result = sendByteCommand(slot, Command::Skip, 0);
    if (result >= 0) {
        result = setIntegrationInt(slot, initialIntegrationValue(ccdType));
    }
    if (result >= 0) {
        result = readFrame(slot, scratch.data());
    }
    return result < 0 ? result : kOk;
}

// Stores the geometry of the CCD type in the slot and sends the initialise command.
int startInit(int ccdType, int slot) {
    if (!isValidCcdType(ccdType)) {
        state().showMessage("Error in setting the CCD type!");
        return kErrCcdType;
    }
    if (!isValidSlot(slot)) {
        return kErrNoDevice;
    }
    Slot &unit = slotAt(slot);
    CommandPacket packet{};
    {
        std::lock_guard guard(unit.lock);
        unit.ccdType = ccdType;
        unit.readoutLength = readoutLengthOf(ccdType);
        unit.exposureMs = 11.0; // the initialise command's time
        const FrameGeometry geometry = frameGeometry(unit.readoutLength, unit.packetSize);
        unit.packetsPerFrame = geometry.packets;
        unit.remainder = geometry.remainder;
        packet = initialiseCommand(ccdType, unit.readoutLength, geometry);
    }
    prepareReadScratch(slot);
    // Sent on a handle of its own, so the connection it reached is known:
    // from here the slot is set up for that one.
    const DeviceGuard device(slot);
    if (!sendCommand(device, slot, packet)) {
        dropChannels();
        return kErrRequest;
    }
    recordInitialisedConnection(slot, device.connection());
    return kOk;
}

int resetBothPipes(int slot) {
    if (resetPipe(slot, driver::kPipeIn) != RequestStatus::Ok ||
        resetPipe(slot, driver::kPipeOut) != RequestStatus::Ok) {
        dropChannels();
        return kErrRequest;
    }
    return kOk;
}

} // namespace

void dropChannels() {
    state().channelCount = 0;
}

int scanUnits(bool useChannelIds) {
    LibraryState &st = state();
    st.useChannelIds = useChannelIds;
    st.resetTables();
    std::array<bool, kSlots> seen{};
    bool idsValid = true;
    int found = 0;
    for (int slot = 0; slot < kSlots; ++slot) {
        {
            DeviceGuard device(slot);
            if (!device.isOpen() || !passesStringCheck(device)) {
                continue;
            }
            st.foundOrder[static_cast<std::size_t>(found)] = slot;
        }
        drainUnit(slot);
        int packetSize = 0;
        ++found;
        if (useChannelIds) {
            int id = 0;
            if (readChannelId(slot, id) != kOk) {
                dropChannels();
                return kErrRequest;
            }
            if (id >= kSlots) {
                idsValid = false;
            } else {
                st.channelIdTable[static_cast<std::size_t>(id)] = slot;
                idsValid = idsValid && !seen[static_cast<std::size_t>(id)];
                seen[static_cast<std::size_t>(id)] = true;
            }
        }
        // Frames are read in packets of the speed the pipe reports; a unit whose
        // pipe cannot be asked would be read with a packet size it may not have.
        if (const int speed = checkSpeedMode(slot, packetSize); speed != kOk) {
            dropChannels();
            return speed;
        }
    }
    st.channelCount = found;
    if (found == 0) {
        return kErrNoDevice;
    }
    if (useChannelIds && !idsValid) {
        const int result = rewriteChannelIds(found);
        if (result != kOk) {
            return result;
        }
    }
    return found;
}

int setupSlot(int slot) {
    if (!DeviceGuard(slot).isOpen()) {
        dropChannels();
        return kErrNoDevice;
    }
    if (request(slot, driver::kIoctlResetDevice, {}, {}) != RequestStatus::Ok) {
        dropChannels();
        return kErrRequest;
    }
    return resetBothPipes(slot);
}

int setupAllChannels() {
    LibraryState &st = state();
    for (int channel = 0; channel < st.channelCount; ++channel) {
        const int result = setupSlot(st.slotOfChannel(channel));
        if (result != kOk) {
            return result;
        }
    }
    return kOk;
}

int initSlot(int ccdType, int slot) {
    const int result = startInit(ccdType, slot);
    return result == kOk ? finishInit(ccdType, slot, true) : result;
}

int initAllChannels(int ccdType) {
    LibraryState &st = state();
    for (int channel = 0; channel < st.channelCount; ++channel) {
        int result = startInit(ccdType, st.slotOfChannel(channel));
        if (result == kOk) {
            result = finishInit(ccdType, st.slotOfFoundUnit(channel), ccdType != kCcdInGaAs512);
        }
        if (result < 0) {
            return result;
        }
    }
    return kOk;
}

int closeSlot(int slot) {
    if (resetBothPipes(slot) != kOk) {
        return kErrRequest;
    }
    int count = state().channelCount;
    while (count > 0 && !state().channelCount.compare_exchange_weak(count, count - 1)) {
    }
    return kOk;
}

int closeAllChannels() {
    LibraryState &st = state();
    for (int channel = 0; channel < st.channelCount; ++channel) {
        if (resetBothPipes(st.slotOfChannel(channel)) != kOk) {
            return kErrRequest;
        }
    }
    dropChannels();
    return kOk;
}

int readChannelId(int slot, int &id) {
    CommandPacket answer{};
    if (!sendWithAnswer(slot, plainCommand(Command::ReadChannelId), answer)) {
        id = kErrRequest;
        dropChannels();
        return kErrRequest;
    }
    id = answer[0];
    return kOk;
}

int writeChannelId(int slot, int id) {
    if (!sendCommand(slot, byteCommand(Command::WriteChannelId, lowByte(id)))) {
        dropChannels();
        return kErrRequest;
    }
    return kOk;
}

int assignedChannelIds(std::span<std::int16_t> ids) {
    LibraryState &st = state();
    std::size_t written = 0;
    const auto count = static_cast<std::size_t>(std::max(st.channelCount.load(), 0));
    for (int id = 0; id < kSlots && written < count && written < ids.size(); ++id) {
        if (st.channelIdTable[static_cast<std::size_t>(id)] != kNoSlot) {
            ids[written++] = static_cast<std::int16_t>(id);
        }
    }
    return kOk;
}

int checkSpeedMode(int slot, int &packetSize) {
    std::array<std::uint8_t, driver::kPipeInfoSize> record{};
    std::uint32_t returned = 0;
    const RequestStatus status = request(slot, driver::kIoctlPipeInfo, {}, record, &returned);
    if (status != RequestStatus::Ok) {
        return status == RequestStatus::NoDevice ? kErrNoDevice : kErrRequest;
    }
    const std::size_t offset = driver::activeDriver().pipeRecordUses64BitLayout()
                                   ? driver::kPipeInfoMaxPacketOffset64
                                   : driver::kPipeInfoMaxPacketOffset32;
    if (returned < offset + 2) {
        return kErrRequest; // the record ends before the pipe's maximum packet size
    }
    const SpeedSetting speed = speedFromMaxPacket(readLe16(record, offset));
    {
        Slot &unit = slotAt(slot);
        std::lock_guard guard(unit.lock);
        unit.packetSize = speed.packetSize;
        unit.transferSize = speed.transferSize;
    }
    packetSize = speed.packetSize;
    return kOk;
}

int queryGeneration(int slot) {
    if (!isValidSlot(slot)) {
        return kErrNoDevice;
    }
    {
        Slot &unit = slotAt(slot);
        std::lock_guard guard(unit.lock);
        unit.sampleFormat = 0;
    }
    std::array<std::uint8_t, driver::kDeviceDescriptorSize> query{};
    std::array<std::uint8_t, driver::kDeviceDescriptorSize> descriptor{};
    std::uint32_t returned = 0;
    const RequestStatus status =
        request(slot, driver::kIoctlDeviceDescriptor, query, descriptor, &returned);
    if (status != RequestStatus::Ok) {
        return status == RequestStatus::NoDevice ? kErrNoDevice : kErrRequest;
    }
    if (returned < 12) {
        return kErrRequest; // too short to carry the vendor and product IDs
    }
    const Generation generation =
        generationFromIds(readLe16(descriptor, 8), readLe16(descriptor, 10));
    {
        Slot &unit = slotAt(slot);
        std::lock_guard guard(unit.lock);
        unit.sampleFormat = generation.sampleFormat;
        unit.newerUnit = generation.result == 1;
    }
    return generation.result;
}

} // namespace ov
