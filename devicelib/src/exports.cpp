// The C exports: argument widths, null checks and channel-to-slot mapping;
// the work is done by the operations.
#include "ovdbusbm.h"

#include "driver.h"
#include "library_state.h"
#include "operations.h"
#include "ov/numeric/polynomial.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <span>
#include <string>

using namespace ov;

namespace {

short code(int result) {
    return static_cast<short>(result);
}
int slotOf(int channel) {
    return state().slotOfChannel(channel);
}

} // namespace

extern "C" {

short ovTestAllChannels(int useChannelIds) {
    return code(scanUnits(low16(useChannelIds) != 0));
}
short ovSetupAllChannels(void) {
    return code(setupAllChannels());
}
short ovSetupGivenChannel(int channel) {
    return code(setupSlot(slotOf(channel)));
}
short ovInitAllChannels(int ccdType) {
    return code(initAllChannels(low16(ccdType)));
}
short ovInitGivenChannel(int ccdType, int channel) {
    return code(initSlot(low16(ccdType), slotOf(channel)));
}
short ovCloseAllChannels(void) {
    return code(closeAllChannels());
}
short ovCloseGivenChannel(int channel) {
    return code(closeSlot(slotOf(channel)));
}

short ovReadChannelID(short *id, int channel) {
    if (id == nullptr) {
        return OV_ERR_REQUEST;
    }
    int value = 0;
    const int result = readChannelId(slotOf(channel), value);
    *id = static_cast<short>(value);
    return code(result);
}

short ovWriteChannelID(int id, int channel) {
    return code(writeChannelId(slotOf(channel), id));
}

short ovGetAssignedChannelID(short *ids) {
    if (ids == nullptr) {
        return OV_ERR_REQUEST;
    }
    return code(assignedChannelIds(std::span(ids, OV_MAX_CHANNELS)));
}

short ovCheckSpeedMode(int *packetSize, int channel) {
    if (packetSize == nullptr) {
        return OV_ERR_REQUEST;
    }
    int value = 0;
    const int result = checkSpeedMode(slotOf(channel), value);
    if (result == OV_OK) {
        *packetSize = value;
    }
    return code(result);
}

short ovGetDevIsNew(int channel) {
    return code(queryGeneration(slotOf(channel)));
}

short ovSetIntEx(int value, int channel) {
    return code(setIntegrationInt(slotOf(channel), value));
}
short ovSetDblIntEx(double timeMs, int channel) {
    return code(setIntegrationDouble(slotOf(channel), timeMs));
}
short ovSetTrgEx(int mode, int channel) {
    return code(setTriggerMode(slotOf(channel), low16(mode)));
}
short ovSetIntMode(int mode, double timeMs, int channel) {
    return code(setIntegrationMode(slotOf(channel), low16(mode), timeMs));
}
short ovSetExtEdgeMode(int edge, int channel) {
    return code(setExternalEdge(slotOf(channel), edge));
}
short ovSelTrigMode(int mode, int channel) {
    return code(selectTriggerMode(slotOf(channel), low16(mode)));
}

short ovReadDataEx(int *frame, int channel) {
    if (frame == nullptr) {
        return OV_ERR_REQUEST;
    }
    return code(readFrame(slotOf(channel), frame));
}

short ovReadDataAdvEx(int *frame, int frames, int strength, int badCount, const short *badList,
                      int channel) {
    const int count = std::max(low16(badCount), 0);
    if (frame == nullptr || (count > 0 && badList == nullptr)) {
        return OV_ERR_REQUEST;
    }
    return code(readFrameAveraged(slotOf(channel), frame, low16(frames), low16(strength),
                                  std::span(badList, static_cast<std::size_t>(count))));
}

short ovReadDataExT(int *frame, int channel) {
    if (frame == nullptr) {
        return OV_ERR_REQUEST;
    }
    return code(readFrameSmoothed(slotOf(channel), frame));
}

short ovDupdate(int count, int halfWidth, int channel) {
    return code(updateAveraging(slotOf(channel), low16(count), low16(halfWidth)));
}
short ovAutoDark(int on, int channel) {
    return code(setAutoDark(slotOf(channel), low16(on)));
}

short ovSetSkip(int value, int channel) {
    return code(sendByteCommand(slotOf(channel), Command::Skip, value));
}
short ovSetSafeMemory(int value, int channel) {
    return code(sendByteCommand(slotOf(channel), Command::SafeMemory, value));
}
short ovSetTEC(int value, int channel) {
    return code(sendByteCommand(slotOf(channel), Command::Tec, value));
}
short ovSelectCF(int value, int channel) {
    return code(sendByteCommand(slotOf(channel), Command::SelectCf, value));
}
short ovResisterSetup(int value, int channel) {
    return code(sendByteCommand(slotOf(channel), Command::ResisterSetup, value));
}
short ovSetShutterPos(int position, int channel) {
    return code(setShutterPosition(slotOf(channel), low16(position)));
}
short ovGetShutterPos(int channel) {
    return code(getShutterPosition(slotOf(channel)));
}
short ovFilterWheel(int position, int channel) {
    return code(moveFilterWheel(slotOf(channel), low16(position)));
}

short ovReadEEPROM(const char *file, int channel) {
    const int slot = slotOf(channel);
    return code(file == nullptr ? readEepromToLibrary(slot) : readEepromToFile(slot, file));
}

short ovWriteEEPROM(const char *file, int channel) {
    const int slot = slotOf(channel);
    return code(file == nullptr ? writeEepromFromLibrary(slot) : writeEepromFromFile(slot, file));
}

const char *ovGetEEPROMData(void) {
    return state().eepromText.c_str();
}

short ovSetEEPROMData(const char *text) {
    if (text == nullptr) {
        return OV_ERR_REQUEST;
    }
    state().eepromText = text;
    return OV_OK;
}

short ovDevInfo(char *model, char *serial, int channel) {
    if (model == nullptr || serial == nullptr) {
        return OV_ERR_REQUEST;
    }
    return code(deviceInfo(slotOf(channel), std::span(model, OV_DEVINFO_TEXT_SIZE),
                           std::span(serial, OV_DEVINFO_TEXT_SIZE)));
}

short ovGetModel(int channel) {
    return code(modelOf(slotOf(channel)));
}
short ovInsShutter(int channel) {
    return code(hasShutter(slotOf(channel)));
}

short ovGetWLTable(double *table, int channel) {
    if (table == nullptr) {
        return OV_ERR_REQUEST;
    }
    return code(wavelengthTable(slotOf(channel), table));
}

short ovGetWLTableADV(double *table, int pixelCount, int *pointCount, double *pixels,
                      double *wavelengths, int channel) {
    if ((table == nullptr && pixelCount > 0) || pointCount == nullptr || pixels == nullptr ||
        wavelengths == nullptr) {
        return OV_ERR_REQUEST;
    }
    return code(wavelengthTableAdvanced(slotOf(channel), table, std::max(pixelCount, 0), pointCount,
                                        pixels, wavelengths));
}

short ovPolyFit(const double *x, const double *y, int count, double *coefficients, int order) {
    const int points = low16(count);
    const int degree = low16(order);
    if (x == nullptr || y == nullptr || coefficients == nullptr) {
        return OV_ERR_REQUEST;
    }
    if (points < 0 || degree < 0 || degree > numeric::kMaxPolyFitOrder) {
        return OV_ERR_CCD_TYPE;
    }
    const auto n = static_cast<std::size_t>(points);
    return numeric::polyFit(std::span(x, n), std::span(y, n),
                            std::span(coefficients, static_cast<std::size_t>(degree) + 1), degree)
               ? OV_OK
               : OV_ERR_CCD_TYPE;
}

short ovPolyCalc(const double *coefficients, int order, double x, double *result) {
    const int degree = low16(order);
    if (result == nullptr || (coefficients == nullptr && degree >= 0)) {
        return OV_ERR_REQUEST;
    }
    *result = degree < 0
                  ? 0.0
                  : numeric::polyCalc(std::span(coefficients, static_cast<std::size_t>(degree) + 1),
                                      degree, x);
    return OV_OK;
}

void ovSetMessageHook(OvMessageHook hook, void *context) {
    state().setMessageHook(hook, context);
}

int ovSimCommand(const char *command, char *reply, int replySize) {
    std::string text;
    int result = OV_ERR_REQUEST;
    driver::SimulatorControl *simulator = driver::activeDriver().simulator();
    if (simulator == nullptr) {
        text = "no simulated units (set OV_DRIVER=sim)";
    } else if (command == nullptr) {
        text = "no command given";
    } else {
        result = simulator->command(command, text);
    }
    if (reply != nullptr && replySize > 0) {
        const std::size_t length = std::min(text.size(), static_cast<std::size_t>(replySize - 1));
        std::copy_n(text.begin(), length, reply);
        reply[length] = '\0';
    }
    return result;
}

int ovDriverStatus(char *text, int size) {
    const std::string status = driver::driverStatusMessage();
    if (text != nullptr && size > 0) {
        const std::size_t length = std::min(status.size(), static_cast<std::size_t>(size - 1));
        std::copy_n(status.begin(), length, text);
        text[length] = '\0';
    }
    return static_cast<int>(std::min<std::size_t>(status.size(), INT_MAX));
}

const char *ovResultText(int code) {
    switch (code) {
    case OV_OK:
        return "ok";
    case OV_NO:
        return "no";
    case OV_ERR_REQUEST:
        return "driver request failed";
    case OV_ERR_NO_DEVICE:
        return "no device";
    case OV_ERR_FILE:
        return "file cannot be opened or EEPROM text empty";
    case OV_ERR_NO_DATA:
        return "no data";
    case OV_ERR_CCD_TYPE:
        return "bad CCD type or unsolvable fit";
    case OV_ERR_AUTO_DARK:
        return "auto-dark switch not 0 or 1";
    case OV_ERR_NOT_AVAILABLE:
        return "not available for this CCD type";
    case OV_ERR_TRIGGER_MODE:
        return "trigger mode not 0..4";
    case OV_ERR_SHUTTER:
        return "shutter position not 0 or 1";
    case OV_ERR_FILTER:
        return "filter position not 1..6";
    case OV_ERR_UNIT_RESET:
        return "unit plugged in again: initialise it";
    case OV_ERR_NO_TRIGGER:
        return "no trigger yet";
    case OV_ERR_TIMEOUT:
        return "time-out";
    case OV_ERR_AVERAGE:
        return "averaging count not 1..100";
    case OV_ERR_HALFWIDTH:
        return "smoothing half-width not 0 or 2..100";
    default:
        break;
    }
    // One buffer per thread: no caller overwrites another's text.
    thread_local std::array<char, 32> unknown{};
    std::snprintf(unknown.data(), unknown.size(), "result %d", code);
    return unknown.data();
}

} // extern "C"
