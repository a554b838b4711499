// Recording, stepping, saving and loading stored spectra. Every change of
// the buffers happens under the hold protocol; a file that is refused
// leaves the measurement state exactly as it was.
#include "datacontrol/stored_spectra.h"

#include "analysis/peak_list.h"
#include "datacontrol/acquisition_hold.h"
#include "datacontrol/data_control.h"
#include "datacontrol/messages.h"
#include "datacontrol/scan_pipeline.h"
#include "datacontrol/unit_control.h"
#include "datacontrol/wavelength_axis.h"
#include "platform/files.h"
#include "platform/local_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace quillon {

namespace fs = std::filesystem;

fs::path userFilePath(const fs::path &folder, const std::string &name, const char *extension) {
    const fs::path typed(name);
    std::string base = typed.filename().string();
    if (const auto dot = base.rfind('.'); dot != std::string::npos) {
        base.erase(dot);
    }
    const fs::path parent = typed.parent_path();
    const fs::path where = parent.empty()         ? folder
                           : parent.is_absolute() ? parent
                                                  : folder / parent;
    return where / (base + extension);
}

exports::CaptureTime localTimeNow() {
    const std::tm local = platform::localTime(std::time(nullptr));
    return {local.tm_mon + 1, local.tm_mday, local.tm_year + 1900,
            local.tm_hour,    local.tm_min,  local.tm_sec};
}

std::optional<ScanCounts> countsOfLastScan(const ChannelState &s) {
    const std::size_t n = s.geometry.activePixels;
    const std::size_t first = s.geometry.firstActivePixel;
    if (n == 0 || first + n > s.buffers.rawFrame.size()) {
        return std::nullopt;
    }
    return ScanCounts{std::span<const std::int32_t>(s.buffers.rawFrame).subspan(first, n),
                      static_cast<std::int32_t>(std::lround(s.scanParameters.currentOb))};
}

std::string captureTimeNow() {
    const exports::CaptureTime t = localTimeNow();
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d  %02d:%02d:%02d", t.month, t.day, t.year,
                  t.hour, t.minute, t.second);
    return text;
}

namespace {

int highestCoefficient(const std::array<float, 5> &polynomial) {
    for (int k = 4; k >= 1; --k) {
        if (polynomial[static_cast<std::size_t>(k)] != 0.0f) {
            return k;
        }
    }
    return 1;
}

std::string withCount(const char *text, int count) {
    return formatWithNumber(text, count);
}

// Buffers are sized by these fields: another sensor needs new ones.
bool needsNewBuffers(const SensorGeometry &from, const SensorGeometry &to) {
    return from.activePixels != to.activePixels || from.totalPixels != to.totalPixels ||
           from.fftLength != to.fftLength;
}

// A stored status word with the threads' protocol bits of the running program.
std::uint16_t withThreadBits(std::uint16_t stored, std::uint16_t running) {
    return static_cast<std::uint16_t>((stored & ~status_bits::kThreadControl) |
                                      (running & status_bits::kThreadControl));
}

StoreOutcome savedAs(const fs::path &file) {
    return {OpResult::Done, 1, "Saved " + file.filename().string()};
}

} // namespace

// A failed write is told in a box (the operator must know the data is not
// saved) and in the panel's status line.
StoreOutcome StoredSpectra::notSaved(const fs::path &file, const std::string &error) {
    prompter.message(messages::fileNotSaved(platform::pathText(file), error));
    return {OpResult::Failed, 0, "Not saved: " + error};
}

StoreOutcome StoredSpectra::WriteExportFile(const fs::path &file, std::string_view bytes) {
    const std::string error = platform::replaceBinaryFileWithReason(file, bytes);
    return error.empty() ? savedAs(file) : notSaved(file, error);
}

OpResult StoredSpectra::RecordItem() {
    if (s.flags.option.test(option_bits::kMemoryMode)) {
        return OpResult::NotDone;
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return OpResult::NotDone;
    }
    OpResult result = OpResult::Failed;
    const std::optional<ScanCounts> scan = countsOfLastScan(s);
    if (scan && makeRoomForItemsOfThisUnit()) {
        result = s.memory.append({s.settings.title, s.settings.subTitle, captureTimeNow()},
                                 scan->counts, scan->scanValue)
                     ? OpResult::Done
                     : OpResult::Failed;
    } else if (scan || s.geometry.activePixels > 0) {
        result = OpResult::NotDone; // the operator kept the other unit's spectra
    }
    hold.Resume(HoldBy::Change);
    return result;
}

// A list of another unit's spectra cannot take this unit's: it is replaced,
// but unsaved spectra only with the operator's consent.
bool StoredSpectra::makeRoomForItemsOfThisUnit() {
    if (s.memory.empty() || s.memory.pixels() == s.geometry.activePixels) {
        if (s.memory.empty()) {
            s.memory.clear();
        }
        return true;
    }
    if (!s.memory.saved() &&
        !prompter.askYesNo(messages::otherUnitsSpectra(static_cast<int>(s.memory.size()),
                                                       static_cast<int>(s.memory.pixels())))) {
        return false;
    }
    s.memory.clear();
    return true;
}

OpResult StoredSpectra::DeleteSelected() {
    if (!s.flags.option.test(option_bits::kMemoryMode) || s.memory.size() <= 1 ||
        s.memory.current() == 0) {
        return OpResult::NotDone;
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return OpResult::NotDone;
    }
    const bool erased = s.memory.erase(s.memory.current());
    hold.Resume(HoldBy::Change);
    if (!erased) {
        return OpResult::NotDone;
    }
    Step(Playback::OneStepForward);
    return OpResult::Done;
}

void StoredSpectra::Step(Playback command) {
    const bool memory = s.flags.option.test(option_bits::kMemoryMode);
    auto &status = s.flags.status;
    auto &option = s.flags.option;
    // Peaks stay with the spectrum they were found on: every move clears them.
    if (command != Playback::Stop) {
        peaks.ClearPeaks();
    }
    switch (command) {
    case Playback::ContinuousRewind:
    case Playback::ContinuousForward:
        if (memory) {
            option.assign(option_bits::kPlaybackBackwards, command == Playback::ContinuousRewind);
        }
        option.clear(option_bits::kHoldOption);
        status.clear(status_bits::kHold | status_bits::kDrawingSuspended);
        break;
    case Playback::OneStepRewind:
        if (memory) {
            option.set(option_bits::kPlaybackBackwards);
            status.set(status_bits::kHold | status_bits::kSingleScan);
        }
        break;
    case Playback::Stop:
        status.set(status_bits::kHold);
        option.set(option_bits::kHoldOption);
        break;
    case Playback::OneStepForward:
        if (memory) {
            option.clear(option_bits::kPlaybackBackwards);
            status.set(status_bits::kHold | status_bits::kSingleScan);
        } else if (status.test(status_bits::kHold)) {
            status.set(status_bits::kSingleScan);
            option.set(option_bits::kHoldOption);
        } else {
            status.set(status_bits::kHold);
        }
        break;
    }
}

OpResult StoredSpectra::ShowItem(int index) {
    if (!s.flags.option.test(option_bits::kMemoryMode) || index < 1 ||
        index > static_cast<int>(s.memory.size())) {
        return OpResult::NotDone;
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return OpResult::NotDone;
    }
    // Playback moves on before it shows, so it starts one before.
    const bool backwards = s.flags.option.test(option_bits::kPlaybackBackwards);
    s.flags.option.clear(option_bits::kPlaybackBackwards);
    s.memory.setCurrent(index - 1);
    const ScanOutcome shown = pipeline.AcquireScan();
    s.flags.option.assign(option_bits::kPlaybackBackwards, backwards);
    hold.Resume(HoldBy::Change);
    return shown == ScanOutcome::Scanned ? OpResult::Done : OpResult::Failed;
}

ScanDataContext StoredSpectra::CurrentContext() const {
    ScanDataContext c;
    c.model = s.model;
    c.geometry = s.geometry;
    c.acquisition = s.acquisition;
    c.display = s.display;
    c.limits = s.limits;
    c.statusWord = s.flags.status.load();
    c.optionWord = s.flags.option.load();
    c.dark = s.buffers.dark;
    c.darkOb = s.scanParameters.darkOb;
    c.reference = s.buffers.reference;
    c.referenceOb = s.scanParameters.referenceOb;
    return c;
}

StoreOutcome StoredSpectra::SaveScanData(const fs::path &file) {
    StoreOutcome outcome;
    if (s.memory.empty()) {
        outcome.items = -1;
        outcome.status = messages::kNoMemoryData;
        return outcome;
    }
    // The file carries no external-trigger bit (a loaded file is never
    // triggered); the program keeps its own, since the unit stays in the
    // trigger mode it was set to.
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return outcome;
    }
    const std::string error = writeScanDataFile(file, CurrentContext(), s.memory);
    if (error.empty()) {
        s.memory.markSaved();
    }
    hold.Resume(HoldBy::Change);
    if (!error.empty()) {
        return notSaved(file, error);
    }
    outcome.result = OpResult::Done;
    outcome.items = static_cast<int>(s.memory.size());
    outcome.status = withCount(messages::kSavedData, outcome.items);
    return outcome;
}

StoredSpectra::LiveConfiguration StoredSpectra::currentConfiguration() const {
    return {s.model,
            s.geometry,
            s.acquisition,
            s.display,
            s.limits,
            s.flags.status.load(),
            s.flags.option.load(),
            s.buffers.dark,
            s.buffers.reference,
            s.scanParameters,
            s.darkCondition,
            s.settings.title,
            s.settings.subTitle,
            s.calibrationPolynomialOrder};
}

StoreOutcome StoredSpectra::LoadScanData(const fs::path &path) {
    StoreOutcome outcome;
    if (!platform::fileExists(path)) {
        outcome.status = messages::kNoSuchFile;
        return outcome;
    }
    std::string error;
    auto file = readScanDataFile(path, error);
    if (!file) {
        prompter.message(messages::fileNotLoaded(platform::pathText(path), error));
        outcome.result = OpResult::Failed;
        outcome.status = "Not loaded: " + error;
        return outcome;
    }
    // A connected unit shows only spectra of its own sensor; without one,
    // any file is shown.
    const SensorGeometry &unitGeometry = live ? live->geometry : s.geometry;
    if (!s.NoDeviceMode() && (file->context.geometry.boardType != unitGeometry.boardType ||
                              file->context.geometry.activePixels != unitGeometry.activePixels)) {
        outcome.result = OpResult::Failed;
        outcome.status = messages::kBoardMismatch;
        return outcome;
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return outcome;
    }
    if (!live && !s.NoDeviceMode()) {
        live = currentConfiguration();
    }
    const bool pixelCountChanged = needsNewBuffers(s.geometry, file->context.geometry);
    adoptFile(*file);
    peaks.ClearPeaks(); // they belong to the spectrum that was shown
    const OpResult axisResult = useSpectra(std::move(file->context.dark),
                                           std::move(file->context.reference), pixelCountChanged);
    hold.Resume(HoldBy::Change);
    if (axisResult == OpResult::Failed) {
        prompter.message(messages::kChangingSource);
    }
    showOneItem();
    outcome.result = OpResult::Done;
    outcome.items = static_cast<int>(s.memory.size());
    outcome.status = withCount(messages::kMemoryLoaded, outcome.items);
    if (file->droppedBytes > 0) {
        prompter.message(messages::lastItemCut(platform::pathText(path), outcome.items));
    }
    return outcome;
}

void StoredSpectra::adoptFile(ScanDataFile &file) {
    ScanDataContext &c = file.context;
    const bool noDevice = s.NoDeviceMode();
    std::uint16_t status = withThreadBits(c.statusWord, s.flags.status.load());
    std::uint16_t option = static_cast<std::uint16_t>(
        c.optionWord & ~(option_bits::kExternalTrigger | option_bits::kNoDevice));
    if (noDevice) {
        option |= option_bits::kNoDevice;
        status |= status_bits::kHold;
    }
    option |= option_bits::kMemoryMode;
    s.flags.status.store(status);
    s.flags.option.store(option);
    // The dark now comes from the file.
    s.flags.setDarkSource(DarkSource::File);
    // A one-shot scan mode saved in the file would store the first item as a dark.
    const DisplayMode mode = s.flags.displayMode();
    if (mode == DisplayMode::DarkScan || mode == DisplayMode::ReferenceScan) {
        s.flags.setDisplayMode(DisplayMode::Scope);
    }
    s.model = c.model;
    s.geometry = c.geometry;
    s.acquisition = c.acquisition;
    s.display = c.display;
    s.limits = c.limits;
    s.scanParameters.darkOb = c.darkOb;
    s.scanParameters.referenceOb = c.referenceOb;
    s.calibrationPolynomialOrder = std::max(highestCoefficient(s.geometry.wavelengthOfPixel),
                                            highestCoefficient(s.geometry.pixelOfWavelength));
    s.memory = std::move(file.items);
    s.memory.setCurrent(0);
}

// New buffers when the sensor differs (without a unit), then the spectra and
// the axis data derived from the calibration.
OpResult StoredSpectra::useSpectra(std::vector<float> dark, std::vector<float> reference,
                                   bool pixelCountChanged) {
    if (pixelCountChanged && pipeline.AllocatePixelBuffers() != OpResult::Done) {
        return OpResult::Failed;
    }
    dark.resize(s.geometry.activePixels, 0.0f);
    reference.resize(s.geometry.activePixels, 0.0f);
    s.buffers.dark = std::move(dark);
    s.buffers.reference = std::move(reference);
    return axis.RebuildWavelengthGrid();
}

void StoredSpectra::showOneItem() {
    s.flags.option.set(option_bits::kHoldOption);
    s.flags.status.set(status_bits::kHold | status_bits::kSingleScan);
}

// The unit's records, flag words and titles as they were before the first
// load; the spectra are handed back for the buffers.
std::optional<StoredSpectra::UnitSpectra> StoredSpectra::restoreUnitRecords() {
    if (!live) {
        return std::nullopt;
    }
    LiveConfiguration c = std::move(*live);
    live.reset();
    s.flags.status.store(withThreadBits(c.statusWord, s.flags.status.load()));
    s.flags.option.store(c.optionWord);
    UnitSpectra spectra{std::move(c.dark), std::move(c.reference),
                        needsNewBuffers(s.geometry, c.geometry)};
    s.model = c.model;
    s.geometry = c.geometry;
    s.acquisition = c.acquisition;
    s.display = c.display;
    s.limits = c.limits;
    s.scanParameters = c.scanParameters;
    s.darkCondition = c.darkCondition;
    s.settings.title = c.title;
    s.settings.subTitle = c.subTitle;
    s.calibrationPolynomialOrder = c.calibrationOrder;
    s.flags.option.clear(option_bits::kHoldOption | option_bits::kMemoryMode);
    return spectra;
}

bool StoredSpectra::ConfirmEnd() {
    if (s.memory.empty() || s.memory.saved()) {
        return true;
    }
    return prompter.askYesNo(messages::unsavedSpectraOnClose(static_cast<int>(s.memory.size())));
}

void StoredSpectra::DropFileConfiguration() {
    if (restoreUnitRecords()) {
        s.flags.status.clear(status_bits::kHold);
    }
}

OpResult StoredSpectra::LeaveMemoryMode() {
    if (!live) {
        return OpResult::NotDone;
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return OpResult::NotDone;
    }
    UnitSpectra spectra = *restoreUnitRecords();
    OpResult result =
        useSpectra(std::move(spectra.dark), std::move(spectra.reference), spectra.newBuffers);
    if (result == OpResult::Done && !unit.sendIntegrationTime()) {
        prompter.message(formatWithNumber(messages::kIntegrationTime, s.currentChannel));
        result = OpResult::Failed;
    }
    hold.Resume(HoldBy::Change);
    s.flags.status.clear(status_bits::kHold);
    s.flags.option.clear(option_bits::kHoldOption | option_bits::kMemoryMode);
    return result;
}

OpResult StoredSpectra::EnterMemoryMode() {
    if (s.memory.empty() || s.flags.option.test(option_bits::kMemoryMode)) {
        return OpResult::NotDone;
    }
    if (s.memory.pixels() != s.geometry.activePixels) {
        prompter.message(messages::memoryOfOtherUnit(static_cast<int>(s.memory.pixels())));
        return OpResult::Failed;
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return OpResult::NotDone;
    }
    if (!live && !s.NoDeviceMode()) {
        live = currentConfiguration();
    }
    peaks.ClearPeaks(); // they belong to the live spectrum
    s.flags.option.set(option_bits::kMemoryMode);
    s.memory.setCurrent(0);
    hold.Resume(HoldBy::Change);
    showOneItem();
    return OpResult::Done;
}

OpResult StoredSpectra::ClearList() {
    if (s.memory.empty() || s.flags.option.test(option_bits::kMemoryMode)) {
        return OpResult::NotDone;
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return OpResult::NotDone;
    }
    s.memory.clear();
    hold.Resume(HoldBy::Change);
    return OpResult::Done;
}

StoreOutcome StoredSpectra::SaveSpectrumFile(SpectrumFileKind kind, const fs::path &path) {
    StoreOutcome outcome;
    const bool dark = kind == SpectrumFileKind::Dark;
    if (!s.flags.status.test(dark ? status_bits::kDarkReady : status_bits::kReferenceReady)) {
        outcome.status = dark ? "No dark spectrum to save" : "No reference spectrum to save";
        return outcome;
    }
    SpectrumFile file;
    file.model = s.model;
    file.model.scanValue = dark ? s.scanParameters.darkOb : s.scanParameters.referenceOb;
    file.geometry = s.geometry;
    file.acquisition = s.acquisition;
    file.spectrum = dark ? s.buffers.dark : s.buffers.reference;
    file.condition = s.darkCondition;
    file.trailingValue = s.scanParameters.darkOb;
    return WriteExportFile(path, encodeSpectrumFile(kind, file));
}

StoreOutcome StoredSpectra::LoadSpectrumFile(SpectrumFileKind kind, const fs::path &path) {
    StoreOutcome outcome;
    const auto content = platform::readRegularFile(path);
    if (!content) {
        if (content.failure == platform::FileContent::Failure::Missing) {
            outcome.status = messages::kNoSuchFile;
            return outcome;
        }
        prompter.message(messages::fileNotLoaded(platform::pathText(path),
                                                 platform::readFailureText(content.failure)));
        outcome.result = OpResult::Failed;
        outcome.status = "Not loaded";
        return outcome;
    }
    std::string error;
    auto file = decodeSpectrumFile(kind, *content.bytes, error);
    if (!file) {
        prompter.message(messages::fileNotLoaded(platform::pathText(path), error));
        outcome.result = OpResult::Failed;
        outcome.status = "Not loaded: " + error;
        return outcome;
    }
    if (file->geometry.activePixels != s.geometry.activePixels ||
        file->geometry.boardType != s.geometry.boardType) {
        prompter.message(messages::kBoardOrCcd);
        outcome.result = OpResult::Failed;
        outcome.status = messages::kBoardOrCcd;
        return outcome;
    }
    if (file->acquisition.timeAverage != s.acquisition.timeAverage) {
        prompter.message(
            withCount(messages::kAdjustDarkTimeAverage, file->acquisition.timeAverage));
    }
    if (!hold.Suspend(HoldBy::Change)) {
        hold.Resume(HoldBy::Change);
        return outcome;
    }
    const bool dark = kind == SpectrumFileKind::Dark;
    if (dark) {
        s.buffers.dark = std::move(file->spectrum);
        s.scanParameters.darkOb = file->trailingValue;
        s.model.scanValue = file->model.scanValue;
        s.darkCondition.noiseEstimate = file->condition.noiseEstimate;
        s.flags.setDarkSource(DarkSource::File);
        s.flags.status.set(status_bits::kDarkReady);
    } else {
        s.buffers.reference = std::move(file->spectrum);
        s.scanParameters.referenceOb = file->model.scanValue;
        s.flags.setReferenceSource(ReferenceSource::File);
        s.flags.status.set(status_bits::kReferenceReady);
    }
    axis.RefreshReferenceMinusDark();
    hold.Resume(HoldBy::Change);
    outcome.result = OpResult::Done;
    outcome.items = 1;
    outcome.status = "Loaded " + path.filename().string();
    return outcome;
}

} // namespace quillon
