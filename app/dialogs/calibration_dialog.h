// "Calibration for Wavelength": the point table of the current channel with
// the fit of every point shown before anything is kept, the sources that
// fill it, the calibration sets, and the unit's EEPROM. Modeless, so that the
// operator can point at the peaks of the live graph, which report their
// pixels into the table.
#ifndef QUILLON_APP_DIALOGS_CALIBRATION_DIALOG_H
#define QUILLON_APP_DIALOGS_CALIBRATION_DIALOG_H

#include "datacontrol/calibration_session.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace quillon {

class DataControl;

class DlgCalibration : public QDialog {
    Q_OBJECT

public:
    DlgCalibration(DataControl &control, QWidget *parent);

    CalibrationSession &session() { return session_; }
    // A peak tip of the graph: peak `rank` (from 1) at x position `x`.
    void peakMessage(int rank, int x);
    // The graph has found the peaks again.
    void peaksFound();

signals:
    // The graph should run its peak finder, then call peaksFound().
    void findPeaksRequested();
    // Another calibration is in use: axis, tables and titles change.
    void calibrationChanged();
    // The channel was set up again from its changed unit text.
    void unitSettingsReloaded();
    void dialogClosed();

protected:
    void done(int result) override;

private:
    void buildTable();
    QWidget *buildControls();
    void showState();
    void showRows();
    void showFit();
    void showSetList();
    void cellEdited(int row, int column);
    void typedSetName(const QString &text);
    void refreshForFindPeak();
    void saveInIniFile();
    void applyAsDefault();
    void saveInEeprom();
    void editEeprom();

    DataControl &control_;
    CalibrationSession session_;
    bool opened_ = false;
    bool updating_ = false;
    QTableWidget *table_ = nullptr;
    QLabel *fit_ = nullptr;
    QButtonGroup *sources_ = nullptr;
    QComboBox *database_ = nullptr;
    QComboBox *sets_ = nullptr;
    QPushButton *refresh_ = nullptr;
    QPushButton *saveIni_ = nullptr;
    QPushButton *apply_ = nullptr;
    QGroupBox *eeprom_ = nullptr;
    QPushButton *saveEeprom_ = nullptr;
    QPushButton *editEeprom_ = nullptr;
};

} // namespace quillon

#endif
