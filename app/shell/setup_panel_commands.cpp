// The setup panel of the "&QX Setup" button.
#include "dialogs/setup_panel.h"
#include "shell/commands.h"
#include "shell/graph_feed.h"
#include "shell/quillon_view.h"

namespace quillon {

void CQuillonView::openSetupPanel() {
    auto panel = std::make_unique<CSetupPanel>(control_, this);
    CSetupPanel *setup = panel.get();
    // Everything an Apply or a channel change can touch: title, captions and
    // enable rules, graph contexts and colours, panes and the side dialog.
    auto showState = [this] {
        setWindowTitleText(liveTitle());
        button(command::kTecControl)->setVisible(control_.State().HasCoolerRecord());
        layoutChildren();
        clearPeaks();
        side_->refresh(control_);
        updateGraph(true);
        graph_->modeChanged(graphXUnitOf(control_.State().flags.xUnit()),
                            graphModeOf(control_.State().flags.displayMode()));
        afterDarkOrReference();
        emit statusRefresh(0, true);
    };
    connect(setup, &CSetupPanel::applied, this, showState);
    connect(setup, &CSetupPanel::channelChanged, this, showState);
    connect(setup, &CSetupPanel::memoryChanged, this, &CQuillonView::refreshTextPanel);
    connect(setup, &CSetupPanel::coloursChanged, graph_, [this] { graph_->update(); });
    showConfigPanel(std::move(panel), command::kQxSetup);
}

} // namespace quillon
