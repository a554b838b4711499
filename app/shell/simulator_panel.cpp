#include "shell/simulator_panel.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <memory>

namespace quillon {

namespace {

const QStringList kSources{"halogen 2856", "halogen 3100", "lamp", "hgar", "led", "d65", "dark"};
const QStringList kSamples{"none", "nd 50", "nd 25", "nd 10", "glass", "filter 550 40", "tile 80"};

QComboBox *choiceBox(const QStringList &choices, const std::string &current) {
    auto *box = new QComboBox;
    box->addItems(choices);
    const QString now = QString::fromStdString(current);
    if (!choices.contains(now) && !now.isEmpty()) {
        box->addItem(now);
    }
    box->setCurrentText(now);
    return box;
}

} // namespace

SimulatorPanel::SimulatorPanel(QWidget *parent) : QDockWidget("Simulator", parent) {
    setObjectName("SimulatorPanel");
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                QDockWidget::DockWidgetClosable);
    auto *body = new QWidget;
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(3, 6, 3, 6);
    rows_ = new QWidget;
    rowsLayout_ = new QVBoxLayout(rows_);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(rows_);
    auto *reloadButton = new QPushButton("Refresh list");
    connect(reloadButton, &QPushButton::clicked, this, &SimulatorPanel::reload);
    layout->addWidget(reloadButton);
    status_.setWordWrap(true);
    status_.setStyleSheet("color: rgb(80, 86, 100);");
    layout->addWidget(&status_);
    layout->addStretch(1);
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(body);
    setWidget(scroll);
    // Narrow enough to leave a 1024-pixel window's scope view room for all
    // eleven buttons.
    setMinimumWidth(200);
    reload();
}

int SimulatorPanel::run(const QString &command) {
    const SimReply reply = runSimCommand(command.toStdString());
    status_.setText(QString("%1: %2").arg(command, QString::fromStdString(reply.text)));
    return reply.result;
}

QWidget *SimulatorPanel::makeUnitRow(const SimUnitLine &unit) {
    auto *group = new QGroupBox(QString("Slot %1  ·  %2%3")
                                    .arg(unit.slot)
                                    .arg(QString::fromStdString(unit.sensor))
                                    .arg(unit.plugged ? "" : "  (unplugged)"));
    auto *grid = new QVBoxLayout(group);
    const int slot = unit.slot;

    auto *source = choiceBox(kSources, unit.source);
    connect(source, &QComboBox::textActivated, this, [this, slot](const QString &text) {
        run(QString("set %1 source %2").arg(slot).arg(text));
    });
    auto *sample = choiceBox(kSamples, unit.sample);
    connect(sample, &QComboBox::textActivated, this, [this, slot](const QString &text) {
        run(QString("set %1 sample %2").arg(slot).arg(text));
    });
    auto *sourceRow = new QHBoxLayout;
    sourceRow->addWidget(new QLabel("Source"));
    sourceRow->addWidget(source, 1);
    auto *sampleRow = new QHBoxLayout;
    sampleRow->addWidget(new QLabel("Sample"));
    sampleRow->addWidget(sample, 1);
    grid->addLayout(sourceRow);
    grid->addLayout(sampleRow);

    auto *buttons = new QHBoxLayout;
    auto *trigger = new QPushButton("Trigger");
    trigger->setToolTip("Inject one external trigger");
    connect(trigger, &QPushButton::clicked, this,
            [this, slot] { run(QString("trigger %1").arg(slot)); });
    auto *plug = new QPushButton(unit.plugged ? "Unplug" : "Replug");
    connect(plug, &QPushButton::clicked, this, [this, slot, plugged = unit.plugged] {
        run(QString("%1 %2").arg(plugged ? "unplug" : "replug").arg(slot));
        // The row's texts follow the new state once the reply is shown.
        QMetaObject::invokeMethod(
            this, [this] { reload(); }, Qt::QueuedConnection);
    });
    buttons->addWidget(trigger);
    buttons->addWidget(plug);
    grid->addLayout(buttons);
    return group;
}

void SimulatorPanel::reload() {
    const SimReply reply = runSimCommand("list");
    units_ = reply.result == 1 ? parseSimUnitList(reply.text) : std::vector<SimUnitLine>{};
    while (QLayoutItem *taken = rowsLayout_->takeAt(0)) {
        const std::unique_ptr<QLayoutItem> item(taken);
        if (QWidget *w = item->widget()) {
            w->deleteLater();
        }
    }
    for (const auto &unit : units_) {
        rowsLayout_->addWidget(makeUnitRow(unit));
    }
}

} // namespace quillon
