// Qt Test of the mode panel and the Customize sheet on the simulated bench:
// the lock the panel holds, what its OK and Cancel do to the window, the
// entry limits, and the Print Page texts the sheet reads and writes.
#include "dialogs/customize_sheet.h"
#include "dialogs/mode_panel.h"
#include "gui_fixture.h"
#include "shell/commands.h"
#include "shell/status_panes.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace quillon;
using namespace quillon::test;

class ModeCustomizeTest : public QObject {
    Q_OBJECT

private slots:
    void modePanelHoldsTheLockAndOkSwitchesTheWindowToTheChosenMode();
    void irradianceControlsFollowTheFormAndScopeLeavesIrradiance();
    void customizeShowsDefaultsAndWritesThemBack();
    void customizeOnAnUnreadableFileTellsAndKeepsIt();
};

namespace {

bool darkAndReference(GuiSession &session) {
    CQuillonView &view = session.frame().scopeView();
    // Frames the unit began under the light before are neither dark nor lamp.
    runSimCommand("set 0 source dark");
    if (!session.waitForFrames(2) || !view.runDarkScan()) {
        return false;
    }
    runSimCommand("set 0 source lamp");
    return session.waitForFrames(2) && view.runReferenceScan() && view.modeButtonEnabled();
}

CModePanel *openPanel(GuiSession &session) {
    session.frame().scopeView().openModePanel();
    return qobject_cast<CModePanel *>(session.frame().scopeView().configPanel());
}

QString modeButtonText(GuiSession &session) {
    return session.frame().scopeView().button(command::kModePanel)->text();
}

void press(QDialog &dialog, QDialogButtonBox::StandardButton which) {
    auto *buttons = dialog.findChild<QDialogButtonBox *>();
    QVERIFY(buttons != nullptr);
    QTest::mouseClick(buttons->button(which), Qt::LeftButton);
}

std::string fileText(const QString &path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Types into a spin box as the user would: all selected, then the keys.
void typeInto(QAbstractSpinBox &box, const QString &keys) {
    box.setFocus();
    box.selectAll();
    QTest::keyClicks(&box, keys);
    box.interpretText();
}

} // namespace

void ModeCustomizeTest::modePanelHoldsTheLockAndOkSwitchesTheWindowToTheChosenMode() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    QVERIFY(darkAndReference(session));
    DataControl &dc = session.control();

    CModePanel *panel = openPanel(session);
    QVERIFY(panel != nullptr);
    QCOMPARE(panel->objectName(), QString("1010"));
    QVERIFY(panel->acquisitionPaused());
    QVERIFY(dc.State().flags.status.test(status_bits::kHold));
    // No calibration on this unit: no irradiance choice and no controls.
    QVERIFY(!panel->modeChoice(DisplayMode::Irradiance).isEnabled());
    QVERIFY(panel->irradianceGroup() == nullptr);
    QVERIFY(panel->modeChoice(DisplayMode::Scope).isChecked());
    QVERIFY(!panel->maxBox().isEnabled());

    panel->modeChoice(DisplayMode::TransRefl).setChecked(true);
    QCOMPARE(panel->unitLabel().text(), QString("(%)"));
    QCOMPARE(panel->maxBox().value(), 110.0);
    QVERIFY(panel->maxBox().isEnabled());

    // The window takes odd sizes from 3 to 21 only.
    QSpinBox &window = panel->filterWindow();
    typeInto(window, "4");
    QCOMPARE(window.value(), 3);
    typeInto(window, "12");
    QCOMPARE(window.value(), 3);
    typeInto(window, "7");
    QCOMPARE(window.value(), 7);
    panel->lowPassFilter().setChecked(true);

    // Cancel: nothing changes.
    press(*panel, QDialogButtonBox::Cancel);
    QTRY_VERIFY(frame->scopeView().configPanel() == nullptr);
    QVERIFY(!dc.State().flags.status.test(status_bits::kHold));
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope);
    QCOMPARE(dc.State().settings.filterOn, 0);
    QCOMPARE(dc.State().settings.filterWin, 3);
    QCOMPARE(modeButtonText(session), QString("&Scope"));

    panel = openPanel(session);
    QVERIFY(panel != nullptr);
    panel->modeChoice(DisplayMode::TransRefl).setChecked(true);
    typeInto(panel->maxBox(), "90");
    typeInto(panel->filterWindow(), "7");
    panel->lowPassFilter().setChecked(true);
    // Acquisition stands still while the panel is open.
    QTest::qWait(50);
    const std::uint64_t framesWhileOpen = frame->scopeView().framesPresented();
    QTest::qWait(300);
    QCOMPARE(frame->scopeView().framesPresented(), framesWhileOpen);
    press(*panel, QDialogButtonBox::Ok);
    QTRY_VERIFY(frame->scopeView().configPanel() == nullptr);
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::TransRefl);
    QCOMPARE(dc.State().display.trMax, 90.0f);
    QCOMPARE(dc.State().settings.filterOn, 1);
    QCOMPARE(dc.State().settings.filterWin, 7);
    QCOMPARE(modeButtonText(session), QString("&T/R(%)"));
    QCOMPARE(frame->statusPanes().paneText(6), QString("TRANSMITTANCE"));
    QVERIFY(!dc.State().flags.status.test(status_bits::kHold));
    QVERIFY(session.waitForFrames(2)); // acquisition runs again
    QVERIFY(session.prompter().shown().empty());
}

void ModeCustomizeTest::irradianceControlsFollowTheFormAndScopeLeavesIrradiance() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    DataControl &dc = session.control();
    QVERIFY(darkAndReference(session));
    runSimCommand("set 0 source dark");
    QVERIFY(session.waitForFrames(2));
    QVERIFY(frame->scopeView().runDarkScan());
    runSimCommand("set 0 source lamp");
    QVERIFY(session.waitForFrames(2));
    QCOMPARE(dc.CalibrateIrradiance(40), OpResult::Done);
    QVERIFY(frame->scopeView().runReferenceScan());
    session.prompter().clearShown();
    dc.SetWavelengthBase(false);

    CModePanel *panel = openPanel(session);
    QVERIFY(panel != nullptr);
    QVERIFY(panel->irradianceGroup() != nullptr);
    QVERIFY(panel->modeChoice(DisplayMode::Irradiance).isEnabled());
    // Held on pixels: the relative form, with its temperature only.
    QVERIFY(panel->relativeChoice().isChecked());
    QVERIFY(panel->temperature().isEnabled());
    QVERIFY(!panel->distance().isEnabled());
    panel->modeChoice(DisplayMode::Irradiance).setChecked(true);
    QCOMPARE(panel->unitLabel().text(), QString("(%/nm)"));
    panel->absoluteChoice().setChecked(true);
    QCOMPARE(panel->unitLabel().text(), QString("(uW/cm^2/nm)"));
    QVERIFY(!panel->temperature().isEnabled());
    QVERIFY(panel->distance().isEnabled() && panel->solidAngle().isEnabled());
    typeInto(panel->distance(), "60");
    typeInto(panel->solidAngle(), "120");
    panel->illuminance().setChecked(true);
    press(*panel, QDialogButtonBox::Ok);
    QTRY_VERIFY(frame->scopeView().configPanel() == nullptr);
    QCOMPARE(modeButtonText(session), QString("&Illuminance"));
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Irradiance);
    QVERIFY(dc.Photometry().Calibration() != nullptr);
    QCOMPARE(dc.State().settings.irradDist, 60);
    QCOMPARE(frame->statusPanes().paneText(6), QString("IRRADIANCE"));
    QVERIFY(session.waitForFrames(2));

    panel = openPanel(session);
    QVERIFY(panel != nullptr);
    QVERIFY(panel->modeChoice(DisplayMode::Irradiance).isChecked());
    QVERIFY(panel->absoluteChoice().isChecked());
    QCOMPARE(panel->distance().value(), 60);
    panel->modeChoice(DisplayMode::Scope).setChecked(true);
    press(*panel, QDialogButtonBox::Ok);
    QTRY_VERIFY(frame->scopeView().configPanel() == nullptr);
    QCOMPARE(modeButtonText(session), QString("&Scope"));
    QCOMPARE(dc.State().flags.displayMode(), DisplayMode::Scope);
    QVERIFY(dc.Photometry().Calibration() == nullptr);
    QVERIFY(session.prompter().shown().empty());
}

void ModeCustomizeTest::customizeShowsDefaultsAndWritesThemBack() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    const QString settings = session.path("QuillonX.ini");
    QVERIFY(fileText(settings).find("[Print Page]") == std::string::npos);

    // Through the menu, without Ctrl: one page, and the flag for printing.
    bool checked = false;
    QTimer::singleShot(0, this, [&checked] {
        auto *sheet = qobject_cast<CCustomizeSheet *>(QApplication::activeModalWidget());
        if (sheet != nullptr) {
            checked = sheet->windowTitle() == "Customize..." && sheet->pages().count() == 1 &&
                      sheet->slit() == nullptr && sheet->pages().tabText(0) == "Set Print Page " &&
                      sheet->organization().text() == "Orvantis";
            sheet->reject();
        }
    });
    frame->scopeView().setFactoryForm(true);
    frame->action(command::kCustomize)->trigger();
    QVERIFY(checked);
    QVERIFY(!frame->scopeView().factoryForm());

    CCustomizeSheet sheet(session.control(), true, frame);
    QCOMPARE(sheet.pages().count(), 2);
    QCOMPARE(sheet.pages().tabText(1), QString("Unit Information"));
    QCOMPARE(sheet.organization().text(), QString("Orvantis"));
    QCOMPARE(sheet.sample().text(), QString("Sample"));
    QCOMPARE(sheet.slit()->text(), QString("Slit"));
    QCOMPARE(sheet.grating()->text(), QString("Grating"));
    QCOMPARE(sheet.boardSerial()->text(), QString("BoardSerial"));
    sheet.sample().setText("Leaf");
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    const std::string written = fileText(settings);
    for (const char *entry : {"Organization=Orvantis", "Operator=Manager", "Sample=Leaf",
                              "Slit=Slit", "Grating=Grating", "Filter=Filter", "CCD=CCD",
                              "IOBoard=IOBoard", "BoardSerial=BoardSerial"}) {
        QVERIFY2(written.find(entry) != std::string::npos, entry);
    }
    // The close sequence keeps them.
    frame->close();
    QVERIFY(frame->closedDown());
    QVERIFY(fileText(settings).find("Sample=Leaf") != std::string::npos);
    QVERIFY(session.prompter().shown().empty());
}

void ModeCustomizeTest::customizeOnAnUnreadableFileTellsAndKeepsIt() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    const std::filesystem::path settings = session.path("QuillonX.ini").toStdString();
    std::filesystem::remove(settings);
    std::filesystem::create_directories(settings / "in the way");

    CCustomizeSheet sheet(session.control(), true, frame);
    auto shown = session.prompter().textsOf(PromptKind::Message);
    QCOMPARE(shown.size(), std::size_t{2});
    QVERIFY(shown[0].rfind(print_page_messages::kOpenInCustomInit, 0) == 0);
    QVERIFY(shown[1].rfind(print_page_messages::kOpenInUnitInit, 0) == 0);
    QVERIFY(sheet.organization().text().isEmpty());
    sheet.organization().setText("Lab");
    sheet.open();
    sheet.accept();
    // Told, still open with what was typed, and the file as it was.
    shown = session.prompter().textsOf(PromptKind::Message);
    QCOMPARE(shown.size(), std::size_t{3});
    QVERIFY(shown[2].rfind(print_page_messages::kOpenInCustomOk, 0) == 0);
    QVERIFY(sheet.isVisible());
    QCOMPARE(sheet.organization().text(), QString("Lab"));
    QVERIFY(std::filesystem::is_directory(settings / "in the way"));
    sheet.reject();
    session.prompter().clearShown();
    std::filesystem::remove_all(settings);
}

QTEST_MAIN(ModeCustomizeTest)
#include "mode_customize_test.moc"
