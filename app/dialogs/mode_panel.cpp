#include "dialogs/mode_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quillon {

OddSpinBox::OddSpinBox(QWidget *parent) : QSpinBox(parent) {
    setSingleStep(2);
}

QValidator::State OddSpinBox::validate(QString &text, int &pos) const {
    const QValidator::State state = QSpinBox::validate(text, pos);
    if (state != QValidator::Acceptable) {
        return state;
    }
    // Inside the range an even number can only stay even: refuse the key.
    return valueFromText(text) % 2 == 0 ? QValidator::Invalid : QValidator::Acceptable;
}

namespace {

QString rangeTip(double low, double high) {
    return QString("From %1 to %2").arg(low).arg(high);
}

QDoubleSpinBox *rangeBox(double limit, QWidget *parent) {
    auto *box = new QDoubleSpinBox(parent);
    box->setDecimals(2); // what the settings file keeps
    box->setRange(-limit, limit);
    box->setToolTip(rangeTip(-limit, limit));
    return box;
}

} // namespace

CModePanel::CModePanel(DataControl &control, QWidget *parent)
    : PopupPanel(control, QString::number(kTemplateId), "Mode", true, parent),
      opening_(control.OpenModePanel()) {
    using namespace mode_panel_limits;
    const ModePanelValues &v = opening_.values;
    auto *layout = new QVBoxLayout(this);

    auto *modes = new QGroupBox("Mode", this);
    auto *modeLayout = new QHBoxLayout(modes);
    auto *modeGroup = new QButtonGroup(this);
    scope_ = new QRadioButton("Scope", modes);
    transRefl_ = new QRadioButton("T/R %", modes);
    absorbance_ = new QRadioButton("Absorbance", modes);
    irradianceMode_ = new QRadioButton("Irradiance", modes);
    for (QRadioButton *b : {scope_, transRefl_, absorbance_, irradianceMode_}) {
        modeGroup->addButton(b);
        modeLayout->addWidget(b);
    }
    // Without a calibration there is no irradiance to show.
    irradianceMode_->setEnabled(opening_.irradianceControls);
    modeChoice(v.mode).setChecked(true);
    layout->addWidget(modes);

    auto *range = new QGroupBox("Y range", this);
    auto *rangeLayout = new QGridLayout(range);
    max_ = rangeBox(opening_.rangeLimit, range);
    min_ = rangeBox(opening_.rangeLimit, range);
    unit_ = new QLabel(QString::fromStdString(opening_.rangeUnit), range);
    rangeLayout->addWidget(new QLabel("Max:", range), 0, 0);
    rangeLayout->addWidget(max_, 0, 1);
    rangeLayout->addWidget(unit_, 0, 2, 2, 1);
    rangeLayout->addWidget(new QLabel("Min:", range), 1, 0);
    rangeLayout->addWidget(min_, 1, 1);
    rangeLayout->setColumnStretch(1, 1);
    layout->addWidget(range);

    if (opening_.irradianceControls) {
        irradiance_ = new QGroupBox("Irradiance", this);
        auto *grid = new QGridLayout(irradiance_);
        auto *formGroup = new QButtonGroup(this);
        absolute_ = new QRadioButton("Absolute", irradiance_);
        relative_ = new QRadioButton("Relative", irradiance_);
        formGroup->addButton(absolute_);
        formGroup->addButton(relative_);
        illuminance_ = new QCheckBox("Illuminance", irradiance_);
        temperature_ = new QSpinBox(irradiance_);
        temperature_->setRange(opening_.temperatureMin, opening_.temperatureMax);
        temperature_->setToolTip(rangeTip(opening_.temperatureMin, opening_.temperatureMax));
        distance_ = new QSpinBox(irradiance_);
        distance_->setRange(opening_.distanceMin, opening_.distanceMax);
        distance_->setToolTip(rangeTip(opening_.distanceMin, opening_.distanceMax));
        solidAngle_ = new QDoubleSpinBox(irradiance_);
        solidAngle_->setDecimals(1);
        solidAngle_->setRange(kSolidAngleMin, kSolidAngleMax);
        solidAngle_->setToolTip(rangeTip(kSolidAngleMin, kSolidAngleMax));
        grid->addWidget(absolute_, 0, 0);
        grid->addWidget(relative_, 0, 1);
        grid->addWidget(illuminance_, 0, 2);
        grid->addWidget(new QLabel("Temperature(K)", irradiance_), 1, 0);
        grid->addWidget(temperature_, 1, 1);
        grid->addWidget(new QLabel("Distance(cm)", irradiance_), 2, 0);
        grid->addWidget(distance_, 2, 1);
        grid->addWidget(new QLabel("Solid Angle", irradiance_), 3, 0);
        grid->addWidget(solidAngle_, 3, 1);
        grid->addWidget(new QLabel("Degree", irradiance_), 3, 2);
        grid->setColumnStretch(1, 1);
        (v.relativeIrradiance ? relative_ : absolute_)->setChecked(true);
        illuminance_->setChecked(v.illuminance);
        temperature_->setValue(v.colourTemperature);
        distance_->setValue(v.distanceCm);
        solidAngle_->setValue(v.solidAngle);
        layout->addWidget(irradiance_);
        connect(formGroup, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool on) {
            if (on) {
                followIrradianceForm();
                showRangeOfChoice();
            }
        });
    }

    auto *filterBox = new QGroupBox("Filter", this);
    auto *filterLayout = new QFormLayout(filterBox);
    filter_ = new QCheckBox("Use low-pass filter", filterBox);
    filter_->setChecked(v.lowPassFilter);
    window_ = new OddSpinBox(filterBox);
    window_->setRange(kFilterWindowMin, kFilterWindowMax);
    window_->setValue(v.filterWindow);
    window_->setToolTip("Odd numbers from 3 to 21");
    filterLayout->addRow(filter_);
    filterLayout->addRow("Filtering window size:", window_);
    layout->addWidget(filterBox);

    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->hide();
    layout->addWidget(status_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CModePanel::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CModePanel::reject);
    layout->addWidget(buttons);

    followIrradianceForm();
    showRangeOfChoice();
    connect(modeGroup, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool on) {
        if (on) {
            showRangeOfChoice();
        }
    });
}

QRadioButton &CModePanel::modeChoice(DisplayMode mode) {
    switch (mode) {
    case DisplayMode::TransRefl:
        return *transRefl_;
    case DisplayMode::Absorbance:
        return *absorbance_;
    case DisplayMode::Irradiance:
        return *irradianceMode_;
    default:
        return *scope_;
    }
}

DisplayMode CModePanel::chosenMode() const {
    if (transRefl_->isChecked()) {
        return DisplayMode::TransRefl;
    }
    if (absorbance_->isChecked()) {
        return DisplayMode::Absorbance;
    }
    if (irradianceMode_->isChecked()) {
        return DisplayMode::Irradiance;
    }
    return DisplayMode::Scope;
}

// The stored range of the mode now chosen; the scope mode has none.
void CModePanel::showRangeOfChoice() {
    const DisplayMode mode = chosenMode();
    const bool relative = relative_ == nullptr || relative_->isChecked();
    const ModePanelRange range = dataControl().ModePanelRangeOf(mode, relative);
    max_->setValue(range.max);
    min_->setValue(range.min);
    unit_->setText(QString::fromStdString(range.unit));
    const bool ranged = mode != DisplayMode::Scope;
    max_->setEnabled(ranged);
    min_->setEnabled(ranged);
}

void CModePanel::followIrradianceForm() {
    if (irradiance_ == nullptr) {
        return;
    }
    const bool relative = relative_->isChecked();
    temperature_->setEnabled(relative);
    distance_->setEnabled(!relative);
    solidAngle_->setEnabled(!relative);
}

ModePanelValues CModePanel::choices() const {
    ModePanelValues v = opening_.values;
    v.mode = chosenMode();
    v.max = max_->value();
    v.min = min_->value();
    v.lowPassFilter = filter_->isChecked();
    v.filterWindow = window_->value();
    if (irradiance_ != nullptr) {
        v.relativeIrradiance = relative_->isChecked();
        v.illuminance = illuminance_->isChecked();
        v.colourTemperature = temperature_->value();
        v.distanceCm = distance_->value();
        v.solidAngle = solidAngle_->value();
    }
    return v;
}

QString CModePanel::statusText() const {
    return status_->text();
}

void CModePanel::accept() {
    outcome_ = dataControl().ApplyModePanel(choices());
    if (!outcome_.problem.empty()) {
        status_->setText(QString::fromStdString(outcome_.problem));
        status_->show();
        return;
    }
    emit applied();
    PopupPanel::accept();
}

} // namespace quillon
