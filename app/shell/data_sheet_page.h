// The spectral data sheet as one page: gathered once (texts and a copy of
// the graph), then painted into any device, the printer, a PDF file or the
// print preview.
#ifndef QUILLON_APP_SHELL_DATA_SHEET_PAGE_H
#define QUILLON_APP_SHELL_DATA_SHEET_PAGE_H

#include "datacontrol/colour_view_rules.h"
#include "datacontrol/data_sheet.h"
#include "shell/graph_snapshot.h"

#include <QString>

class QPainter;
class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace quillon {

class DataControl;
class Prompter;
struct GraphViewState;

// A sheet that paints itself into the painter's device; false when the
// device is too small to hold it.
class PrintedPage {
public:
    virtual ~PrintedPage() = default;
    virtual bool paint(QPainter &painter) const = 0;
};

class DataSheetPage : public PrintedPage {
public:
    DataSheetPage(DataSheetTexts texts, GraphSnapshot graph)
        : texts_(std::move(texts)), graph_(std::move(graph)) {}

    // Reads the state; the caller holds acquisition so nothing changes
    // meanwhile. Unreadable settings are told to the operator.
    static DataSheetPage compose(DataControl &control, const GraphViewState &view,
                                 bool factoryForm);

    // Paints the page into the painter's device; false when the device is
    // too small to hold it.
    bool paint(QPainter &painter) const override;

    const DataSheetTexts &texts() const { return texts_; }

private:
    void paintBoxes(QPainter &painter, const SheetGeometry &geometry) const;

    DataSheetTexts texts_;
    GraphSnapshot graph_;
};

// One document named "Orvantis" with the page: false (the document
// aborted where the device can) when the painter cannot start or the page
// fails.
bool printDataSheet(QPagedPaintDevice &device, const PrintedPage &page);
bool printDataSheet(QPrinter &printer, const PrintedPage &page);

// The page as a PDF document in memory; empty when it could not be made.
QByteArray dataSheetPdf(const PrintedPage &page);

// The page printed; false, with the operator told, when it could not be.
bool printOrTell(QPrinter &printer, const PrintedPage &page, Prompter &prompter);
// The print dialog for the page (no selection, page range or print to
// file), and the print preview; a page that fails is told to the operator.
void printWithDialog(QWidget *parent, QPrinter &printer, const PrintedPage &page,
                     Prompter &prompter);
void previewPage(QWidget *parent, QPrinter &printer, const PrintedPage &page, Prompter &prompter);

// The colour data sheet: the header every sheet shares, the colour values,
// the reflectance table in two boxes and the three charts of the colour view.
class ColourSheetPage : public PrintedPage {
public:
    ColourSheetPage(SheetHeaderTexts header, colour_view::ColourSnapshot snapshot,
                    colour_view::ColourChartData charts)
        : header_(std::move(header)), snapshot_(std::move(snapshot)), charts_(std::move(charts)) {}

    // The header's Print Page texts are read now; an unreadable file is told.
    static ColourSheetPage compose(DataControl &control, colour_view::ColourSnapshot snapshot,
                                   colour_view::ColourChartData charts);
    bool paint(QPainter &painter) const override;

private:
    SheetHeaderTexts header_;
    colour_view::ColourSnapshot snapshot_;
    colour_view::ColourChartData charts_;
};

} // namespace quillon

#endif
