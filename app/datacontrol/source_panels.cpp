// DataControl's side of the dark, reference and TEC panels: where the dark
// and the reference come from, the dark and reference files typed in them,
// the built-in shutter, the colour tile and the cooler. Device requests and
// buffer changes run under a short hold; flag changes need none.
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace quillon {

namespace {

constexpr double kHighestReferenceMaximum = 100.0;
constexpr const char *kNotPaused = "acquisition did not pause";
constexpr const char *kReferenceScanNeeded = "A refScan is necessary.";

// The sensor set-up gives every unit that can show colour InitPane bit 2.
bool supportsColour(const ChannelState &s) {
    return (s.settings.initPane & 4u) != 0;
}

bool shutterFitted(const ChannelState &s) {
    return s.settings.builtInShutter && !s.NoDeviceMode();
}

std::optional<std::string> darkCaption(DarkSource source, bool fileLoaded) {
    switch (source) {
    case DarkSource::OpticalBlack:
        return messages::kCaptionDarkOb;
    case DarkSource::File:
        return fileLoaded ? std::optional<std::string>(messages::kCaptionDarkFile) : std::nullopt;
    case DarkSource::Scan:
    case DarkSource::BuiltInShutter: // the button takes a dark scan with the shutter closed
        break;
    }
    return messages::kCaptionDarkScan;
}

std::filesystem::path typedFile(SpectrumFileKind kind, const std::filesystem::path &folder,
                                const std::string &name) {
    return userFilePath(folder, name,
                        kind == SpectrumFileKind::Dark ? kDarkFileExtension
                                                       : kReferenceFileExtension);
}

double lowestReferenceMaximum() {
    const SettingKey *key = SettingsTable::Find("RefMax");
    return key != nullptr ? key->minimum : 0.0;
}

} // namespace

DarkPanelView DataControl::DarkPanelOpening() {
    DarkPanelView view;
    view.source = state.flags.darkSource();
    view.darkExists = state.flags.status.test(status_bits::kDarkReady);
    view.subtraction = state.flags.status.test(status_bits::kOpticalBlackOn);
    view.subtractionOffered = state.flags.option.test(option_bits::kGeometryApplied);
    view.shutterFitted = shutterFitted(state);
    view.name = state.settings.title;
    if (!view.shutterFitted) {
        return view;
    }
    const SuspendedAcquisition quiet(hold, HoldBy::Change);
    if (quiet.paused()) {
        const int position = unit.shutterPosition();
        if (position == 0 || position == 1) {
            view.shutterClosed = position == 1;
        }
    }
    return view;
}

bool DataControl::DarkSourceAvailable(DarkSource source) const {
    return source != DarkSource::BuiltInShutter || shutterFitted(state);
}

PanelClosing DataControl::CloseDarkPanel(const DarkPanelChoice &choice) {
    PanelClosing closing;
    const DarkSource current = state.flags.darkSource();
    DarkSource chosen = choice.source;
    if (!DarkSourceAvailable(chosen)) {
        chosen = current;
        closing.result = OpResult::NotDone;
        closing.problem = messages::kNoShutter;
        prompter.message(closing.problem);
    }
    // A dark of another kind no longer fits; a file keeps the dark until one is loaded.
    if (chosen != current && chosen != DarkSource::File) {
        state.flags.status.clear(status_bits::kDarkReady);
    }
    closing.caption = darkCaption(chosen, choice.fileLoaded);
    if (chosen != DarkSource::File || choice.fileLoaded) {
        state.flags.setDarkSource(chosen);
    }
    const bool subtracting = state.flags.status.test(status_bits::kOpticalBlackOn);
    if (!state.flags.option.test(option_bits::kGeometryApplied) ||
        choice.subtraction == subtracting) {
        return closing;
    }
    const SuspendedAcquisition quiet(hold, HoldBy::Change);
    if (!quiet.paused()) {
        closing.result = OpResult::NotDone;
        closing.problem = kNotPaused;
        prompter.message(closing.problem);
        return closing;
    }
    // Spectra taken without the optical-black level cannot be corrected by it.
    if (choice.subtraction) {
        state.flags.status.clear(status_bits::kDarkReady | status_bits::kReferenceReady);
    }
    state.flags.status.assign(status_bits::kOpticalBlackOn, choice.subtraction);
    axis.RefreshReferenceMinusDark();
    return closing;
}

std::optional<bool> DataControl::FlipShutter() {
    if (!shutterFitted(state)) {
        return std::nullopt;
    }
    std::optional<bool> nowClosed;
    {
        const SuspendedAcquisition quiet(hold, HoldBy::Change);
        const int position = quiet.paused() ? unit.shutterPosition() : -1;
        if ((position == 0 || position == 1) && unit.setShutterClosed(position == 0)) {
            nowClosed = position == 0;
        }
    }
    if (!nowClosed) {
        prompter.message(messages::kShutterNotMoved);
    }
    return nowClosed;
}

StoreOutcome DataControl::SaveSourceFile(SpectrumFileKind kind, const std::filesystem::path &folder,
                                         const std::string &name) {
    if (name.empty()) {
        return {OpResult::NotDone, 0, messages::kNoSaveName};
    }
    // T/R scans lower the dark where a sample lies below it: the copy is taken between passes.
    const SuspendedAcquisition quiet(hold, HoldBy::Change);
    if (!quiet.paused()) {
        return {OpResult::NotDone, 0, kNotPaused};
    }
    return stored.SaveSpectrumFile(kind, typedFile(kind, folder, name));
}

StoreOutcome DataControl::LoadSourceFile(SpectrumFileKind kind, const std::filesystem::path &folder,
                                         const std::string &name) {
    if (name.empty()) {
        return {OpResult::NotDone, 0, messages::kNoLoadName};
    }
    return stored.LoadSpectrumFile(kind, typedFile(kind, folder, name));
}

ReferencePanelView DataControl::ReferencePanelOpening() const {
    ReferencePanelView view;
    view.source = state.flags.referenceSource();
    view.darkExists = state.flags.status.test(status_bits::kDarkReady);
    view.referenceExists = state.flags.status.test(status_bits::kReferenceReady);
    view.lowestMaximum = lowestReferenceMaximum();
    view.highestMaximum = kHighestReferenceMaximum;
    view.maximum = state.settings.refMax;
    view.name = state.settings.title;
    return view;
}

PanelClosing DataControl::CloseReferencePanel(const ReferencePanelChoice &choice) {
    PanelClosing closing;
    ReferenceSource chosen = choice.source;
    if (chosen == ReferenceSource::ColourTile) {
        if (std::string refusal = ColourTileRefusal(); !refusal.empty()) {
            chosen = state.flags.referenceSource();
            closing.result = OpResult::NotDone;
            closing.problem = std::move(refusal);
            prompter.message(closing.problem);
        }
    } else {
        snapshot.DisarmTile(); // the button takes reference scans again
    }
    if (chosen == ReferenceSource::CurrentScan) {
        closing.caption = messages::kCaptionRefScan;
    } else if (chosen == ReferenceSource::File && choice.fileLoaded) {
        closing.caption = messages::kCaptionRefFile;
    }
    if (chosen != ReferenceSource::File || choice.fileLoaded) {
        state.flags.setReferenceSource(chosen);
    }
    if (choice.maximum == state.settings.refMax) {
        return closing;
    }
    const SettingKey *key = SettingsTable::Find("RefMax");
    if (key == nullptr || !std::isfinite(choice.maximum) ||
        choice.maximum > kHighestReferenceMaximum) {
        std::array<char, 96> text{};
        std::snprintf(text.data(), text.size(), "Maximum T/R(%%) lies between %g and %g",
                      lowestReferenceMaximum(), kHighestReferenceMaximum);
        closing.result = OpResult::NotDone;
        closing.problem = text.data();
        prompter.message(closing.problem);
        return closing;
    }
    const SettingAssignment maximum{key, SettingValue{choice.maximum, {}}};
    std::vector<std::string> warnings;
    if (std::string problem = ApplySettings({&maximum, 1}, warnings); !problem.empty()) {
        closing.result = OpResult::NotDone;
        closing.problem = std::move(problem);
        prompter.message(closing.problem);
    }
    return closing;
}

std::string DataControl::ColourTileRefusal() const {
    if (!state.flags.status.test(status_bits::kDarkReady)) {
        return messages::kDarkScanNeeded;
    }
    if (!supportsColour(state)) {
        return messages::kColourOnly;
    }
    return {};
}

ColourTileArming DataControl::ArmColourTile(ColourTileTask task,
                                            const std::filesystem::path &folder,
                                            const std::string &name) {
    ColourTileArming arming;
    arming.status = ColourTileRefusal();
    if (!arming.status.empty()) {
        return arming;
    }
    if (name.empty()) {
        arming.status = messages::kNoColourTileName;
        return arming;
    }
    if (task == ColourTileTask::Save && !state.flags.status.test(status_bits::kReferenceReady)) {
        arming.status = kReferenceScanNeeded;
        return arming;
    }
    const std::filesystem::path file = userFilePath(folder, name, kColourTileExtension);
    std::error_code error;
    if (task == ColourTileTask::Read && !std::filesystem::is_regular_file(file, error)) {
        arming.status = messages::kNoSuchFile;
        return arming;
    }
    snapshot.ArmTile({task, file});
    arming.result = OpResult::Done;
    arming.caption =
        task == ColourTileTask::Save ? messages::kCaptionSaveTile : messages::kCaptionReadTile;
    return arming;
}

std::optional<ColourTileTask> DataControl::ArmedColourTile() const {
    const auto &armed = snapshot.Armed();
    return armed ? std::optional<ColourTileTask>(armed->task) : std::nullopt;
}

PanelClosing DataControl::RunArmedColourTile() {
    PanelClosing closing;
    const auto armed = snapshot.Armed();
    if (!armed) {
        closing.result = OpResult::NotDone;
        return closing;
    }
    // The dark (and for a save the reference) may have gone since the tile was armed.
    std::string refusal = ColourTileRefusal();
    if (refusal.empty() && armed->task == ColourTileTask::Save &&
        !state.flags.status.test(status_bits::kReferenceReady)) {
        refusal = kReferenceScanNeeded;
    }
    if (!refusal.empty()) {
        prompter.message(refusal);
        closing.result = OpResult::NotDone;
        closing.problem = std::move(refusal);
        return closing;
    }
    {
        const SuspendedAcquisition quiet(hold, HoldBy::Change);
        if (!quiet.paused()) {
            closing.result = OpResult::NotDone;
            closing.problem = kNotPaused;
            return closing;
        }
        if (armed->task == ColourTileTask::Save) {
            closing.result = snapshot.SaveColorTile(armed->file);
        } else {
            closing.result = snapshot.LoadColorTile(armed->file);
            if (closing.result == OpResult::Done) {
                // The tile gives a whole reference; later references are scanned again.
                state.flags.status.set(status_bits::kReferenceReady);
                state.flags.setReferenceSource(ReferenceSource::CurrentScan);
                axis.RefreshReferenceMinusDark();
            }
        }
    }
    if (closing.result == OpResult::Done) {
        snapshot.DisarmTile();
        closing.caption = messages::kCaptionRefScan;
    }
    return closing;
}

TecPanelView DataControl::TecPanelOpening() const {
    TecPanelView view;
    view.coolerOn = state.cooler.tec != 0;
    view.capacitorChoice = state.HasCoolerRecord() && state.cooler.cap != 0;
    view.tenPicofarad = state.cooler.cap == 10;
    return view;
}

OpResult DataControl::SetTec(const TecChoice &choice) {
    if (state.NoDeviceMode() || !state.HasCoolerRecord()) {
        return OpResult::NotDone;
    }
    const SuspendedAcquisition quiet(hold, HoldBy::Change);
    if (!quiet.paused()) {
        return OpResult::NotDone;
    }
    const std::int32_t previousCap = state.cooler.cap;
    state.cooler.tec = choice.coolerOn ? 1 : 0;
    // A unit without the choice (0) keeps it.
    if (previousCap != 0) {
        state.cooler.cap = choice.tenPicofarad ? 10 : 1;
    }
    const bool sent = setup.SendCoolerRecord();
    if (!sent) {
        state.cooler.cap = previousCap;
    }
    return sent ? OpResult::Done : OpResult::Failed;
}

} // namespace quillon
