// Qt Test of the wavelength calibration dialog on the simulated bench's
// Hg-Ar lamp: opened from the Calibration menu, fed by the graph's peak
// tips, its line chooser, and a set kept, applied and written into the unit.
#include "datacontrol/profile_file.h"
#include "dialogs/calibration_dialog.h"
#include "gui_fixture.h"
#include "shell/commands.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableWidget>
#include <QTimer>

using namespace quillon;
using namespace quillon::test;

class CalibrationDialogTest : public QObject {
    Q_OBJECT

private slots:
    void peakTipsAndTheLineChooserMakeASetThatIsKeptAndApplied();
    void theEepromButtonsNeedTheEditSettingAndWriteWithABackup();
    void anEepromEditSetsTheChannelUpAgainFromTheUnit();
};

namespace {

DlgCalibration *openOnLamp(GuiSession &session) {
    CMainFrame &frame = session.frame();
    // Peaks are found above the dark.
    runSimCommand("set 0 source dark");
    if (!session.waitForFrames(2) || !frame.scopeView().runDarkScan()) {
        return nullptr;
    }
    runSimCommand("set 0 source hgar");
    if (!session.waitForFrames(2)) {
        return nullptr;
    }
    frame.updateCommandStates();
    QAction *open = frame.action(command::kWavelengthCalibration);
    if (!open->isEnabled()) {
        return nullptr;
    }
    open->trigger();
    return frame.calibrationDialog();
}

template <typename T>
T *child(QWidget *dialog, const char *name) {
    return dialog->findChild<T *>(name);
}

QString cell(QTableWidget *table, int row, int column) {
    return table->item(row, column)->text();
}

} // namespace

void CalibrationDialogTest::peakTipsAndTheLineChooserMakeASetThatIsKeptAndApplied() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    DataControl &dc = session.control();
    DlgCalibration *dialog = openOnLamp(session);
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->isVisible() && !dialog->isModal());
    QCOMPARE(dialog->windowTitle(), QString("Calibration for Wavelength"));
    auto *table = child<QTableWidget>(dialog, "pointList");
    auto *sets = child<QComboBox>(dialog, "setList");
    QCOMPARE(table->rowCount(), 20);
    QCOMPARE(sets->count(), 1);
    QVERIFY(sets->itemText(0).endsWith("[Dflt]"));
    QVERIFY(child<QRadioButton>(dialog, "source3")->isChecked());
    QVERIFY(!child<QPushButton>(dialog, "applyButton")->isEnabled());
    QVERIFY(!child<QGroupBox>(dialog, "eepromGroup")->isVisible());
    // The menu command brings the open dialog forward.
    frame->action(command::kWavelengthCalibration)->trigger();
    QCOMPARE(frame->calibrationDialog(), dialog);

    QTest::mouseClick(child<QRadioButton>(dialog, "source4"), Qt::LeftButton);
    QCOMPARE(cell(table, 0, 1), QString());
    QVERIFY(sets->isEnabled());
    QTest::mouseClick(child<QPushButton>(dialog, "refreshButton"), Qt::LeftButton);
    QVERIFY(dc.Peaks().size() >= 3);
    const auto peaks = dc.Peaks().Peaks();
    emit frame->peakMessage(1, 0);
    emit frame->peakMessage(1, 0);
    emit frame->peakMessage(2, 0);
    QCOMPARE(cell(table, 0, 2), QString::number(std::lround(peaks[0].position)));
    QCOMPARE(cell(table, 1, 2), QString::number(std::lround(peaks[1].position)));
    QCOMPARE(cell(table, 2, 2), QString());
    QCOMPARE(table->currentRow(), 1);

    // The wavelength editor offers the lines under their 30 nm headings.
    table->setCurrentCell(0, 1);
    table->edit(table->model()->index(0, 1));
    auto *editor = table->findChild<QComboBox *>("wavelengthEditor");
    QVERIFY(editor != nullptr);
    const int heading = editor->findText("420 - 450");
    QVERIFY(heading >= 0);
    const auto *model = static_cast<QStandardItemModel *>(editor->model());
    QVERIFY(!model->item(heading)->isEnabled());
    const int line = editor->findText("435.83", Qt::MatchContains);
    QVERIFY(line > heading);
    editor->setCurrentIndex(line);
    table->setCurrentCell(5, 2); // leaving the cell hands the choice over
    QTRY_COMPARE(cell(table, 0, 1), QString(" 435.8"));
    table->item(1, 1)->setText("546.07");
    auto *fit = child<QLabel>(dialog, "fitSummary");
    QVERIFY(fit->text().contains("2 points"));
    QVERIFY(!cell(table, 0, 3).isEmpty());

    sets->setFocus();
    sets->lineEdit()->selectAll();
    QTest::keyClicks(sets->lineEdit(), "Lamp A");
    QTest::mouseClick(child<QPushButton>(dialog, "saveIniButton"), Qt::LeftButton);
    ProfileFile main(dc.State().mainSettingsPath);
    QVERIFY(main.Load());
    QCOMPARE(QString::fromStdString(main.GetText("Cal 1", "Name")), QString("Lamp A"));
    QCOMPARE(main.GetInt("Cal 1", "PointCount"), 2);
    QCOMPARE(sets->count(), 2);
    QCOMPARE(sets->currentIndex(), 1);

    // Two points fix a line: usable, and the title names the set in use.
    auto *apply = child<QPushButton>(dialog, "applyButton");
    QVERIFY(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    QCOMPARE(dc.State().settings.calNo, 1);
    QVERIFY(!apply->isEnabled());
    QVERIFY(frame->windowTitle().contains("Lamp A"));

    QTest::mouseClick(child<QPushButton>(dialog, "closeButton"), Qt::LeftButton);
    QTRY_VERIFY(frame->calibrationDialog() == nullptr);
}

void CalibrationDialogTest::theEepromButtonsNeedTheEditSettingAndWriteWithABackup() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    DataControl &dc = session.control();
    QCOMPARE(dc.ApplySetting("OVEdit", "1"), std::string());
    DlgCalibration *dialog = openOnLamp(session);
    QVERIFY(dialog != nullptr);
    QVERIFY(child<QGroupBox>(dialog, "eepromGroup")->isVisible());
    auto *save = child<QPushButton>(dialog, "saveEepromButton");
    QVERIFY(!save->isEnabled()); // the factory set is what the unit holds

    // The factory points become a custom set; that set goes into the unit.
    auto *sets = child<QComboBox>(dialog, "setList");
    QTest::mouseClick(child<QRadioButton>(dialog, "source0"), Qt::LeftButton);
    QVERIFY(sets->isEnabled());
    auto *table = child<QTableWidget>(dialog, "pointList");
    QVERIFY(!cell(table, 0, 1).isEmpty());
    sets->lineEdit()->selectAll();
    QTest::keyClicks(sets->lineEdit(), "QX10-S10417");
    table->item(0, 1)->setText(" 400.0");
    table->item(1, 1)->setText(" 800.0");
    table->item(0, 2)->setText("100");
    table->item(1, 2)->setText("900");
    for (int row = 2; row < table->rowCount(); ++row) {
        table->item(row, 1)->setText(QString());
    }
    QTest::mouseClick(child<QPushButton>(dialog, "saveIniButton"), Qt::LeftButton);
    QVERIFY(save->isEnabled());
    session.prompter().queueYesNo(true);
    QTest::mouseClick(save, Qt::LeftButton);
    const std::string unit = runSimCommand("eeprom 0").text;
    QVERIFY2(unit.find("Data 2=8000;900") != std::string::npos, unit.c_str());
    QVERIFY(QDir(session.path("Backup")).entryList(QDir::Files).size() == 1);
    QVERIFY(child<QRadioButton>(dialog, "source3")->isChecked());
    QVERIFY(child<QPushButton>(dialog, "applyButton")->isEnabled());
}

void CalibrationDialogTest::anEepromEditSetsTheChannelUpAgainFromTheUnit() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    DataControl &dc = session.control();
    QCOMPARE(dc.ApplySetting("OVEdit", "1"), std::string());
    DlgCalibration *dialog = openOnLamp(session);
    QVERIFY(dialog != nullptr);
    const ChannelState &s = dc.State();
    const double before =
        EvalPolynomial(s.geometry.wavelengthOfPixel, s.calibrationPolynomialOrder, 1.0);

    // In the tool: the first point moves 5 nm, written, then OK.
    bool edited = false;
    QTimer::singleShot(0, this, [&] {
        auto *tool = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        auto *pane = tool ? tool->findChild<QPlainTextEdit *>("eepromPane") : nullptr;
        if (pane == nullptr) {
            return;
        }
        QString text = pane->toPlainText();
        const int at = text.indexOf("Data 1=");
        const int semicolon = text.indexOf(';', at);
        const double nm = text.mid(at + 7, semicolon - at - 7).toDouble() / 10.0;
        text.replace(at, semicolon - at, QString("Data 1=%1").arg(std::lround((nm + 5.0) * 10.0)));
        pane->setPlainText(text);
        QTest::mouseClick(tool->findChild<QPushButton *>("writeButton"), Qt::LeftButton);
        QTest::mouseClick(tool->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        edited = true;
    });
    QTest::mouseClick(child<QPushButton>(dialog, "editEepromButton"), Qt::LeftButton);
    QVERIFY(edited);
    QVERIFY(runSimCommand("eeprom 0").text.find("Data 1=") != std::string::npos);
    // The channel now runs on what the unit holds, from its own unit file.
    QCOMPARE(s.currentInfo().unitFile.filename().string(),
             std::string(s.settings.modelName) + ".ini");
    const double after =
        EvalPolynomial(s.geometry.wavelengthOfPixel, s.calibrationPolynomialOrder, 1.0);
    QVERIFY2(std::abs(after - before) > 1.0,
             qPrintable(QString("%1 -> %2").arg(before).arg(after)));
    QVERIFY(!child<QPushButton>(dialog, "applyButton")->isEnabled());
    QVERIFY(dialog->isVisible());
}

QTEST_MAIN(CalibrationDialogTest)
#include "calibration_dialog_test.moc"
