// The dark, reference and TEC panels of the button bar.
#include "dialogs/source_panels.h"
#include "dialogs/tec_panel.h"
#include "shell/commands.h"
#include "shell/quillon_view.h"

namespace quillon {

namespace {

// After a dark or reference panel: the main button's new caption (a
// refused choice has been told by the core).
void applyClosing(CQuillonView &view, int command, const PanelClosing &closing) {
    if (closing.caption) {
        view.button(command)->setText(QString::fromStdString(*closing.caption));
    }
}

// The panels' files lie where the operator last browsed to.
void followFolder(CQuillonView &view, CSourcePanel *panel) {
    QObject::connect(panel, &CSourcePanel::folderChosen, &view, [&view](const QString &folder) {
        view.setDataFolder(std::filesystem::path(folder.toStdString()));
    });
}

} // namespace

void CQuillonView::openDarkPanel() {
    if (raiseOpenConfigPanel()) {
        return;
    }
    auto panel = std::make_unique<CDarkPanel>(control_, dataFolder(), this);
    CDarkPanel *dark = panel.get();
    followFolder(*this, dark);
    connect(dark, &PopupPanel::panelClosed, this, [this, dark] {
        applyClosing(*this, command::kDarkScanPanel, dark->closing());
        afterDarkOrReference();
        updateGraph(false);
        side_->refresh(control_);
    });
    showConfigPanel(std::move(panel), command::kDarkScanPanel);
}

void CQuillonView::openReferencePanel() {
    if (raiseOpenConfigPanel()) {
        return;
    }
    auto panel = std::make_unique<CReferencePanel>(control_, dataFolder(), this);
    CReferencePanel *reference = panel.get();
    followFolder(*this, reference);
    connect(reference, &PopupPanel::panelClosed, this, [this, reference] {
        applyClosing(*this, command::kRefScanPanel, reference->closing());
        afterDarkOrReference();
        updateGraph(false);
        side_->refresh(control_);
    });
    showConfigPanel(std::move(panel), command::kRefScanPanel);
}

void CQuillonView::openTecPanel() {
    if (raiseOpenConfigPanel()) {
        return;
    }
    auto panel = std::make_unique<CTecPanel>(control_, this);
    CTecPanel *tec = panel.get();
    connect(tec, &PopupPanel::panelClosed, this, [this, tec] {
        // The capacitor may have lowered the integration time.
        if (tec->sent()) {
            updateGraph(false);
            side_->refresh(control_);
        }
        emit statusRefresh(0, true);
    });
    showConfigPanel(std::move(panel), command::kTecControl);
}

} // namespace quillon
