// The TEC panel of the button bar: the unit's thermo-electric cooler and
// its conversion capacitor. It holds the data-control lock while open, so
// that what it shows is what the unit has when "Set" sends it.
#ifndef QUILLON_APP_DIALOGS_TEC_PANEL_H
#define QUILLON_APP_DIALOGS_TEC_PANEL_H

#include "dialogs/popup_panel.h"

class QLabel;
class QPushButton;

namespace quillon {

class CTecPanel : public PopupPanel {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1069;

    explicit CTecPanel(DataControl &control, QWidget *parent = nullptr);

    QPushButton &coolerButton() { return *cooler_; }
    QPushButton &capacitorButton() { return *capacitor_; }
    QPushButton &setButton() { return *set_; }
    QPushButton &closeButton() { return *close_; }
    QLabel &statusLine() { return *status_; }
    // Whether "Set" has sent something to the unit while the panel was open.
    bool sent() const { return sent_; }

private:
    void showCaptions();
    void send();

    QPushButton *cooler_ = nullptr;
    QPushButton *capacitor_ = nullptr;
    QPushButton *set_ = nullptr;
    QPushButton *close_ = nullptr;
    QLabel *status_ = nullptr;
    bool sent_ = false;
};

} // namespace quillon

#endif
