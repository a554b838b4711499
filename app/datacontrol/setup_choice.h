// The choices of the setup panel of the "&QX Setup" button, the rules that
// decide which of its controls a unit offers, and what an Apply did. The
// panel fills a SetupChoice from the state, lets the operator change it and
// hands it to DataControl::ApplySetupChoice, which holds the order of the
// steps and every rule.
#ifndef QUILLON_APP_DATACONTROL_SETUP_CHOICE_H
#define QUILLON_APP_DATACONTROL_SETUP_CHOICE_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"

#include <cstdint>

namespace quillon {

enum class SetupTrigger { FreeRun = 0, Software = 1, Hardware = 2 };
// The frame a free-running newer unit reads out after its trigger.
enum class SetupScan { Previous = 0, Next = 1 };
enum class SetupEdge { Falling = 0, Rising = 1 };

struct SetupChoice {
    // In the panel's unit: ms, with two decimals on units counting 10 us steps.
    double integrationTime = 0.0;
    int timeAverage = 1;
    int binningAverage = 0;
    int smoothingPercent = 0;
    bool memoryMode = false;
    bool wavelengthBase = false;
    double gridStart = 0.0;
    double gridEnd = 0.0;
    double gridInterval = 1.0;
    bool gridX = false;
    bool gridY = false;
    bool xReadout = false;
    bool yReadout = false;
    SetupTrigger trigger = SetupTrigger::FreeRun;
    SetupEdge edge = SetupEdge::Falling;
    SetupScan scan = SetupScan::Previous;
};

// What the unit and the state offer, independent of the operator's choices.
struct SetupOffer {
    bool hundredths = false; // integration time counted in 10 us steps
    double integrationMin = 0.0;
    double integrationMax = 0.0;
    int calibratedStart = 0; // whole nm
    int calibratedEnd = 0;
    int memoryItems = 0;
    bool memoryModeOn = false;
    bool noDevice = false;
    bool softwareTrigger = false; // the radio can be chosen
    bool scanChoice = false;      // "Previous" and "Next" are offered
    bool risingEdge = false;      // "Rising" is offered beside "Falling"
    int channelCount = 0;
    int currentChannel = 0;
    int channelId = 0;
};

// Which controls can be used with the choices as they stand.
struct SetupEnables {
    bool acquisitionValues = false; // integration time, time average, binning
    bool memoryMode = false;
    bool deleteMemory = false;
    bool softwareTrigger = false;
    bool edge = false;
    bool scan = false;
};

// What an Apply did. `closePanel` false: the panel stays open with the
// operator's entries (the wavelength grid could not be built; the previous
// one is in use again, or acquisition did not pause).
struct SetupOutcome {
    OpResult result = OpResult::NotDone;
    bool closePanel = false;
    bool sourceChanged = false;
    bool gridRebuilt = false;
    bool gridFailed = false;
    bool triggerFailed = false;
};

// Highest identifier a unit can be given (the library maps ten channels).
inline constexpr int kHighestChannelId = 9;

SetupOffer setupOffer(const ChannelState &state);
SetupEnables setupEnables(const SetupOffer &offer, const SetupChoice &choice);
// The panel's values of the state as it is.
SetupChoice currentSetupChoice(const ChannelState &state);
// The integration time in the state's unit of a value shown by the panel.
std::int32_t integrationFromPanel(double shown, bool hundredths);
double integrationForPanel(std::int32_t stored, bool hundredths);
// The colour record as a new settings file has it.
TraceColors defaultTraceColors();

} // namespace quillon

#endif
