// The dark, reference and TEC panels of the button bar on the simulated
// bench: opened from their buttons, their choices reach DataControl and the
// unit, and closing gives the main buttons their captions.
#include "gui_fixture.h"

#include "datacontrol/messages.h"
#include "dialogs/source_panels.h"
#include "dialogs/tec_panel.h"
#include "shell/commands.h"
#include "shell/quillon_view.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

using namespace quillon;
using namespace quillon::test;

namespace {

template <typename Panel>
Panel *openPanel(CQuillonView &view, int command, bool arrow = true) {
    arrow ? clickArrow(view.button(command)) : clickMain(view.button(command));
    return qobject_cast<Panel *>(view.configPanel());
}

// Closes with the panel's own button and waits until the view let it go.
bool closePanel(CQuillonView &view, QPushButton &close) {
    QTest::mouseClick(&close, Qt::LeftButton);
    return QTest::qWaitFor([&] { return view.configPanel() == nullptr; }, 2000);
}

// "tec 1", "cf 0", "shutter 1": one field of a unit's `show` reply.
QString unitField(int slot, const QString &word) {
    const QString shown =
        QString::fromStdString(runSimCommand("show " + std::to_string(slot)).text);
    const int at = shown.indexOf(word + " ");
    if (at < 0) {
        return {};
    }
    return shown.mid(at, shown.indexOf(QRegularExpression("[,\n]"), at) - at);
}

bool ready(DataControl &dc, std::uint16_t bit) {
    return dc.State().flags.status.test(bit);
}

} // namespace

class SourcePanelsTest : public QObject {
    Q_OBJECT

private slots:
    void darkPanelSourcesAndFiles();
    void shutterButtonAndTecPanelReachTheUnit();
    void referencePanelAndTheColourTile();
};

void SourcePanelsTest::darkPanelSourcesAndFiles() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    clickMain(view.button(command::kDarkScanPanel));
    QTRY_VERIFY(ready(dc, status_bits::kDarkReady));

    CDarkPanel *panel = openPanel<CDarkPanel>(view, command::kDarkScanPanel);
    QVERIFY(panel != nullptr);
    QVERIFY(panel->sourceButton(DarkSource::Scan)->isChecked());
    QVERIFY(!panel->fileRowShown());
    // This unit has no shutter; its geometry is known, so subtraction is offered.
    QVERIFY(!panel->sourceButton(DarkSource::BuiltInShutter)->isEnabled());
    QVERIFY(!panel->shutterButton().isEnabled());
    QVERIFY(!panel->subtractionBox().isHidden());
    QTest::mouseClick(panel->sourceButton(DarkSource::OpticalBlack), Qt::LeftButton);
    QVERIFY(closePanel(view, panel->closeButton()));
    QVERIFY(!ready(dc, status_bits::kDarkReady));
    QCOMPARE(dc.State().flags.darkSource(), DarkSource::OpticalBlack);
    QCOMPARE(view.button(command::kDarkScanPanel)->text(), QString("Dark OB "));
    QVERIFY(!view.button(command::kFindPeak)->isEnabled()); // no dark any more

    panel = openPanel<CDarkPanel>(view, command::kDarkScanPanel);
    QVERIFY(panel != nullptr);
    panel->chooseSource(DarkSource::Scan);
    QVERIFY(closePanel(view, panel->closeButton()));
    QCOMPARE(view.button(command::kDarkScanPanel)->text(), QString("Dark Scan"));
    clickMain(view.button(command::kDarkScanPanel));
    QTRY_VERIFY(ready(dc, status_bits::kDarkReady));

    // File: save the dark, load it back, and the button becomes "Dark File".
    panel = openPanel<CDarkPanel>(view, command::kDarkScanPanel);
    QVERIFY(panel != nullptr);
    panel->chooseSource(DarkSource::File);
    QVERIFY(panel->fileRowShown());
    QVERIFY(panel->saveButton().isEnabled());
    QVERIFY(panel->loadButton().isEnabled());
    panel->nameBox().clear();
    QTest::mouseClick(&panel->saveButton(), Qt::LeftButton);
    QCOMPARE(panel->statusLine().text(), QString(messages::kNoSaveName));
    panel->nameBox().setText("bench");
    QTest::mouseClick(&panel->saveButton(), Qt::LeftButton);
    QCOMPARE(panel->statusLine().text(), QString("Saved bench.dak"));
    const QString file = QString::fromStdString((view.dataFolder() / "bench.dak").string());
    QVERIFY(QFile::exists(file));
    QTest::mouseClick(&panel->loadButton(), Qt::LeftButton);
    QCOMPARE(panel->statusLine().text(), QString("Loaded bench.dak"));
    QVERIFY(closePanel(view, panel->closeButton()));
    QCOMPARE(dc.State().flags.darkSource(), DarkSource::File);
    QVERIFY(ready(dc, status_bits::kDarkReady));
    QCOMPARE(view.button(command::kDarkScanPanel)->text(), QString("Dark File"));
    // A file's dark is not rescanned by the button.
    QVERIFY(!view.runDarkScan());

    // The panel opens on the stored source; Escape runs the closing steps too.
    panel = openPanel<CDarkPanel>(view, command::kDarkScanPanel);
    QVERIFY(panel != nullptr);
    QVERIFY(panel->sourceButton(DarkSource::File)->isChecked());
    panel->chooseSource(DarkSource::Scan);
    QTest::keyClick(panel, Qt::Key_Escape);
    QTRY_VERIFY(view.configPanel() == nullptr);
    QCOMPARE(dc.State().flags.darkSource(), DarkSource::Scan);
    QVERIFY(!ready(dc, status_bits::kDarkReady));
}

void SourcePanelsTest::shutterButtonAndTecPanelReachTheUnit() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();

    // The TCD1304 unit has a built-in shutter, open after start-up.
    view.changeChannel(1);
    QCOMPARE(dc.State().currentChannel, 1);
    QCOMPARE(unitField(1, "shutter"), QString("shutter 0"));
    CDarkPanel *dark = openPanel<CDarkPanel>(view, command::kDarkScanPanel);
    QVERIFY(dark != nullptr);
    QVERIFY(dark->sourceButton(DarkSource::BuiltInShutter)->isEnabled());
    QVERIFY(dark->shutterButton().isEnabled());
    QCOMPARE(dark->shutterButton().text(), QString("Close"));
    QTest::mouseClick(&dark->shutterButton(), Qt::LeftButton);
    QCOMPARE(unitField(1, "shutter"), QString("shutter 1"));
    QCOMPARE(dark->shutterButton().text(), QString("Open"));
    QTest::mouseClick(&dark->shutterButton(), Qt::LeftButton);
    QCOMPARE(unitField(1, "shutter"), QString("shutter 0"));
    QCOMPARE(dark->shutterButton().text(), QString("Close"));
    QVERIFY(closePanel(view, dark->closeButton()));

    // The cooled unit: either part of its button opens the TEC panel, which
    // keeps acquisition on hold while it is open.
    view.changeChannel(2);
    QCOMPARE(dc.State().currentChannel, 2);
    QVERIFY(view.button(command::kTecControl)->isVisibleTo(frame));
    CTecPanel *tec = openPanel<CTecPanel>(view, command::kTecControl, false);
    QVERIFY(tec != nullptr);
    QVERIFY(ready(dc, status_bits::kHold));
    const TecPanelView shown = dc.TecPanelOpening();
    QCOMPARE(tec->coolerButton().isChecked(), shown.coolerOn);
    QCOMPARE(tec->capacitorButton().isEnabled(), shown.capacitorChoice);
    QVERIFY(tec->capacitorButton().isEnabled());
    tec->coolerButton().setChecked(false);
    QCOMPARE(tec->coolerButton().text(), QString("&TE Cooler OFF"));
    tec->coolerButton().setChecked(true);
    QCOMPARE(tec->coolerButton().text(), QString("&TE Cooler ON"));
    tec->capacitorButton().setChecked(true);
    QCOMPARE(tec->capacitorButton().text(), QString("Cf = 10 pF"));
    QTest::mouseClick(&tec->setButton(), Qt::LeftButton);
    QCOMPARE(unitField(2, "tec"), QString("tec 1"));
    QCOMPARE(unitField(2, "cf"), QString("cf 1"));
    QCOMPARE(dc.State().cooler.cap, 10);
    tec->coolerButton().setChecked(false);
    tec->capacitorButton().setChecked(false);
    QTest::mouseClick(&tec->setButton(), Qt::LeftButton);
    QCOMPARE(unitField(2, "tec"), QString("tec 0"));
    QCOMPARE(unitField(2, "cf"), QString("cf 0"));
    QVERIFY(closePanel(view, tec->closeButton()));
    QVERIFY(!ready(dc, status_bits::kHold));
    QCOMPARE(dc.State().cooler.tec, 0);
    QCOMPARE(dc.State().cooler.cap, 1);

    tec = openPanel<CTecPanel>(view, command::kTecControl);
    QVERIFY(tec != nullptr);
    QVERIFY(!tec->coolerButton().isChecked());
    QVERIFY(!tec->capacitorButton().isChecked());
    QVERIFY(closePanel(view, tec->closeButton()));
    QVERIFY(session.waitForFrames(1)); // acquisition runs again
}

void SourcePanelsTest::referencePanelAndTheColourTile() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(2));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();

    // Without a dark the colour tile is refused and the choice goes back.
    CReferencePanel *panel = openPanel<CReferencePanel>(view, command::kRefScanPanel);
    QVERIFY(panel != nullptr);
    QVERIFY(!panel->fileRowShown());
    QTest::mouseClick(panel->sourceButton(ReferenceSource::ColourTile), Qt::LeftButton);
    QCOMPARE(panel->statusLine().text(), QString(messages::kDarkScanNeeded));
    QVERIFY(panel->sourceButton(ReferenceSource::CurrentScan)->isChecked());
    // File without loading keeps the source.
    panel->chooseSource(ReferenceSource::File);
    QVERIFY(panel->fileRowShown());
    QVERIFY(!panel->saveButton().isEnabled()); // no reference yet
    QCOMPARE(panel->loadButton().text(), QString("Load File"));
    panel->maximumBox().setValue(90.0);
    QVERIFY(closePanel(view, panel->closeButton()));
    QCOMPARE(dc.State().flags.referenceSource(), ReferenceSource::CurrentScan);
    QCOMPARE(dc.State().settings.refMax, 90.0);

    clickMain(view.button(command::kDarkScanPanel));
    QTRY_VERIFY(ready(dc, status_bits::kDarkReady));
    clickMain(view.button(command::kRefScanPanel));
    QTRY_VERIFY(ready(dc, status_bits::kReferenceReady));

    panel = openPanel<CReferencePanel>(view, command::kRefScanPanel);
    QVERIFY(panel != nullptr);
    QCOMPARE(panel->maximumBox().value(), 90.0);
    QVERIFY(panel->maximumBox().maximum() <= 100.0);
    panel->chooseSource(ReferenceSource::ColourTile);
    QVERIFY(panel->sourceButton(ReferenceSource::ColourTile)->isChecked());
    QCOMPARE(panel->loadButton().text(), QString("Load ColorTile"));
    QVERIFY(!panel->calibrationButton().isHidden());
    panel->nameBox().clear();
    QTest::mouseClick(&panel->calibrationButton(), Qt::LeftButton);
    QCOMPARE(panel->statusLine().text(), QString(messages::kNoColourTileName));
    panel->nameBox().setText("tile");
    QTest::mouseClick(&panel->calibrationButton(), Qt::LeftButton);
    QVERIFY(closePanel(view, panel->closeButton()));
    QCOMPARE(dc.State().flags.referenceSource(), ReferenceSource::ColourTile);
    QCOMPARE(view.button(command::kRefScanPanel)->text(), QString("&Save Tile"));

    // The button now saves the tile and takes its own caption back.
    clickMain(view.button(command::kRefScanPanel));
    const QString tile = QString::fromStdString((view.dataFolder() / "tile.ctf").string());
    QVERIFY(QFile::exists(tile));
    QCOMPARE(QFile(tile).size(), qint64{4} * dc.State().geometry.activePixels);
    QCOMPARE(view.button(command::kRefScanPanel)->text(), QString("&Ref Scan"));

    // Reading it arms the button with "&Read Tile"; reading sets the source back.
    panel = openPanel<CReferencePanel>(view, command::kRefScanPanel);
    QVERIFY(panel != nullptr);
    QVERIFY(panel->sourceButton(ReferenceSource::ColourTile)->isChecked());
    panel->nameBox().setText("tile");
    QTest::mouseClick(&panel->loadButton(), Qt::LeftButton);
    QVERIFY(closePanel(view, panel->closeButton()));
    QCOMPARE(view.button(command::kRefScanPanel)->text(), QString("&Read Tile"));
    clickMain(view.button(command::kRefScanPanel));
    QCOMPARE(view.button(command::kRefScanPanel)->text(), QString("&Ref Scan"));
    QCOMPARE(dc.State().flags.referenceSource(), ReferenceSource::CurrentScan);
    QVERIFY(ready(dc, status_bits::kReferenceReady));
    QVERIFY(view.button(command::kModePanel)->isEnabled());
}

QTEST_MAIN(SourcePanelsTest)
#include "source_panels_test.moc"
