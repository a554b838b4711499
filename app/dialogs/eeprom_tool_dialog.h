// The EEPROM tool of the calibration dialog: the current unit's channel ID
// and its EEPROM text, laid out as the unit's set-up dialog always was
// (positions in dialog units of the application font). It presents the
// EepromTool core and forwards its buttons; the opener looks at
// unitTextWritten() after exec() to set the channel up again.
#ifndef QUILLON_APP_DIALOGS_EEPROM_TOOL_DIALOG_H
#define QUILLON_APP_DIALOGS_EEPROM_TOOL_DIALOG_H

#include "datacontrol/eeprom_tool.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quillon {

class DataControl;

class CEepromToolDialog : public QDialog {
    Q_OBJECT

public:
    CEepromToolDialog(DataControl &control, QWidget *parent);

    // The unit's EEPROM was written while the dialog was open.
    bool unitTextWritten() const { return tool_.written(); }

    // OK and closing the window both run the closing step, which may keep
    // the dialog open (unsaved edits the operator keeps).
    void accept() override;
    void reject() override;

private:
    void build();
    void showState();
    void paneEdited();
    void read();
    void write();
    void fillTemplate();
    void changeChannelId();
    void closeWith(int result);

    EepromTool tool_;
    QLabel *channelIdText_ = nullptr;
    QComboBox *channelIdList_ = nullptr;
    QPushButton *changeButton_ = nullptr;
    QPushButton *okButton_ = nullptr;
    QPushButton *readButton_ = nullptr;
    QPushButton *writeButton_ = nullptr;
    QPushButton *templateButton_ = nullptr;
    QPushButton *templateHelpButton_ = nullptr;
    QPlainTextEdit *pane_ = nullptr;
};

} // namespace quillon

#endif
