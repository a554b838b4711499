// The read-only readout panel of the scope view: grey text in Verdana at a
// quarter of the panel's height (smaller when a line would not fit the
// width), one page per x unit and display mode.
#ifndef QUILLON_APP_SHELL_TEXT_PANEL_H
#define QUILLON_APP_SHELL_TEXT_PANEL_H

#include "shell/scope_worker.h"

#include <QPlainTextEdit>
#include <QPointF>

#include <optional>

namespace quillon {

// Settings shown beside the live readouts.
struct TextPanelSettings {
    QString integration; // as pane 7 shows it
    bool hundredths = false;
    int timeAverage = 1;
    int binning = 0;
    int smoothing = 0;
    QString modeName;
    QString xUnitName;
    // The readout line: formats by x unit and display mode, the pointer's
    // values over the graph, the selected memory item in memory mode.
    GraphXUnit xUnit = GraphXUnit::Pixel;
    GraphMode mode = GraphMode::Scope;
    std::optional<QPointF> pointer;
    bool memoryMode = false;
    int memoryCurrent = 0;
    int memoryCount = 0;
    // A time-line record: frames written and ticks missed.
    bool recording = false;
    std::int64_t recordFrames = 0;
    std::uint64_t recordMissed = 0;
};

// "XY: x/y", "  Bar: x/y" with a cursor line, in absolute irradiance the
// colour temperature and the two totals of the chosen unit, "  Memory:
// n/count" in memory mode, "  Record: n" while a record runs (with the
// missed ticks, if any).
QString readoutLine(const LiveReadouts &readouts, const TextPanelSettings &settings);

class CTextPanel : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int kControlId = 3005;

    explicit CTextPanel(QWidget *parent = nullptr);

    int page() const { return page_; }
    void setPage(int page);
    void showReadouts(const LiveReadouts &readouts, const TextPanelSettings &settings);
    static QString pageText(int page, const LiveReadouts &readouts,
                            const TextPanelSettings &settings);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    static constexpr int kSmallestFontPixels = 8;
    void fitFont();

    int page_ = 1;
};

} // namespace quillon

#endif
