// The main frame: owns the measurement object, runs the channel start-up,
// carries the menus, the status bar and the tab framework with the scope
// view, and routes commands and status-pane clicks.
#ifndef QUILLON_APP_SHELL_MAIN_FRAME_H
#define QUILLON_APP_SHELL_MAIN_FRAME_H

#include "colour_view/colour_view.h"
#include "datacontrol/data_control.h"
#include "dialogs/calibration_dialog.h"
#include "shell/irradiance_dialog.h"
#include "shell/quillon_view.h"
#include "shell/simulator_panel.h"
#include "shell/status_panes.h"

#include <QAction>
#include <QMainWindow>
#include <QTabWidget>
#include <QTimer>

#include <map>
#include <memory>

namespace quillon {

class QtPrompter;

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kScopeTabId = 2;
    static constexpr int kColorTabId = 4;

    // Runs the start-up of all channels (again while it asks to) and the
    // second start-up step; null when the program is to end quietly.
    // `closingPrompter`, when given, is told when the frame starts closing.
    static std::unique_ptr<CMainFrame> create(Prompter &prompter,
                                              QtPrompter *closingPrompter = nullptr);
    ~CMainFrame() override;

    DataControl &dataControl() { return *control_; }
    CQuillonView &scopeView() { return *view_; }
    CColorGraph &colourView() { return *colour_; }
    CStatusPanes &statusPanes() { return *panes_; }
    QTabWidget &tabs() { return *tabs_; }
    QAction *action(int command) const;
    SimulatorPanel *simulatorPanel() { return simulator_; }
    // The modeless irradiance calibration, null while it is closed.
    CIrradianceDialog *irradianceDialog() { return irradianceDialog_.get(); }
    // The modeless wavelength calibration (command 32774), null while closed.
    DlgCalibration *calibrationDialog() { return calibrationDialog_.get(); }
    void openWavelengthCalibration();
    bool wavelengthCalibrationAllowed() const;
    // Command 32775; its enable rule.
    void openIrradianceCalibration();
    // The "Customize..." sheet; `factoryForm` (Ctrl held) adds the unit page.
    void openCustomize(bool factoryForm);
    bool irradianceCalibrationAllowed() const;
    // Closed with its settings written back.
    bool closedDown() const { return closedDown_; }

    // Message 2001: refresh a group of status panes.
    void refreshStatus(int group, bool on);
    void paneClicked(int index, Qt::MouseButton button);
    // Message 1235.
    void checkColourTab();
    // "&Print" of the colour view: the colour data sheet of what it shows.
    void printColourSheet();
    // "Print..." and "Print Preview...": the sheet of the tab in front.
    void printOrPreview(bool preview);
    // Enable and check states of the menu commands.
    void updateCommandStates();
    // Stops acquisition and writes the settings back; idempotent.
    void shutDown();

signals:
    // Message 2121: the graph shows the data tip of peak `number` (from 1) at
    // x position `x`; the wavelength calibration dialog listens.
    void peakMessage(int number, int x);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    CMainFrame(std::unique_ptr<DataControl> control, QtPrompter *closingPrompter);
    void createMenus();
    QAction *addCommand(class QMenu *menu, int command, const QString &text, bool ready = true);
    void createStatusBar();
    void createTabs();
    void refreshPane(int index);
    void stepValuePane(int index, bool leftClick);
    void showAbout();
    void showColourSheet(bool preview);

    std::unique_ptr<DataControl> control_;
    QtPrompter *closingPrompter_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    CQuillonView *view_ = nullptr;
    CColorGraph *colour_ = nullptr;
    CStatusPanes *panes_ = nullptr;
    SimulatorPanel *simulator_ = nullptr;
    std::unique_ptr<CIrradianceDialog> irradianceDialog_;
    std::unique_ptr<DlgCalibration> calibrationDialog_;
    static constexpr int kUnitWatchMs = 250;
    std::map<int, QAction *> actions_;
    QTimer unitWatch_;
    bool firstShow_ = true;
    bool closedDown_ = false;
};

} // namespace quillon

#endif
