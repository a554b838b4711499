// The one door to the device library above it: every request the main
// program sends to a unit goes through here, so that results are looked at
// in one place and the front ends never call the library themselves.
#ifndef QUILLON_APP_DATACONTROL_UNIT_CONTROL_H
#define QUILLON_APP_DATACONTROL_UNIT_CONTROL_H

#include "datacontrol/channel_state.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quillon {

class UnitControl {
public:
    explicit UnitControl(const ChannelState &state) : s(state) {}

    // Closes and rescans the units: how many were found (< 1: none).
    [[nodiscard]] int rescan(bool closeFirst);
    void closeAll();
    // Why the driver finds no usable unit (empty: nothing to explain).
    [[nodiscard]] std::string driverStatus() const;
    [[nodiscard]] bool setUpPort(int channel);
    [[nodiscard]] std::optional<short> readChannelId(int channel);
    [[nodiscard]] bool writeChannelId(int id, int channel);
    // The library's result; on success `text` holds the unit's EEPROM text.
    [[nodiscard]] int readEepromText(int channel, std::string &text);
    [[nodiscard]] bool writeEepromText(int channel, const std::string &text);
    // Packet size (or the failure code) and whether the unit has the newer electronics.
    [[nodiscard]] int speedMode(int channel);
    [[nodiscard]] int devIsNew(int channel);

    // The current channel, with the records of the state.
    [[nodiscard]] bool initialise();
    [[nodiscard]] bool sendSoftwareTriggerMode();
    [[nodiscard]] bool sendIntegrationTime();
    [[nodiscard]] bool sendIntegrationTime(std::int32_t time);
    [[nodiscard]] bool setTec(int on);
    // 1 the larger feedback capacitor, 0 the smaller.
    [[nodiscard]] bool selectCf(int value);
    [[nodiscard]] bool setShutterClosed(bool closed);
    [[nodiscard]] bool setInternalTrigger();
    // The library's result codes, for the messages that name the port.
    [[nodiscard]] int setTriggerMode(int mode);
    [[nodiscard]] int setIntegrationMode(int scanMode, double timeMs);
    [[nodiscard]] int setExternalEdge(int edge);
    [[nodiscard]] int setSkip(int value);
    // 1 closed, 0 open, negative when the unit did not answer.
    [[nodiscard]] int shutterPosition();
    // The whole set-up of the current channel sent again, as a unit that was
    // plugged in again or power-cycled needs it: port, initialise command,
    // software trigger mode, integration time, TEC and CF on cooled units.
    // Asks nothing: false when a request failed.
    [[nodiscard]] bool resendSetup();
    // One frame into `frame` (the library's result code).
    [[nodiscard]] int readFrame(std::span<std::int32_t> frame);

private:
    const ChannelState &s;
};

} // namespace quillon

#endif
