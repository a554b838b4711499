#include "launcher_window.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

#include <utility>

namespace quillon::launcher {
namespace {

const char *const kBackgroundResource = ":/launcher/background.svg";

// A button without a face of its own: the background picture shows it.
class ClickArea : public QAbstractButton {
public:
    ClickArea(const QRect &area, QWidget *parent) : QAbstractButton(parent) {
        setGeometry(area);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override {}
};

} // namespace

QImage renderBackground(const QSize &size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(QString::fromLatin1(kBackgroundResource));
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

LauncherWindow::LauncherWindow(InstallerStarter starter, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), starter_(std::move(starter)) {
    setWindowTitle(QString::fromLatin1(kLauncherTitle));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kClientSize);

    // Shows where the picture is missing, in the colour of the buttons.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);

    connect(addClickArea(kInstall32Area, QStringLiteral("install32Area"),
                         QStringLiteral("Install Quillon (32-bit)")),
            &QAbstractButton::clicked, this, [this] { starter_.start(Installer::Bit32); });
    connect(addClickArea(kInstall64Area, QStringLiteral("install64Area"),
                         QStringLiteral("Install Quillon (64-bit)")),
            &QAbstractButton::clicked, this, [this] { starter_.start(Installer::Bit64); });
    connect(addClickArea(kExitArea, QStringLiteral("exitArea"), QStringLiteral("Exit")),
            &QAbstractButton::clicked, this, &QWidget::close);

    centreOnScreen();
}

QAbstractButton *LauncherWindow::addClickArea(const QRect &area, const QString &name,
                                              const QString &accessibleName) {
    auto *button = new ClickArea(area, this); // owned by the window
    button->setObjectName(name);
    button->setAccessibleName(accessibleName);
    return button;
}

void LauncherWindow::centreOnScreen() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect placed(QPoint(), size());
    placed.moveCenter(screen->geometry().center());
    move(placed.topLeft());
}

const QPixmap &LauncherWindow::backgroundForCurrentScreen() {
    const qreal ratio = devicePixelRatioF();
    if (background_.isNull() || !qFuzzyCompare(background_.devicePixelRatio(), ratio)) {
        background_ = QPixmap::fromImage(renderBackground((QSizeF(kClientSize) * ratio).toSize()));
        background_.setDevicePixelRatio(ratio);
    }
    return background_;
}

void LauncherWindow::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.drawPixmap(rect(), backgroundForCurrentScreen());
}

} // namespace quillon::launcher
