#include "shell/button_icons.h"

#include <QPainter>
#include <QSvgRenderer>

namespace quillon {

QPixmap buttonIcon(const char *name, qreal devicePixelRatio) {
    QSvgRenderer renderer(QString(":/app/icons/%1.svg").arg(name));
    if (!renderer.isValid()) {
        return {};
    }
    const qreal ratio = std::max<qreal>(1.0, devicePixelRatio);
    const int side = static_cast<int>(kButtonIconSize * ratio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, side, side));
    painter.end();
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

} // namespace quillon
