// The save and load panels, the playback panel and memory mode on the
// simulated bench: recording items, saving and reloading them, stepping,
// leaving memory mode, the text and picture exports and refused input.
#include "gui_fixture.h"

#include "shell/commands.h"
#include "shell/file_panels.h"
#include "shell/graph_renderer.h"
#include "shell/playback_panel.h"
#include "shell/quillon_view.h"
#include "shell/text_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quillon;
using namespace quillon::test;

namespace {

void clickPlayback(CQuillonView &view, int id) {
    RoundButton *b = view.playbackPanel().button(id);
    QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
}

QString dataFile(DataControl &dc, const char *name) {
    return QString::fromStdString((dc.State().dataFolder / name).string());
}

QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::uint32_t le32(const QByteArray &bytes, int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    }
    return v;
}

CSavePanel *openSave(CQuillonView &view) {
    if (view.savePanel() == nullptr) {
        clickMain(view.button(command::kSave));
    }
    return view.savePanel();
}

// Saves through the panel; true when the panel closed (the save worked).
bool saveAs(CQuillonView &view, CSavePanel::Type type, const QString &name,
            CSavePanel::Destination destination = CSavePanel::File) {
    CSavePanel *panel = openSave(view);
    if (panel == nullptr) {
        return false;
    }
    panel->setType(type);
    panel->setDestination(destination);
    panel->nameBox().setText(name);
    QTest::mouseClick(&panel->actionButton(), Qt::LeftButton);
    return QTest::qWaitFor([&] { return view.savePanel() == nullptr; }, 2000);
}

// Answers the next file dialog with `file` once it is up; notes its title
// and filters.
struct DialogAnswer {
    QString title;
    QStringList filters;
};

void answerFileDialog(const QString &file, DialogAnswer &seen) {
    QTimer::singleShot(0, [file, &seen] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        seen.title = dialog->windowTitle();
        seen.filters = dialog->nameFilters();
        dialog->selectFile(file);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

} // namespace

class FilePanelsTest : public QObject {
    Q_OBJECT

private slots:
    void recordedItemsSaveReloadAndStep();
    void textExportGoesToAFileOrTheClipboard();
    void thePictureIsABitmapOfTheGraph();
    void browseFillsTheNameAndChangesTheFolder();
    void refusedInputKeepsThePanelOpen();
    void playbackPanelZoomsAndSwitchesUnits();
    void memoryTracesFadeBehindTheSpectrum();
    void unsavedSpectraAreNotLostOnClose();
};

void FilePanelsTest::recordedItemsSaveReloadAndStep() {
    GuiSession session;
    CMainFrame *frame = session.start(QSize(1024, 700));
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    const QString liveTitle = frame->windowTitle();
    for (int i = 0; i < 3; ++i) {
        clickPlayback(view, playback::kRecordData);
        QVERIFY(session.waitForFrames(1));
    }
    QCOMPARE(dc.State().memory.size(), std::size_t{3});

    QVERIFY(saveAs(view, CSavePanel::Memory, "three.txt"));
    QVERIFY(QFile::exists(dataFile(dc, "three.sdf")));
    QVERIFY(!QFile::exists(dataFile(dc, "three.txt")));

    QVERIFY(frame->action(command::kLoad)->isEnabled());
    frame->action(command::kLoad)->trigger();
    CLoadPanel *load = view.loadPanel();
    QVERIFY(load != nullptr);
    // Below its button, left-aligned with it as far as the view's width allows.
    SplitButton *importButton = view.button(command::kLoad);
    QCOMPARE(load->x(),
             std::min(importButton->mapTo(&view, QPoint(0, 0)).x(), view.width() - load->width()));
    QVERIFY(view.rect().contains(load->geometry()));
    QVERIFY(load->y() >= importButton->mapTo(&view, QPoint(0, importButton->height())).y());
    load->nameBox().setText("three");
    QTest::mouseClick(&load->actionButton(), Qt::LeftButton);
    QTRY_VERIFY(view.loadPanel() == nullptr);

    QCOMPARE(frame->windowTitle(), QString(" Orvantis Quillon - three"));
    QCOMPARE(frame->statusPanes().paneText(pane::kSource), QString("MEMORY"));
    QVERIFY(!view.button(command::kDarkScanPanel)->isEnabled());
    QVERIFY(!view.button(command::kRefScanPanel)->isEnabled());
    QCOMPARE(dc.State().memory.size(), std::size_t{3});
    QTRY_COMPARE(dc.State().memory.current(), 1);

    clickPlayback(view, playback::kOneStepForward);
    QTRY_COMPARE(dc.State().memory.current(), 2);
    view.refreshTextPanel();
    CTextPanel &panel = view.textPanel();
    QVERIFY2(panel.toPlainText().contains("Memory: 0002/0003"), qPrintable(panel.toPlainText()));
    // The readout line with every group still fits the smallest window.
    const QString readouts = panel.toPlainText().split('\n').value(1);
    QVERIFY(readouts.startsWith("XY:"));
    QVERIFY(QFontMetrics(panel.font()).horizontalAdvance(readouts + "  Bar: 0818/13974") <
            panel.viewport()->width());
    clickPlayback(view, playback::kOneStepRewind);
    QTRY_COMPARE(dc.State().memory.current(), 1);
    // No new items while the loaded ones are shown.
    clickPlayback(view, playback::kRecordData);
    QCOMPARE(dc.State().memory.size(), std::size_t{3});
    clickPlayback(view, playback::kDeleteData);
    QCOMPARE(dc.State().memory.size(), std::size_t{2});

    // A click on the source pane goes back to the unit.
    CStatusPanes &panes = frame->statusPanes();
    QTest::mouseClick(&panes, Qt::LeftButton, {}, panes.paneRect(pane::kSource).center());
    QCOMPARE(panes.paneText(pane::kSource), QString("SCAN"));
    QCOMPARE(frame->windowTitle(), liveTitle);
    QVERIFY(view.button(command::kDarkScanPanel)->isEnabled());
    QVERIFY(session.waitForFrames(2)); // live scans again
    QVERIFY(!dc.State().flags.option.test(option_bits::kMemoryMode));
}

void FilePanelsTest::textExportGoesToAFileOrTheClipboard() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();

    frame->action(command::kSave)->trigger();
    CSavePanel *panel = view.savePanel();
    QVERIFY(panel != nullptr);
    // Every item only in memory mode; the clipboard only for text and picture.
    QVERIFY(!panel->whichButton(CSavePanel::All)->isEnabled());
    panel->setType(CSavePanel::Spc);
    QVERIFY(!panel->destinationButton(CSavePanel::Clipboard)->isEnabled());
    panel->setType(CSavePanel::Graph);
    QVERIFY(panel->destinationButton(CSavePanel::Clipboard)->isEnabled());

    QVERIFY(saveAs(view, CSavePanel::Text, "spectrum"));
    const QString text = QString::fromLatin1(readBytes(dataFile(dc, "spectrum.txt")));
    QVERIFY2(text.startsWith("Unit Serial No : "), qPrintable(text.left(80)));
    QVERIFY(text.contains("Pixel\tWavelength(nm)\tWavenumber(1/cm)\tIntensity(Counts)\r\n"));
    // One row per pixel in view.
    const ViewRange range = view.graph().viewState().range;
    const int rows = static_cast<int>(range.xEnd) - static_cast<int>(range.xStart) + 1;
    QCOMPARE(text.count("\r\n"), rows + 13);

    QApplication::clipboard()->clear();
    QVERIFY(saveAs(view, CSavePanel::Text, "copy", CSavePanel::Clipboard));
    QVERIFY(QApplication::clipboard()->text().contains("Intensity(Counts)"));
    QVERIFY(!QFile::exists(dataFile(dc, "copy.txt")));

    QVERIFY(saveAs(view, CSavePanel::Csv, "table.dat"));
    QVERIFY(!readBytes(dataFile(dc, "table.csv")).isEmpty());
    QVERIFY(saveAs(view, CSavePanel::Jcamp, "table"));
    QVERIFY(readBytes(dataFile(dc, "table.jdx")).startsWith("##TITLE="));
}

void FilePanelsTest::thePictureIsABitmapOfTheGraph() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    CQuillonView &view = frame->scopeView();
    const QSize size = view.graph().size();

    QVERIFY(saveAs(view, CSavePanel::Graph, "graph"));
    const QByteArray bmp = readBytes(dataFile(session.control(), "graph.bmp"));
    QVERIFY(bmp.size() > 54);
    QCOMPARE(bmp.left(2), QByteArray("BM"));
    QCOMPARE(le32(bmp, 2), static_cast<std::uint32_t>(bmp.size()));
    QCOMPARE(le32(bmp, 10), 54u);
    QCOMPARE(static_cast<int>(le32(bmp, 18)), size.width());
    QCOMPARE(static_cast<int>(le32(bmp, 22)), size.height());
    QCOMPARE(le32(bmp, 26) >> 16, 24u); // bits per pixel
    const int rowBytes = (size.width() * 3 + 3) / 4 * 4;
    QCOMPARE(bmp.size(), 54 + rowBytes * size.height());
    // The first stored row is the bottom one: the window's white margin.
    QCOMPARE(static_cast<std::uint8_t>(bmp[54]), 255);

    QApplication::clipboard()->clear();
    QVERIFY(saveAs(view, CSavePanel::Graph, "graph", CSavePanel::Clipboard));
    QCOMPARE(QApplication::clipboard()->image().size(), size);
}

void FilePanelsTest::browseFillsTheNameAndChangesTheFolder() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    QTemporaryDir elsewhere;
    CSavePanel *panel = openSave(view);
    QVERIFY(panel != nullptr);
    panel->setType(CSavePanel::Spc);
    DialogAnswer seen;
    answerFileDialog(elsewhere.filePath("out.spc"), seen);
    QTest::mouseClick(&panel->browseButton(), Qt::LeftButton);
    QCOMPARE(seen.title, QString("Open Export SPC File"));
    QVERIFY(seen.filters.contains("SPC File(*.spc)"));
    QCOMPARE(panel->nameBox().text(), QString("out.spc"));
    QCOMPARE(QString::fromStdString(view.dataFolder().string()),
             QDir(elsewhere.path()).absolutePath());
    QTest::mouseClick(&panel->actionButton(), Qt::LeftButton);
    QTRY_VERIFY(view.savePanel() == nullptr);
    QCOMPARE(readBytes(elsewhere.filePath("out.spc")).size() > 512, true);

    // The load panel browses the same folder for scan data files.
    clickMain(view.button(command::kLoad));
    CLoadPanel *load = view.loadPanel();
    QVERIFY(load != nullptr);
    answerFileDialog(elsewhere.filePath("out.spc"), seen);
    QTest::mouseClick(&load->browseButton(), Qt::LeftButton);
    QCOMPARE(seen.title, QString("Open Scan Data File"));
    QVERIFY(seen.filters.contains("Scan Data File(*.sdf)"));
}

void FilePanelsTest::refusedInputKeepsThePanelOpen() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    const QString title = frame->windowTitle();

    CSavePanel *save = openSave(view);
    QVERIFY(save != nullptr);
    QTest::mouseClick(&save->actionButton(), Qt::LeftButton);
    QCOMPARE(save->status(), QString("Input Save Data Name"));
    save->setType(CSavePanel::Memory);
    save->nameBox().setText("none");
    QTest::mouseClick(&save->actionButton(), Qt::LeftButton);
    QCOMPARE(save->status(), QString("No Memory Data"));
    QVERIFY(view.savePanel() != nullptr);
    QVERIFY(!QFile::exists(dataFile(dc, "none.sdf")));

    clickMain(view.button(command::kLoad)); // one panel at a time
    QVERIFY(view.savePanel() == nullptr);
    CLoadPanel *load = view.loadPanel();
    QVERIFY(load != nullptr);
    QTest::mouseClick(&load->actionButton(), Qt::LeftButton);
    QCOMPARE(load->status(), QString("No Load Data Name"));

    QFile garbage(dataFile(dc, "garbage.sdf"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(300, '\x5a'));
    garbage.close();
    load->nameBox().setText("garbage");
    QTest::mouseClick(&load->actionButton(), Qt::LeftButton);
    QVERIFY(view.loadPanel() != nullptr);
    QVERIFY2(load->status().startsWith("Not loaded: "), qPrintable(load->status()));
    const std::vector<std::string> told = session.prompter().textsOf(PromptKind::Message);
    QVERIFY(!told.empty() && told.back().find("could not be loaded") != std::string::npos);
    QCOMPARE(frame->statusPanes().paneText(pane::kSource), QString("SCAN"));
    QCOMPARE(frame->windowTitle(), title);
    QVERIFY(!dc.State().flags.option.test(option_bits::kMemoryMode));

    load->nameBox().setText("missing");
    QTest::mouseClick(&load->actionButton(), Qt::LeftButton);
    QCOMPARE(load->status(), QString("No file name is found "));
    QTest::mouseClick(&load->closeButton(), Qt::LeftButton);
    QTRY_VERIFY(view.loadPanel() == nullptr);
}

void FilePanelsTest::playbackPanelZoomsAndSwitchesUnits() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    CPlaybackPanel &panel = view.playbackPanel();
    CScopeGraph &graph = view.graph();
    QCOMPARE(panel.button(playback::kPixelUnit)->toolTip(), QString(" Pixel Unit"));
    QCOMPARE(panel.button(playback::kContinuousForward)->toolTip(),
             QString("Continuous Step Forward"));
    // In the top right corner of the plot, clear of the titles above it,
    // also after a resize.
    QCOMPARE(panel.parentWidget(), &graph);
    const auto inCorner = [&] {
        const GraphLayout layout = graph.layout();
        const QRect plot(QPoint(layout.plot.left, layout.plot.top),
                         QPoint(layout.plot.right, layout.plot.bottom));
        return plot.contains(panel.geometry()) && plot.right() - panel.geometry().right() < 10 &&
               panel.y() - plot.top() < 10;
    };
    QVERIFY(inCorner());
    frame->resize(1100, 650);
    QTRY_VERIFY(inCorner());

    const ViewRange full = graph.viewState().range;
    clickPlayback(view, playback::kZoomIn);
    QVERIFY(graph.viewState().range.xStart > full.xStart);
    QVERIFY(graph.viewState().range.xEnd < full.xEnd);
    clickPlayback(view, playback::kReset);
    QCOMPARE(graph.viewState().range.xStart, full.xStart);
    QCOMPARE(graph.viewState().range.xEnd, full.xEnd);

    clickPlayback(view, playback::kWavenumberUnit);
    QCOMPARE(dc.State().flags.xUnit(), XUnit::Wavenumber);
    clickPlayback(view, playback::kPixelUnit);
    QCOMPARE(dc.State().flags.xUnit(), XUnit::Pixel);
    clickPlayback(view, playback::kWavelengthUnit);
    QCOMPARE(dc.State().flags.xUnit(), XUnit::Wavelength);
    // Data held on the wavelength grid has no pixel axis.
    QVERIFY(view.changeUnderHold([](DataControl &c) { c.SetWavelengthBase(true); }));
    clickPlayback(view, playback::kPixelUnit);
    QCOMPARE(dc.State().flags.xUnit(), XUnit::Wavelength);

    // Stop holds the live scans; one step forward takes a single one.
    clickPlayback(view, playback::kStop);
    QVERIFY(dc.State().flags.status.test(status_bits::kHold));
    clickPlayback(view, playback::kContinuousForward);
    QVERIFY(!dc.State().flags.status.test(status_bits::kHold));
}

void FilePanelsTest::memoryTracesFadeBehindTheSpectrum() {
    GraphSnapshot snapshot;
    snapshot.range.xStart = 1;
    snapshot.range.xEnd = 100;
    snapshot.range.fullXStart = 1;
    snapshot.range.fullXSpan = 99;
    snapshot.range.yStart = 0;
    snapshot.range.yEnd = 1000;
    snapshot.range.fullYStart = 0;
    snapshot.range.fullYSpan = 1000;
    snapshot.displayWord = 0;
    snapshot.values.assign(100, 800.0f);
    snapshot.memoryTraces.count = 2;
    snapshot.memoryTraces.counts[0].assign(100, 500.0f);
    snapshot.memoryTraces.counts[1].assign(100, 200.0f);
    QImage picture(640, 480, QImage::Format_RGB32);
    GraphRenderer renderer;
    renderer.render(snapshot, picture);
    const QColor trace = colourFromSetting(snapshot.colours.pixel);
    const QColor back = colourFromSetting(snapshot.colours.back);
    const PixelRect plot = computeGraphLayout(640, 480).plot;
    // The colour on the row of each level, half-way across the plot.
    const auto colourAt = [&](float value) {
        const int y = plot.bottom - static_cast<int>(value / 1000.0f * plot.height());
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor c = picture.pixelColor(plot.left + plot.width() / 2, y + dy);
            if (c != back) {
                return c;
            }
        }
        return back;
    };
    const QColor newest = colourAt(500.0f);
    const QColor older = colourAt(200.0f);
    QCOMPARE(colourAt(800.0f), trace);
    QVERIFY(newest != back && newest != trace);
    QVERIFY(older != back && older != newest);
    // Older means closer to the background.
    const auto distance = [&](QColor c) {
        return std::abs(c.red() - back.red()) + std::abs(c.green() - back.green()) +
               std::abs(c.blue() - back.blue());
    };
    QVERIFY(distance(older) < distance(newest));
    QVERIFY(distance(newest) < distance(trace));
}

QTEST_MAIN(FilePanelsTest)

// Recorded spectra exist only in memory: closing asks before they go, and
// a saved list closes without a question.
void FilePanelsTest::unsavedSpectraAreNotLostOnClose() {
    GuiSession session;
    CMainFrame *frame = session.start(QSize(1024, 700));
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    CQuillonView &view = frame->scopeView();
    clickPlayback(view, playback::kRecordData);
    QCOMPARE(session.control().State().memory.size(), std::size_t{1});
    session.prompter().queueYesNo(false);
    QVERIFY(!frame->close());
    QVERIFY(frame->isVisible());
    QCOMPARE(session.prompter().textsOf(PromptKind::YesNo).size(), std::size_t{1});
    QVERIFY(session.prompter().textsOf(PromptKind::YesNo)[0].find("1 spectra that are not saved") !=
            std::string::npos);
    QVERIFY(saveAs(view, CSavePanel::Memory, "kept"));
    QVERIFY(frame->close());
    QCOMPARE(session.prompter().textsOf(PromptKind::YesNo).size(), std::size_t{1});
}

#include "file_panels_test.moc"
