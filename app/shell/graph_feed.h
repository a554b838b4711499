// What the graph needs from the measurement object: the range context and
// axis context (interface thread) and the per-pass snapshot (worker).
#ifndef QUILLON_APP_SHELL_GRAPH_FEED_H
#define QUILLON_APP_SHELL_GRAPH_FEED_H

#include "datacontrol/data_control.h"
#include "shell/graph_snapshot.h"
#include "shell/scope_graph.h"

namespace quillon {

GraphMode graphModeOf(DisplayMode mode);
GraphXUnit graphXUnitOf(XUnit unit);
IrradianceUnit irradianceUnitOf(const DataControl &control);

RangeContext rangeContextFrom(const DataControl &control);
GraphAxisContext axisContextFrom(const DataControl &control);

// The found peaks as marks, reusing the vector's room.
void fillPeakMarks(const DataControl &control, std::vector<PeakMark> &marks);

// Fills `snapshot` for one pass, reusing its vectors' room. `recorded` (a
// time-line frame's copy) replaces the current result, which the recorder's
// thread may be writing; its scan statistics are then not shown.
void fillSnapshot(const DataControl &control, const GraphViewState &view, GraphSnapshot &snapshot,
                  const ScanResult *recorded = nullptr);

// Index of the value drawn at picture column `x` of `plot`, or -1 outside
// the data.
int valueIndexAt(const GraphSnapshot &snapshot, const PixelRect &plot, int x);

} // namespace quillon

#endif
