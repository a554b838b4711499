// The spectral data sheet as one page: gathered once (texts and a copy of
// the graph), then painted into any device, the printer, a PDF file or the
// print preview.
#ifndef QUILLON_APP_SHELL_DATA_SHEET_PAGE_H
#define QUILLON_APP_SHELL_DATA_SHEET_PAGE_H

#include "datacontrol/data_sheet.h"
#include "shell/graph_snapshot.h"

#include <QString>

class QPainter;
class QPagedPaintDevice;
class QPrinter;

namespace quillon {

class DataControl;
struct GraphViewState;

class DataSheetPage {
public:
    DataSheetPage(DataSheetTexts texts, GraphSnapshot graph)
        : texts_(std::move(texts)), graph_(std::move(graph)) {}

    // Reads the state; the caller holds acquisition so nothing changes
    // meanwhile. Unreadable settings are told to the operator.
    static DataSheetPage compose(DataControl &control, const GraphViewState &view,
                                 bool factoryForm);

    // Paints the page into the painter's device; false when the device is
    // too small to hold it.
    bool paint(QPainter &painter) const;

    const DataSheetTexts &texts() const { return texts_; }

private:
    void paintBoxes(QPainter &painter, const SheetGeometry &geometry) const;

    DataSheetTexts texts_;
    GraphSnapshot graph_;
};

// One document named "Orvantis" with the page: false (the document
// aborted where the device can) when the painter cannot start or the page
// fails.
bool printDataSheet(QPagedPaintDevice &device, const DataSheetPage &page);
bool printDataSheet(QPrinter &printer, const DataSheetPage &page);

// The page as a PDF document in memory; empty when it could not be made.
QByteArray dataSheetPdf(const DataSheetPage &page);

} // namespace quillon

#endif
