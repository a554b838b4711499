#include "shell/quillon_view.h"

#include "shell/button_icons.h"
#include "shell/commands.h"
#include "shell/deployment.h"
#include "shell/graph_feed.h"
#include "shell/graph_renderer.h"
#include "shell/status_rules.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QResizeEvent>
#include <QUrl>

namespace quillon {

namespace {

struct ButtonSpec {
    int command;
    const char *caption;
    const char *icon;
    bool mainReady;  // the main part works in this version
    bool arrowReady; // the arrow part's panel exists in this version
    bool arrowUsed;  // the arrow part has a function at all
    const char *toolTip;
};

constexpr std::array<ButtonSpec, CQuillonView::kButtonCount> kButtons{{
    {command::kQxSetup, "&QX Setup", "setup", true, true, true,
     "Scope display on the pixel axis; restart acquisition"},
    {command::kDarkScanPanel, "&Dark Scan", "dark", true, true, true, "Take a dark scan"},
    {command::kRefScanPanel, "&Ref Scan", "reference", true, true, true, "Take a reference scan"},
    {command::kModePanel, "&Scope", "mode", true, true, true,
     "Next display mode (needs a dark and a reference scan)"},
    {command::kTimeLine, "&TimeLine", "timeline", true, true, true,
     "Record scans at a fixed interval into a scan data file"},
    {command::kFindPeak, "&Find Peak", "peak", true, true, true,
     "Find the peaks of the spectrum (needs a dark scan); again: the peak list"},
    {command::kLoad, "&Import", "import", true, true, true,
     "Load memory data from a scan data file"},
    {command::kSave, "&Export", "export", true, true, true,
     "Save the spectrum, a picture of the graph or the memory data"},
    {command::kPrint, "&Print", "print", true, false, false,
     "Print the spectral data sheet of the graph"},
    {command::kTecControl, "&TEC Control", "tec", true, true, true,
     "Switch the cooler and the conversion capacitor"},
    {command::kHomePage, "&HomePage", "homepage", true, false, false,
     "Open the Orvantis home page"},
}};

constexpr int kButtonGap = 2;
constexpr int kTextRefreshMs = 250;

bool hasCooler(int boardType) {
    return boardType == kBoardS7031 || boardType == kBoardInGaAs512 || boardType == kBoardInGaAs256;
}

QString modeName(DisplayMode mode) {
    switch (mode) {
    case DisplayMode::TransRefl:
        return "Transmittance / reflectance";
    case DisplayMode::Absorbance:
        return "Absorbance";
    case DisplayMode::Irradiance:
        return "Irradiance";
    case DisplayMode::DarkScan:
        return "Dark scan";
    case DisplayMode::ReferenceScan:
        return "Reference scan";
    case DisplayMode::Scope:
        break;
    }
    return "Scope";
}

QString xUnitName(XUnit unit, bool calibrated) {
    switch (unit) {
    case XUnit::Wavelength:
        return calibrated ? "Wavelength (grid)" : "Wavelength";
    case XUnit::Wavenumber:
        return calibrated ? "Wavenumber (grid)" : "Wavenumber";
    case XUnit::Pixel:
        break;
    }
    return "Pixel";
}

} // namespace

QString modeCaption(DisplayMode mode, IrradianceUnit unit) {
    switch (mode) {
    case DisplayMode::TransRefl:
        return "&T/R(%)";
    case DisplayMode::Absorbance:
        return "&Absorbance";
    case DisplayMode::Irradiance:
        return unit == IrradianceUnit::Illuminance ? "&Illuminance" : "&Irradiance";
    default:
        return "&Scope";
    }
}

CQuillonView::CQuillonView(DataControl &control, QWidget *parent)
    : QWidget(parent), control_(control) {
    setObjectName("ScopeView");
    band_ = new QWidget(this);
    band_->setObjectName("ButtonBand");
    band_->setAutoFillBackground(true);
    createButtons();
    text_ = new CTextPanel(this);
    side_ = new CSideDialog(this);
    graph_ = new CScopeGraph(this);
    graph_->setTitles(QString::fromStdString(control_.State().settings.title),
                      QString::fromStdString(control_.State().settings.subTitle));
    graph_->setDisplayWord(control_.State().settings.displayWord);
    graph_->setPointerState(true);
    graph_->setFocusPolicy(Qt::ClickFocus);
    playback_ = new CPlaybackPanel(graph_);
    connect(playback_, &CPlaybackPanel::commandChosen, this, &CQuillonView::runPlayback);
    worker_ = std::make_unique<ScopeWorker>(control_, *graph_, *this);

    connect(graph_, &CScopeGraph::textPanelPageChanged, text_, &CTextPanel::setPage);
    connect(graph_, &CScopeGraph::textPanelRefreshRequested, this, &CQuillonView::refreshTextPanel);
    connect(graph_, &CScopeGraph::titleEdited, this, [this](TitleField field, const QString &t) {
        // The titles are texts of the settings: the table checks them.
        const std::string problem = control_.ApplySetting(
            field == TitleField::Main ? "Title" : "SubTitle", t.toStdString());
        if (!problem.empty()) {
            graph_->setTitles(QString::fromStdString(control_.State().settings.title),
                              QString::fromStdString(control_.State().settings.subTitle));
        }
    });
    connect(side_, &CSideDialog::channelChosen, this, &CQuillonView::changeChannel);
    connect(side_, &CSideDialog::xUnitChosen, this, &CQuillonView::changeXUnit);

    startTimer_.setSingleShot(true);
    connect(&startTimer_, &QTimer::timeout, this, &CQuillonView::startAcquisition);
    textTimer_.setInterval(kTextRefreshMs);
    connect(&textTimer_, &QTimer::timeout, this, &CQuillonView::refreshTextPanel);
    side_->refresh(control_);
    updateGraph(true);
}

CQuillonView::~CQuillonView() {
    // The recorder's thread tells this view of its frames: it ends first.
    (void)control_.TimeLine().StopRecord();
    stopAcquisition();
}

void CQuillonView::createButtons() {
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonSpec &spec = kButtons[i];
        auto *b = new SplitButton(spec.command, spec.caption, band_);
        b->setObjectName(QString("button%1").arg(spec.command));
        b->setIconPixmap(buttonIcon(spec.icon, devicePixelRatioF()));
        if (!spec.mainReady) {
            b->setEnabled(false);
            b->setToolTip(command::kLaterVersion);
        } else if (spec.toolTip != nullptr) {
            b->setMainToolTip(spec.toolTip);
        }
        if (!spec.arrowUsed) {
            b->setArrowEnabled(false);
        } else if (!spec.arrowReady) {
            b->setArrowEnabled(false, command::kLaterVersion);
        }
        connect(b, &SplitButton::mainClicked, this, [this](int id) {
            switch (id) {
            case command::kQxSetup:
                runQxSetup();
                break;
            case command::kDarkScanPanel:
                runDarkScan();
                break;
            case command::kRefScanPanel:
                runReferenceScan();
                break;
            case command::kModePanel:
                runModeCycle();
                break;
            case command::kHomePage:
                openHomePage();
                break;
            case command::kFindPeak:
                runFindPeak();
                break;
            case command::kTimeLine:
                runTimeLine();
                break;
            case command::kTecControl:
                openTecPanel();
                break;
            // Their panels are all these buttons do: either part opens them.
            case command::kSave:
                openSavePanel();
                break;
            case command::kLoad:
                openLoadPanel();
                break;
            case command::kPrint:
                printSheet();
                break;
            default:
                break;
            }
        });
        connect(b, &SplitButton::arrowClicked, this, [this](int id) {
            if (id == command::kSave) {
                openSavePanel();
            } else if (id == command::kLoad) {
                openLoadPanel();
            } else if (id == command::kFindPeak) {
                openPeakOptions();
            } else if (id == command::kTimeLine) {
                runTimeLineArrow();
            } else if (id == command::kQxSetup) {
                openSetupPanel();
            } else if (id == command::kDarkScanPanel) {
                openDarkPanel();
            } else if (id == command::kRefScanPanel) {
                openReferencePanel();
            } else if (id == command::kModePanel) {
                openModePanel();
            } else if (id == command::kTecControl) {
                openTecPanel();
            }
        });
        buttons_[i] = b;
    }
    button(command::kTecControl)->setVisible(hasCooler(control_.State().geometry.boardType));
}

SplitButton *CQuillonView::button(int command) const {
    for (SplitButton *b : buttons_) {
        if (b != nullptr && b->commandId() == command) {
            return b;
        }
    }
    return nullptr;
}

void CQuillonView::layoutChildren() {
    const int w = width();
    band_->setGeometry(0, 0, w, kBandHeight);
    int x = 1;
    for (SplitButton *b : buttons_) {
        if (b->isVisible() || !b->isHidden()) {
            b->move(x, 1);
            x += SplitButton::kWidth + kButtonGap;
        }
    }
    // The frame's docks yield what the button bar needs.
    setMinimumWidth(x - kButtonGap + 1);
    const int panelTop = kBandHeight;
    const int textWidth = std::max(120, w - kSideWidth);
    text_->setGeometry(0, panelTop, textWidth, kPanelHeight);
    side_->setGeometry(textWidth, panelTop, w - textWidth, kPanelHeight);
    const int graphTop = panelTop + kPanelHeight;
    graph_->setGeometry(0, graphTop, w, std::max(0, height() - graphTop));
    const PixelRect plot = graph_->layout().plot;
    playback_->placeInCorner(plot.right, plot.top);
    for (const auto &[panel, command] : {std::pair<QWidget *, int>{savePanel_, command::kSave},
                                         std::pair<QWidget *, int>{loadPanel_, command::kLoad}}) {
        if (panel != nullptr) {
            placeBelowButton(*panel, command);
        }
    }
}

void CQuillonView::resizeEvent(QResizeEvent *event) {
    layoutChildren();
    QWidget::resizeEvent(event);
}

void CQuillonView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}

void CQuillonView::initialUpdate() {
    afterDarkOrReference();
    startTimer_.start(kStartDelayMs);
    textTimer_.start();
}

void CQuillonView::startAcquisition() {
    startTimer_.stop();
    if (!active_ || worker_->running()) {
        return;
    }
    worker_->start(control_.State().settings.priority);
}

void CQuillonView::stopAcquisition() {
    startTimer_.stop();
    if (worker_) {
        worker_->stop();
    }
}

void CQuillonView::deactivate() {
    active_ = false;
    stopAcquisition();
    textTimer_.stop();
    graph_->hide();
    text_->hide();
}

void CQuillonView::activate() {
    active_ = true;
    graph_->show();
    text_->show();
    textTimer_.start();
    startTimer_.start(kRestartDelayMs);
}

bool CQuillonView::changeUnderHold(const std::function<void(DataControl &)> &change) {
    const bool quiet = control_.SuspendAcquisition(HoldBy::Change);
    if (quiet) {
        change(control_);
    }
    control_.ResumeAcquisition(HoldBy::Change);
    return quiet;
}

void CQuillonView::runQxSetup() {
    changeUnderHold([](DataControl &dc) {
        dc.SetXUnit(XUnit::Pixel);
        dc.SetDisplayMode(DisplayMode::Scope);
    });
    clearPeaks();
    control_.Hold().ReleaseAll();
    // The loop and run bits belong to a running worker: start one when none runs.
    if (active_ && !worker_->running()) {
        startAcquisition();
    }
    button(command::kModePanel)
        ->setText(modeCaption(DisplayMode::Scope, irradianceUnitOf(control_)));
    updateGraph(true);
    side_->refresh(control_);
    emit statusRefresh(6, true);
}

bool CQuillonView::runDarkScan() {
    if (control_.State().flags.darkSource() == DarkSource::File) {
        return false;
    }
    // The next pass takes the dark (closing the built-in shutter for it on
    // the worker thread).
    return runOneShot(DisplayMode::DarkScan);
}

// The command ends when the worker has stored the scan. A unit that is gone
// takes none: it would be taken silently, later, from whatever unit comes back.
bool CQuillonView::runOneShot(DisplayMode mode) {
    const FlagWord &status = control_.State().flags.status;
    if (control_.State().flags.displayMode() == mode || status.test(status_bits::kHold) ||
        status.test(status_bits::kDrawingSuspended)) {
        return false;
    }
    if (control_.UnitDisconnected()) {
        emit statusRefresh(0, true);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool requested = mode == DisplayMode::DarkScan ? control_.RequestDarkScan()
                                                         : control_.RequestReferenceScan();
    if (requested) {
        waitForOneShot(mode);
    }
    QApplication::restoreOverrideCursor();
    afterDarkOrReference();
    return requested;
}

// Two scan-done signals prove that a pass has ended, not that the pass which
// takes the one-shot scan has run: a signal left from an earlier pass may
// count as the first. So the waits go on, each bounded, until the worker has
// left the one-shot mode.
void CQuillonView::waitForOneShot(DisplayMode mode) {
    constexpr int kMaxRounds = 4;
    for (int round = 0; round < kMaxRounds && control_.State().flags.displayMode() == mode &&
                        control_.State().flags.status.test(status_bits::kWorkerRunning);
         ++round) {
        if (!control_.WaitForQuietWorker()) {
            break; // the worker did not answer: the pending scan stays pending
        }
    }
}

bool CQuillonView::runReferenceScan() {
    waitForOneShot(DisplayMode::DarkScan); // a requested dark is taken first
    // Armed in the reference panel ("&Save Tile" / "&Read Tile"): the tile
    // operation instead of a scan, then the button's own caption again.
    if (control_.ArmedColourTile()) {
        const PanelClosing done = control_.RunArmedColourTile();
        if (done.caption) {
            button(command::kRefScanPanel)->setText(QString::fromStdString(*done.caption));
        }
        afterDarkOrReference();
        return done.result == OpResult::Done;
    }
    if (control_.State().flags.referenceSource() != ReferenceSource::CurrentScan) {
        return false;
    }
    return runOneShot(DisplayMode::ReferenceScan);
}

void CQuillonView::runModeCycle() {
    DisplayMode next = DisplayMode::Scope;
    changeUnderHold([&next](DataControl &dc) { next = dc.CycleDisplayMode(); });
    button(command::kModePanel)->setText(modeCaption(next, irradianceUnitOf(control_)));
    updateGraph(true);
    graph_->modeChanged(graphXUnitOf(control_.State().flags.xUnit()), graphModeOf(next));
    emit statusRefresh(6, true);
    clearPeaks(); // their values are in the units of the mode before
    control_.Hold().ReleaseAll();
}

void CQuillonView::chooseDisplayMode(DisplayMode target) {
    // Its menu commands follow the mode button; a command that arrives
    // before their enable states are refreshed is refused all the same.
    if (!modeButtonEnabled()) {
        return;
    }
    DisplayMode before = DisplayMode::Scope;
    switch (target) {
    case DisplayMode::Scope:
        before = DisplayMode::Irradiance;
        break;
    case DisplayMode::TransRefl:
        before = DisplayMode::Scope;
        break;
    case DisplayMode::Absorbance:
        before = DisplayMode::TransRefl;
        break;
    case DisplayMode::Irradiance:
        before = DisplayMode::Absorbance;
        break;
    default:
        return;
    }
    changeUnderHold([before](DataControl &dc) { dc.SetDisplayMode(before); });
    runModeCycle();
}

// Shows or hides a line that exists; refreshes its status pane.
void CQuillonView::toggleLine(std::uint16_t readyBit, std::uint16_t shownBit, int pane) {
    if (!control_.State().flags.status.test(readyBit)) {
        return;
    }
    control_.ToggleOption(shownBit);
    emit statusRefresh(pane, true);
}

void CQuillonView::toggleDarkLine() {
    toggleLine(status_bits::kDarkReady, option_bits::kShowDarkLine, 4);
}

void CQuillonView::toggleReferenceLine() {
    toggleLine(status_bits::kReferenceReady, option_bits::kShowReferenceLine, 5);
}

void CQuillonView::toggleSubtractDark() {
    if (!control_.State().flags.status.test(status_bits::kDarkReady)) {
        return;
    }
    changeUnderHold([](DataControl &dc) { dc.ToggleOption(option_bits::kSubtractDarkInScope); });
    emit statusRefresh(4, true);
}

void CQuillonView::openHomePage() {
    const QUrl address(deployment::kHomePage);
    if (!QDesktopServices::openUrl(address)) {
        QProcess::startDetached("xdg-open", {address.toString()});
    }
}

DataSheetPage CQuillonView::composeSheet() {
    return DataSheetPage::compose(control_, graph_->viewState(), factoryForm_);
}

void CQuillonView::withSheet(const std::function<void(const DataSheetPage &, QPrinter &)> &show) {
    const SuspendedAcquisition lock(control_.Hold(), HoldBy::Dialog);
    if (!lock.paused()) {
        return;
    }
    const DataSheetPage page = composeSheet();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kSheetDocumentName);
    show(page, printer);
}

void CQuillonView::printSheet() {
    withSheet([this](const DataSheetPage &page, QPrinter &printer) {
        printWithDialog(this, printer, page, control_.Prompt());
    });
}

void CQuillonView::previewSheet() {
    withSheet([this](const DataSheetPage &page, QPrinter &printer) {
        previewPage(this, printer, page, control_.Prompt());
    });
}

bool CQuillonView::modeButtonEnabled() const {
    return button(command::kModePanel)->isEnabled();
}

QString CQuillonView::axisTitleText() const {
    AxisTitleContext context;
    context.mode = graphModeOf(control_.State().flags.displayMode());
    context.xUnit = graphXUnitOf(control_.State().flags.xUnit());
    context.relativeIrradiance =
        control_.State().flags.option.test(option_bits::kRelativeIrradiance);
    context.irradianceUnit = irradianceUnitOf(control_);
    return QString::fromStdString(axisTitle(context));
}

void CQuillonView::afterDarkOrReference() {
    const FlagWord &status = control_.State().flags.status;
    const bool memory = control_.State().flags.option.test(option_bits::kMemoryMode);
    const bool dark = status.test(status_bits::kDarkReady);
    const bool reference = status.test(status_bits::kReferenceReady);
    button(command::kModePanel)->setEnabled(dark && reference);
    button(command::kFindPeak)->setEnabled(dark);
    button(command::kDarkScanPanel)->setEnabled(!memory);
    button(command::kRefScanPanel)->setEnabled(!memory);
    button(command::kTimeLine)->setEnabled(!memory || control_.TimeLine().Recording());
    button(command::kTimeLine)->setText(timeLineCaption());
    button(command::kModePanel)
        ->setText(modeCaption(control_.State().flags.displayMode(), irradianceUnitOf(control_)));
    control_.Hold().ResumeDrawing();
    emit statusRefresh(0, true);
    emit colourTabCheck();
}

void CQuillonView::updateGraph(bool resetRange) {
    graph_->setRangeContext(rangeContextFrom(control_));
    graph_->setAxisContext(axisContextFrom(control_));
    graph_->setDisplayWord(control_.State().settings.displayWord);
    if (resetRange) {
        graph_->setInteractionMode(InteractionMode::None);
        graph_->rescale();
        graph_->setInteractionMode(InteractionMode::RubberBand);
    } else {
        graph_->rescale();
    }
    text_->setPage(textPanelPage(graphXUnitOf(control_.State().flags.xUnit()),
                                 graphModeOf(control_.State().flags.displayMode())));
    refreshTextPanel();
}

TextPanelSettings CQuillonView::textPanelSettings() const {
    TextPanelSettings s;
    const bool hundredths = control_.State().geometry.boardType == kBoardTcd1304;
    s.hundredths = hundredths;
    s.integration = QString::fromStdString(
        status_rules::integrationTimeText(control_.State().limits.current, hundredths));
    s.timeAverage = control_.State().acquisition.timeAverage;
    s.binning = control_.State().acquisition.binningAverage;
    s.smoothing = control_.State().acquisition.smoothingPercent;
    s.modeName = modeName(control_.State().flags.displayMode());
    s.xUnitName = xUnitName(control_.State().flags.xUnit(),
                            control_.State().flags.option.test(option_bits::kWavelengthBase));
    s.xUnit = graphXUnitOf(control_.State().flags.xUnit());
    s.mode = graphModeOf(control_.State().flags.displayMode());
    s.pointer = graph_->pointerValues();
    s.memoryMode = control_.State().flags.option.test(option_bits::kMemoryMode);
    s.memoryCurrent = control_.State().memory.current();
    s.memoryCount = static_cast<int>(control_.State().memory.size());
    const RecordProgress record = control_.TimeLine().Progress();
    s.recording = record.recording;
    s.recordFrames = record.frames;
    s.recordMissed = record.missedTicks;
    return s;
}

void CQuillonView::refreshTextPanel() {
    if (text_->isVisible() || !isVisible()) {
        text_->showReadouts(worker_->readouts(), textPanelSettings());
    }
}

void CQuillonView::changeChannel(int channel) {
    if (channel == control_.State().currentChannel || channel < 0 ||
        channel >= static_cast<int>(control_.State().channels.size())) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    clearPeaks();
    (void)control_.ChangeChannel(channel); // a failure has been shown to the user
    QApplication::restoreOverrideCursor();
    unitSettingsChanged();
}

void CQuillonView::unitSettingsChanged() {
    if (peaksShown()) {
        clearPeaks(); // found on the axis that was
    }
    button(command::kTecControl)->setVisible(hasCooler(control_.State().geometry.boardType));
    layoutChildren();
    side_->refresh(control_);
    updateGraph(true);
    afterDarkOrReference();
    if (QWidget *frame = window()) {
        frame->setWindowTitle(QString("%1 - %2").arg(
            deployment::kProgramName, QString::fromStdString(control_.State().settings.modelName)));
    }
}

void CQuillonView::changeXUnit(int unit) {
    if (unit < 0 || unit > 2) {
        return;
    }
    changeUnderHold([unit](DataControl &dc) { dc.SetXUnit(static_cast<XUnit>(unit)); });
    clearPeaks(); // the values may now lie on the other base
    updateGraph(true);
    graph_->modeChanged(graphXUnitOf(control_.State().flags.xUnit()),
                        graphModeOf(control_.State().flags.displayMode()));
    side_->refresh(control_);
    emit statusRefresh(6, true);
}

void CQuillonView::placeBelowButton(QWidget &panel, int command) {
    const SplitButton *b = button(command);
    const QPoint below = b->mapTo(this, QPoint(0, b->height() + 1));
    const int x = std::clamp(below.x(), 0, std::max(0, width() - panel.width()));
    panel.move(x, below.y());
    panel.raise();
}

bool CQuillonView::raiseOpenConfigPanel() {
    if (configPanel_ == nullptr) {
        return false;
    }
    configPanel_->raise();
    configPanel_->activateWindow();
    return true;
}

bool CQuillonView::showConfigPanel(std::unique_ptr<PopupPanel> panel, int command) {
    if (raiseOpenConfigPanel()) {
        return false;
    }
    closeFilePanels();
    configPanel_ = panel.release(); // owned by this view as its Qt parent
    connect(configPanel_, &PopupPanel::panelClosed, this, [this] {
        if (configPanel_ != nullptr) {
            configPanel_->deleteLater();
            configPanel_.clear();
        }
    });
    const SplitButton *b = button(command);
    configPanel_->openAt(b->mapToGlobal(QPoint(0, b->height() + 1)));
    return true;
}

void CQuillonView::closeFilePanels() {
    for (CFilePanel *panel : {static_cast<CFilePanel *>(savePanel_.data()),
                              static_cast<CFilePanel *>(loadPanel_.data())}) {
        if (panel != nullptr) {
            panel->hide();
            panel->deleteLater();
        }
    }
    savePanel_.clear();
    loadPanel_.clear();
}

void CQuillonView::openSavePanel() {
    const bool wasOpen = savePanel_ != nullptr;
    closeFilePanels();
    if (wasOpen) {
        return;
    }
    savePanel_ = new CSavePanel(*this, this);
    connect(savePanel_, &CFilePanel::finished, this, &CQuillonView::closeFilePanels);
    placeBelowButton(*savePanel_, command::kSave);
    savePanel_->show();
    savePanel_->nameBox().setFocus();
}

void CQuillonView::openLoadPanel() {
    const bool wasOpen = loadPanel_ != nullptr;
    closeFilePanels();
    if (wasOpen) {
        return;
    }
    loadPanel_ = new CLoadPanel(*this, this);
    connect(loadPanel_, &CFilePanel::finished, this, &CQuillonView::closeFilePanels);
    connect(loadPanel_, &CLoadPanel::loaded, this, &CQuillonView::memoryLoaded);
    placeBelowButton(*loadPanel_, command::kLoad);
    loadPanel_->show();
    loadPanel_->nameBox().setFocus();
}

std::filesystem::path CQuillonView::dataFolder() const {
    return chosenFolder_ ? *chosenFolder_ : control_.State().dataFolder;
}

void CQuillonView::setDataFolder(const std::filesystem::path &folder) {
    chosenFolder_ = folder;
}

ExportView CQuillonView::graphExportView() const {
    const ViewRange range = graph_->viewState().range;
    return {range.xStart, range.xEnd};
}

// Drawn here, not taken from the worker's last picture: the picture shows
// the view as it is now, also while acquisition is on hold.
QImage CQuillonView::graphPicture() {
    const GraphViewState view = graph_->viewState();
    if (view.width <= 0 || view.height <= 0) {
        return {};
    }
    GraphSnapshot snapshot;
    if (!changeUnderHold([&](DataControl &dc) { fillSnapshot(dc, view, snapshot); })) {
        return {};
    }
    QImage picture(view.width, view.height, QImage::Format_RGB32);
    GraphRenderer renderer;
    renderer.render(snapshot, picture);
    return picture;
}

void CQuillonView::setWindowTitleText(const QString &title) {
    if (QWidget *frame = window(); frame != nullptr && frame != this) {
        frame->setWindowTitle(title);
    }
}

QString CQuillonView::liveTitle() const {
    return QString("%1 - %2").arg(deployment::kProgramName,
                                  QString::fromStdString(control_.State().settings.modelName));
}

// The loaded file's configuration is now the view's: captions, enable
// rules, panes, axis and range follow it.
void CQuillonView::memoryLoaded(const QString &name) {
    setWindowTitleText(" Orvantis Quillon - " + name);
    dropPeakMarks(); // the load cleared the list
    side_->refresh(control_);
    updateGraph(true);
    graph_->modeChanged(graphXUnitOf(control_.State().flags.xUnit()),
                        graphModeOf(control_.State().flags.displayMode()));
    afterDarkOrReference();
    closeFilePanels();
}

bool CQuillonView::leaveMemoryMode() {
    DataControl &dc = control_;
    if (!dc.State().flags.option.test(option_bits::kMemoryMode) ||
        !dc.Stored().CanLeaveMemoryMode()) {
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    clearPeaks();
    (void)dc.Stored().LeaveMemoryMode(); // a unit that refused its time has been reported
    QApplication::restoreOverrideCursor();
    setWindowTitleText(liveTitle());
    side_->refresh(control_);
    updateGraph(true);
    graph_->modeChanged(graphXUnitOf(control_.State().flags.xUnit()),
                        graphModeOf(control_.State().flags.displayMode()));
    afterDarkOrReference();
    return true;
}

void CQuillonView::runPlayback(int id) {
    StoredSpectra &stored = control_.Stored();
    switch (id) {
    case playback::kReset:
        graph_->setInteractionMode(InteractionMode::None);
        graph_->rescale();
        graph_->setInteractionMode(InteractionMode::RubberBand);
        graph_->modeChanged(graphXUnitOf(control_.State().flags.xUnit()),
                            graphModeOf(control_.State().flags.displayMode()));
        break;
    case playback::kZoomIn:
    case playback::kZoomOut:
        // One step now; a click in the plot takes the next.
        graph_->setInteractionMode(id == playback::kZoomIn ? InteractionMode::ZoomIn
                                                           : InteractionMode::ZoomOut);
        graph_->rescale();
        break;
    case playback::kPixelUnit:
        // Data on the uniform wavelength grid has no pixels to show.
        if (!control_.State().flags.option.test(option_bits::kWavelengthBase)) {
            changeXUnit(static_cast<int>(XUnit::Pixel));
        }
        break;
    case playback::kWavelengthUnit:
        changeXUnit(static_cast<int>(XUnit::Wavelength));
        break;
    case playback::kWavenumberUnit:
        changeXUnit(static_cast<int>(XUnit::Wavenumber));
        break;
    case playback::kContinuousRewind:
        stored.Step(Playback::ContinuousRewind);
        break;
    case playback::kOneStepRewind:
        stored.Step(Playback::OneStepRewind);
        break;
    case playback::kStop:
        stored.Step(Playback::Stop);
        break;
    case playback::kOneStepForward:
        stored.Step(Playback::OneStepForward);
        break;
    case playback::kContinuousForward:
        stored.Step(Playback::ContinuousForward);
        break;
    case playback::kRecordData:
        (void)stored.RecordItem(); // refused in memory mode
        break;
    case playback::kDeleteData:
        (void)stored.DeleteSelected(); // refused unless a memory item is left
        break;
    default:
        break;
    }
    // Every move of playback has cleared the peaks (and the forward and
    // rewind runs their hold).
    if (control_.Peaks().empty()) {
        dropPeakMarks();
    }
    refreshTextPanel();
    graph_->setFocus();
}

bool CQuillonView::peakButtonEnabled() const {
    return button(command::kFindPeak)->isEnabled();
}

bool CQuillonView::peaksShown() const {
    return graph_->viewState().range.peakMarks;
}

// The first press holds the spectrum and marks its peaks; a press while they
// are shown finds them again (new options) and opens the list.
void CQuillonView::runFindPeak() {
    const bool shown = peaksShown();
    if (refindPeaks() && shown) {
        openPeakData();
    }
}

bool CQuillonView::refindPeaks() {
    if (!peakButtonEnabled()) {
        return false;
    }
    if (!peaksShown() && !control_.Hold().HoldAndWait()) {
        control_.Hold().ReleaseHold(); // the worker did not answer: nothing is held
        return false;
    }
    (void)control_.FindPeaks();
    showFoundPeaks();
    graph_->setPeakMarks(true);
    control_.Hold().ResumeDrawing();
    return true;
}

void CQuillonView::clearPeaks() {
    control_.ClearPeaks();
    dropPeakMarks();
    control_.Hold().ReleaseHold();
    control_.Hold().ResumeDrawing();
}

void CQuillonView::dropPeakMarks() {
    graph_->setPeakMarks(false);
    showFoundPeaks();
}

PeakTableContext CQuillonView::peakTableContext() const {
    PeakTableContext context;
    context.gridData = control_.CurrentResult().wavelengthBase;
    context.xUnit = graphXUnitOf(control_.State().flags.xUnit());
    context.mode = graphModeOf(control_.State().flags.displayMode());
    context.relativeIrradiance =
        control_.State().flags.option.test(option_bits::kRelativeIrradiance);
    context.wavelengthTable = control_.State().buffers.wavelengthTable;
    return context;
}

// The graph's tips and an open list follow the peak list.
void CQuillonView::showFoundPeaks() {
    std::vector<PeakMark> marks;
    fillPeakMarks(control_, marks);
    graph_->setPeaks(std::move(marks));
    if (peakData_ != nullptr) {
        peakData_->showPeaks(peakTableContext(), control_.Peaks().Peaks());
    }
}

void CQuillonView::openPeakData() {
    if (peakData_ == nullptr) {
        peakData_ = new CPeakDataDialog(control_, this);
        peakData_->setAttribute(Qt::WA_DeleteOnClose);
    }
    peakData_->showPeaks(peakTableContext(), control_.Peaks().Peaks());
    peakData_->show();
    peakData_->raise();
}

void CQuillonView::openPeakOptions() {
    if (!peakButtonEnabled()) {
        return;
    }
    CPeakOptionsDialog dialog(control_, this);
    dialog.exec();
}

void CQuillonView::lampsChanged() {
    if (!lampsPending_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                lampsPending_ = false;
                emit lampsUpdated();
            },
            Qt::QueuedConnection);
    }
}

void CQuillonView::frameDrawn(const QImage &image) {
    if (framePending_.exchange(true)) {
        return; // the interface has not shown the last one yet
    }
    QMetaObject::invokeMethod(
        graph_,
        [this, image] {
            framePending_ = false;
            graph_->presentFrame(image);
            if (++framesPresented_ == 1) {
                refreshTextPanel(); // the readouts of the first scan, without the timer's delay
            }
            emit framePresented();
        },
        Qt::QueuedConnection);
}

void CQuillonView::textPanelDue() {
    if (!textPending_.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                textPending_ = false;
                refreshTextPanel();
            },
            Qt::QueuedConnection);
    }
}

} // namespace quillon

namespace quillon {

QString CQuillonView::timeLineCaption() const {
    const TimeLineRecorder &recorder = control_.TimeLine();
    if (recorder.Recording()) {
        return recorder.Paused() ? "Play" : "Stop";
    }
    return recorder.Ready() ? "Record" : "&TimeLine";
}

void CQuillonView::runTimeLine() {
    TimeLineRecorder &recorder = control_.TimeLine();
    if (recorder.Recording() && recorder.Paused()) {
        togglePause();
    } else if (recorder.Recording()) {
        stopRecord();
    } else if (recorder.Ready()) {
        startRecord();
    } else {
        openRecordDialog();
    }
}

// While a record runs the arrow part pauses and resumes it: the main part
// must stay "Stop", so that a record can always be ended with one click.
void CQuillonView::runTimeLineArrow() {
    if (control_.TimeLine().Recording()) {
        togglePause();
    } else {
        openRecordDialog();
    }
}

void CQuillonView::togglePause() {
    TimeLineRecorder &recorder = control_.TimeLine();
    if (!recorder.Recording()) {
        return;
    }
    recorder.SetPaused(!recorder.Paused());
    button(command::kTimeLine)->setText(timeLineCaption());
    refreshTextPanel();
}

void CQuillonView::openRecordDialog() {
    if (recordDialog_ != nullptr) {
        recordDialog_->raise();
        return;
    }
    auto *dialog = new CRecordDialog(control_, dataFolder(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    recordDialog_ = dialog;
    connect(dialog, &CRecordDialog::recordCancelled, this, [this] {
        if (control_.TimeLine().Recording()) {
            stopRecord();
        } else {
            control_.TimeLine().CancelPending();
        }
        button(command::kTimeLine)->setText(timeLineCaption());
    });
    connect(dialog, &QDialog::finished, this, [this] {
        if (recordDialog_ != nullptr) {
            setDataFolder(recordDialog_->chosenFolder());
        }
        button(command::kTimeLine)->setText(timeLineCaption());
    });
    dialog->open();
}

bool CQuillonView::startRecord() {
    const OpResult started = control_.TimeLine().StartRecord(this);
    button(command::kTimeLine)->setText(timeLineCaption());
    emit statusRefresh(0, true);
    refreshTextPanel();
    return started == OpResult::Done;
}

void CQuillonView::stopRecord() {
    (void)control_.TimeLine().StopRecord(); // tells the operator what the record lost
    button(command::kTimeLine)->setText(timeLineCaption());
    afterDarkOrReference();
    refreshTextPanel();
}

void CQuillonView::frameWritten(std::int64_t) {
    textPanelDue();
}

void CQuillonView::recordEnded() {
    QMetaObject::invokeMethod(
        this, [this] { stopRecord(); }, Qt::QueuedConnection);
}

} // namespace quillon
