// The "Customize..." sheet: the texts of the printed data sheet, kept in
// the main settings file. Its first page edits the header (organisation,
// operator, sample); in factory form a second page edits the unit
// information of the factory box. OK writes the pages back.
#ifndef QUILLON_APP_DIALOGS_CUSTOMIZE_SHEET_H
#define QUILLON_APP_DIALOGS_CUSTOMIZE_SHEET_H

#include "datacontrol/data_control.h"

#include <QDialog>

#include <vector>

class QLineEdit;
class QTabWidget;

namespace quillon {

class CCustomizeSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr int kHeaderPageId = 1062;
    static constexpr int kUnitPageId = 1063;

    CCustomizeSheet(DataControl &control, bool factoryForm, QWidget *parent = nullptr);

    QTabWidget &pages() { return *tabs_; }
    QLineEdit &organization() { return *organization_; }
    QLineEdit &operatorName() { return *operator_; }
    QLineEdit &sample() { return *sample_; }
    // Null outside the factory form.
    QLineEdit *slit() { return slit_; }
    QLineEdit *grating() { return grating_; }
    QLineEdit *filter() { return filter_; }
    QLineEdit *ccd() { return ccd_; }
    QLineEdit *ioBoard() { return ioBoard_; }
    QLineEdit *boardSerial() { return boardSerial_; }

public slots:
    // Writes the pages; when the file cannot be written the sheet stays
    // open with what was typed (the user has been told).
    void accept() override;

private:
    DataControl &control_;
    std::vector<PrintPageGroup> groups_;
    QTabWidget *tabs_ = nullptr;
    QLineEdit *organization_ = nullptr;
    QLineEdit *operator_ = nullptr;
    QLineEdit *sample_ = nullptr;
    QLineEdit *slit_ = nullptr;
    QLineEdit *grating_ = nullptr;
    QLineEdit *filter_ = nullptr;
    QLineEdit *ccd_ = nullptr;
    QLineEdit *ioBoard_ = nullptr;
    QLineEdit *boardSerial_ = nullptr;
};

} // namespace quillon

#endif
