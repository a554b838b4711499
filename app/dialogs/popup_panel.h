// The configuration panels of the button bar open below their button as
// small modal windows: while one is open nothing else can change what it
// edits. Some of them also hold the data-control lock for as long as they
// are open (acquisition stands still, the graph keeps its last picture), so
// the values they show are the values they store.
#ifndef QUILLON_APP_DIALOGS_POPUP_PANEL_H
#define QUILLON_APP_DIALOGS_POPUP_PANEL_H

#include "datacontrol/data_control.h"

#include <QDialog>

#include <optional>

namespace quillon {

class PopupPanel : public QDialog {
    Q_OBJECT

public:
    // `holdLock` takes the data-control lock until the panel is destroyed.
    PopupPanel(DataControl &control, const QString &objectName, const QString &caption,
               bool holdLock, QWidget *parent);
    ~PopupPanel() override;

    DataControl &dataControl() { return control_; }
    // False when the panel holds the lock but acquisition did not pause.
    bool acquisitionPaused() const { return !lock_ || lock_->paused(); }
    // Shows the panel with its top-left corner at `globalTopLeft`, kept on
    // the screen, window-modal to its parent.
    void openAt(const QPoint &globalTopLeft);
    // Gives the lock back before the panel goes (the view destroys closed
    // panels later, after their signals have been handled).
    void releaseLock() { lock_.reset(); }

signals:
    // The panel has closed, with or without storing: the view lets it go.
    void panelClosed();

protected:
    void done(int result) override;

private:
    DataControl &control_;
    std::optional<SuspendedAcquisition> lock_;
};

} // namespace quillon

#endif
