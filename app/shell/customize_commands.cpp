// The "Customize..." sheet of the Setup menu.
#include "dialogs/customize_sheet.h"
#include "shell/main_frame.h"
#include "shell/quillon_view.h"

namespace quillon {

void CMainFrame::openCustomize(bool factoryForm) {
    view_->setFactoryForm(factoryForm);
    CCustomizeSheet sheet(*control_, factoryForm, this);
    sheet.exec();
}

} // namespace quillon
