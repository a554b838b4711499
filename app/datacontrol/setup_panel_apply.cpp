// The setup panel's operations. Apply runs its steps in a fixed order under
// one suspend bracket, because the unit must see the trigger requests after
// the integration time they depend on, and a change of the data source makes
// the panel's acquisition and grid values meaningless for the new source.
#include "datacontrol/data_control.h"

#include "datacontrol/messages.h"
#include "datacontrol/settings.h"
#include "ovdbusbm.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quillon {

namespace {

// The panel keeps a wavelength grid at least this wide and ignores a
// change smaller than the precision it shows.
constexpr double kNarrowestGridNm = 20.0;
constexpr double kGridTolerance = 0.001;

constexpr std::uint32_t kDisplayWordPanelBits =
    display_word::kXGrid | display_word::kYGrid | display_word::kYReadout | display_word::kXReadout;

bool isNewer(const ChannelState &s) {
    return s.geometry.newDevice == 1;
}

bool backThinned(const ChannelState &s) {
    return s.geometry.boardType == kBoardS7031 || s.geometry.boardType == kBoardS10420;
}

// The library takes the integration and edge modes only from these sensor
// boards of the newer electronics; any other unit answers -7 to both.
bool takesTriggerModes(const ChannelState &s) {
    return isNewer(s) && (s.geometry.boardType == kBoardIlx511 || backThinned(s));
}

bool differs(double a, double b) {
    return std::fabs(a - b) > kGridTolerance;
}

SettingAssignment assignment(const char *key, double value) {
    return {SettingsTable::Find(key), SettingValue{value, {}}};
}

} // namespace

std::int32_t integrationFromPanel(double shown, bool hundredths) {
    return static_cast<std::int32_t>(std::lround(hundredths ? shown * 100.0 : shown));
}

double integrationForPanel(std::int32_t stored, bool hundredths) {
    return hundredths ? stored / 100.0 : static_cast<double>(stored);
}

TraceColors defaultTraceColors() {
    return {defaults::kBackColor, defaults::kPixelColor, defaults::kTransColor,
            defaults::kAbsorbColor, defaults::kIrradColor};
}

SetupOffer setupOffer(const ChannelState &s) {
    SetupOffer offer;
    offer.hundredths = s.geometry.boardType == kBoardTcd1304;
    offer.integrationMin = integrationForPanel(s.limits.minimum, offer.hundredths);
    offer.integrationMax = integrationForPanel(s.limits.maximum, offer.hundredths);
    offer.calibratedStart = s.acquisition.calStartWavelength;
    offer.calibratedEnd = s.acquisition.calEndWavelength;
    offer.memoryItems = static_cast<int>(s.memory.size());
    offer.memoryModeOn = s.flags.option.test(option_bits::kMemoryMode);
    offer.noDevice = s.NoDeviceMode();
    const bool device = !offer.noDevice;
    const bool newer = isNewer(s);
    offer.softwareTrigger =
        device && newer && (s.geometry.boardType == kBoardIlx511 || backThinned(s));
    offer.scanChoice = device && newer && backThinned(s);
    offer.risingEdge = device && takesTriggerModes(s);
    offer.channelCount = s.channelCount;
    offer.currentChannel = s.currentChannel;
    offer.channelId = s.channelId;
    return offer;
}

SetupEnables setupEnables(const SetupOffer &offer, const SetupChoice &choice) {
    SetupEnables e;
    e.acquisitionValues = !choice.memoryMode;
    e.memoryMode = offer.memoryItems > 0 || offer.memoryModeOn;
    e.deleteMemory = offer.memoryItems > 0 && !offer.memoryModeOn && !choice.memoryMode;
    e.softwareTrigger = offer.softwareTrigger;
    e.edge = !offer.noDevice && choice.trigger == SetupTrigger::Hardware;
    e.scan = offer.scanChoice && choice.trigger == SetupTrigger::FreeRun;
    return e;
}

SetupChoice currentSetupChoice(const ChannelState &s) {
    SetupChoice c;
    const bool hundredths = s.geometry.boardType == kBoardTcd1304;
    c.integrationTime = integrationForPanel(s.limits.current, hundredths);
    c.timeAverage = s.acquisition.timeAverage;
    c.binningAverage = s.acquisition.binningAverage;
    c.smoothingPercent = s.acquisition.smoothingPercent;
    c.memoryMode = s.flags.option.test(option_bits::kMemoryMode);
    c.wavelengthBase = s.flags.option.test(option_bits::kWavelengthBase);
    c.gridStart = s.display.wavelengthStart;
    c.gridEnd = s.display.wavelengthEnd;
    c.gridInterval = s.display.wavelengthStep;
    const std::uint32_t word = s.settings.displayWord;
    c.gridX = (word & display_word::kXGrid) != 0;
    c.gridY = (word & display_word::kYGrid) != 0;
    c.xReadout = (word & display_word::kXReadout) != 0;
    c.yReadout = (word & display_word::kYReadout) != 0;
    c.trigger = static_cast<SetupTrigger>(std::clamp(s.trigger.triggerMode, 0, 2));
    // The trigger settings outlive a channel change: a unit without the
    // software trigger runs free whatever the unit before it did.
    if (c.trigger == SetupTrigger::Software && !setupOffer(s).softwareTrigger) {
        c.trigger = SetupTrigger::FreeRun;
    }
    c.edge = s.trigger.externalEdge == 1 ? SetupEdge::Rising : SetupEdge::Falling;
    c.scan = s.trigger.frameChoice == 1 ? SetupScan::Next : SetupScan::Previous;
    return c;
}

SetupOutcome DataControl::ApplySetupChoice(const SetupChoice &choice) {
    SetupOutcome outcome;
    const SuspendedAcquisition quiet(hold, HoldBy::Dialog);
    if (!quiet.paused()) {
        prompter.message(messages::kSetupNotPaused);
        return outcome;
    }
    std::uint32_t word = state.settings.displayWord & ~kDisplayWordPanelBits;
    word |= (choice.gridX ? display_word::kXGrid : 0u) |
            (choice.gridY ? display_word::kYGrid : 0u) |
            (choice.xReadout ? display_word::kXReadout : 0u) |
            (choice.yReadout ? display_word::kYReadout : 0u);
    state.settings.displayWord = word;

    if (choice.wavelengthBase != state.flags.option.test(option_bits::kWavelengthBase)) {
        SetWavelengthBase(choice.wavelengthBase);
    }
    outcome.sourceChanged = applySetupSource(choice);
    if (!outcome.sourceChanged) {
        if (!applySetupGrid(choice, outcome) || !applySetupAcquisition(choice)) {
            outcome.result = OpResult::Failed;
            return outcome; // the panel stays open with the operator's entries
        }
    }
    const bool triggered =
        state.NoDeviceMode() || (applySetupTrigger(choice) && applySetupExternalTrigger(choice));
    outcome.triggerFailed = !triggered;
    peaks.ClearPeaks();
    outcome.result = triggered ? OpResult::Done : OpResult::Failed;
    outcome.closePanel = true;
    return outcome;
}

// True when the data source changed. Without a unit there is no live
// source to go back to: memory mode stays.
bool DataControl::applySetupSource(const SetupChoice &choice) {
    const bool memory = state.flags.option.test(option_bits::kMemoryMode);
    if (!choice.memoryMode && memory && !state.NoDeviceMode() && stored.CanLeaveMemoryMode()) {
        (void)stored.LeaveMemoryMode(); // a unit that refused its time has been reported
    } else if (choice.memoryMode && !memory) {
        (void)stored.EnterMemoryMode(); // another unit's items have been reported
    }
    return memory != state.flags.option.test(option_bits::kMemoryMode);
}

// A grid that fails to build leaves the one that was in use: the operator
// sees the problem and the panel keeps the entries to correct.
bool DataControl::applySetupGrid(const SetupChoice &choice, SetupOutcome &outcome) {
    const DisplayRecord &d = state.display;
    if (choice.gridEnd <= choice.gridStart + kNarrowestGridNm ||
        !(differs(choice.gridStart, d.wavelengthStart) ||
          differs(choice.gridEnd, d.wavelengthEnd) ||
          differs(choice.gridInterval, d.wavelengthStep))) {
        return true;
    }
    const std::array<SettingAssignment, 3> grid{assignment("StartWL", choice.gridStart),
                                                assignment("EndWL", choice.gridEnd),
                                                assignment("IntervalWL", choice.gridInterval)};
    if (const std::string problem = SettingsTable::Check(grid, state); !problem.empty()) {
        prompter.message(messages::setupNotApplied(problem));
        outcome.gridFailed = true;
        return false;
    }
    const DisplayRecord before = state.display;
    (void)hold.HoldAndWait(); // inside the bracket that has paused acquisition
    for (const SettingAssignment &a : grid) {
        a.key->set(state, a.value);
    }
    if (axis.RebuildWavelengthGrid() == OpResult::Done) {
        outcome.gridRebuilt = true;
        hold.ReleaseHold();
        return true;
    }
    state.display.wavelengthStart = before.wavelengthStart;
    state.display.wavelengthEnd = before.wavelengthEnd;
    state.display.wavelengthStep = before.wavelengthStep;
    // The previous grid's buffers were held before: they fit again.
    (void)axis.RebuildWavelengthGrid();
    hold.ReleaseHold();
    prompter.message(messages::kGridKept);
    outcome.gridFailed = true;
    return false;
}

// Smoothing, time average and binning through the settings table (its
// rules: ranges, smoothing on from 1 %), then the integration time when it
// changed, sent to the unit with dark and reference dropped.
bool DataControl::applySetupAcquisition(const SetupChoice &choice) {
    const std::array<SettingAssignment, 3> values{assignment("FFT", choice.smoothingPercent),
                                                  assignment("TimeAV", choice.timeAverage),
                                                  assignment("BinningAV", choice.binningAverage)};
    std::vector<std::string> warnings;
    if (const std::string problem = ApplySettings(values, warnings); !problem.empty()) {
        prompter.message(messages::setupNotApplied(problem));
        return false;
    }
    const bool hundredths = state.geometry.boardType == kBoardTcd1304;
    const std::int32_t time = integrationFromPanel(choice.integrationTime, hundredths);
    if (time != state.limits.current) {
        if (time < state.limits.minimum || time > state.limits.maximum) {
            prompter.message(messages::setupNotApplied(
                "the integration time lies outside the range of this unit"));
            return false;
        }
        // A unit that refused the time keeps its own; the operator was told.
        (void)SetIntegrationTime(time);
    }
    return true;
}

// False when the unit refused a request (the operator has been told).
bool DataControl::applySetupTrigger(const SetupChoice &choice) {
    TriggerSettings &t = state.trigger;
    const int mode = static_cast<int>(choice.trigger);
    const int scan = static_cast<int>(choice.scan);
    if (mode == t.triggerMode && scan == t.frameChoice) {
        return true;
    }
    const TriggerSettings previous = t;
    t.triggerMode = mode;
    const bool newer = isNewer(state);
    if (choice.trigger == SetupTrigger::FreeRun) {
        if (newer && backThinned(state)) {
            t.integrationMode = choice.scan == SetupScan::Previous ? 1 : 2;
        } else if (newer && state.geometry.boardType == kBoardIlx511) {
            t.integrationMode = 1;
        }
        (void)unit.setSkip(0); // no answer to look at: a unit that is gone fails the next request
    } else if (choice.trigger == SetupTrigger::Software) {
        t.integrationMode = 0;
    }
    if (choice.trigger == SetupTrigger::Hardware || !newer) {
        return true;
    }
    if (!takesTriggerModes(state)) {
        t.frameChoice = scan;
        return true;
    }
    (void)hold.HoldAndWait();
    const bool hundredths = state.geometry.boardType == kBoardTcd1304;
    const double timeMs = integrationForPanel(state.limits.current, hundredths);
    const bool taken = unit.setIntegrationMode(t.integrationMode, timeMs) >= 0;
    hold.ReleaseHold();
    if (!taken) {
        t.integrationMode = previous.integrationMode;
        prompter.message(formatWithNumber(messages::kInternalTriggerMode, state.currentChannel));
        return false;
    }
    t.frameChoice = scan;
    return true;
}

// The external-trigger bit follows what the unit took: a program that
// believes in a trigger the unit never armed would wait for it.
bool DataControl::applySetupExternalTrigger(const SetupChoice &choice) {
    TriggerSettings &t = state.trigger;
    FlagWord &option = state.flags.option;
    const bool external = option.test(option_bits::kExternalTrigger);
    const int edge = static_cast<int>(choice.edge);
    const bool hardware = choice.trigger == SetupTrigger::Hardware;
    const int channel = state.currentChannel;
    bool ok = true;
    if (hardware && (!external || edge != t.externalEdge)) {
        (void)hold.HoldAndWait();
        if (takesTriggerModes(state)) {
            if (unit.setExternalEdge(edge) < 0) {
                prompter.message(formatWithNumber(messages::kExternalEdgeMode, channel));
                ok = false;
            } else {
                t.externalEdge = edge;
            }
        }
        if (unit.setTriggerMode(OV_TRIGGER_EXTERNAL) < 0) {
            prompter.message(formatWithNumber(messages::kExternalTriggering, channel));
            ok = false;
        } else {
            option.set(option_bits::kExternalTrigger);
        }
        hold.ReleaseHold();
    } else if (!hardware && external) {
        (void)hold.HoldAndWait();
        if (unit.setTriggerMode(OV_TRIGGER_INTERNAL) < 0) {
            prompter.message(formatWithNumber(messages::kExternalTriggering, channel));
            ok = false;
        } else {
            option.clear(option_bits::kExternalTrigger);
            // The TCD1304 board forgets its integration time with the trigger mode.
            if (state.geometry.boardType == kBoardTcd1304 && !unit.sendIntegrationTime()) {
                prompter.message(formatWithNumber(messages::kIntegrationTime, channel));
                ok = false;
            }
        }
        hold.ReleaseHold();
    }
    return ok;
}

OpResult DataControl::ChangeSetupChannel(int channel) {
    if (channel == state.currentChannel) {
        return OpResult::NotDone;
    }
    // The configuration sends the new unit its integration time itself.
    const OpResult result = ChangeChannel(channel);
    if (result == OpResult::Done) {
        SetWavelengthBase(false);
        peaks.ClearPeaks();
    }
    return result;
}

OpResult DataControl::DeleteMemory() {
    const OpResult result = stored.ClearList();
    if (result == OpResult::Done) {
        prompter.message(messages::kMemoryDeleted);
    }
    return result;
}

void DataControl::SetTraceColors(const TraceColors &colors) {
    constexpr std::uint32_t kRgb = 0xFFFFFFu;
    state.colors = {colors.back & kRgb, colors.pixel & kRgb, colors.trans & kRgb,
                    colors.absorb & kRgb, colors.irrad & kRgb};
}

} // namespace quillon
