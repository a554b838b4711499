// The button-bar icons, drawn from the program's SVG resources.
#ifndef QUILLON_APP_SHELL_BUTTON_ICONS_H
#define QUILLON_APP_SHELL_BUTTON_ICONS_H

#include <QPixmap>

namespace quillon {

inline constexpr int kButtonIconSize = 28;

// The icon `name` (":/app/icons/NAME.svg") at kButtonIconSize logical
// pixels; a null pixmap when the resource is missing.
QPixmap buttonIcon(const char *name, qreal devicePixelRatio);

} // namespace quillon

#endif
