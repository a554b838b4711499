// The colour engine: tristimulus values and every colour coordinate the
// program shows, from a reflectance or transmittance in % at 400, 410, ...,
// 700 nm (the first 31 values of the display grid), and the correlated
// colour temperature of a light by a search over the stored Planckian locus.
//
// The weighting set of the selected illuminant and observer comes from
// "OVColor.mem", the locus from "OVBlack.mem", both in the program folder
// (colour_tables.h gives the layouts). A file that is missing, short, of the
// wrong size or holds non-numbers is refused with a message and the previous
// table stays; before any table has loaded, nothing is computed.
//
// L*a*b* follows CIE 15: each of X/Xn, Y/Yn, Z/Zn below 0.008856 takes the
// linear form on its own (not all three together when one is small).
//
// A quantity that is undefined for the sample (a black sample's x, y, u', v',
// u*, v* and Hunter a, b divide by zero; a negative Y has no square root) is
// given as 0, so that no readout or export ever shows "nan" or "inf".
#ifndef QUILLON_APP_PHOTOMETRY_COLOR_CALC_H
#define QUILLON_APP_PHOTOMETRY_COLOR_CALC_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "photometry/colour_tables.h"
#include "platform/prompter.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

namespace quillon {

namespace colour_messages {
inline constexpr const char *kNoColorSet = "Can not open the ColorSet file!";
inline constexpr const char *kColorConstant = "Error in Color Constant";
inline constexpr const char *kXyz = "Error in xyz";
inline constexpr const char *kNoSetForSelection =
    "The ColorSet file has no table for the selected illuminant and observer!";
inline constexpr const char *kNoLocusFile = "Can not open the BlackBody locus file OVBlack.mem!";
inline constexpr const char *kLocusFileSize =
    "The BlackBody locus file OVBlack.mem has the wrong size!";
inline constexpr const char *kLocusNotWritten = "Can not write the BlackBody locus file!";
} // namespace colour_messages

struct ColorValues {
    float X = 0, Y = 0, Z = 0;
    float x = 0, y = 0, z = 0;
    float previousX = 0, previousY = 0, previousZ = 0; // previous x, y, z
    float previousTristimulusY = 0;                    // previous Y
    float uPrime = 0, vPrime = 0;                      // CIE 1976 UCS
    float L = 0, a = 0, b = 0;                         // CIE L*a*b*
    float referenceL = 0, referenceA = 0, referenceB = 0;
    float Luv = 0, uStar = 0, vStar = 0; // CIE L*u*v*
    float dE = 0;
    float u = 0, v = 0; // CIE 1960 UCS
    float C = 0, h = 0; // chroma, hue angle in radians
    float hunterL = 0, hunterA = 0, hunterB = 0;
};

class ColorCalc {
public:
    static constexpr int kPreviousMeasurement = 1;
    static constexpr int kUserReference = 0;

    ColorCalc(ChannelState &state, Prompter &userPrompter);

    // Loads the weighting set of the colour settings word and the locus.
    OpResult LoadColorTable();
    // Everything from the first 31 grid values. False (nothing changed) when
    // no table has loaded or the grid is not 400-700 nm at 10 nm.
    [[nodiscard]] bool ComputeColor();
    // Fills the sampled spectrum (400-700 nm at 10 nm) with a Planck curve
    // of `kelvin`, or from the display grid, resampled and divided by 100.
    void SampleSpectrum(float kelvin, bool planck);
    // X, Y, Z, x, y, z, u, v from the sampled spectrum.
    void ComputeFromSample();
    // Selects D65 / 2 degree in the colour settings (it stays there) and loads it.
    OpResult PrepareColorTemp();
    // Writes "OVBlack.mem" into the program folder, with the D65 / 2 degree set.
    OpResult MakeLocusFile();
    // The colour temperature in K of the grid (or, with `useCurrent`, of the
    // last computation): the nearest locus record, ties to the lower
    // temperature. None when the locus file cannot be used (reported) or the
    // light has no colour (X + Y + Z not above 0).
    std::optional<int> FindColorTemp(bool useCurrent);
    // The display colour of the last X, Y, Z: red in the low byte.
    std::uint32_t TileColor() const;
    static std::uint32_t WavelengthColor(float wavelengthNm);

    const ColorValues &Values() const { return values; }
    // 1: dE against the previous measurement, else against the user reference.
    void SetReference(int source, float L, float a, float b);
    int ReferenceSource() const { return referenceSource; }
    std::array<float, 3> UserReference() const { return userReference; }

    // The loaded set: 46 triples (45: the white of the tile colour).
    std::span<const float> ColourTable() const { return table; }
    // 81 (x, y) points of the spectrum locus.
    std::span<const float> LocusTable() const { return locus; }
    std::span<const float> SampledSpectrum() const { return sampled; }
    bool TableLoaded() const { return loaded; }
    // trunc((grid end - grid start) / 10) + 1 of the grid last computed on.
    int GridSteps() const { return gridSteps; }
    // Set while a table is being replaced; the colour view skips drawing then.
    bool Busy() const { return busy.load(); }

private:
    struct Tristimulus {
        float X, Y, Z;
    };
    void chromaticity(Tristimulus t);
    void colourSpaces();
    bool onColourGrid() const;
    float weight(int row, int column) const {
        return table[static_cast<std::size_t>(row * 3 + column)];
    }

    ChannelState &s;
    Prompter &prompter;
    ColorValues values;
    std::array<float, colour::kTableTriples * 3> table{};
    std::array<float, colour::kLocusPoints * 2> locus{};
    std::array<float, colour::kColourRows> sampled{};
    std::array<float, 3> userReference{};
    bool loaded = false;
    bool chromaticityDefined = false;
    int referenceSource = kPreviousMeasurement;
    int gridSteps = 1;
    std::atomic<bool> busy{false};
};

} // namespace quillon

#endif
