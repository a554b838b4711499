#include "shell/peak_dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace quillon {

namespace {

QDoubleSpinBox *spinEdit(double minimum, double maximum, double value, QWidget *parent) {
    auto *spin = new QDoubleSpinBox(parent);
    spin->setRange(minimum, maximum);
    spin->setSingleStep(0.1);
    spin->setDecimals(1);
    spin->setValue(value);
    return spin;
}

std::string number(double value) {
    return QString::number(value, 'f', 1).toStdString();
}

} // namespace

CPeakOptionsDialog::CPeakOptionsDialog(DataControl &control, QWidget *parent)
    : QDialog(parent), control_(control) {
    setObjectName("PeakOptionsDialog");
    setWindowTitle("Peak Find");
    const PeakSettings &peaks = control.State().peaks;
    // The settings keep values the spin edits cannot show: they are brought
    // into the edits' ranges.
    ratio_ = spinEdit(0.1, 100.0, peaks.noiseRatio, this);
    ratio_->setObjectName("NoiseMultiplier");
    line_ = spinEdit(0.0, 100.0, peaks.noiseLine, this);
    line_->setObjectName("Threshold");
    high_ = new QRadioButton("High Peak", this);
    low_ = new QRadioButton("Low Peak", this);
    auto *kind = new QButtonGroup(this);
    kind->addButton(high_, 0);
    kind->addButton(low_, 1);
    (peaks.noiseHighLow == 1 ? low_ : high_)->setChecked(true);

    auto *form = new QFormLayout;
    form->addRow("Noise multiplier", ratio_);
    form->addRow("Threshold(%)", line_);
    auto *kinds = new QHBoxLayout;
    kinds->addWidget(high_);
    kinds->addWidget(low_);
    kinds->addStretch();
    form->addRow(kinds);
    status_ = new QLabel(this);
    status_->setObjectName("PeakOptionsStatus");
    status_->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPeakOptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    layout->addWidget(buttons);
}

void CPeakOptionsDialog::accept() {
    // A threshold of 0 is a level at the bottom of the display range; the
    // settings file keeps it as the smallest value it stores.
    const double line = std::max(line_->value(), 0.01);
    std::vector<SettingAssignment> assignments;
    for (const std::string &text :
         {"NoiseRatio=" + number(ratio_->value()),
          "NoiseLine=" + QString::number(line, 'f', 2).toStdString(),
          std::string("NoiseHighLow=") + (low_->isChecked() ? "1" : "0")}) {
        std::string error;
        const auto assignment = SettingsTable::Parse(text, error);
        if (!assignment) {
            status_->setText(QString::fromStdString(error));
            return;
        }
        assignments.push_back(*assignment);
    }
    std::vector<std::string> warnings;
    const std::string problem = control_.ApplySettings(assignments, warnings);
    if (!problem.empty()) {
        status_->setText(QString::fromStdString(problem));
        return;
    }
    QDialog::accept();
}

CPeakDataDialog::CPeakDataDialog(DataControl &control, QWidget *parent)
    : QDialog(parent), control_(control) {
    setObjectName("PeakDataDialog");
    setWindowTitle("Peak Data");
    table_ = new QTableWidget(this);
    table_->setObjectName("PeakTable");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    note_ = new QLabel(this);
    note_->setObjectName("PeakNote");
    note_->setWordWrap(true);
    copy_ = new QPushButton("&Copy", this);
    copy_->setObjectName("CopyPeaks");
    copy_->setToolTip("Copy the table to the clipboard as tab-separated text");
    save_ = new QPushButton("&Save CSV...", this);
    save_->setObjectName("SavePeaks");
    save_->setToolTip("Save the table as a CSV file");
    auto *close = new QPushButton("Close", this);
    connect(copy_, &QPushButton::clicked, this, &CPeakDataDialog::copyToClipboard);
    connect(save_, &QPushButton::clicked, this, &CPeakDataDialog::chooseCsvFile);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addWidget(save_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(note_);
    layout->addLayout(buttons);
    resize(460, 360);
}

void CPeakDataDialog::showPeaks(const PeakTableContext &context,
                                std::vector<analysis::Peak> peaks) {
    wavelengths_.assign(context.wavelengthTable.begin(), context.wavelengthTable.end());
    context_ = context;
    context_.wavelengthTable = wavelengths_;
    peaks_ = std::move(peaks);
    const std::vector<std::string> headings = peakTableHeadings(context_);
    table_->clear();
    table_->setColumnCount(static_cast<int>(headings.size()));
    table_->setRowCount(static_cast<int>(peaks_.size()));
    QStringList labels;
    for (const std::string &heading : headings) {
        labels << QString::fromStdString(heading);
    }
    table_->setHorizontalHeaderLabels(labels);
    int saturated = 0;
    for (std::size_t k = 0; k < peaks_.size(); ++k) {
        const auto cells = peakTableRow(context_, static_cast<int>(k + 1), peaks_[k]);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(QString::fromStdString(cells[c]).trimmed());
            item->setTextAlignment(c + 1 < cells.size() ? Qt::AlignRight | Qt::AlignVCenter
                                                        : Qt::AlignLeft | Qt::AlignVCenter);
            if (peaks_[k].saturated) {
                item->setForeground(QColor(192, 0, 0));
            }
            table_->setItem(static_cast<int>(k), static_cast<int>(c), item);
        }
        saturated += peaks_[k].saturated ? 1 : 0;
    }
    table_->resizeColumnsToContents();
    QString note = peaks_.empty() ? "No Peak Data." : QString("%1 peaks.").arg(peaks_.size());
    if (saturated > 0) {
        note += QString(" %1 over saturated pixels (red): their centres and widths are unreliable.")
                    .arg(saturated);
    }
    if (std::any_of(peaks_.begin(), peaks_.end(),
                    [](const analysis::Peak &p) { return p.fwhm <= 0.0f; })) {
        note += QString(" %1: width not measured%2.")
                    .arg(QString::fromUtf8(kNotMeasured),
                         context_.gridData ? " (spectra on the wavelength grid have none)" : "");
    }
    note_->setText(note);
    copy_->setEnabled(!peaks_.empty());
    save_->setEnabled(!peaks_.empty());
}

QString CPeakDataDialog::tableText(char separator) const {
    return QString::fromStdString(peakTableText(context_, peaks_, separator));
}

void CPeakDataDialog::copyToClipboard() {
    QApplication::clipboard()->setText(tableText('\t'));
}

bool CPeakDataDialog::saveCsv(const QString &path) {
    const std::string bytes = tableText(',').toStdString();
    const StoreOutcome outcome =
        control_.Stored().WriteExportFile(std::filesystem::path(path.toStdString()), bytes);
    return outcome.result == OpResult::Done;
}

void CPeakDataDialog::chooseCsvFile() {
    const QString folder = QString::fromStdString(control_.State().dataFolder.string());
    const QString path = QFileDialog::getSaveFileName(this, "Save Peak Data", folder + "/peaks.csv",
                                                      "CSV files (*.csv)");
    if (!path.isEmpty()) {
        (void)saveCsv(path); // a failure has been told to the operator
    }
}

} // namespace quillon
