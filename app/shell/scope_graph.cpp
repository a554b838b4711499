#include "shell/scope_graph.h"

#include "shell/axis_ticks.h"
#include "shell/graph_snapshot.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillon {

namespace {

constexpr int kTipReachX = 3;
constexpr int kTipReachY = 4;
constexpr int kCursorGrab = 3;
constexpr int kReadoutInset = 3; // readouts from the plot's edges

void styleReadout(QLabel &label) {
    label.setStyleSheet("QLabel { background: rgb(255, 255, 225); color: black;"
                        " border: 1px solid rgb(120, 120, 120); padding: 1px 3px; }");
    label.setAttribute(Qt::WA_TransparentForMouseEvents);
    label.hide();
}

QString readoutText(double value) {
    return std::isfinite(value) ? QString::number(value, 'f', 2) : QString();
}

} // namespace

CScopeGraph::CScopeGraph(QWidget *parent)
    : QWidget(parent), titleEditor_(this), xReadout_(this), yReadout_(this), tip_(this) {
    setObjectName("Data Analysis Graph");
    setWindowTitle("Data Analysis Graph");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    titleEditor_.setObjectName(QString::number(kTitleEditId));
    titleEditor_.hide();
    connect(&titleEditor_, &QLineEdit::editingFinished, this, &CScopeGraph::commitTitleEdit);
    xReadout_.setObjectName("xReadout");
    yReadout_.setObjectName("yReadout");
    styleReadout(xReadout_);
    styleReadout(yReadout_);
    styleReadout(tip_);
    rangeContext_ = RangeContext{};
    state_.range = resetViewRange(rangeContext_);
}

GraphViewState CScopeGraph::viewState() const {
    const std::lock_guard lock(mutex_);
    return state_;
}

GraphLayout CScopeGraph::layout() const {
    const std::lock_guard lock(mutex_);
    return computeGraphLayout(width(), height(), state_.verticalAxisTitle);
}

template <typename Change>
void CScopeGraph::changeRange(Change change) {
    {
        const std::lock_guard lock(mutex_);
        const PixelRect plot = computeGraphLayout(width(), height(), state_.verticalAxisTitle).plot;
        change(state_.range, plot);
        deriveRange(state_.range, plot);
    }
    refreshReadouts();
    emit viewRangeChanged();
    update();
}

void CScopeGraph::deriveRange(ViewRange &range, const PixelRect &plot) const {
    updateDerivedRange(range, plot);
    range.cursorLine = cursorMapping(range, plot).columnOf(range.cursorPosition);
}

PlotMapping CScopeGraph::cursorMapping(const ViewRange &range, const PixelRect &plot) const {
    return {range, plot, rangeContext_.calibratedAxis, axisContext_.xUnit};
}

void CScopeGraph::setRangeContext(const RangeContext &context) {
    const bool holdingChanged = context.calibratedAxis != rangeContext_.calibratedAxis;
    rangeContext_ = context;
    if (holdingChanged) {
        // The range is about to change its unit: carry the cursor over.
        const std::lock_guard lock(mutex_);
        state_.range.cursorPosition = cursorOnOtherAxis(
            state_.range.cursorPosition, context.calibratedAxis, axisContext_.wavelengthTable);
    }
}

void CScopeGraph::setAxisContext(GraphAxisContext context) {
    axisContext_ = std::move(context);
    changeRange([](ViewRange &, const PixelRect &) {});
}

void CScopeGraph::setInteractionMode(InteractionMode mode) {
    interaction_ = mode;
    drag_ = InteractionMode::None;
}

void CScopeGraph::setPointerState(bool pointing) {
    pointing_ = pointing;
    if (!pointing) {
        hidePointerWidgets();
    }
}

void CScopeGraph::setDisplayWord(std::uint32_t word) {
    displayWord_ = word;
    refreshReadouts();
}

void CScopeGraph::setPeaks(std::vector<PeakMark> peaks) {
    peaks_ = std::move(peaks);
    tipPeak_ = -1;
    tip_.hide();
}

void CScopeGraph::setPeakMarks(bool shown) {
    changeRange([shown](ViewRange &range, const PixelRect &) { range.peakMarks = shown; });
}

void CScopeGraph::setTitles(const QString &main, const QString &second) {
    const std::lock_guard lock(mutex_);
    state_.mainTitle = main.toStdString();
    state_.secondTitle = second.toStdString();
}

void CScopeGraph::setVerticalAxisTitle(bool vertical) {
    changeRange(
        [this, vertical](ViewRange &, const PixelRect &) { state_.verticalAxisTitle = vertical; });
}

void CScopeGraph::presentFrame(const QImage &image) {
    frame_ = image;
    update();
}

void CScopeGraph::rescale() {
    switch (interaction_) {
    case InteractionMode::None:
        resetRange();
        break;
    case InteractionMode::ZoomIn:
        zoomIn();
        break;
    case InteractionMode::ZoomOut:
        zoomOut();
        break;
    default:
        changeRange([](ViewRange &, const PixelRect &) {});
        break;
    }
    emit rescaled();
}

void CScopeGraph::resetRange() {
    changeRange([this](ViewRange &range, const PixelRect &) {
        ViewRange fresh = resetViewRange(rangeContext_);
        fresh.peakMarks = range.peakMarks;
        // A cursor outside the new full range has nothing left to mark.
        if (range.cursorPosition >= fresh.fullXStart && range.cursorPosition <= fresh.fullXEnd()) {
            fresh.cursorPosition = range.cursorPosition;
        }
        fresh.lastMouseX = range.lastMouseX;
        fresh.lastMouseY = range.lastMouseY;
        range = fresh;
    });
}

void CScopeGraph::zoomIn() {
    changeRange(
        [this](ViewRange &range, const PixelRect &) { quillon::zoomIn(range, rangeContext_); });
}

void CScopeGraph::zoomOut() {
    changeRange([](ViewRange &range, const PixelRect &) { quillon::zoomOut(range); });
}

void CScopeGraph::modeChanged(GraphXUnit unit, GraphMode mode) {
    emit textPanelPageChanged(textPanelPage(unit, mode));
    emit textPanelRefreshRequested();
}

void CScopeGraph::enterCalibrationDisplay() {
    rescale();
}

void CScopeGraph::moveReadoutsTo(QPoint position) {
    {
        const std::lock_guard lock(mutex_);
        state_.range.lastMouseX = position.x();
        state_.range.lastMouseY = position.y();
    }
    hover_ = position;
    updateReadouts(position);
}

void CScopeGraph::refreshReadouts() {
    if (pointing_ && hover_) {
        updateReadouts(*hover_);
    } else {
        xReadout_.hide();
        yReadout_.hide();
    }
}

void CScopeGraph::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (frame_.isNull()) {
        painter.fillRect(rect(), Qt::white);
    } else {
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(0, 0, frame_);
    }
    if (drag_ == InteractionMode::RubberBand) {
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.setBrush(QColor(0, 64, 255, 40));
        painter.drawRect(QRect(bandOrigin_, bandEnd_).normalized());
    }
}

void CScopeGraph::resizeEvent(QResizeEvent *event) {
    {
        const std::lock_guard lock(mutex_);
        state_.width = event->size().width();
        state_.height = event->size().height();
        deriveRange(state_.range,
                    computeGraphLayout(state_.width, state_.height, state_.verticalAxisTitle).plot);
    }
    refreshReadouts();
    QWidget::resizeEvent(event);
}

QPoint CScopeGraph::clampToPlot(QPoint point) const {
    const PixelRect plot = layout().plot;
    return {std::clamp(point.x(), plot.left, plot.right),
            std::clamp(point.y(), plot.top, plot.bottom)};
}

bool CScopeGraph::nearCursorLine(int x) const {
    const int cursor = viewState().range.cursorLine;
    return cursor >= 0 && std::abs(x - cursor) <= kCursorGrab;
}

void CScopeGraph::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint position = event->position().toPoint();
    if (!layout().plot.contains(position.x(), position.y())) {
        return;
    }
    lastDrag_ = position;
    switch (interaction_) {
    case InteractionMode::RubberBand:
        drag_ = InteractionMode::RubberBand;
        bandOrigin_ = bandEnd_ = position;
        break;
    case InteractionMode::ZoomIn:
        if (nearCursorLine(position.x())) {
            drag_ = InteractionMode::DragCursor;
        } else {
            zoomIn();
        }
        break;
    case InteractionMode::ZoomOut:
        zoomOut();
        break;
    case InteractionMode::PanX:
    case InteractionMode::PanY:
        drag_ = interaction_;
        break;
    default:
        if (nearCursorLine(position.x())) {
            drag_ = InteractionMode::DragCursor;
        }
        break;
    }
}

void CScopeGraph::mouseMoveEvent(QMouseEvent *event) {
    const QPoint position = event->position().toPoint();
    switch (drag_) {
    case InteractionMode::RubberBand:
        bandEnd_ = clampToPlot(position);
        update();
        return;
    case InteractionMode::DragCursor: {
        const int x = clampToPlot(position).x();
        changeRange([this, x](ViewRange &range, const PixelRect &plot) {
            range.cursorPosition = static_cast<float>(cursorMapping(range, plot).positionAt(x));
        });
        return;
    }
    case InteractionMode::PanX:
    case InteractionMode::PanY:
        if (!pointing_) {
            const QPoint delta = position - lastDrag_;
            lastDrag_ = position;
            const bool alongX = drag_ == InteractionMode::PanX;
            changeRange([alongX, delta](ViewRange &range, const PixelRect &) {
                alongX ? panX(range, static_cast<float>(delta.x()))
                       : panY(range, static_cast<float>(delta.y()));
            });
        }
        return;
    default:
        break;
    }
    if (pointing_) {
        hover_ = position;
        updateReadouts(position);
        updateDataTip(position);
    } else {
        hidePointerWidgets();
    }
}

void CScopeGraph::leaveEvent(QEvent *event) {
    hover_.reset();
    hidePointerWidgets();
    QWidget::leaveEvent(event);
}

void CScopeGraph::mouseReleaseEvent(QMouseEvent *event) {
    const QPoint position = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        handleRightClick(position);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (drag_ == InteractionMode::RubberBand) {
        finishRubberBand(clampToPlot(position));
    }
    drag_ = InteractionMode::None;
    {
        const std::lock_guard lock(mutex_);
        state_.range.lastMouseX = position.x();
        state_.range.lastMouseY = position.y();
    }
    update();
}

void CScopeGraph::finishRubberBand(QPoint end) {
    bool zoomed = false;
    {
        const std::lock_guard lock(mutex_);
        const PixelRect plot = computeGraphLayout(width(), height(), state_.verticalAxisTitle).plot;
        zoomed =
            applyRubberBand(state_.range, plot, bandOrigin_.x(), bandOrigin_.y(), end.x(), end.y());
        deriveRange(state_.range, plot);
    }
    if (zoomed) {
        refreshReadouts();
        emit viewRangeChanged();
    }
}

void CScopeGraph::handleRightClick(QPoint position) {
    const GraphLayout current = layout();
    if (current.mainTitleArea.contains(position.x(), position.y())) {
        openTitleEditor(TitleField::Main, current.mainTitleArea);
        return;
    }
    if (current.secondTitleArea.contains(position.x(), position.y())) {
        openTitleEditor(TitleField::Second, current.secondTitleArea);
        return;
    }
    if (!pointing_ || !current.plot.contains(position.x(), position.y())) {
        return;
    }
    const int x = position.x();
    changeRange([this, x](ViewRange &range, const PixelRect &plot) {
        // A cursor zoomed out of view is not shown: the click places a new one.
        range.cursorPosition = range.cursorLine >= 0
                                   ? std::numeric_limits<float>::quiet_NaN()
                                   : static_cast<float>(cursorMapping(range, plot).positionAt(x));
    });
}

void CScopeGraph::openTitleEditor(TitleField field, const PixelRect &area) {
    editing_ = field;
    const GraphViewState state = viewState();
    titleEditor_.setText(
        QString::fromStdString(field == TitleField::Main ? state.mainTitle : state.secondTitle));
    titleEditor_.setGeometry(area.left, area.top, std::max(area.width(), 80),
                             std::max(area.height(), titleEditor_.sizeHint().height()));
    titleEditor_.selectAll();
    titleEditor_.show();
    titleEditor_.setFocus();
}

void CScopeGraph::commitTitleEdit() {
    if (!titleEditor_.isVisible()) {
        return;
    }
    titleEditor_.hide();
    const QString text = titleEditor_.text();
    {
        const std::lock_guard lock(mutex_);
        (editing_ == TitleField::Main ? state_.mainTitle : state_.secondTitle) = text.toStdString();
    }
    emit titleEdited(editing_, text);
}

// The readouts sit inside the plot against their axes, so that they never
// cover the tick labels outside it: the x readout just above the x axis under
// the pointer, the y readout just right of the y axis beside it and clear of
// the x readout.
void CScopeGraph::updateReadouts(QPoint position) {
    const GraphLayout current = layout();
    const PixelRect &plot = current.plot;
    const bool showX = (displayWord_ & display_word::kXReadout) != 0;
    const bool showY = (displayWord_ & display_word::kYReadout) != 0;
    if (!plot.contains(position.x(), position.y())) {
        xReadout_.hide();
        yReadout_.hide();
        return;
    }
    const PlotMapping mapping(viewState().range, plot, axisContext_.calibratedAxis,
                              axisContext_.xUnit);
    const double xValue = mapping.xReadout(position.x(), axisContext_.wavelengthPolynomial);
    const double yValue = yValueAt(mapping.range(), plot, position.y());
    if (std::isfinite(xValue) && std::isfinite(yValue)) {
        pointerValues_ = QPointF(xValue, yValue);
    }
    xReadout_.setText(readoutText(xValue));
    xReadout_.adjustSize();
    yReadout_.setText(readoutText(yValue));
    yReadout_.adjustSize();
    const int xTop = plot.bottom - kReadoutInset - xReadout_.height();
    xReadout_.move(std::clamp(position.x() - xReadout_.width() / 2, plot.left + kReadoutInset,
                              std::max(plot.left + kReadoutInset,
                                       plot.right - kReadoutInset - xReadout_.width())),
                   xTop);
    const int yLowest =
        (showX ? xTop - kReadoutInset : plot.bottom - kReadoutInset) - yReadout_.height();
    yReadout_.move(plot.left + kReadoutInset,
                   std::clamp(position.y() - yReadout_.height() / 2, plot.top + kReadoutInset,
                              std::max(plot.top + kReadoutInset, yLowest)));
    xReadout_.setVisible(showX);
    yReadout_.setVisible(showY);
}

void CScopeGraph::updateDataTip(QPoint position) {
    const GraphViewState state = viewState();
    const PlotMapping mapping(state.range, layout().plot, axisContext_.calibratedAxis,
                              axisContext_.xUnit);
    int found = -1;
    for (std::size_t i = 0; i < peaks_.size() && state.range.peakMarks; ++i) {
        const double dx = std::abs(std::round(mapping.xOf(peaks_[i].position)) - position.x());
        const double dy = std::abs(mapping.yOf(peaks_[i].intensity) - position.y());
        if (dx <= kTipReachX && dy <= kTipReachY) {
            found = static_cast<int>(i);
            break;
        }
    }
    if (found < 0) {
        tipPeak_ = -1;
        tip_.hide();
        return;
    }
    if (found == tipPeak_) {
        return;
    }
    tipPeak_ = found;
    const DataTipContext context{axisContext_.calibratedAxis, axisContext_.xUnit, axisContext_.mode,
                                 axisContext_.wavelengthTable, axisContext_.wavelengthPolynomial};
    const PeakMark &peak = peaks_[static_cast<std::size_t>(found)];
    tip_.setText(QString::fromStdString(quillon::dataTipText(context, found + 1, peak)));
    tip_.adjustSize();
    tip_.move(std::clamp(position.x() + 12, 0, std::max(0, width() - tip_.width())),
              std::clamp(position.y() + 12, 0, std::max(0, height() - tip_.height())));
    tip_.show();
    tip_.raise();
    const double x = std::isfinite(peak.position)
                         ? std::clamp(static_cast<double>(peak.position), -2.0e9, 2.0e9)
                         : 0.0;
    emit peakTipShown(found + 1, static_cast<int>(x));
}

void CScopeGraph::hidePointerWidgets() {
    xReadout_.hide();
    yReadout_.hide();
    tip_.hide();
    tipPeak_ = -1;
}

} // namespace quillon
