// The shipped colour and photometry tables: names, byte layouts and the
// colour settings word. Shared by the colour engine, which reads them, and
// the build tool that writes them, so that both agree on every offset.
//
// "OVColor.mem": six weighting sets (illuminant A, C, D65 x observer 2, 10
// degree) of 45 triples each, then the spectrum locus. Triples 0-42 are the
// X, Y, Z weights at 360, 370, ..., 780 nm, triple 43 their column sums,
// triple 44 the white point of the set.
// "OVBlack.mem": u, v (CIE 1960) of Planckian radiators of 1000 K to 9999 K.
// "OVPLE.mem": V(lambda) at 380, 390, ..., 770 nm.
// All values are little-endian float32, written one by one.
#ifndef QUILLON_APP_PHOTOMETRY_COLOUR_TABLES_H
#define QUILLON_APP_PHOTOMETRY_COLOUR_TABLES_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillon::colour {

inline constexpr const char *kColorFile = "OVColor.mem";
inline constexpr const char *kLocusFile = "OVBlack.mem";
inline constexpr const char *kPhotopicFile = "OVPLE.mem";
// The reference lamp's table of the irradiance calibration (photometry/irradiance_math.h).
inline constexpr const char *kLampTableFile = "OVlamp.txt";
inline constexpr std::array<const char *, 4> kShippedFiles{kColorFile, kLocusFile, kPhotopicFile,
                                                           kLampTableFile};

inline constexpr int kIlluminants = 3; // A, C, D65
inline constexpr int kObservers = 2;   // CIE 1931 2 degree, CIE 1964 10 degree
inline constexpr std::array<const char *, kIlluminants> kIlluminantNames{"A", "C", "D65"};
inline constexpr std::array<const char *, kObservers> kObserverNames{"CIE 1931 (2 degree)",
                                                                     "CIE 1964 (10 degree)"};

// Weighting sets: 360-780 nm at 10 nm.
inline constexpr int kWeightFirstNm = 360;
inline constexpr int kWeightStepNm = 10;
inline constexpr int kWeightRows = 43;
inline constexpr int kSumTriple = 43;
inline constexpr int kWhiteTriple = 44;
inline constexpr int kSetTriples = 45;
// In memory only: the column sums of the rows 400-700 nm, the white of the tile colour.
inline constexpr int kDisplayWhiteTriple = 45;
inline constexpr int kTableTriples = 46;
inline constexpr std::size_t kSetBytes = kSetTriples * 3 * 4;

// The spectrum locus: 380-780 nm at 5 nm, (x, y) pairs.
inline constexpr int kLocusFirstNm = 380;
inline constexpr int kLocusStepNm = 5;
inline constexpr int kLocusPoints = 81;
inline constexpr std::size_t kLocusOffset = kIlluminants * kObservers * kSetBytes;
inline constexpr std::size_t kLocusBytes = kLocusPoints * 2 * 4;
inline constexpr std::size_t kColorFileBytes = kLocusOffset + kLocusBytes;

// Where the set of an illuminant and observer starts in "OVColor.mem".
constexpr std::size_t setOffset(int illuminant, int observer) {
    return static_cast<std::size_t>(illuminant) * kObservers * kSetBytes +
           static_cast<std::size_t>(observer) * kSetBytes;
}

// The colour computation: 400-700 nm at 10 nm, rows 4 to 34 of a set.
inline constexpr int kColourFirstNm = 400;
inline constexpr int kColourLastNm = 700;
inline constexpr int kColourStepNm = 10;
inline constexpr int kColourRows = 31;
inline constexpr int kFirstColourRow = (kColourFirstNm - kWeightFirstNm) / kWeightStepNm;

// "OVBlack.mem": record k is the radiator of kFirstLocusKelvin + k.
inline constexpr int kFirstLocusKelvin = 1000;
inline constexpr int kLocusRecords = 9000;
inline constexpr std::size_t kLocusFileBytes = kLocusRecords * 2 * 4;

// "OVPLE.mem".
inline constexpr int kPhotopicFirstNm = 380;
inline constexpr int kPhotopicStepNm = 10;
inline constexpr int kPhotopicValues = 40;
inline constexpr std::size_t kPhotopicFileBytes = kPhotopicValues * 4;

// The colour settings word (InitColor): bits 0-4 illuminant, bits 5-9 observer.
inline constexpr int kIlluminantD65 = 2;
inline constexpr int kObserver2Degree = 0;
constexpr int illuminantOf(std::uint32_t word) {
    return static_cast<int>(word & 0x1Fu);
}
constexpr int observerOf(std::uint32_t word) {
    return static_cast<int>((word >> 5) & 0x1Fu);
}
// The other bits of the word stay as they are.
constexpr std::uint32_t withSelection(std::uint32_t word, int illuminant, int observer) {
    return (word & ~0x3FFu) | (static_cast<std::uint32_t>(illuminant) & 0x1Fu) |
           (static_cast<std::uint32_t>(observer) & 0x1Fu) << 5;
}

} // namespace quillon::colour

#endif
