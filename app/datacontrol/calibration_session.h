// What the wavelength calibration dialog works on: a table of twenty points
// filled from a chosen source, the list of calibration sets, the peaks the
// graph reports, and the three ways to keep a list (a custom set, the set in
// use, the unit's factory set). The dialog only shows this state and passes
// the operator's actions in, so every rule here is tested without a window.
#ifndef QUILLON_APP_DATACONTROL_CALIBRATION_SESSION_H
#define QUILLON_APP_DATACONTROL_CALIBRATION_SESSION_H

#include "datacontrol/calibration_points.h"
#include "datacontrol/eeprom_writer.h"
#include "datacontrol/op_result.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

class DataControl;
namespace analysis {
struct Peak;
}

// What fills the point table, in the order of the dialog's radio buttons.
enum class PointSource { CustomSet, AutoPeaks, Database, FactorySet, NewSet };

inline constexpr int kCalibrationRows = 20;

// A peak's pixel (from 1) as the calibration stores it: on the pixel axis
// its position; on the wavelength grid where the present calibration puts
// its wavelength. None for a position that no pixel of the sensor holds.
std::optional<int> calibrationPixelOfPeak(const analysis::Peak &peak, bool gridData,
                                          std::span<const float> pixelOfWavelength, int order,
                                          int activePixels);

class CalibrationSession {
public:
    explicit CalibrationSession(DataControl &control);

    // Reads the sets, the lines and the table of the set in use. False when
    // a file cannot be read (the operator has been told): nothing is filled.
    bool Open();
    // Rereads the files and the set list after the unit's text changed,
    // keeping the chosen entry where it still exists.
    bool Reinit();

    // The table.
    const std::array<PointRow, kCalibrationRows> &Rows() const { return rows; }
    void SetWavelengthCell(int row, const std::string &text);
    void SetPixelCell(int row, const std::string &text);
    // The points the table holds and how they fit, before anything is kept.
    std::vector<StoredPoint> Points() const { return storedPointsOfRows(rows); }
    CalibrationResiduals Residuals() const;
    // Where the calibration in use puts the row's pixel: the line the
    // wavelength editor starts at. None without a pixel.
    std::optional<double> PresentWavelength(int row) const;
    // The emission lines the wavelength editor offers, in groups of 30 nm.
    const std::vector<LineGroup> &LineGroups() const { return lineGroups; }

    // The source and the set list.
    PointSource Source() const { return source; }
    void ChooseSource(PointSource newSource);
    const std::vector<std::string> &SetNames() const { return setNames; }
    // The chosen entry; -1 while a typed name matches none.
    int SelectedEntry() const { return selectedEntry; }
    const std::string &TypedName() const { return typedName; }
    void ChooseEntry(int entry);
    void TypeName(const std::string &name);
    bool SetListEnabled() const { return setListEnabled; }

    // Peak `rank` (from 1) of the present peak list as the graph shows it:
    // the row the table selects, none when the message changes nothing.
    std::optional<int> PeakMessage(int rank);
    // Before the graph finds the peaks again: the next peak counts as new.
    void ForgetLastPeak() { lastPixel.reset(); }
    // After it found them: the table follows when it shows the peaks.
    void PeaksFound();

    // The enable rules of the buttons.
    bool ApplyEnabled() const { return applyEnabled; }
    bool SaveInEepromEnabled() const { return saveInEepromEnabled; }
    bool EepromButtonsShown() const;

    // The list as custom set "Cal n"; false when nothing was saved (told why).
    bool SaveInIniFile();
    // The chosen set becomes the one in use; on failure the calibration in
    // use stays and the operator is told.
    [[nodiscard]] OpResult ApplyAsDefault();
    // The list into the unit as its factory set, named after the chosen set.
    EepromWriteOutcome SaveInEeprom();
    // After the unit's text was changed by the EEPROM tool: the channel is set
    // up again from it and the dialog's files are read anew.
    [[nodiscard]] OpResult UnitTextChanged();

private:
    struct SetChoice {
        std::string name;
        int number = 0;
    };
    bool readFiles(const char *mainProblem, const char *unitProblem);
    void fill();
    void fillWithPoints(const std::vector<StoredPoint> &points);
    void clearRows();
    SetChoice readSetChoice();
    void addTypedName(const SetChoice &choice);
    std::optional<int> pixelOfPeak(const analysis::Peak &peak) const;

    DataControl &dc;
    std::array<PointRow, kCalibrationRows> rows{};
    std::vector<std::string> setNames;
    std::vector<LineGroup> lineGroups;
    std::vector<double> lines;
    PointSource source = PointSource::CustomSet;
    int selectedEntry = 0;
    std::string typedName;
    int customSetCount = 0;
    int setNumber = 0;
    bool setListEnabled = true;
    bool applyEnabled = false;
    bool saveInEepromEnabled = false;
    int peakRowsFilled = 0;
    std::optional<int> lastPixel;
};

} // namespace quillon

#endif
