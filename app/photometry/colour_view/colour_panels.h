// The colour view's three panels: illuminant and observer with the white
// reflectance, the dE reference, and the colour data export. Each holds the
// data-control lock while open, so the values it shows are the values it
// stores or writes.
#ifndef QUILLON_APP_PHOTOMETRY_COLOUR_VIEW_COLOUR_PANELS_H
#define QUILLON_APP_PHOTOMETRY_COLOUR_VIEW_COLOUR_PANELS_H

#include "datacontrol/colour_view_rules.h"
#include "dialogs/popup_panel.h"

#include <array>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillon {

class CColourSetupPanel : public PopupPanel {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1064;
    explicit CColourSetupPanel(DataControl &control, QWidget *parent = nullptr);

    QComboBox &illuminant() { return *illuminant_; }
    QComboBox &observer() { return *observer_; }
    QDoubleSpinBox &whiteReflectance() { return *white_; }
    QPushButton &okButton() { return *ok_; }
    QLabel &statusLine() { return *status_; }

private:
    void store();

    QComboBox *illuminant_ = nullptr;
    QComboBox *observer_ = nullptr;
    QDoubleSpinBox *white_ = nullptr;
    QPushButton *ok_ = nullptr;
    QLabel *status_ = nullptr;
};

class CColourReferencePanel : public PopupPanel {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1050;
    explicit CColourReferencePanel(DataControl &control, QWidget *parent = nullptr);

    QRadioButton &previousData() { return *previous_; }
    QRadioButton &selectData() { return *select_; }
    QDoubleSpinBox &lightness() { return *edits_[0]; }
    QDoubleSpinBox &aStar() { return *edits_[1]; }
    QDoubleSpinBox &bStar() { return *edits_[2]; }
    QPushButton &okButton() { return *ok_; }

private:
    void showEdits();
    void store();

    QRadioButton *previous_ = nullptr;
    QRadioButton *select_ = nullptr;
    std::array<QDoubleSpinBox *, 3> edits_{};
    std::array<QLabel *, 3> labels_{};
    QPushButton *ok_ = nullptr;
};

class CColourExportPanel : public PopupPanel {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1065;
    explicit CColourExportPanel(DataControl &control, QWidget *parent = nullptr);
    // The colour computation the file is to hold; without one nothing is saved.
    void setSnapshot(const colour_view::ColourSnapshot &snapshot);

    QLineEdit &nameEdit() { return *name_; }
    QPushButton &browseButton() { return *browse_; }
    QPushButton &saveButton() { return *save_; }
    QLabel &statusLine() { return *status_; }

signals:
    // The file has been written.
    void exported(const QString &path);

private:
    void browse();
    void save();

    colour_view::ColourSnapshot snapshot_;
    QRadioButton *table_ = nullptr;
    QLineEdit *name_ = nullptr;
    QPushButton *browse_ = nullptr;
    QPushButton *save_ = nullptr;
    QLabel *status_ = nullptr;
};

} // namespace quillon

#endif
