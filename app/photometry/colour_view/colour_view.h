// The colour view of the "Color" tab: its own acquisition worker scans on
// the colour grid (400 nm on at 10 nm) with colour scaling, the engine
// computes each scan, and the view shows the chromaticity, L*a*b* and
// reflectance charts, the colour tile and, on "&Stop", the colour list. The
// dark and reference scans and the print command are the frame's: the view
// asks for them by its signals.
#ifndef QUILLON_APP_PHOTOMETRY_COLOUR_VIEW_COLOUR_VIEW_H
#define QUILLON_APP_PHOTOMETRY_COLOUR_VIEW_COLOUR_VIEW_H

#include "datacontrol/acquisition_worker.h"
#include "datacontrol/colour_view_rules.h"
#include "datacontrol/data_control.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>

class QLabel;
class QListWidget;

namespace quillon {

class PopupPanel;
class SplitButton;

namespace colour_command {
inline constexpr int kSetup = 165;
inline constexpr int kStopStart = 160;
inline constexpr int kDarkScan = 151;
inline constexpr int kRefScan = 152;
inline constexpr int kExport = 156;
inline constexpr int kColor = 158;
inline constexpr int kPrint = 159;
} // namespace colour_command

class CColorGraph : public QWidget, private PassListener {
    Q_OBJECT

public:
    explicit CColorGraph(DataControl &control, QWidget *parent = nullptr);
    ~CColorGraph() override;

    // The tab is shown: the colour grid, the table, the worker. A grid that
    // cannot be set up is reported and the view stays without values.
    void activate();
    // The tab is left: the worker stops.
    void deactivate();
    bool running() const { return worker_.running(); }
    // Empty when the set-up worked, else why the view shows no values.
    const QString &setUpProblem() const { return problem_; }

    // "&Print" works once the frame has connected printRequested().
    void setPrintAvailable(bool available);

    SplitButton *button(int command) const;
    QListWidget &colourList() { return *list_; }
    PopupPanel *openPanel() const { return panel_; }
    // The last computation shown, and how many have been shown.
    colour_view::ColourSnapshot shownSnapshot() const;
    std::uint64_t framesShown() const { return framesShown_; }
    // The charts of the last computation, as the window draws them.
    colour_view::ColourChartData chartData() const;
    bool onHold() const { return held_; }

    // The button commands.
    void openSetupPanel();
    void toggleHold();
    void openExportPanel();
    void openReferencePanel();

signals:
    void statusRefresh(int group, bool on); // message 2001
    void darkScanRequested();
    void referenceScanRequested();
    void printRequested();
    // A panel has applied its values or written its file.
    void colourExported(const QString &path);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The passes, on the worker thread.
    void passHeld(bool) override {}
    void scanStarting(const PassReport &report) override;
    void scanFinished(const PassReport &report) override;
    void workerStopping() override {}

    void createButtons();
    void layoutChildren();
    bool setUpGrid();
    void present();
    void fillList();
    void showPanel(PopupPanel *panel, int command);

    DataControl &control_;
    std::map<int, SplitButton *> buttons_;
    QWidget *charts_ = nullptr;
    QWidget *tile_ = nullptr;
    QListWidget *list_ = nullptr;
    QLabel *message_ = nullptr;
    QPointer<PopupPanel> panel_;
    QString problem_;
    bool held_ = false;
    std::uint64_t framesShown_ = 0;

    // Written by the worker, read by the interface.
    mutable std::mutex snapshotMutex_;
    colour_view::ColourSnapshot latest_;
    std::uint64_t latestNumber_ = 0;    // counts the computations
    colour_view::ColourSnapshot shown_; // interface thread only
    std::uint64_t shownNumber_ = 0;
    std::atomic<bool> presentQueued_{false};

    // Last: its thread calls the listener above and is joined first.
    AcquisitionWorker worker_;
};

} // namespace quillon

#endif
