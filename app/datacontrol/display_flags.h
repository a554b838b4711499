// The status word (W1) and the option word (W2) of DataControl. Both threads
// write them without a lock, so each is an atomic 16-bit word; the hold
// protocol, not a mutex, keeps device access single.
#ifndef QUILLON_APP_DATACONTROL_DISPLAY_FLAGS_H
#define QUILLON_APP_DATACONTROL_DISPLAY_FLAGS_H

#include <atomic>
#include <cstdint>

namespace quillon {

// Bits of the display word (setting InitOption): the graph's grids and its
// position readouts.
namespace display_word {
inline constexpr std::uint32_t kXGrid = 1u << 0;
inline constexpr std::uint32_t kYGrid = 1u << 1;
inline constexpr std::uint32_t kYReadout = 1u << 2;
inline constexpr std::uint32_t kXReadout = 1u << 3;
} // namespace display_word

namespace status_bits {
inline constexpr std::uint16_t kWorkerRunning = 1u << 0;
inline constexpr std::uint16_t kSingleScan = 1u << 1;
inline constexpr std::uint16_t kHold = 1u << 2;
inline constexpr std::uint16_t kLoopEnabled = 1u << 3;
inline constexpr std::uint16_t kDrawingSuspended = 1u << 4;
inline constexpr std::uint16_t kDarkSourceMask = 3u << 5; // see DarkSource
inline constexpr int kDarkSourceShift = 5;
inline constexpr std::uint16_t kDarkReady = 1u << 7;
inline constexpr std::uint16_t kOpticalBlackOn = 1u << 8;
inline constexpr std::uint16_t kSmoothingOn = 1u << 9;
inline constexpr std::uint16_t kReferenceSourceMask = 3u << 10; // see ReferenceSource
inline constexpr int kReferenceSourceShift = 10;
inline constexpr std::uint16_t kReferenceReady = 1u << 12;
inline constexpr std::uint16_t kDisplayModeMask = 7u << 13; // see DisplayMode
inline constexpr int kDisplayModeShift = 13;
// The bits of the threads' protocol: saved copies of the word never bring
// them back, so that restoring settings cannot stop the worker or lift a hold.
inline constexpr std::uint16_t kThreadControl =
    kWorkerRunning | kSingleScan | kHold | kLoopEnabled | kDrawingSuspended;
} // namespace status_bits

namespace option_bits {
inline constexpr std::uint16_t kXUnitMask = 3u << 0; // see XUnit
inline constexpr int kXUnitShift = 0;
inline constexpr std::uint16_t kMemoryMode = 1u << 2;
inline constexpr std::uint16_t kWavelengthBase = 1u << 3;
inline constexpr std::uint16_t kPlaybackBackwards = 1u << 4;
inline constexpr std::uint16_t kRelativeIrradiance = 1u << 5;
inline constexpr std::uint16_t kSpectrumStatistics = 1u << 6;
inline constexpr std::uint16_t kSkipPhotometry = 1u << 7;
inline constexpr std::uint16_t kNoDevice = 1u << 8;
inline constexpr std::uint16_t kExternalTrigger = 1u << 9;
inline constexpr std::uint16_t kShowDarkLine = 1u << 10;
inline constexpr std::uint16_t kShowReferenceLine = 1u << 11;
inline constexpr std::uint16_t kPixelFlip = 1u << 12;
inline constexpr std::uint16_t kGeometryApplied = 1u << 13;
inline constexpr std::uint16_t kHoldOption = 1u << 14;
inline constexpr std::uint16_t kSubtractDarkInScope = 1u << 15;
} // namespace option_bits

enum class DarkSource : std::uint16_t { Scan = 0, OpticalBlack = 1, File = 2, BuiltInShutter = 3 };
enum class ReferenceSource : std::uint16_t { CurrentScan = 0, File = 1, ColourTile = 2 };
enum class DisplayMode : std::uint16_t {
    Scope = 0,
    DarkScan = 1,
    ReferenceScan = 2,
    TransRefl = 3,
    Absorbance = 4,
    Irradiance = 5,
};
enum class XUnit : std::uint16_t { Pixel = 0, Wavelength = 1, Wavenumber = 2 };

// One 16-bit word with atomic bit and field operations.
class FlagWord {
public:
    std::uint16_t load() const { return word.load(); }
    void store(std::uint16_t value) { word.store(value); }

    bool test(std::uint16_t bits) const { return (word.load() & bits) == bits; }
    void set(std::uint16_t bits) { word.fetch_or(bits); }
    void clear(std::uint16_t bits) { word.fetch_and(static_cast<std::uint16_t>(~bits)); }
    void assign(std::uint16_t bits, bool on) { on ? set(bits) : clear(bits); }
    // Takes the bits under `mask` from `value`, keeping the others, in one step.
    void assignMasked(std::uint16_t mask, std::uint16_t value) { setField(mask, 0, value); }

    std::uint16_t field(std::uint16_t mask, int shift) const {
        return static_cast<std::uint16_t>((word.load() & mask) >> shift);
    }
    // Replaces the bits under `mask` in one atomic step.
    void setField(std::uint16_t mask, int shift, std::uint16_t value) {
        std::uint16_t old = word.load();
        std::uint16_t next;
        do {
            next = static_cast<std::uint16_t>((old & ~mask) | ((value << shift) & mask));
        } while (!word.compare_exchange_weak(old, next));
    }

private:
    std::atomic<std::uint16_t> word{0};
};

struct DisplayFlags {
    FlagWord status; // W1
    FlagWord option; // W2

    // The 32-bit form kept in settings and saved copies: low word W1, high word W2.
    std::uint32_t packed() const {
        return static_cast<std::uint32_t>(status.load()) |
               (static_cast<std::uint32_t>(option.load()) << 16);
    }
    void unpack(std::uint32_t value) {
        status.store(static_cast<std::uint16_t>(value & 0xFFFFu));
        option.store(static_cast<std::uint16_t>(value >> 16));
    }

    DarkSource darkSource() const {
        return static_cast<DarkSource>(
            status.field(status_bits::kDarkSourceMask, status_bits::kDarkSourceShift));
    }
    void setDarkSource(DarkSource source) {
        status.setField(status_bits::kDarkSourceMask, status_bits::kDarkSourceShift,
                        static_cast<std::uint16_t>(source));
    }
    ReferenceSource referenceSource() const {
        return static_cast<ReferenceSource>(
            status.field(status_bits::kReferenceSourceMask, status_bits::kReferenceSourceShift));
    }
    void setReferenceSource(ReferenceSource source) {
        status.setField(status_bits::kReferenceSourceMask, status_bits::kReferenceSourceShift,
                        static_cast<std::uint16_t>(source));
    }
    DisplayMode displayMode() const {
        return static_cast<DisplayMode>(
            status.field(status_bits::kDisplayModeMask, status_bits::kDisplayModeShift));
    }
    void setDisplayMode(DisplayMode mode) {
        status.setField(status_bits::kDisplayModeMask, status_bits::kDisplayModeShift,
                        static_cast<std::uint16_t>(mode));
    }
    XUnit xUnit() const {
        return static_cast<XUnit>(option.field(option_bits::kXUnitMask, option_bits::kXUnitShift));
    }
    void setXUnit(XUnit unit) {
        option.setField(option_bits::kXUnitMask, option_bits::kXUnitShift,
                        static_cast<std::uint16_t>(unit));
    }
};

} // namespace quillon

#endif
