#include "dialogs/popup_panel.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace quillon {

PopupPanel::PopupPanel(DataControl &control, const QString &objectName, const QString &caption,
                       bool holdLock, QWidget *parent)
    : QDialog(parent), control_(control) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setWindowModality(Qt::WindowModal);
    if (holdLock) {
        lock_.emplace(control_.Hold(), HoldBy::Dialog);
    }
}

PopupPanel::~PopupPanel() = default;

void PopupPanel::openAt(const QPoint &globalTopLeft) {
    adjustSize();
    QPoint place = globalTopLeft;
    if (const QScreen *screen = QGuiApplication::screenAt(globalTopLeft)) {
        const QRect area = screen->availableGeometry();
        place.setX(
            std::clamp(place.x(), area.left(), std::max(area.left(), area.right() - width())));
        place.setY(
            std::clamp(place.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(place);
    open();
}

void PopupPanel::done(int result) {
    QDialog::done(result);
    releaseLock();
    emit panelClosed();
}

} // namespace quillon
