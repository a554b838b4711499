// One virtual unit: the firmware's answers to every driver request and
// command, with its frame coming from the optics model. All state sits behind
// the unit's own mutex; waits for a frame use a condition variable, so an
// unplug wakes a pending read at once.
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_VIRTUAL_UNIT_H
#define QUILLON_DEVICELIB_DRIVER_SIM_VIRTUAL_UNIT_H

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "driver.h"
#include "sim/bench.h"
#include "sim/eeprom_store.h"
#include "sim/frame_model.h"
#include "sim/optics.h"
#include "sim/sensor.h"

namespace ov::sim {

// Command bytes of the unit's 64-byte command packet.
namespace command {
inline constexpr std::uint8_t kInitialise = 0x00;
inline constexpr std::uint8_t kIntegrationTime = 0x01;
inline constexpr std::uint8_t kStartFrame = 0x02;
inline constexpr std::uint8_t kTriggerInternal = 0x03;
inline constexpr std::uint8_t kTriggerExternal = 0x04;
inline constexpr std::uint8_t kEepromWrite = 0x08;
inline constexpr std::uint8_t kEepromRead = 0x0A;
inline constexpr std::uint8_t kSelectCf = 0x12;
inline constexpr std::uint8_t kTec = 0x13;
inline constexpr std::uint8_t kSkip = 0x14;
inline constexpr std::uint8_t kSafeMemory = 0x15;
inline constexpr std::uint8_t kIntegrationMode = 0x1E;
inline constexpr std::uint8_t kExternalEdge = 0x1F;
inline constexpr std::uint8_t kGetShutter = 0x28;
inline constexpr std::uint8_t kSetShutter = 0x29;
inline constexpr std::uint8_t kFilterWheel = 0x2A;
inline constexpr std::uint8_t kResister = 0x32;
inline constexpr std::uint8_t kWriteChannelId = 0x5B;
inline constexpr std::uint8_t kReadChannelId = 0x5C;
} // namespace command

inline constexpr std::uint8_t kIntegrationUnit10us = 7;
inline constexpr std::uint8_t kIntegrationUnitMs = 8;

// What the unit holds, for tests and the `show` command.
struct UnitStatus {
    int slot = 0;
    bool plugged = true;
    std::uint64_t generation = 0;
    std::string sensor;
    int readoutLength = 0;
    int packetsPerFrame = 0;
    int remainder = 0;
    int samplesPerPacket = 0;
    int packetBytes = 0;   // bytes of samples in a full packet
    int transferBytes = 0; // bytes per bulk read
    int sampleFormat = 0;
    std::uint16_t integrationValue = 0;
    std::uint8_t integrationUnit = kIntegrationUnitMs;
    double integrationMs = 0.0;
    bool externalTrigger = false;
    std::uint8_t integrationMode = 0;
    std::uint8_t edge = 0;
    std::uint8_t tec = 1;
    std::uint8_t cf = 0;
    std::uint8_t skip = 0;
    std::uint8_t safeMemory = 0;
    std::uint8_t resister = 0;
    std::uint8_t shutter = 0;
    bool hasShutter = false;
    std::uint8_t filterWheel = 0;
    std::uint8_t channelId = 0;
    std::uint8_t initFlag = 0; // byte 5 of the initialise command
    int pendingTriggers = 0;
    // Trigger-mode commands (0x03, 0x04) received since the bench was loaded.
    long long internalTriggerRequests = 0;
    long long externalTriggerRequests = 0;
    long long framesDelivered = 0;
    bool realTime = false;
    bool foreignStrings = false;
    int timeoutsPending = 0;
    SourceSettings source;
    SampleSettings sample;
    double fwhmNm = 0.0;
};

class VirtualUnit {
public:
    // `pipeRecord64`: answer the pipe request in the 64-bit driver's layout.
    VirtualUnit(const UnitConfig &config, std::uint64_t generation, bool pipeRecord64 = false);
    VirtualUnit(const VirtualUnit &) = delete;
    VirtualUnit &operator=(const VirtualUnit &) = delete;

    int slot() const { return slot_; }
    // Open succeeds only while plugged; the generation is part of the handle.
    bool openable(std::uint64_t &generation) const;

    // Driver requests on a handle of `generation`.
    bool control(std::uint64_t generation, std::uint32_t code, std::span<const std::uint8_t> in,
                 std::span<std::uint8_t> out, std::uint32_t &bytesReturned);
    driver::WaitStatus bulkReadWait(std::uint64_t generation, std::uint32_t pipe,
                                    std::span<std::uint8_t> out, int timeoutMs,
                                    std::uint32_t &bytesReturned);

    // Runtime control.
    void setSource(const SourceSettings &source);
    void setSourceLevel(double level);
    void setSample(const SampleSettings &sample);
    void setFwhm(double nm);
    void setTiming(bool realTime);
    void reseed(std::uint64_t seed);
    void injectTriggers(int count);
    void unplug();
    void replug(std::uint64_t newGeneration);
    void failNext(std::uint32_t code, int count);
    void timeoutNext(int count);
    void clearFaults();
    void setForeignStrings(bool foreign);
    void eraseEeprom();
    void garbleNextEepromWrite();

    UnitStatus status() const;
    std::string eepromText() const;
    const SensorInfo &sensor() const { return sensor_; }
    // True wavelength in nm of active pixel `pixel` (from 1), and its raw index.
    double trueWavelength(int pixel) const;
    int rawIndexOfPixel(int pixel) const;
    int evenStep() const { return electronics_.evenStep; }
    int oddStep() const { return electronics_.oddStep; }

    // Frame generation alone, for the benchmark.
    void generateFrame();

private:
    using Clock = std::chrono::steady_clock;
    enum class Stream { Idle, Armed, AwaitingTrigger, Streaming };
    enum class ReadKind { Plain, Overlapped, Drain };

    bool alive(std::uint64_t generation) const;
    bool consumeFailure(std::uint32_t code);
    bool handleCommand(std::span<const std::uint8_t> packet);
    void initialise(std::span<const std::uint8_t> packet);
    void setIntegration(std::uint16_t value, std::uint8_t unit);
    void startFrame();
    void setAnswer(std::span<const std::uint8_t> bytes);
    driver::WaitStatus read(std::unique_lock<std::mutex> &lock, std::uint64_t generation,
                            std::span<std::uint8_t> out, ReadKind kind, int timeoutMs,
                            std::uint32_t &bytesReturned);
    driver::WaitStatus waitForFrame(std::unique_lock<std::mutex> &lock, std::uint64_t generation,
                                    ReadKind kind, int timeoutMs);
    void fillPacket(std::span<std::uint8_t> out, std::uint32_t &bytesReturned);
    std::uint16_t encode(std::uint16_t count) const;
    void powerOn();
    void updateLight();
    void updateExposure();
    std::vector<float> darkRates() const;

    bool pipeInfo(std::span<std::uint8_t> out, std::uint32_t &bytesReturned) const;
    bool deviceDescriptor(std::span<std::uint8_t> out, std::uint32_t &bytesReturned) const;
    bool stringDescriptor(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                          std::uint32_t &bytesReturned) const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;

    // Fixed at construction.
    const int slot_;
    const UnitConfig config_;
    const SensorInfo sensor_;
    const bool pipeRecord64_;
    Cubic calibration_{}; // fitted through the EEPROM points
    double factoryIntegrationMs_ = 11.0;
    double sensitivityScale_ = 0.0;
    Electronics electronics_;
    std::vector<int> hotRawIndexes_;
    int packetBytes_ = 512;
    int transferBytes_ = 1024;
    int sampleFormat_ = 0;

    // Changes at run time.
    std::uint64_t generation_;
    bool plugged_ = true;
    bool realTime_ = false;
    bool foreignStrings_ = false;
    bool hasShutter_ = false;
    SourceSettings source_;
    SampleSettings sample_;
    double fwhmNm_ = 1.5;
    EepromStore eeprom_;
    FrameModel model_;
    Rng rng_;
    std::vector<std::uint16_t> frame_; // allocated once
    std::vector<FailureRule> failures_;
    int timeouts_ = 0;
    long long framesDelivered_ = 0;
    long long internalTriggerRequests_ = 0;
    long long externalTriggerRequests_ = 0;

    // Firmware registers (reset at power-on).
    int readoutLength_ = 0;
    int packetsPerFrame_ = 0;
    int remainder_ = 0;
    int samplesPerPacket_ = 0;
    std::uint16_t integrationValue_ = 11;
    std::uint8_t integrationUnit_ = kIntegrationUnitMs;
    double integrationMs_ = 11.0;
    bool externalTrigger_ = false;
    std::uint8_t integrationMode_ = 0;
    std::uint8_t edge_ = 0;
    std::uint8_t tec_ = 1;
    std::uint8_t cf_ = 0;
    std::uint8_t skip_ = 0;
    std::uint8_t safeMemory_ = 0;
    std::uint8_t resister_ = 0;
    std::uint8_t shutter_ = 0;
    std::uint8_t filterWheel_ = 0;
    std::uint8_t channelId_ = 0;
    std::uint8_t initFlag_ = 0;
    int pendingTriggers_ = 0;

    Stream stream_ = Stream::Idle;
    Clock::time_point readyAt_{};
    int nextPacket_ = 0;
    bool answerPending_ = false;
    std::array<std::uint8_t, kEepromAnswerSize> answer_{};
};

} // namespace ov::sim

#endif
