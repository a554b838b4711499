// The Find Peak command on the simulated bench: its enable rule, the hold
// it keeps while the peaks are shown, the marks and data tips, the Peak Data
// table with its CSV file, the options dialog, and clearing.
#include "gui_fixture.h"

#include "shell/commands.h"
#include "shell/graph_feed.h"
#include "shell/peak_dialogs.h"
#include "shell/playback_panel.h"
#include "shell/plot_mapping.h"
#include "shell/quillon_view.h"

#include <QApplication>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <cmath>

using namespace quillon;
using namespace quillon::test;

namespace {

void hover(QWidget &widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget.mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

bool held(DataControl &dc) {
    return dc.State().flags.status.test(status_bits::kHold);
}

// A dark of the closed lamp, then the mercury-argon lamp on the ILX511 unit.
bool lampAfterDark(GuiSession &session) {
    CQuillonView &view = session.frame().scopeView();
    runSimCommand("set 0 source dark");
    session.waitForFrames(2);
    clickMain(view.button(command::kDarkScanPanel));
    runSimCommand("set 0 source hgar");
    return session.waitForFrames(3);
}

} // namespace

class PeakCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void findPeakWaitsForADark();
    void peaksHoldTheSpectrumUntilTheyAreCleared();
    void thePeakTableIsCopiedAndSaved();
    void theOptionsDialogStoresTheSettings();
};

void PeakCommandsTest::findPeakWaitsForADark() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    frame->updateCommandStates();
    QVERIFY(!view.peakButtonEnabled());
    QVERIFY(!frame->action(command::kPeakFind)->isEnabled());
    QVERIFY(!frame->action(command::kPeakFindConf)->isEnabled());
    QVERIFY(frame->action(command::kPeakFind)->toolTip() != command::kLaterVersion);
    // Refused while disabled: nothing is held.
    view.runFindPeak();
    QVERIFY(!held(session.control()));
    QVERIFY(session.control().Peaks().empty());

    QVERIFY(lampAfterDark(session));
    frame->updateCommandStates();
    QVERIFY(view.peakButtonEnabled());
    QVERIFY(frame->action(command::kPeakFind)->isEnabled());
    QVERIFY(frame->action(command::kPeakFindConf)->isEnabled());
}

void PeakCommandsTest::peaksHoldTheSpectrumUntilTheyAreCleared() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(lampAfterDark(session));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();

    clickMain(view.button(command::kFindPeak));
    QVERIFY(held(dc));
    QVERIFY(!dc.State().flags.status.test(status_bits::kDrawingSuspended));
    QVERIFY(view.peaksShown());
    const auto peaks = dc.Peaks().Peaks();
    QVERIFY(peaks.size() >= 10);
    // The held spectrum does not change under the marks.
    const std::vector<float> before(dc.CurrentResult().values.begin(),
                                    dc.CurrentResult().values.end());
    QVERIFY(session.waitForFrames(3));
    QVERIFY(std::equal(before.begin(), before.end(), dc.CurrentResult().values.begin()));
    QCOMPARE(view.peakDataDialog(), nullptr);

    // The tip of a peak, and message 2121 with its number and pixel.
    QSignalSpy messages(frame, &CMainFrame::peakMessage);
    const std::size_t k = peaks.size() / 2;
    CScopeGraph &graph = view.graph();
    const PlotMapping mapping(graph.viewState().range, graph.layout().plot, false,
                              GraphXUnit::Pixel);
    hover(graph, QPoint(static_cast<int>(std::lround(mapping.xOf(peaks[k].position))),
                        static_cast<int>(std::lround(mapping.yOf(peaks[k].intensity)))));
    QVERIFY(graph.dataTipText().startsWith(QString("No=%1\nPixel=").arg(k + 1)));
    QCOMPARE(messages.count(), 1);
    QCOMPARE(messages.first().at(0).toInt(), static_cast<int>(k + 1));
    QCOMPARE(messages.first().at(1).toInt(), static_cast<int>(peaks[k].position));

    // Again with the marks shown: the list.
    frame->action(command::kPeakFind)->trigger();
    QVERIFY(view.peakDataDialog() != nullptr);
    QVERIFY(view.peakDataDialog()->isVisible());
    QCOMPARE(view.peakDataDialog()->table().rowCount(), static_cast<int>(peaks.size()));
    QVERIFY(held(dc));

    // The forward run clears them, and acquisition goes on.
    view.runPlayback(playback::kContinuousForward);
    QVERIFY(dc.Peaks().empty());
    QVERIFY(!view.peaksShown());
    QVERIFY(!held(dc));
    QCOMPARE(view.peakDataDialog()->table().rowCount(), 0);
    QVERIFY(session.waitForFrames(2));

    // A mode change clears them as well.
    clickMain(view.button(command::kFindPeak));
    QVERIFY(!dc.Peaks().empty());
    view.changeXUnit(static_cast<int>(XUnit::Wavelength));
    QVERIFY(dc.Peaks().empty());
    QVERIFY(!held(dc));
    QVERIFY(session.prompter().shown().empty());
}

void PeakCommandsTest::thePeakTableIsCopiedAndSaved() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(lampAfterDark(session));
    CQuillonView &view = frame->scopeView();
    view.changeXUnit(static_cast<int>(XUnit::Wavelength));
    clickMain(view.button(command::kFindPeak));
    view.openPeakData();
    CPeakDataDialog *dialog = view.peakDataDialog();
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->windowTitle(), QString("Peak Data"));
    QTableWidget &table = dialog->table();
    QCOMPARE(table.horizontalHeaderItem(1)->text(), QString("Wavelength"));
    QCOMPARE(table.horizontalHeaderItem(2)->text(), QString("Intensity"));
    QCOMPARE(table.item(0, 0)->text(), QString("1"));

    dialog->findChild<QPushButton *>("CopyPeaks")->click();
    const QString copied = QApplication::clipboard()->text();
    QVERIFY(copied.startsWith("No\tWavelength\tIntensity\tFWHM(nm)\tNote\n1\t"));
    QCOMPARE(copied.count('\n'), table.rowCount() + 1);

    const QString path = session.path("peaks.csv");
    QVERIFY(dialog->saveCsv(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), dialog->tableText(','));
    // A folder that does not exist: reported, not passed as saved.
    QVERIFY(!dialog->saveCsv(session.path("no-such-folder/peaks.csv")));
    QCOMPARE(session.prompter().shown().size(), std::size_t{1});
}

void PeakCommandsTest::theOptionsDialogStoresTheSettings() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    DataControl &dc = session.control();
    CPeakOptionsDialog dialog(dc, frame);
    QCOMPARE(dialog.noiseMultiplier().value(), 1.2);
    QCOMPARE(dialog.threshold().value(), 1.2);
    QVERIFY(dialog.highPeak().isChecked());
    QCOMPARE(dialog.noiseMultiplier().minimum(), 0.1);
    QCOMPARE(dialog.noiseMultiplier().maximum(), 100.0);
    QCOMPARE(dialog.threshold().maximum(), 100.0);
    dialog.noiseMultiplier().setValue(2.5);
    dialog.threshold().setValue(7.3);
    dialog.lowPeak().setChecked(true);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dc.State().peaks.noiseRatio, 2.5);
    QCOMPARE(dc.State().peaks.noiseLine, 7.3);
    QCOMPARE(dc.State().peaks.noiseHighLow, 1);
    QCOMPARE(dc.State().peaks.noiseCutoff, 2); // no control
}

QTEST_MAIN(PeakCommandsTest)
#include "peak_commands_test.moc"
