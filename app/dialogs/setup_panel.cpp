#include "dialogs/setup_panel.h"

#include "datacontrol/settings.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillon {

namespace {

constexpr std::array<const char *, CSetupPanel::kColourCount> kColourNames{
    "Background", "Counts", "Transmit", "Absorbance", "Irradiance"};
constexpr std::array<const char *, 3> kTriggerNames{"Free Run", "Software Trigger",
                                                    "Hardware Trigger"};
constexpr int kGridDecimals = 4;

QColor qColourOf(std::uint32_t value) {
    return QColor(colorRed(value), colorGreen(value), colorBlue(value));
}

std::uint32_t valueOf(const QColor &colour) {
    return colorValue(static_cast<std::uint8_t>(colour.red()),
                      static_cast<std::uint8_t>(colour.green()),
                      static_cast<std::uint8_t>(colour.blue()));
}

QString rangeText(double minimum, double maximum, int decimals) {
    return QString("%1 - %2").arg(minimum, 0, 'f', decimals).arg(maximum, 0, 'f', decimals);
}

QSpinBox *countBox(int minimum, int maximum, QWidget *parent) {
    auto *box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    box->setToolTip(QString("From %1 to %2").arg(minimum).arg(maximum));
    return box;
}

} // namespace

CSetupPanel::CSetupPanel(DataControl &control, QWidget *parent)
    : PopupPanel(control, "SetupPanel", "QX Setup", true, parent) {
    auto *main = new QVBoxLayout(this);
    auto *compact = new QHBoxLayout;
    compact->addWidget(makeAcquisitionGroup());
    auto *middle = new QVBoxLayout;
    middle->addWidget(makeSourceGroup());
    middle->addWidget(makeTriggerGroup());
    compact->addLayout(middle);
    main->addLayout(compact);

    extendedPart_ = new QWidget(this);
    auto *extended = new QHBoxLayout(extendedPart_);
    extended->setContentsMargins(0, 0, 0, 0);
    extended->addWidget(makeBaseGroup());
    extended->addWidget(makeGraphGroup());
    extended->addWidget(makeChannelGroup());
    main->addWidget(extendedPart_);

    auto *buttons = new QHBoxLayout;
    more_ = new QPushButton("More >>", this);
    more_->setObjectName("moreButton");
    connect(more_, &QPushButton::clicked, this, &CSetupPanel::toggleExtended);
    auto *ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CSetupPanel::apply);
    auto *cancel = new QPushButton("Cancel", this);
    connect(cancel, &QPushButton::clicked, this, &CSetupPanel::reject);
    buttons->addWidget(more_);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    refill();
    setExtended(false);
}

QGroupBox *CSetupPanel::makeAcquisitionGroup() {
    auto *group = new QGroupBox("Acquisition", this);
    auto *form = new QFormLayout(group);
    integration_ = new QDoubleSpinBox(group);
    integration_->setObjectName("integrationTime");
    integrationRange_ = new QLabel(group);
    auto *row = new QHBoxLayout;
    row->addWidget(integration_);
    row->addWidget(integrationRange_);
    form->addRow("Integration Time(ms)", row);
    timeAverage_ = countBox(1, 1000, group);
    form->addRow("Time Average(scans)", timeAverage_);
    binning_ = countBox(0, 10, group);
    form->addRow("Binning Average(Pixel)", binning_);
    smoothing_ = countBox(0, 100, group);
    form->addRow("FFT Smoothing(%)", smoothing_);
    return group;
}

QGroupBox *CSetupPanel::makeSourceGroup() {
    auto *group = new QGroupBox("Data", this);
    auto *grid = new QGridLayout(group);
    scope_ = new QRadioButton("SCOPE MODE", group);
    memory_ = new QRadioButton("MEMORY MODE", group);
    memoryStatus_ = new QLabel(group);
    deleteMemory_ = new QPushButton("Delete Memory", group);
    grid->addWidget(scope_, 0, 0);
    grid->addWidget(memory_, 0, 1);
    grid->addWidget(memoryStatus_, 1, 0);
    grid->addWidget(deleteMemory_, 1, 1);
    connect(scope_, &QRadioButton::toggled, this, &CSetupPanel::updateEnables);
    connect(deleteMemory_, &QPushButton::clicked, this, &CSetupPanel::deleteMemory);
    return group;
}

QGroupBox *CSetupPanel::makeTriggerGroup() {
    auto *group = new QGroupBox("Trigger", this);
    auto *grid = new QGridLayout(group);
    for (std::size_t i = 0; i < triggerRadios_.size(); ++i) {
        triggerRadios_[i] = new QRadioButton(kTriggerNames[i], group);
        grid->addWidget(triggerRadios_[i], 0, static_cast<int>(i));
        connect(triggerRadios_[i], &QRadioButton::toggled, this, &CSetupPanel::updateEnables);
    }
    edge_ = new QComboBox(group);
    edge_->setObjectName("edgeChoice");
    edge_->setToolTip("Edge of the external trigger signal");
    scan_ = new QComboBox(group);
    scan_->setObjectName("scanChoice");
    scan_->setToolTip("The frame a free-running unit reads out");
    grid->addWidget(new QLabel("Edge:", group), 1, 0, Qt::AlignRight);
    grid->addWidget(edge_, 1, 1);
    grid->addWidget(new QLabel("Scan:", group), 2, 0, Qt::AlignRight);
    grid->addWidget(scan_, 2, 1);
    return group;
}

QGroupBox *CSetupPanel::makeBaseGroup() {
    auto *group = new QGroupBox("Spectrum Base", this);
    auto *form = new QFormLayout(group);
    pixelBase_ = new QRadioButton("PIXEL BASE", group);
    wavelengthBase_ = new QRadioButton("WAVELENGTH BASE", group);
    auto *radios = new QHBoxLayout;
    radios->addWidget(pixelBase_);
    radios->addWidget(wavelengthBase_);
    form->addRow(radios);
    auto wavelengthBox = [group](const char *name) {
        auto *box = new QDoubleSpinBox(group);
        box->setObjectName(name);
        box->setSuffix(" nm");
        return box;
    };
    gridStart_ = wavelengthBox("gridStart");
    gridStart_->setDecimals(kGridDecimals);
    gridEnd_ = wavelengthBox("gridEnd");
    gridEnd_->setDecimals(kGridDecimals);
    gridInterval_ = wavelengthBox("gridInterval");
    gridInterval_->setDecimals(2);
    gridInterval_->setRange(0.01, 1000.0);
    gridInterval_->setToolTip("From 0.01 to 1000 nm");
    gridLimits_ = new QLabel(group);
    gridLimits_->setToolTip("The calibrated range of the unit; a grid narrower than 20 nm is "
                            "not applied");
    form->addRow("Start", gridStart_);
    form->addRow("end", gridEnd_);
    form->addRow("Interval", gridInterval_);
    form->addRow("Limits", gridLimits_);
    return group;
}

QGroupBox *CSetupPanel::makeGraphGroup() {
    auto *group = new QGroupBox("Graph", this);
    auto *grid = new QGridLayout(group);
    gridX_ = new QCheckBox("Grid X", group);
    gridY_ = new QCheckBox("Grid Y", group);
    xReadout_ = new QCheckBox("X Data", group);
    yReadout_ = new QCheckBox("Y Data", group);
    grid->addWidget(gridX_, 0, 0);
    grid->addWidget(gridY_, 0, 1);
    grid->addWidget(xReadout_, 1, 0);
    grid->addWidget(yReadout_, 1, 1);
    for (int i = 0; i < kColourCount; ++i) {
        auto *b = new QPushButton(kColourNames[static_cast<std::size_t>(i)], group);
        b->setToolTip("Choose the colour");
        connect(b, &QPushButton::clicked, this, [this, i] { chooseColour(i); });
        colourButtons_[static_cast<std::size_t>(i)] = b;
        grid->addWidget(b, 2 + i / 2, i % 2);
    }
    auto *defaults = new QPushButton("Default Colors", group);
    connect(defaults, &QPushButton::clicked, this, &CSetupPanel::useDefaultColours);
    grid->addWidget(defaults, 4, 1);
    return group;
}

QGroupBox *CSetupPanel::makeChannelGroup() {
    auto *group = new QGroupBox("Channel", this);
    auto *form = new QFormLayout(group);
    channel_ = new QComboBox(group);
    channel_->setObjectName("usbPort");
    form->addRow("USB Port Number:", channel_);
    channelId_ = new QLabel(group);
    form->addRow("Current Channel ID:", channelId_);
    newId_ = new QComboBox(group);
    for (int id = 0; id <= kHighestChannelId; ++id) {
        newId_->addItem(QString::number(id));
    }
    form->addRow("New ID:", newId_);
    changeId_ = new QPushButton("Change ID", group);
    form->addRow(changeId_);
    connect(channel_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_) {
            changeChannel(index);
        }
    });
    connect(newId_, &QComboBox::currentIndexChanged, this, &CSetupPanel::updateEnables);
    connect(changeId_, &QPushButton::clicked, this, &CSetupPanel::changeChannelId);
    return group;
}

void CSetupPanel::refill() {
    filling_ = true;
    const ChannelState &s = dataControl().State();
    offer_ = dataControl().SetupPanelOffer();
    const SetupChoice c = currentSetupChoice(s);
    filled_ = c;

    const int decimals = offer_.hundredths ? 2 : 0;
    integration_->setDecimals(decimals);
    integration_->setSingleStep(offer_.hundredths ? 0.01 : 1.0);
    integration_->setRange(offer_.integrationMin, offer_.integrationMax);
    integration_->setValue(c.integrationTime);
    const QString range = rangeText(offer_.integrationMin, offer_.integrationMax, decimals);
    integrationRange_->setText(range);
    integration_->setToolTip("From " + range + " ms");
    timeAverage_->setValue(c.timeAverage);
    binning_->setValue(c.binningAverage);
    smoothing_->setValue(c.smoothingPercent);

    (c.memoryMode ? memory_ : scope_)->setChecked(true);
    memoryStatus_->setText(QString("%1 scan(s) in memory.").arg(offer_.memoryItems));

    (c.wavelengthBase ? wavelengthBase_ : pixelBase_)->setChecked(true);
    for (QDoubleSpinBox *box : {gridStart_, gridEnd_}) {
        box->setRange(offer_.calibratedStart, offer_.calibratedEnd);
        box->setToolTip(
            QString("From %1 to %2 nm").arg(offer_.calibratedStart).arg(offer_.calibratedEnd));
    }
    gridStart_->setValue(c.gridStart);
    gridEnd_->setValue(c.gridEnd);
    gridInterval_->setValue(c.gridInterval);
    gridLimits_->setText(
        QString("%1nm - %2nm").arg(offer_.calibratedStart).arg(offer_.calibratedEnd));
    gridX_->setChecked(c.gridX);
    gridY_->setChecked(c.gridY);
    xReadout_->setChecked(c.xReadout);
    yReadout_->setChecked(c.yReadout);
    refillColours();

    channel_->clear();
    for (int i = 0; i < offer_.channelCount; ++i) {
        channel_->addItem(QString::number(i));
    }
    channel_->setCurrentIndex(offer_.currentChannel);
    channelId_->setText(QString::number(offer_.channelId));
    newId_->setCurrentIndex(std::clamp(offer_.channelId, 0, kHighestChannelId));

    triggerRadios_[static_cast<std::size_t>(c.trigger)]->setChecked(true);
    edge_->clear();
    edge_->addItem("Falling");
    if (offer_.risingEdge) {
        edge_->addItem("Rising");
    }
    edge_->setCurrentIndex(std::min(static_cast<int>(c.edge), edge_->count() - 1));
    scan_->clear();
    if (offer_.scanChoice) {
        scan_->addItems({"Previous", "Next"});
        scan_->setCurrentIndex(static_cast<int>(c.scan));
    }
    filling_ = false;
    updateEnables();
    // Another unit's ranges take other room.
    layout()->invalidate();
    layout()->activate();
    adjustSize();
}

void CSetupPanel::refillColours() {
    const TraceColors &t = dataControl().State().colors;
    const std::array<std::uint32_t, kColourCount> values{t.back, t.pixel, t.trans, t.absorb,
                                                         t.irrad};
    for (std::size_t i = 0; i < values.size(); ++i) {
        colours_[i] = qColourOf(values[i]);
        QPushButton *b = colourButtons_[i];
        const QColor &c = colours_[i];
        const double luminance = 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue();
        const QColor text = luminance > 128.0 ? Qt::black : Qt::white;
        b->setStyleSheet(QString("QPushButton { background-color: %1; color: %2; }")
                             .arg(colours_[i].name(), text.name()));
    }
}

void CSetupPanel::updateEnables() {
    if (filling_) {
        return;
    }
    const SetupEnables e = setupEnables(offer_, choice());
    for (QWidget *w : std::initializer_list<QWidget *>{integration_, timeAverage_, binning_}) {
        w->setEnabled(e.acquisitionValues);
    }
    memory_->setEnabled(e.memoryMode);
    deleteMemory_->setEnabled(e.deleteMemory);
    for (std::size_t i = 0; i < triggerRadios_.size(); ++i) {
        const bool offered =
            i != static_cast<std::size_t>(SetupTrigger::Software) || e.softwareTrigger;
        triggerRadios_[i]->setEnabled(offered && !offer_.noDevice);
    }
    edge_->setEnabled(e.edge);
    scan_->setEnabled(e.scan);
    changeId_->setEnabled(!offer_.noDevice && newId_->currentIndex() != offer_.channelId);
    channel_->setEnabled(offer_.channelCount > 1);
}

SetupChoice CSetupPanel::choice() const {
    SetupChoice c = filled_;
    c.integrationTime = integration_->value();
    c.timeAverage = timeAverage_->value();
    c.binningAverage = binning_->value();
    c.smoothingPercent = smoothing_->value();
    c.memoryMode = memory_->isChecked();
    c.wavelengthBase = wavelengthBase_->isChecked();
    c.gridStart = gridStart_->value();
    c.gridEnd = gridEnd_->value();
    c.gridInterval = gridInterval_->value();
    c.gridX = gridX_->isChecked();
    c.gridY = gridY_->isChecked();
    c.xReadout = xReadout_->isChecked();
    c.yReadout = yReadout_->isChecked();
    for (std::size_t i = 0; i < triggerRadios_.size(); ++i) {
        if (triggerRadios_[i]->isChecked()) {
            c.trigger = static_cast<SetupTrigger>(i);
        }
    }
    c.edge = edge_->currentIndex() == 1 ? SetupEdge::Rising : SetupEdge::Falling;
    if (offer_.scanChoice) {
        c.scan = scan_->currentIndex() == 1 ? SetupScan::Next : SetupScan::Previous;
    }
    return c;
}

void CSetupPanel::toggleExtended() {
    setExtended(!extended_);
}

void CSetupPanel::setExtended(bool on) {
    extended_ = on;
    extendedPart_->setVisible(on);
    more_->setText(on ? "<< Less" : "More >>");
    layout()->invalidate();
    layout()->activate();
    adjustSize();
}

void CSetupPanel::apply() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SetupOutcome outcome = dataControl().ApplySetupChoice(choice());
    QApplication::restoreOverrideCursor();
    if (!outcome.closePanel) {
        // The entries stay for the operator to correct; the message said what failed.
        if (outcome.gridFailed) {
            gridInterval_->setFocus();
        }
        return;
    }
    accept();
    emit applied(outcome.sourceChanged);
}

void CSetupPanel::changeChannel(int channel) {
    if (channel < 0 || channel == dataControl().State().currentChannel) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    (void)dataControl().ChangeSetupChannel(channel); // a failure has been shown to the operator
    QApplication::restoreOverrideCursor();
    refill();
    emit channelChanged();
}

void CSetupPanel::changeChannelId() {
    const int id = newId_->currentIndex();
    if (id < 0 || id == offer_.channelId) {
        return;
    }
    if (dataControl().WriteChannelId(id) == OpResult::Done) {
        offer_.channelId = id;
        channelId_->setText(QString::number(id));
    }
    updateEnables();
}

void CSetupPanel::deleteMemory() {
    if (dataControl().DeleteMemory() != OpResult::Done) {
        return;
    }
    offer_ = dataControl().SetupPanelOffer();
    memoryStatus_->setText(QString("%1 scan(s) in memory.").arg(offer_.memoryItems));
    updateEnables();
    emit memoryChanged();
}

void CSetupPanel::setColour(int index, const QColor &colour) {
    if (index < 0 || index >= kColourCount || !colour.isValid()) {
        return;
    }
    std::array<QColor, kColourCount> chosen = colours_;
    chosen[static_cast<std::size_t>(index)] = colour;
    dataControl().SetTraceColors({valueOf(chosen[0]), valueOf(chosen[1]), valueOf(chosen[2]),
                                  valueOf(chosen[3]), valueOf(chosen[4])});
    refillColours();
    emit coloursChanged();
}

void CSetupPanel::chooseColour(int index) {
    const QColor chosen = QColorDialog::getColor(colours_[static_cast<std::size_t>(index)], this,
                                                 kColourNames[static_cast<std::size_t>(index)]);
    setColour(index, chosen); // an invalid colour: the dialog was cancelled
}

void CSetupPanel::useDefaultColours() {
    dataControl().SetTraceColors(defaultTraceColors());
    refillColours();
    emit coloursChanged();
}

} // namespace quillon
