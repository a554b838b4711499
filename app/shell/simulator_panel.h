// The Simulator dock: per simulated unit the light source and the sample in
// the beam, an injected trigger, and unplugging or replugging the unit. It
// talks only to the simulator's command language.
#ifndef QUILLON_APP_SHELL_SIMULATOR_PANEL_H
#define QUILLON_APP_SHELL_SIMULATOR_PANEL_H

#include "datacontrol/simulated_units.h"

#include <QDockWidget>
#include <QLabel>

#include <vector>

class QVBoxLayout;

namespace quillon {

class SimulatorPanel : public QDockWidget {
    Q_OBJECT

public:
    explicit SimulatorPanel(QWidget *parent = nullptr);

    // Reads the unit list again and rebuilds the rows.
    void reload();
    const std::vector<SimUnitLine> &units() const { return units_; }
    // Runs a command and shows its reply in the panel's status line.
    int run(const QString &command);

private:
    QWidget *makeUnitRow(const SimUnitLine &unit);

    std::vector<SimUnitLine> units_;
    QWidget *rows_ = nullptr;
    QVBoxLayout *rowsLayout_ = nullptr;
    QLabel status_;
};

} // namespace quillon

#endif
