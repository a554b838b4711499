// What the dark, reference and TEC panels show when they open and what
// they hand back when they close: plain values, so that the rules behind
// them stay in DataControl (source_panels.cpp) and front ends only present.
#ifndef QUILLON_APP_DATACONTROL_SOURCE_PANELS_H
#define QUILLON_APP_DATACONTROL_SOURCE_PANELS_H

#include "datacontrol/display_flags.h"
#include "datacontrol/op_result.h"

#include <optional>
#include <string>

namespace quillon {

inline constexpr const char *kColourTileExtension = ".ctf";

struct DarkPanelView {
    DarkSource source = DarkSource::Scan;
    bool darkExists = false;
    // Optical-black subtraction: offered only once the sensor geometry is known.
    bool subtraction = false;
    bool subtractionOffered = false;
    bool shutterFitted = false;
    // The unit's answer; none without a shutter or when it did not answer.
    std::optional<bool> shutterClosed;
    std::string name; // the project name
};

struct DarkPanelChoice {
    DarkSource source = DarkSource::Scan;
    bool fileLoaded = false; // a dark file was loaded while the panel was open
    bool subtraction = false;
};

struct ReferencePanelView {
    ReferenceSource source = ReferenceSource::CurrentScan;
    bool darkExists = false;
    bool referenceExists = false;
    double maximum = 100.0;        // the reference maximum (T/R % of the reference)
    double lowestMaximum = 0.01;   // what the maximum accepts
    double highestMaximum = 100.0; //
    std::string name;
};

struct ReferencePanelChoice {
    ReferenceSource source = ReferenceSource::CurrentScan;
    bool fileLoaded = false;
    double maximum = 100.0;
};

// What closing a panel did: the new caption of its main button (none: the
// caption stays) and, when something was refused, why (the user has
// been told).
struct PanelClosing {
    OpResult result = OpResult::Done;
    std::optional<std::string> caption;
    std::string problem;
};

// The colour-tile operation the reference button performs next.
enum class ColourTileTask { Save, Read };

struct ColourTileArming {
    OpResult result = OpResult::NotDone;
    std::string status;  // the panel's status line when refused
    std::string caption; // the reference button's caption when armed
};

struct TecPanelView {
    bool coolerOn = false;
    bool capacitorChoice = false; // the unit reports a capacitor value
    bool tenPicofarad = false;
};

struct TecChoice {
    bool coolerOn = false;
    bool tenPicofarad = false;
};

} // namespace quillon

#endif
