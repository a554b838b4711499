// The printed data sheet on the simulated bench: the commands are there,
// the page printed to PDF holds every box where the sheet puts it (read
// back by an independent PDF reader), a page that cannot be printed is told,
// and the preview shows the one page.
#include "gui_fixture.h"

#include "shell/commands.h"
#include "shell/quillon_view.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace quillon;
using namespace quillon::test;

namespace {

// The page as an independent reader lays it out, one string per line.
QStringList pdfLines(const QString &file) {
    QProcess reader;
    reader.start("pdftotext", {"-layout", file, "-"});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(reader.readAllStandardOutput()).split('\n');
}

// First line (from `from`) that holds `text`, -1 when none does.
int lineOf(const QStringList &lines, const QString &text, int from = 0) {
    for (int k = from; k < lines.size(); ++k) {
        if (lines[k].contains(text)) {
            return k;
        }
    }
    return -1;
}

bool printTo(CQuillonView &view, const QString &file) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return view.printPage(printer, view.composeSheet());
}

} // namespace

class PrintSheetTest : public QObject {
    Q_OBJECT

private slots:
    void printCommandsAreEnabled();
    void thePageHoldsEveryBoxInItsPlace();
    void theFactoryFormAndFoundPeaksFillTheirBoxes();
    void aPageThatCannotBePrintedIsTold();
    void thePreviewShowsOnePage();
    void aCancelledPrintDialogPrintsNothingAndLetsAcquisitionGo();
};

void PrintSheetTest::printCommandsAreEnabled() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    frame->updateCommandStates();
    QVERIFY(frame->scopeView().button(command::kPrint)->isEnabled());
    QVERIFY(frame->action(command::kPrint)->isEnabled());
    QVERIFY(frame->action(command::kPrintPreview)->isEnabled());
    QCOMPARE(frame->action(command::kPrintPreview)->text(), QString("Print Pre&view..."));
}

void PrintSheetTest::thePageHoldsEveryBoxInItsPlace() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    const QString file = session.path("sheet.pdf");
    QVERIFY(printTo(frame->scopeView(), file));
    QVERIFY(session.prompter().textsOf(PromptKind::Message).empty());
    const QStringList lines = pdfLines(file);
    QVERIFY2(!lines.isEmpty(), "pdftotext could not read the page");

    // Header: three columns on the first line, left to right.
    const QString &first = lines[lineOf(lines, "Organization : Orvantis")];
    QVERIFY(first.indexOf("Organization") < first.indexOf("Spectral Data Sheet"));
    QVERIFY(first.indexOf("Spectral Data Sheet") < first.indexOf("Operator : Manager"));
    const int sample = lineOf(lines, "Sample : Sample");
    QVERIFY(sample > 0);
    QVERIFY(lines[sample].contains(
        QRegularExpression(R"(Date : \d\d/\d\d/\d\d\d\d\s+\d\d:\d\d:\d\d)")));
    QVERIFY(lineOf(lines, "Model : ") > 0);
    const int banner = lineOf(lines, "Orvantis", sample + 1);
    QVERIFY(banner > sample);
    QVERIFY(lineOf(lines, "https://www.orvantis.com/") > banner);

    // The graph with its axis title, then the three boxes side by side.
    const int graph = lineOf(lines, "Intensity", banner);
    QVERIFY(graph > banner);
    const int boxes = lineOf(lines, "Unit Information");
    QVERIFY(boxes > graph);
    const QString &titles = lines[boxes];
    QVERIFY(titles.indexOf("Unit Information") < titles.indexOf("Wavelength value"));
    QVERIFY(titles.indexOf("Wavelength value") < titles.indexOf("Peak Data"));
    QVERIFY(lines[boxes + 1].contains("Serial No="));
    QVERIFY(lines[boxes + 1].contains("No Peak Data"));
    QVERIFY(lineOf(lines, "Coefficient of 3th order", boxes) > boxes);
    QVERIFY(lineOf(lines, "Calibration Data", boxes) > boxes);
    // Two columns of value pairs under "Wavelength value".
    QVERIFY(lines[boxes + 2].contains(
        QRegularExpression(R"(\d+\.\d{3}\s+\d+\.\d{3}\s+\d+\.\d{3}\s+\d+\.\d{3})")));

    // A second reader renders the page.
    QCOMPARE(QProcess::execute("pdftoppm",
                               {"-png", "-r", "40", "-singlefile", file, session.path("sheet")}),
             0);
    QVERIFY(QImage(session.path("sheet.png")).width() > 0);
}

void PrintSheetTest::theFactoryFormAndFoundPeaksFillTheirBoxes() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    CQuillonView &view = frame->scopeView();
    runSimCommand("set 0 source dark");
    QVERIFY(session.waitForFrames(2));
    clickMain(view.button(command::kDarkScanPanel));
    runSimCommand("set 0 source hgar");
    QVERIFY(session.waitForFrames(3));
    view.changeXUnit(static_cast<int>(XUnit::Wavelength));
    QVERIFY(session.waitForFrames(2));
    view.runFindPeak();
    QVERIFY(!session.control().Peaks().empty());
    view.setFactoryForm(true);

    const QString file = session.path("factory.pdf");
    QVERIFY(printTo(view, file));
    const QStringList lines = pdfLines(file);
    const int boxes = lineOf(lines, "Factory Unit Information");
    QVERIFY(boxes > 0);
    QVERIFY(lines[boxes].contains("Peak Data"));
    QVERIFY(lines[boxes + 1].contains("Slit Width = Slit"));
    QVERIFY(lines[boxes + 1].contains(QRegularExpression(R"(No :\s+Wavelength\s+Intensity)")));
    QVERIFY(lines[boxes + 2].contains(QRegularExpression(R"(1\s+:\s+\d+\.\d{3}\s+\d+\.\d{3})")));
    QVERIFY(lineOf(lines, "Board Serial No = BoardSerial", boxes) > boxes);
    QVERIFY(lineOf(lines, "Wavelength value") < 0);
    view.clearPeaks();
}

void PrintSheetTest::aPageThatCannotBePrintedIsTold() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    const QString file = session.path("no-such-folder/sheet.pdf");
    QVERIFY(!printTo(frame->scopeView(), file));
    QVERIFY(!QFile::exists(file));
    const auto shown = session.prompter().textsOf(PromptKind::Message);
    QCOMPARE(shown.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(shown[0]), QString(data_sheet_messages::kPageFailed));
}

void PrintSheetTest::thePreviewShowsOnePage() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    QCOMPARE(previewPageCountOf(frame->action(command::kPrintPreview)), 1);
    QVERIFY(session.prompter().textsOf(PromptKind::Message).empty());
    // The hold of the preview is let go.
    QVERIFY(!session.control().State().flags.status.test(status_bits::kDrawingSuspended));
}

void PrintSheetTest::aCancelledPrintDialogPrintsNothingAndLetsAcquisitionGo() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    bool heldWhileOpen = false;
    bool dialogSeen = false;
    QTimer::singleShot(0, this, [&] {
        if (auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget())) {
            dialogSeen = true;
            heldWhileOpen = session.control().State().flags.status.test(status_bits::kHold);
            QVERIFY(!dialog->testOption(QAbstractPrintDialog::PrintToFile));
            QVERIFY(!dialog->testOption(QAbstractPrintDialog::PrintSelection));
            QVERIFY(!dialog->testOption(QAbstractPrintDialog::PrintPageRange));
            dialog->reject();
        }
    });
    clickMain(frame->scopeView().button(command::kPrint));
    QVERIFY(dialogSeen);
    QVERIFY(heldWhileOpen);
    QVERIFY(session.prompter().textsOf(PromptKind::Message).empty());
    QVERIFY(!session.control().State().flags.status.test(status_bits::kHold));
    QVERIFY(session.waitForFrames(2));
}

QTEST_MAIN(PrintSheetTest)
#include "print_sheet_test.moc"
