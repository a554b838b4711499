// Qt Test of the setup panel of the "&QX Setup" button on the simulated
// default bench (a newer ILX511 unit, a TCD1304 unit, an InGaAs unit): the
// controls, ranges and enable rules it shows per unit, a channel change
// from the panel, an Apply as the unit and the window see it, memory data,
// colours, and a grid that cannot be built.
#include "gui_fixture.h"

#include "../datacontrol/failing_allocation.h"

#include "datacontrol/settings.h"
#include "dialogs/setup_panel.h"
#include "shell/commands.h"
#include "shell/quillon_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <cstdlib>

using namespace quillon;
using namespace quillon::test;

class SetupPanelTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheUnitsValuesRangesAndRules();
    void changesChannelAndAppliesToTheTcd1304();
    void memoryDataFromThePanel();
    void graphWordAndColours();
    void aGridThatCannotBeBuiltKeepsThePanelOpen();
};

namespace {

// The main window with its first frame drawn.
bool started(GuiSession &session) {
    return session.start() != nullptr && session.waitForFrames(1);
}

CSetupPanel *openPanel(CQuillonView &view) {
    view.openSetupPanel();
    auto *panel = qobject_cast<CSetupPanel *>(view.configPanel());
    if (panel == nullptr || !QTest::qWaitFor([panel] { return panel->isVisible(); }, 2000)) {
        return nullptr;
    }
    return panel;
}

void click(QAbstractButton &button) {
    QTest::mouseClick(&button, Qt::LeftButton, {}, button.rect().center());
}

void pressOk(CSetupPanel &panel) {
    for (QPushButton *b : panel.findChildren<QPushButton *>()) {
        if (b->text() == "OK") {
            click(*b);
            return;
        }
    }
    QFAIL("no OK button");
}

bool closed(CQuillonView &view) {
    return QTest::qWaitFor([&view] { return view.configPanel() == nullptr; }, 3000);
}

long long shownNumber(const std::string &shown, const std::string &name) {
    const auto at = shown.find(name + " ");
    return at == std::string::npos ? -1 : std::atoll(shown.c_str() + at + name.size() + 1);
}

std::string show(int slot) {
    return runSimCommand("show " + std::to_string(slot)).text;
}

} // namespace

void SetupPanelTest::showsTheUnitsValuesRangesAndRules() {
    GuiSession session;
    QVERIFY(started(session));
    CMainFrame *frame = &session.frame();
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    CSetupPanel *panel = openPanel(view);
    QVERIFY(panel != nullptr);
    // The panel holds acquisition while it is open.
    QVERIFY(dc.State().flags.status.test(status_bits::kDrawingSuspended));
    const ChannelState &s = dc.State();
    QCOMPARE(panel->integrationBox().decimals(), 0);
    QCOMPARE(panel->integrationBox().minimum(), double(s.limits.minimum));
    QCOMPARE(panel->integrationBox().maximum(), double(s.limits.maximum));
    QCOMPARE(panel->integrationBox().value(), double(s.limits.current));
    QCOMPARE(panel->memoryStatus().text(), QString("0 scan(s) in memory."));
    QVERIFY(!panel->memoryRadio().isEnabled());
    QVERIFY(!panel->deleteMemoryButton().isEnabled());
    QCOMPARE(panel->gridLimits().text(), QString("%1nm - %2nm")
                                             .arg(s.acquisition.calStartWavelength)
                                             .arg(s.acquisition.calEndWavelength));
    // A newer ILX511: software trigger, both edges, no scan choice.
    QVERIFY(panel->triggerRadio(SetupTrigger::Software).isEnabled());
    QCOMPARE(panel->edgeBox().count(), 2);
    QCOMPARE(panel->scanBox().count(), 0);
    click(panel->triggerRadio(SetupTrigger::Hardware));
    QVERIFY(panel->edgeBox().isEnabled());
    click(panel->triggerRadio(SetupTrigger::FreeRun));
    QVERIFY(!panel->edgeBox().isEnabled());
    QVERIFY(!panel->scanBox().isEnabled());

    // A typed value out of range is refused by the control.
    QLineEdit *edit = panel->timeAverageBox().findChild<QLineEdit *>();
    QVERIFY(edit != nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "5000");
    QCOMPARE(panel->timeAverageBox().value(), 500);

    // Compact and extended sizes, by the button and by the view's command.
    QVERIFY(!panel->extended());
    QVERIFY(!panel->gridStartBox().isVisible());
    const QSize compact = panel->size();
    click(panel->moreButton());
    QVERIFY(panel->extended());
    QVERIFY(panel->gridStartBox().isVisible());
    QCOMPARE(panel->moreButton().text(), QString("<< Less"));
    QVERIFY(panel->height() > compact.height());
    panel->toggleExtended();
    QCOMPARE(panel->moreButton().text(), QString("More >>"));

    // "Change ID" only for another identifier; the unit keeps the new one.
    QVERIFY(!panel->changeIdButton().isEnabled());
    panel->newIdBox().setCurrentIndex(5);
    QVERIFY(panel->changeIdButton().isEnabled());
    click(panel->changeIdButton());
    QCOMPARE(panel->channelIdLabel().text(), QString("5"));
    QCOMPARE(s.channelId, std::int16_t{5});
    QVERIFY(!panel->changeIdButton().isEnabled());
    QVERIFY(show(0).find("channel ID 5") != std::string::npos);

    // Cancel stores nothing and frees acquisition.
    panel->reject();
    QVERIFY(closed(view));
    QCOMPARE(s.acquisition.timeAverage, std::uint16_t{1});
    QVERIFY(!s.flags.status.test(status_bits::kDrawingSuspended));
    QVERIFY(session.waitForFrames(2));
}

void SetupPanelTest::changesChannelAndAppliesToTheTcd1304() {
    GuiSession session;
    QVERIFY(started(session));
    CMainFrame *frame = &session.frame();
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    CSetupPanel *panel = openPanel(view);
    QVERIFY(panel != nullptr);
    QCOMPARE(panel->channelBox().count(), 3);
    panel->channelBox().setCurrentIndex(1);
    QCOMPARE(dc.State().currentChannel, std::int16_t{1});
    QCOMPARE(dc.State().geometry.boardType, kBoardTcd1304);
    // Refilled for the TCD1304: milliseconds with two decimals, falling edge only.
    QCOMPARE(panel->integrationBox().decimals(), 2);
    QCOMPARE(panel->integrationBox().minimum(), 0.01);
    QVERIFY(!panel->triggerRadio(SetupTrigger::Software).isEnabled());
    QCOMPARE(panel->edgeBox().count(), 1);
    QCOMPARE(panel->channelIdLabel().text(), QString::number(dc.State().channelId));
    QVERIFY(!panel->changeIdButton().isEnabled());
    QVERIFY(view.configPanel() == panel); // still open after the change

    const std::string before = show(1);
    panel->integrationBox().setValue(0.25);
    click(panel->triggerRadio(SetupTrigger::Hardware));
    pressOk(*panel);
    QVERIFY(closed(view));
    QCOMPARE(dc.State().limits.current, 25);
    QVERIFY(dc.State().flags.option.test(option_bits::kExternalTrigger));
    std::string shown = show(1);
    QVERIFY2(shown.find("(value 25, unit 7)") != std::string::npos, shown.c_str());
    QCOMPARE(shownNumber(shown, "external"), shownNumber(before, "external") + 1);
    QCOMPARE(frame->windowTitle(),
             "Orvantis Quillon for USB - " + QString::fromStdString(dc.State().settings.modelName));

    panel = openPanel(view);
    QVERIFY(panel != nullptr);
    QVERIFY(panel->triggerRadio(SetupTrigger::Hardware).isChecked());
    QCOMPARE(panel->integrationBox().value(), 0.25);
    click(panel->triggerRadio(SetupTrigger::FreeRun));
    pressOk(*panel);
    QVERIFY(closed(view));
    QVERIFY(!dc.State().flags.option.test(option_bits::kExternalTrigger));
    shown = show(1);
    QCOMPARE(shownNumber(shown, "internal"), shownNumber(before, "internal") + 1);
    QCOMPARE(shownNumber(shown, "external"), shownNumber(before, "external") + 1);
    QVERIFY(session.prompter().textsOf(PromptKind::Message).empty());
    QVERIFY(session.waitForFrames(2));
}

void SetupPanelTest::memoryDataFromThePanel() {
    GuiSession session;
    QVERIFY(started(session));
    CMainFrame *frame = &session.frame();
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    view.runPlayback(playback::kRecordData);
    view.runPlayback(playback::kRecordData);
    QCOMPARE(dc.State().memory.size(), std::size_t{2});

    CSetupPanel *panel = openPanel(view);
    QVERIFY(panel != nullptr);
    QCOMPARE(panel->memoryStatus().text(), QString("2 scan(s) in memory."));
    QVERIFY(panel->deleteMemoryButton().isEnabled());
    click(panel->memoryRadio());
    // Memory data has no acquisition values to set, and stays in the list.
    QVERIFY(!panel->integrationBox().isEnabled());
    QVERIFY(!panel->deleteMemoryButton().isEnabled());
    pressOk(*panel);
    QVERIFY(closed(view));
    QVERIFY(dc.State().flags.option.test(option_bits::kMemoryMode));
    QCOMPARE(frame->statusPanes().paneText(3), QString("MEMORY"));
    QVERIFY(!view.button(command::kDarkScanPanel)->isEnabled());

    panel = openPanel(view);
    QVERIFY(panel != nullptr);
    click(panel->scopeRadio());
    pressOk(*panel);
    QVERIFY(closed(view));
    QVERIFY(!dc.State().flags.option.test(option_bits::kMemoryMode));
    QVERIFY(view.button(command::kDarkScanPanel)->isEnabled());

    panel = openPanel(view);
    QVERIFY(panel != nullptr);
    click(panel->deleteMemoryButton());
    QVERIFY(dc.State().memory.empty());
    QCOMPARE(panel->memoryStatus().text(), QString("0 scan(s) in memory."));
    QVERIFY(!panel->memoryRadio().isEnabled());
    QCOMPARE(session.prompter().textsOf(PromptKind::Message),
             std::vector<std::string>{"Recorded data was deleted successfully"});
    panel->reject();
    QVERIFY(closed(view));
}

void SetupPanelTest::graphWordAndColours() {
    GuiSession session;
    QVERIFY(started(session));
    CMainFrame *frame = &session.frame();
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    CSetupPanel *panel = openPanel(view);
    QVERIFY(panel != nullptr);
    panel->setExtended(true);
    QVERIFY(panel->gridXBox().isChecked()); // both grids by default
    click(panel->gridXBox());
    click(panel->xReadoutBox());
    click(panel->yReadoutBox());
    // A colour is stored at once, whatever happens to the rest.
    panel->setColour(1, QColor(1, 2, 3));
    QCOMPARE(dc.State().colors.pixel, colorValue(1, 2, 3));
    QVERIFY(panel->colourButton(1).styleSheet().contains("#010203"));
    pressOk(*panel);
    QVERIFY(closed(view));
    QCOMPARE(dc.State().settings.displayWord & 0xFu, 2u | 4u | 8u);

    panel = openPanel(view);
    QVERIFY(panel != nullptr);
    QVERIFY(!panel->gridXBox().isChecked());
    QVERIFY(panel->xReadoutBox().isChecked());
    panel->useDefaultColours();
    QCOMPARE(dc.State().colors.pixel, colorValue(255, 60, 60));
    panel->reject();
    QVERIFY(closed(view));
}

void SetupPanelTest::aGridThatCannotBeBuiltKeepsThePanelOpen() {
    GuiSession session;
    QVERIFY(started(session));
    CMainFrame *frame = &session.frame();
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    CSetupPanel *panel = openPanel(view);
    QVERIFY(panel != nullptr);
    panel->setExtended(true);
    panel->gridStartBox().setValue(400.0);
    panel->gridEndBox().setValue(800.0);
    panel->gridIntervalBox().setValue(1.0);
    pressOk(*panel);
    QVERIFY(closed(view));
    QCOMPARE(dc.State().grid.count, 401);

    panel = openPanel(view);
    QVERIFY(panel != nullptr);
    panel->setExtended(true);
    panel->gridIntervalBox().setValue(0.01);
    failingAllocation = 40001 * sizeof(float);
    pressOk(*panel);
    failingAllocation = 0;
    QVERIFY(view.configPanel() == panel);
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->gridIntervalBox().value(), 0.01); // the entry stays to be corrected
    QCOMPARE(dc.State().grid.count, 401);
    QCOMPARE(dc.State().display.wavelengthStep, 1.0f);
    QCOMPARE(session.prompter().textsOf(PromptKind::Message).size(), std::size_t{2});
    panel->gridIntervalBox().setValue(0.5);
    pressOk(*panel);
    QVERIFY(closed(view));
    QCOMPARE(dc.State().grid.count, 801);
    QVERIFY(session.waitForFrames(2));
}

QTEST_MAIN(SetupPanelTest)
#include "setup_panel_test.moc"
