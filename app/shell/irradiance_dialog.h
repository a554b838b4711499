// "Calibration for Irradiance": the unit against the reference lamp of
// "OVlamp.txt". The upper plot shows the lamp scan in counts, the lower one
// the irradiance the new calibration gives for it. Modeless; while it is
// open acquisition stays suspended, so the scan, the dark and the ratios do
// not change underneath it.
#ifndef QUILLON_APP_SHELL_IRRADIANCE_DIALOG_H
#define QUILLON_APP_SHELL_IRRADIANCE_DIALOG_H

#include "datacontrol/data_control.h"

#include <QDialog>
#include <QPolygonF>
#include <QTimer>
#include <QWidget>

class QDoubleSpinBox;
class QPushButton;
class QSpinBox;
class QLabel;

namespace quillon {

// One of the dialog's two plots: a trace over a fixed vertical range with
// six horizontal grid bands.
class IrradiancePlot : public QWidget {
    Q_OBJECT

public:
    explicit IrradiancePlot(QString title, QWidget *parent = nullptr);
    // Values from bottom (0) to `top`; nothing when empty.
    void setTrace(std::vector<float> values, double top);
    const std::vector<float> &trace() const { return values_; }
    double top() const { return top_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString title_;
    std::vector<float> values_;
    double top_ = 1.0;
};

class CIrradianceDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1166;
    // The top of the lower plot, uW/cm^2/nm.
    static constexpr double kIrradianceTop = 4.0;

    // Suspends acquisition and prepares the calibration; `ready()` tells
    // whether that worked (the user has been told why not).
    explicit CIrradianceDialog(DataControl &control, QWidget *parent = nullptr);
    ~CIrradianceDialog() override;

    bool ready() const { return ready_; }
    void scan();
    void calibrate();

    IrradiancePlot &countsPlot() { return *counts_; }
    IrradiancePlot &irradiancePlot() { return *irradiance_; }
    QSpinBox &distance() { return *distance_; }
    QDoubleSpinBox &integration() { return *integration_; }
    QPushButton &scanButton() { return *scanButton_; }
    QPushButton &calibrateButton() { return *calibrateButton_; }
    QString statusText() const;

signals:
    // Message 1400: the dialog has closed; the frame lets it go.
    void dialogClosed();

protected:
    void done(int result) override;

private:
    void drawPlots();
    void drawCounts();
    void drawIrradiance();
    void finish();

    DataControl &control_;
    IrradiancePlot *counts_ = nullptr;
    IrradiancePlot *irradiance_ = nullptr;
    QSpinBox *distance_ = nullptr;
    QDoubleSpinBox *integration_ = nullptr;
    QPushButton *scanButton_ = nullptr;
    QPushButton *calibrateButton_ = nullptr;
    QLabel *status_ = nullptr;
    QTimer firstDraw_;
    bool suspended_ = false;
    bool ready_ = false;
    bool scanned_ = false;
    bool calibrated_ = false;
    bool finished_ = false;
};

} // namespace quillon

#endif
