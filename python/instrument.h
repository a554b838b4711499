// One program folder opened the way a run of the command line opens it:
// the folder held, the channels started, operations on the current channel,
// the settings written back at close. It is the scripting module's whole
// use of the core, without Python, so the benchmark's C++ side runs the very
// same calls. Every operation takes the instrument's mutex: one instrument
// may be used from several threads.
//
// Failures are thrown as Error: the module turns them into Python
// exceptions, and a script is used to exceptions rather than result codes.
#ifndef QUILLON_PYTHON_INSTRUMENT_H
#define QUILLON_PYTHON_INSTRUMENT_H

#include "datacontrol/colour_measurement.h"
#include "datacontrol/data_control.h"
#include "datacontrol/unit_list.h"
#include "platform/program_folder_lock.h"
#include "policy_prompter.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace quillon::python {

class Error : public std::runtime_error {
public:
    enum class Kind { Failure, NeedsAnswer, UnknownKey, BadValue };
    // `code`: the exit code the command line ends with for the same failure.
    Error(const std::string &text, int exitCode, Kind errorKind = Kind::Failure)
        : std::runtime_error(text), code(exitCode), kind(errorKind) {}
    int code;
    Kind kind;
    // What the program told before a failed open (an open instrument keeps its own).
    std::vector<std::string> told;
};

struct OpenOptions {
    std::optional<std::filesystem::path> workdir; // none: the current folder
    bool simulate = false;
    std::string bench; // empty: the built-in bench
    Policy policy = Policy::Ask;
    bool ignoreNoUnit = false;
    PolicyPrompter::Ask ask;
    std::chrono::milliseconds folderLockWait{10000};
    // Where the shipped tables lie (beside the module); empty: none copied.
    std::filesystem::path shippedTables;
};

// One scan as a script keeps it: a copy, not a view of the core's buffers.
struct Spectrum {
    std::vector<float> values;
    std::vector<double> wavelengths; // nm; NaN where a pixel has none
    bool wavelengthBase = false;
    std::string mode;     // "scope", "tr", "absorbance", "irradiance"
    std::string quantity; // with its unit, as the tables name it
    std::string unit;
    int channel = 0;
};

struct PeakRow {
    float pixel = 0.0f; // fractional pixel number from 1; NaN on the wavelength base
    double wavelength = 0.0;
    float intensity = 0.0f;
    float fwhm = 0.0f; // 0: not measured (pixel base only)
    bool saturated = false;
};

struct Totals {
    std::optional<float> totalPower;      // uW
    std::optional<float> totalIrradiance; // uW/cm^2
    std::optional<float> illuminance;     // lux
    std::optional<float> luminousFlux;    // lm
    float colourTemperature = 0.0f;       // K
    int distanceCm = 0;
    float coneAngle = 0.0f;
};

class Instrument {
public:
    explicit Instrument(const OpenOptions &options);
    ~Instrument();
    Instrument(const Instrument &) = delete;
    Instrument &operator=(const Instrument &) = delete;

    // Writes the settings back and lets the folder go; a second call does nothing.
    void close();
    bool closed() const;
    bool noDeviceMode() const;
    std::filesystem::path folder() const;

    std::vector<UnitRow> units();
    int channel() const;
    void setChannel(int channel);

    // The keys `quillon set` offers, with their values as `quillon show` gives them.
    std::vector<std::pair<std::string, std::string>> settings() const;
    std::string setting(const std::string &key) const;
    // Checked together and applied as one change; the warnings to pass on.
    std::vector<std::string>
    applySettings(const std::vector<std::pair<std::string, std::string>> &assignments);

    void dark();
    void reference();
    Spectrum scan();
    // The last scan (a new one when there is none, or the settings changed
    // since) searched for peaks with the peak settings.
    std::vector<PeakRow> peaks();
    // A scan of the reference lamp at `distanceCm` with the current dark:
    // the unit's irradiance calibration file.
    std::filesystem::path calibrateIrradiance(int distanceCm);
    // A scan in absolute irradiance and its photometric totals.
    Totals totals();
    // A scan on the colour grid and its colour, as the colour view measures it.
    ColourMeasurement colour(const ColourRequest &request);
    std::string sim(const std::string &command);

    // Messages and questions the core told, oldest first; and those told
    // since a mark, for the error of an operation.
    std::vector<std::string> told() const;
    std::size_t toldMark() const;
    std::vector<std::string> toldSince(std::size_t mark) const;

private:
    void start(const OpenOptions &options);
    void requireOpen() const;
    void requireUnit() const;
    // Throws the question left unanswered by the last operation.
    void checkAnswered(const char *what);
    void oneShot(bool darkScan);
    void scanLocked();
    Spectrum currentSpectrum() const;

    mutable std::mutex mutex;
    PolicyPrompter prompter;
    std::unique_ptr<platform::ProgramFolderLock> lock;
    std::unique_ptr<DataControl> control;
    bool scanned = false;
};

} // namespace quillon::python

#endif
