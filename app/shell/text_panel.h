// The read-only readout panel of the scope view: grey text in Verdana at a
// quarter of the panel's height (smaller when a line would not fit the
// width), one page per x unit and display mode.
#ifndef QUILLON_APP_SHELL_TEXT_PANEL_H
#define QUILLON_APP_SHELL_TEXT_PANEL_H

#include "shell/scope_worker.h"

#include <QPlainTextEdit>

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
};

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
