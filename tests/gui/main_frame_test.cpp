// The main program on the simulated bench: start-up to a live graph, status
// pane clicks, dark/reference/mode commands, zoom, a second instance and
// closing during acquisition.
#include "gui_fixture.h"

#include "shell/about_box.h"
#include "shell/commands.h"
#include "shell/deployment.h"
#include "shell/graph_renderer.h"
#include "shell/qt_prompter.h"
#include "shell/quillon_view.h"
#include "shell/status_rules.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <thread>

using namespace quillon;
using namespace quillon::test;

namespace {

void clickPane(CMainFrame &frame, int index, Qt::MouseButton button = Qt::LeftButton) {
    CStatusPanes &panes = frame.statusPanes();
    QTest::mouseClick(&panes, button, {}, panes.paneRect(index).center());
}

void hover(QWidget &widget, QPoint position) {
    QMouseEvent move(QEvent::MouseMove, position, widget.mapToGlobal(position), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

// The integration time the simulated unit on slot 0 reports, in ms.
double deviceIntegrationMs() {
    const std::string text = runSimCommand("show 0").text;
    const auto at = text.find("integration ");
    return at == std::string::npos ? -1.0 : std::stod(text.substr(at + 12));
}

QString readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// Collects, for a window, every text that does not fit the room it is drawn
// in, as "what: text (needed > room)".
class FitCheck {
public:
    void text(const QString &what, const QFont &font, const QString &text, int room) {
        const int needed = QFontMetrics(font).horizontalAdvance(QString(text).remove('&'));
        if (needed > room) {
            failures_ << QString("%1: \"%2\" (%3 > %4)").arg(what, text).arg(needed).arg(room);
        }
    }
    // Whole inside every parent up to the window: nothing of it is cut off.
    void inside(const QString &what, const QWidget &widget, const QWidget &window) {
        QRect area = widget.geometry();
        for (const QWidget *parent = widget.parentWidget(); parent != nullptr;
             parent = parent->parentWidget()) {
            if (!parent->rect().contains(area)) {
                failures_ << QString("%1 is cut off by %2").arg(what, parent->objectName());
                return;
            }
            if (parent == &window) {
                return;
            }
            area.translate(parent->pos());
        }
    }
    void labels(const QWidget &window) {
        for (const QLabel *label : window.findChildren<QLabel *>()) {
            if (!label->isVisible() || label->text().isEmpty()) {
                continue;
            }
            const QString what = QString("label %1").arg(label->objectName());
            if (Qt::mightBeRichText(label->text())) {
                QTextDocument document;
                document.setDefaultFont(label->font());
                document.setDocumentMargin(0);
                document.setHtml(label->text());
                const auto needed = static_cast<int>(std::ceil(document.idealWidth()));
                if (needed > label->contentsRect().width()) {
                    failures_ << QString("%1 (%2 > %3)")
                                     .arg(what)
                                     .arg(needed)
                                     .arg(label->contentsRect().width());
                }
                continue;
            }
            for (const QString &line : label->text().split('\n')) {
                text(what, label->font(), line, label->contentsRect().width());
            }
        }
    }
    void comboBoxes(const QWidget &window) {
        for (const QComboBox *box : window.findChildren<QComboBox *>()) {
            if (!box->isVisible()) {
                continue;
            }
            QStyleOptionComboBox option;
            option.initFrom(box);
            const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                             QStyle::SC_ComboBoxEditField, box);
            for (int i = 0; i < box->count(); ++i) {
                text(QString("combo box item %1").arg(i), box->font(), box->itemText(i),
                     field.width());
            }
        }
    }
    void pushButtons(const QWidget &window) {
        for (const QPushButton *button : window.findChildren<QPushButton *>()) {
            if (button->isVisible() && button->width() < button->sizeHint().width()) {
                failures_ << QString("button \"%1\" narrower than its text").arg(button->text());
            }
        }
    }
    const QStringList &failures() const { return failures_; }

private:
    QStringList failures_;
};

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void startUpReachesALiveGraph();
    void valuePanesStepWithinLimits();
    void panesIgnoreClicksUnderExternalTrigger();
    void darkThenReferenceEnableTheModeButton();
    void modeCycleSetsCaptionsAndTitles();
    void rubberBandZoomsAndZoomOutReturnsToFullRange();
    void closingDuringAScanStopsTheWorkerAndWritesSettings();
    void closingWhileWaitingForATriggerStopsTheWorker();
    void anUnpluggedUnitIsReportedOnceAndRecovers();
    void aLostUnitShowsInTheSourcePaneAndTakesNoScans();
    void anIntegrationClickInARatioModeReturnsToScope();
    void aSecondInstanceExitsAtOnce();
    void hoverTextsAndAboutBox();
    void splitButtonsTellTheirPartsApart();
    void aQuestionFromTheWorkerNeverBlocksClosing();
    void everyTextFitsAt1024By700();
};

void MainFrameTest::startUpReachesALiveGraph() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(3));
    QCOMPARE(frame->windowTitle(), QString("Orvantis Quillon for USB - QX10-S10417"));
    const CScopeGraph &graph = frame->scopeView().graph();
    QCOMPARE(graph.frame().size(), graph.size());
    // The trace is drawn: its colour shows inside the plot.
    const QImage picture = graph.frame();
    const PixelRect plot = graph.layout().plot;
    const QRgb trace =
        colourFromSetting(static_cast<std::int32_t>(session.control().State().colors.pixel)).rgb();
    int tracePixels = 0;
    for (int x = plot.left + 1; x < plot.right; ++x) {
        for (int y = plot.top + 1; y < plot.bottom; ++y) {
            tracePixels += picture.pixel(x, y) == trace ? 1 : 0;
        }
    }
    QVERIFY2(tracePixels > plot.width() / 2, qPrintable(QString::number(tracePixels)));
    CStatusPanes &panes = frame->statusPanes();
    QCOMPARE(panes.paneText(pane::kSource), QString("SCAN"));
    QCOMPARE(panes.paneText(pane::kDark), QString("DARK OFF"));
    QCOMPARE(panes.paneText(pane::kReference), QString("REF OFF"));
    QCOMPARE(panes.paneText(pane::kMode), QString("PIXEL"));
    QCOMPARE(panes.paneText(pane::kIntegration),
             QString::number(session.control().State().limits.current));
    QCOMPARE(panes.message(), QString("ORVANTIS"));
    QVERIFY(!frame->scopeView().modeButtonEnabled());
    QVERIFY(!frame->tabs().isTabEnabled(1));
    QVERIFY(frame->simulatorPanel() != nullptr);
    QCOMPARE(frame->simulatorPanel()->units().size(), std::size_t{3});
    QVERIFY(session.prompter().shown().empty());
}

void MainFrameTest::valuePanesStepWithinLimits() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    DataControl &dc = session.control();

    const std::int32_t start = dc.State().limits.current;
    clickPane(*frame, pane::kIntegration);
    QCOMPARE(dc.State().limits.current, start + 1);
    QCOMPARE(deviceIntegrationMs(), static_cast<double>(start + 1));
    clickPane(*frame, pane::kIntegration, Qt::RightButton);
    clickPane(*frame, pane::kIntegration, Qt::RightButton);
    QCOMPARE(dc.State().limits.current, start - 1);
    QCOMPARE(deviceIntegrationMs(), static_cast<double>(start - 1));
    QCOMPARE(frame->statusPanes().paneText(pane::kIntegration), QString::number(start - 1));
    // At the unit's maximum a further step changes nothing.
    QCOMPARE(toCode(dc.SetIntegrationTime(dc.State().limits.maximum)), 1);
    clickPane(*frame, pane::kIntegration);
    QCOMPARE(dc.State().limits.current, dc.State().limits.maximum);

    clickPane(*frame, pane::kTimeAverage);
    QCOMPARE(dc.State().acquisition.timeAverage, std::uint16_t{2});
    clickPane(*frame, pane::kTimeAverage, Qt::RightButton);
    clickPane(*frame, pane::kTimeAverage, Qt::RightButton);
    QCOMPARE(dc.State().acquisition.timeAverage, std::uint16_t{1});

    clickPane(*frame, pane::kBinning, Qt::RightButton);
    QCOMPARE(dc.State().acquisition.binningAverage, std::uint16_t{0});
    clickPane(*frame, pane::kBinning);
    QCOMPARE(dc.State().acquisition.binningAverage, std::uint16_t{1});
    QCOMPARE(frame->statusPanes().paneText(pane::kBinning), QString("1"));

    QCOMPARE(dc.State().acquisition.smoothingPercent, std::uint16_t{0});
    clickPane(*frame, pane::kSmoothing, Qt::RightButton);
    QCOMPARE(dc.State().acquisition.smoothingPercent, std::uint16_t{100});
    QVERIFY(dc.State().flags.status.test(status_bits::kSmoothingOn));
    clickPane(*frame, pane::kSmoothing);
    QCOMPARE(dc.State().acquisition.smoothingPercent, std::uint16_t{0});
    QVERIFY(!dc.State().flags.status.test(status_bits::kSmoothingOn));
    // Acquisition goes on after all the holds.
    QVERIFY(session.waitForFrames(2));
    QVERIFY(session.prompter().shown().empty());
}

void MainFrameTest::panesIgnoreClicksUnderExternalTrigger() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    DataControl &dc = session.control();
    dc.SetOption(option_bits::kExternalTrigger, true);
    const std::int32_t start = dc.State().limits.current;
    clickPane(*frame, pane::kIntegration);
    clickPane(*frame, pane::kTimeAverage);
    clickPane(*frame, pane::kSmoothing);
    QCOMPARE(dc.State().limits.current, start);
    QCOMPARE(dc.State().acquisition.timeAverage, std::uint16_t{1});
    QCOMPARE(dc.State().acquisition.smoothingPercent, std::uint16_t{0});
    dc.SetOption(option_bits::kExternalTrigger, false);
}

void MainFrameTest::darkThenReferenceEnableTheModeButton() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    QVERIFY(!view.modeButtonEnabled());
    QVERIFY(!frame->action(command::kTransReflMode)->isEnabled());

    clickMain(view.button(command::kDarkScanPanel));
    QVERIFY(dc.State().flags.status.test(status_bits::kDarkReady));
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope); // the one-shot scan has run
    QVERIFY(!view.modeButtonEnabled());
    QCOMPARE(frame->statusPanes().paneText(pane::kDark), QString("DARK READY"));
    QVERIFY(frame->action(command::kShowDarkLine)->isEnabled());
    QVERIFY(!frame->action(command::kShowReferenceLine)->isEnabled());

    clickMain(view.button(command::kRefScanPanel));
    QVERIFY(dc.State().flags.status.test(status_bits::kReferenceReady));
    QVERIFY(view.modeButtonEnabled());
    QVERIFY(frame->action(command::kTransReflMode)->isEnabled());
    QCOMPARE(frame->statusPanes().paneText(pane::kReference), QString("REF READY"));

    // Pane 4: left shows the dark line, right switches dark subtraction.
    clickPane(*frame, pane::kDark);
    QCOMPARE(frame->statusPanes().paneText(pane::kDark), QString("DARK DISP"));
    QVERIFY(dc.State().flags.option.test(option_bits::kShowDarkLine));
    clickPane(*frame, pane::kDark, Qt::RightButton);
    QVERIFY(dc.State().flags.option.test(option_bits::kSubtractDarkInScope));
    clickPane(*frame, pane::kReference);
    QCOMPARE(frame->statusPanes().paneText(pane::kReference), QString("REF DISP"));

    // A new integration time makes both invalid again.
    clickPane(*frame, pane::kIntegration);
    QVERIFY(!dc.State().flags.status.test(status_bits::kDarkReady));
    QVERIFY(!view.modeButtonEnabled());
    QCOMPARE(frame->statusPanes().paneText(pane::kDark), QString("DARK OFF"));
    QVERIFY(session.prompter().shown().empty());
}

void MainFrameTest::modeCycleSetsCaptionsAndTitles() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    clickMain(view.button(command::kDarkScanPanel));
    clickMain(view.button(command::kRefScanPanel));
    SplitButton *mode = view.button(command::kModePanel);
    QVERIFY(mode->isEnabled());
    QCOMPARE(view.axisTitleText(), QString("Relative Intensity / Pixel"));

    clickMain(mode);
    QCOMPARE(mode->text(), QString("&T/R(%)"));
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::TransRefl);
    QCOMPARE(view.axisTitleText(), QString("T/R (%) / Pixel"));
    QCOMPARE(frame->statusPanes().paneText(pane::kMode), QString("TRANSMITTANCE"));
    const ViewRange tr = view.graph().viewState().range;
    QCOMPARE(tr.yStart, dc.State().display.trMin);
    QCOMPARE(tr.yEnd, dc.State().display.trMax);
    QVERIFY(session.waitForFrames(2));

    clickMain(mode);
    QCOMPARE(mode->text(), QString("&Absorbance"));
    QCOMPARE(view.axisTitleText(), QString("Absorbance(AU) / Pixel"));
    QCOMPARE(frame->statusPanes().paneText(pane::kMode), QString("ABSORBANCE"));

    // No irradiance calibration in the folder: the cycle goes back to scope.
    clickMain(mode);
    QCOMPARE(mode->text(), QString("&Scope"));
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope);
    QCOMPARE(view.axisTitleText(), QString("Relative Intensity / Pixel"));

    frame->action(command::kAbsorbanceMode)->trigger();
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Absorbance);
    frame->action(command::kIrradianceMode)->trigger();
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope);
    QCOMPARE(frame->statusPanes().paneText(pane::kMode), QString("PIXEL"));

    // On the wavelength axis the suffix follows.
    view.changeXUnit(static_cast<int>(XUnit::Wavelength));
    frame->action(command::kTransReflMode)->trigger();
    QCOMPARE(view.axisTitleText(), QString("T/R (%) / nm"));
    QVERIFY(session.waitForFrames(2));
    QVERIFY(!dc.State().flags.status.test(status_bits::kHold));
}

void MainFrameTest::rubberBandZoomsAndZoomOutReturnsToFullRange() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CScopeGraph &graph = frame->scopeView().graph();
    QCOMPARE(graph.interactionMode(), InteractionMode::RubberBand);
    const ViewRange full = graph.viewState().range;
    const PixelRect plot = graph.layout().plot;
    const QPoint from(plot.left + plot.width() / 4, plot.top + plot.height() / 4);
    const QPoint to(plot.left + plot.width() / 2, plot.top + plot.height() / 2);
    QTest::mousePress(&graph, Qt::LeftButton, {}, from);
    QTest::mouseMove(&graph, to);
    QTest::mouseRelease(&graph, Qt::LeftButton, {}, to);
    const ViewRange zoomed = graph.viewState().range;
    QVERIFY(zoomed.xStart > full.xStart);
    QVERIFY(zoomed.xEnd < full.xEnd);
    QVERIFY(zoomed.yEnd < full.yEnd);
    QVERIFY(zoomed.yStart > full.yStart);
    QVERIFY(session.waitForFrames(2)); // the worker draws the new range

    graph.setInteractionMode(InteractionMode::ZoomOut);
    for (int i = 0; i < 25; ++i) {
        QTest::mouseClick(&graph, Qt::LeftButton, {}, to);
    }
    const ViewRange out = graph.viewState().range;
    QCOMPARE(out.xStart, full.xStart);
    QCOMPARE(out.xEnd, full.xEnd);
    QCOMPARE(out.yStart, full.yStart);
    QCOMPARE(out.yEnd, full.yEnd);
}

void MainFrameTest::closingDuringAScanStopsTheWorkerAndWritesSettings() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    clickPane(*frame, pane::kTimeAverage);
    clickPane(*frame, pane::kTimeAverage);
    QVERIFY(session.waitForFrames(1));
    QVERIFY(frame->close());
    QVERIFY(frame->closedDown());
    QVERIFY(!session.control().State().flags.status.test(status_bits::kWorkerRunning));
    QVERIFY(!frame->scopeView().worker().running());
    QVERIFY(readFile(session.path("QuillonX.ini")).contains("TimeAV=3"));
}

void MainFrameTest::closingWhileWaitingForATriggerStopsTheWorker() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    const std::uint64_t frames = frame->scopeView().framesPresented();
    frame->scopeView().changeUnderHold([](DataControl &d) {
        ovSetTrgEx(OV_TRIGGER_EXTERNAL, d.State().currentChannel);
        d.SetOption(option_bits::kExternalTrigger, true);
    });
    QTest::qWait(300);
    // Without a trigger nothing new is drawn.
    QVERIFY(frame->scopeView().framesPresented() <= frames + 2);
    runSimCommand("trigger 0");
    QVERIFY(session.waitForFrames(1));
    // Waiting for the next trigger again: closing still stops the worker and
    // writes the settings.
    QVERIFY(frame->close());
    QVERIFY(frame->closedDown());
    QVERIFY(!session.control().State().flags.status.test(status_bits::kWorkerRunning));
    QVERIFY(readFile(session.path("QuillonX.ini")).contains("IntTime="));
}

void MainFrameTest::anUnpluggedUnitIsReportedOnceAndRecovers() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    runSimCommand("unplug 0");
    QVERIFY(QTest::qWaitFor(
        [&] { return session.prompter().textsOf(PromptKind::Message).size() == 1; }, 10000));
    // The interface still works while the unit is gone: a pane click is
    // taken and shown.
    clickPane(*frame, pane::kTimeAverage);
    QCOMPARE(session.control().State().acquisition.timeAverage, std::uint16_t{2});
    QCOMPARE(frame->statusPanes().paneText(pane::kTimeAverage), QString("2"));
    QTest::qWait(500); // more failed reads: still only the one message
    QCOMPARE(session.prompter().textsOf(PromptKind::Message).size(), std::size_t{1});
    runSimCommand("replug 0");
    QVERIFY(session.waitForFrames(3));
    QCOMPARE(session.prompter().textsOf(PromptKind::Message).size(), std::size_t{1});
}

// While the unit is gone the source pane says so in the lamp's red, and
// nothing that needs the unit is taken: no dark or reference now, none left
// pending for the unit that comes back, no integration time it never got.
void MainFrameTest::aLostUnitShowsInTheSourcePaneAndTakesNoScans() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CStatusPanes &panes = frame->statusPanes();
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    QCOMPARE(panes.paneText(pane::kSource), QString("SCAN"));
    QVERIFY(!panes.paneAlarm(pane::kSource));
    const QColor scanBack = panes.paneLook(pane::kSource).back;
    const QColor scanText = panes.paneLook(pane::kSource).text;
    // An inner point of a pane shows its background, not its border or text.
    const auto drawnBack = [&panes] {
        return panes.grab().toImage().pixel(panes.paneRect(pane::kSource).topLeft() + QPoint(2, 2));
    };
    QCOMPARE(drawnBack(), scanBack.rgb());

    runSimCommand("unplug 0");
    QVERIFY(QTest::qWaitFor(
        [&] { return panes.paneText(pane::kSource) == QString(pane::kNoUnitText); }, 10000));
    QVERIFY(dc.UnitDisconnected());
    QVERIFY(panes.paneAlarm(pane::kSource));
    const QColor alarm = panes.paneLook(pane::kSource).back;
    QVERIFY(alarm.red() > 2 * alarm.green() && alarm.red() > 2 * alarm.blue());
    QVERIFY(alarm != panes.paneLook(pane::kDark).back); // not the idle grey either
    QCOMPARE(drawnBack(), alarm.rgb());
    QVERIFY(panes.rect().contains(panes.paneRect(pane::kFreeText)));

    const std::int32_t time = dc.State().limits.current;
    clickMain(view.button(command::kDarkScanPanel));
    frame->action(command::kDarkScan)->trigger();
    clickMain(view.button(command::kRefScanPanel));
    frame->action(command::kRefScan)->trigger();
    clickPane(*frame, pane::kIntegration);
    const auto nothingTaken = [&] {
        QVERIFY(!dc.State().flags.status.test(status_bits::kDarkReady));
        QVERIFY(!dc.State().flags.status.test(status_bits::kReferenceReady));
        QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope);
        QCOMPARE(panes.paneText(pane::kDark), QString("DARK OFF"));
        QCOMPARE(panes.paneText(pane::kReference), QString("REF OFF"));
        QVERIFY(!view.modeButtonEnabled());
        QVERIFY(!frame->action(command::kTransReflMode)->isEnabled());
        QVERIFY(!frame->action(command::kShowDarkLine)->isEnabled());
        QCOMPARE(dc.State().limits.current, time);
        QCOMPARE(panes.paneText(pane::kIntegration),
                 QString::fromStdString(status_rules::integrationTimeText(
                     time, dc.State().geometry.boardType == kBoardTcd1304)));
    };
    nothingTaken();
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(panes.paneAlarm(pane::kSource));
    QCOMPARE(session.prompter().textsOf(PromptKind::Message).size(), std::size_t{1});

    runSimCommand("replug 0");
    QVERIFY(
        QTest::qWaitFor([&] { return panes.paneText(pane::kSource) == QString("SCAN"); }, 10000));
    QVERIFY(!panes.paneAlarm(pane::kSource));
    QCOMPARE(panes.paneLook(pane::kSource).back, scanBack);
    QCOMPARE(panes.paneLook(pane::kSource).text, scanText);
    QVERIFY(session.waitForFrames(3));
    QCOMPARE(drawnBack(), scanBack.rgb());
    nothingTaken();
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(deviceIntegrationMs(), static_cast<double>(time));
    // The unit that came back takes a dark when asked.
    clickMain(view.button(command::kDarkScanPanel));
    QVERIFY(dc.State().flags.status.test(status_bits::kDarkReady));
    QCOMPARE(panes.paneText(pane::kDark), QString("DARK READY"));
    QCOMPARE(session.prompter().textsOf(PromptKind::Message).size(), std::size_t{1});
}

// A new integration time drops dark and reference and leaves a ratio mode:
// caption, menu, panes and graph all show scope until both are taken again.
void MainFrameTest::anIntegrationClickInARatioModeReturnsToScope() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    CStatusPanes &panes = frame->statusPanes();
    DataControl &dc = session.control();
    SplitButton *mode = view.button(command::kModePanel);
    const std::array<int, 4> modeCommands{command::kScopeMode, command::kTransReflMode,
                                          command::kAbsorbanceMode, command::kIrradianceMode};
    const std::array<std::pair<int, Qt::MouseButton>, 2> ratioModes{
        {{command::kTransReflMode, Qt::LeftButton}, {command::kAbsorbanceMode, Qt::RightButton}}};
    for (const auto &[ratio, click] : ratioModes) {
        clickMain(view.button(command::kDarkScanPanel));
        clickMain(view.button(command::kRefScanPanel));
        QVERIFY(mode->isEnabled());
        frame->action(ratio)->trigger();
        QVERIFY(dc.State().flags.displayMode() != DisplayMode::Scope);
        QVERIFY(mode->text() != QString("&Scope"));
        QVERIFY(session.waitForFrames(1));

        const std::int32_t time = dc.State().limits.current;
        clickPane(*frame, pane::kIntegration, click);
        QVERIFY(dc.State().limits.current != time);
        QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope);
        QCOMPARE(mode->text(), QString("&Scope"));
        QVERIFY(!mode->isEnabled());
        for (int id : modeCommands) {
            QVERIFY(!frame->action(id)->isEnabled());
        }
        QCOMPARE(panes.paneText(pane::kMode), QString("PIXEL")); // scope on the pixel axis
        QCOMPARE(panes.paneText(pane::kDark), QString("DARK OFF"));
        QCOMPARE(panes.paneText(pane::kReference), QString("REF OFF"));
        QCOMPARE(view.axisTitleText(), QString("Relative Intensity / Pixel"));
        const ViewRange range = view.graph().viewState().range;
        QCOMPARE(range.yStart, static_cast<float>(dc.State().display.countMin));
        QCOMPARE(range.yEnd, static_cast<float>(dc.State().display.countMax));
        QVERIFY(session.waitForFrames(2));
        QCOMPARE(view.worker().readouts().mode, DisplayMode::Scope);
        // Nor does a display-mode command bring the ratio mode back.
        view.chooseDisplayMode(DisplayMode::TransRefl);
        QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope);
        QCOMPARE(mode->text(), QString("&Scope"));
    }
    QVERIFY(session.prompter().shown().empty());
}

void MainFrameTest::aSecondInstanceExitsAtOnce() {
    QTemporaryDir runtime;
    QTemporaryDir work;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess first;
    first.setProcessEnvironment(env);
    first.setWorkingDirectory(work.path());
    first.start(QUILLON_PROGRAM_PATH, {"--simulate"});
    QVERIFY(first.waitForStarted());
    QVERIFY(QTest::qWaitFor(
        [&] { return QFile::exists(runtime.filePath("PreventSecondInstanceRunning")); }, 10000));
    QTest::qWait(500);
    QProcess second;
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(work.path());
    second.start(QUILLON_PROGRAM_PATH, {"--simulate"});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    // It wrote nothing and showed nothing: no window, no message.
    QVERIFY(second.readAllStandardOutput().isEmpty());
    QCOMPARE(first.state(), QProcess::Running);

    // SIGTERM closes the first like its close box, settings written.
    QTest::qWait(1500);
    first.terminate();
    QVERIFY(first.waitForFinished(10000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(readFile(QDir(work.path()).filePath("QuillonX.ini")).contains("IntTime="));
}

void MainFrameTest::hoverTextsAndAboutBox() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    CStatusPanes &panes = frame->statusPanes();
    hover(panes, panes.paneRect(pane::kIntegration).center());
    QCOMPARE(panes.message(), QString("Click to adjust integration time"));
    hover(panes, panes.paneRect(pane::kExternalLamp).center());
    QCOMPARE(panes.message(), QString("External Triggering"));
    hover(panes, panes.paneRect(pane::kMessage).center());
    QCOMPARE(panes.message(), QString("ORVANTIS"));

    AboutBox about(frame);
    const auto *text = about.findChild<QLabel *>("aboutText");
    QVERIFY(text != nullptr);
    QVERIFY(text->text().contains(deployment::kHomePage));
    QVERIFY(text->text().contains(QString("mailto:") + deployment::kSupportMail));
    QVERIFY(text->text().contains(deployment::kVersion));
}

void MainFrameTest::splitButtonsTellTheirPartsApart() {
    SplitButton button(151, "&Dark Scan");
    button.show();
    QSignalSpy main(&button, &SplitButton::mainClicked);
    QSignalSpy arrow(&button, &SplitButton::arrowClicked);
    const QPoint onArrow(SplitButton::kWidth - 4, 27);
    QTest::mouseClick(&button, Qt::LeftButton, {}, onArrow);
    QCOMPARE(arrow.count(), 1);
    QCOMPARE(arrow.first().first().toInt(), 151);
    QVERIFY(button.arrowFlag());
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 27));
    QCOMPARE(main.count(), 1);
    QVERIFY(!button.arrowFlag());
    // A panel that is not there: the arrow is dead, the main part works.
    button.setArrowEnabled(false, "Available in a later version");
    QTest::mouseClick(&button, Qt::LeftButton, {}, onArrow);
    QCOMPARE(arrow.count(), 1);
    QCOMPARE(main.count(), 1);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 27));
    QCOMPARE(main.count(), 2);
}

// A worker waiting for an answer is released with the default once closing
// begins, and the box it asked for is never shown.
void MainFrameTest::aQuestionFromTheWorkerNeverBlocksClosing() {
    QtPrompter prompter;
    auto answer = std::async(std::launch::async, [&prompter] {
        return prompter.askYesNo("Keep the current integration time?");
    });
    QCOMPARE(answer.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    prompter.beginClosing();
    QCOMPARE(answer.wait_for(std::chrono::milliseconds(500)), std::future_status::ready);
    QCOMPARE(answer.get(), false);
    QCoreApplication::processEvents(); // the queued question: no box any more
    QVERIFY(QApplication::topLevelWidgets().isEmpty() || !QApplication::activeModalWidget());
    // On the interface thread a closing prompter answers at once too.
    QCOMPARE(prompter.askAbortRetryIgnore("Retry?"), AbortRetryIgnore::Abort);
}

// At the smallest size the layout is made for, every caption, pane text,
// label and panel line has the room it needs, whatever state it shows.
void MainFrameTest::everyTextFitsAt1024By700() {
    GuiSession session;
    CMainFrame *frame = session.start(QSize(1024, 700));
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    QCOMPARE(frame->size(), QSize(1024, 700));
    CQuillonView &view = frame->scopeView();
    FitCheck check;

    // Button captions, in each state a caption can take.
    for (SplitButton *button : view.findChildren<SplitButton *>()) {
        if (button->isHidden()) {
            continue;
        }
        check.inside(button->text(), *button, *frame);
        QStringList captions{button->text()};
        if (button->commandId() == command::kModePanel) {
            captions << "&T/R(%)"
                     << "&Absorbance"
                     << "&Illuminance"
                     << "&Irradiance";
        } else if (button->commandId() == command::kRefScanPanel) {
            captions << "&Save Tile"
                     << "&Read Tile";
        }
        const QString shown = button->text();
        for (const QString &caption : captions) {
            button->setText(caption);
            check.text("button", button->captionFont(), caption, button->captionRect().width());
        }
        button->setText(shown);
    }
    // The TEC button's caption, for the units that show it.
    {
        SplitButton tec(command::kTecControl, "&TEC Control");
        check.text("button", tec.captionFont(), tec.text(), tec.captionRect().width());
    }

    // Status panes: what they show now and the widest texts they can show.
    CStatusPanes &panes = frame->statusPanes();
    check.inside("status panes", panes, *frame);
    std::map<int, QStringList> paneTexts{
        {pane::kSource, {"SCAN", "MEMORY", pane::kNoUnitText}},
        {pane::kDark, {"DARK READY", "DARK DISP", "DARK OFF"}},
        {pane::kReference, {"REF READY", "REF DISP", "REF OFF"}},
        {pane::kMode, {"SCOPE", "TRANSMITTANCE", "ABSORBANCE", "IRRADIANCE", "PIXEL"}},
        {pane::kIntegration, {"0.50", "65535"}},
        {pane::kTimeAverage, {"1000"}},
        {pane::kBinning, {"10"}},
        {pane::kSmoothing, {"100"}},
        {pane::kFreeText, {"12/31/2026  23:59:59"}}};
    for (int i = 0; i < pane::kCount; ++i) {
        paneTexts[pane::kMessage] << CStatusPanes::hoverText(i);
    }
    paneTexts[pane::kMessage] << "ORVANTIS";
    for (auto &[index, texts] : paneTexts) {
        texts << panes.paneText(index);
        if (!panes.rect().contains(panes.paneRect(index))) {
            QFAIL(qPrintable(QString("pane %1 is cut at the edge").arg(index)));
        }
        for (const QString &text : texts) {
            check.text(QString("pane %1").arg(index), panes.textFont(index), text,
                       panes.textRect(index).width());
        }
    }
    // A statistics line widens pane 11 without pushing the others out.
    const QString statistics = "B=1498.30 M=12034.50 R=2000.00 ";
    panes.setPane(pane::kFreeText, statistics);
    check.text("pane 11", panes.textFont(pane::kFreeText), statistics,
               panes.textRect(pane::kFreeText).width());
    check.text("pane 0", panes.textFont(pane::kMessage), "Click to adjust FFT curve smoothing",
               panes.textRect(pane::kMessage).width());
    QVERIFY(panes.rect().contains(panes.paneRect(pane::kFreeText)));

    // The text panel, with a cursor readout making its longest line.
    CScopeGraph &graph = view.graph();
    const PixelRect plot = graph.layout().plot;
    QTest::mouseClick(&graph, Qt::RightButton, {},
                      QPoint(plot.left + plot.width() / 3, plot.top + plot.height() / 2));
    QVERIFY(graph.viewState().range.cursorLine >= 0);
    QVERIFY(session.waitForFrames(2));
    view.refreshTextPanel();
    CTextPanel &panel = view.textPanel();
    QVERIFY(panel.toPlainText().contains("Bar: "));
    const auto margin = static_cast<int>(std::ceil(panel.document()->documentMargin()));
    const QRect room = panel.viewport()->rect().adjusted(margin, margin, -margin, -margin);
    const QStringList lines = panel.toPlainText().split('\n');
    for (const QString &line : lines) {
        check.text("text panel", panel.font(), line, room.width());
    }
    QVERIFY(QFontMetrics(panel.font()).lineSpacing() * lines.size() <= room.height());

    check.labels(*frame);
    check.comboBoxes(*frame);
    check.pushButtons(*frame);
    for (int i = 0; i < frame->tabs().count(); ++i) {
        check.text("tab", frame->tabs().tabBar()->font(), frame->tabs().tabText(i),
                   frame->tabs().tabBar()->tabRect(i).width());
    }

    // A cooled unit shows one button more; the bar still fits.
    view.changeChannel(2);
    QVERIFY(view.button(command::kTecControl)->isVisibleTo(frame));
    for (SplitButton *button : view.findChildren<SplitButton *>()) {
        if (!button->isHidden()) {
            check.inside(button->text(), *button, *frame);
        }
    }

    AboutBox about(frame);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    check.labels(about);
    check.pushButtons(about);
    QVERIFY2(check.failures().isEmpty(), qPrintable(check.failures().join("\n")));
}

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
