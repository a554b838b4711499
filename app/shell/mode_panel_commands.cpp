// The mode panel of the mode button.
#include "shell/quillon_view.h"

namespace quillon {

void CQuillonView::openModePanel() {
    // TEMPORARY: filled in with the mode panel.
}

} // namespace quillon
