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

} // namespace

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
    const QString title = QString("%1  ·  %2").arg(settings.modeName, settings.xUnitName);
    QString line1 = title;
    QString line2 = "No scan yet";
    if (readouts.valid) {
        line2 = QString("Maximum %1 at %2")
                    .arg(valueText(page, readouts.peakValue), positionText(page, readouts.peakX));
        if (readouts.cursorShown) {
            line2 += QString("    Cursor %1 = %2")
                         .arg(positionText(page, readouts.cursorX),
                              valueText(page, readouts.cursorValue));
        }
    }
    const QString unit = settings.hundredths || !settings.integration.contains('.') ? " ms" : "";
    QString line3 = QString("Integration %1%2    Average %3    Binning %4    FFT %5 %")
                        .arg(settings.integration, unit)
                        .arg(settings.timeAverage)
                        .arg(settings.binning)
                        .arg(settings.smoothing);
    return line1 + "\n" + line2 + "\n" + line3;
}

void CTextPanel::showReadouts(const LiveReadouts &readouts, const TextPanelSettings &settings) {
    const QString text = pageText(page_, readouts, settings);
    if (text != toPlainText()) {
        setPlainText(text);
        fitFont();
    }
}

} // namespace quillon
