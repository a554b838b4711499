// The library's operations on device slots; the C exports map channel
// numbers to slots and call these.
#ifndef QUILLON_DEVICELIB_SRC_OPERATIONS_H
#define QUILLON_DEVICELIB_SRC_OPERATIONS_H

#include "command_codec.h"

#include <cstdint>
#include <span>

namespace ov {

// Result codes.
inline constexpr int kOk = 1;
inline constexpr int kErrRequest = -1;
inline constexpr int kErrNoDevice = -2;
inline constexpr int kErrFile = -3;
inline constexpr int kErrNoData = -4;
inline constexpr int kErrCcdType = -5;
inline constexpr int kErrAutoDark = -6;
inline constexpr int kErrNotAvailable = -7;
inline constexpr int kErrTriggerMode = -10;
inline constexpr int kErrShutter = -13;
inline constexpr int kErrFilter = -14;
inline constexpr int kErrNoTrigger = -99;
inline constexpr int kErrTimeout = -258;
inline constexpr int kErrAverage = -301;
inline constexpr int kErrHalfWidth = -302;

inline constexpr int kTriggerReset = 10;
inline constexpr int kTriggerInternal = 11;
inline constexpr int kTriggerExternal = 12;

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
