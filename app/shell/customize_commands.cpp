// The "Customize..." sheet of the Setup menu.
#include "shell/main_frame.h"

#include "shell/quillon_view.h"

namespace quillon {

void CMainFrame::openCustomize(bool factoryForm) {
    // TEMPORARY: filled in with the Customize sheet.
    view_->setFactoryForm(factoryForm);
}

} // namespace quillon
