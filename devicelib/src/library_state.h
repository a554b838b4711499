// The library's one state object: the channel table, the per-slot records
// with their locks and sample formats, the EEPROM text and the message hook.
#ifndef QUILLON_DEVICELIB_SRC_LIBRARY_STATE_H
#define QUILLON_DEVICELIB_SRC_LIBRARY_STATE_H

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ov/numeric/fft.h"

namespace ov {

inline constexpr int kSlots = 10;
inline constexpr int kNoSlot = -1;
inline constexpr int kMaxTransferSize = 1025;
// Command/reply and frame-packet buffer: transfer size plus 24 bytes.
inline constexpr int kSlotBufferSize = kMaxTransferSize + 24;

using MessageHook = void (*)(const char *text, void *context);

// Working arrays of the averaging and smoothing reads, sized when a slot is
// initialised so that a read allocates nothing.
struct ReadScratch {
    std::vector<long long> sum;       // readout length
    std::vector<double> mean;         // readout length
    std::vector<double> coefficients; // 2 * half-width + 1
    std::vector<double> padded;       // readout length + 2 * half-width
    std::vector<float> real;          // filter range
    std::vector<float> imag;          // filter range
    numeric::FftPlan plan;            // filter range
};

// One device slot. The lock is recursive as the composite commands (trigger
// selection, initialisation) call simple ones that take it again.
struct Slot {
    std::recursive_mutex lock;
    // The fields below are read and written under `lock`.
    int packetSize = 1024;
    int transferSize = 1024;
    int ccdType = 0;
    int triggerMode = 0;
    int readoutLength = 0;
    int packetsPerFrame = 0;
    int remainder = 0;
    double integrationTime = 11.0;
    double exposureMs = 11.0; // what the unit integrates for, as last sent
    int averagingCount = 1;
    int halfWidth = 5;
    int autoDark = 0;
    bool newerUnit = false; // from the last generation query
    int sampleFormat = 0;   // from the last generation query: each unit has its own
    std::array<std::uint8_t, kSlotBufferSize> buffer{};

    // The driver's connection the slot was last initialised on (0: none, or
    // a backend that cannot tell), and whether a handle of another one has
    // been seen since: the unit behind the slot was plugged in again and
    // runs on its power-on defaults until it is initialised anew. Atomic, as
    // every open compares them without the slot's lock.
    std::atomic<std::uint64_t> connection{0};
    std::atomic<bool> reset{false};

    // Held for a whole averaging or smoothing read, which takes `lock` per
    // frame; never taken under `lock`.
    std::mutex scratchLock;
    ReadScratch scratch; // under scratchLock
};

class LibraryState {
public:
    std::array<Slot, kSlots> slots;

    // Plain words in the original design, written by the scan and read by
    // every call; atomics keep that lock-free without data races.
    std::atomic<int> channelCount{0};
    std::array<std::atomic<int>, kSlots> foundOrder;
    std::array<std::atomic<int>, kSlots> channelIdTable;
    std::atomic<bool> useChannelIds{true};

    LibraryState();

    // Device slot of a channel number through the table the switch selects;
    // kNoSlot when the channel maps to none.
    int slotOfChannel(int channel) const;
    int slotOfFoundUnit(int index) const;
    void resetTables();

    // The library's EEPROM text; not locked, as callers do not share it.
    std::string eepromText;

    void setMessageHook(MessageHook hook, void *context);
    void showMessage(const char *text);

private:
    std::mutex hookLock;
    MessageHook messageHook = nullptr;
    void *messageContext = nullptr;
};

LibraryState &state();

// Low 16 bits of a 32-bit argument, as a signed 16-bit value.
inline int low16(int value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}
inline std::uint8_t lowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace ov

#endif
