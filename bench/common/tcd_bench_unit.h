// The simulated TCD1304 unit the benchmarks run on, and the simulator's
// command call.
#ifndef QUILLON_BENCH_COMMON_TCD_BENCH_UNIT_H
#define QUILLON_BENCH_COMMON_TCD_BENCH_UNIT_H

#include "ovdbusbm.h"

#include <string>

namespace quillon::bench {

inline constexpr const char *kTcdBench =
    "[Bench]\n[Unit]\nSlot=0\nProductId=0x0322\nMaxPacket=1024\nChannelId=0\n"
    "Source=dark\nTiming=fast\nSeed=9\n"
    "Eeprom=[Factory Default]\nEeprom=Name=QX20-BENCH\nEeprom=CCD=TCD1304\n"
    "Eeprom=IntTime=3500\nEeprom=BadPixels=2051\nEeprom=[Cal Data]\nEeprom=PointCount=6\n"
    "Eeprom=Data 1=3650;374\nEeprom=Data 2=4047;597\nEeprom=Data 3=4358;772\n"
    "Eeprom=Data 4=5461;1395\nEeprom=Data 5=6965;2254\nEeprom=Data 6=8115;2918\n";

inline bool sim(const std::string &command) {
    char reply[512] = {};
    return ovSimCommand(command.c_str(), reply, sizeof reply) == 1;
}

} // namespace quillon::bench

#endif
