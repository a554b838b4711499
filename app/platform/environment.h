// Setting and clearing environment variables of this process, on every
// platform the program builds for (Windows has no setenv).
#ifndef QUILLON_APP_PLATFORM_ENVIRONMENT_H
#define QUILLON_APP_PLATFORM_ENVIRONMENT_H

#include <cstdlib>
#include <string>

namespace quillon::platform {

inline bool setEnvironment(const std::string &name, const std::string &value) {
#ifdef _WIN32
    return _putenv_s(name.c_str(), value.c_str()) == 0;
#else
    return setenv(name.c_str(), value.c_str(), 1) == 0;
#endif
}

inline bool clearEnvironment(const std::string &name) {
#ifdef _WIN32
    // An empty value removes the variable there.
    return _putenv_s(name.c_str(), "") == 0;
#else
    return unsetenv(name.c_str()) == 0;
#endif
}

} // namespace quillon::platform

#endif
