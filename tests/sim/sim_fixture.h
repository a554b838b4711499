// Builds a simulated driver from bench text written in a test.
#ifndef QUILLON_TESTS_SIM_SIM_FIXTURE_H
#define QUILLON_TESTS_SIM_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/sim_driver.h"

namespace ov::sim::testing {

inline std::unique_ptr<SimDriver> driverFromBench(const std::string &text) {
    const auto result = parseBench(text, "test-bench.ini", {});
    EXPECT_TRUE(result.bench.has_value()) << result.error;
    return std::make_unique<SimDriver>(result);
}

// One unit on slot 0 with the given extra keys.
inline std::string oneUnit(const std::string &keys) {
    return "[Unit]\nSlot=0\n" + keys;
}

} // namespace ov::sim::testing

#endif
