/* The C interface of the device-access library OVdbUSBm.
 *
 * Every export returns a 16-bit signed result code (OV_OK, OV_NO, or a
 * negative OV_ERR_* code) unless stated. Integer arguments are passed as
 * 32-bit ints; where a value is 16-bit only its low 16 bits are used, and
 * where it is a byte only its low byte is sent. A "channel" is the 0-based
 * channel number, mapped by the library to a device slot 0..9.
 *
 * Buffers are owned and sized by the caller. A null pointer where a buffer
 * is needed gives OV_ERR_REQUEST. A channel that maps to no unit gives
 * OV_ERR_NO_DEVICE, or OV_ERR_REQUEST from the commands that send at once.
 * Usable from C, C++ and ctypes.
 */
#ifndef QUILLON_DEVICELIB_INCLUDE_OVDBUSBM_H
#define QUILLON_DEVICELIB_INCLUDE_OVDBUSBM_H

#if defined(_WIN32)
#if defined(OVDBUSBM_BUILDING)
/* OVdbUSBm.def alone says what the DLL exports, and under which ordinal. */
#define OV_API
#else
#define OV_API __declspec(dllimport)
#endif
#define OV_CALL __stdcall
#else
#define OV_API __attribute__((visibility("default")))
#define OV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes shared by all exports. */
#define OV_OK 1
#define OV_NO 0                   /* a negative answer: older unit, CCD type 0 */
#define OV_ERR_REQUEST (-1)       /* a driver request failed */
#define OV_ERR_NO_DEVICE (-2)     /* unit does not open / none found / EEPROM unreadable */
#define OV_ERR_FILE (-3)          /* file cannot be opened, or EEPROM text empty */
#define OV_ERR_NO_DATA (-4)       /* EEPROM holds no data, or a key is missing */
#define OV_ERR_CCD_TYPE (-5)      /* CCD type outside 0..5; ovPolyFit cannot solve */
#define OV_ERR_AUTO_DARK (-6)     /* auto-dark switch not 0 or 1 */
#define OV_ERR_NOT_AVAILABLE (-7) /* integration mode or edge not for this CCD type */
#define OV_ERR_TRIGGER_MODE (-10) /* trigger mode not 0..4 */
#define OV_ERR_SHUTTER (-13)      /* shutter position not 0 or 1 */
#define OV_ERR_FILTER (-14)       /* filter position not 1..6 */
/* The frame reads: the unit was plugged in again (or power-cycled) since its
 * channel was initialised, so it runs on its power-on settings. Nothing is
 * read; every read answers this until ovInitGivenChannel (or
 * ovInitAllChannels) has initialised the channel again, after which the
 * caller sends its integration time, trigger mode and other settings anew. */
#define OV_ERR_UNIT_RESET (-20)
#define OV_ERR_NO_TRIGGER (-99)   /* external trigger: no frame yet */
#define OV_ERR_TIMEOUT (-258)     /* frame read timed out (integration time + 1000 ms) */
#define OV_ERR_AVERAGE (-301)     /* averaging count not 1..100 */
#define OV_ERR_HALFWIDTH (-302)   /* smoothing half-width not 0 or 2..100 */

/* CCD types (the main program calls them BoardType). */
#define OV_CCD_ILX511 0    /* 2080 samples */
#define OV_CCD_TCD1304 1   /* 3680 samples, integration time in 10 us steps */
#define OV_CCD_S7031 2     /* 1056 samples */
#define OV_CCD_INGAAS512 3 /* 512 samples */
#define OV_CCD_S10420 4    /* 2080 samples */
#define OV_CCD_INGAAS256 5 /* 256 samples */

/* Trigger modes recorded by ovSetTrgEx. */
#define OV_TRIGGER_RESET 10
#define OV_TRIGGER_INTERNAL 11
#define OV_TRIGGER_EXTERNAL 12

#define OV_MAX_CHANNELS 10
/* ovDevInfo writes at most this many bytes (terminator included) into each buffer. */
#define OV_DEVINFO_TEXT_SIZE 64
/* A PointCount above this is refused (OV_ERR_NO_DATA). */
#define OV_MAX_CAL_POINTS 256

/* Channel table and transport. */
OV_API short OV_CALL ovTestAllChannels(int useChannelIds);
OV_API short OV_CALL ovSetupAllChannels(void);
OV_API short OV_CALL ovSetupGivenChannel(int channel);
OV_API short OV_CALL ovInitAllChannels(int ccdType);
OV_API short OV_CALL ovInitGivenChannel(int ccdType, int channel);
OV_API short OV_CALL ovCloseAllChannels(void);
OV_API short OV_CALL ovCloseGivenChannel(int channel);
OV_API short OV_CALL ovReadChannelID(short *id, int channel);
OV_API short OV_CALL ovWriteChannelID(int id, int channel);
/* ids: room for OV_MAX_CHANNELS entries. */
OV_API short OV_CALL ovGetAssignedChannelID(short *ids);
OV_API short OV_CALL ovCheckSpeedMode(int *packetSize, int channel);
OV_API short OV_CALL ovGetDevIsNew(int channel);

/* Acquisition. frame: room for the readout length of the channel's CCD type. */
OV_API short OV_CALL ovSetIntEx(int value, int channel);
OV_API short OV_CALL ovSetDblIntEx(double timeMs, int channel);
OV_API short OV_CALL ovSetTrgEx(int mode, int channel);
OV_API short OV_CALL ovSetIntMode(int mode, double timeMs, int channel);
OV_API short OV_CALL ovSetExtEdgeMode(int edge, int channel);
OV_API short OV_CALL ovSelTrigMode(int mode, int channel);
OV_API short OV_CALL ovReadDataEx(int *frame, int channel);
/* frames below 1 give OV_ERR_AVERAGE. Under external trigger the averaging
 * reads wait up to 2 s for each frame, then give OV_ERR_NO_TRIGGER. */
OV_API short OV_CALL ovReadDataAdvEx(int *frame, int frames, int strength, int badCount,
                                     const short *badList, int channel);
OV_API short OV_CALL ovReadDataExT(int *frame, int channel);
OV_API short OV_CALL ovDupdate(int count, int halfWidth, int channel);
OV_API short OV_CALL ovAutoDark(int on, int channel);
OV_API short OV_CALL ovSetSkip(int value, int channel);
OV_API short OV_CALL ovSetSafeMemory(int value, int channel);
OV_API short OV_CALL ovSetTEC(int value, int channel);
OV_API short OV_CALL ovSelectCF(int value, int channel);
OV_API short OV_CALL ovResisterSetup(int value, int channel);
OV_API short OV_CALL ovSetShutterPos(int position, int channel);
OV_API short OV_CALL ovGetShutterPos(int channel);
OV_API short OV_CALL ovFilterWheel(int position, int channel);

/* EEPROM text and wavelength tables. file may be NULL (the library's text). */
OV_API short OV_CALL ovReadEEPROM(const char *file, int channel);
OV_API short OV_CALL ovWriteEEPROM(const char *file, int channel);
/* Pointer into the library's own text, valid until that text next changes. */
OV_API const char *OV_CALL ovGetEEPROMData(void);
OV_API short OV_CALL ovSetEEPROMData(const char *text);
/* model, serial: OV_DEVINFO_TEXT_SIZE bytes each; longer values are cut. */
OV_API short OV_CALL ovDevInfo(char *model, char *serial, int channel);
OV_API short OV_CALL ovGetModel(int channel);
OV_API short OV_CALL ovInsShutter(int channel);
/* table: room for the active pixel count of the CCD type (2048, 3648, 1024, 512, 2048, 256).
 * The table functions give OV_ERR_CCD_TYPE when the points admit no cubic
 * (fewer than four, or all on one pixel). */
OV_API short OV_CALL ovGetWLTable(double *table, int channel);
/* pixels, wavelengths: room for the unit's PointCount entries, at most OV_MAX_CAL_POINTS. */
OV_API short OV_CALL ovGetWLTableADV(double *table, int pixelCount, int *pointCount, double *pixels,
                                     double *wavelengths, int channel);
/* coefficients: order + 1 entries, c[0] the constant term. OV_ERR_CCD_TYPE when
 * the system cannot be solved: fewer points than order + 1, a zero pivot, or
 * an order outside 0..20. */
OV_API short OV_CALL ovPolyFit(const double *x, const double *y, int count, double *coefficients,
                               int order);
OV_API short OV_CALL ovPolyCalc(const double *coefficients, int order, double x, double *result);

/* Extras beside the numbered table. */
typedef void (*OvMessageHook)(const char *text, void *context);
/* Installs the receiver of the library's message box text; NULL restores
 * the default (standard error). */
OV_API void OV_CALL ovSetMessageHook(OvMessageHook hook, void *context);
/* Runs one command of the simulated units; the reply is copied zero-terminated
 * (cut to replySize). Returns 1 or a negative code; without simulated units
 * the reply says so and the result is negative. */
OV_API int OV_CALL ovSimCommand(const char *command, char *reply, int replySize);
/* Why the driver backend finds no usable unit (a unit present that cannot be
 * opened for lack of permission, a bad simulated bench, no USB access), copied
 * zero-terminated (cut to size). Returns the length of the whole text; 0 when
 * there is nothing to explain. */
OV_API int OV_CALL ovDriverStatus(char *text, int size);
/* Short English text of a result code, e.g. "time-out" for OV_ERR_TIMEOUT;
 * "result N" for a code without a meaning. Never NULL. The text of a known
 * code is static; that of an unknown one stays valid until the calling
 * thread asks again. Safe from any thread. */
OV_API const char *OV_CALL ovResultText(int code);

#ifdef __cplusplus
}
#endif

#endif
