// The graph's view range record and the arithmetic that changes it: reset per
// display mode, zoom, pan and rubber band. No Qt.
#ifndef QUILLON_APP_SHELL_VIEW_RANGE_H
#define QUILLON_APP_SHELL_VIEW_RANGE_H

#include "shell/graph_layout.h"

#include <cmath>
#include <limits>

namespace quillon {

// Display modes as the status word carries them (bits 13-15).
enum class GraphMode {
    Scope = 0,
    DarkScan = 1,
    ReferenceScan = 2,
    TransRefl = 3,
    Absorbance = 4,
    Irradiance = 5
};

// X unit of the option word (bits 0-1); 3 is shown like wavelength.
enum class GraphXUnit { Pixel = 0, Wavelength = 1, Wavenumber = 2, Other = 3 };

enum class InteractionMode {
    None = 0,
    RubberBand = 1,
    PanX = 2,
    PanY = 3,
    ZoomIn = 4,
    ZoomOut = 5,
    DragCursor = 6,
};

struct ViewRange {
    float xStart = 0.0f;
    float xEnd = 1.0f;
    float fullXStart = 0.0f;
    float fullYStart = 0.0f;
    float fullXSpan = 1.0f;
    float fullYSpan = 1.0f;
    float yStart = 0.0f;
    float yEnd = 1.0f;
    float reserved0 = 0.0f;
    float reserved1 = 100.0f;
    float wavenumberStart = 0.0f; // 10,000,000 / x end
    float wavenumberEnd = 0.0f;   // 10,000,000 / x start
    float xScale = 0.0f;          // pixels per x unit
    float wavenumberScale = 0.0f;
    float yScale = 0.0f;
    bool peakMarks = false;
    // The cursor line is kept as a data position (pixel number on pixel-held
    // data, wavelength in nm on the calibrated axis; NaN = none), so that it
    // stays on its wavelength when the window is resized or the view zoomed.
    // cursorLine is its picture column for the current plot, -1 when there
    // is none or it lies outside the view.
    float cursorPosition = std::numeric_limits<float>::quiet_NaN();
    int cursorLine = -1;
    int lastMouseX = -1;
    int lastMouseY = -1;

    float fullXEnd() const { return fullXStart + fullXSpan; }
    bool hasCursor() const { return !std::isnan(cursorPosition); }
    float fullYEnd() const { return fullYStart + fullYSpan; }
};

// The display record's ranges (settings of the graph axes).
struct DisplaySettings {
    int pixelStart = 1;
    int pixelEnd = 2048;
    int countsMin = 0;
    int countsMax = 65535;
    float wavelengthStart = 350.0f;
    float wavelengthEnd = 1000.0f;
    float wavelengthStep = 1.0f;
    float transMin = -10.0f;
    float transMax = 110.0f;
    float absorbMin = -1.0f;
    float absorbMax = 3.0f;
    float irradMin = 0.0f;
    float irradMax = 3.0f;
};

// What a range reset and a zoom step depend on.
struct RangeContext {
    DisplaySettings settings;
    GraphMode mode = GraphMode::Scope;
    bool calibratedAxis = false; // spectrum held on the wavelength grid (option bit 3)
    bool relativeIrradiance = false;
};

// The range from the display settings; full range = this range. Empty,
// inverted or non-finite settings give a span of 1 so no scale divides by 0.
ViewRange resetViewRange(const RangeContext &context);

// Wavenumber range and the three scales for a plot rectangle.
void updateDerivedRange(ViewRange &range, const PixelRect &plot);

// One step in: each side moves in by 1/20 of the full span. An axis whose
// step would close or invert its range keeps its range.
void zoomIn(ViewRange &range, const RangeContext &context);

// One step out, never beyond the full range.
void zoomOut(ViewRange &range);

// Shift by a mouse movement in pixels (content follows the mouse), cut at
// the full range; the span is kept.
void panX(ViewRange &range, float dxPixels);
void panY(ViewRange &range, float dyPixels);

// A band (any two corners, picture pixels) confined to the plot becomes the
// new range when it is wider or taller than 10 pixels; returns whether it
// zoomed. An axis the band covers with less than one pixel keeps its range.
bool applyRubberBand(ViewRange &range, const PixelRect &plot, int x0, int y0, int x1, int y1);

// Axis value under a picture pixel.
double xValueAt(const ViewRange &range, const PixelRect &plot, int x);
double yValueAt(const ViewRange &range, const PixelRect &plot, int y);

// Page of the text panel for an x unit and mode: pixels 1; modes 0-3 2;
// absorbance 3; irradiance 4.
int textPanelPage(GraphXUnit unit, GraphMode mode);

} // namespace quillon

#endif
