#include "instrument.h"

#include "cli/command_line.h"
#include "datacontrol/scan_rules.h"
#include "datacontrol/settings_table.h"
#include "datacontrol/simulated_units.h"
#include "datacontrol/wavelength_calibration.h"
#include "photometry/shipped_tables.h"
#include "platform/files.h"

#include <cmath>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace quillon::python {

namespace {

namespace fs = std::filesystem;
using cli::kExitFolderBusy;
using cli::kExitNeedsAnswer;
using cli::kExitNoUnit;
using cli::kExitStepFailed;
using cli::kExitUsage;

// As the command line: a start-up that keeps asking "try again" must end.
constexpr int kStartAttempts = 3;

[[noreturn]] void fail(const std::string &text) {
    throw Error(text, kExitStepFailed);
}

// The core takes its program folder from the current folder at start-up;
// the script's own folder is given back afterwards.
class FolderVisit {
public:
    explicit FolderVisit(const std::optional<fs::path> &folder) {
        if (!folder) {
            return;
        }
        std::error_code ec;
        previous = fs::current_path(ec);
        fs::current_path(*folder, ec);
        if (ec) {
            throw Error("workdir: cannot enter '" + folder->string() + "': " + ec.message(),
                        kExitUsage, Error::Kind::BadValue);
        }
    }
    ~FolderVisit() {
        if (!previous.empty()) {
            std::error_code ignored;
            fs::current_path(previous, ignored);
        }
    }
    FolderVisit(const FolderVisit &) = delete;
    FolderVisit &operator=(const FolderVisit &) = delete;

private:
    fs::path previous;
};

void chooseSimulatedUnits(const OpenOptions &options) {
    if (!options.simulate) {
        return;
    }
    // The device library picks its backend once per process, on its first
    // call: a later instrument loads its bench into the simulated units
    // already there.
    const char *driver = std::getenv("OV_DRIVER");
    if (driver != nullptr && std::string_view(driver) == "sim") {
        if (options.bench.empty()) {
            return;
        }
        std::error_code ec;
        const fs::path bench = fs::absolute(options.bench, ec);
        if (ec || !fs::is_regular_file(bench, ec)) {
            throw Error("simulate: no bench file '" + options.bench + "'", kExitUsage,
                        Error::Kind::BadValue);
        }
        const SimReply loaded = runSimCommand("bench load " + bench.string());
        if (loaded.result != 1) {
            throw Error("simulate: the bench file has an error: " + loaded.text, kExitUsage,
                        Error::Kind::BadValue);
        }
        return;
    }
    const SimulateProblem problem = UseSimulatedUnits(options.bench);
    if (problem.kind == SimulateProblem::Kind::BadBench) {
        throw Error("simulate: the bench file has an error: " + problem.text, kExitUsage,
                    Error::Kind::BadValue);
    }
    if (problem.kind != SimulateProblem::Kind::None) {
        throw Error(problem.text, kExitUsage, Error::Kind::BadValue);
    }
}

SettingAssignment parseAssignment(const std::string &key, const std::string &value) {
    std::string error;
    auto assignment =
        SettingsTable::Parse(key + "=" + value, error, SettingsTable::Keys::CommandLine);
    if (assignment) {
        return *assignment;
    }
    const SettingKey *known = SettingsTable::Find(key);
    const bool offered = known != nullptr && known->help != nullptr;
    throw Error(error, kExitUsage, offered ? Error::Kind::BadValue : Error::Kind::UnknownKey);
}

} // namespace

Instrument::Instrument(const OpenOptions &options)
    : prompter(options.policy, options.ignoreNoUnit, options.ask) {
    if (DataControl::Instance() != nullptr) {
        throw Error("another instrument is open in this process; close it first", kExitFolderBusy);
    }
    chooseSimulatedUnits(options);
    const FolderVisit visit(options.workdir);
    try {
        start(options);
    } catch (Error &error) {
        error.told = prompter.told();
        throw;
    }
}

void Instrument::start(const OpenOptions &options) {
    const auto here = platform::currentFolder();
    if (!here) {
        throw Error("cannot determine the program folder", kExitFolderBusy);
    }
    lock = std::make_unique<platform::ProgramFolderLock>(*here, options.folderLockWait);
    if (!lock->held()) {
        throw Error(lock->error(), kExitFolderBusy);
    }
    if (!options.shippedTables.empty()) {
        (void)colour::installShippedTables(options.shippedTables, *here);
    }
    control = std::make_unique<DataControl>(prompter);
    using Stage = DataControl::StartStage;
    const auto started =
        control->StartChannels(kStartAttempts, [this] { return prompter.needsAnswer(); });
    if (started.result == OpResult::Done && !prompter.needsAnswer()) {
        return;
    }
    // A start that did not succeed leaves the settings file as it was.
    control->KeepSettingsFile();
    control.reset();
    lock.reset();
    if (prompter.needsAnswer()) {
        throw Error(prompter.unansweredQuestion(), kExitNeedsAnswer, Error::Kind::NeedsAnswer);
    }
    if (prompter.refusedNoUnit()) {
        throw Error("no unit found (ignore_no_unit=True goes on in the no-device mode)",
                    kExitNoUnit);
    }
    if (started.stage == Stage::Configuration) {
        fail("the current channel could not be configured");
    }
    if (started.result == OpResult::NotDone) {
        fail("start-up did not succeed in " + std::to_string(kStartAttempts) + " attempts");
    }
    fail("start-up ended");
}

Instrument::~Instrument() {
    try {
        close();
    } catch (const Error &) {
        // The operator was told through the prompter; a destructor cannot say more.
    }
}

void Instrument::close() {
    const std::lock_guard guard(mutex);
    if (!control) {
        return;
    }
    const bool written = control->CloseDown();
    control.reset();
    lock.reset();
    if (!written) {
        fail("the settings were not saved");
    }
}

bool Instrument::closed() const {
    const std::lock_guard guard(mutex);
    return !control;
}

void Instrument::requireOpen() const {
    if (!control) {
        fail("the instrument is closed");
    }
}

void Instrument::requireUnit() const {
    requireOpen();
    if (control->State().NoDeviceMode()) {
        fail("no unit is connected (no-device mode)");
    }
}

void Instrument::checkAnswered(const char *what) {
    if (prompter.needsAnswer()) {
        const std::string question = prompter.unansweredQuestion();
        prompter.forget();
        throw Error(std::string(what) + ": a question needs an answer: " + question,
                    kExitNeedsAnswer, Error::Kind::NeedsAnswer);
    }
}

bool Instrument::noDeviceMode() const {
    const std::lock_guard guard(mutex);
    requireOpen();
    return control->State().NoDeviceMode();
}

fs::path Instrument::folder() const {
    const std::lock_guard guard(mutex);
    requireOpen();
    return control->State().programFolder;
}

std::vector<UnitRow> Instrument::units() {
    const std::lock_guard guard(mutex);
    requireUnit();
    return listUnits(*control);
}

int Instrument::channel() const {
    const std::lock_guard guard(mutex);
    requireOpen();
    return control->State().currentChannel;
}

void Instrument::setChannel(int number) {
    const std::lock_guard guard(mutex);
    requireUnit();
    const int count = control->State().channelCount;
    if (number < 0 || number >= count) {
        throw Error("there is no channel " + std::to_string(number) + " (channels 0 to " +
                        std::to_string(count - 1) + ")",
                    kExitUsage, Error::Kind::BadValue);
    }
    const OpResult result = control->ChangeChannel(number);
    checkAnswered("channel");
    if (result != OpResult::Done) {
        fail("channel " + std::to_string(number) + " could not be configured");
    }
    // As the setup panel does: the grid of the previous unit means nothing here.
    control->SetWavelengthBase(false);
    scanned = false;
}

std::vector<std::pair<std::string, std::string>> Instrument::settings() const {
    const std::lock_guard guard(mutex);
    requireOpen();
    std::vector<std::pair<std::string, std::string>> all;
    for (const SettingKey &key : SettingsTable::AllKeys()) {
        if (key.help != nullptr) {
            all.emplace_back(key.name, SettingsTable::Show(key, control->State()));
        }
    }
    // The view choices, which the settings file does not keep.
    for (const char *view : {"mode", "axis", "base", "irradiance"}) {
        all.emplace_back(view, SettingsTable::Show(*SettingsTable::Find(view), control->State()));
    }
    return all;
}

std::string Instrument::setting(const std::string &name) const {
    const std::lock_guard guard(mutex);
    requireOpen();
    const SettingKey *key = SettingsTable::Find(name);
    if (key == nullptr || key->help == nullptr) {
        throw Error("unknown key '" + name + "' (keys are case-sensitive)", kExitUsage,
                    Error::Kind::UnknownKey);
    }
    return SettingsTable::Show(*key, control->State());
}

std::vector<std::string>
Instrument::applySettings(const std::vector<std::pair<std::string, std::string>> &assignments) {
    std::vector<SettingAssignment> parsed;
    for (const auto &[key, value] : assignments) {
        parsed.push_back(parseAssignment(key, value));
    }
    const std::lock_guard guard(mutex);
    requireOpen();
    std::vector<std::string> warnings;
    const std::string problem = control->ApplySettings(parsed, warnings);
    checkAnswered("set");
    if (!problem.empty()) {
        throw Error(problem, kExitStepFailed, Error::Kind::BadValue);
    }
    // The last scan's values belong to the settings it was taken with.
    scanned = false;
    return warnings;
}

void Instrument::oneShot(bool darkScan) {
    const std::lock_guard guard(mutex);
    requireUnit();
    const char *name = darkScan ? "dark" : "reference";
    if (control->UnitDisconnected()) {
        fail("the unit does not answer");
    }
    const OpResult result = darkScan ? control->TakeDarkScan() : control->TakeReferenceScan();
    checkAnswered(name);
    if (result == OpResult::NotDone) {
        fail(std::string("the ") + name + " source is a file, so no scan is taken");
    }
    if (result != OpResult::Done || control->UnitDisconnected()) {
        fail("the unit does not answer");
    }
}

void Instrument::dark() {
    oneShot(true);
}

void Instrument::reference() {
    oneShot(false);
}

void Instrument::scanLocked() {
    requireUnit();
    switch (scanNeed(control->State())) {
    case ScanNeed::DarkAndReference:
        fail("mode " + displayModeName(control->State().flags.displayMode()) +
             " needs a dark and a reference scan first (dark(), reference())");
    case ScanNeed::Dark:
        fail("absolute irradiance needs a dark scan first (dark())");
    case ScanNeed::Nothing:
        break;
    }
    const ScanOutcome outcome = control->AcquireScan();
    checkAnswered("scan");
    if (!scanSucceeded(*control, outcome)) {
        fail(scanFailure(*control, outcome));
    }
    scanned = true;
}

Spectrum Instrument::currentSpectrum() const {
    const ScanResult result = control->CurrentResult();
    Spectrum spectrum;
    spectrum.values.assign(result.values.begin(), result.values.end());
    spectrum.wavelengthBase = result.wavelengthBase;
    spectrum.wavelengths.resize(result.values.size(), std::nan(""));
    for (std::size_t i = 0; i < result.values.size(); ++i) {
        if (result.wavelengthBase) {
            spectrum.wavelengths[i] = result.start + static_cast<double>(i) * result.step;
        } else if (i < result.wavelengths.size()) {
            spectrum.wavelengths[i] = result.wavelengths[i];
        }
    }
    spectrum.mode = displayModeName(control->State().flags.displayMode());
    spectrum.quantity = quantityName(control->State());
    spectrum.unit = quantityUnit(control->State());
    spectrum.channel = control->State().currentChannel;
    return spectrum;
}

Spectrum Instrument::scan() {
    const std::lock_guard guard(mutex);
    scanLocked();
    return currentSpectrum();
}

std::vector<PeakRow> Instrument::peaks() {
    const std::lock_guard guard(mutex);
    if (!scanned) {
        scanLocked();
    }
    (void)control->FindPeaks();
    const ScanResult result = control->CurrentResult();
    const auto &table = control->State().buffers.wavelengthTable;
    std::vector<PeakRow> rows;
    for (const analysis::Peak &peak : control->Peaks().Peaks()) {
        const PeakPlace place = peakPlace(peak, result.wavelengthBase, table);
        PeakRow row;
        row.wavelength = place.wavelength;
        row.intensity = peak.intensity;
        row.saturated = peak.saturated;
        row.fwhm = peak.fwhm;
        row.pixel = result.wavelengthBase ? std::nanf("") : peak.position;
        rows.push_back(row);
    }
    return rows;
}

fs::path Instrument::calibrateIrradiance(int distanceCm) {
    constexpr int kLargestDistance = kLargestLampDistanceCm;
    const std::lock_guard guard(mutex);
    requireUnit();
    if (distanceCm < 1 || distanceCm > kLargestDistance) {
        throw Error("a distance in cm from 1 to " + std::to_string(kLargestDistance) + ", not " +
                        std::to_string(distanceCm),
                    kExitUsage, Error::Kind::BadValue);
    }
    if (!control->State().flags.status.test(status_bits::kDarkReady)) {
        fail("the lamp scan needs a dark scan first (dark())");
    }
    const OpResult result = control->CalibrateIrradiance(distanceCm);
    checkAnswered("calibrate_irradiance");
    if (result == OpResult::NotDone) {
        fail("acquisition did not pause");
    }
    if (result != OpResult::Done) {
        fail("the unit was not calibrated");
    }
    scanned = true;
    return control->Photometry().UnitFile();
}

Totals Instrument::totals() {
    const std::lock_guard guard(mutex);
    requireUnit();
    const ChannelState &state = control->State();
    if (state.flags.displayMode() != DisplayMode::Irradiance ||
        state.flags.option.test(option_bits::kRelativeIrradiance) ||
        control->Photometry().Calibration() == nullptr) {
        fail("the totals are measured in absolute irradiance "
             "(mode='irradiance', settings['irradiance'] = 'absolute' or 'illuminance')");
    }
    scanLocked();
    const PhotometricTotals &t = state.photometry;
    Totals totals;
    if (state.settings.irradLux != 0) {
        totals.illuminance = t.illuminance;
        totals.luminousFlux = t.luminousFlux;
    } else {
        totals.totalPower = t.totalPower;
        totals.totalIrradiance = t.totalIrradiance;
    }
    totals.colourTemperature = control->Photometry().ColourTemperature();
    totals.distanceCm = state.settings.irradDist;
    totals.coneAngle = t.coneAngle;
    return totals;
}

ColourMeasurement Instrument::colour(const ColourRequest &request) {
    const std::lock_guard guard(mutex);
    requireUnit();
    ColourMeasurement measured = MeasureColour(*control, request);
    checkAnswered("colour");
    if (measured.outcome == ColourMeasurement::Outcome::NeedsDarkAndReference) {
        fail(measured.problem + " (dark(), reference())");
    }
    if (measured.outcome != ColourMeasurement::Outcome::Measured) {
        fail(measured.problem);
    }
    scanned = true;
    return measured;
}

std::string Instrument::sim(const std::string &command) {
    const std::lock_guard guard(mutex);
    const SimReply reply = runSimCommand(command);
    if (reply.result != 1) {
        throw Error(reply.text.empty() ? "the simulator refused the command" : reply.text,
                    kExitStepFailed, Error::Kind::BadValue);
    }
    return reply.text;
}

std::vector<std::string> Instrument::told() const {
    const std::lock_guard guard(mutex);
    return prompter.told();
}

std::size_t Instrument::toldMark() const {
    const std::lock_guard guard(mutex);
    return prompter.toldCount();
}

std::vector<std::string> Instrument::toldSince(std::size_t mark) const {
    const std::lock_guard guard(mutex);
    return prompter.toldSince(mark);
}

} // namespace quillon::python
