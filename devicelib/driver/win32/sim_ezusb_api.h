// The simulated bench behind the Windows backend: device names
// "\\.\Ezusb-<slot>" open the virtual unit of that slot, and the driver
// requests go to it as they would to the real driver (OV_DRIVER=sim-win32).
#ifndef QUILLON_DEVICELIB_DRIVER_WIN32_SIM_EZUSB_API_H
#define QUILLON_DEVICELIB_DRIVER_WIN32_SIM_EZUSB_API_H

#include <memory>

#include "sim/sim_driver.h"
#include "win32/ezusb_api.h"

namespace ov::win32 {

class SimEzusbApi final : public EzusbApi {
public:
    explicit SimEzusbApi(std::unique_ptr<sim::SimDriver> bench);

    OpenResult openDevice(const std::string &name) override;
    void closeHandle(NativeHandle handle) override;
    bool ioControl(NativeHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                   std::span<std::uint8_t> out, std::uint32_t &returned) override;
    driver::WaitStatus overlappedRequest(NativeHandle handle, std::uint32_t code,
                                         std::span<const std::uint8_t> in,
                                         std::span<std::uint8_t> out, int timeoutMs,
                                         std::uint32_t &returned) override;
    // The bench's record layout stands for the process's kind.
    bool isWow64Process() override { return bench_->pipeRecordUses64BitLayout(); }
    driver::SimulatorControl *simulator() override { return bench_.get(); }

    sim::SimDriver &bench() { return *bench_; }

private:
    std::unique_ptr<sim::SimDriver> bench_;
};

} // namespace ov::win32

#endif
