// Qt Test of the readout panel's line: the cursor groups and, in absolute
// irradiance, the colour temperature and the totals of the chosen unit.
#include "shell/text_panel.h"

#include <QTest>

using namespace quillon;

namespace {

LiveReadouts irradianceScan(bool illuminance) {
    LiveReadouts r;
    r.valid = true;
    r.mode = DisplayMode::Irradiance;
    r.calibratedAxis = true;
    r.photometry = PhotometryReadout{3099.6f, illuminance, 12.3456f, 4.5f};
    return r;
}

TextPanelSettings irradianceSettings() {
    TextPanelSettings s;
    s.xUnit = GraphXUnit::Wavelength;
    s.mode = GraphMode::Irradiance;
    return s;
}

} // namespace

class TextPanelTest : public QObject {
    Q_OBJECT

private slots:
    void irradianceShowsColourTemperatureAndTotals();
    void illuminanceShowsLuxAndLumen();
    void noTotalsWithoutAnAbsoluteScan();
    void thePanelShowsTheWholeLine();
};

void TextPanelTest::irradianceShowsColourTemperatureAndTotals() {
    TextPanelSettings s = irradianceSettings();
    s.pointer = QPointF(555.5, 0.25);
    const QString line = readoutLine(irradianceScan(false), s);
    QCOMPARE(line, QString("XY: 0555.50/0.2500  Color Temp. (K): 03100"
                           "  Total Irrad. (uW/cm^2): 012.346  Total Power (uW): 004.500"));
    // Memory mode keeps its group last.
    s.memoryMode = true;
    s.memoryCurrent = 2;
    s.memoryCount = 5;
    QVERIFY(readoutLine(irradianceScan(false), s).endsWith("004.500  Memory: 0002/0005"));
}

void TextPanelTest::illuminanceShowsLuxAndLumen() {
    LiveReadouts r = irradianceScan(true);
    r.photometry->total = 1234.5678f; // wider than the field: all digits kept
    const QString line = readoutLine(r, irradianceSettings());
    QVERIFY2(line.contains("  Total Lux(lux): 1234.568  Total Lumen(lm): 004.500"),
             qPrintable(line));
    QVERIFY(!line.contains("Irrad."));
}

void TextPanelTest::noTotalsWithoutAnAbsoluteScan() {
    LiveReadouts r = irradianceScan(false);
    r.photometry.reset(); // the relative form measures no totals
    QCOMPARE(readoutLine(r, irradianceSettings()), QString("XY:"));
    LiveReadouts none = irradianceScan(false);
    none.valid = false; // no scan yet
    QCOMPARE(readoutLine(none, irradianceSettings()), QString("XY:"));
}

void TextPanelTest::thePanelShowsTheWholeLine() {
    CTextPanel panel;
    panel.resize(700, 60);
    panel.show();
    panel.setPage(4);
    panel.showReadouts(irradianceScan(false), irradianceSettings());
    const QStringList lines = panel.toPlainText().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[1].contains("Total Power (uW): 004.500"));
    // The font shrinks until the longer line fits the panel.
    const QFontMetrics metrics(panel.font());
    QVERIFY(metrics.horizontalAdvance(lines[1]) <= panel.viewport()->width());
}

QTEST_MAIN(TextPanelTest)
#include "text_panel_test.moc"
