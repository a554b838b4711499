// Qt Test of the graph widget and the renderer on the offscreen platform.
#include "graph_scenes.h"
#include "shell/graph_renderer.h"
#include "shell/scope_graph.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <limits>
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

// Pixels dark enough to be text or tick marks.
int countInk(const QImage &image, const PixelRect &area) {
    int count = 0;
    for (int y = std::max(0, area.top); y <= std::min(image.height() - 1, area.bottom); ++y) {
        for (int x = std::max(0, area.left); x <= std::min(image.width() - 1, area.right); ++x) {
            count += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
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
    void cursorLineKeepsItsDataPosition();
    void readoutsFollowThePointerAndNeverGoStale();
    void rightClickOnTitleEditsIt();
    void workerReadsRangeWhileMouseChangesIt();
    void scenesDrawWhatTheyShow();
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
    QVERIFY(!graph.viewState().range.hasCursor()); // not in pointer state
    graph.setPointerState(true);
    QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(graph.viewState().range.cursorLine, at.x());
    const PlotMapping mapping(graph.viewState().range, graph.layout().plot, false,
                              GraphXUnit::Pixel);
    QCOMPARE(graph.viewState().range.cursorPosition,
             static_cast<float>(mapping.positionAt(at.x())));
    QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier, plotPoint(graph, 0.7, 0.5));
    QCOMPARE(graph.viewState().range.cursorLine, -1);
    QVERIFY(!graph.viewState().range.hasCursor());
}

// The cursor marks a data position: it stays on its pixel or wavelength
// through a resize and a zoom, goes over to the other axis holding, and is
// dropped when the full range no longer holds it.
void ScopeGraphTest::cursorLineKeepsItsDataPosition() {
    CScopeGraph graph;
    prepareGraph(graph);
    graph.setAxisContext({false, GraphXUnit::Pixel, GraphMode::Scope, syntheticWavelengthTable(),
                          kSyntheticPolynomial});
    graph.setPointerState(true);
    graph.show(); // a hidden widget gets its resize events only when shown
    QVERIFY(QTest::qWaitForWindowExposed(&graph));
    QTest::mouseClick(&graph, Qt::RightButton, Qt::NoModifier, plotPoint(graph, 0.25, 0.5));
    const float position = graph.viewState().range.cursorPosition;
    const int column = graph.viewState().range.cursorLine;
    QVERIFY(position > 800.0f && position < 1000.0f);

    graph.resize(1400, 600);
    ViewRange range = graph.viewState().range;
    QCOMPARE(range.cursorPosition, position);
    const PlotMapping wider(range, graph.layout().plot, false, GraphXUnit::Pixel);
    QCOMPARE(range.cursorLine, static_cast<int>(std::lround(wider.xOf(position))));
    QVERIFY(range.cursorLine != column);

    // Zoomed in around the middle the cursor is out of view, but kept.
    graph.setInteractionMode(InteractionMode::ZoomIn);
    for (int i = 0; i < 8; ++i) {
        graph.rescale();
    }
    QCOMPARE(graph.viewState().range.cursorLine, -1);
    QCOMPARE(graph.viewState().range.cursorPosition, position);
    graph.setInteractionMode(InteractionMode::ZoomOut);
    for (int i = 0; i < 8; ++i) {
        graph.rescale();
    }
    QCOMPARE(graph.viewState().range.cursorLine, range.cursorLine);

    // Onto the calibrated axis: the pixel's wavelength.
    RangeContext calibrated = scopePixelContext();
    calibrated.calibratedAxis = true;
    calibrated.settings.wavelengthStart = 350.0f;
    calibrated.settings.wavelengthEnd = 1000.0f;
    graph.setRangeContext(calibrated);
    graph.setAxisContext({true, GraphXUnit::Wavelength, GraphMode::Scope,
                          syntheticWavelengthTable(), kSyntheticPolynomial});
    graph.resetRange();
    const double nm = syntheticWavelength(position);
    QVERIFY(std::abs(graph.viewState().range.cursorPosition - nm) < 0.01);
    QVERIFY(graph.viewState().range.cursorLine >= 0);
    // Shown as wavenumber the line stays on the same wavelength.
    graph.setAxisContext({true, GraphXUnit::Wavenumber, GraphMode::Scope,
                          syntheticWavelengthTable(), kSyntheticPolynomial});
    const PlotMapping inverse(graph.viewState().range, graph.layout().plot, true,
                              GraphXUnit::Wavenumber);
    QCOMPARE(graph.viewState().range.cursorLine,
             static_cast<int>(std::lround(inverse.xOf(graph.viewState().range.cursorPosition))));

    // Back on pixels: the same pixel again.
    graph.setRangeContext(scopePixelContext());
    graph.setAxisContext({false, GraphXUnit::Pixel, GraphMode::Scope, syntheticWavelengthTable(),
                          kSyntheticPolynomial});
    graph.resetRange();
    QVERIFY(std::abs(graph.viewState().range.cursorPosition - position) < 0.01);

    // A full range that no longer reaches it drops it.
    RangeContext narrow = scopePixelContext();
    narrow.settings.pixelStart = 1500;
    graph.setRangeContext(narrow);
    graph.resetRange();
    QVERIFY(!graph.viewState().range.hasCursor());
    QCOMPARE(graph.viewState().range.cursorLine, -1);
}

// The position readouts show what is under the pointer for the range and
// axis in force, vanish when the pointer leaves, and stay inside the plot,
// clear of the tick labels around it and of each other.
void ScopeGraphTest::readoutsFollowThePointerAndNeverGoStale() {
    CScopeGraph graph;
    prepareGraph(graph);
    graph.setDisplayWord(display_word::kXReadout | display_word::kYReadout);
    graph.setAxisContext({false, GraphXUnit::Pixel, GraphMode::Scope, {}, {}});
    graph.setPointerState(true);
    graph.show();
    QVERIFY(QTest::qWaitForWindowExposed(&graph));
    auto *x = graph.findChild<QLabel *>("xReadout");
    auto *y = graph.findChild<QLabel *>("yReadout");
    QVERIFY(x != nullptr && y != nullptr);
    const auto expected = [&graph](QPoint at) {
        const PlotMapping mapping(graph.viewState().range, graph.layout().plot, false,
                                  GraphXUnit::Pixel);
        return std::pair{
            QString::number(mapping.xReadout(at.x(), {}), 'f', 2),
            QString::number(yValueAt(mapping.range(), graph.layout().plot, at.y()), 'f', 2)};
    };
    const auto clearOfLabels = [&graph, x, y] {
        const PixelRect p = graph.layout().plot;
        const QRect plot(p.left, p.top, p.width(), p.height());
        return plot.contains(x->geometry()) && plot.contains(y->geometry()) &&
               !x->geometry().intersects(y->geometry());
    };

    const QPoint at = plotPoint(graph, 0.3, 0.4);
    hover(graph, at);
    QVERIFY(x->isVisible() && y->isVisible());
    QCOMPARE(std::pair(x->text(), y->text()), expected(at));
    QVERIFY(clearOfLabels());

    // Near the plot's lower left corner they still do not meet.
    hover(graph, plotPoint(graph, 0.0, 0.99));
    QVERIFY(x->isVisible() && y->isVisible());
    QVERIFY(clearOfLabels());

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&graph, &leave);
    QVERIFY(!x->isVisible() && !y->isVisible());

    // A zoom under a resting pointer gives the values of the new range.
    hover(graph, at);
    const QString countsBefore = y->text();
    graph.setInteractionMode(InteractionMode::ZoomIn);
    graph.rescale();
    QVERIFY(y->text() != countsBefore);
    QCOMPARE(std::pair(x->text(), y->text()), expected(at));
    QVERIFY(clearOfLabels());

    // A mode change: the y readout is in absorbance units now.
    RangeContext absorbance = scopePixelContext();
    absorbance.mode = GraphMode::Absorbance;
    graph.setRangeContext(absorbance);
    graph.setAxisContext({false, GraphXUnit::Pixel, GraphMode::Absorbance, {}, {}});
    graph.setInteractionMode(InteractionMode::None);
    graph.rescale();
    QCOMPARE(std::pair(x->text(), y->text()), expected(at));
    const double shown = y->text().toDouble();
    QVERIFY(shown >= absorbance.settings.absorbMin && shown <= absorbance.settings.absorbMax);

    // Switched off in the display word: gone at once.
    graph.setDisplayWord(display_word::kYReadout);
    QVERIFY(!x->isVisible() && y->isVisible());
    graph.setPointerState(false);
    QVERIFY(!y->isVisible());
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

// Every scene at two sizes: the trace in its colour at its points, nothing
// of it outside the plot, tick labels where the ticks are, the cursor line in
// its column only, and peak marks only around their peaks.
void ScopeGraphTest::scenesDrawWhatTheyShow() {
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
    scope.range.cursorPosition = 700.0f;
    GraphSnapshot pixelAsWavelength = scopePixelScene();
    pixelAsWavelength.xUnit = GraphXUnit::Wavelength;
    GraphSnapshot wavenumber = wavelengthScene();
    wavenumber.xUnit = GraphXUnit::Wavenumber;
    wavenumber.range.cursorPosition = 600.0f;
    const std::vector<std::pair<QString, GraphSnapshot>> scenes{
        {"scope", scope},
        {"pixel as wavelength", pixelAsWavelength},
        {"wavelength", wavelengthScene()},
        {"wavenumber", wavenumber},
        {"transmission", transmissionScene()}};
    for (const auto &[name, snapshot] : scenes) {
        for (const QSize size : {QSize(1600, 900), QSize(1000, 500)}) {
            const QString scene =
                QString("%1 %2x%3").arg(name).arg(size.width()).arg(size.height());
            const QImage image = renderScene(snapshot, size.width(), size.height());
            const GraphLayout layout = computeGraphLayout(size.width(), size.height());
            const PixelRect &plot = layout.plot;
            const PlotMapping mapping(snapshot.range, plot, snapshot.calibratedAxis,
                                      snapshot.xUnit);
            const QRgb trace = colourFromSetting(snapshot.colours.trace(snapshot.mode)).rgb();

            // The trace passes through its points (a mark may cover one).
            int hits = 0;
            int checked = 0;
            const double margin = (snapshot.range.yEnd - snapshot.range.yStart) * 0.02;
            for (std::size_t i = 5; i < snapshot.values.size(); i += snapshot.values.size() / 23) {
                if (snapshot.values[i] < snapshot.range.yStart + margin) {
                    continue;
                }
                const double position = snapshot.calibratedAxis
                                            ? snapshot.grid.start + snapshot.grid.step * i
                                            : static_cast<double>(i + 1);
                const int x = static_cast<int>(std::lround(mapping.xOf(position)));
                const int y = static_cast<int>(mapping.yOf(snapshot.values[i]));
                ++checked;
                hits += countColour(image, {x, y - 1, x, y + 1}, trace) > 0 ? 1 : 0;
            }
            QVERIFY2(checked >= 10, qPrintable(scene));
            QVERIFY2(hits >= checked - 3,
                     qPrintable(QString("%1: %2 of %3 points").arg(scene).arg(hits).arg(checked)));

            // Nothing of the trace in the margins.
            const int w = size.width() - 1;
            const int h = size.height() - 1;
            for (const PixelRect &outside :
                 {PixelRect{0, 0, w, plot.top - 1}, PixelRect{0, plot.bottom + 1, w, h},
                  PixelRect{0, 0, plot.left - 1, h}, PixelRect{plot.right + 1, 0, w, h}}) {
                QVERIFY2(countColour(image, outside, trace) == 0, qPrintable(scene));
            }

            // Each labelled tick has ink in its label box; the margins beside
            // them stay clear.
            const std::vector<Tick> xTicks =
                computeTicks(mapping.xAxis(snapshot.xTicks, snapshot.wavelengthPolynomial));
            const std::vector<Tick> yTicks = computeTicks(mapping.yAxis(snapshot.yTicks));
            const int labelTop = plot.bottom + layout.xLabelGap;
            const int labelBottom = labelTop + layout.labelFontPx + 2;
            int xLabels = 0;
            int xInked = 0;
            for (const Tick &tick : xTicks) {
                if (!tick.major || tick.position < plot.left || tick.position > plot.right) {
                    continue;
                }
                ++xLabels;
                const PixelRect box{tick.position - layout.labelFontPx, labelTop,
                                    tick.position + layout.labelFontPx, labelBottom};
                xInked += countInk(image, box) > 3 ? 1 : 0;
            }
            QVERIFY2(
                xLabels >= 4 && xInked * 2 >= xLabels,
                qPrintable(QString("%1: %2 of %3 x labels").arg(scene).arg(xInked).arg(xLabels)));
            int yLabels = 0;
            int yInked = 0;
            for (const Tick &tick : yTicks) {
                if (!tick.major || tick.position < plot.top || tick.position > plot.bottom) {
                    continue;
                }
                ++yLabels;
                const PixelRect box{0, tick.position - layout.labelFontPx / 2,
                                    plot.left - layout.yLabelGap,
                                    tick.position + layout.labelFontPx / 2};
                yInked += countInk(image, box) > 3 ? 1 : 0;
            }
            QVERIFY2(
                yLabels >= 4 && yInked * 2 >= yLabels,
                qPrintable(QString("%1: %2 of %3 y labels").arg(scene).arg(yInked).arg(yLabels)));
            // Between the y labels and the x labels, below the plot's corner.
            QCOMPARE(countInk(image, {0, labelBottom + layout.labelFontPx, plot.left / 2, h}), 0);

            // The cursor line changes its own column and no other.
            GraphSnapshot withoutCursor = snapshot;
            withoutCursor.range.cursorPosition = std::numeric_limits<float>::quiet_NaN();
            const QImage plain = renderScene(withoutCursor, size.width(), size.height());
            const int column = mapping.columnOf(snapshot.range.cursorPosition);
            QCOMPARE(column >= 0, snapshot.range.hasCursor());
            int inColumn = 0;
            int elsewhere = 0;
            for (int y = 0; y <= h; ++y) {
                for (int x = 0; x <= w; ++x) {
                    if (image.pixel(x, y) != plain.pixel(x, y)) {
                        (x == column ? inColumn : elsewhere) += 1;
                    }
                }
            }
            QCOMPARE(elsewhere, 0);
            QVERIFY2(column < 0 || inColumn > plot.height() / 4, qPrintable(scene));

            // Peak marks: only near their peaks, and at every one of them.
            if (!snapshot.peaks.empty()) {
                GraphSnapshot unmarked = snapshot;
                unmarked.range.peakMarks = false;
                const QImage bare = renderScene(unmarked, size.width(), size.height());
                std::vector<PixelRect> boxes;
                const int reach = static_cast<int>(3 * std::max(2.0, (plot.width() - 1) / 220.0));
                for (const PeakMark &peak : snapshot.peaks) {
                    const int x = static_cast<int>(mapping.xOf(peak.position));
                    const int y = static_cast<int>(mapping.yOf(peak.intensity));
                    boxes.push_back({x - reach - layout.labelFontPx,
                                     y - reach - 2 * layout.labelFontPx,
                                     x + reach + layout.labelFontPx, y + reach});
                }
                std::vector<int> changed(boxes.size(), 0);
                int stray = 0;
                for (int y = 0; y <= h; ++y) {
                    for (int x = 0; x <= w; ++x) {
                        if (image.pixel(x, y) == bare.pixel(x, y)) {
                            continue;
                        }
                        bool near = false;
                        for (std::size_t b = 0; b < boxes.size(); ++b) {
                            if (boxes[b].contains(x, y)) {
                                ++changed[b];
                                near = true;
                            }
                        }
                        stray += near ? 0 : 1;
                    }
                }
                QCOMPARE(stray, 0);
                for (const int count : changed) {
                    QVERIFY2(count > 10, qPrintable(scene));
                }
            }
        }
    }
}

QTEST_MAIN(ScopeGraphTest)
#include "scope_graph_test.moc"
