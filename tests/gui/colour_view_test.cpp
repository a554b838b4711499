// Qt Test of the Color tab on the simulated bench: when it may be shown, the
// colour of a band-pass filter while it runs, "&Stop" and the colour list,
// its three panels, and a unit whose range cannot give the colour grid.
#include "colour_view/colour_panels.h"
#include "colour_view/colour_view.h"
#include "gui_fixture.h"
#include "shell/commands.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace quillon;
using namespace quillon::test;
namespace cv = quillon::colour_view;

class ColourViewTest : public QObject {
    Q_OBJECT

private slots:
    void tabOpensAfterDarkAndReferenceAndShowsTheSample();
    void panelsApplyTheirValuesAndExportWritesTheFile();
    void unitWithoutTheColourRangeIsToldAndKeepsRunning();
};

namespace {

constexpr int kColourTab = 1;

// Dark and reference on the current unit through the scope view's buttons.
bool takeDarkAndReference(GuiSession &session) {
    CQuillonView &view = session.frame().scopeView();
    runSimCommand("set 0 source dark");
    if (!session.waitForFrames(2) || !view.runDarkScan()) {
        return false;
    }
    runSimCommand("set 0 source halogen 2856");
    return session.waitForFrames(2) && view.runReferenceScan();
}

bool waitForColour(CColorGraph &colour, std::uint64_t count) {
    const std::uint64_t target = colour.framesShown() + count;
    return QTest::qWaitFor([&] { return colour.framesShown() >= target; }, 10000);
}

// The Color tab shown with a green filter as the sample, its first values drawn.
CColorGraph *openColourTab(GuiSession &session) {
    CMainFrame *frame = session.start();
    if (frame == nullptr || !takeDarkAndReference(session)) {
        return nullptr;
    }
    runSimCommand("set 0 sample filter 530 60");
    frame->tabs().setCurrentIndex(kColourTab);
    CColorGraph &colour = frame->colourView();
    return waitForColour(colour, 3) ? &colour : nullptr;
}

std::string fileText(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

void ColourViewTest::tabOpensAfterDarkAndReferenceAndShowsTheSample() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    QVERIFY(!frame->tabs().isTabEnabled(kColourTab));
    QVERIFY(takeDarkAndReference(session));
    QVERIFY(frame->tabs().isTabEnabled(kColourTab));

    runSimCommand("set 0 sample filter 530 60");
    frame->tabs().setCurrentIndex(kColourTab);
    CColorGraph &colour = frame->colourView();
    QVERIFY(colour.running());
    QVERIFY(!frame->scopeView().worker().running());
    QVERIFY(waitForColour(colour, 3));
    const ChannelState &s = session.control().State();
    QCOMPARE(s.grid.start, 400.0);
    QCOMPARE(s.grid.interval, 10.0);
    QVERIFY(s.grid.end >= 700.0);
    QVERIFY(s.flags.displayMode() == DisplayMode::TransRefl);

    // A green filter: high on the locus' green side, a green tile, a peak near 530 nm.
    const cv::ColourSnapshot shown = colour.shownSnapshot();
    QVERIFY(shown.valid);
    QVERIFY(shown.values.y > 0.5 && shown.values.x < 0.35);
    const int red = static_cast<int>(shown.tile & 0xFFu);
    const int green = static_cast<int>(shown.tile >> 8 & 0xFFu);
    const int blue = static_cast<int>(shown.tile >> 16 & 0xFFu);
    QVERIFY(green > 2 * red && green > 2 * blue);
    QVERIFY(shown.reflectance.size() >= 31u);
    QVERIFY(shown.reflectance[13] > 60.0f); // 530 nm
    QVERIFY(shown.reflectance[0] < 10.0f && shown.reflectance[30] < 10.0f);
    const cv::ColourChartData charts = colour.chartData();
    QCOMPARE(charts.locus.size(), std::size_t{81});
    QCOMPARE(charts.bars.size(), shown.reflectance.size());
    QVERIFY(colour.button(colour_command::kPrint)->isEnabled()); // the frame prints the sheet

    // "&Stop": held, the list filled with the shown values; "Start" runs on.
    SplitButton *stop = colour.button(colour_command::kStopStart);
    QCOMPARE(stop->text(), QString("&Stop"));
    clickMain(stop);
    QCOMPARE(stop->text(), QString("Start"));
    QVERIFY(s.flags.status.test(status_bits::kHold));
    const cv::ColourSnapshot held = colour.shownSnapshot();
    QListWidget &list = colour.colourList();
    QCOMPARE(list.count(), 9 + static_cast<int>(held.reflectance.size()));
    QVERIFY(list.item(0)->text().startsWith("X="));
    QCOMPARE(list.item(0)->foreground().color(), QColor(255, 0, 0));
    QCOMPARE(list.item(9)->text(), QString::asprintf("WL = 400.00    R(%%) =  %6.2f",
                                                     static_cast<double>(held.reflectance[0])));
    QCOMPARE(list.item(9)->foreground().color(), QColor(0, 0, 127));
    const std::uint64_t whileHeld = colour.framesShown();
    QTest::qWait(300);
    QCOMPARE(colour.framesShown(), whileHeld);
    clickMain(stop);
    QCOMPARE(stop->text(), QString("&Stop"));
    QVERIFY(waitForColour(colour, 2));

    // "&Ref Scan" of the view takes the reference through the frame, on the
    // colour worker: the filter becomes the white, which reads as RefWhite.
    clickMain(colour.button(colour_command::kRefScan));
    // Frames begun before the new reference may still be on their way.
    QTRY_VERIFY_WITH_TIMEOUT(std::fabs(colour.shownSnapshot().reflectance[13] - 98.5f) < 2.0f,
                             10000);
    QVERIFY(colour.running());

    // With the Color tab in front, the preview shows the colour data sheet.
    QCOMPARE(previewPageCountOf(frame->action(command::kPrintPreview)), 1);
    QVERIFY(session.prompter().textsOf(PromptKind::Message).empty());
    QVERIFY(colour.running());

    // Back on the scope tab the colour worker gives way to the scope's.
    frame->tabs().setCurrentIndex(0);
    QVERIFY(!colour.running());
    QVERIFY(session.waitForFrames(2));
}

void ColourViewTest::panelsApplyTheirValuesAndExportWritesTheFile() {
    GuiSession session;
    CColorGraph *colour = openColourTab(session);
    QVERIFY(colour != nullptr);
    DataControl &dc = session.control();

    clickMain(colour->button(colour_command::kSetup));
    auto *setup = qobject_cast<CColourSetupPanel *>(colour->openPanel());
    QVERIFY(setup != nullptr);
    QVERIFY(dc.State().flags.status.test(status_bits::kDrawingSuspended));
    // Another panel's command is ignored while one is open.
    colour->openExportPanel();
    QCOMPARE(colour->openPanel(), setup);
    QCOMPARE(setup->illuminant().count(), 3);
    QCOMPARE(setup->observer().itemText(1), QString("CIE 1964 (10 degree)"));
    QCOMPARE(setup->whiteReflectance().value(), dc.State().settings.refWhite);
    setup->illuminant().setCurrentIndex(0);
    setup->observer().setCurrentIndex(0);
    setup->whiteReflectance().setValue(90.0);
    QTest::mouseClick(&setup->okButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return colour->openPanel() == nullptr; }, 2000));
    QCOMPARE(colour::illuminantOf(dc.State().settings.colorWord), 0);
    QCOMPARE(colour::observerOf(dc.State().settings.colorWord), 0);
    QCOMPARE(dc.State().settings.refWhite, 90.0);
    QVERIFY(waitForColour(*colour, 2));
    QCOMPARE(colour->shownSnapshot().illuminant, 0);

    clickMain(colour->button(colour_command::kColor));
    auto *reference = qobject_cast<CColourReferencePanel *>(colour->openPanel());
    QVERIFY(reference != nullptr);
    QVERIFY(reference->previousData().isChecked());
    QVERIFY(reference->lightness().isHidden());
    reference->selectData().setChecked(true);
    QVERIFY(!reference->lightness().isHidden());
    reference->lightness().setValue(50.0);
    reference->aStar().setValue(10.0);
    reference->bStar().setValue(-5.0);
    QTest::mouseClick(&reference->okButton(), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return colour->openPanel() == nullptr; }, 2000));
    QCOMPARE(dc.Colour().ReferenceSource(), ColorCalc::kUserReference);
    QVERIFY(waitForColour(*colour, 2));
    const ColorValues v = colour->shownSnapshot().values;
    QCOMPARE(v.referenceL, 50.0f);
    QCOMPARE(v.referenceB, -5.0f);
    QVERIFY(std::fabs(v.dE - std::sqrt(std::pow(v.L - 50.0f, 2.0f) + std::pow(v.a - 10.0f, 2.0f) +
                                       std::pow(v.b + 5.0f, 2.0f))) < 1e-3f);

    clickMain(colour->button(colour_command::kExport));
    auto *exporter = qobject_cast<CColourExportPanel *>(colour->openPanel());
    QVERIFY(exporter != nullptr);
    QVERIFY(exporter->saveButton().isEnabled());
    QTest::mouseClick(&exporter->saveButton(), Qt::LeftButton);
    QCOMPARE(exporter->statusLine().text(), QString("No Save Data Name"));
    QCOMPARE(colour->openPanel(), exporter);
    QSignalSpy written(colour, &CColorGraph::colourExported);
    exporter->nameEdit().setText("green filter.txt");
    QTest::mouseClick(&exporter->saveButton(), Qt::LeftButton);
    QCOMPARE(written.count(), 1);
    const std::filesystem::path file = dc.State().dataFolder / "green filter.txt";
    QCOMPARE(written.at(0).at(0).toString(), QString::fromStdString(file.string()));
    const std::string text = fileText(file);
    QVERIFY(text.starts_with("Illuminant = A\r\nObserver = CIE 1931 (2 degree)\r\n"));
    QVERIFY(text.ends_with("\r\n"));
    QVERIFY(!std::filesystem::exists(dc.State().dataFolder / "green filter.txt.txt"));
    QVERIFY(QTest::qWaitFor([&] { return colour->openPanel() == nullptr; }, 2000));
    QVERIFY(!dc.State().flags.status.test(status_bits::kDrawingSuspended));
}

void ColourViewTest::unitWithoutTheColourRangeIsToldAndKeepsRunning() {
    GuiSession session;
    CMainFrame *frame = session.start();
    QVERIFY(frame != nullptr);
    QVERIFY(session.waitForFrames(1));
    // The near-infrared unit measures from 895 nm on: no colour grid there.
    frame->scopeView().changeChannel(2);
    QVERIFY(session.waitForFrames(2));
    runSimCommand("set 2 source dark");
    QVERIFY(session.waitForFrames(2) && frame->scopeView().runDarkScan());
    runSimCommand("set 2 source halogen 2856");
    QVERIFY(session.waitForFrames(2) && frame->scopeView().runReferenceScan());
    QVERIFY(frame->tabs().isTabEnabled(kColourTab));
    const WavelengthGrid before = session.control().State().grid;
    session.prompter().clearShown();

    frame->tabs().setCurrentIndex(kColourTab);
    CColorGraph &colour = frame->colourView();
    QVERIFY(!colour.running());
    QVERIFY(colour.setUpProblem().contains("400-700 nm"));
    const auto told = session.prompter().textsOf(PromptKind::Message);
    QCOMPARE(told.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(told[0]), colour.setUpProblem());
    QVERIFY(!colour.shownSnapshot().valid);
    QVERIFY(!colour.button(colour_command::kStopStart)->isEnabled());
    QVERIFY(!colour.button(colour_command::kExport)->isEnabled());
    QCOMPARE(session.control().State().grid.start, before.start);
    QCOMPARE(session.control().State().grid.end, before.end);
    // The program goes on: back on the scope tab the unit scans again.
    frame->tabs().setCurrentIndex(0);
    QVERIFY(session.waitForFrames(2));
}

QTEST_MAIN(ColourViewTest)
#include "colour_view_test.moc"
