// The built-in photopic weighting: the CIE 1988 modified 2 degree luminous
// efficiency function V_M(lambda) (CIE 86-1990), 380-780 nm at 1 nm, as
// published (397 nm included, though it looks like a one-digit slip there).
// The definition is generated at build time from resources/data.
#ifndef QUILLON_APP_PHOTOMETRY_PHOTOPIC_TABLES_H
#define QUILLON_APP_PHOTOMETRY_PHOTOPIC_TABLES_H

#include <array>
#include <cstddef>
#include <span>

namespace quillon::colour {

inline constexpr int kVmFirstNm = 380;
inline constexpr int kVmLastNm = 780;
inline constexpr std::size_t kVmValues = 401;

std::span<const float, kVmValues> builtInPhotopicVm();

} // namespace quillon::colour

#endif
