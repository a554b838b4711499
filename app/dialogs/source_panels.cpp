#include "dialogs/source_panels.h"

#include "datacontrol/messages.h"
#include "platform/files.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace quillon {

namespace {

QString qs(const std::string &text) {
    return QString::fromStdString(text);
}

QGroupBox *radioGroup(const QString &title, QButtonGroup &group,
                      std::initializer_list<std::pair<int, const char *>> choices,
                      const QString &namePrefix) {
    auto *box = new QGroupBox(title);
    auto *column = new QVBoxLayout(box);
    column->setSpacing(2);
    for (const auto &[id, text] : choices) {
        auto *radio = new QRadioButton(text, box);
        radio->setObjectName(namePrefix + QString::number(id));
        group.addButton(radio, id);
        column->addWidget(radio);
    }
    return box;
}

} // namespace

CSourcePanel::CSourcePanel(DataControl &control, const QString &objectName, const QString &caption,
                           std::filesystem::path folder, QWidget *parent)
    : PopupPanel(control, objectName, caption, false, parent), folder_(std::move(folder)) {}

QWidget *CSourcePanel::makeNameRow() {
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel("File Name", row);
    name_ = new QLineEdit(row);
    name_->setObjectName("nameBox");
    name_->setMinimumWidth(200);
    browse_ = new QPushButton("Browse...", row);
    browse_->setObjectName("browseButton");
    layout->addWidget(label);
    layout->addWidget(name_, 1);
    layout->addWidget(browse_);
    return row;
}

QWidget *CSourcePanel::makeStatusRow() {
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    status_ = new QLabel(row);
    status_->setObjectName("statusText");
    status_->setMinimumWidth(240);
    close_ = new QPushButton("Close", row);
    close_->setObjectName("closeButton");
    connect(close_, &QPushButton::clicked, this, &CSourcePanel::finish);
    layout->addWidget(status_, 1);
    layout->addWidget(close_);
    return row;
}

void CSourcePanel::setStatus(const QString &text) {
    status_->setText(text);
    status_->setToolTip(text);
}

// The toolkit's own file dialog, so that it looks the same everywhere and
// tests can answer it.
void CSourcePanel::browseFor(const QString &title, const QString &filter, const char *extension) {
    QFileDialog dialog(this, title, qs(platform::pathText(folder_)), filter);
    dialog.setObjectName("browseDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString(extension).mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QFileInfo chosen(dialog.selectedFiles().first());
    name_->setText(chosen.fileName());
    folder_ = std::filesystem::path(chosen.absolutePath().toStdString());
    emit folderChosen(chosen.absolutePath());
}

void CSourcePanel::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    closing_ = closePanel();
    accept();
}

// ---------------------------------------------------------------- dark panel

CDarkPanel::CDarkPanel(DataControl &control, std::filesystem::path folder, QWidget *parent)
    : CSourcePanel(control, "DarkPanel", "Dark Scan", std::move(folder), parent) {
    const DarkPanelView view = control.DarkPanelOpening();
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(6);

    auto *top = new QHBoxLayout;
    top->addWidget(
        radioGroup("Dark Source", sources_,
                   {{static_cast<int>(DarkSource::Scan), "Current Scan"},
                    {static_cast<int>(DarkSource::OpticalBlack), "Optical Black"},
                    {static_cast<int>(DarkSource::File), "File"},
                    {static_cast<int>(DarkSource::BuiltInShutter), "Mechanical Shutter"}},
                   "source"));
    auto *side = new QVBoxLayout;
    subtraction_ = new QCheckBox("Optical Black Substraction", this);
    subtraction_->setObjectName("subtractionBox");
    subtraction_->setChecked(view.subtraction);
    subtraction_->setVisible(view.subtractionOffered);
    side->addWidget(subtraction_);
    auto *shutterBox = new QGroupBox("Shutter", this);
    auto *shutterRow = new QHBoxLayout(shutterBox);
    shutter_ = new QPushButton("Open", shutterBox);
    shutter_->setObjectName("shutterButton");
    shutterRow->addWidget(shutter_);
    shutterRow->addStretch(1);
    side->addWidget(shutterBox);
    side->addStretch(1);
    top->addLayout(side, 1);
    outer->addLayout(top);

    fileRow_ = makeNameRow();
    outer->addWidget(fileRow_);
    fileButtons_ = new QWidget(this);
    auto *buttons = new QHBoxLayout(fileButtons_);
    buttons->setContentsMargins(0, 0, 0, 0);
    save_ = new QPushButton("Save File", fileButtons_);
    save_->setObjectName("saveButton");
    load_ = new QPushButton("Load File", fileButtons_);
    load_->setObjectName("loadButton");
    buttons->addStretch(1);
    buttons->addWidget(save_);
    buttons->addWidget(load_);
    outer->addWidget(fileButtons_);
    outer->addWidget(makeStatusRow());

    nameBox().setText(qs(view.name));
    sourceButton(DarkSource::BuiltInShutter)
        ->setEnabled(control.DarkSourceAvailable(DarkSource::BuiltInShutter));
    shutter_->setEnabled(view.shutterFitted);
    showShutter(view.shutterClosed);
    if (QRadioButton *current = sourceButton(view.source); current && current->isEnabled()) {
        current->setChecked(true);
    } else {
        sourceButton(DarkSource::Scan)->setChecked(true);
    }
    connect(&sources_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) {
            sourceChanged();
        }
    });
    connect(&browseButton(), &QPushButton::clicked, this,
            [this] { browseFor("Open Dark File", "Dark File (*.dak)", kDarkFileExtension); });
    connect(save_, &QPushButton::clicked, this, &CDarkPanel::saveFile);
    connect(load_, &QPushButton::clicked, this, &CDarkPanel::loadFile);
    connect(shutter_, &QPushButton::clicked, this, &CDarkPanel::flipShutter);
    sourceChanged();
}

QRadioButton *CDarkPanel::sourceButton(DarkSource source) const {
    return qobject_cast<QRadioButton *>(sources_.button(static_cast<int>(source)));
}

void CDarkPanel::chooseSource(DarkSource source) {
    if (QRadioButton *b = sourceButton(source); b != nullptr && b->isEnabled()) {
        b->setChecked(true);
    }
}

DarkSource CDarkPanel::chosen() const {
    return static_cast<DarkSource>(sources_.checkedId());
}

bool CDarkPanel::fileRowShown() const {
    return !fileRow_->isHidden();
}

void CDarkPanel::sourceChanged() {
    const bool file = chosen() == DarkSource::File;
    fileRow_->setVisible(file);
    fileButtons_->setVisible(file);
    save_->setEnabled(file && dataControl().State().flags.status.test(status_bits::kDarkReady));
    load_->setEnabled(file);
    adjustSize();
}

void CDarkPanel::saveFile() {
    const StoreOutcome outcome = dataControl().SaveSourceFile(
        SpectrumFileKind::Dark, folder(), nameBox().text().trimmed().toStdString());
    setStatus(qs(outcome.status));
}

void CDarkPanel::loadFile() {
    const StoreOutcome outcome = dataControl().LoadSourceFile(
        SpectrumFileKind::Dark, folder(), nameBox().text().trimmed().toStdString());
    if (outcome.result == OpResult::Done) {
        fileLoaded_ = true;
    }
    setStatus(qs(outcome.status));
    sourceChanged();
}

void CDarkPanel::flipShutter() {
    const std::optional<bool> closed = dataControl().FlipShutter();
    if (closed) {
        showShutter(closed);
    } else {
        setStatus(messages::kShutterNotMoved);
    }
}

// The caption is the action: a closed shutter offers to open.
void CDarkPanel::showShutter(std::optional<bool> closed) {
    shutter_->setText(closed.value_or(false) ? "Open" : "Close");
    if (shutter_->isEnabled() && !closed) {
        shutter_->setEnabled(false);
        shutter_->setToolTip(messages::kShutterNotMoved);
    }
}

PanelClosing CDarkPanel::closePanel() {
    return dataControl().CloseDarkPanel({chosen(), fileLoaded_, subtraction_->isChecked()});
}

// ----------------------------------------------------------- reference panel

CReferencePanel::CReferencePanel(DataControl &control, std::filesystem::path folder,
                                 QWidget *parent)
    : CSourcePanel(control, "ReferencePanel", "Reference Scan", std::move(folder), parent) {
    const ReferencePanelView view = control.ReferencePanelOpening();
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(6);

    auto *top = new QHBoxLayout;
    top->addWidget(radioGroup("Reference Source", sources_,
                              {{static_cast<int>(ReferenceSource::CurrentScan), "Current Scan"},
                               {static_cast<int>(ReferenceSource::File), "File"},
                               {static_cast<int>(ReferenceSource::ColourTile), "Color Tile"}},
                              "source"));
    auto *side = new QVBoxLayout;
    auto *maximumRow = new QHBoxLayout;
    auto *maximumLabel = new QLabel("Maximum T/R(%)", this);
    maximum_ = new QDoubleSpinBox(this);
    maximum_->setObjectName("maximumBox");
    maximum_->setDecimals(2);
    maximum_->setRange(view.lowestMaximum, view.highestMaximum);
    maximum_->setValue(view.maximum);
    maximum_->setToolTip(QString("%1 to %2").arg(view.lowestMaximum).arg(view.highestMaximum));
    maximumLabel->setBuddy(maximum_);
    maximumRow->addWidget(maximumLabel);
    maximumRow->addWidget(maximum_);
    side->addLayout(maximumRow);
    side->addStretch(1);
    top->addLayout(side, 1);
    outer->addLayout(top);

    fileRow_ = makeNameRow();
    outer->addWidget(fileRow_);
    auto *buttons = new QHBoxLayout;
    save_ = new QPushButton("Save File", this);
    save_->setObjectName("saveButton");
    load_ = new QPushButton("Load File", this);
    load_->setObjectName("loadButton");
    calibration_ = new QPushButton("Set Calibration", this);
    calibration_->setObjectName("calibrationButton");
    buttons->addStretch(1);
    buttons->addWidget(calibration_);
    buttons->addWidget(save_);
    buttons->addWidget(load_);
    outer->addLayout(buttons);
    outer->addWidget(makeStatusRow());

    nameBox().setText(qs(view.name));
    shownSource_ = static_cast<int>(view.source);
    if (QRadioButton *current = sourceButton(view.source)) {
        current->setChecked(true);
    }
    connect(&sources_, &QButtonGroup::idToggled, this, &CReferencePanel::sourceChanged);
    connect(&browseButton(), &QPushButton::clicked, this, [this] {
        if (chosen() == ReferenceSource::ColourTile) {
            browseFor("Open Color Tile File", "Color Tile File (*.ctf)", kColourTileExtension);
        } else {
            browseFor("Open Reference File", "Ref File (*.ref)", kReferenceFileExtension);
        }
    });
    connect(save_, &QPushButton::clicked, this, &CReferencePanel::saveFile);
    connect(load_, &QPushButton::clicked, this, &CReferencePanel::loadFile);
    connect(calibration_, &QPushButton::clicked, this, &CReferencePanel::setCalibration);
    showControls();
}

QRadioButton *CReferencePanel::sourceButton(ReferenceSource source) const {
    return qobject_cast<QRadioButton *>(sources_.button(static_cast<int>(source)));
}

void CReferencePanel::chooseSource(ReferenceSource source) {
    if (QRadioButton *b = sourceButton(source)) {
        b->setChecked(true);
    }
}

ReferenceSource CReferencePanel::chosen() const {
    return static_cast<ReferenceSource>(sources_.checkedId());
}

bool CReferencePanel::fileRowShown() const {
    return !fileRow_->isHidden();
}

// The colour tile needs a dark and a unit set up for colour: without them
// the choice goes back and the status line says why.
void CReferencePanel::sourceChanged(int id, bool on) {
    if (!on) {
        return;
    }
    if (static_cast<ReferenceSource>(id) == ReferenceSource::ColourTile) {
        if (const std::string refusal = dataControl().ColourTileRefusal(); !refusal.empty()) {
            setStatus(qs(refusal));
            if (QAbstractButton *previous = sources_.button(shownSource_)) {
                const QSignalBlocker quiet(sources_);
                previous->setChecked(true);
            }
            return;
        }
    }
    shownSource_ = id;
    setStatus({});
    showControls();
}

void CReferencePanel::showControls() {
    const ChannelState &s = dataControl().State();
    const bool dark = s.flags.status.test(status_bits::kDarkReady);
    const bool reference = s.flags.status.test(status_bits::kReferenceReady);
    const ReferenceSource source = chosen();
    const bool file = source == ReferenceSource::File;
    const bool tile = source == ReferenceSource::ColourTile;
    fileRow_->setVisible(file || tile);
    save_->setVisible(file);
    save_->setEnabled(file && reference);
    load_->setVisible(file || tile);
    load_->setText(tile ? "Load ColorTile" : "Load File");
    calibration_->setVisible(tile && dark && reference);
    adjustSize();
}

void CReferencePanel::saveFile() {
    const StoreOutcome outcome = dataControl().SaveSourceFile(
        SpectrumFileKind::Reference, folder(), nameBox().text().trimmed().toStdString());
    setStatus(qs(outcome.status));
}

void CReferencePanel::loadFile() {
    const std::string name = nameBox().text().trimmed().toStdString();
    if (chosen() == ReferenceSource::ColourTile) {
        const ColourTileArming arming =
            dataControl().ArmColourTile(ColourTileTask::Read, folder(), name);
        if (arming.result == OpResult::Done) {
            tileCaption_ = arming.caption;
            setStatus("Read Tile: press the reference button with the tile in place");
        } else {
            setStatus(qs(arming.status));
        }
        return;
    }
    const StoreOutcome outcome =
        dataControl().LoadSourceFile(SpectrumFileKind::Reference, folder(), name);
    if (outcome.result == OpResult::Done) {
        fileLoaded_ = true;
    }
    setStatus(qs(outcome.status));
    showControls();
}

void CReferencePanel::setCalibration() {
    const ColourTileArming arming = dataControl().ArmColourTile(
        ColourTileTask::Save, folder(), nameBox().text().trimmed().toStdString());
    if (arming.result == OpResult::Done) {
        tileCaption_ = arming.caption;
        setStatus("Save Tile: press the reference button with the tile in place");
    } else {
        setStatus(qs(arming.status));
    }
}

PanelClosing CReferencePanel::closePanel() {
    PanelClosing closing =
        dataControl().CloseReferencePanel({chosen(), fileLoaded_, maximum_->value()});
    if (chosen() == ReferenceSource::ColourTile && !closing.caption && tileCaption_ &&
        dataControl().ArmedColourTile()) {
        closing.caption = tileCaption_;
    }
    return closing;
}

} // namespace quillon
