// Qt Test of the graph widget and the renderer on the offscreen platform.
// With QUILLON_GRAPH_SCREENSHOTS set to a folder, the scenes are also saved
// there as PNG files for a look by eye.
#include "graph_scenes.h"
#include "shell/graph_renderer.h"
#include "shell/scope_graph.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

using namespace quillon;
using namespace quillon::testing;

namespace {

QImage renderScene(const GraphSnapshot &snapshot, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    GraphRenderer renderer;
    renderer.render(snapshot, image);
    return image;
}

int countColour(const QImage &image, const PixelRect &area, QRgb colour) {
    int count = 0;
    for (int y = std::max(0, area.top); y <= std::min(image.height() - 1, area.bottom); ++y) {
        for (int x = std::max(0, area.left); x <= std::min(image.width() - 1, area.right); ++x) {
            count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
        }
    }
    return count;
}

PixelRect axisTitleArea(const GraphLayout &layout) {
    return {0, 0, layout.width / 2, layout.plot.top - 1};
}

void prepareGraph(CScopeGraph &graph) {
    graph.resize(1000, 500);
    graph.setRangeContext(scopePixelContext());
    graph.resetRange();
}

QPoint plotPoint(const CScopeGraph &graph, double fx, double fy) {
    const PixelRect plot = graph.layout().plot;
    return {plot.left + static_cast<int>(fx * plot.width()),
            plot.top + static_cast<int>(fy * plot.height())};
}

// Sent directly: a move without a pressed button is not delivered reliably
// through the test's synthetic cursor.
void hover(CScopeGraph &graph, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), graph.mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&graph, &move);
}

void dragBand(CScopeGraph &graph, QPoint from, QPoint to) {
    QTest::mousePress(&graph, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&graph, (from + to) / 2);
    QTest::mouseMove(&graph, to);
    QTest::mouseRelease(&graph, Qt::LeftButton, Qt::NoModifier, to);
}

} // namespace

class ScopeGraphTest : public QObject {
    Q_OBJECT

private slots:
    void rubberBandTallerThanTenPixelsZooms();
    void rubberBandOfEightByEightIsIgnored();
    void zoomOutReturnsToFullRange();
    void panStaysInsideFullRange();
    void traceIsDrawnInModeColourAtItsPoints();
    void axisTitleFollowsMode();
    void gridFollowsDisplayWord();
    void peakMarksAndTipsAtPeaks();
    void presentFrameShowsImage();
    void rightClickPlacesAndRemovesCursorLine();
    void rightClickOnTitleEditsIt();
    void workerReadsRangeWhileMouseChangesIt();
    void scenesForViewing();
};

void ScopeGraphTest::rubberBandTallerThanTenPixelsZooms() {
    CScopeGraph graph;
    prepareGraph(graph);
    graph.setInteractionMode(InteractionMode::RubberBand);
    QSignalSpy changed(&graph, &CScopeGraph::viewRangeChanged);
    const ViewRange before = graph.viewState().range;
    const QPoint from = plotPoint(graph, 0.4, 0.2);
    dragBand(graph, from, from + QPoint(8, 200));
    const ViewRange after = graph.viewState().range;
    QCOMPARE(changed.count(), 1);
    QVERIFY(after.xEnd - after.xStart < (before.xEnd - before.xStart) / 50);
    QVERIFY(after.yEnd - after.yStart < before.yEnd - before.yStart);
    QVERIFY(after.xStart > before.xStart && after.xEnd < before.xEnd);
}

void ScopeGraphTest::rubberBandOfEightByEightIsIgnored() {
    CScopeGraph graph;
    prepareGraph(graph);
    graph.setInteractionMode(InteractionMode::RubberBand);
    const ViewRange before = graph.viewState().range;
    const QPoint from = plotPoint(graph, 0.5, 0.5);
    dragBand(graph, from, from + QPoint(8, 8));
    const ViewRange after = graph.viewState().range;
    QCOMPARE(after.xStart, before.xStart);
    QCOMPARE(after.xEnd, before.xEnd);
    QCOMPARE(after.yStart, before.yStart);
    QCOMPARE(after.yEnd, before.yEnd);
}

void ScopeGraphTest::zoomOutReturnsToFullRange() {
    CScopeGraph graph;
    prepareGraph(graph);
    graph.setInteractionMode(InteractionMode::RubberBand);
    dragBand(graph, plotPoint(graph, 0.3, 0.3), plotPoint(graph, 0.6, 0.7));
    graph.setInteractionMode(InteractionMode::ZoomIn);
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(&graph, Qt::LeftButton, Qt::NoModifier, plotPoint(graph, 0.5, 0.5));
    }
    graph.setInteractionMode(InteractionMode::ZoomOut);
    for (int i = 0; i < 25; ++i) {
        graph.rescale();
    }
    const ViewRange range = graph.viewState().range;
    QCOMPARE(range.xStart, 1.0f);
    QCOMPARE(range.xEnd, static_cast<float>(kSyntheticPixels));
    QCOMPARE(range.yStart, 0.0f);
    QCOMPARE(range.yEnd, 65535.0f);
}

void ScopeGraphTest::panStaysInsideFullRange() {
    CScopeGraph graph;
    prepareGraph(graph);
    graph.setInteractionMode(InteractionMode::ZoomIn);
    graph.rescale();
    graph.rescale();
    const ViewRange zoomed = graph.viewState().range;
    graph.setInteractionMode(InteractionMode::PanX);
    const QPoint start = plotPoint(graph, 0.5, 0.5);
    QTest::mousePress(&graph, Qt::LeftButton, Qt::NoModifier, start);
    QTest::mouseMove(&graph, start + QPoint(30, 0));
    ViewRange range = graph.viewState().range;
    QVERIFY(range.xStart < zoomed.xStart); // content follows the mouse to the right
    QTest::mouseMove(&graph, start + QPoint(600, 0));
    QTest::mouseRelease(&graph, Qt::LeftButton, Qt::NoModifier, start + QPoint(600, 0));
    range = graph.viewState().range;
    QCOMPARE(range.xStart, range.fullXStart);
    QVERIFY(std::abs((range.xEnd - range.xStart) - (zoomed.xEnd - zoomed.xStart)) < 0.01f);
}

void ScopeGraphTest::traceIsDrawnInModeColourAtItsPoints() {
    for (const bool calibrated : {false, true}) {
        GraphSnapshot snapshot = calibrated ? transmissionScene() : scopePixelScene();
        const QImage image = renderScene(snapshot, 1000, 500);
        const GraphLayout layout = computeGraphLayout(1000, 500);
        const PlotMapping mapping(snapshot.range, layout.plot, snapshot.calibratedAxis,
                                  snapshot.xUnit);
        const QRgb colour = colourFromSetting(snapshot.colours.trace(snapshot.mode)).rgb();
        const double margin = (snapshot.range.yEnd - snapshot.range.yStart) * 0.02;
        int checked = 0;
        for (std::size_t i = 10; i < snapshot.values.size(); i += snapshot.values.size() / 17) {
            if (snapshot.values[i] < snapshot.range.yStart + margin) {
                continue; // noise around the axis may dip below the plot
            }
            ++checked;
            const double position = calibrated ? snapshot.grid.start + static_cast<double>(i)
                                               : static_cast<double>(i + 1);
            const int x = static_cast<int>(std::lround(mapping.xOf(position)));
            const int y = static_cast<int>(mapping.yOf(snapshot.values[i]));
            QVERIFY2(layout.plot.contains(x, y), qPrintable(QString("point %1").arg(i)));
            QCOMPARE(image.pixel(x, y) & 0xFFFFFF, colour & 0xFFFFFF);
        }
        QVERIFY(checked >= 8);
        // Nothing of the trace outside the plot.
        QCOMPARE(countColour(image, {0, 0, layout.width - 1, layout.plot.top - 1}, colour), 0);
    }
}

void ScopeGraphTest::axisTitleFollowsMode() {
    const GraphLayout layout = computeGraphLayout(1000, 500);
    const QImage scope = renderScene(wavelengthScene(), 1000, 500);
    const QImage trans = renderScene(transmissionScene(), 1000, 500);
    const PixelRect area = axisTitleArea(layout);
    QVERIFY(countColour(scope, area, kAxisTitleColour) > 50);
    QVERIFY(countColour(trans, area, kAxisTitleColour) > 50);
    QVERIFY(scope.copy(0, 0, area.right, area.bottom) != trans.copy(0, 0, area.right, area.bottom));

    GraphSnapshot vertical = transmissionScene();
    vertical.verticalAxisTitle = true;
    const GraphLayout verticalLayout = computeGraphLayout(1000, 500, true);
    const QImage rotated = renderScene(vertical, 1000, 500);
    const PixelRect rightMargin{verticalLayout.plot.right + 2, verticalLayout.plot.top, 999,
                                verticalLayout.plot.bottom};
    QVERIFY(countColour(rotated, rightMargin, kAxisTitleColour) > 50);
    QCOMPARE(countColour(rotated, axisTitleArea(verticalLayout), kAxisTitleColour), 0);
}

void ScopeGraphTest::gridFollowsDisplayWord() {
    GraphSnapshot snapshot = scopePixelScene();
    snapshot.values.clear();
    const GraphLayout layout = computeGraphLayout(1000, 500);
    const PixelRect inside{layout.plot.left + 1, layout.plot.top + 1, layout.plot.right - 1,
                           layout.plot.bottom - 1};
    const QRgb grid = qRgb(200, 200, 200);
    snapshot.displayWord = 0;
    QCOMPARE(countColour(renderScene(snapshot, 1000, 500), inside, grid), 0);
    snapshot.displayWord = display_word::kXGrid;
    const int xOnly = countColour(renderScene(snapshot, 1000, 500), inside, grid);
    snapshot.displayWord = display_word::kXGrid | display_word::kYGrid;
    const int both = countColour(renderScene(snapshot, 1000, 500), inside, grid);
    QVERIFY(xOnly > 0);
    QVERIFY(both > xOnly);
}

void ScopeGraphTest::peakMarksAndTipsAtPeaks() {
    GraphSnapshot snapshot = scopePixelScene();
    const PeakMark peak{1086.0f, 33000.0f, 1.25f};
    snapshot.peaks = {peak};
    snapshot.range.peakMarks = true;
    const QImage marked = renderScene(snapshot, 1000, 500);
    snapshot.range.peakMarks = false;
    const QImage unmarked = renderScene(snapshot, 1000, 500);
    QVERIFY(marked != unmarked);

    CScopeGraph graph;
    prepareGraph(graph);
    graph.setPeaks({peak});
    graph.setPeakMarks(true);
    graph.setPointerState(true);
    graph.setAxisContext({false, GraphXUnit::Pixel, GraphMode::Scope, {}, {}});
    QSignalSpy tips(&graph, &CScopeGraph::peakTipShown);
    const PlotMapping mapping(graph.viewState().range, graph.layout().plot, false,
                              GraphXUnit::Pixel);
    const QPoint at(static_cast<int>(std::lround(mapping.xOf(peak.position))),
                    static_cast<int>(mapping.yOf(peak.intensity)));
    hover(graph, at + QPoint(0, 10)); // too far below
    QCOMPARE(tips.count(), 0);
    hover(graph, at + QPoint(3, -4));
    QCOMPARE(tips.count(), 1);
    QCOMPARE(tips.at(0).at(0).toInt(), 1);
    QCOMPARE(tips.at(0).at(1).toInt(), 1086);
    QCOMPARE(graph.dataTipText(), QString("No=1\nPixel=1086\nIntensity=33000\nFWHM=1.250nm"));
}

void ScopeGraphTest::presentFrameShowsImage() {
    CScopeGraph graph;
    graph.resize(320, 200);
    QCOMPARE(graph.objectName(), QString("Data Analysis Graph"));
    QImage frame(320, 200, QImage::Format_RGB32);
    frame.fill(qRgb(12, 34, 56));
    frame.setPixel(100, 50, qRgb(250, 0, 0));
    graph.presentFrame(frame);
    const QImage shown = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.pixel(10, 10) & 0xFFFFFF, qRgb(12, 34, 56) & 0xFFFFFF);
    QCOMPARE(shown.pixel(100, 50) & 0xFFFFFF, qRgb(250, 0, 0) & 0xFFFFFF);
}

void ScopeGraphTest::rightClickPlacesAndRemovesCursorLine() {
    CScopeGraph graph;
    prepareGraph(graph);
    const QPoint at = plotPoint(graph, 0.25, 0.5);
    QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(graph.viewState().range.cursorLine, -1); // not in pointer state
    graph.setPointerState(true);
    QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(graph.viewState().range.cursorLine, at.x());
    QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier, plotPoint(graph, 0.7, 0.5));
    QCOMPARE(graph.viewState().range.cursorLine, -1);
}

void ScopeGraphTest::rightClickOnTitleEditsIt() {
    CScopeGraph graph;
    prepareGraph(graph);
    graph.show();
    QVERIFY(QTest::qWaitForWindowExposed(&graph));
    QSignalSpy edited(&graph, &CScopeGraph::titleEdited);
    const PixelRect area = graph.layout().secondTitleArea;
    QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier,
                      QPoint((area.left + area.right) / 2, (area.top + area.bottom) / 2));
    auto *editor = graph.findChild<QLineEdit *>(QString::number(CScopeGraph::kTitleEditId));
    QVERIFY(editor != nullptr);
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QString("Sample Name"));
    editor->setText("Filter 530");
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(!editor->isVisible());
    QCOMPARE(edited.count(), 1);
    QCOMPARE(graph.viewState().secondTitle, std::string("Filter 530"));
    QCOMPARE(graph.viewState().mainTitle, std::string("Project Name"));
}

void ScopeGraphTest::workerReadsRangeWhileMouseChangesIt() {
    CScopeGraph graph;
    prepareGraph(graph);
    std::atomic<bool> stop{false};
    std::atomic<int> inverted{0};
    std::thread worker([&] {
        while (!stop.load()) {
            const GraphViewState state = graph.viewState();
            inverted += state.range.xEnd <= state.range.xStart ? 1 : 0;
        }
    });
    for (int i = 0; i < 200; ++i) {
        graph.setInteractionMode(i % 3 == 0 ? InteractionMode::ZoomOut : InteractionMode::ZoomIn);
        graph.rescale();
    }
    stop = true;
    worker.join();
    QCOMPARE(inverted.load(), 0);
}

void ScopeGraphTest::scenesForViewing() {
    const QString folder = qEnvironmentVariable("QUILLON_GRAPH_SCREENSHOTS");
    GraphSnapshot scope = scopePixelScene();
    for (const double line : {435.83, 546.07, 763.51}) {
        // The brightest pixel near each line, as peak finding would report it.
        std::size_t best = 0;
        for (std::size_t i = 0; i < scope.values.size(); ++i) {
            if (std::abs(scope.wavelengthTable[i] - line) < 2.0 &&
                scope.values[i] > scope.values[best]) {
                best = i;
            }
        }
        scope.peaks.push_back({static_cast<float>(best + 1), scope.values[best], 1.1f});
    }
    scope.dark.assign(scope.values.size(), 1500.0f);
    scope.showDark = true;
    scope.range.peakMarks = true;
    scope.range.cursorLine = 700;
    scope.statistics = ScanStatistics{1498.3f, 12034.5f, 4.0e6f};
    GraphSnapshot pixelAsWavelength = scopePixelScene();
    pixelAsWavelength.xUnit = GraphXUnit::Wavelength;
    GraphSnapshot wavenumber = wavelengthScene();
    wavenumber.xUnit = GraphXUnit::Wavenumber;
    const std::vector<std::pair<QString, GraphSnapshot>> scenes{
        {"scope", scope},
        {"pixelwl", pixelAsWavelength},
        {"wavelength", wavelengthScene()},
        {"wavenumber", wavenumber},
        {"transmission", transmissionScene()}};
    for (const auto &[name, snapshot] : scenes) {
        for (const QSize size : {QSize(1600, 900), QSize(1000, 500)}) {
            const QImage image = renderScene(snapshot, size.width(), size.height());
            QVERIFY(!image.isNull());
            if (!folder.isEmpty()) {
                const QString file = QString("%1/graph_%2_%3x%4.png")
                                         .arg(folder, name)
                                         .arg(size.width())
                                         .arg(size.height());
                QVERIFY(image.save(file));
            }
        }
    }
}

QTEST_MAIN(ScopeGraphTest)
#include "scope_graph_test.moc"
