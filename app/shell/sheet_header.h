// The header that every printed sheet of the program starts with: the
// organisation, sample, model and operator columns, the banner line and the
// maker's web address.
#ifndef QUILLON_APP_SHELL_SHEET_HEADER_H
#define QUILLON_APP_SHELL_SHEET_HEADER_H

#include "datacontrol/data_sheet.h"

#include <QFont>
#include <QRect>
#include <QString>

class QPainter;
class QPaintDevice;

namespace quillon {

// A font of `points` size resolved for `device`, so that its metrics are
// in the device's own units.
QFont sheetFont(const QString &family, double points, QPaintDevice *device, bool bold = false);

// The text height of the header's font on the painter's device: L is 1.5
// times this.
int sheetTextHeight(QPainter &painter);

inline QRect toQRect(const SheetRect &r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

// Paints the header at the top of `page` (the page rectangle inside the
// margins); returns where the header ends.
int paintSheetHeader(QPainter &painter, const QRect &page, const SheetHeaderTexts &texts);

} // namespace quillon

#endif
