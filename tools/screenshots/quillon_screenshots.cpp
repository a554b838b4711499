// Writes PNG pictures of the main window's scenes on the simulated bench at
// 1920x1080, 1280x720 and 1024x700 into the folder named on the command
// line: the scope view on the pixel and the wavelength axis, T/R mode after a
// dark and a reference scan, the position readouts with a cursor line, a
// cooled unit's button bar, the found peaks of a mercury-argon lamp with a
// data tip, the peak table and the peak options, the open save and load panels, memory playback
// with its fading traces, the irradiance calibration dialog after a
// calibration against the simulator's lamp, absolute irradiance with its
// totals, the time-line dialog and a record, the setup panel compact and
// extended (also over the window and on a TCD1304 unit), the mode panel and
// the Customize sheet, the EEPROM tool after Read and after Template, the
// wavelength calibration dialog, the Color tab with its list and three
// panels, and the About box. Runs on the offscreen platform
// unless told otherwise.
#include "gui_fixture.h"

#include "colour_view/colour_panels.h"
#include "colour_view/colour_view.h"
#include "dialogs/calibration_dialog.h"
#include "dialogs/customize_sheet.h"
#include "dialogs/eeprom_tool_dialog.h"
#include "dialogs/mode_panel.h"
#include "dialogs/setup_panel.h"
#include "dialogs/source_panels.h"
#include "dialogs/tec_panel.h"
#include "shell/about_box.h"
#include "shell/commands.h"
#include "shell/file_panels.h"
#include "shell/graph_feed.h"
#include "shell/irradiance_dialog.h"
#include "shell/peak_dialogs.h"
#include "shell/playback_panel.h"
#include "shell/plot_mapping.h"
#include "shell/quillon_view.h"
#include "shell/record_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>

using namespace quillon;
using namespace quillon::test;

namespace {

bool savePicture(const QPixmap &picture, const QString &folder, const QString &name, QSize size) {
    const QString file =
        QString("%1/%2_%3x%4.png").arg(folder, name).arg(size.width()).arg(size.height());
    if (!picture.save(file)) {
        std::fprintf(stderr, "quillon_screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

bool save(QWidget &widget, const QString &folder, const QString &name, QSize size) {
    return savePicture(widget.grab(), folder, name, size);
}

void hover(QWidget &widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget.mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

// A few fresh frames, and the text panel showing their readouts.
bool settle(GuiSession &session) {
    const bool drawn = session.waitForFrames(3);
    session.frame().scopeView().refreshTextPanel();
    QApplication::processEvents();
    return drawn;
}

// A main window of the given size with its first frames drawn.
CMainFrame *startFrame(GuiSession &session, QSize size) {
    CMainFrame *frame = session.start(size);
    if (frame == nullptr || !settle(session)) {
        std::fprintf(stderr, "quillon_screenshots: the main window did not come up\n");
        return nullptr;
    }
    return frame;
}

// A dark with the lamp off and a reference of the bare halogen lamp.
void takeDarkAndReference(GuiSession &session, CQuillonView &view) {
    runSimCommand("set 0 source dark");
    session.waitForFrames(2);
    clickMain(view.button(command::kDarkScanPanel));
    runSimCommand("set 0 source halogen 2856");
    session.waitForFrames(2);
    clickMain(view.button(command::kRefScanPanel));
}

// The mercury-argon lamp after a dark scan: the peaks marked on the held
// spectrum, the tip of one of them, the table and the options. The peaks are
// cleared at the end, which lets acquisition run on.
bool shootPeaks(GuiSession &session, const QString &folder, QSize size) {
    CMainFrame &frame = session.frame();
    CQuillonView &view = frame.scopeView();
    runSimCommand("set 0 source dark");
    session.waitForFrames(2);
    clickMain(view.button(command::kDarkScanPanel));
    runSimCommand("set 0 source hgar");
    settle(session);
    clickMain(view.button(command::kFindPeak));
    bool ok = settle(session) && save(frame, folder, "peaks", size);

    const auto peaks = session.control().Peaks().Peaks();
    CScopeGraph &graph = view.graph();
    if (!peaks.empty()) {
        const analysis::Peak &peak = peaks[peaks.size() / 2];
        const PlotMapping mapping(graph.viewState().range, graph.layout().plot,
                                  session.control().CurrentResult().wavelengthBase,
                                  graphXUnitOf(session.control().State().flags.xUnit()));
        hover(graph, QPoint(static_cast<int>(std::lround(mapping.xOf(peak.position))),
                            static_cast<int>(std::lround(mapping.yOf(peak.intensity)))));
        ok = settle(session) && save(frame, folder, "peak_tip", size) && ok;
    }

    clickMain(view.button(command::kFindPeak)); // with the marks shown: the list
    QApplication::processEvents();
    if (CPeakDataDialog *table = view.peakDataDialog()) {
        ok = save(*table, folder, "peak_data", size) && ok;
        table->close();
    }
    CPeakOptionsDialog options(session.control(), &frame);
    options.show();
    QApplication::processEvents();
    ok = save(options, folder, "peak_options", size) && ok;
    options.close();
    view.runPlayback(playback::kContinuousForward);
    return ok;
}

bool shootAt(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    bool ok = save(*frame, folder, "scope_pixel", size);

    view.changeXUnit(static_cast<int>(XUnit::Wavelength));
    ok = settle(session) && save(*frame, folder, "scope_wavelength", size) && ok;

    // Readouts under a resting pointer, and a cursor line.
    CScopeGraph &graph = view.graph();
    DataControl &dc = session.control();
    const std::uint32_t word =
        dc.State().settings.displayWord | display_word::kXReadout | display_word::kYReadout;
    if (!dc.ApplySetting("InitOption", std::to_string(word)).empty()) {
        return false;
    }
    graph.setDisplayWord(dc.State().settings.displayWord);
    const PixelRect plot = graph.layout().plot;
    const QPoint cursor(plot.left + plot.width() * 2 / 5, plot.top + plot.height() / 2);
    QTest::mouseClick(&graph, Qt::RightButton, {}, cursor);
    hover(graph, QPoint(plot.left + plot.width() / 5, plot.top + plot.height() / 3));
    ok = settle(session) && save(*frame, folder, "readouts", size) && ok;

    ok = shootPeaks(session, folder, size) && ok;

    takeDarkAndReference(session, view);
    runSimCommand("set 0 sample glass");
    clickMain(view.button(command::kModePanel));
    ok = settle(session) && save(*frame, folder, "transmittance", size) && ok;

    // The time line: its set-up dialog, then a record with the graph following it.
    view.openRecordDialog();
    if (CRecordDialog *dialog = view.recordDialog()) {
        dialog->fileName().setText("warmup");
        dialog->endTimeUsed().setChecked(false);
        dialog->frameLimit().setValue(100000);
        dialog->interval().setValue(100);
        dialog->displayWhileRecording().setChecked(true);
        dialog->adjustSize();
        QApplication::processEvents();
        ok = save(*dialog, folder, "record_dialog", size) && ok;
        if (dialog->setReady()) {
            dialog->accept();
        }
    }
    view.runTimeLine();
    ok = QTest::qWaitFor([&] { return view.worker().recordedFramesDrawn() >= 3; }, 10000) && ok;
    view.refreshTextPanel();
    QApplication::processEvents();
    ok = save(*frame, folder, "recording", size) && ok;
    view.stopRecord();

    // The save panel below its button, then memory playback of recorded items.
    clickMain(view.button(command::kQxSetup));
    settle(session);
    for (int i = 0; i < 6; ++i) {
        RoundButton *record = view.playbackPanel().button(playback::kRecordData);
        QTest::mouseClick(record, Qt::LeftButton, {}, record->rect().center());
        runSimCommand(i % 2 == 0 ? "set 0 source halogen 3200" : "set 0 source halogen 2400");
        session.waitForFrames(2);
    }
    view.openSavePanel();
    if (CSavePanel *panel = view.savePanel()) {
        panel->setType(CSavePanel::Memory);
        panel->nameBox().setText("playback");
    }
    QApplication::processEvents();
    ok = save(*frame, folder, "save_panel", size) && ok;
    if (CSavePanel *panel = view.savePanel()) {
        panel->save();
    }
    view.openLoadPanel();
    if (CLoadPanel *panel = view.loadPanel()) {
        panel->nameBox().setText("playback");
    }
    QApplication::processEvents();
    ok = save(*frame, folder, "load_panel", size) && ok;
    if (CLoadPanel *panel = view.loadPanel()) {
        panel->load();
    }
    view.runPlayback(playback::kContinuousForward);
    ok = settle(session) && save(*frame, folder, "memory_playback", size) && ok;
    view.leaveMemoryMode();

    // A cooled unit: one button more in the bar.
    view.changeChannel(2);
    ok = settle(session) && save(*frame, folder, "cooled_unit", size) && ok;

    // The About box takes its own size; it is named after the window's.
    AboutBox about(frame);
    about.show();
    QApplication::processEvents();
    return save(about, folder, "about", size) && ok;
}

// The calibration dialog after Scan and Calibrate at 50 cm, then the lamp
// at 25 cm in absolute irradiance on the wavelength axis.
bool shootIrradiance(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    runSimCommand("set 0 source dark");
    session.waitForFrames(2);
    clickMain(view.button(command::kDarkScanPanel));
    frame->updateCommandStates();
    frame->action(command::kIrradianceCalibration)->trigger();
    CIrradianceDialog *dialog = frame->irradianceDialog();
    if (dialog == nullptr) {
        std::fprintf(stderr, "quillon_screenshots: the irradiance dialog did not open\n");
        return false;
    }
    runSimCommand("set 0 source lamp");
    dialog->scan();
    dialog->distance().setValue(50);
    dialog->calibrate();
    QApplication::processEvents();
    bool ok = save(*dialog, folder, "irradiance_calibration", size);
    dialog->close();
    QApplication::processEvents();

    runSimCommand("set 0 distance 25");
    DataControl &dc = session.control();
    for (const auto &[key, value] : {std::pair{"IrradDist", "25"},
                                     {"base", "wavelength"},
                                     {"irradiance", "absolute"},
                                     {"mode", "irradiance"}}) {
        if (!dc.ApplySetting(key, value).empty()) {
            return false;
        }
    }
    view.changeXUnit(static_cast<int>(XUnit::Wavelength));
    if (SimulatorPanel *simulator = frame->simulatorPanel()) {
        simulator->reload();
    }
    ok = settle(session) && save(*frame, folder, "irradiance_totals", size) && ok;
    return ok;
}

// The window with a top-level panel drawn over it where it stands.
bool saveWithPanel(QWidget &window, QWidget &panel, const QString &folder, const QString &name,
                   QSize size) {
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    painter.drawPixmap(window.mapFromGlobal(panel.mapToGlobal(QPoint(0, 0))), panel.grab());
    painter.end();
    return savePicture(picture, folder, name, size);
}

// The setup panel, compact and extended, on the ILX511 and the TCD1304 unit.
bool shootSetupPanel(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    view.runPlayback(playback::kRecordData);
    view.openSetupPanel();
    auto *panel = qobject_cast<CSetupPanel *>(view.configPanel());
    if (panel == nullptr) {
        std::fprintf(stderr, "quillon_screenshots: the setup panel did not open\n");
        return false;
    }
    QApplication::processEvents();
    bool ok = save(*panel, folder, "setup_panel", size);
    ok = saveWithPanel(*frame, *panel, folder, "setup_panel_window", size) && ok;
    panel->setExtended(true);
    QApplication::processEvents();
    ok = save(*panel, folder, "setup_panel_extended", size) && ok;
    ok = saveWithPanel(*frame, *panel, folder, "setup_panel_extended_window", size) && ok;
    panel->changeChannel(1);
    QApplication::processEvents();
    ok = save(*panel, folder, "setup_panel_tcd1304", size) && ok;
    panel->reject();
    QApplication::processEvents();
    return ok;
}

// A popup panel alone and drawn over the main window where it opens.
bool savePanelAndScene(QWidget &window, QWidget &panel, const QString &folder, const QString &name,
                       QSize size) {
    QApplication::processEvents();
    const bool ok = save(panel, folder, name, size);
    return saveWithPanel(window, panel, folder, name + "_in_window", size) && ok;
}

// The dark, reference and TEC panels of the button bar.
bool shootSourcePanels(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    // The TCD1304 unit has the built-in shutter.
    view.changeChannel(1);
    settle(session);
    clickMain(view.button(command::kDarkScanPanel));
    clickMain(view.button(command::kRefScanPanel));
    view.openDarkPanel();
    bool ok = false;
    if (auto *dark = qobject_cast<CDarkPanel *>(view.configPanel())) {
        dark->chooseSource(DarkSource::File);
        ok = savePanelAndScene(*frame, *dark, folder, "dark_panel", size);
        dark->closeButton().click();
    }
    QApplication::processEvents();
    view.openReferencePanel();
    if (auto *reference = qobject_cast<CReferencePanel *>(view.configPanel())) {
        reference->chooseSource(ReferenceSource::ColourTile);
        ok = savePanelAndScene(*frame, *reference, folder, "reference_panel", size) && ok;
        reference->chooseSource(ReferenceSource::CurrentScan);
        reference->closeButton().click();
    } else {
        ok = false;
    }
    QApplication::processEvents();
    view.changeChannel(2);
    settle(session);
    view.openTecPanel();
    if (auto *tec = qobject_cast<CTecPanel *>(view.configPanel())) {
        ok = savePanelAndScene(*frame, *tec, folder, "tec_panel", size) && ok;
        tec->closeButton().click();
    } else {
        ok = false;
    }
    QApplication::processEvents();
    return ok;
}

// The mode panel of a unit calibrated for irradiance, in T/R and in the
// absolute irradiance form, and the Customize sheet in factory form.
bool shootModeCustomize(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    runSimCommand("set 0 source dark");
    session.waitForFrames(2);
    view.runDarkScan();
    runSimCommand("set 0 source lamp");
    if (dc.CalibrateIrradiance(40) != OpResult::Done || !view.runReferenceScan()) {
        std::fprintf(stderr, "quillon_screenshots: no calibrated unit for the mode panel\n");
        return false;
    }
    session.prompter().clearShown();
    view.chooseDisplayMode(DisplayMode::TransRefl);
    bool ok = settle(session);
    view.openModePanel();
    auto *panel = qobject_cast<CModePanel *>(view.configPanel());
    if (panel == nullptr) {
        std::fprintf(stderr, "quillon_screenshots: the mode panel did not open\n");
        return false;
    }
    QApplication::processEvents();
    ok = save(*panel, folder, "mode_panel", size) && ok;
    ok = saveWithPanel(*frame, *panel, folder, "mode_panel_window", size) && ok;
    panel->modeChoice(DisplayMode::Irradiance).setChecked(true);
    panel->absoluteChoice().setChecked(true);
    QApplication::processEvents();
    ok = save(*panel, folder, "mode_panel_irradiance", size) && ok;
    panel->reject();
    QApplication::processEvents();

    CCustomizeSheet sheet(dc, true, frame);
    sheet.show();
    QApplication::processEvents();
    ok = save(sheet, folder, "customize_print_page", size) && ok;
    ok = saveWithPanel(*frame, sheet, folder, "customize_window", size) && ok;
    sheet.pages().setCurrentIndex(1);
    QApplication::processEvents();
    ok = save(sheet, folder, "customize_unit_information", size) && ok;
    sheet.reject();
    return ok;
}

// The wavelength calibration on the Hg-Ar lamp of the TCD1304 unit, whose
// calibration reads up to 1 nm off: the peaks pointed at, each given its
// line, with the fit's residuals; and the line chooser open.
bool shootWavelengthCalibration(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    view.changeChannel(1);
    runSimCommand("set 1 source dark");
    session.waitForFrames(2);
    clickMain(view.button(command::kDarkScanPanel));
    runSimCommand("set 1 source hgar");
    session.waitForFrames(3);
    if (!dc.ApplySetting("OVEdit", "1").empty()) {
        return false;
    }
    frame->updateCommandStates();
    frame->action(command::kWavelengthCalibration)->trigger();
    DlgCalibration *dialog = frame->calibrationDialog();
    if (dialog == nullptr) {
        std::fprintf(stderr, "quillon_screenshots: the calibration dialog did not open\n");
        return false;
    }
    dialog->findChild<QRadioButton *>("source4")->click();
    dialog->findChild<QPushButton *>("refreshButton")->click();
    const ChannelState &s = dc.State();
    const std::vector<analysis::Peak> peaks = dc.Peaks().Peaks();
    const std::vector<double> lines = dc.Calibrations().DatabaseLines();
    auto *table = dialog->findChild<QTableWidget *>("pointList");
    for (std::size_t rank = 1; rank <= peaks.size(); ++rank) {
        const double pixel[] = {peaks[rank - 1].position};
        const auto match = matchPeaksToLines(pixel, lines, s.geometry.wavelengthOfPixel,
                                             s.calibrationPolynomialOrder, 2.5);
        if (match.size() != 1 || peaks[rank - 1].saturated) {
            continue;
        }
        const int filledBefore = table->currentRow();
        emit frame->peakMessage(static_cast<int>(rank), 0);
        if (table->currentRow() != filledBefore) {
            table->item(table->currentRow(), 1)->setText(QString::number(match[0].lineNm, 'f', 2));
        }
    }
    QApplication::processEvents();
    bool ok = save(*dialog, folder, "wavelength_calibration", size);
    ok = saveWithPanel(*frame, *dialog, folder, "wavelength_calibration_window", size) && ok;

    table->setCurrentCell(3, 1);
    table->edit(table->model()->index(3, 1));
    if (auto *editor = table->findChild<QComboBox *>("wavelengthEditor")) {
        editor->showPopup();
        QApplication::processEvents();
        QPixmap picture = dialog->grab();
        QPainter painter(&picture);
        QWidget *popup = editor->view()->window();
        painter.drawPixmap(dialog->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
        painter.end();
        ok = savePicture(picture, folder, "wavelength_line_chooser", size) && ok;
        editor->hidePopup();
    }
    dialog->close();
    QApplication::processEvents();
    return ok;
}

// The EEPROM tool as it opens (after its Read), and with a template and
// its help button. Its size follows the font, not the window.
bool shootEepromTool(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CEepromToolDialog dialog(session.control(), frame);
    dialog.show();
    QApplication::processEvents();
    bool ok = save(dialog, folder, "eeprom_tool", size);
    if (auto *templateButton = dialog.findChild<QPushButton *>("templateButton")) {
        templateButton->click();
        QApplication::processEvents();
        ok = save(dialog, folder, "eeprom_tool_template", size) && ok;
    }
    return ok;
}

// The Color tab after a dark and a reference scan, with a green band-pass
// filter as the sample: the charts and tile while it runs, the colour list
// after "&Stop", and each of its three panels over the window.
bool shootColourView(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    takeDarkAndReference(session, view);
    runSimCommand("set 0 sample filter 530 60");
    QTabWidget &tabs = frame->tabs();
    if (!tabs.isTabEnabled(1)) {
        std::fprintf(stderr, "quillon_screenshots: the Color tab stayed disabled\n");
        return false;
    }
    tabs.setCurrentIndex(1);
    CColorGraph &colour = frame->colourView();
    const auto waitForColour = [&colour](std::uint64_t count) {
        const std::uint64_t target = colour.framesShown() + count;
        return QTest::qWaitFor([&] { return colour.framesShown() >= target; }, 10000);
    };
    bool ok = waitForColour(3) && save(*frame, folder, "colour_view", size);
    colour.toggleHold();
    QApplication::processEvents();
    ok = save(*frame, folder, "colour_view_stopped", size) && ok;
    colour.toggleHold();
    ok = waitForColour(2) && ok;
    const auto shootPanel = [&](const char *name) {
        PopupPanel *panel = colour.openPanel();
        if (panel == nullptr) {
            std::fprintf(stderr, "quillon_screenshots: the %s panel did not open\n", name);
            return false;
        }
        const bool saved = savePanelAndScene(*frame, *panel, folder, name, size);
        panel->reject();
        QApplication::processEvents();
        return saved;
    };
    colour.openSetupPanel();
    ok = shootPanel("colour_setup_panel") && ok;
    colour.openReferencePanel();
    if (auto *reference = qobject_cast<CColourReferencePanel *>(colour.openPanel())) {
        reference->selectData().setChecked(true);
    }
    ok = shootPanel("colour_reference_panel") && ok;
    colour.openExportPanel();
    ok = shootPanel("colour_export_panel") && ok;
    tabs.setCurrentIndex(0);
    return ok;
}

} // namespace

// The printed data sheet of the Hg-Ar lamp with its peaks on the wavelength
// axis, drawn as an A4 page at 100 dpi, and the print preview of it.
bool shootDataSheet(QSize size, const QString &folder) {
    GuiSession session;
    CMainFrame *frame = startFrame(session, size);
    if (frame == nullptr) {
        return false;
    }
    CQuillonView &view = frame->scopeView();
    runSimCommand("set 0 source dark");
    session.waitForFrames(2);
    clickMain(view.button(command::kDarkScanPanel));
    runSimCommand("set 0 source hgar");
    session.waitForFrames(3);
    view.changeXUnit(static_cast<int>(XUnit::Wavelength));
    session.waitForFrames(2);
    view.runFindPeak();
    QApplication::processEvents();

    QImage page(827, 1169, QImage::Format_RGB32);
    page.setDotsPerMeterX(3937); // 100 dpi
    page.setDotsPerMeterY(3937);
    page.fill(Qt::white);
    bool ok = false;
    {
        QPainter painter(&page);
        ok = view.composeSheet().paint(painter);
    }
    ok = ok && savePicture(QPixmap::fromImage(page), folder, "data_sheet", size);

    bool previewSaved = false;
    QTimer::singleShot(300, frame, [&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QPrintPreviewDialog *>(top);
                dialog != nullptr && dialog->isVisible()) {
                previewSaved = save(*dialog, folder, "print_preview", size);
                dialog->reject();
            }
        }
    });
    view.previewSheet();
    view.clearPeaks();
    return ok && previewSaved;
}

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: quillon_screenshots FOLDER\n");
        return 2;
    }
    const QString folder = QDir(arguments[1]).absolutePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "quillon_screenshots: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    bool ok = true;
    for (const QSize size : {QSize(1920, 1080), QSize(1280, 720), QSize(1024, 700)}) {
        ok = shootAt(size, folder) && ok;
        ok = shootIrradiance(size, folder) && ok;
        ok = shootSetupPanel(size, folder) && ok;
        if (size.width() != 1024) {
            ok = shootModeCustomize(size, folder) && ok;
            ok = shootSourcePanels(size, folder) && ok;
            ok = shootWavelengthCalibration(size, folder) && ok;
            ok = shootEepromTool(size, folder) && ok;
            ok = shootDataSheet(size, folder) && ok;
        }
        ok = shootColourView(size, folder) && ok;
    }
    return ok ? 0 : 1;
}
