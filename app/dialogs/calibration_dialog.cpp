#include "dialogs/calibration_dialog.h"

#include "datacontrol/data_control.h"
#include "dialogs/eeprom_tool_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleValidator>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace quillon {

namespace {

enum Column { kNumberColumn, kWavelengthColumn, kPixelColumn, kResidualColumn };

// A point this far off its fit is most likely mistyped or matched to the
// wrong line.
constexpr double kSuspectResidualNm = 0.5;
constexpr double kLargestWavelengthNm = 100000.0;
constexpr int kLineRole = Qt::UserRole + 1;

// The line list opens at a chosen line without making it the choice, so
// that picking that very line still hands it over.
class LineChooser : public QComboBox {
public:
    using QComboBox::QComboBox;
    void setStartLine(int index) { startLine_ = index; }

    void showPopup() override {
        QComboBox::showPopup();
        if (startLine_ >= 0) {
            const QModelIndex start = model()->index(startLine_, 0);
            view()->setCurrentIndex(start);
            view()->scrollTo(start, QAbstractItemView::PositionAtCenter);
        }
    }

private:
    int startLine_ = -1;
};

// The wavelength cell: any value may be typed, or an emission line chosen
// from the list under its 30 nm heading.
class WavelengthDelegate : public QStyledItemDelegate {
public:
    WavelengthDelegate(const CalibrationSession &session, QObject *parent)
        : QStyledItemDelegate(parent), session_(session) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &) const override {
        auto *editor = new LineChooser(parent);
        editor->setEditable(true);
        editor->setInsertPolicy(QComboBox::NoInsert);
        editor->setObjectName("wavelengthEditor");
        auto *model = new QStandardItemModel(editor);
        for (const LineGroup &group : session_.LineGroups()) {
            auto *heading = new QStandardItem(QString::fromStdString(group.heading()));
            heading->setFlags(Qt::NoItemFlags);
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            model->appendRow(heading);
            for (double line : group.linesNm) {
                auto *item = new QStandardItem(QString("   %1").arg(line, 0, 'f', 2));
                item->setData(line, kLineRole);
                model->appendRow(item);
            }
        }
        editor->setModel(model);
        auto *validator = new QDoubleValidator(0.0, kLargestWavelengthNm, 3, editor);
        validator->setNotation(QDoubleValidator::StandardNotation);
        validator->setLocale(QLocale::c());
        editor->setValidator(validator);
        editor->setMaxVisibleItems(16);
        return editor;
    }

    // The list opens at the line nearest the cell's value, or, for an empty
    // cell, nearest where the calibration in use puts the row's pixel.
    void setEditorData(QWidget *editor, const QModelIndex &index) const override {
        auto *combo = static_cast<LineChooser *>(editor);
        const QString text = index.data().toString().trimmed();
        bool typed = false;
        const double value = text.toDouble(&typed);
        const std::optional<double> target =
            typed ? std::optional<double>(value) : session_.PresentWavelength(index.row());
        combo->setCurrentIndex(-1);
        combo->setStartLine(target ? nearestLine(*combo, *target) : -1);
        combo->setEditText(text);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override {
        auto *combo = static_cast<QComboBox *>(editor);
        const QVariant line = combo->currentIndex() >= 0 &&
                                      combo->currentText() == combo->itemText(combo->currentIndex())
                                  ? combo->itemData(combo->currentIndex(), kLineRole)
                                  : QVariant();
        const QString text = line.isValid()
                                 ? QString::fromStdString(wavelengthCellText(
                                       static_cast<int>(std::lround(line.toDouble() * 10.0))))
                                 : combo->currentText().trimmed();
        model->setData(index, text);
    }

private:
    static int nearestLine(const QComboBox &combo, double nm) {
        int nearest = -1;
        for (int i = 0; i < combo.count(); ++i) {
            const QVariant line = combo.itemData(i, kLineRole);
            if (line.isValid() &&
                (nearest < 0 || std::abs(line.toDouble() - nm) <
                                    std::abs(combo.itemData(nearest, kLineRole).toDouble() - nm))) {
                nearest = i;
            }
        }
        return nearest;
    }

    const CalibrationSession &session_;
};

// The pixel cell: a whole pixel of the sensor, or empty.
class PixelDelegate : public QStyledItemDelegate {
public:
    PixelDelegate(int pixels, QObject *parent) : QStyledItemDelegate(parent), pixels_(pixels) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &) const override {
        auto *editor = new QLineEdit(parent);
        editor->setObjectName("pixelEditor");
        editor->setValidator(new QIntValidator(1, std::max(pixels_, 1), editor));
        return editor;
    }

private:
    int pixels_;
};

QString residualText(const PointResidual &residual) {
    return QString::asprintf("%+.3f", residual.residualNm);
}

} // namespace

DlgCalibration::DlgCalibration(DataControl &control, QWidget *parent)
    : QDialog(parent), control_(control), session_(control) {
    setObjectName("CalibrationDialog");
    setWindowTitle("Calibration for Wavelength");
    setModal(false);
    auto *outer = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    buildTable();
    left->addWidget(table_, 1);
    fit_ = new QLabel(this);
    fit_->setObjectName("fitSummary");
    fit_->setWordWrap(true);
    left->addWidget(fit_);
    outer->addLayout(left, 1);
    outer->addWidget(buildControls());

    opened_ = session_.Open();
    showState();
}

void DlgCalibration::buildTable() {
    table_ = new QTableWidget(kCalibrationRows, 4, this);
    table_->setObjectName("pointList");
    table_->setHorizontalHeaderLabels({"No", "Wavelength(nm)", "Pixel", "Residual(nm)"});
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed);
    table_->setItemDelegateForColumn(kWavelengthColumn, new WavelengthDelegate(session_, table_));
    table_->setItemDelegateForColumn(
        kPixelColumn,
        new PixelDelegate(static_cast<int>(control_.State().geometry.activePixels), table_));
    for (int row = 0; row < kCalibrationRows; ++row) {
        for (int column = 0; column < 4; ++column) {
            auto *item = new QTableWidgetItem;
            if (column == kNumberColumn || column == kResidualColumn) {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            }
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, column, item);
        }
        table_->item(row, kNumberColumn)->setText(QString::number(row + 1));
        table_->item(row, kNumberColumn)->setTextAlignment(Qt::AlignCenter);
    }
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(kWavelengthColumn,
                           fontMetrics().horizontalAdvance("Wavelength(nm)") + 24);
    table_->setMinimumWidth(
        fontMetrics().horizontalAdvance("No Wavelength(nm) Pixel Residual(nm)") + 80);
    table_->setMinimumHeight(table_->horizontalHeader()->height() +
                             12 * table_->verticalHeader()->defaultSectionSize());
    connect(table_, &QTableWidget::cellChanged, this, &DlgCalibration::cellEdited);
}

QWidget *DlgCalibration::buildControls() {
    auto *panel = new QWidget(this);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);

    auto *sourceBox = new QGroupBox("Select Data Source", panel);
    auto *sourceColumn = new QVBoxLayout(sourceBox);
    sources_ = new QButtonGroup(this);
    const char *captions[] = {"Custom Cal. Set", "Auto Peak Data", "Cal. data Base",
                              "Factory Default Set", "New Cal. Set"};
    for (int i = 0; i < 5; ++i) {
        auto *button = new QRadioButton(captions[i], sourceBox);
        button->setObjectName(QString("source%1").arg(i));
        sources_->addButton(button, i);
        sourceColumn->addWidget(button);
        if (i == static_cast<int>(PointSource::Database)) {
            database_ = new QComboBox(sourceBox);
            database_->setObjectName("databaseList");
            database_->addItem("Hg-Ar Line");
            database_->setToolTip("The emission lines the data base fills the list with");
            auto *indent = new QHBoxLayout;
            indent->addSpacing(20);
            indent->addWidget(database_, 1);
            sourceColumn->addLayout(indent);
        }
    }
    connect(sources_, &QButtonGroup::idClicked, this, [this](int id) {
        if (!updating_) {
            session_.ChooseSource(static_cast<PointSource>(id));
            showState();
        }
    });
    column->addWidget(sourceBox);

    auto *setBox = new QGroupBox("Select Custom Cal. Set", panel);
    auto *setColumn = new QVBoxLayout(setBox);
    sets_ = new QComboBox(setBox);
    sets_->setObjectName("setList");
    sets_->setEditable(true);
    sets_->setInsertPolicy(QComboBox::NoInsert);
    sets_->setToolTip("Choose a set, or type the name of a new one");
    sets_->setMinimumContentsLength(18);
    setColumn->addWidget(sets_);
    connect(sets_, &QComboBox::activated, this, [this](int entry) {
        if (!updating_) {
            session_.ChooseEntry(entry);
            showState();
        }
    });
    connect(sets_->lineEdit(), &QLineEdit::textEdited, this, &DlgCalibration::typedSetName);
    column->addWidget(setBox);

    auto addButton = [panel, column](const char *caption, const char *name, const char *tip) {
        auto *button = new QPushButton(caption, panel);
        button->setObjectName(name);
        button->setToolTip(tip);
        column->addWidget(button);
        return button;
    };
    refresh_ = addButton("Refresh for FindPeak", "refreshButton",
                         "Find the peaks of the graph again; point at a peak to take its pixel");
    saveIni_ = addButton("Save in the ini file", "saveIniButton",
                         "Keep the list as the chosen custom set");
    apply_ = addButton("Apply as Default", "applyButton", "Use the chosen set from now on");
    connect(refresh_, &QPushButton::clicked, this, &DlgCalibration::refreshForFindPeak);
    connect(saveIni_, &QPushButton::clicked, this, &DlgCalibration::saveInIniFile);
    connect(apply_, &QPushButton::clicked, this, &DlgCalibration::applyAsDefault);

    eeprom_ = new QGroupBox("EEPROM", panel);
    eeprom_->setObjectName("eepromGroup");
    auto *eepromColumn = new QVBoxLayout(eeprom_);
    saveEeprom_ = new QPushButton("Save in EEPROM", eeprom_);
    saveEeprom_->setObjectName("saveEepromButton");
    saveEeprom_->setToolTip("Write the list into the unit as its factory set");
    editEeprom_ = new QPushButton("Edit EEPROM", eeprom_);
    editEeprom_->setObjectName("editEepromButton");
    editEeprom_->setToolTip("View and edit the unit's EEPROM text");
    eepromColumn->addWidget(saveEeprom_);
    eepromColumn->addWidget(editEeprom_);
    connect(saveEeprom_, &QPushButton::clicked, this, &DlgCalibration::saveInEeprom);
    connect(editEeprom_, &QPushButton::clicked, this, &DlgCalibration::editEeprom);
    column->addWidget(eeprom_);

    column->addStretch(1);
    auto *close = new QPushButton("Close", panel);
    close->setObjectName("closeButton");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    column->addWidget(close);
    return panel;
}

void DlgCalibration::showState() {
    const bool wasUpdating = updating_;
    updating_ = true;
    if (QAbstractButton *button = sources_->button(static_cast<int>(session_.Source()))) {
        button->setChecked(true);
    }
    showSetList();
    showRows();
    refresh_->setEnabled(opened_);
    saveIni_->setEnabled(opened_);
    apply_->setEnabled(opened_ && session_.ApplyEnabled());
    eeprom_->setVisible(session_.EepromButtonsShown());
    saveEeprom_->setEnabled(opened_ && session_.SaveInEepromEnabled());
    editEeprom_->setEnabled(opened_);
    for (QAbstractButton *button : sources_->buttons()) {
        button->setEnabled(opened_);
    }
    updating_ = wasUpdating;
}

void DlgCalibration::showSetList() {
    QStringList names;
    for (const std::string &name : session_.SetNames()) {
        names << QString::fromStdString(name);
    }
    QStringList shown;
    for (int i = 0; i < sets_->count(); ++i) {
        shown << sets_->itemText(i);
    }
    if (names != shown) {
        sets_->clear();
        sets_->addItems(names);
    }
    if (session_.SelectedEntry() >= 0) {
        sets_->setCurrentIndex(session_.SelectedEntry());
    }
    const QString typed = QString::fromStdString(session_.TypedName());
    if (sets_->currentText() != typed) {
        sets_->setEditText(typed);
    }
    sets_->setEnabled(opened_ && session_.SetListEnabled());
}

void DlgCalibration::showRows() {
    const bool wasUpdating = updating_;
    updating_ = true;
    const auto &rows = session_.Rows();
    for (int row = 0; row < kCalibrationRows; ++row) {
        const PointRow &point = rows[static_cast<std::size_t>(row)];
        table_->item(row, kWavelengthColumn)->setText(QString::fromStdString(point.wavelength));
        table_->item(row, kPixelColumn)->setText(QString::fromStdString(point.pixel));
    }
    showFit();
    updating_ = wasUpdating;
}

void DlgCalibration::showFit() {
    const CalibrationResiduals fit = session_.Residuals();
    const auto &rows = session_.Rows();
    std::size_t next = 0;
    for (int row = 0; row < kCalibrationRows; ++row) {
        QTableWidgetItem *cell = table_->item(row, kResidualColumn);
        const PointRow &point = rows[static_cast<std::size_t>(row)];
        const bool usable = !storedPointsOfRows(std::span(&point, 1)).empty();
        if (usable && fit.fitted && next < fit.points.size()) {
            const PointResidual &residual = fit.points[next++];
            cell->setText(residualText(residual));
            cell->setForeground(std::abs(residual.residualNm) > kSuspectResidualNm
                                    ? QBrush(Qt::red)
                                    : palette().brush(QPalette::Text));
        } else {
            cell->setText(QString());
        }
    }
    const std::size_t count = session_.Points().size();
    if (fit.fitted) {
        fit_->setText(QString("%1 points, polynomial of order %2: RMS residual %3 nm")
                          .arg(count)
                          .arg(fit.order)
                          .arg(fit.rmsNm, 0, 'f', 3));
    } else if (count < 2) {
        fit_->setText("Fewer than two points with a wavelength and a pixel: no fit yet.");
    } else {
        fit_->setText("These points fix no calibration: check the wavelengths and pixels.");
    }
}

void DlgCalibration::cellEdited(int row, int column) {
    if (updating_) {
        return;
    }
    const std::string text = table_->item(row, column)->text().toStdString();
    if (column == kWavelengthColumn) {
        session_.SetWavelengthCell(row, text);
    } else if (column == kPixelColumn) {
        session_.SetPixelCell(row, text);
    } else {
        return;
    }
    const bool wasUpdating = updating_;
    updating_ = true;
    showFit();
    updating_ = wasUpdating;
}

void DlgCalibration::typedSetName(const QString &text) {
    if (updating_) {
        return;
    }
    const int before = session_.SelectedEntry();
    session_.TypeName(text.toStdString());
    if (session_.SelectedEntry() != before && session_.SelectedEntry() >= 0) {
        showState();
    } else {
        const bool wasUpdating = updating_;
        updating_ = true;
        apply_->setEnabled(opened_ && session_.ApplyEnabled());
        saveEeprom_->setEnabled(opened_ && session_.SaveInEepromEnabled());
        updating_ = wasUpdating;
    }
}

void DlgCalibration::peakMessage(int rank, int) {
    if (!opened_) {
        return;
    }
    if (const auto row = session_.PeakMessage(rank)) {
        showRows();
        table_->selectRow(*row);
        table_->scrollToItem(table_->item(*row, kNumberColumn));
    }
}

void DlgCalibration::peaksFound() {
    session_.PeaksFound();
    showState();
}

void DlgCalibration::refreshForFindPeak() {
    session_.ForgetLastPeak();
    emit findPeaksRequested();
}

void DlgCalibration::saveInIniFile() {
    (void)session_.SaveInIniFile();
    showState();
}

void DlgCalibration::applyAsDefault() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const OpResult result = session_.ApplyAsDefault();
    QApplication::restoreOverrideCursor();
    showState();
    if (result == OpResult::Done) {
        emit calibrationChanged();
    }
}

void DlgCalibration::saveInEeprom() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    (void)session_.SaveInEeprom(); // the outcome has been reported to the operator
    QApplication::restoreOverrideCursor();
    showState();
}

void DlgCalibration::editEeprom() {
    CEepromToolDialog tool(control_, this);
    tool.exec();
    if (!tool.unitTextWritten()) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    (void)session_.UnitTextChanged(); // a failure has been shown to the operator
    QApplication::restoreOverrideCursor();
    showState();
    emit unitSettingsReloaded();
    emit findPeaksRequested();
}

void DlgCalibration::done(int result) {
    QDialog::done(result);
    emit dialogClosed();
}

} // namespace quillon
