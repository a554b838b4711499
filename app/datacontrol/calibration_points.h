// The point work of a wavelength calibration: typed rows to stored points,
// the residual of every point under the fit the program would use, the
// emission lines grouped for the line chooser, and peaks matched to lines.
#ifndef QUILLON_APP_DATACONTROL_CALIBRATION_POINTS_H
#define QUILLON_APP_DATACONTROL_CALIBRATION_POINTS_H

#include "datacontrol/wavelength_calibration.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// One row of the point table as the operator typed it.
struct PointRow {
    std::string wavelength; // nm
    std::string pixel;
};

// A point as a set stores it: "W;P", W in tenths of a nanometre.
struct StoredPoint {
    int tenthsNm = 0;
    int pixel = 0;
    bool operator==(const StoredPoint &) const = default;
};

// The rows that hold a wavelength and a pixel, both non-zero, in their
// order; the wavelength rounded to tenths of a nm.
std::vector<StoredPoint> storedPointsOfRows(std::span<const PointRow> rows);
std::string pointText(const StoredPoint &point);
// "%6.1f" of tenths of a nm, as the table shows a wavelength.
std::string wavelengthCellText(int tenthsNm);

struct PointResidual {
    double wavelengthNm = 0.0;
    int pixel = 0;
    double fittedNm = 0.0;   // the fit's wavelength at the pixel
    double residualNm = 0.0; // fitted minus given
};
struct CalibrationResiduals {
    bool fitted = false; // false: fewer than two points, or points that fix no polynomial
    int order = 0;
    std::vector<PointResidual> points;
    double rmsNm = 0.0;
};
// The wavelength-of-pixel fit of the order the program uses for this many
// points, and how far each point lies from it.
CalibrationResiduals calibrationResiduals(std::span<const StoredPoint> points);
// The same with a polynomial of another order (a comparison only: a stored
// set is always fitted with the order for its count).
CalibrationResiduals calibrationResiduals(std::span<const StoredPoint> points, int order);

// The emission lines under headings "%d - %d" of 30 nm each.
struct LineGroup {
    int fromNm = 0;
    int toNm = 0;
    std::vector<double> linesNm;
    std::string heading() const;
};
std::vector<LineGroup> groupLines(std::span<const double> linesNm);

// Peaks (pixel positions from 1) matched to the nearest emission line that
// the present calibration puts within `toleranceNm` of them; each line and
// each peak is used once, the closest pairs first. In pixel order.
struct MatchedLine {
    double pixel = 0.0;
    double lineNm = 0.0;
    double presentNm = 0.0; // where the present calibration puts the peak
};
std::vector<MatchedLine> matchPeaksToLines(std::span<const double> peakPixels,
                                           std::span<const double> linesNm,
                                           std::span<const float> wavelengthOfPixel, int order,
                                           double toleranceNm);

// Points from a lamp scan: the peaks matched to the lines, the points they
// give (pixel rounded, as a set stores it) and how they fit.
struct LampPoints {
    std::vector<MatchedLine> matches;
    std::vector<StoredPoint> points;
    CalibrationResiduals residuals;
    int peaksFound = 0;
    int saturatedPeaks = 0; // left out: their centres are unreliable
    int blendedPeaks = 0;   // left out: wider than one line, so two lines or more
};
LampPoints lampPointsOf(std::span<const MatchedLine> matches);

// The lines of a "species,air_wavelength_nm,..." table (the shipped Hg-Ar
// list), or of a list with one wavelength in nm per line; empty with
// `error` set when the text holds none.
std::vector<double> linesOfTable(std::string_view text, std::string &error);

} // namespace quillon

#endif
