#include "dialogs/tec_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

CTecPanel::CTecPanel(DataControl &control, QWidget *parent)
    : PopupPanel(control, "TecPanel", "TEC Control", true, parent) {
    const TecPanelView view = control.TecPanelOpening();
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);
    outer->setSpacing(6);
    auto *grid = new QGridLayout;
    cooler_ = new QPushButton(this);
    cooler_->setObjectName("coolerButton");
    cooler_->setCheckable(true);
    cooler_->setChecked(view.coolerOn);
    capacitor_ = new QPushButton(this);
    capacitor_->setObjectName("capacitorButton");
    capacitor_->setCheckable(true);
    capacitor_->setChecked(view.tenPicofarad);
    capacitor_->setEnabled(view.capacitorChoice);
    if (!view.capacitorChoice) {
        capacitor_->setToolTip("The unit reports no capacitor value");
    }
    grid->addWidget(new QLabel("TE Cooler:", this), 0, 0);
    grid->addWidget(cooler_, 0, 1);
    grid->addWidget(new QLabel("Capacitor Value:", this), 1, 0);
    grid->addWidget(capacitor_, 1, 1);
    outer->addLayout(grid);

    auto *row = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setObjectName("statusText");
    status_->setMinimumWidth(160);
    set_ = new QPushButton("Set", this);
    set_->setObjectName("setButton");
    set_->setDefault(true);
    close_ = new QPushButton("Close", this);
    close_->setObjectName("closeButton");
    row->addWidget(status_, 1);
    row->addWidget(set_);
    row->addWidget(close_);
    outer->addLayout(row);

    if (!acquisitionPaused()) {
        set_->setEnabled(false);
        status_->setText("Acquisition did not pause");
    }
    connect(cooler_, &QPushButton::toggled, this, &CTecPanel::showCaptions);
    connect(capacitor_, &QPushButton::toggled, this, &CTecPanel::showCaptions);
    connect(set_, &QPushButton::clicked, this, &CTecPanel::send);
    connect(close_, &QPushButton::clicked, this, &CTecPanel::accept);
    showCaptions();
}

// Each toggle shows the state it stands at.
void CTecPanel::showCaptions() {
    cooler_->setText(cooler_->isChecked() ? "&TE Cooler ON" : "&TE Cooler OFF");
    capacitor_->setText(capacitor_->isChecked() ? "Cf = 10 pF" : "Cf = 1 pF");
}

void CTecPanel::send() {
    const OpResult result = dataControl().SetTec({cooler_->isChecked(), capacitor_->isChecked()});
    sent_ = sent_ || result == OpResult::Done;
    switch (result) {
    case OpResult::Done:
        status_->setText("Sent to the unit");
        break;
    case OpResult::NotDone:
        status_->setText("Not sent to the unit");
        break;
    case OpResult::Failed:
        status_->setText("The unit refused the setting");
        break;
    }
}

} // namespace quillon
