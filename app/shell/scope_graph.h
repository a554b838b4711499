// The spectrum graph window: shows the picture the acquisition worker drew
// last, and turns mouse work (rubber band, zoom, pan, cursor line, title
// editing, position readouts, peak tips) into view range changes that the
// worker picks up on its next pass.
#ifndef QUILLON_APP_SHELL_SCOPE_GRAPH_H
#define QUILLON_APP_SHELL_SCOPE_GRAPH_H

#include "shell/graph_layout.h"
#include "shell/graph_texts.h"
#include "shell/plot_mapping.h"
#include "shell/view_range.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// What the worker copies from the graph each pass.
struct GraphViewState {
    ViewRange range;
    int width = 0;
    int height = 0;
    bool verticalAxisTitle = false;
    std::string mainTitle = "Project Name";
    std::string secondTitle = "Sample Name";
};

// The data behind the axis, for readouts and peak tips.
struct GraphAxisContext {
    bool calibratedAxis = false;
    GraphXUnit xUnit = GraphXUnit::Pixel;
    GraphMode mode = GraphMode::Scope;
    std::vector<float> wavelengthTable;
    std::vector<double> wavelengthPolynomial;
};

enum class TitleField { Main = 0, Second = 1 };

class CScopeGraph : public QWidget {
    Q_OBJECT

public:
    static constexpr int kControlId = 3001;
    static constexpr int kTitleEditId = 2054;

    explicit CScopeGraph(QWidget *parent = nullptr);

    // Safe from any thread: the worker reads this once per pass.
    GraphViewState viewState() const;

    void setRangeContext(const RangeContext &context);
    void setAxisContext(GraphAxisContext context);
    void setInteractionMode(InteractionMode mode);
    InteractionMode interactionMode() const { return interaction_; }
    void setPointerState(bool pointing);
    void setDisplayWord(std::uint32_t word);
    void setPeaks(std::vector<PeakMark> peaks);
    void setPeakMarks(bool shown);
    void setTitles(const QString &main, const QString &second);
    void setVerticalAxisTitle(bool vertical);

    const QImage &frame() const { return frame_; }
    GraphLayout layout() const;
    QString dataTipText() const { return tipPeak_ >= 0 ? tip_.text() : QString(); }
    // x (in the x unit) and y under the pointer when it was last over the
    // plot; nothing before that.
    std::optional<QPointF> pointerValues() const { return pointerValues_; }

public slots:
    // Takes the worker's latest picture; never waits on the worker.
    void presentFrame(const QImage &image);
    // Recomputes the range by the interaction mode: none resets it, zoom in
    // and zoom out take one step, the others only refresh the scales.
    void rescale();
    void resetRange();
    void zoomIn();
    void zoomOut();
    void modeChanged(quillon::GraphXUnit unit, quillon::GraphMode mode);
    void enterCalibrationDisplay();
    void moveReadoutsTo(QPoint position);

signals:
    void peakTipShown(int number, int x);
    void textPanelPageChanged(int page);
    void textPanelRefreshRequested();
    void rescaled();
    void viewRangeChanged();
    void titleEdited(quillon::TitleField field, const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    template <typename Change>
    void changeRange(Change change);
    // Scales and the cursor column for a plot; the caller holds mutex_.
    void deriveRange(ViewRange &range, const PixelRect &plot) const;
    PlotMapping cursorMapping(const ViewRange &range, const PixelRect &plot) const;
    // The readouts show the value under the pointer for the current range
    // and axis, or nothing when the pointer is not over the plot.
    void refreshReadouts();
    QPoint clampToPlot(QPoint point) const;
    bool nearCursorLine(int x) const;
    void finishRubberBand(QPoint end);
    void handleRightClick(QPoint position);
    void openTitleEditor(TitleField field, const PixelRect &area);
    void commitTitleEdit();
    void updateReadouts(QPoint position);
    void updateDataTip(QPoint position);
    void hidePointerWidgets();

    mutable std::mutex mutex_; // guards state_ against the worker's reads
    GraphViewState state_;

    RangeContext rangeContext_;
    GraphAxisContext axisContext_;
    InteractionMode interaction_ = InteractionMode::None;
    InteractionMode drag_ = InteractionMode::None;
    bool pointing_ = false;
    std::uint32_t displayWord_ = 3;
    std::vector<PeakMark> peaks_;
    QImage frame_;
    QPoint bandOrigin_;
    QPoint bandEnd_;
    QPoint lastDrag_;
    std::optional<QPoint> hover_; // where the pointer is, while it is over the graph
    std::optional<QPointF> pointerValues_;
    int tipPeak_ = -1;
    TitleField editing_ = TitleField::Main;
    QLineEdit titleEditor_;
    QLabel xReadout_;
    QLabel yReadout_;
    QLabel tip_;
};

} // namespace quillon

#endif
