#ifndef QUILLON_LAUNCHER_LAUNCHER_WINDOW_H
#define QUILLON_LAUNCHER_LAUNCHER_WINDOW_H

#include "installer_starter.h"

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QWidget>

class QAbstractButton;

namespace quillon::launcher {

// Window title and application display name.
inline const char *const kLauncherTitle = "Quillon Installer";

// The launcher's geometry in pixels at 96 dpi; the button faces are part of
// the background picture, so these rectangles must match the artwork.
inline constexpr QSize kClientSize{557, 346};
inline constexpr QRect kInstall32Area{67, 180, 422, 30};
inline constexpr QRect kInstall64Area{67, 217, 422, 30};
inline constexpr QRect kExitArea{457, 255, 32, 24};

// The background artwork rendered at the given device size.
QImage renderBackground(const QSize &size);

// The borderless picture window with its three click areas.
class LauncherWindow : public QWidget {
    Q_OBJECT

public:
    explicit LauncherWindow(InstallerStarter starter, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QAbstractButton *addClickArea(const QRect &area, const QString &name,
                                  const QString &accessibleName);
    void centreOnScreen();
    const QPixmap &backgroundForCurrentScreen();

    InstallerStarter starter_;
    QPixmap background_;
};

} // namespace quillon::launcher

#endif // QUILLON_LAUNCHER_LAUNCHER_WINDOW_H
