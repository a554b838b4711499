#include "shell/side_dialog.h"

#include "datacontrol/data_control.h"

#include <QGridLayout>

#include <array>

namespace quillon {

QString sensorName(int boardType) {
    static constexpr std::array<const char *, 6> kNames{"Sony ILX511",      "Toshiba TCD1304",
                                                        "Hamamatsu S7031",  "InGaAs 512 px",
                                                        "Hamamatsu S10420", "InGaAs 256 px"};
    return boardType >= 0 && boardType < static_cast<int>(kNames.size()) ? kNames[boardType]
                                                                         : QString("unknown");
}

CSideDialog::CSideDialog(QWidget *parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 3, 6, 3);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    xUnit_.addItems({"Pixel axis", "Wavelength axis", "Wavenumber axis"});
    channel_.setToolTip("Unit to acquire from");
    xUnit_.setToolTip("Unit of the x axis");
    grid->addWidget(&channel_, 0, 0);
    grid->addWidget(&xUnit_, 0, 1);
    grid->addWidget(&unit_, 1, 0, 1, 2);
    grid->addWidget(&range_, 2, 0, 1, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    for (QLabel *label : {&unit_, &range_}) {
        label->setStyleSheet("color: rgb(70, 76, 90);");
    }
    connect(&channel_, &QComboBox::activated, this, [this](int index) {
        if (!refreshing_) {
            emit channelChosen(index);
        }
    });
    connect(&xUnit_, &QComboBox::activated, this, [this](int index) {
        if (!refreshing_) {
            emit xUnitChosen(index);
        }
    });
}

void CSideDialog::refresh(const DataControl &control) {
    refreshing_ = true;
    channel_.clear();
    for (std::size_t i = 0; i < control.State().channels.size(); ++i) {
        const QString serial =
            QString::fromStdString(control.State().channels[i].unitFile.stem().string()).toUpper();
        channel_.addItem(QString("#%1  %2").arg(i).arg(serial));
    }
    channel_.setCurrentIndex(control.State().currentChannel);
    channel_.setEnabled(control.State().channels.size() > 1 && !control.State().NoDeviceMode());
    xUnit_.setCurrentIndex(static_cast<int>(control.State().flags.xUnit()));
    unit_.setText(QString("S/N %1  ·  %2")
                      .arg(QString::fromStdString(control.State().settings.modelName),
                           sensorName(control.State().geometry.boardType)));
    range_.setText(QString("%1 – %2 nm  ·  %3 pixels")
                       .arg(control.State().acquisition.calStartWavelength)
                       .arg(control.State().acquisition.calEndWavelength)
                       .arg(control.State().geometry.activePixels));
    refreshing_ = false;
}

} // namespace quillon
