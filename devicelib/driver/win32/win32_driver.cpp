#include "win32/win32_driver.h"

#include "record_bytes.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

namespace ov::win32 {
namespace {

std::string refusal(const std::string &name, const OpenResult &result) {
    const std::string start = "A unit is present at " + name + " but cannot be opened: ";
    switch (result.error) {
    case OpenError::AccessDenied:
        return start +
               "access denied. Another program may be using it; close that program and scan "
               "again.";
    case OpenError::InUse:
        return start + "it is in use by another program; close that program and scan again.";
    case OpenError::Other:
        break;
    case OpenError::None:
    case OpenError::NotPresent:
        return {};
    }
    std::string why = result.systemText;
    while (!why.empty() && (why.back() == '.' || why.back() == ' ')) {
        why.pop_back();
    }
    if (why.empty()) {
        why = "system error";
    }
    return start + why + " (error " + std::to_string(result.systemCode) + ").";
}

// The driver's count of bytes, never more than the caller's buffer holds.
std::uint32_t boundedBy(std::span<const std::uint8_t> out, std::uint32_t returned) {
    return std::min<std::uint32_t>(returned, static_cast<std::uint32_t>(out.size()));
}

} // namespace

std::string deviceNameOf(int slot) {
    if (slot < 0 || slot >= driver::kSlotCount) {
        return {};
    }
    std::array<char, 32> name{};
    std::snprintf(name.data(), name.size(), "\\\\.\\Ezusb-%d", slot);
    return name.data();
}

Win32Driver::Win32Driver(std::unique_ptr<EzusbApi> api) : api_(std::move(api)) {}

// A handle left open by a caller is not left to the process's end.
Win32Driver::~Win32Driver() {
    for (const auto &[handle, native] : open_) {
        api_->closeHandle(native);
    }
}

driver::DeviceHandle Win32Driver::open(int slot) {
    const std::string name = deviceNameOf(slot);
    if (name.empty()) {
        return driver::kInvalidHandle;
    }
    const OpenResult result = api_->openDevice(name);
    std::lock_guard lock(mutex_);
    problems_[static_cast<std::size_t>(slot)] =
        result.handle == kNoNativeHandle ? refusal(name, result) : std::string{};
    if (result.handle == kNoNativeHandle) {
        return driver::kInvalidHandle;
    }
    // Handle numbers are not reused while in use, so a stale one reaches nothing.
    while (open_.contains(nextHandle_)) {
        nextHandle_ = nextHandle_ == INT_MAX ? 1 : nextHandle_ + 1;
    }
    const driver::DeviceHandle handle = nextHandle_;
    nextHandle_ = nextHandle_ == INT_MAX ? 1 : nextHandle_ + 1;
    open_.emplace(handle, result.handle);
    return handle;
}

void Win32Driver::close(driver::DeviceHandle handle) {
    NativeHandle native = kNoNativeHandle;
    {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) {
            return;
        }
        native = found->second;
        open_.erase(found);
    }
    api_->closeHandle(native);
}

NativeHandle Win32Driver::nativeOf(driver::DeviceHandle handle) const {
    std::lock_guard lock(mutex_);
    const auto found = open_.find(handle);
    return found == open_.end() ? kNoNativeHandle : found->second;
}

bool Win32Driver::control(driver::DeviceHandle handle, std::uint32_t code,
                          std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                          std::uint32_t &bytesReturned) {
    bytesReturned = 0;
    const NativeHandle native = nativeOf(handle);
    if (native == kNoNativeHandle) {
        return false;
    }
    std::uint32_t returned = 0;
    const bool ok = api_->ioControl(native, code, in, out, returned);
    bytesReturned = boundedBy(out, returned);
    return ok;
}

driver::WaitStatus Win32Driver::bulkReadWait(driver::DeviceHandle handle, std::uint32_t pipe,
                                             std::span<std::uint8_t> out, int timeoutMs,
                                             std::uint32_t &bytesReturned) {
    bytesReturned = 0;
    const NativeHandle native = nativeOf(handle);
    if (native == kNoNativeHandle) {
        return driver::WaitStatus::Failed;
    }
    const auto record = driver::pipeRecordOf(pipe);
    std::uint32_t returned = 0;
    const driver::WaitStatus status = api_->overlappedRequest(
        native, driver::kIoctlBulkRead, record, out, std::max(timeoutMs, 0), returned);
    if (status == driver::WaitStatus::Completed) {
        bytesReturned = boundedBy(out, returned);
    }
    return status;
}

bool Win32Driver::pipeRecordUses64BitLayout() const {
    return api_->isWow64Process();
}

std::string Win32Driver::unitProblem() const {
    std::lock_guard lock(mutex_);
    std::string text;
    for (const std::string &problem : problems_) {
        if (!problem.empty()) {
            text += (text.empty() ? "" : "\n") + problem;
        }
    }
    return text;
}

} // namespace ov::win32
