#include "shell/data_sheet_page.h"

#include "colour_view/colour_charts.h"
#include "datacontrol/data_control.h"
#include "platform/prompter.h"
#include "shell/deployment.h"
#include "shell/graph_feed.h"
#include "shell/graph_renderer.h"
#include "shell/scope_graph.h"
#include "shell/sheet_header.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

constexpr double kBoxPoints = 9.0;
constexpr double kSmallestPoints = 4.0;
// The screen's logical resolution: the graph is laid out as a picture of
// the box's size at this resolution, then scaled to the device.
constexpr double kScreenDpi = 96.0;

QFont boxFont(QPaintDevice *device, double points) {
    QFont font = sheetFont("Courier New", points, nullptr);
    font.setStyleHint(QFont::Monospace);
    font.setFamilies({"Courier New", "Courier", "DejaVu Sans Mono"});
    return QFont(font, device);
}

// The box font at its size, smaller when the widest line would not fit.
QFont fittingFont(QPaintDevice *device, const std::vector<QString> &lines, int width) {
    QFont font = boxFont(device, kBoxPoints);
    int widest = 0;
    const QFontMetrics metrics(font);
    for (const QString &line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    if (widest > width && widest > 0) {
        const double points =
            std::max(kSmallestPoints, kBoxPoints * static_cast<double>(width) / widest * 0.98);
        font = boxFont(device, points);
    }
    return font;
}

std::vector<QString> qLines(const std::vector<std::string> &lines) {
    std::vector<QString> out;
    out.reserve(lines.size());
    for (const std::string &line : lines) {
        out.push_back(QString::fromStdString(line));
    }
    return out;
}

// Frame and title; returns the rectangle left for the lines.
QRect paintBoxFrame(QPainter &painter, const QRect &box, const QString &title, int pad) {
    QPaintDevice *device = painter.device();
    painter.setPen(QPen(Qt::black, std::max(1, pad / 8)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    const QFont titleFont = sheetFont("Arial", kBoxPoints, device, true);
    const int titleHeight = QFontMetrics(titleFont).height();
    painter.setFont(titleFont);
    const QRect titleRow(box.left() + pad, box.top() + pad / 2, box.width() - 2 * pad, titleHeight);
    painter.drawText(titleRow, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    painter.drawLine(box.left(), titleRow.bottom() + pad / 2, box.right(),
                     titleRow.bottom() + pad / 2);
    return QRect(box.left() + pad, titleRow.bottom() + pad, box.width() - 2 * pad,
                 box.bottom() - titleRow.bottom() - 2 * pad);
}

// Lines from the top of `area`, as many as fit.
void paintLines(QPainter &painter, const QRect &area, const std::vector<QString> &lines,
                const QFont &font) {
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int step = metrics.lineSpacing();
    int y = area.top();
    for (const QString &line : lines) {
        if (y + step > area.bottom() + 1) {
            break;
        }
        painter.drawText(QRect(area.left(), y, area.width(), step),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += step;
    }
}

bool paintOnDevice(QPaintDevice &device, const PrintedPage &page) {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    const bool painted = page.paint(painter);
    const bool ended = painter.end();
    return painted && ended;
}

} // namespace

DataSheetPage DataSheetPage::compose(DataControl &control, const GraphViewState &view,
                                     bool factoryForm) {
    GraphSnapshot graph;
    fillSnapshot(control, view, graph);
    // The statistics box is a reading aid of the screen, not part of the sheet.
    graph.statistics.reset();
    DataSheetRequest request;
    request.factoryForm = factoryForm;
    request.viewStart = view.range.xStart;
    request.viewEnd = view.range.xEnd;
    request.time = sheetTimeNow();
    request.telephone = deployment::kTelephone;
    request.webAddress = deployment::kHomePage;
    return DataSheetPage(composeDataSheet(control, request), std::move(graph));
}

bool DataSheetPage::paint(QPainter &painter) const {
    QPaintDevice *device = painter.device();
    if (device == nullptr) {
        return false;
    }
    const SheetGeometry geometry =
        sheetGeometry(device->width(), device->height(), sheetTextHeight(painter));
    if (geometry.page.width() <= 0 || geometry.graph.height() <= 0 ||
        geometry.boxes[0].height() <= 0) {
        return false;
    }
    paintSheetHeader(painter, toQRect(geometry.page), texts_.header);

    const QRect graphBox = toQRect(geometry.graph);
    const double scale = std::max(1.0, device->logicalDpiX() / kScreenDpi);
    painter.save();
    painter.translate(graphBox.topLeft());
    painter.scale(scale, scale);
    GraphRenderer renderer({"Verdana", "DejaVu Sans"});
    renderer.paint(graph_, painter, static_cast<int>(graphBox.width() / scale),
                   static_cast<int>(graphBox.height() / scale));
    painter.restore();
    painter.setPen(QPen(Qt::black, std::max(1, geometry.header.lineHeight / 40)));
    painter.drawRect(graphBox);

    paintBoxes(painter, geometry);
    return true;
}

void DataSheetPage::paintBoxes(QPainter &painter, const SheetGeometry &geometry) const {
    QPaintDevice *device = painter.device();
    const int pad = std::max(2, geometry.header.lineHeight / 4);
    painter.save();
    if (texts_.unitBoxReadable) {
        const QRect area =
            paintBoxFrame(painter, toQRect(geometry.boxes[0]), "Unit Information", pad);
        const std::vector<QString> lines = qLines(texts_.unitLines);
        paintLines(painter, area, lines, fittingFont(device, lines, area.width()));
    }

    if (texts_.factoryForm) {
        if (texts_.factoryBoxReadable) {
            const QRect area =
                paintBoxFrame(painter, toQRect(geometry.boxes[1]), "Factory Unit Information", pad);
            const std::vector<QString> lines = qLines(texts_.secondLines);
            paintLines(painter, area, lines, fittingFont(device, lines, area.width()));
        }
    } else {
        const QRect area =
            paintBoxFrame(painter, toQRect(geometry.boxes[1]), "Wavelength value", pad);
        const int columnWidth = (area.width() - pad) / 2;
        const QFont font = fittingFont(device, qLines(texts_.secondLines), columnWidth);
        const int perColumn = area.height() / std::max(1, QFontMetrics(font).lineSpacing());
        const SheetColumns columns = splitInTwoColumns(texts_.secondLines, perColumn);
        paintLines(painter, QRect(area.left(), area.top(), columnWidth, area.height()),
                   qLines(columns.left), font);
        paintLines(painter,
                   QRect(area.left() + columnWidth + pad, area.top(), columnWidth, area.height()),
                   qLines(columns.right), font);
    }

    const QRect area = paintBoxFrame(painter, toQRect(geometry.boxes[2]), "Peak Data", pad);
    std::vector<QString> lines;
    if (texts_.peaks.rows.empty()) {
        lines.emplace_back(kNoPeakData);
    } else {
        lines.push_back(QString::fromStdString(texts_.peaks.header));
        for (const QString &row : qLines(texts_.peaks.rows)) {
            lines.push_back(row);
        }
    }
    paintLines(painter, area, lines, fittingFont(device, lines, area.width()));
    painter.restore();
}

bool printDataSheet(QPagedPaintDevice &device, const PrintedPage &page) {
    return paintOnDevice(device, page);
}

bool printDataSheet(QPrinter &printer, const PrintedPage &page) {
    printer.setDocName(kSheetDocumentName);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    if (!page.paint(painter)) {
        printer.abort();
        painter.end();
        return false;
    }
    return painter.end() && printer.printerState() != QPrinter::Error &&
           printer.printerState() != QPrinter::Aborted;
}

QByteArray dataSheetPdf(const PrintedPage &page) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return {};
    }
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(kSheetDocumentName);
        writer.setCreator(deployment::kProgramName);
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A4));
        if (!printDataSheet(writer, page)) {
            return {};
        }
    }
    buffer.close();
    return bytes;
}

bool printOrTell(QPrinter &printer, const PrintedPage &page, Prompter &prompter) {
    if (printDataSheet(printer, page)) {
        return true;
    }
    prompter.message(data_sheet_messages::kPageFailed);
    return false;
}

void printWithDialog(QWidget *parent, QPrinter &printer, const PrintedPage &page,
                     Prompter &prompter) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() == QDialog::Accepted) {
        (void)printOrTell(printer, page, prompter);
    }
}

void previewPage(QWidget *parent, QPrinter &printer, const PrintedPage &page, Prompter &prompter) {
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle("Print Preview");
    dialog.resize(900, 1000);
    // The preview's own print button prints the same page.
    QObject::connect(
        &dialog, &QPrintPreviewDialog::paintRequested, &dialog,
        [&page, &prompter](QPrinter *target) { (void)printOrTell(*target, page, prompter); });
    dialog.exec();
}

ColourSheetPage ColourSheetPage::compose(DataControl &control, colour_view::ColourSnapshot snapshot,
                                         colour_view::ColourChartData charts) {
    const ChannelState &s = control.State();
    const PrintPageFile file(s.mainSettingsPath);
    std::string why;
    const std::optional<PrintPageTexts> texts = file.Read(why);
    if (!texts) {
        control.Prompt().message(colour_view::kColourSheetHeaderUnreadable);
    }
    SheetHeaderTexts header = sheetHeaderTexts(texts, s.settings.modelName, sheetTimeNow(),
                                               deployment::kTelephone, deployment::kHomePage);
    return ColourSheetPage(std::move(header), std::move(snapshot), std::move(charts));
}

bool ColourSheetPage::paint(QPainter &painter) const {
    QPaintDevice *device = painter.device();
    if (device == nullptr) {
        return false;
    }
    const SheetGeometry geometry =
        sheetGeometry(device->width(), device->height(), sheetTextHeight(painter));
    if (geometry.page.width() <= 0 || geometry.graph.height() <= 0) {
        return false;
    }
    const int below = paintSheetHeader(painter, toQRect(geometry.page), header_);
    const QRect page = toQRect(geometry.page);
    const int pad = std::max(2, geometry.header.lineHeight / 4);
    // The values and the table above, the charts below.
    const int boxesHeight = (page.bottom() - below) * 9 / 20;
    const int third = page.width() / 3;
    painter.save();
    const std::vector<QString> constants = qLines(colour_view::colourConstantLines(snapshot_));
    const std::array<std::vector<std::string>, 2> table = colour_view::reflectanceBoxes(snapshot_);
    const char *titles[] = {"Color Constant", "Wavelength value", "Wavelength value(2)"};
    for (int box = 0; box < 3; ++box) {
        const QRect frame(page.left() + box * third, below + pad, third - pad, boxesHeight - pad);
        const QRect area = paintBoxFrame(painter, frame, titles[box], pad);
        const std::vector<QString> lines =
            box == 0 ? constants : qLines(table[static_cast<std::size_t>(box - 1)]);
        paintLines(painter, area, lines, fittingFont(device, lines, area.width()));
    }
    painter.restore();
    const QRect charts(page.left(), below + boxesHeight + pad, page.width(),
                       page.bottom() - below - boxesHeight - pad);
    if (charts.height() > 0) {
        const double scale = std::max(1.0, device->logicalDpiX() / kScreenDpi);
        painter.save();
        painter.translate(charts.topLeft());
        painter.scale(scale, scale);
        paintColourCharts(painter,
                          QRect(0, 0, static_cast<int>(charts.width() / scale),
                                static_cast<int>(charts.height() / scale)),
                          charts_);
        painter.restore();
    }
    return true;
}

} // namespace quillon
