// The simulated backend: a bench of up to ten virtual units behind the
// driver interface, with the text command language of README.md.
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_SIM_DRIVER_H
#define QUILLON_DEVICELIB_DRIVER_SIM_SIM_DRIVER_H

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include "driver.h"
#include "sim/bench.h"
#include "sim/virtual_unit.h"

namespace ov::sim {

// Results of SimulatorControl::command.
inline constexpr int kCommandOk = 1;
inline constexpr int kCommandUnknown = -1;
inline constexpr int kCommandMalformed = -2;
inline constexpr int kCommandNoUnit = -3;
inline constexpr int kCommandBenchError = -4;

class SimDriver final : public driver::Driver, public driver::SimulatorControl {
public:
    // A bench that failed to load gives a driver without units that says why.
    explicit SimDriver(const BenchResult &bench);

    driver::DeviceHandle open(int slot) override;
    void close(driver::DeviceHandle handle) override;
    bool control(driver::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                 std::span<std::uint8_t> out, std::uint32_t &bytesReturned) override;
    driver::WaitStatus bulkReadWait(driver::DeviceHandle handle, std::uint32_t pipe,
                                    std::span<std::uint8_t> out, int timeoutMs,
                                    std::uint32_t &bytesReturned) override;
    std::uint64_t connectionOf(driver::DeviceHandle handle) const override;
    bool pipeRecordUses64BitLayout() const override;
    driver::SimulatorControl *simulator() override { return this; }

    int command(std::string_view line, std::string &reply) override;
    std::string statusMessage() const override;

    // The unit of a slot (null when none); it stays valid while held.
    std::shared_ptr<VirtualUnit> unit(int slot) const;
    // Replaces all units; the old ones are unplugged first, so a pending read fails.
    void installBench(const BenchConfig &bench);
    // Replaces the bench, or keeps the old one and returns false with the reason.
    bool loadBench(const BenchResult &bench, std::string &reply);

private:
    std::shared_ptr<VirtualUnit> unitOfHandle(driver::DeviceHandle handle,
                                              std::uint64_t &generation) const;
    std::uint64_t newGeneration();
    int unitCommand(const std::vector<std::string_view> &words, std::string &reply);
    int setCommand(VirtualUnit &unit, const std::vector<std::string_view> &words,
                   std::string &reply);
    std::string listUnits() const;

    mutable std::mutex mutex_; // guards the unit table, not the units
    std::array<std::shared_ptr<VirtualUnit>, driver::kSlotCount> units_;
    bool pipeRecord64_ = false;
    std::string status_;
    std::uint64_t nextGeneration_ = 1;
};

} // namespace ov::sim

#endif
