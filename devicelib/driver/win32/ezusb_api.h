// The few Windows calls the Windows backend needs, as an interface of our
// own in portable types: the real implementation calls kernel32 on the
// general-purpose USB driver's devices, the simulated one lets the virtual
// units answer. The backend's mapping is written once against this and is
// built and tested on every platform.
#ifndef QUILLON_DEVICELIB_DRIVER_WIN32_EZUSB_API_H
#define QUILLON_DEVICELIB_DRIVER_WIN32_EZUSB_API_H

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "driver.h"

namespace ov::win32 {

// A kernel handle carried as an integer; -1 is the value of a failed open.
using NativeHandle = std::intptr_t;
inline constexpr NativeHandle kNoNativeHandle = -1;

// Why a device did not open. NotPresent: no device of that name (the slot is
// empty); the others mean a device is there but refused.
enum class OpenError { None, NotPresent, AccessDenied, InUse, Other };

struct OpenResult {
    NativeHandle handle = kNoNativeHandle;
    OpenError error = OpenError::NotPresent;
    std::uint32_t systemCode = 0; // the system's error number, 0 when opened
    std::string systemText;       // the system's wording of it, for messages
};

class EzusbApi {
public:
    virtual ~EzusbApi() = default;

    // Opens a device for write access with write sharing, existing only, for
    // overlapped requests.
    virtual OpenResult openDevice(const std::string &name) = 0;
    virtual void closeHandle(NativeHandle handle) = 0;

    // One device request, waited for until it completes. `out` is the output
    // buffer (it carries the data of a bulk write). False on failure.
    virtual bool ioControl(NativeHandle handle, std::uint32_t code,
                           std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                           std::uint32_t &returned) = 0;

    // One device request waited for at most timeoutMs; one still pending
    // then is cancelled, and the cancel waited for (the buffer is the
    // caller's again on return), giving TimedOut.
    virtual driver::WaitStatus overlappedRequest(NativeHandle handle, std::uint32_t code,
                                                 std::span<const std::uint8_t> in,
                                                 std::span<std::uint8_t> out, int timeoutMs,
                                                 std::uint32_t &returned) = 0;

    // True for a 32-bit process on 64-bit Windows, whose driver lays its
    // records out with 8-byte pointers; false where the system cannot tell.
    virtual bool isWow64Process() = 0;

    // The simulated bench behind a simulated api; null on real devices.
    virtual driver::SimulatorControl *simulator() { return nullptr; }
};

#ifdef _WIN32
// The api on kernel32.
std::unique_ptr<EzusbApi> makeKernelEzusbApi();
#endif

} // namespace ov::win32

#endif
