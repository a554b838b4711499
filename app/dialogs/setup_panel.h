// The setup panel of the "&QX Setup" button: acquisition values, scope or
// memory data, pixel or wavelength base with its grid, the graph's grid,
// readouts and colours, the channel and its identifier, and the trigger
// mode. It holds the data-control lock while open; OK hands the choices to
// DataControl::ApplySetupChoice, Cancel closes without applying.
#ifndef QUILLON_APP_DIALOGS_SETUP_PANEL_H
#define QUILLON_APP_DIALOGS_SETUP_PANEL_H

#include "datacontrol/setup_choice.h"
#include "dialogs/popup_panel.h"

#include <QColor>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace quillon {

class CSetupPanel : public PopupPanel {
    Q_OBJECT

public:
    static constexpr int kColourCount = 5;

    CSetupPanel(DataControl &control, QWidget *parent);

    // The choices as the controls hold them.
    SetupChoice choice() const;
    bool extended() const { return extended_; }

    // The controls, for the view's tests.
    QDoubleSpinBox &integrationBox() const { return *integration_; }
    QSpinBox &timeAverageBox() const { return *timeAverage_; }
    QSpinBox &binningBox() const { return *binning_; }
    QSpinBox &smoothingBox() const { return *smoothing_; }
    QRadioButton &scopeRadio() const { return *scope_; }
    QRadioButton &memoryRadio() const { return *memory_; }
    QLabel &memoryStatus() const { return *memoryStatus_; }
    QPushButton &deleteMemoryButton() const { return *deleteMemory_; }
    QRadioButton &pixelBaseRadio() const { return *pixelBase_; }
    QRadioButton &wavelengthBaseRadio() const { return *wavelengthBase_; }
    QDoubleSpinBox &gridStartBox() const { return *gridStart_; }
    QDoubleSpinBox &gridEndBox() const { return *gridEnd_; }
    QDoubleSpinBox &gridIntervalBox() const { return *gridInterval_; }
    QLabel &gridLimits() const { return *gridLimits_; }
    QCheckBox &gridXBox() const { return *gridX_; }
    QCheckBox &gridYBox() const { return *gridY_; }
    QCheckBox &xReadoutBox() const { return *xReadout_; }
    QCheckBox &yReadoutBox() const { return *yReadout_; }
    QPushButton &colourButton(int index) const {
        return *colourButtons_[static_cast<std::size_t>(index)];
    }
    QComboBox &channelBox() const { return *channel_; }
    QLabel &channelIdLabel() const { return *channelId_; }
    QComboBox &newIdBox() const { return *newId_; }
    QPushButton &changeIdButton() const { return *changeId_; }
    QRadioButton &triggerRadio(SetupTrigger trigger) const {
        return *triggerRadios_[static_cast<std::size_t>(trigger)];
    }
    QComboBox &edgeBox() const { return *edge_; }
    QComboBox &scanBox() const { return *scan_; }
    QPushButton &moreButton() const { return *more_; }

public slots:
    // Compact or extended size (also the view's command for it).
    void toggleExtended();
    void setExtended(bool on);
    // OK: applies the choices; the panel stays open when the core says so.
    void apply();
    void changeChannel(int channel);
    void changeChannelId();
    void deleteMemory();
    // Stores colour `index` (background, counts, transmit, absorbance,
    // irradiance) at once; chooseColour asks for it first.
    void setColour(int index, const QColor &colour);
    void chooseColour(int index);
    void useDefaultColours();

signals:
    // After an Apply that closed the panel.
    void applied(bool sourceChanged);
    void channelChanged();
    void coloursChanged();
    void memoryChanged();

private:
    QGroupBox *makeAcquisitionGroup();
    QGroupBox *makeSourceGroup();
    QGroupBox *makeTriggerGroup();
    QGroupBox *makeBaseGroup();
    QGroupBox *makeGraphGroup();
    QGroupBox *makeChannelGroup();
    // Every control from the data-control object.
    void refill();
    void refillColours();
    void updateEnables();

    SetupOffer offer_;
    SetupChoice filled_;
    bool extended_ = false;
    bool filling_ = false;
    QWidget *extendedPart_ = nullptr;
    QDoubleSpinBox *integration_ = nullptr;
    QLabel *integrationRange_ = nullptr;
    QSpinBox *timeAverage_ = nullptr;
    QSpinBox *binning_ = nullptr;
    QSpinBox *smoothing_ = nullptr;
    QRadioButton *scope_ = nullptr;
    QRadioButton *memory_ = nullptr;
    QLabel *memoryStatus_ = nullptr;
    QPushButton *deleteMemory_ = nullptr;
    QRadioButton *pixelBase_ = nullptr;
    QRadioButton *wavelengthBase_ = nullptr;
    QDoubleSpinBox *gridStart_ = nullptr;
    QDoubleSpinBox *gridEnd_ = nullptr;
    QDoubleSpinBox *gridInterval_ = nullptr;
    QLabel *gridLimits_ = nullptr;
    QCheckBox *gridX_ = nullptr;
    QCheckBox *gridY_ = nullptr;
    QCheckBox *xReadout_ = nullptr;
    QCheckBox *yReadout_ = nullptr;
    std::array<QPushButton *, kColourCount> colourButtons_{};
    std::array<QColor, kColourCount> colours_{};
    QComboBox *channel_ = nullptr;
    QLabel *channelId_ = nullptr;
    QComboBox *newId_ = nullptr;
    QPushButton *changeId_ = nullptr;
    std::array<QRadioButton *, 3> triggerRadios_{};
    QComboBox *edge_ = nullptr;
    QComboBox *scan_ = nullptr;
    QPushButton *more_ = nullptr;
};

} // namespace quillon

#endif
