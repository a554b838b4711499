// The time line in the window: the set-up dialog's rules, the time-line
// button's captions through a whole record with pause and play, the
// readout panel's record group, the graph following the record, and the
// file read back.
#include "gui_fixture.h"

#include "datafiles/scan_data_file.h"
#include "shell/commands.h"
#include "shell/quillon_view.h"
#include "shell/record_dialog.h"
#include "shell/text_panel.h"

#include <QTest>

using namespace quillon;
using namespace quillon::test;

class TimeLineTest : public QObject {
    Q_OBJECT

private slots:
    void theDialogNeedsDarkAndReference();
    void aRecordRunsThroughEveryCaption();
    void cancelDropsARecordMadeReady();
};

void TimeLineTest::theDialogNeedsDarkAndReference() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    SplitButton *button = view.button(command::kTimeLine);
    QVERIFY(button->isEnabled());
    QCOMPARE(button->text(), QString("&TimeLine"));
    clickMain(button);
    CRecordDialog *dialog = view.recordDialog();
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->statusText(), QString("Dark and Ref Scan are required"));
    QVERIFY(!dialog->endTime().isEnabled());
    QVERIFY(!dialog->frameLimit().isEnabled());
    QCOMPARE(dialog->frameLimit().minimum(), 1);
    QCOMPARE(dialog->frameLimit().maximum(), 9999999);
    QCOMPARE(dialog->interval().value(),
             static_cast<int>(session.control().TimeLine().MinimumInterval()));
    QCOMPARE(dialog->startTime().displayFormat(), QString(CRecordDialog::kTimeFormat));
    QVERIFY(!dialog->setReady());
    QCOMPARE(button->text(), QString("&TimeLine"));
    dialog->reject();
}

void TimeLineTest::aRecordRunsThroughEveryCaption() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    CQuillonView &view = frame->scopeView();
    DataControl &dc = session.control();
    QVERIFY(view.runDarkScan());
    QVERIFY(view.runReferenceScan());
    SplitButton *button = view.button(command::kTimeLine);

    clickMain(button);
    CRecordDialog *dialog = view.recordDialog();
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->statusText().isEmpty());
    dialog->fileName().setText("warmup");
    dialog->endTimeUsed().setChecked(false); // count mode
    QVERIFY(dialog->frameLimit().isEnabled());
    dialog->frameLimit().setValue(6);
    dialog->interval().setValue(static_cast<int>(dc.TimeLine().MinimumInterval()) + 40);
    dialog->displayWhileRecording().setChecked(true);
    QVERIFY(dialog->setReady());
    dialog->accept();
    QCOMPARE(button->text(), QString("Record"));

    clickMain(button);
    QCOMPARE(button->text(), QString("Stop"));
    QVERIFY(dc.TimeLine().Recording());
    clickArrow(button); // pause
    QCOMPARE(button->text(), QString("Play"));
    QVERIFY(dc.TimeLine().Paused());
    clickMain(button); // play
    QCOMPARE(button->text(), QString("Stop"));
    QVERIFY(QTest::qWaitFor([&] { return dc.TimeLine().Progress().frames >= 2; }, 20000));
    view.refreshTextPanel();
    QVERIFY(view.textPanel().toPlainText().contains("  Record: 000"));
    // The graph follows the record from the recorder's copies.
    QVERIFY(QTest::qWaitFor([&] { return view.worker().recordedFramesDrawn() >= 1; }, 20000));

    // The record ends by itself after its sixth frame.
    QVERIFY(QTest::qWaitFor([&] { return button->text() == "&TimeLine"; }, 20000));
    QVERIFY(!dc.TimeLine().Recording());
    view.refreshTextPanel();
    QVERIFY(!view.textPanel().toPlainText().contains("Record:"));
    std::string error;
    const auto file = readScanDataFile(dc.State().dataFolder / "warmup.sdf", error);
    QVERIFY2(file.has_value(), error.c_str());
    QCOMPARE(file->items.size(), std::size_t{6});
    QCOMPARE(QString::fromStdString(file->items.item(6).sampleName()), QString("0006"));
    // And the worker draws live scans again.
    QVERIFY(session.waitForFrames(2));
}

void TimeLineTest::cancelDropsARecordMadeReady() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    CQuillonView &view = frame->scopeView();
    QVERIFY(session.waitForFrames(1));
    QVERIFY(view.runDarkScan());
    QVERIFY(view.runReferenceScan());
    SplitButton *button = view.button(command::kTimeLine);
    clickArrow(button);
    CRecordDialog *dialog = view.recordDialog();
    QVERIFY(dialog != nullptr);
    dialog->endTimeUsed().setChecked(false);
    QVERIFY(dialog->setReady());
    dialog->accept();
    QCOMPARE(button->text(), QString("Record"));
    clickArrow(button);
    dialog = view.recordDialog();
    QVERIFY(dialog != nullptr);
    dialog->cancelRecord();
    dialog->reject();
    QCOMPARE(button->text(), QString("&TimeLine"));
    QVERIFY(!session.control().TimeLine().Ready());
}

QTEST_MAIN(TimeLineTest)
#include "time_line_test.moc"
