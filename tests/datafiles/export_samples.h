// Views shared by the export tests.
#ifndef QUILLON_TESTS_DATAFILES_EXPORT_SAMPLES_H
#define QUILLON_TESTS_DATAFILES_EXPORT_SAMPLES_H

#include "datafiles/exports.h"

namespace quillon::exports {

// `count` grid points from `firstIndex` of the grid start + i * step, shown
// in wavelength; the view's ranges as the graph sets them.
inline ExportAxis gridAxis(double start, double step, int firstIndex, int count) {
    ExportAxis a;
    a.calibratedAxis = true;
    a.unit = AxisUnit::Wavelength;
    a.gridStart = start;
    a.gridStep = step;
    a.firstIndex = firstIndex;
    a.pointCount = count;
    a.viewXStart = start + firstIndex * step;
    a.viewXEnd = start + (firstIndex + count - 1) * step;
    a.viewWavenumberStart = 1e7 / a.viewXEnd;
    a.viewWavenumberEnd = 1e7 / a.viewXStart;
    return a;
}

} // namespace quillon::exports

#endif
