// The EEPROM tool dialog on the simulated bench: a template typed into and
// written to the unit, the marks its title and help button show, the
// question on unsaved edits, and the channel ID list.
#include "gui_fixture.h"

#include "datacontrol/eeprom_tool_text.h"
#include "datacontrol/messages.h"
#include "datacontrol/unit_text.h"
#include "dialogs/eeprom_tool_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>

#include <filesystem>

using namespace quillon;
using namespace quillon::test;

namespace {

const QString kTitle = "OV Channel Setup Controller";

template <typename Widget>
Widget &part(QDialog &dialog, const char *name) {
    auto *found = dialog.findChild<Widget *>(name);
    if (found == nullptr) {
        qFatal("no widget %s", name);
    }
    return *found;
}

std::string unitText() {
    return runSimCommand("eeprom 0").text;
}

// The pane's text as the unit would keep it.
std::string paneAsUnitText(QPlainTextEdit &pane) {
    return UnitTextForEeprom(pane.toPlainText().toStdString());
}

void typeAfter(QPlainTextEdit &pane, const QString &key, const QString &typed) {
    QTextCursor cursor = pane.document()->find(key);
    QVERIFY(!cursor.isNull());
    cursor.clearSelection(); // typing goes after the key, not over it
    pane.setTextCursor(cursor);
    QTest::keyClicks(&pane, typed);
}

} // namespace

class EepromToolDialogTest : public QObject {
    Q_OBJECT

private slots:
    void aTemplateTypedIntoIsWrittenAndBecomesTheUnitFile();
    void theIdListShowsAnEightAndChangeWritesTheChosenId();
};

void EepromToolDialogTest::aTemplateTypedIntoIsWrittenAndBecomesTheUnitFile() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    DataControl &dc = session.control();
    QCOMPARE(dc.State().currentChannel, 0);

    CEepromToolDialog dialog(dc, frame);
    dialog.show();
    auto &pane = part<QPlainTextEdit>(dialog, "eepromPane");
    auto &help = part<QPushButton>(dialog, "templateHelpButton");
    QCOMPARE(paneAsUnitText(pane), unitText());
    QCOMPARE(dialog.windowTitle(), kTitle);
    QVERIFY(!help.isVisible());

    QTest::mouseClick(&part<QPushButton>(dialog, "templateButton"), Qt::LeftButton);
    QVERIFY(help.isVisible());
    QCOMPARE(dialog.windowTitle(), kTitle + "*");
    const SensorGeometry &sensor = dc.State().geometry;
    QCOMPARE(pane.toPlainText().toStdString(),
             withUnitLineEnds(eepromTemplate(sensor.boardType, sensor.inGaAsKind, 0)));
    QTest::mouseClick(&help, Qt::LeftButton);
    QCOMPARE(session.prompter().textsOf(PromptKind::Message).back(),
             std::string(messages::kToolTemplateHelp));

    typeAfter(pane, "Name=", "gui1");
    QTest::mouseClick(&part<QPushButton>(dialog, "writeButton"), Qt::LeftButton);
    const std::string held = unitText();
    QVERIFY2(held.find("Name=gui1\n") != std::string::npos, held.c_str());
    QVERIFY(held.find("IrradDist=50\n") != std::string::npos);
    QVERIFY(dialog.unitTextWritten());
    QCOMPARE(dialog.windowTitle(), kTitle);
    QVERIFY(!help.isVisible());
    QCOMPARE(paneAsUnitText(pane), held);

    // An edit stars the title; Read asks, and No keeps what was typed.
    typeAfter(pane, "IntTime=35", "0");
    QCOMPARE(dialog.windowTitle(), kTitle + "*");
    const QString typed = pane.toPlainText();
    session.prompter().queueYesNo(false);
    QTest::mouseClick(&part<QPushButton>(dialog, "readButton"), Qt::LeftButton);
    QCOMPARE(pane.toPlainText(), typed);
    QCOMPARE(dialog.windowTitle(), kTitle + "*");
    session.prompter().queueYesNo(true);
    QTest::mouseClick(&part<QPushButton>(dialog, "readButton"), Qt::LeftButton);
    QCOMPARE(paneAsUnitText(pane), held);
    QCOMPARE(dialog.windowTitle(), kTitle);
    QCOMPARE(session.prompter().textsOf(PromptKind::YesNo).size(), std::size_t{2});

    // OK after the write: the unit's text is its unit file under its serial.
    QTest::mouseClick(&part<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    const auto unitFile = dc.State().currentInfo().unitFile;
    QCOMPARE(unitFile, dc.State().iniFolder / "GUI1.ini");
    QVERIFY(std::filesystem::exists(unitFile));
    QVERIFY(session.prompter().problems().empty());
}

void EepromToolDialogTest::theIdListShowsAnEightAndChangeWritesTheChosenId() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    DataControl &dc = session.control();
    const int channel = dc.State().currentChannel;
    {
        SuspendedAcquisition hold(dc.Hold(), HoldBy::Dialog);
        QVERIFY(hold.paused());
        QVERIFY(dc.Unit().writeChannelId(8, channel));
    }

    CEepromToolDialog dialog(dc, frame);
    dialog.show();
    auto &list = part<QComboBox>(dialog, "channelIdList");
    QCOMPARE(list.count(), 9);
    QCOMPARE(list.currentText(), QString("8"));
    QCOMPARE(part<QLabel>(dialog, "channelIdText").text(), QString("8"));

    list.setCurrentIndex(list.findText("2"));
    QTest::mouseClick(&part<QPushButton>(dialog, "changeButton"), Qt::LeftButton);
    QCOMPARE(part<QLabel>(dialog, "channelIdText").text(), QString("2"));
    QCOMPARE(list.count(), 8);
    QCOMPARE(list.currentText(), QString("2"));
    QCOMPARE(dialog.windowTitle(), kTitle + "*");
    QCOMPARE(dc.State().channelId, 2);
    {
        SuspendedAcquisition hold(dc.Hold(), HoldBy::Dialog);
        QCOMPARE(dc.Unit().readChannelId(channel).value_or(-1), short{2});
    }

    // Closing with the change unwritten asks; No stays open.
    session.prompter().queueYesNo(false);
    QTest::mouseClick(&part<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    session.prompter().queueYesNo(true);
    dialog.reject();
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.unitTextWritten());
    QVERIFY(session.prompter().problems().empty());
}

QTEST_MAIN(EepromToolDialogTest)
#include "eeprom_tool_dialog_test.moc"
