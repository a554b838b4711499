// The mode panel of the mode button: the display mode with its y range, the
// low-pass filter and, on units calibrated for irradiance, the irradiance
// form and its parameters. It holds the data-control lock while open, so
// acquisition stands still; OK applies the choices in one core operation.
#ifndef QUILLON_APP_DIALOGS_MODE_PANEL_H
#define QUILLON_APP_DIALOGS_MODE_PANEL_H

#include "dialogs/popup_panel.h"

#include <QSpinBox>

class QCheckBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace quillon {

// A spin box of odd numbers only: an even number cannot be typed.
class OddSpinBox : public QSpinBox {
    Q_OBJECT

public:
    explicit OddSpinBox(QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &text, int &pos) const override;
};

class CModePanel : public PopupPanel {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1010;

    explicit CModePanel(DataControl &control, QWidget *parent = nullptr);

    QRadioButton &modeChoice(DisplayMode mode);
    QDoubleSpinBox &maxBox() { return *max_; }
    QDoubleSpinBox &minBox() { return *min_; }
    QLabel &unitLabel() { return *unit_; }
    // Null on units without irradiance calibration.
    QGroupBox *irradianceGroup() { return irradiance_; }
    QRadioButton &absoluteChoice() { return *absolute_; }
    QRadioButton &relativeChoice() { return *relative_; }
    QCheckBox &illuminance() { return *illuminance_; }
    QSpinBox &temperature() { return *temperature_; }
    QSpinBox &distance() { return *distance_; }
    QDoubleSpinBox &solidAngle() { return *solidAngle_; }
    QCheckBox &lowPassFilter() { return *filter_; }
    QSpinBox &filterWindow() { return *window_; }
    QString statusText() const;
    // What OK did; NotDone before OK.
    const ModePanelOutcome &outcome() const { return outcome_; }
    ModePanelValues choices() const;

public slots:
    // Applies the choices; a refusal keeps the panel open with the reason.
    void accept() override;

signals:
    // OK applied the choices (before the lock is released).
    void applied();

private:
    DisplayMode chosenMode() const;
    void showRangeOfChoice();
    void followIrradianceForm();

    ModePanelOpening opening_;
    ModePanelOutcome outcome_;
    QRadioButton *scope_ = nullptr;
    QRadioButton *transRefl_ = nullptr;
    QRadioButton *absorbance_ = nullptr;
    QRadioButton *irradianceMode_ = nullptr;
    QDoubleSpinBox *max_ = nullptr;
    QDoubleSpinBox *min_ = nullptr;
    QLabel *unit_ = nullptr;
    QGroupBox *irradiance_ = nullptr;
    QRadioButton *absolute_ = nullptr;
    QRadioButton *relative_ = nullptr;
    QCheckBox *illuminance_ = nullptr;
    QSpinBox *temperature_ = nullptr;
    QSpinBox *distance_ = nullptr;
    QDoubleSpinBox *solidAngle_ = nullptr;
    QCheckBox *filter_ = nullptr;
    OddSpinBox *window_ = nullptr;
    QLabel *status_ = nullptr;
};

} // namespace quillon

#endif
