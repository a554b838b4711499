#include "shell/main_frame.h"

#include "datacontrol/simulated_units.h"
#include "shell/about_box.h"
#include "shell/commands.h"
#include "shell/data_sheet_page.h"
#include "shell/deployment.h"
#include "shell/graph_feed.h"
#include "shell/qt_prompter.h"
#include "shell/status_rules.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>

namespace quillon {

namespace {

QString modePaneText(DisplayMode mode) {
    switch (mode) {
    case DisplayMode::TransRefl:
        return "TRANSMITTANCE";
    case DisplayMode::Absorbance:
        return "ABSORBANCE";
    case DisplayMode::Irradiance:
        return "IRRADIANCE";
    default:
        return "SCOPE";
    }
}

} // namespace

std::unique_ptr<CMainFrame> CMainFrame::create(Prompter &prompter, QtPrompter *closingPrompter) {
    auto control = std::make_unique<DataControl>(prompter);
    if (control->StartChannels(0).result != OpResult::Done) {
        return nullptr;
    }
    return std::unique_ptr<CMainFrame>(new CMainFrame(std::move(control), closingPrompter));
}

CMainFrame::CMainFrame(std::unique_ptr<DataControl> control, QtPrompter *closingPrompter)
    : control_(std::move(control)), closingPrompter_(closingPrompter) {
    setObjectName("CMainFrame");
    setWindowTitle(QString("%1 - %2").arg(
        deployment::kProgramName, QString::fromStdString(control_->State().settings.modelName)));
    setMinimumSize(960, 600);
    createStatusBar();
    createTabs();
    createMenus();
    if (simulatorPresent()) {
        simulator_ = new SimulatorPanel(this);
        addDockWidget(Qt::RightDockWidgetArea, simulator_);
    }
    refreshStatus(0, true);
    // The worker stands still while the box about a lost unit is open: the
    // pane behind the box shows the lost unit all the same.
    unitWatch_.setInterval(kUnitWatchMs);
    connect(&unitWatch_, &QTimer::timeout, this, [this] { refreshPane(pane::kSource); });
    unitWatch_.start();
}

CMainFrame::~CMainFrame() {
    shutDown();
    // The views go before the measurement object they use.
    const std::unique_ptr<QWidget> views(takeCentralWidget());
}

QAction *CMainFrame::action(int command) const {
    const auto found = actions_.find(command);
    return found == actions_.end() ? nullptr : found->second;
}

QAction *CMainFrame::addCommand(QMenu *menu, int command, const QString &text, bool ready) {
    QAction *a = menu->addAction(text);
    a->setObjectName(QString("command%1").arg(command));
    a->setData(command);
    if (!ready) {
        a->setEnabled(false);
        a->setToolTip(command::kLaterVersion);
        a->setStatusTip(command::kLaterVersion);
    }
    actions_[command] = a;
    return a;
}

void CMainFrame::createMenus() {
    using namespace command;
    QMenu *file = menuBar()->addMenu("&File");
    connect(addCommand(file, kLoad, "&Load..."), &QAction::triggered, this,
            [this] { view_->openLoadPanel(); });
    connect(addCommand(file, kSave, "Sa&ve..."), &QAction::triggered, this,
            [this] { view_->openSavePanel(); });
    connect(addCommand(file, kPrint, "Print..."), &QAction::triggered, this,
            [this] { printOrPreview(false); });
    connect(addCommand(file, kPrintPreview, "Print Pre&view..."), &QAction::triggered, this,
            [this] { printOrPreview(true); });
    file->addSeparator();
    connect(addCommand(file, kExit, "E&xit"), &QAction::triggered, this, &QWidget::close);

    QMenu *viewMenu = menuBar()->addMenu("&View");
    QMenu *modes = viewMenu->addMenu("Display Mode ");
    const std::array<std::pair<int, DisplayMode>, 4> modeCommands{{
        {kScopeMode, DisplayMode::Scope},
        {kTransReflMode, DisplayMode::TransRefl},
        {kAbsorbanceMode, DisplayMode::Absorbance},
        {kIrradianceMode, DisplayMode::Irradiance},
    }};
    const std::array<const char *, 4> modeTexts{"Scope mode", "T/R mode", "Absorbance mode",
                                                "Irradiance mode"};
    for (std::size_t i = 0; i < modeCommands.size(); ++i) {
        const DisplayMode target = modeCommands[i].second;
        connect(addCommand(modes, modeCommands[i].first, modeTexts[i]), &QAction::triggered, this,
                [this, target] { view_->chooseDisplayMode(target); });
    }
    QAction *darkLine = addCommand(viewMenu, kShowDarkLine, "Disp. Dark line");
    QAction *refLine = addCommand(viewMenu, kShowReferenceLine, "Disp. Ref. line");
    QAction *subtract = addCommand(viewMenu, kSubtractDark, "Subtract Dark line");
    for (QAction *a : {darkLine, refLine, subtract}) {
        a->setCheckable(true);
    }
    connect(darkLine, &QAction::triggered, this, [this] { view_->toggleDarkLine(); });
    connect(refLine, &QAction::triggered, this, [this] { view_->toggleReferenceLine(); });
    connect(subtract, &QAction::triggered, this, [this] { view_->toggleSubtractDark(); });
    viewMenu->addSeparator();
    // The dock stays reachable after it has been closed.
    if (simulatorPresent()) {
        QAction *simulator = viewMenu->addAction("Si&mulator");
        connect(simulator, &QAction::triggered, this, [this] {
            if (simulator_ != nullptr) {
                simulator_->reload();
                simulator_->show();
            }
        });
    }

    QMenu *operation = menuBar()->addMenu("&Operation");
    // The arrow state does not matter to these: they run the main parts.
    connect(addCommand(operation, kDarkScan, "&Dark Scan"), &QAction::triggered, this,
            [this] { view_->runDarkScan(); });
    connect(addCommand(operation, kRefScan, "&Ref. Scan"), &QAction::triggered, this,
            [this] { view_->runReferenceScan(); });
    connect(addCommand(operation, kPeakFind, "P&eak Find"), &QAction::triggered, this,
            [this] { view_->runFindPeak(); });
    QAction *record = addCommand(operation, kRecord, "Re&cord...");
    record->setEnabled(false);

    QMenu *setup = menuBar()->addMenu("&Setup");
    connect(addCommand(setup, kQxSetup, "Q&X Setup..."), &QAction::triggered, this,
            [this] { view_->openSetupPanel(); });
    connect(addCommand(setup, kModePanel, "Chan&ge Mode Conf..."), &QAction::triggered, this,
            [this] {
                if (view_->modeButtonEnabled()) {
                    view_->openModePanel();
                }
            });
    connect(addCommand(setup, kDarkScanPanel, "&Dark Scan Conf..."), &QAction::triggered, this,
            [this] { view_->openDarkPanel(); });
    connect(addCommand(setup, kRefScanPanel, "&Ref. Scan Conf..."), &QAction::triggered, this,
            [this] { view_->openReferencePanel(); });
    connect(addCommand(setup, kPeakFindConf, "P&eak Find Conf..."), &QAction::triggered, this,
            [this] { view_->openPeakOptions(); });
    setup->addSeparator();
    connect(addCommand(setup, kCustomize, "&Customize..."), &QAction::triggered, this, [this] {
        openCustomize(QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier));
    });

    QMenu *calibration = menuBar()->addMenu("&Calibration");
    connect(addCommand(calibration, kWavelengthCalibration, "&Wavelength..."), &QAction::triggered,
            this, &CMainFrame::openWavelengthCalibration);
    connect(addCommand(calibration, kIrradianceCalibration, "&Irradiance..."), &QAction::triggered,
            this, &CMainFrame::openIrradianceCalibration);

    QMenu *help = menuBar()->addMenu("&Help");
    connect(addCommand(help, kHomePage, "OV &homepage"), &QAction::triggered, this,
            [this] { view_->openHomePage(); });
    connect(addCommand(help, kAbout, "&About Quillon..."), &QAction::triggered, this,
            &CMainFrame::showAbout);

    for (QMenu *menu : {file, viewMenu, modes, operation, setup, calibration, help}) {
        menu->setToolTipsVisible(true);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    }
    updateCommandStates();
}

void CMainFrame::updateCommandStates() {
    using namespace command;
    const FlagWord &status = control_->State().flags.status;
    const FlagWord &option = control_->State().flags.option;
    const bool dark = status.test(status_bits::kDarkReady);
    const bool reference = status.test(status_bits::kReferenceReady);
    const bool modeEnabled = view_->modeButtonEnabled();
    for (int id : {kScopeMode, kTransReflMode, kAbsorbanceMode, kIrradianceMode}) {
        action(id)->setEnabled(modeEnabled);
    }
    action(kShowDarkLine)->setEnabled(dark);
    action(kShowDarkLine)->setChecked(option.test(option_bits::kShowDarkLine));
    action(kShowReferenceLine)->setEnabled(reference);
    action(kShowReferenceLine)->setChecked(option.test(option_bits::kShowReferenceLine));
    action(kSubtractDark)->setEnabled(dark);
    action(kSubtractDark)->setChecked(option.test(option_bits::kSubtractDarkInScope));
    action(kModePanel)->setEnabled(modeEnabled);
    action(kPeakFind)->setEnabled(view_->peakButtonEnabled());
    action(kPeakFindConf)->setEnabled(view_->peakButtonEnabled());
    action(kIrradianceCalibration)->setEnabled(irradianceCalibrationAllowed());
    action(kWavelengthCalibration)->setEnabled(wavelengthCalibrationAllowed());
}

// A dark to subtract from the lamp, the counts on the screen, and a unit
// whose settings give it the irradiance pane.
bool CMainFrame::irradianceCalibrationAllowed() const {
    const ChannelState &s = control_->State();
    const DisplayMode mode = s.flags.displayMode();
    return s.flags.status.test(status_bits::kDarkReady) &&
           (mode == DisplayMode::Scope || mode == DisplayMode::DarkScan ||
            mode == DisplayMode::ReferenceScan) &&
           (s.settings.unitPanes & 8u) != 0 && !s.flags.option.test(option_bits::kMemoryMode);
}

void CMainFrame::openIrradianceCalibration() {
    if (irradianceDialog_) {
        irradianceDialog_->raise();
        irradianceDialog_->activateWindow();
        return;
    }
    if (!irradianceCalibrationAllowed()) {
        return;
    }
    // The calibration is of the absolute form.
    control_->SetOption(option_bits::kRelativeIrradiance, false);
    irradianceDialog_ = std::make_unique<CIrradianceDialog>(*control_, this);
    // Message 1400: the frame lets the closed dialog go once its signal
    // has returned.
    connect(irradianceDialog_.get(), &CIrradianceDialog::dialogClosed, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (irradianceDialog_ && !irradianceDialog_->isVisible()) {
                irradianceDialog_.reset();
                updateCommandStates();
            }
        });
    });
    irradianceDialog_->show();
    updateCommandStates();
}

void CMainFrame::createStatusBar() {
    panes_ = new CStatusPanes;
    panes_->setObjectName("StatusPanes");
    statusBar()->addWidget(panes_, 1);
    statusBar()->setSizeGripEnabled(false);
    panes_->setMessage("ORVANTIS");
    connect(panes_, &CStatusPanes::paneClicked, this, &CMainFrame::paneClicked);
}

void CMainFrame::createTabs() {
    tabs_ = new QTabWidget;
    tabs_->setObjectName("TabFramework");
    tabs_->setDocumentMode(true);
    view_ = new CQuillonView(*control_);
    tabs_->addTab(view_, "Scope Mode");
    colour_ = new CColorGraph(*control_);
    const int colourIndex = tabs_->addTab(colour_, "Color");
    tabs_->setTabEnabled(colourIndex, false);
    setCentralWidget(tabs_);
    // One worker at a time: the view that is left stops its own first.
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 0) {
            colour_->deactivate();
            view_->activate();
        } else {
            view_->deactivate();
            colour_->activate();
        }
        refreshStatus(0, true);
    });
    connect(colour_, &CColorGraph::statusRefresh, this, &CMainFrame::refreshStatus);
    connect(colour_, &CColorGraph::printRequested, this, &CMainFrame::printColourSheet);
    colour_->setPrintAvailable(true);
    connect(colour_, &CColorGraph::darkScanRequested, this, [this] { view_->runDarkScan(); });
    connect(colour_, &CColorGraph::referenceScanRequested, this,
            [this] { view_->runReferenceScan(); });
    connect(view_, &CQuillonView::statusRefresh, this, &CMainFrame::refreshStatus);
    connect(view_, &CQuillonView::colourTabCheck, this, &CMainFrame::checkColourTab);
    connect(&view_->graph(), &CScopeGraph::peakTipShown, this, &CMainFrame::peakMessage);
    connect(view_, &CQuillonView::lampsUpdated, this, [this] {
        refreshStatus(1, view_->worker().internalLamp());
        refreshStatus(2, view_->worker().externalLamp());
    });
}

void CMainFrame::printOrPreview(bool preview) {
    if (tabs_->currentWidget() != colour_) {
        preview ? view_->previewSheet() : view_->printSheet();
        return;
    }
    showColourSheet(preview);
}

void CMainFrame::printColourSheet() {
    showColourSheet(false);
}

void CMainFrame::showColourSheet(bool preview) {
    const SuspendedAcquisition lock(control_->Hold(), HoldBy::Dialog);
    if (!lock.paused()) {
        return;
    }
    const ColourSheetPage page =
        ColourSheetPage::compose(*control_, colour_->shownSnapshot(), colour_->chartData());
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kSheetDocumentName);
    if (preview) {
        previewPage(this, printer, page, control_->Prompt());
    } else {
        printWithDialog(this, printer, page, control_->Prompt());
    }
}

void CMainFrame::checkColourTab() {
    // Dark and reference taken, and the unit set up for colour (InitPane bit 2).
    const FlagWord &status = control_->State().flags.status;
    const bool ready = status.test(status_bits::kDarkReady) &&
                       status.test(status_bits::kReferenceReady) &&
                       (control_->State().settings.initPane & 4u) != 0;
    const int colourIndex = tabs_->indexOf(colour_);
    tabs_->setTabEnabled(colourIndex, ready);
    // A colour view without its dark or reference has nothing to measure.
    if (!ready && tabs_->currentIndex() == colourIndex) {
        tabs_->setCurrentIndex(0);
    }
    updateCommandStates();
}

void CMainFrame::refreshPane(int index) {
    const DataControl &dc = *control_;
    const FlagWord &status = dc.State().flags.status;
    const FlagWord &option = dc.State().flags.option;
    const bool hundredths = dc.State().geometry.boardType == kBoardTcd1304;
    switch (index) {
    case pane::kSource:
        if (option.test(option_bits::kMemoryMode)) {
            panes_->setPane(index, "MEMORY", false); // playback needs no unit
        } else if (dc.UnitDisconnected()) {
            panes_->setPaneAlarm(index, pane::kNoUnitText);
        } else {
            panes_->setPane(index, "SCAN");
        }
        break;
    case pane::kDark:
        if (status.test(status_bits::kDarkReady)) {
            panes_->setPane(index,
                            option.test(option_bits::kShowDarkLine) ? "DARK DISP" : "DARK READY");
        } else {
            panes_->setPane(index, "DARK OFF", false);
        }
        break;
    case pane::kReference:
        if (status.test(status_bits::kReferenceReady)) {
            panes_->setPane(index, option.test(option_bits::kShowReferenceLine) ? "REF DISP"
                                                                                : "REF READY");
        } else {
            panes_->setPane(index, "REF OFF", false);
        }
        break;
    case pane::kMode: {
        const DisplayMode mode = dc.State().flags.displayMode();
        const bool scopeOnPixels =
            static_cast<int>(mode) <= 2 && dc.State().flags.xUnit() == XUnit::Pixel;
        panes_->setPane(index, scopeOnPixels ? "PIXEL" : modePaneText(mode), !scopeOnPixels);
        break;
    }
    case pane::kIntegration:
        panes_->setPane(index, QString::fromStdString(status_rules::integrationTimeText(
                                   dc.State().limits.current, hundredths)));
        break;
    case pane::kTimeAverage:
        panes_->setPane(index, QString::number(dc.State().acquisition.timeAverage));
        break;
    case pane::kBinning:
        panes_->setPane(index, QString::number(dc.State().acquisition.binningAverage));
        break;
    case pane::kSmoothing:
        panes_->setPane(index, QString::number(dc.State().acquisition.smoothingPercent));
        break;
    default:
        break;
    }
}

void CMainFrame::refreshStatus(int group, bool on) {
    switch (group) {
    case 0:
        for (int index :
             {pane::kMode, pane::kDark, pane::kReference, pane::kSource, pane::kIntegration,
              pane::kTimeAverage, pane::kBinning, pane::kSmoothing}) {
            refreshPane(index);
        }
        break;
    case 1:
        panes_->setLamp(pane::kInternalLamp, on);
        // Every pass refreshes the lamp: the pass that finds the unit gone,
        // or back, shows it here.
        refreshPane(pane::kSource);
        if (control_->State().flags.option.test(option_bits::kSpectrumStatistics)) {
            panes_->setPane(pane::kFreeText,
                            QString::fromStdString(view_->worker().readouts().statistics));
        }
        break;
    case 2:
        panes_->setLamp(pane::kExternalLamp, on);
        if (on) {
            panes_->setPane(pane::kFreeText,
                            QString::fromStdString(view_->worker().readouts().triggerTime));
        }
        break;
    case 3:
        for (int index = pane::kSource; index <= pane::kSmoothing; ++index) {
            if (index < pane::kDark || index > pane::kMode) {
                refreshPane(index);
            }
        }
        break;
    case 11:
        panes_->setPane(pane::kFreeText, QString::fromStdString(control_->State().commentText));
        break;
    default:
        refreshPane(group);
        break;
    }
    updateCommandStates();
}

void CMainFrame::paneClicked(int index, Qt::MouseButton button) {
    if (control_->State().flags.option.test(option_bits::kExternalTrigger)) {
        return;
    }
    const bool left = button == Qt::LeftButton;
    switch (index) {
    case pane::kSource:
        // Memory mode ends here: the unit's own configuration comes back.
        if (left && control_->State().flags.option.test(option_bits::kMemoryMode)) {
            view_->leaveMemoryMode();
        }
        break;
    case pane::kDark:
        left ? view_->toggleDarkLine() : view_->toggleSubtractDark();
        break;
    case pane::kReference:
        if (left) {
            view_->toggleReferenceLine();
        }
        break;
    case pane::kIntegration:
    case pane::kTimeAverage:
    case pane::kBinning:
    case pane::kSmoothing:
        stepValuePane(index, left);
        break;
    default:
        break;
    }
}

void CMainFrame::stepValuePane(int index, bool leftClick) {
    using status_rules::Click;
    const Click click = leftClick ? Click::Left : Click::Right;
    DataControl &dc = *control_;
    if (index == pane::kIntegration) {
        // A unit that is gone takes no new time: the pane would show one the
        // unit never got, and the unit coming back would run at it against a
        // dark and reference taken at the old one.
        if (dc.UnitDisconnected()) {
            refreshPane(pane::kSource);
            return;
        }
        const std::int32_t next = status_rules::steppedIntegrationTime(
            dc.State().limits.current, dc.State().geometry.boardType == kBoardTcd1304, click,
            dc.State().limits.minimum, dc.State().limits.maximum);
        if (next != dc.State().limits.current) {
            // A new integration time makes dark and reference invalid.
            (void)dc.SetIntegrationTime(next); // a unit that refused it has been reported
            view_->afterDarkOrReference();
            view_->updateGraph(true);
        }
        refreshPane(index);
        view_->refreshTextPanel();
        return;
    }
    const AcquisitionRecord &a = dc.State().acquisition;
    std::string key;
    int value = 0;
    if (index == pane::kTimeAverage) {
        key = "TimeAV";
        value = status_rules::steppedTimeAverage(a.timeAverage, click);
    } else if (index == pane::kBinning) {
        key = "BinningAV";
        value = status_rules::steppedBinning(a.binningAverage, click);
    } else {
        key = "FFT";
        value = status_rules::steppedSmoothing(a.smoothingPercent, click);
    }
    (void)dc.ApplySetting(key, std::to_string(value)); // the stepped values lie inside the ranges
    refreshPane(index);
    view_->refreshTextPanel();
}

void CMainFrame::showAbout() {
    AboutBox box(this);
    box.exec();
}

void CMainFrame::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (firstShow_) {
        firstShow_ = false;
        view_->initialUpdate();
    }
}

void CMainFrame::shutDown() {
    if (closedDown_) {
        return;
    }
    closedDown_ = true;
    // The dialog's suspend ends before the worker is stopped.
    irradianceDialog_.reset();
    colour_->deactivate();
    if (closingPrompter_ != nullptr) {
        closingPrompter_->beginClosing();
    }
    view_->stopAcquisition();
    // The worker is gone, so a box cannot deadlock any more: a failed save
    // of the settings must reach the user, not only the error stream.
    if (closingPrompter_ != nullptr) {
        closingPrompter_->endClosing();
    }
    // CloseDown has shown its own message when the settings were not saved.
    static_cast<void>(control_->CloseDown());
}

void CMainFrame::closeEvent(QCloseEvent *event) {
    // Recorded spectra live only in memory until they are saved.
    if (control_ && !control_->Stored().ConfirmEnd()) {
        event->ignore();
        return;
    }
    shutDown();
    event->accept();
}

} // namespace quillon
