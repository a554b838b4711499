// The dark, reference and TEC panels of the button bar.
#include "shell/quillon_view.h"

namespace quillon {

void CQuillonView::openDarkPanel() {
    // TEMPORARY: filled in with the dark panel.
}

void CQuillonView::openReferencePanel() {
    // TEMPORARY: filled in with the reference panel.
}

void CQuillonView::openTecPanel() {
    // TEMPORARY: filled in with the TEC panel.
}

} // namespace quillon
