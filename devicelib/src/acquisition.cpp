// Acquisition commands: integration time, trigger modes, accessories and the
// three frame reads.
#include "command_codec.h"
#include "library_state.h"
#include "operations.h"
#include "transport.h"

#include "ov/numeric/bad_pixels.h"
#include "ov/numeric/fft.h"
#include "ov/numeric/savgol.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

namespace ov {

namespace {

// A frame may take the unit's integration time; past that the read waits
// this long more before it gives up (and never less in all).
constexpr int kFrameWaitMarginMs = 1000;
constexpr int kMaxHalfWidth = 100;
constexpr int kShutterSettleMs = 1300;
constexpr int kFilterSettleMs = 100;
// The averaging reads wait this long for an external trigger before giving
// up with "no trigger", so a missing trigger never hangs the caller.
constexpr auto kTriggerPatience = std::chrono::milliseconds(2000);

Slot &slotAt(int slot) {
    return state().slots[static_cast<std::size_t>(slot)];
}

bool send(int slot, const CommandPacket &packet) {
    return sendCommand(slot, packet);
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int ccdTypeOf(int slot) {
    Slot &unit = slotAt(slot);
    std::lock_guard guard(unit.lock);
    return unit.ccdType;
}

bool ccdHasModes(int ccdType) {
    return ccdType == 0 || ccdType == 2 || ccdType == 4;
}

// Reads one raw frame, retrying while an external trigger has not come.
int readCountedFrame(int slot, int *frame) {
    const auto deadline = std::chrono::steady_clock::now() + kTriggerPatience;
    for (;;) {
        const int result = readFrame(slot, frame);
        if (result != kErrNoTrigger || std::chrono::steady_clock::now() >= deadline) {
            return result;
        }
        std::this_thread::yield();
    }
}

struct FilterRange {
    int start = 0;
    int length = 0;
};

FilterRange filterRangeOf(int ccdType, int readoutLength) {
    switch (ccdType) {
    case 2:
        return {10, 1024};
    case 3:
        return {0, 512};
    case 4:
        return {10, 2048};
    default:
        return {32, readoutLength - 32};
    }
}

void subtractLevel(std::span<int> values, int level) {
    for (int &value : values) {
        value -= level;
    }
}

// Per-sensor dark and order corrections of the averaged frame.
void correctForSensor(std::span<int> frame, int ccdType, bool autoDark) {
    const std::size_t n = frame.size();
    if (ccdType == 0 && autoDark && n >= 2080) {
        subtractLevel(frame.subspan(32, 2048), frame[15]);
    } else if (ccdType == 1 && autoDark && n >= 3680) {
        subtractLevel(frame.subspan(32, 3648), frame[32]);
    } else if (ccdType == 2 && autoDark && n >= 1024) {
        subtractLevel(frame.first(1024), frame[10]);
    } else if (ccdType == 3 && n >= 512) {
        auto first = frame.first(512);
        std::reverse(first.begin(), first.end());
        for (int &value : first) {
            value = 0xFFFF - value;
        }
    }
}

} // namespace

// Sends the integration time `convert` makes of the slot's CCD type, and
// keeps `timeMs` as the slot's time once the unit has it.
template <typename Convert>
int sendIntegration(int slot, double timeMs, Convert convert) {
    if (!isValidSlot(slot)) {
        return kErrRequest;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard guard(unit.lock);
    const IntegrationSetting setting = convert(unit.ccdType);
    if (!send(slot, integrationTimeCommand(setting))) {
        return kErrRequest;
    }
    unit.integrationTime = timeMs;
    unit.exposureMs = exposureMsOf(setting);
    return kOk;
}

int setIntegrationInt(int slot, int value) {
    return sendIntegration(slot, value,
                           [value](int ccdType) { return integrationFromInt(ccdType, value); });
}

int setIntegrationDouble(int slot, double timeMs) {
    return sendIntegration(
        slot, timeMs, [timeMs](int ccdType) { return integrationFromDouble(ccdType, timeMs); });
}

int setTriggerMode(int slot, int mode) {
    if (!isValidSlot(slot)) {
        return kErrRequest;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard guard(unit.lock);
    unit.triggerMode = mode;
    if (mode == kTriggerInternal) {
        return send(slot, plainCommand(Command::TriggerInternal)) ? kOk : kErrRequest;
    }
    if (mode == kTriggerExternal) {
        return send(slot, plainCommand(Command::TriggerExternal)) ? kOk : kErrRequest;
    }
    return kOk;
}

int setIntegrationMode(int slot, int mode, double timeMs) {
    if (!isValidSlot(slot)) {
        return kErrRequest;
    }
    int ccdType = 0;
    bool newer = false;
    {
        Slot &unit = slotAt(slot);
        std::lock_guard guard(unit.lock);
        ccdType = unit.ccdType;
        newer = unit.newerUnit;
    }
    if (newer && !ccdHasModes(ccdType)) {
        return kErrNotAvailable;
    }
    const int modeByte = (ccdType == 0 && mode == 2) ? 0 : mode;
    if (!send(slot, byteCommand(Command::IntegrationMode, lowByte(modeByte))) ||
        setIntegrationDouble(slot, timeMs) != kOk || setTriggerMode(slot, kTriggerReset) != kOk ||
        setTriggerMode(slot, kTriggerInternal) != kOk) {
        return kErrRequest;
    }
    return kOk;
}

int setExternalEdge(int slot, int edge) {
    if (!isValidSlot(slot)) {
        return kErrRequest;
    }
    if (!ccdHasModes(ccdTypeOf(slot))) {
        return kErrNotAvailable;
    }
    if (!send(slot, byteCommand(Command::ExternalEdge, lowByte(edge))) ||
        setTriggerMode(slot, kTriggerExternal) != kOk) {
        return kErrRequest;
    }
    return kOk;
}

int selectTriggerMode(int slot, int mode) {
    const int generation = queryGeneration(slot);
    if (generation < 0) {
        return kErrRequest;
    }
    if (mode < 0 || mode > 4) {
        return kErrTriggerMode;
    }
    if (generation == 0) {
        setTriggerMode(slot, kTriggerReset);
        return setTriggerMode(slot, mode <= 2 ? kTriggerInternal : kTriggerExternal);
    }
    double timeMs = 0.0;
    {
        Slot &unit = slotAt(slot);
        std::lock_guard guard(unit.lock);
        timeMs = unit.integrationTime;
    }
    const int result = mode <= 2 ? setIntegrationMode(slot, mode, timeMs)
                                 : setExternalEdge(slot, mode == 3 ? 0 : 1);
    // A mode the sensor lacks is not a failure of the selection; a lost command is.
    return result == kErrRequest ? kErrRequest : kOk;
}

int sendByteCommand(int slot, Command code, int value) {
    return send(slot, byteCommand(code, lowByte(value))) ? kOk : kErrRequest;
}

int setShutterPosition(int slot, int position) {
    if (position != 0 && position != 1) {
        return kErrShutter;
    }
    if (!send(slot, byteCommand(Command::SetShutterPosition, lowByte(position)))) {
        return kErrRequest;
    }
    sleepMs(kShutterSettleMs);
    return kOk;
}

int getShutterPosition(int slot) {
    CommandPacket answer{};
    if (!sendWithAnswer(slot, plainCommand(Command::GetShutterPosition), answer)) {
        return kErrRequest;
    }
    return answer[0];
}

int moveFilterWheel(int slot, int position) {
    if (position < 1 || position > 6) {
        return kErrFilter;
    }
    if (!send(slot, byteCommand(Command::FilterWheel, lowByte(position - 1)))) {
        return kErrRequest;
    }
    sleepMs(kFilterSettleMs);
    return kOk;
}

int updateAveraging(int slot, int count, int halfWidth) {
    if (count < 1 || count > 100) {
        return kErrAverage;
    }
    if (halfWidth < 0 || halfWidth > 100 || halfWidth == 1) {
        return kErrHalfWidth;
    }
    if (!isValidSlot(slot)) {
        return kErrNoDevice;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard guard(unit.lock);
    unit.averagingCount = count;
    unit.halfWidth = halfWidth;
    return kOk;
}

int setAutoDark(int slot, int on) {
    if (on != 0 && on != 1) {
        return kErrAutoDark;
    }
    if (!isValidSlot(slot)) {
        return kErrNoDevice;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard guard(unit.lock);
    unit.autoDark = on;
    return kOk;
}

int readFrame(int slot, int *frame) {
    if (!isValidSlot(slot)) {
        return kErrNoDevice;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard guard(unit.lock);
    DeviceGuard device(slot);
    if (!device.isOpen()) {
        return kErrNoDevice;
    }
    // A unit plugged in again since its initialisation integrates with its
    // power-on defaults: its frame would look right and be wrong.
    if (unit.reset.load()) {
        return kErrUnitReset;
    }
    // A start-frame command that did not go out would only run into the time-out.
    if (!sendCommand(device, slot, plainCommand(Command::StartFrame))) {
        return kErrRequest;
    }
    driver::Driver &drv = device.device();
    const auto transfer =
        std::span(unit.buffer.data(), static_cast<std::size_t>(unit.transferSize));
    const bool external = unit.triggerMode == kTriggerExternal;
    // The unit sends nothing before its integration time has passed.
    const int waitMs = static_cast<int>(
        std::min(std::ceil(std::max(unit.exposureMs, 0.0)) + kFrameWaitMarginMs, 1.0e9));
    int written = 0;
    for (int packet = 0; packet < unit.packetsPerFrame; ++packet) {
        const bool last = packet == unit.packetsPerFrame - 1;
        int bytes = (last && unit.remainder != 0) ? 2 * unit.remainder : unit.packetSize;
        // Never decode past the frame, whatever the geometry became since initialisation.
        bytes = std::min(bytes, 2 * (unit.readoutLength - written));
        std::uint32_t returned = 0;
        switch (drv.bulkReadWait(device.get(), driver::kPipeIn, transfer, waitMs, returned)) {
        case driver::WaitStatus::TimedOut:
            return kErrTimeout;
        case driver::WaitStatus::Failed:
            return kErrRequest;
        case driver::WaitStatus::Completed:
            break;
        }
        if (external && returned >= 2 && isNoFrameYet(transfer)) {
            return kErrNoTrigger;
        }
        if (returned < static_cast<std::uint32_t>(bytes)) {
            return kErrRequest; // a short packet would leave stale samples in the frame
        }
        decodeSamples(transfer.first(static_cast<std::size_t>(bytes)), unit.sampleFormat,
                      frame + written);
        written += bytes / 2;
    }
    return kOk;
}

namespace {

// Grows the scratch to the sizes of a readout and filter range; a read of
// the sizes it was prepared for allocates nothing.
void sizeScratch(ReadScratch &scratch, std::size_t readout, std::size_t filterLength) {
    const auto grow = [](auto &values, std::size_t size) {
        if (values.size() < size) {
            values.resize(size);
        }
    };
    grow(scratch.sum, readout);
    grow(scratch.mean, readout);
    grow(scratch.coefficients, 2 * kMaxHalfWidth + 1);
    grow(scratch.padded, readout + 2 * kMaxHalfWidth);
    grow(scratch.real, filterLength);
    grow(scratch.imag, filterLength);
    if (scratch.plan.length() != filterLength) {
        scratch.plan = numeric::FftPlan(filterLength);
    }
}

} // namespace

void prepareReadScratch(int slot) {
    if (!isValidSlot(slot)) {
        return;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard scratchGuard(unit.scratchLock);
    int ccdType = 0;
    int readout = 0;
    {
        std::lock_guard guard(unit.lock);
        ccdType = unit.ccdType;
        readout = unit.readoutLength;
    }
    const FilterRange range = filterRangeOf(ccdType, readout);
    sizeScratch(unit.scratch, static_cast<std::size_t>(std::max(readout, 0)),
                static_cast<std::size_t>(std::max(range.length, 0)));
}

int readFrameAveraged(int slot, int *frame, int frames, int strength,
                      std::span<const std::int16_t> badList) {
    if (frames < 1) {
        return kErrAverage;
    }
    if (!isValidSlot(slot)) {
        return kErrNoDevice;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard scratchGuard(unit.scratchLock);
    int ccdType = 0;
    int readout = 0;
    bool autoDark = false;
    {
        std::lock_guard guard(unit.lock);
        ccdType = unit.ccdType;
        readout = unit.readoutLength;
        autoDark = unit.autoDark == 1;
    }
    const auto n = static_cast<std::size_t>(readout);
    const FilterRange range = filterRangeOf(ccdType, readout);
    const bool filtered = strength >= 1 && strength <= 100 && range.length > 0 &&
                          range.start + range.length <= readout;
    ReadScratch &scratch = unit.scratch;
    sizeScratch(scratch, n, filtered ? static_cast<std::size_t>(range.length) : 0);
    const std::span<long long> sum(scratch.sum.data(), frames == 1 ? 0 : n);
    std::fill(sum.begin(), sum.end(), 0LL);
    for (int counted = 0; counted < frames; ++counted) {
        const int result = readCountedFrame(slot, frame);
        if (result < 0) {
            return result;
        }
        for (std::size_t i = 0; i < sum.size(); ++i) {
            sum[i] += frame[i];
        }
    }
    for (std::size_t i = 0; i < sum.size(); ++i) {
        frame[i] = static_cast<int>(static_cast<double>(sum[i]) / frames + 0.5);
    }
    const std::span<int> samples(frame, n);
    correctForSensor(samples, ccdType, autoDark);
    numeric::repairBadPixels(samples, badList);
    if (filtered) {
        const auto length = static_cast<std::size_t>(range.length);
        numeric::taperFilter(samples.subspan(static_cast<std::size_t>(range.start), length),
                             strength, std::span(scratch.real).first(length),
                             std::span(scratch.imag).first(length), scratch.plan);
    }
    return kOk;
}

int readFrameSmoothed(int slot, int *frame) {
    if (!isValidSlot(slot)) {
        return kErrNoDevice;
    }
    Slot &unit = slotAt(slot);
    std::lock_guard scratchGuard(unit.scratchLock);
    int count = 1;
    int halfWidth = 0;
    int readout = 0;
    {
        std::lock_guard guard(unit.lock);
        count = unit.averagingCount;
        halfWidth = unit.halfWidth;
        readout = unit.readoutLength;
    }
    const auto n = static_cast<std::size_t>(readout);
    ReadScratch &scratch = unit.scratch;
    sizeScratch(scratch, n, scratch.plan.length());
    const std::span<double> mean(scratch.mean.data(), n);
    std::fill(mean.begin(), mean.end(), 0.0);
    for (int counted = 0; counted < count; ++counted) {
        const int result = readCountedFrame(slot, frame);
        if (result < 0) {
            return result;
        }
        for (std::size_t i = 0; i < n; ++i) {
            mean[i] += frame[i] / static_cast<double>(count);
        }
    }
    const auto k = static_cast<std::size_t>(std::clamp(halfWidth, 0, kMaxHalfWidth));
    const std::span<double> coefficients(scratch.coefficients.data(), 2 * k + 1);
    numeric::SavgolStatus status = numeric::SavgolStatus::Singular;
    if (n != 0 && k != 0) {
        status = numeric::savgolCoefficients(coefficients, static_cast<int>(k), static_cast<int>(k),
                                             0, 3);
        if (status == numeric::SavgolStatus::BadArguments) {
            std::printf("\n Bad args in savgol.\n");
            std::fflush(stdout);
        }
    }
    if (status != numeric::SavgolStatus::Ok) {
        for (std::size_t i = 0; i < n; ++i) {
            frame[i] = static_cast<int>(mean[i] + 0.5);
        }
        return kOk;
    }
    const std::span<double> padded(scratch.padded.data(), n + 2 * k);
    std::fill_n(padded.begin(), k, mean.front());
    std::copy(mean.begin(), mean.end(), padded.begin() + static_cast<std::ptrdiff_t>(k));
    std::fill_n(padded.begin() + static_cast<std::ptrdiff_t>(k + n), k, mean.back());
    for (std::size_t i = 0; i < n; ++i) {
        double output = 0.0;
        for (std::size_t j = 0; j <= 2 * k; ++j) {
            output += coefficients[j] * padded[i + j];
        }
        frame[i] = static_cast<int>(output + 0.5);
    }
    return kOk;
}

} // namespace ov
