// The backend's Windows calls on kernel32. Handles are opened for
// overlapped requests, so every request carries an OVERLAPPED with an event
// of its own and is waited for here.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "win32/ezusb_api.h"

#include <algorithm>
#include <limits>
#include <mutex>

namespace ov::win32 {
namespace {

// A plain request that has not finished by then is given up: the driver's
// own time-outs come long before, this only keeps a unit that never answers
// from holding the program.
constexpr DWORD kRequestLimitMs = 10000;

HANDLE toHandle(NativeHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string systemText(DWORD code) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string result(text, length);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' ||
                               result.back() == '.' || result.back() == ' ')) {
        result.pop_back();
    }
    return result;
}

OpenError classify(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
        return OpenError::NotPresent;
    case ERROR_ACCESS_DENIED:
        return OpenError::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return OpenError::InUse;
    default:
        return OpenError::Other;
    }
}

// A manual-reset event, the kind an overlapped request signals.
class Event {
public:
    Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

DWORD lengthOf(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

// Issues the request and waits at most waitMs for it; a request still
// pending then is cancelled and the cancel waited for, since the driver
// writes into `out` until it lets go of the request.
driver::WaitStatus request(HANDLE device, std::uint32_t code, std::span<const std::uint8_t> in,
                           std::span<std::uint8_t> out, DWORD waitMs, std::uint32_t &returned) {
    returned = 0;
    Event event;
    if (event.get() == nullptr) {
        return driver::WaitStatus::Failed;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    // The input record is only read by the driver.
    void *input = in.empty() ? nullptr : const_cast<std::uint8_t *>(in.data());
    void *output = out.empty() ? nullptr : out.data();
    DWORD transferred = 0;
    if (!DeviceIoControl(device, code, input, lengthOf(in.size()), output, lengthOf(out.size()),
                         nullptr, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING) {
            return driver::WaitStatus::Failed;
        }
        const DWORD waited = WaitForSingleObject(event.get(), waitMs);
        if (waited != WAIT_OBJECT_0) {
            CancelIoEx(device, &overlapped);
            // Finished before the cancel took: the data is there.
            if (GetOverlappedResult(device, &overlapped, &transferred, TRUE)) {
                returned = transferred;
                return driver::WaitStatus::Completed;
            }
            return waited == WAIT_TIMEOUT && GetLastError() == ERROR_OPERATION_ABORTED
                       ? driver::WaitStatus::TimedOut
                       : driver::WaitStatus::Failed;
        }
    }
    if (!GetOverlappedResult(device, &overlapped, &transferred, FALSE)) {
        return driver::WaitStatus::Failed;
    }
    returned = transferred;
    return driver::WaitStatus::Completed;
}

class KernelEzusbApi final : public EzusbApi {
public:
    OpenResult openDevice(const std::string &name) override {
        const HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            return {kNoNativeHandle, classify(code), code, systemText(code)};
        }
        return {reinterpret_cast<NativeHandle>(handle), OpenError::None, 0, {}};
    }

    void closeHandle(NativeHandle handle) override {
        if (handle != kNoNativeHandle) {
            CloseHandle(toHandle(handle));
        }
    }

    bool ioControl(NativeHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                   std::span<std::uint8_t> out, std::uint32_t &returned) override {
        return request(toHandle(handle), code, in, out, kRequestLimitMs, returned) ==
               driver::WaitStatus::Completed;
    }

    driver::WaitStatus overlappedRequest(NativeHandle handle, std::uint32_t code,
                                         std::span<const std::uint8_t> in,
                                         std::span<std::uint8_t> out, int timeoutMs,
                                         std::uint32_t &returned) override {
        // INFINITE (all bits set) is never a time-out of ours.
        const DWORD wait = static_cast<DWORD>(
            std::min<long long>(std::max(timeoutMs, 0), static_cast<long long>(INFINITE) - 1));
        return request(toHandle(handle), code, in, out, wait, returned);
    }

    // The process's kind does not change: the system is asked once.
    bool isWow64Process() override {
        std::call_once(asked_, [this] { wow64_ = askWow64(); });
        return wow64_;
    }

private:
    // Looked up by name: systems without it have no 32-bit layer either.
    static bool askWow64() {
        const HMODULE kernel = GetModuleHandleA("kernel32");
        if (kernel == nullptr) {
            return false;
        }
        const FARPROC found = GetProcAddress(kernel, "IsWow64Process");
        if (found == nullptr) {
            return false;
        }
        using IsWow64 = BOOL(WINAPI *)(HANDLE, PBOOL);
        const auto isWow64 = reinterpret_cast<IsWow64>(reinterpret_cast<void (*)()>(found));
        BOOL wow64 = FALSE;
        return isWow64(GetCurrentProcess(), &wow64) != FALSE && wow64 != FALSE;
    }

    std::once_flag asked_;
    bool wow64_ = false;
};

} // namespace

std::unique_ptr<EzusbApi> makeKernelEzusbApi() {
    return std::make_unique<KernelEzusbApi>();
}

} // namespace ov::win32
