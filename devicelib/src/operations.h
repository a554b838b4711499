// The library's operations on device slots; the C exports map channel
// numbers to slots and call these.
#ifndef QUILLON_DEVICELIB_SRC_OPERATIONS_H
#define QUILLON_DEVICELIB_SRC_OPERATIONS_H

#include "command_codec.h"
#include "ovdbusbm.h"

#include <cstdint>
#include <span>

namespace ov {

// Result codes and trigger modes: the public header's values under C++ names.
inline constexpr int kOk = OV_OK;
inline constexpr int kErrRequest = OV_ERR_REQUEST;
inline constexpr int kErrNoDevice = OV_ERR_NO_DEVICE;
inline constexpr int kErrFile = OV_ERR_FILE;
inline constexpr int kErrNoData = OV_ERR_NO_DATA;
inline constexpr int kErrCcdType = OV_ERR_CCD_TYPE;
inline constexpr int kErrAutoDark = OV_ERR_AUTO_DARK;
inline constexpr int kErrNotAvailable = OV_ERR_NOT_AVAILABLE;
inline constexpr int kErrTriggerMode = OV_ERR_TRIGGER_MODE;
inline constexpr int kErrShutter = OV_ERR_SHUTTER;
inline constexpr int kErrFilter = OV_ERR_FILTER;
inline constexpr int kErrUnitReset = OV_ERR_UNIT_RESET;
inline constexpr int kErrNoTrigger = OV_ERR_NO_TRIGGER;
inline constexpr int kErrTimeout = OV_ERR_TIMEOUT;
inline constexpr int kErrAverage = OV_ERR_AVERAGE;
inline constexpr int kErrHalfWidth = OV_ERR_HALFWIDTH;

inline constexpr int kTriggerReset = OV_TRIGGER_RESET;
inline constexpr int kTriggerInternal = OV_TRIGGER_INTERNAL;
inline constexpr int kTriggerExternal = OV_TRIGGER_EXTERNAL;

// Channel table and transport.
int scanUnits(bool useChannelIds);
int setupSlot(int slot);
int setupAllChannels();
int initSlot(int ccdType, int slot);
int initAllChannels(int ccdType);
int closeSlot(int slot);
int closeAllChannels();
int readChannelId(int slot, int &id);
int writeChannelId(int slot, int id);
int assignedChannelIds(std::span<std::int16_t> ids);
int checkSpeedMode(int slot, int &packetSize);
int queryGeneration(int slot);

// Acquisition.
int setIntegrationInt(int slot, int value);
int setIntegrationDouble(int slot, double timeMs);
int setTriggerMode(int slot, int mode);
int setIntegrationMode(int slot, int mode, double timeMs);
int setExternalEdge(int slot, int edge);
int selectTriggerMode(int slot, int mode);
int sendByteCommand(int slot, Command code, int value);
int setShutterPosition(int slot, int position);
int getShutterPosition(int slot);
int moveFilterWheel(int slot, int position);
int updateAveraging(int slot, int count, int halfWidth);
int setAutoDark(int slot, int on);
// frame: room for the slot's readout length.
int readFrame(int slot, int *frame);
int readFrameAveraged(int slot, int *frame, int frames, int strength,
                      std::span<const std::int16_t> badList);
int readFrameSmoothed(int slot, int *frame);
// Sizes the slot's read scratch for its CCD type and largest half-width.
void prepareReadScratch(int slot);

// EEPROM text and tables.
int readEepromToLibrary(int slot);
int readEepromToFile(int slot, const char *path);
int writeEepromFromLibrary(int slot);
int writeEepromFromFile(int slot, const char *path);
int deviceInfo(int slot, std::span<char> model, std::span<char> serial);
int modelOf(int slot);
int hasShutter(int slot);
int wavelengthTable(int slot, double *table);
int wavelengthTableAdvanced(int slot, double *table, int pixelCount, int *pointCount,
                            double *pixels, double *wavelengths);

void dropChannels(); // channel count to 0 after a transfer failure

} // namespace ov

#endif
