#include "sim/sim_driver.h"

#include <climits>

namespace ov::sim {
namespace {

// Handles are small integers: slot + 10 * generation. A handle made before an
// unplug names an old generation and is dead afterwards.
constexpr std::uint64_t kGenerationLimit = INT_MAX / driver::kSlotCount - 1;

} // namespace

SimDriver::SimDriver(const BenchResult &bench) {
    if (bench.bench) {
        installBench(*bench.bench);
    } else {
        status_ = "Simulated units: " + bench.error + " (no units)";
    }
}

std::uint64_t SimDriver::newGeneration() {
    const auto generation = nextGeneration_;
    nextGeneration_ = nextGeneration_ >= kGenerationLimit ? 1 : nextGeneration_ + 1;
    return generation;
}

void SimDriver::installBench(const BenchConfig &bench) {
    std::array<std::shared_ptr<VirtualUnit>, driver::kSlotCount> fresh;
    {
        std::lock_guard lock(mutex_);
        for (const auto &config : bench.units) {
            if (config.slot >= 0 && config.slot < driver::kSlotCount) {
                fresh[static_cast<std::size_t>(config.slot)] =
                    std::make_shared<VirtualUnit>(config, newGeneration(), bench.pipeRecord64);
            }
        }
        fresh.swap(units_);
        pipeRecord64_ = bench.pipeRecord64;
        status_.clear();
    }
    for (const auto &old : fresh) {
        if (old) {
            old->unplug();
        }
    }
}

bool SimDriver::loadBench(const BenchResult &bench, std::string &reply) {
    if (!bench.bench) {
        reply = "bench not loaded, the old bench stays: " + bench.error;
        return false;
    }
    installBench(*bench.bench);
    reply = "bench loaded: " + std::to_string(bench.bench->units.size()) + " unit(s)";
    return true;
}

std::string SimDriver::statusMessage() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::shared_ptr<VirtualUnit> SimDriver::unit(int slot) const {
    if (slot < 0 || slot >= driver::kSlotCount) {
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    return units_[static_cast<std::size_t>(slot)];
}

std::shared_ptr<VirtualUnit> SimDriver::unitOfHandle(driver::DeviceHandle handle,
                                                     std::uint64_t &generation) const {
    if (handle < 0) {
        return nullptr;
    }
    generation = static_cast<std::uint64_t>(handle / driver::kSlotCount);
    return unit(handle % driver::kSlotCount);
}

driver::DeviceHandle SimDriver::open(int slot) {
    const auto u = unit(slot);
    std::uint64_t generation = 0;
    if (!u || !u->openable(generation)) {
        return driver::kInvalidHandle;
    }
    return static_cast<driver::DeviceHandle>(generation * driver::kSlotCount +
                                             static_cast<std::uint64_t>(slot));
}

void SimDriver::close(driver::DeviceHandle) {
    // Handles hold nothing: closing is a no-op, and a stale handle simply stops working.
}

bool SimDriver::control(driver::DeviceHandle handle, std::uint32_t code,
                        std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                        std::uint32_t &bytesReturned) {
    bytesReturned = 0;
    std::uint64_t generation = 0;
    const auto u = unitOfHandle(handle, generation);
    return u && u->control(generation, code, in, out, bytesReturned);
}

driver::WaitStatus SimDriver::bulkReadWait(driver::DeviceHandle handle, std::uint32_t pipe,
                                           std::span<std::uint8_t> out, int timeoutMs,
                                           std::uint32_t &bytesReturned) {
    bytesReturned = 0;
    std::uint64_t generation = 0;
    const auto u = unitOfHandle(handle, generation);
    if (!u) {
        return driver::WaitStatus::Failed;
    }
    return u->bulkReadWait(generation, pipe, out, timeoutMs, bytesReturned);
}

// The plug generation is the connection: a replug gives the unit a new one.
std::uint64_t SimDriver::connectionOf(driver::DeviceHandle handle) const {
    return handle < 0 ? 0 : static_cast<std::uint64_t>(handle / driver::kSlotCount);
}

bool SimDriver::pipeRecordUses64BitLayout() const {
    std::lock_guard lock(mutex_);
    return pipeRecord64_;
}

} // namespace ov::sim
