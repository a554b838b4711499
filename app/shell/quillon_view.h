// The scope view: button bar, text panel, side dialog and spectrum graph,
// and the acquisition worker that feeds the graph. It runs the commands of
// the button bar; the frame routes menu commands and status clicks here.
#ifndef QUILLON_APP_SHELL_QUILLON_VIEW_H
#define QUILLON_APP_SHELL_QUILLON_VIEW_H

#include "datacontrol/data_control.h"
#include "dialogs/popup_panel.h"
#include "shell/data_sheet_page.h"
#include "shell/file_panels.h"
#include "shell/peak_dialogs.h"
#include "shell/playback_panel.h"
#include "shell/record_dialog.h"
#include "shell/scope_graph.h"
#include "shell/scope_worker.h"
#include "shell/side_dialog.h"
#include "shell/text_panel.h"
#include "widgets/split_button.h"

#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QWidget>

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

namespace quillon {

// The mode button's caption for a display mode.
QString modeCaption(DisplayMode mode, IrradianceUnit unit);

class CQuillonView : public QWidget, public WorkerSink, public RecordListener {
    Q_OBJECT

public:
    static constexpr int kButtonCount = 11;
    static constexpr int kBandHeight = SplitButton::kHeight + 3;
    static constexpr int kPanelHeight = 76;
    static constexpr int kSideWidth = 320;
    // Pause before acquisition starts after the first update, and after a
    // re-activation.
    static constexpr int kStartDelayMs = 300;
    static constexpr int kRestartDelayMs = 10;

    explicit CQuillonView(DataControl &control, QWidget *parent = nullptr);
    ~CQuillonView() override;

    SplitButton *button(int command) const;
    CScopeGraph &graph() { return *graph_; }
    CTextPanel &textPanel() { return *text_; }
    CSideDialog &sideDialog() { return *side_; }
    CPlaybackPanel &playbackPanel() { return *playback_; }
    DataControl &dataControl() { return control_; }
    ScopeWorker &worker() { return *worker_; }
    std::uint64_t framesPresented() const { return framesPresented_; }

    // The first update: enable rules of the buttons, then acquisition after
    // a short pause.
    void initialUpdate();
    void startAcquisition();
    // Stops the worker; within about one frame time.
    void stopAcquisition();
    // Tab framework messages.
    void activate();
    void deactivate();

    // Button main parts and menu commands.
    void runQxSetup();
    bool runDarkScan();
    bool runReferenceScan();
    void runModeCycle();
    void chooseDisplayMode(DisplayMode target);
    void toggleDarkLine();
    void toggleReferenceLine();
    void toggleSubtractDark();
    void openHomePage();
    // After a dark or reference operation: captions and enable rules.
    void afterDarkOrReference();
    // Graph contexts from the data-control state, and a rescale.
    void updateGraph(bool resetRange);
    void refreshTextPanel();
    void changeChannel(int channel);
    // The channel's configuration or calibration changed in the core: the
    // buttons, the graph, the side panel and the title follow.
    void unitSettingsChanged();
    void changeXUnit(int unit);
    // A settings change under the hold protocol.
    bool changeUnderHold(const std::function<void(DataControl &)> &change);

    // The save and load panels: at most one of them, below its button;
    // opening the one that is open closes it.
    void openSavePanel();
    void openLoadPanel();
    void closeFilePanels();
    CSavePanel *savePanel() const { return savePanel_; }
    CLoadPanel *loadPanel() const { return loadPanel_; }
    // Where typed file names lie: the folder last chosen with Browse, else
    // the data folder of the settings.
    std::filesystem::path dataFolder() const;
    void setDataFolder(const std::filesystem::path &folder);
    // The graph's x view for the exports, and a fresh picture of the graph
    // at its window's size (null when acquisition does not pause).
    ExportView graphExportView() const;
    QImage graphPicture();

    // The time-line button: main part by its caption ("&TimeLine" opens the
    // set-up dialog, "Record" starts, "Stop" stops, "Play" resumes), arrow
    // part the dialog, or while a record runs Pause / Play.
    void runTimeLine();
    void runTimeLineArrow();
    void openRecordDialog();
    bool startRecord();
    void stopRecord();
    void togglePause();
    QString timeLineCaption() const;
    CRecordDialog *recordDialog() const { return recordDialog_; }

    // A playback panel command; the keyboard goes back to the graph.
    void runPlayback(int id);
    // Back from memory mode to the unit; false when there is nothing to leave.
    bool leaveMemoryMode();
    // The window title outside memory mode.
    QString liveTitle() const;

    bool modeButtonEnabled() const;

    // The configuration panels of the button bar and the Setup menu, each
    // opened by its own file: at most one is open, modal, below its button;
    // asking for the open one again brings it to the front.
    void openSetupPanel();
    void openDarkPanel();
    void openReferencePanel();
    void openModePanel();
    void openTecPanel();
    PopupPanel *configPanel() const { return configPanel_; }
    // Whether the Customize sheet was last opened in its factory form (the
    // printed sheet then shows the unit information).
    void setFactoryForm(bool on) { factoryForm_ = on; }
    bool factoryForm() const { return factoryForm_; }

    // "&Print": the data sheet of the view as it is now, through the print
    // dialog; acquisition holds from the sheet's gathering to the last page.
    void printSheet();
    // The same page in the print preview.
    void previewSheet();
    // The page of the data sheet from the present state (the caller holds
    // acquisition), and the page printed: false, with the operator told,
    // when it could not be printed.
    DataSheetPage composeSheet();
    bool printPage(QPrinter &printer, const DataSheetPage &page) {
        return printOrTell(printer, page, control_.Prompt());
    }

    // "&Find Peak": hold, find, mark (and with the marks shown, the list);
    // clearing the peaks releases the hold.
    void runFindPeak();
    // The peak finder on the present data, the marks shown; false when the
    // peaks cannot be found now.
    bool refindPeaks();
    void clearPeaks();
    void openPeakOptions();
    void openPeakData();
    CPeakDataDialog *peakDataDialog() const { return peakData_; }
    bool peakButtonEnabled() const;
    bool peaksShown() const;
    // The axis title the graph draws for the current mode and x unit.
    QString axisTitleText() const;

    // WorkerSink (worker thread).
    void lampsChanged() override;
    void frameDrawn(const QImage &image) override;
    void textPanelDue() override;
    // RecordListener (timer thread).
    void scanStarting() override {}
    void frameWritten(std::int64_t frames) override;
    void recordEnded() override;

signals:
    void statusRefresh(int group, bool on); // message 2001
    void colourTabCheck();                  // message 1235
    void lampsUpdated();
    void framePresented();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void createButtons();
    void layoutChildren();
    TextPanelSettings textPanelSettings() const;
    bool runOneShot(DisplayMode mode);
    void waitForOneShot(DisplayMode mode);
    void toggleLine(std::uint16_t readyBit, std::uint16_t shownBit, int pane);
    void placeBelowButton(QWidget &panel, int command);
    // Shows a new configuration panel below the button of `command` and
    // lets it go when it closes; false (and the panel dropped) when another
    // one is open.
    bool showConfigPanel(std::unique_ptr<PopupPanel> panel, int command);
    bool raiseOpenConfigPanel();
    void memoryLoaded(const QString &name);
    void setWindowTitleText(const QString &title);
    void dropPeakMarks();
    void showFoundPeaks();
    PeakTableContext peakTableContext() const;
    // Acquisition held while the sheet is gathered and `show` runs.
    void withSheet(const std::function<void(const DataSheetPage &, QPrinter &)> &show);

    DataControl &control_;
    QWidget *band_ = nullptr;
    std::array<SplitButton *, kButtonCount> buttons_{};
    CScopeGraph *graph_ = nullptr;
    CTextPanel *text_ = nullptr;
    CSideDialog *side_ = nullptr;
    CPlaybackPanel *playback_ = nullptr;
    QPointer<CSavePanel> savePanel_;
    QPointer<CLoadPanel> loadPanel_;
    QPointer<CPeakDataDialog> peakData_;
    QPointer<CRecordDialog> recordDialog_;
    QPointer<PopupPanel> configPanel_;
    bool factoryForm_ = false;
    std::optional<std::filesystem::path> chosenFolder_;
    std::unique_ptr<ScopeWorker> worker_;
    QTimer startTimer_;
    QTimer textTimer_;
    std::atomic<bool> framePending_{false};
    std::atomic<bool> lampsPending_{false};
    std::atomic<bool> textPending_{false};
    std::uint64_t framesPresented_ = 0;
    bool active_ = true;
};

} // namespace quillon

#endif
