// The three colour charts (chromaticity with its Y bar, L*a*b* with its
// lightness bar, reflectance bars) and the colour tile, drawn over any
// painter: the colour view's window and the printed colour sheet.
#ifndef QUILLON_APP_PHOTOMETRY_COLOUR_VIEW_COLOUR_CHARTS_H
#define QUILLON_APP_PHOTOMETRY_COLOUR_VIEW_COLOUR_CHARTS_H

#include "datacontrol/colour_view_rules.h"

#include <QColor>
#include <QPalette>
#include <QRect>

#include <cstdint>

class QPainter;

namespace quillon {

inline QColor colourOfPacked(std::uint32_t rgb) {
    return QColor(static_cast<int>(rgb & 0xFFu), static_cast<int>(rgb >> 8 & 0xFFu),
                  static_cast<int>(rgb >> 16 & 0xFFu));
}

void paintColourCharts(QPainter &painter, const QRect &area,
                       const colour_view::ColourChartData &data);
// Three nested raised frames in the palette's light and shadow colours,
// filled with the tile colour (red in the low byte).
void paintColourTile(QPainter &painter, const QRect &area, std::uint32_t tile,
                     const QPalette &palette);

} // namespace quillon

#endif
