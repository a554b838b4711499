// The setup panel of the "&QX Setup" button.
#include "shell/quillon_view.h"

namespace quillon {

void CQuillonView::openSetupPanel() {
    // TEMPORARY: filled in with the setup panel.
}

} // namespace quillon
