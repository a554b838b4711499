#include "datacontrol/unit_control.h"

#include "ovdbusbm.h"

#include <array>

namespace quillon {

int UnitControl::rescan(bool closeFirst) {
    if (closeFirst) {
        ovCloseAllChannels();
    }
    return ovTestAllChannels(0);
}

std::string UnitControl::driverStatus() const {
    std::array<char, 2048> text{};
    ovDriverStatus(text.data(), static_cast<int>(text.size()));
    return text.data();
}

void UnitControl::closeAll() {
    ovCloseAllChannels();
}

bool UnitControl::setUpPort(int channel) {
    return ovSetupGivenChannel(static_cast<short>(channel)) >= 0;
}

std::optional<short> UnitControl::readChannelId(int channel) {
    short id = 0;
    if (ovReadChannelID(&id, static_cast<short>(channel)) < 0) {
        return std::nullopt;
    }
    return id;
}

bool UnitControl::writeChannelId(int id, int channel) {
    return ovWriteChannelID(static_cast<short>(id), static_cast<short>(channel)) >= 0;
}

int UnitControl::readEepromText(int channel, std::string &text) {
    const int result = ovReadEEPROM(nullptr, static_cast<short>(channel));
    if (result >= 0) {
        const char *data = ovGetEEPROMData();
        text = data != nullptr ? data : "";
    }
    return result;
}

bool UnitControl::writeEepromText(int channel, const std::string &text) {
    return ovSetEEPROMData(text.c_str()) >= 0 &&
           ovWriteEEPROM(nullptr, static_cast<short>(channel)) >= 0;
}

int UnitControl::speedMode(int channel) {
    int packetSize = 0;
    const int speed = ovCheckSpeedMode(&packetSize, static_cast<short>(channel));
    return speed == OV_OK ? packetSize : speed;
}

int UnitControl::devIsNew(int channel) {
    return ovGetDevIsNew(static_cast<short>(channel));
}

bool UnitControl::initialise() {
    return ovInitGivenChannel(static_cast<short>(s.geometry.boardType), s.currentChannel) >= 0;
}

// The newer electronics start in the software trigger mode of their sensor.
bool UnitControl::sendSoftwareTriggerMode() {
    if (s.geometry.newDevice != 1) {
        return true;
    }
    int mode = -1;
    if (s.geometry.boardType == kBoardIlx511) {
        mode = 0;
    } else if (s.geometry.boardType == kBoardS7031 || s.geometry.boardType == kBoardS10420) {
        mode = 2;
    }
    return mode < 0 ||
           ovSetIntMode(static_cast<short>(mode), s.limits.current, s.currentChannel) >= 0;
}

bool UnitControl::sendIntegrationTime() {
    return sendIntegrationTime(s.limits.current);
}

bool UnitControl::sendIntegrationTime(std::int32_t time) {
    const int result = s.geometry.boardType == kBoardTcd1304
                           ? ovSetDblIntEx(time / 100.0, s.currentChannel)
                           : ovSetIntEx(time, s.currentChannel);
    return result >= 0;
}

bool UnitControl::setTec(int on) {
    return ovSetTEC(static_cast<short>(on), s.currentChannel) >= 0;
}

bool UnitControl::selectCf(int value) {
    return ovSelectCF(static_cast<short>(value), s.currentChannel) >= 0;
}

bool UnitControl::setShutterClosed(bool closed) {
    return ovSetShutterPos(closed ? 1 : 0, s.currentChannel) >= 0;
}

bool UnitControl::setInternalTrigger() {
    return ovSetTrgEx(OV_TRIGGER_INTERNAL, s.currentChannel) >= 0;
}

int UnitControl::setTriggerMode(int mode) {
    return ovSetTrgEx(mode, s.currentChannel);
}

int UnitControl::setIntegrationMode(int scanMode, double timeMs) {
    return ovSetIntMode(scanMode, timeMs, s.currentChannel);
}

int UnitControl::setExternalEdge(int edge) {
    return ovSetExtEdgeMode(edge, s.currentChannel);
}

int UnitControl::setSkip(int value) {
    return ovSetSkip(value, s.currentChannel);
}

int UnitControl::shutterPosition() {
    return ovGetShutterPos(s.currentChannel);
}

bool UnitControl::resendSetup() {
    if (!setUpPort(s.currentChannel) || !initialise() || !sendSoftwareTriggerMode() ||
        !sendIntegrationTime()) {
        return false;
    }
    if (!s.HasCoolerRecord()) {
        return true;
    }
    // The CAP choice of the settings: 10 pF is CF 1, 1 pF is CF 0, others leave it.
    return setTec(s.cooler.tec) &&
           ((s.cooler.cap != 10 && s.cooler.cap != 1) || selectCf(s.cooler.cap == 10 ? 1 : 0));
}

int UnitControl::readFrame(std::span<std::int32_t> frame) {
    return ovReadDataEx(frame.data(), s.currentChannel);
}

} // namespace quillon
