#include "shell/text_panel.h"

#include <QResizeEvent>
#include <QTextDocument>

#include <cmath>

namespace quillon {

namespace {

// Position and value in the units of the page.
QString positionText(int page, double x) {
    return page == 1 ? QString("pixel %1").arg(x, 0, 'f', 0) : QString("%1 nm").arg(x, 0, 'f', 2);
}

QString valueText(int page, float value) {
    switch (page) {
    case 2:
        return QString::number(value, 'f', 2);
    case 3:
        return QString("%1 AU").arg(value, 0, 'f', 4);
    case 4:
        return QString::number(value, 'f', 4);
    default:
        return QString::number(value, 'f', 1);
    }
}

QString xReadoutText(GraphXUnit unit, double x) {
    switch (unit) {
    case GraphXUnit::Wavenumber:
        return QString::asprintf("%08.2f", x);
    case GraphXUnit::Pixel:
        return QString::asprintf("%04d", static_cast<int>(x));
    default:
        return QString::asprintf("%07.2f", x);
    }
}

QString yReadoutText(GraphMode mode, double y) {
    switch (mode) {
    case GraphMode::TransRefl:
    case GraphMode::Irradiance:
        return QString::asprintf("%06.4f", y);
    case GraphMode::Absorbance:
        return QString::asprintf("%04.4f", y);
    default:
        return QString::asprintf("%04d", static_cast<int>(y));
    }
}

} // namespace

QString readoutLine(const LiveReadouts &readouts, const TextPanelSettings &settings) {
    QString line = "XY:";
    if (settings.pointer) {
        line += " " + xReadoutText(settings.xUnit, settings.pointer->x()) + "/" +
                yReadoutText(settings.mode, settings.pointer->y());
    }
    if (readouts.valid && readouts.cursorShown) {
        // The cursor's position is kept as a pixel number or a wavelength.
        double x = readouts.cursorX;
        if (settings.xUnit == GraphXUnit::Wavenumber && x > 0.0) {
            x = 1.0e7 / x;
        }
        line += "  Bar: " + xReadoutText(settings.xUnit, x) + "/" +
                yReadoutText(settings.mode, readouts.cursorValue);
    }
    if (readouts.valid && readouts.photometry) {
        const PhotometryReadout &p = *readouts.photometry;
        line += QString::asprintf("  Color Temp. (K): %05d",
                                  static_cast<int>(std::lround(p.colourTemperature)));
        line += p.illuminance
                    ? QString::asprintf("  Total Lux(lux): %07.3f  Total Lumen(lm): %07.3f",
                                        p.total, p.areaTotal)
                    : QString::asprintf("  Total Irrad. (uW/cm^2): %07.3f  Total "
                                        "Power (uW): %07.3f",
                                        p.total, p.areaTotal);
    }
    if (settings.memoryMode) {
        line +=
            QString::asprintf("  Memory: %04d/%04d", settings.memoryCurrent, settings.memoryCount);
    }
    if (settings.recording) {
        line +=
            QString::asprintf("  Record: %04lld", static_cast<long long>(settings.recordFrames));
        if (settings.recordMissed > 0) {
            line += QString::asprintf(" (%llu missed)",
                                      static_cast<unsigned long long>(settings.recordMissed));
        }
    }
    return line;
}

CTextPanel::CTextPanel(QWidget *parent) : QPlainTextEdit(parent) {
    setObjectName(QString::number(kControlId));
    setReadOnly(true);
    setFrameShape(QFrame::StyledPanel);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette p = palette();
    p.setColor(QPalette::Text, QColor(100, 100, 100));
    p.setColor(QPalette::Base, QColor(252, 252, 250));
    setPalette(p);
}

void CTextPanel::resizeEvent(QResizeEvent *event) {
    QPlainTextEdit::resizeEvent(event);
    fitFont();
}

// A quarter of the panel's height, smaller when a line would not fit the
// width (a narrow window, a long cursor readout): nothing is cut off.
void CTextPanel::fitFont() {
    const QStringList lines = toPlainText().split('\n');
    const auto margin = static_cast<int>(std::ceil(document()->documentMargin()));
    const QRect room = viewport()->rect().adjusted(margin, margin, -margin - 2, -margin);
    QFont f("Verdana");
    f.setStyleHint(QFont::SansSerif);
    int pixels = std::max(kSmallestFontPixels, height() / 4);
    for (; pixels > kSmallestFontPixels; --pixels) {
        f.setPixelSize(pixels);
        const QFontMetrics metrics(f);
        bool fits = metrics.lineSpacing() * static_cast<int>(lines.size()) <= room.height();
        for (const QString &line : lines) {
            fits = fits && metrics.horizontalAdvance(line) <= room.width();
        }
        if (fits) {
            break;
        }
    }
    f.setPixelSize(pixels);
    if (f != font()) {
        setFont(f);
    }
}

void CTextPanel::setPage(int page) {
    page_ = page;
}

QString CTextPanel::pageText(int page, const LiveReadouts &readouts,
                             const TextPanelSettings &settings) {
    QString line1 = QString("%1  ·  %2").arg(settings.modeName, settings.xUnitName);
    if (readouts.valid) {
        line1 += QString("    Maximum %1 at %2")
                     .arg(valueText(page, readouts.peakValue), positionText(page, readouts.peakX));
    } else {
        line1 += "    No scan yet";
    }
    const QString unit = settings.hundredths || !settings.integration.contains('.') ? " ms" : "";
    QString line3 = QString("Integration %1%2    Average %3    Binning %4    FFT %5 %")
                        .arg(settings.integration, unit)
                        .arg(settings.timeAverage)
                        .arg(settings.binning)
                        .arg(settings.smoothing);
    return line1 + "\n" + readoutLine(readouts, settings) + "\n" + line3;
}

void CTextPanel::showReadouts(const LiveReadouts &readouts, const TextPanelSettings &settings) {
    const QString text = pageText(page_, readouts, settings);
    if (text != toPlainText()) {
        setPlainText(text);
        fitFont();
    }
}

} // namespace quillon
