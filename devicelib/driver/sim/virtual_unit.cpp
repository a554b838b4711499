#include "sim/virtual_unit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ovdbusbm.h"
#include "record_bytes.h"
#include "sim/text_util.h"

namespace ov::sim {
namespace {

using driver::le16;
using driver::putLe16;
using driver::putLe32;
using driver::WaitStatus;

constexpr std::uint8_t kNoFrameMarker[2] = {0x00, 0xFF};
constexpr const char *kForeignManufacturer = "Generic Semiconductor";
constexpr const char *kForeignProduct = "USB Mass Storage";
constexpr double kTecOffDarkFactor = 4.0;
constexpr double kLargeCapacitorFactor = 0.1; // 10 pF instead of 1 pF
constexpr double kFullScaleFraction = 0.6;    // halogen at the factory integration time

SensorInfo sensorOf(const UnitConfig &config) {
    // The bench parser accepts known names only; fall back to the first family otherwise.
    return sensorByName(config.sensor).value_or(*sensorByName("ILX511"));
}

int textInt(std::string_view text, std::string_view key, int fallback) {
    const auto v = parseSigned(lineValue(text, key));
    return v ? static_cast<int>(*v) : fallback;
}

// Calibration points "Data k=W;P" (W in tenths of nm) of the EEPROM text.
Cubic calibrationFromText(std::string_view text, const SensorInfo &sensor) {
    const int count = textInt(text, "PointCount=", 0);
    std::vector<double> pixels;
    std::vector<double> nm;
    for (int k = 1; k <= count && k <= 64; ++k) {
        const auto value = lineValue(text, "Data " + std::to_string(k) + "=");
        const auto semicolon = value.find(';');
        if (semicolon == std::string_view::npos) {
            continue;
        }
        const auto w = parseDouble(value.substr(0, semicolon));
        const auto p = parseDouble(value.substr(semicolon + 1));
        if (w && p) {
            nm.push_back(*w / 10.0);
            pixels.push_back(*p);
        }
    }
    if (pixels.size() >= 2) {
        return fitCubic(pixels, nm);
    }
    // No usable points: spread the sensor's response range over the pixels.
    const double low = sensor.inverted ? sensor.responseLowNm : 350.0;
    const double high = sensor.inverted ? sensor.responseHighNm : 1000.0;
    return {low - (high - low) / sensor.activeCount, (high - low) / sensor.activeCount, 0.0, 0.0};
}

std::vector<int> parsePixelList(std::string_view text) {
    std::string copy(text);
    for (char &c : copy) {
        if (c == ',' || c == ';') {
            c = ' ';
        }
    }
    std::vector<int> pixels;
    for (const auto word : splitWords(copy)) {
        if (const auto v = parseSigned(word); v && *v > 0) {
            pixels.push_back(static_cast<int>(*v));
        }
    }
    return pixels;
}

} // namespace

VirtualUnit::VirtualUnit(const UnitConfig &config, std::uint64_t generation, bool pipeRecord64)
    : slot_(config.slot), config_(config), sensor_(sensorOf(config)), pipeRecord64_(pipeRecord64),
      generation_(generation), eeprom_(config.eepromCapacity), rng_(config.seed) {
    const std::string_view text = config_.eepromText;
    calibration_ = config_.truePolynomial.value_or(calibrationFromText(text, sensor_));
    const int intTime = textInt(text, "IntTime=", 0);
    if (intTime > 0) {
        factoryIntegrationMs_ = sensor_.boardType == OV_CCD_TCD1304 ? intTime / 100.0 : intTime;
    }
    electronics_.bias = config_.bias.value_or(sensor_.bias);
    electronics_.readNoise = config_.readNoise.value_or(sensor_.readNoise);
    electronics_.gain = config_.gain.value_or(sensor_.gain);
    electronics_.inverted = sensor_.inverted;
    if (sensor_.inverted) {
        electronics_.evenStep = textInt(text, "FirstStep=", 0);
        electronics_.oddStep = textInt(text, "SecondStep=", 0);
    }
    const bool oldEncoding = config_.vendorId == 0x0547 && config_.productId == 0x0323;
    sampleFormat_ = oldEncoding ? 1 : 0;
    // A first word of 0x00, 0xFF would read as "no frame yet" under external trigger.
    electronics_.avoidFirstWord = sampleFormat_ == 1 ? 0x00FF : 0x7F00;
    const bool highSpeed = config_.maxPacket == 1024 || config_.maxPacket == 1025;
    packetBytes_ = highSpeed ? 512 : 64;
    transferBytes_ = highSpeed ? config_.maxPacket : 64;

    const auto hot = config_.hotPixels.value_or(parsePixelList(lineValue(text, "BadPixels=")));
    for (const int pixel : hot) {
        if (pixel >= 1 && pixel <= sensor_.activeCount) {
            hotRawIndexes_.push_back(rawIndexOfPixel(pixel));
        }
    }
    if (!config_.eepromText.empty()) {
        eeprom_.load(recordsFromText(config_.eepromText));
    }
    channelId_ = config_.channelId;
    hasShutter_ = config_.shutter.value_or(false);
    realTime_ = config_.realTime;
    source_ = config_.source;
    sample_ = config_.sample;
    fwhmNm_ = config_.fwhmNm;
    failures_ = config_.failures;
    timeouts_ = config_.timeouts;
    plugged_ = !config_.unplugged;
    frame_.assign(static_cast<std::size_t>(sensor_.readoutLength), 0);

    // Halogen at 2856 K with no sample reaches ~60 % of full scale at the factory time.
    double peak = 0.0;
    const SourceSettings reference{};
    for (int p = 1; p <= sensor_.activeCount; ++p) {
        const double nm = trueWavelength(p);
        peak = std::max(peak, detectorResponse(sensor_, nm) * sourceRadiance(reference, nm, 1.0));
    }
    const double headroom = kFullScaleFraction * (65535.0 - electronics_.bias);
    sensitivityScale_ =
        peak > 0.0 ? config_.sensitivity * headroom / (peak * factoryIntegrationMs_) : 0.0;

    model_.configure(electronics_, darkRates(), {});
    powerOn();
    updateLight();
}

std::vector<float> VirtualUnit::darkRates() const {
    std::vector<float> rates(frame_.size(), 0.0f);
    const double dark = config_.darkCurrent.value_or(sensor_.darkCurrent);
    for (int i = 0; i < sensor_.obCount; ++i) {
        rates[static_cast<std::size_t>(sensor_.obFirst + i)] = static_cast<float>(dark);
    }
    for (int p = 1; p <= sensor_.activeCount; ++p) {
        rates[static_cast<std::size_t>(rawIndexOfPixel(p))] = static_cast<float>(dark);
    }
    for (const int raw : hotRawIndexes_) {
        rates[static_cast<std::size_t>(raw)] += static_cast<float>(config_.hotPixelRate);
    }
    return rates;
}

double VirtualUnit::trueWavelength(int pixel) const {
    // A smooth error of at most wavelengthErrorNm on top of the EEPROM's calibration.
    const double n = std::max(2, sensor_.activeCount);
    const double u = 2.0 * (pixel - 1) / (n - 1.0) - 1.0;
    const double error = config_.wavelengthErrorNm * (0.7 * u + 0.3 * (2.0 * u * u - 1.0));
    return evaluateCubic(calibration_, pixel) + (config_.truePolynomial ? 0.0 : error);
}

int VirtualUnit::rawIndexOfPixel(int pixel) const {
    return sensor_.reversed ? sensor_.firstActive + sensor_.activeCount - pixel
                            : sensor_.firstActive + pixel - 1;
}

void VirtualUnit::powerOn() {
    readoutLength_ = sensor_.readoutLength;
    samplesPerPacket_ = packetBytes_ / 2;
    packetsPerFrame_ = (readoutLength_ + samplesPerPacket_ - 1) / samplesPerPacket_;
    remainder_ = readoutLength_ % samplesPerPacket_;
    integrationValue_ = 11;
    integrationUnit_ = kIntegrationUnitMs;
    integrationMs_ = 11.0;
    externalTrigger_ = false;
    integrationMode_ = edge_ = 0;
    tec_ = 1;
    cf_ = skip_ = safeMemory_ = resister_ = shutter_ = filterWheel_ = initFlag_ = 0;
    pendingTriggers_ = 0;
    stream_ = Stream::Idle;
    answerPending_ = false;
    updateExposure();
}

void VirtualUnit::updateLight() {
    std::vector<float> rates(frame_.size(), 0.0f);
    for (int p = 1; p <= sensor_.activeCount; ++p) {
        const double nm = trueWavelength(p);
        const double rate = sensitivityScale_ * detectorResponse(sensor_, nm) *
                            sourceRadiance(source_, nm, fwhmNm_) * sampleTransmission(sample_, nm);
        rates[static_cast<std::size_t>(rawIndexOfPixel(p))] = static_cast<float>(rate);
    }
    model_.setLightRate(std::move(rates));
}

void VirtualUnit::updateExposure() {
    const double capacitor = cf_ == 1 ? kLargeCapacitorFactor : 1.0;
    const bool shutterClosed = hasShutter_ && shutter_ == 1;
    const double light = shutterClosed ? 0.0 : capacitor;
    const double dark = capacitor * (sensor_.cooled && tec_ == 0 ? kTecOffDarkFactor : 1.0);
    model_.setExposure(integrationMs_, light, dark);
}

bool VirtualUnit::openable(std::uint64_t &generation) const {
    std::lock_guard lock(mutex_);
    generation = generation_;
    return plugged_;
}

bool VirtualUnit::alive(std::uint64_t generation) const {
    return plugged_ && generation == generation_;
}

bool VirtualUnit::consumeFailure(std::uint32_t code) {
    for (auto &rule : failures_) {
        if (rule.code == code && rule.remaining > 0) {
            --rule.remaining;
            return true;
        }
    }
    return false;
}

bool VirtualUnit::control(std::uint64_t generation, std::uint32_t code,
                          std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                          std::uint32_t &bytesReturned) {
    std::unique_lock lock(mutex_);
    bytesReturned = 0;
    if (!alive(generation) || consumeFailure(code)) {
        return false;
    }
    switch (code) {
    case driver::kIoctlPipeInfo:
        return pipeInfo(out, bytesReturned);
    case driver::kIoctlDeviceDescriptor:
        return deviceDescriptor(out, bytesReturned);
    case driver::kIoctlStringDescriptor:
        return stringDescriptor(in, out, bytesReturned);
    case driver::kIoctlResetDevice:
        stream_ = Stream::Idle;
        answerPending_ = false;
        return true;
    case driver::kIoctlResetPipe: {
        const auto pipe = driver::pipeIndexOf(in);
        if (pipe == driver::kPipeIn) {
            stream_ = Stream::Idle;
            answerPending_ = false;
        }
        return pipe == driver::kPipeIn || pipe == driver::kPipeOut;
    }
    case driver::kIoctlBulkWrite:
        if (driver::pipeIndexOf(in) != driver::kPipeOut || out.size() != driver::kCommandLength) {
            return false;
        }
        if (consumeFailure(out[0]) || !handleCommand(out)) {
            return false;
        }
        bytesReturned = static_cast<std::uint32_t>(out.size());
        return true;
    case driver::kIoctlBulkRead:
    case driver::kIoctlDrainRead:
        if (driver::pipeIndexOf(in) != driver::kPipeIn) {
            return false;
        }
        return read(lock, generation, out,
                    code == driver::kIoctlDrainRead ? ReadKind::Drain : ReadKind::Plain, 0,
                    bytesReturned) == WaitStatus::Completed;
    default:
        return false;
    }
}

WaitStatus VirtualUnit::bulkReadWait(std::uint64_t generation, std::uint32_t pipe,
                                     std::span<std::uint8_t> out, int timeoutMs,
                                     std::uint32_t &bytesReturned) {
    std::unique_lock lock(mutex_);
    bytesReturned = 0;
    if (!alive(generation) || pipe != driver::kPipeIn || consumeFailure(driver::kIoctlBulkRead)) {
        return WaitStatus::Failed;
    }
    return read(lock, generation, out, ReadKind::Overlapped, timeoutMs, bytesReturned);
}

WaitStatus VirtualUnit::read(std::unique_lock<std::mutex> &lock, std::uint64_t generation,
                             std::span<std::uint8_t> out, ReadKind kind, int timeoutMs,
                             std::uint32_t &bytesReturned) {
    // Injected time-outs hit frame reads only (the overlapped ones while a
    // frame is on its way); the answers to commands such as the channel-ID
    // read still come, also when read with a wait, as at the USB level.
    if (timeouts_ > 0 && kind == ReadKind::Overlapped && !answerPending_ &&
        stream_ != Stream::Idle) {
        --timeouts_;
        if (realTime_) {
            const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            changed_.wait_until(lock, deadline, [&] { return !alive(generation); });
        }
        return alive(generation) ? WaitStatus::TimedOut : WaitStatus::Failed;
    }
    if (answerPending_) {
        const auto n = std::min(out.size(), static_cast<std::size_t>(transferBytes_));
        std::fill_n(out.begin(), n, 0);
        std::copy_n(answer_.begin(), std::min(n, answer_.size()), out.begin());
        answerPending_ = false;
        bytesReturned = static_cast<std::uint32_t>(n);
        return WaitStatus::Completed;
    }
    if (stream_ == Stream::AwaitingTrigger) {
        if (pendingTriggers_ == 0) {
            const std::array<std::uint8_t, 2> marker = {kNoFrameMarker[0], kNoFrameMarker[1]};
            setAnswer(marker);
            stream_ = Stream::Idle;
            return read(lock, generation, out, kind, timeoutMs, bytesReturned);
        }
        --pendingTriggers_;
        stream_ = Stream::Armed;
        readyAt_ = Clock::now() +
                   std::chrono::microseconds(static_cast<long long>(integrationMs_ * 1000.0));
    }
    if (stream_ == Stream::Armed) {
        const auto status = waitForFrame(lock, generation, kind, timeoutMs);
        if (status != WaitStatus::Completed) {
            return status;
        }
        model_.generate(frame_, rng_);
        stream_ = Stream::Streaming;
        nextPacket_ = 0;
    }
    if (stream_ == Stream::Streaming) {
        fillPacket(out, bytesReturned);
        return WaitStatus::Completed;
    }
    // Nothing to send: a plain or draining read fails, an overlapped one runs into its time-out.
    if (kind == ReadKind::Overlapped) {
        if (realTime_) {
            const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
            changed_.wait_until(lock, deadline, [&] { return !alive(generation); });
        }
        return alive(generation) ? WaitStatus::TimedOut : WaitStatus::Failed;
    }
    return WaitStatus::Failed;
}

WaitStatus VirtualUnit::waitForFrame(std::unique_lock<std::mutex> &lock, std::uint64_t generation,
                                     ReadKind kind, int timeoutMs) {
    if (!realTime_) {
        return WaitStatus::Completed;
    }
    if (kind == ReadKind::Drain) {
        if (Clock::now() < readyAt_) {
            stream_ = Stream::Idle; // stale request: discard
            return WaitStatus::Failed;
        }
        return WaitStatus::Completed;
    }
    auto deadline = readyAt_;
    if (kind == ReadKind::Overlapped) {
        deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(timeoutMs));
    }
    // A waiting read ends early when the unit goes away or the bench changes its timing.
    const auto settled = [&] {
        return !alive(generation) || !realTime_ || stream_ != Stream::Armed;
    };
    changed_.wait_until(lock, deadline, settled);
    if (!alive(generation) || stream_ != Stream::Armed) {
        return WaitStatus::Failed;
    }
    if (realTime_ && Clock::now() < readyAt_) {
        return WaitStatus::TimedOut;
    }
    return WaitStatus::Completed;
}

void VirtualUnit::fillPacket(std::span<std::uint8_t> out, std::uint32_t &bytesReturned) {
    const auto n = std::min(out.size(), static_cast<std::size_t>(transferBytes_));
    std::fill_n(out.begin(), n, 0);
    const bool last = nextPacket_ + 1 >= packetsPerFrame_;
    const int count = last && remainder_ != 0 ? remainder_ : samplesPerPacket_;
    const int first = nextPacket_ * samplesPerPacket_;
    const auto dummy = static_cast<std::uint16_t>(std::lround(electronics_.bias));
    for (int k = 0; k < count && static_cast<std::size_t>(2 * k + 1) < n; ++k) {
        const auto s = static_cast<std::size_t>(first + k);
        const std::uint16_t word = encode(s < frame_.size() ? frame_[s] : dummy);
        out[2 * k] = static_cast<std::uint8_t>(word & 0xFF);
        out[2 * k + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    bytesReturned = static_cast<std::uint32_t>(n);
    if (last) {
        stream_ = Stream::Idle;
        ++framesDelivered_;
    } else {
        ++nextPacket_;
    }
}

std::uint16_t VirtualUnit::encode(std::uint16_t count) const {
    return sampleFormat_ == 1 ? static_cast<std::uint16_t>(0xFFFF - count)
                              : static_cast<std::uint16_t>(count ^ 0x8000);
}

void VirtualUnit::setAnswer(std::span<const std::uint8_t> bytes) {
    answer_.fill(0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), answer_.size()), answer_.begin());
    answerPending_ = true;
}

bool VirtualUnit::handleCommand(std::span<const std::uint8_t> p) {
    switch (p[0]) {
    case command::kInitialise:
        initialise(p);
        return true;
    case command::kIntegrationTime:
        setIntegration(le16(p, 1), p[3]);
        return true;
    case command::kStartFrame:
        startFrame();
        return true;
    case command::kTriggerInternal:
    case command::kTriggerExternal:
        externalTrigger_ = p[0] == command::kTriggerExternal;
        ++(externalTrigger_ ? externalTriggerRequests_ : internalTriggerRequests_);
        return true;
    case command::kEepromWrite:
        return eeprom_.writePacket(p);
    case command::kEepromRead: {
        std::array<std::uint8_t, kEepromAnswerSize> chunk{};
        eeprom_.readPacket(p[1], chunk);
        setAnswer(chunk);
        return true;
    }
    case command::kSelectCf:
        cf_ = p[1];
        updateExposure();
        return true;
    case command::kTec:
        tec_ = p[1];
        updateExposure();
        return true;
    case command::kSkip:
        skip_ = p[1];
        return true;
    case command::kSafeMemory:
        safeMemory_ = p[1];
        return true;
    case command::kIntegrationMode:
        integrationMode_ = p[1];
        return true;
    case command::kExternalEdge:
        edge_ = p[1];
        return true;
    case command::kGetShutter: {
        const std::array<std::uint8_t, 1> position = {shutter_};
        setAnswer(position);
        return true;
    }
    case command::kSetShutter:
        shutter_ = p[1];
        updateExposure();
        return true;
    case command::kFilterWheel:
        filterWheel_ = p[1];
        return true;
    case command::kResister:
        resister_ = p[1];
        return true;
    case command::kWriteChannelId:
        channelId_ = p[1];
        return true;
    case command::kReadChannelId: {
        const std::array<std::uint8_t, 1> id = {channelId_};
        setAnswer(id);
        return true;
    }
    default:
        return true; // the firmware ignores codes it does not know
    }
}

void VirtualUnit::initialise(std::span<const std::uint8_t> p) {
    const int integration = le16(p, 1);
    readoutLength_ = le16(p, 3);
    initFlag_ = p[5];
    packetsPerFrame_ = p[7];
    remainder_ = le16(p, 8);
    // The library's own packet size decides the split; a frame longer than
    // whole packets can carry is cut at the transfer size, as on the real unit.
    if (packetsPerFrame_ > 1 && remainder_ != 0) {
        samplesPerPacket_ = (readoutLength_ - remainder_) / (packetsPerFrame_ - 1);
    } else if (packetsPerFrame_ > 0) {
        samplesPerPacket_ = readoutLength_ / packetsPerFrame_;
    } else {
        samplesPerPacket_ = 0;
    }
    samplesPerPacket_ = std::clamp(samplesPerPacket_, 0, transferBytes_ / 2);
    remainder_ = std::clamp(remainder_, 0, transferBytes_ / 2);
    stream_ = Stream::Idle;
    answerPending_ = false;
    setIntegration(static_cast<std::uint16_t>(integration), kIntegrationUnitMs);
}

void VirtualUnit::setIntegration(std::uint16_t value, std::uint8_t unit) {
    if (unit != kIntegrationUnit10us && unit != kIntegrationUnitMs) {
        return; // not a unit the firmware knows: keep the time
    }
    integrationValue_ = value;
    integrationUnit_ = unit;
    integrationMs_ = unit == kIntegrationUnit10us ? value * 0.01 : value;
    updateExposure();
}

void VirtualUnit::startFrame() {
    answerPending_ = false;
    nextPacket_ = 0;
    if (externalTrigger_ && pendingTriggers_ == 0) {
        stream_ = Stream::AwaitingTrigger;
        return;
    }
    if (externalTrigger_) {
        --pendingTriggers_;
    }
    stream_ = Stream::Armed;
    readyAt_ =
        Clock::now() + std::chrono::microseconds(static_cast<long long>(integrationMs_ * 1000.0));
}

void VirtualUnit::generateFrame() {
    std::lock_guard lock(mutex_);
    model_.generate(frame_, rng_);
}

bool VirtualUnit::pipeInfo(std::span<std::uint8_t> out, std::uint32_t &bytesReturned) const {
    // USBD_INTERFACE_INFORMATION with two bulk pipes; the 64-bit layout has
    // 8-byte handles, which moves the first pipe's maximum packet to byte 24.
    const bool wide = pipeRecord64_;
    const std::size_t pipesAt =
        wide ? driver::kPipeInfoMaxPacketOffset64 : driver::kPipeInfoMaxPacketOffset32;
    const std::size_t pipeSize = wide ? 24 : 20;
    const std::size_t length = pipesAt + 2 * pipeSize;
    if (out.size() < length) {
        return false;
    }
    const auto n = std::min(out.size(), driver::kPipeInfoSize);
    std::fill_n(out.begin(), n, 0);
    putLe16(out, 0, static_cast<std::uint32_t>(length));
    out[4] = 0xFF;                                                // vendor-specific class
    putLe32(out, 8, 0x1000u + static_cast<std::uint32_t>(slot_)); // interface handle
    putLe32(out, wide ? 16 : 12, 2);                              // number of pipes
    for (std::size_t k = 0; k < 2; ++k) {
        const std::size_t at = pipesAt + k * pipeSize;
        putLe16(out, at, config_.maxPacket);
        out[at + 2] = k == 0 ? 0x82 : 0x02; // endpoint: IN 2, OUT 2
        putLe32(out, at + 4, 2);            // bulk
        putLe32(out, at + 8, 0x2000u + static_cast<std::uint32_t>(k));
        putLe32(out, at + (wide ? 16 : 12), 64 * 1024); // maximum transfer size
    }
    bytesReturned = static_cast<std::uint32_t>(n);
    return true;
}

bool VirtualUnit::deviceDescriptor(std::span<std::uint8_t> out,
                                   std::uint32_t &bytesReturned) const {
    if (out.size() < driver::kDeviceDescriptorSize) {
        return false;
    }
    std::fill_n(out.begin(), driver::kDeviceDescriptorSize, 0);
    out[0] = driver::kDeviceDescriptorSize;
    out[1] = 0x01;           // device
    putLe16(out, 2, 0x0200); // USB 2.0
    out[4] = 0xFF;           // vendor-specific class
    out[7] = 64;             // control endpoint packet size
    putLe16(out, 8, config_.vendorId);
    putLe16(out, 10, config_.productId);
    putLe16(out, 12, 0x0100);
    out[14] = 1; // manufacturer string
    out[15] = 2; // product string
    out[17] = 1; // configurations
    bytesReturned = driver::kDeviceDescriptorSize;
    return true;
}

bool VirtualUnit::stringDescriptor(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                                   std::uint32_t &bytesReturned) const {
    if (in.size() < 4) {
        return false;
    }
    const std::uint8_t index = in[0];
    std::array<std::uint8_t, 2 + 2 * 126> descriptor{};
    std::size_t length = 0;
    if (index == 0) {
        descriptor[2] = 0x09; // English (US)
        descriptor[3] = 0x04;
        length = 4;
    } else if (index == 1 || index == 2) {
        const std::string_view maker = index == 1 ? config_.manufacturer : config_.product;
        const std::string_view foreign = index == 1 ? kForeignManufacturer : kForeignProduct;
        const std::string_view text = foreignStrings_ ? foreign : maker;
        const auto chars = std::min<std::size_t>(text.size(), 126);
        for (std::size_t i = 0; i < chars; ++i) {
            descriptor[2 + 2 * i] = static_cast<std::uint8_t>(text[i]);
        }
        length = 2 + 2 * chars;
    } else {
        return false;
    }
    descriptor[0] = static_cast<std::uint8_t>(length);
    descriptor[1] = 0x03; // string
    const auto n = std::min(out.size(), length);
    std::copy_n(descriptor.begin(), n, out.begin());
    bytesReturned = static_cast<std::uint32_t>(n);
    return true;
}

void VirtualUnit::setSource(const SourceSettings &source) {
    std::lock_guard lock(mutex_);
    source_ = source;
    updateLight();
}

void VirtualUnit::setSourceLevel(double level) {
    std::lock_guard lock(mutex_);
    source_.level = level;
    updateLight();
}

void VirtualUnit::setSample(const SampleSettings &sample) {
    std::lock_guard lock(mutex_);
    sample_ = sample;
    updateLight();
}

void VirtualUnit::setFwhm(double nm) {
    std::lock_guard lock(mutex_);
    fwhmNm_ = nm;
    updateLight();
}

void VirtualUnit::setTiming(bool realTime) {
    std::lock_guard lock(mutex_);
    realTime_ = realTime;
    changed_.notify_all();
}

void VirtualUnit::reseed(std::uint64_t seed) {
    std::lock_guard lock(mutex_);
    rng_.reseed(seed);
}

void VirtualUnit::injectTriggers(int count) {
    std::lock_guard lock(mutex_);
    pendingTriggers_ += count;
    changed_.notify_all();
}

void VirtualUnit::unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    changed_.notify_all();
}

void VirtualUnit::replug(std::uint64_t newGeneration) {
    std::lock_guard lock(mutex_);
    if (plugged_) {
        return;
    }
    plugged_ = true;
    generation_ = newGeneration;
    powerOn();
    changed_.notify_all();
}

void VirtualUnit::failNext(std::uint32_t code, int count) {
    std::lock_guard lock(mutex_);
    for (auto &rule : failures_) {
        if (rule.code == code) {
            rule.remaining = count;
            return;
        }
    }
    failures_.push_back({code, count});
}

void VirtualUnit::timeoutNext(int count) {
    std::lock_guard lock(mutex_);
    timeouts_ = count;
}

void VirtualUnit::clearFaults() {
    std::lock_guard lock(mutex_);
    failures_.clear();
    timeouts_ = 0;
    foreignStrings_ = false;
    eeprom_.clearGarble();
}

void VirtualUnit::garbleNextEepromWrite() {
    std::lock_guard lock(mutex_);
    eeprom_.garbleNextWrite();
}

void VirtualUnit::setForeignStrings(bool foreign) {
    std::lock_guard lock(mutex_);
    foreignStrings_ = foreign;
}

void VirtualUnit::eraseEeprom() {
    std::lock_guard lock(mutex_);
    eeprom_.erase();
}

std::string VirtualUnit::eepromText() const {
    std::lock_guard lock(mutex_);
    return textFromRecords(eeprom_.records());
}

UnitStatus VirtualUnit::status() const {
    std::lock_guard lock(mutex_);
    UnitStatus s;
    s.slot = slot_;
    s.plugged = plugged_;
    s.generation = generation_;
    s.sensor = std::string(sensor_.name);
    s.readoutLength = readoutLength_;
    s.packetsPerFrame = packetsPerFrame_;
    s.remainder = remainder_;
    s.samplesPerPacket = samplesPerPacket_;
    s.packetBytes = packetBytes_;
    s.transferBytes = transferBytes_;
    s.sampleFormat = sampleFormat_;
    s.integrationValue = integrationValue_;
    s.integrationUnit = integrationUnit_;
    s.integrationMs = integrationMs_;
    s.externalTrigger = externalTrigger_;
    s.integrationMode = integrationMode_;
    s.edge = edge_;
    s.tec = tec_;
    s.cf = cf_;
    s.skip = skip_;
    s.safeMemory = safeMemory_;
    s.resister = resister_;
    s.shutter = shutter_;
    s.hasShutter = hasShutter_;
    s.filterWheel = filterWheel_;
    s.channelId = channelId_;
    s.initFlag = initFlag_;
    s.pendingTriggers = pendingTriggers_;
    s.internalTriggerRequests = internalTriggerRequests_;
    s.externalTriggerRequests = externalTriggerRequests_;
    s.framesDelivered = framesDelivered_;
    s.realTime = realTime_;
    s.foreignStrings = foreignStrings_;
    s.timeoutsPending = timeouts_;
    s.source = source_;
    s.sample = sample_;
    s.fwhmNm = fwhmNm_;
    return s;
}

} // namespace ov::sim
