// Qt Test of the irradiance calibration dialog against the simulator's
// calibrated lamp, and of the readout panel in the absolute irradiance it
// makes possible.
#include "gui_fixture.h"
#include "shell/commands.h"
#include "shell/text_panel.h"
#include "sim/optics.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>

#include <filesystem>

using namespace quillon;
using namespace quillon::test;

class IrradianceDialogTest : public QObject {
    Q_OBJECT

private slots:
    void calibratesAgainstTheLampAndFreesAcquisitionOnClose();
    void aSaturatedLampScanIsRefusedAndLeavesNoFile();
};

namespace {

QAction *calibrationCommand(CMainFrame &frame) {
    frame.updateCommandStates();
    return frame.action(command::kIrradianceCalibration);
}

CIrradianceDialog *openDialog(GuiSession &session) {
    CMainFrame &frame = session.frame();
    runSimCommand("set 0 source dark");
    // A frame the unit began under the light before is not the dark.
    if (!session.waitForFrames(2) || !frame.scopeView().runDarkScan()) {
        return nullptr;
    }
    QAction *open = calibrationCommand(frame);
    if (!open->isEnabled()) {
        return nullptr;
    }
    open->trigger();
    return frame.irradianceDialog();
}

} // namespace

void IrradianceDialogTest::calibratesAgainstTheLampAndFreesAcquisitionOnClose() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    DataControl &dc = session.control();
    // No dark yet: nothing to subtract from the lamp.
    QVERIFY(!calibrationCommand(*frame)->isEnabled());
    QVERIFY(!calibrationCommand(*frame)->toolTip().contains("later"));
    dc.SetOption(option_bits::kRelativeIrradiance, true);

    CIrradianceDialog *dialog = openDialog(session);
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->ready());
    QVERIFY(dialog->isVisible() && !dialog->isModal());
    QCOMPARE(dialog->objectName(), QString("1166"));
    QVERIFY(!dc.State().flags.option.test(option_bits::kRelativeIrradiance));
    QVERIFY(dc.State().flags.status.test(status_bits::kHold));
    QCOMPARE(dialog->distance().minimum(), 1);
    QCOMPARE(dialog->distance().maximum(), 9999);
    QCOMPARE(dialog->distance().value(), dc.State().settings.irradDist);
    QVERIFY(!dialog->integration().isEnabled());
    QCOMPARE(dialog->integration().value(), static_cast<double>(dc.State().limits.current));
    QVERIFY(!dialog->calibrateButton().isEnabled());
    // A second command brings the same dialog forward.
    frame->action(command::kIrradianceCalibration)->trigger();
    QCOMPARE(frame->irradianceDialog(), dialog);

    runSimCommand("set 0 source lamp");
    QTest::mouseClick(&dialog->scanButton(), Qt::LeftButton);
    const IrradianceCalibration *c = dc.Photometry().Calibration();
    QVERIFY(c != nullptr);
    const auto shown = static_cast<std::size_t>(c->lastPixel - c->firstPixel + 1);
    QCOMPARE(dialog->countsPlot().trace().size(), shown);
    QCOMPARE(dialog->countsPlot().top(), static_cast<double>(dc.State().display.countMax));
    QVERIFY(*std::max_element(dialog->countsPlot().trace().begin(),
                              dialog->countsPlot().trace().end()) > 1000.0f);
    QVERIFY(dialog->calibrateButton().isEnabled());

    dialog->distance().setValue(50);
    QTest::mouseClick(&dialog->calibrateButton(), Qt::LeftButton);
    const auto told = session.prompter().textsOf(PromptKind::Message);
    QVERIFY2(std::filesystem::exists(session.path("OVIrrad_0.cal").toStdString()),
             qPrintable(dialog->statusText() + " " +
                        QString::fromStdString(told.empty() ? std::string() : told.back())));
    QVERIFY(dialog->statusText().startsWith("Calibrated at 50 cm: OVIrrad_0.cal"));
    // The lower plot is the lamp by its own calibration: the lamp's
    // irradiance at 50 cm, pixel by pixel.
    const std::vector<float> &lamp = dialog->irradiancePlot().trace();
    QCOMPARE(lamp.size(), shown);
    QCOMPARE(dialog->irradiancePlot().top(), 4.0);
    const std::vector<float> &wavelengths = dc.State().buffers.wavelengthTable;
    int checked = 0;
    for (std::size_t k = 0; k < lamp.size(); k += 50) {
        const double nm = wavelengths[static_cast<std::size_t>(c->firstPixel) + k];
        const double truth = ov::sim::calibratedLampIrradiance(nm, 50.0);
        if (truth > 0.3) {
            QVERIFY2(std::abs(lamp[k] / truth - 1.0) < 0.01, qPrintable(QString::number(nm)));
            ++checked;
        }
    }
    QVERIFY(checked > 10);

    dialog->distance().setValue(40);
    dialog->close();
    QTRY_VERIFY(frame->irradianceDialog() == nullptr);
    QVERIFY(!dc.State().flags.status.test(status_bits::kHold));
    QCOMPARE(dc.State().settings.irradDist, 40);
    QVERIFY(session.waitForFrames(2));

    // The calibration in use: absolute irradiance shows its totals.
    QCOMPARE(dc.ApplySetting("base", "wavelength"), std::string());
    QCOMPARE(dc.ApplySetting("irradiance", "absolute"), std::string());
    QCOMPARE(dc.ApplySetting("mode", "irradiance"), std::string());
    QVERIFY(!calibrationCommand(*frame)->isEnabled()); // not in irradiance display
    QVERIFY(session.waitForFrames(2));
    frame->scopeView().refreshTextPanel();
    const auto *panel = frame->findChild<CTextPanel *>();
    QVERIFY(panel != nullptr);
    QTRY_VERIFY2(panel->toPlainText().contains("Total Irrad. (uW/cm^2): "),
                 qPrintable(panel->toPlainText()));
    QVERIFY(panel->toPlainText().contains("Color Temp. (K): 0"));
    QVERIFY(session.prompter().shown().empty());
}

void IrradianceDialogTest::aSaturatedLampScanIsRefusedAndLeavesNoFile() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CIrradianceDialog *dialog = openDialog(session);
    QVERIFY(dialog != nullptr);
    runSimCommand("set 0 source lamp");
    runSimCommand("set 0 distance 5");
    dialog->scan();
    dialog->calibrate();
    QCOMPARE(dialog->statusText(), QString("Not calibrated."));
    QVERIFY(dialog->irradiancePlot().trace().empty());
    QVERIFY(!std::filesystem::exists(session.path("OVIrrad_0.cal").toStdString()));
    const auto messages = session.prompter().textsOf(PromptKind::Message);
    QCOMPARE(messages.size(), std::size_t{1});
    QVERIFY(messages[0].find("saturated") != std::string::npos);
    // Closing the frame with the dialog open ends its suspend first.
    frame->close();
    QVERIFY(frame->closedDown());
    QVERIFY(frame->irradianceDialog() == nullptr);
}

QTEST_MAIN(IrradianceDialogTest)
#include "irradiance_dialog_test.moc"
