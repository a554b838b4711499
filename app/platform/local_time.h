// The local calendar time of a moment, on every platform the program builds for.
#ifndef QUILLON_APP_PLATFORM_LOCAL_TIME_H
#define QUILLON_APP_PLATFORM_LOCAL_TIME_H

#include <ctime>

namespace quillon::platform {

inline std::tm localTime(std::time_t moment) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &moment);
#else
    localtime_r(&moment, &local);
#endif
    return local;
}

} // namespace quillon::platform

#endif
