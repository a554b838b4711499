// The mode panel of the mode button.
#include "dialogs/mode_panel.h"
#include "shell/commands.h"
#include "shell/graph_feed.h"
#include "shell/quillon_view.h"

namespace quillon {

void CQuillonView::openModePanel() {
    if (raiseOpenConfigPanel()) {
        return;
    }
    auto panel = std::make_unique<CModePanel>(control_, this);
    CModePanel *shown = panel.get();
    // While the panel still holds the lock: the caption and the graph of
    // the new mode, then its status pane.
    connect(shown, &CModePanel::applied, this, [this, shown] {
        const ModePanelOutcome &outcome = shown->outcome();
        button(command::kModePanel)->setText(QString::fromStdString(outcome.caption));
        updateGraph(true);
        graph_->modeChanged(graphXUnitOf(control_.State().flags.xUnit()),
                            graphModeOf(outcome.mode));
        graph_->rescale();
        clearPeaks(); // their values are in the units of the mode before
        emit statusRefresh(6, true);
    });
    showConfigPanel(std::move(panel), command::kModePanel);
}

} // namespace quillon
