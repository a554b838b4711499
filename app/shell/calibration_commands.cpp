// The wavelength calibration of the Calibration menu: one modeless dialog
// that the graph's peak tips feed.
#include "datacontrol/messages.h"
#include "dialogs/calibration_dialog.h"
#include "shell/main_frame.h"
#include "shell/quillon_view.h"
#include "shell/scope_graph.h"

#include <QTimer>

namespace quillon {

bool CMainFrame::wavelengthCalibrationAllowed() const {
    const ChannelState &s = control_->State();
    return !s.NoDeviceMode() && s.channelCount > 0;
}

void CMainFrame::openWavelengthCalibration() {
    if (calibrationDialog_) {
        calibrationDialog_->raise();
        calibrationDialog_->activateWindow();
        return;
    }
    if (!wavelengthCalibrationAllowed()) {
        return;
    }
    calibrationDialog_ = std::make_unique<DlgCalibration>(*control_, this);
    DlgCalibration *dialog = calibrationDialog_.get();
    connect(this, &CMainFrame::peakMessage, dialog, &DlgCalibration::peakMessage);
    connect(dialog, &DlgCalibration::findPeaksRequested, this, [this, dialog] {
        if (!view_->refindPeaks()) {
            control_->Prompt().message(messages::kPeaksNeedDark);
            return;
        }
        dialog->peaksFound();
    });
    connect(dialog, &DlgCalibration::calibrationChanged, view_, &CQuillonView::unitSettingsChanged);
    connect(dialog, &DlgCalibration::unitSettingsReloaded, view_,
            &CQuillonView::unitSettingsChanged);
    // The frame lets the closed dialog go once its signal has returned.
    connect(dialog, &DlgCalibration::dialogClosed, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (calibrationDialog_ && !calibrationDialog_->isVisible()) {
                calibrationDialog_.reset();
            }
        });
    });
    dialog->show();
}

} // namespace quillon
