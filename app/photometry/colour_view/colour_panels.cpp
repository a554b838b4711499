#include "colour_view/colour_panels.h"

#include "photometry/colour_tables.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <string>
#include <utility>

namespace quillon {

namespace {

constexpr const char *kNoColourYet = "No colour measured yet";

QDoubleSpinBox *numberEdit(QWidget *parent, const QString &name, double low, double high,
                           double step, int decimals) {
    auto *edit = new QDoubleSpinBox(parent);
    edit->setObjectName(name);
    edit->setRange(low, high);
    edit->setSingleStep(step);
    edit->setDecimals(decimals);
    return edit;
}

// OK and Cancel at the bottom right, with a status line to their left.
QLabel *addButtonRow(QVBoxLayout *outer, QDialog *panel, QPushButton *&ok, const QString &okText) {
    auto *row = new QHBoxLayout;
    auto *status = new QLabel(panel);
    status->setObjectName("statusText");
    status->setWordWrap(true);
    ok = new QPushButton(okText, panel);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    auto *cancel = new QPushButton("Cancel", panel);
    cancel->setObjectName("cancelButton");
    QObject::connect(cancel, &QPushButton::clicked, panel, &QDialog::reject);
    row->addWidget(status, 1);
    row->addWidget(ok);
    row->addWidget(cancel);
    outer->addLayout(row);
    return status;
}

void refuseWhenNotPaused(PopupPanel &panel, QPushButton *ok, QLabel *status) {
    if (!panel.acquisitionPaused()) {
        ok->setEnabled(false);
        status->setText("Acquisition did not pause");
    }
}

} // namespace

CColourSetupPanel::CColourSetupPanel(DataControl &control, QWidget *parent)
    : PopupPanel(control, "ColourSetupPanel", "Color Setup", true, parent) {
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    auto *form = new QFormLayout;
    illuminant_ = new QComboBox(this);
    illuminant_->setObjectName("illuminant");
    for (const char *name : colour::kIlluminantNames) {
        illuminant_->addItem(name);
    }
    observer_ = new QComboBox(this);
    observer_->setObjectName("observer");
    for (const char *name : colour::kObserverNames) {
        observer_->addItem(name);
    }
    white_ = numberEdit(this, "whiteReflectance", 0.0, 100.0, 0.1, 1);
    form->addRow("Illuminant", illuminant_);
    form->addRow("Observer", observer_);
    form->addRow("White Reflectance(%) ", white_);
    outer->addLayout(form);
    status_ = addButtonRow(outer, this, ok_, "OK");

    const ChannelState &s = control.State();
    illuminant_->setCurrentIndex(colour::illuminantOf(s.settings.colorWord));
    observer_->setCurrentIndex(colour::observerOf(s.settings.colorWord));
    white_->setValue(s.settings.refWhite);
    refuseWhenNotPaused(*this, ok_, status_);
    connect(ok_, &QPushButton::clicked, this, &CColourSetupPanel::store);
}

void CColourSetupPanel::store() {
    DataControl &dc = dataControl();
    const std::uint32_t word = colour::withSelection(
        dc.State().settings.colorWord, illuminant_->currentIndex(), observer_->currentIndex());
    if (const std::string problem = dc.ApplySetting("InitColor", std::to_string(word));
        !problem.empty()) {
        status_->setText(QString::fromStdString(problem));
        return;
    }
    // A table that cannot be loaded has been reported; the old one stays in use.
    (void)dc.Colour().LoadColorTable();
    const std::string white = QString::number(white_->value(), 'f', 1).toStdString();
    if (const std::string problem = dc.ApplySetting("RefWhite", white); !problem.empty()) {
        status_->setText(QString::fromStdString(problem));
        return;
    }
    accept();
}

CColourReferencePanel::CColourReferencePanel(DataControl &control, QWidget *parent)
    : PopupPanel(control, "ColourReferencePanel", "dE Reference", true, parent) {
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    previous_ = new QRadioButton("Previous Data", this);
    previous_->setObjectName("previousData");
    select_ = new QRadioButton("Select Data", this);
    select_->setObjectName("selectData");
    outer->addWidget(previous_);
    outer->addWidget(select_);
    auto *form = new QFormLayout;
    constexpr double kAxis = 500.0; // a*, b* of real colours stay far inside
    const std::array<const char *, 3> names{"L*", "a*", "b*"};
    const std::array<const char *, 3> objects{"lightness", "aStar", "bStar"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        edits_[i] =
            numberEdit(this, objects[i], i == 0 ? 0.0 : -kAxis, i == 0 ? 100.0 : kAxis, 0.01, 2);
        labels_[i] = new QLabel(names[i], this);
        form->addRow(labels_[i], edits_[i]);
    }
    outer->addLayout(form);
    QLabel *status = addButtonRow(outer, this, ok_, "OK");

    const ColorCalc &engine = control.Colour();
    const std::array<float, 3> user = engine.UserReference();
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        edits_[i]->setValue(user[i]);
    }
    (engine.ReferenceSource() == ColorCalc::kPreviousMeasurement ? previous_ : select_)
        ->setChecked(true);
    showEdits();
    refuseWhenNotPaused(*this, ok_, status);
    connect(select_, &QRadioButton::toggled, this, &CColourReferencePanel::showEdits);
    connect(ok_, &QPushButton::clicked, this, &CColourReferencePanel::store);
}

void CColourReferencePanel::showEdits() {
    const bool shown = select_->isChecked();
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        edits_[i]->setVisible(shown);
        labels_[i]->setVisible(shown);
    }
    adjustSize();
}

void CColourReferencePanel::store() {
    ColorCalc &engine = dataControl().Colour();
    if (select_->isChecked()) {
        engine.SetReference(ColorCalc::kUserReference, static_cast<float>(edits_[0]->value()),
                            static_cast<float>(edits_[1]->value()),
                            static_cast<float>(edits_[2]->value()));
    } else {
        const std::array<float, 3> user = engine.UserReference();
        engine.SetReference(ColorCalc::kPreviousMeasurement, user[0], user[1], user[2]);
    }
    accept();
}

CColourExportPanel::CColourExportPanel(DataControl &control, QWidget *parent)
    : PopupPanel(control, "ColourExportPanel", "Export", true, parent) {
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    table_ = new QRadioButton("Color Data Table", this);
    table_->setObjectName("colorDataTable");
    table_->setChecked(true);
    outer->addWidget(table_);
    auto *nameRow = new QHBoxLayout;
    name_ = new QLineEdit(this);
    name_->setObjectName("nameEdit");
    name_->setMinimumWidth(220);
    browse_ = new QPushButton("...", this);
    browse_->setObjectName("browseButton");
    browse_->setFixedWidth(32);
    nameRow->addWidget(name_, 1);
    nameRow->addWidget(browse_);
    outer->addLayout(nameRow);
    status_ = addButtonRow(outer, this, save_, "Save");
    save_->setObjectName("saveButton");
    setSnapshot(snapshot_);
    connect(browse_, &QPushButton::clicked, this, &CColourExportPanel::browse);
    connect(save_, &QPushButton::clicked, this, &CColourExportPanel::save);
}

void CColourExportPanel::setSnapshot(const colour_view::ColourSnapshot &snapshot) {
    snapshot_ = snapshot;
    save_->setEnabled(snapshot_.valid && acquisitionPaused());
    status_->setText(!acquisitionPaused() ? "Acquisition did not pause"
                     : snapshot_.valid    ? QString()
                                          : QString(kNoColourYet));
}

// The file is always written into the data folder: the browser only picks a name.
void CColourExportPanel::browse() {
    const QString folder = QString::fromStdString(dataControl().State().dataFolder.string());
    const QString chosen = QFileDialog::getSaveFileName(this, "Open Export Text File", folder,
                                                        "Data Table File(*.txt)", nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty()) {
        name_->setText(QFileInfo(chosen).fileName());
    }
}

void CColourExportPanel::save() {
    const std::string typed = name_->text().toStdString();
    if (!colour_view::exportStem(typed)) {
        status_->setText(colour_view::kNoSaveName);
        return;
    }
    const colour_view::ExportOutcome outcome =
        colour_view::writeExport(dataControl().State().dataFolder, typed, snapshot_);
    if (!outcome.saved) {
        status_->setText(QString::fromStdString(outcome.problem));
        return;
    }
    emit exported(QString::fromStdString(outcome.path.string()));
    accept();
}

} // namespace quillon
