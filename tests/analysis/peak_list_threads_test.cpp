// The acquisition worker copies the peak list every pass while the
// interface thread rebuilds or clears it: a copy is always a whole list.
#include "analysis/peak_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

using namespace quillon;

TEST(PeakListThreads, ACopyIsEitherEmptyOrAWholeRun) {
    std::vector<float> y(2000, 100.0f);
    for (std::size_t i = 0; i < y.size(); ++i) {
        for (const double centre : {500.0, 1500.0}) {
            const double d = (static_cast<double>(i) - centre) / 5.0;
            y[i] += static_cast<float>(10000.0 * std::exp(-2.77 * d * d));
        }
    }
    PeakSearch search;
    search.values = y;
    search.level = 500.0;
    PeakList list;
    ASSERT_EQ(list.FindPeaks(search), 2);

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread worker([&] {
        std::vector<analysis::Peak> copy;
        std::vector<float> positions;
        while (!done.load()) {
            list.CopyTo(copy);
            positions.clear();
            list.ForEach([&](const analysis::Peak &p) { positions.push_back(p.position); });
            if ((copy.size() != 0 && copy.size() != 2) ||
                (positions.size() != 0 && positions.size() != 2)) {
                torn.fetch_add(1);
            }
        }
    });
    for (int round = 0; round < 2000; ++round) {
        if (round % 3 == 0) {
            list.ClearPeaks();
        } else {
            (void)list.FindPeaks(search);
        }
    }
    done.store(true);
    worker.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(list.Peaks().size(), 2u);
}
