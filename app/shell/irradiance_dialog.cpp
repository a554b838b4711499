#include "shell/irradiance_dialog.h"

#include "datacontrol/sensors.h"
#include "platform/files.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace quillon {

namespace {

constexpr int kGridBands = 6;
constexpr int kFirstDrawMs = 500;
constexpr int kLargestDistance = 9999;
const QColor kTracePen(255, 64, 64);

} // namespace

IrradiancePlot::IrradiancePlot(QString title, QWidget *parent)
    : QWidget(parent), title_(std::move(title)) {
    setMinimumSize(420, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void IrradiancePlot::setTrace(std::vector<float> values, double top) {
    values_ = std::move(values);
    top_ = top > 0.0 ? top : 1.0;
    update();
}

void IrradiancePlot::paintEvent(QPaintEvent *) {
    QPainter p(this);
    const QRect area = rect().adjusted(0, 0, -1, -1);
    p.fillRect(area, Qt::white);
    p.setPen(QColor(160, 160, 160));
    p.drawRect(area);
    p.setPen(QColor(215, 215, 215));
    for (int band = 1; band < kGridBands; ++band) {
        const int y = area.top() + area.height() * band / kGridBands;
        p.drawLine(area.left() + 1, y, area.right() - 1, y);
    }
    p.setPen(QColor(90, 90, 90));
    p.drawText(area.adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, title_);
    p.drawText(area.adjusted(6, 4, -6, -4), Qt::AlignRight | Qt::AlignTop,
               QString::number(top_, 'g', 6));
    if (values_.size() < 2) {
        return;
    }
    // Values above the top are drawn at the top edge, below 0 at the bottom.
    QPolygonF line;
    line.reserve(static_cast<qsizetype>(values_.size()));
    const double last = static_cast<double>(values_.size() - 1);
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const double fraction = std::clamp(values_[i] / top_, 0.0, 1.0);
        line << QPointF(area.left() + area.width() * (static_cast<double>(i) / last),
                        area.bottom() - area.height() * fraction);
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kTracePen, 1));
    p.drawPolyline(line);
}

CIrradianceDialog::CIrradianceDialog(DataControl &control, QWidget *parent)
    : QDialog(parent), control_(control) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle("Calibration for Irradiance");
    setModal(false);

    counts_ = new IrradiancePlot("Lamp scan (counts)");
    counts_->setObjectName("CountsPlot");
    irradiance_ = new IrradiancePlot("Irradiance (uW/cm^2/nm)");
    irradiance_->setObjectName("IrradiancePlot");
    scanButton_ = new QPushButton("Scan");
    calibrateButton_ = new QPushButton("Calibrate");
    calibrateButton_->setEnabled(false); // a lamp scan first
    distance_ = new QSpinBox;
    distance_->setRange(1, kLargestDistance);
    integration_ = new QDoubleSpinBox;
    integration_->setEnabled(false);
    status_ = new QLabel;
    status_->setWordWrap(true);

    auto *fields = new QHBoxLayout;
    fields->addWidget(scanButton_);
    fields->addSpacing(12);
    fields->addWidget(new QLabel("Distance(cm)"));
    fields->addWidget(distance_);
    fields->addSpacing(12);
    fields->addWidget(new QLabel("Int Time(ms)"));
    fields->addWidget(integration_);
    fields->addStretch(1);
    fields->addWidget(calibrateButton_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(counts_, 1);
    layout->addWidget(irradiance_, 1);
    layout->addLayout(fields);
    layout->addWidget(status_);

    connect(scanButton_, &QPushButton::clicked, this, &CIrradianceDialog::scan);
    connect(calibrateButton_, &QPushButton::clicked, this, &CIrradianceDialog::calibrate);
    firstDraw_.setSingleShot(true);
    connect(&firstDraw_, &QTimer::timeout, this, &CIrradianceDialog::drawPlots);

    suspended_ = control_.SuspendAcquisition(HoldBy::Dialog);
    if (!suspended_) {
        control_.ResumeAcquisition(HoldBy::Dialog);
        status_->setText("Acquisition did not pause.");
        scanButton_->setEnabled(false);
        return;
    }
    // The lamp file and the calibration object; their failures have been told.
    ready_ = control_.BeginIrradianceCalibration() == OpResult::Done;
    const ChannelState &s = control_.State();
    distance_->setValue(std::clamp(s.settings.irradDist, 1, kLargestDistance));
    const bool hundredths = s.geometry.boardType == kBoardTcd1304;
    const double scale = hundredths ? 100.0 : 1.0;
    integration_->setDecimals(hundredths ? 2 : 0);
    integration_->setRange(s.limits.minimum / scale, s.limits.maximum / scale);
    const IrradianceCalibration *calibration = control_.Photometry().Calibration();
    integration_->setValue(
        (calibration != nullptr ? calibration->calibrationIntegration : s.limits.current) / scale);
    scanButton_->setEnabled(ready_);
    status_->setText(ready_ ? "Set the reference lamp at the distance, then Scan."
                            : "The lamp table could not be used.");
    firstDraw_.start(kFirstDrawMs);
}

CIrradianceDialog::~CIrradianceDialog() {
    finish();
}

QString CIrradianceDialog::statusText() const {
    return status_->text();
}

void CIrradianceDialog::scan() {
    if (!ready_) {
        return;
    }
    if (control_.TakeCalibrationScan() != ScanOutcome::Scanned) {
        status_->setText("The lamp scan failed.");
        return;
    }
    scanned_ = true;
    calibrated_ = false;
    calibrateButton_->setEnabled(true);
    drawCounts();
    irradiance_->setTrace({}, kIrradianceTop);
    status_->setText("Lamp scanned; Calibrate makes the calibration file.");
}

void CIrradianceDialog::calibrate() {
    if (!ready_ || !scanned_) {
        return;
    }
    // A refusal (saturated or dark scan, no setup file) has been told; the
    // previous calibration file stays.
    if (control_.MakeIrradianceCalibration(distance_->value()) != OpResult::Done) {
        status_->setText("Not calibrated.");
        irradiance_->setTrace({}, kIrradianceTop);
        return;
    }
    calibrated_ = true;
    drawIrradiance();
    QString text = QString("Calibrated at %1 cm: %2")
                       .arg(distance_->value())
                       .arg(QString::fromStdString(
                           platform::pathText(control_.Photometry().UnitFile().filename())));
    if (const int leftOut = control_.Photometry().LeftOutPixels(); leftOut > 0) {
        text += QString(" (%1 pixels without counts left out)").arg(leftOut);
    }
    status_->setText(text);
}

void CIrradianceDialog::drawPlots() {
    drawCounts();
    drawIrradiance();
}

// The counts of the lamp range, over the counts axis of the graph.
void CIrradianceDialog::drawCounts() {
    const IrradianceCalibration *c = control_.Photometry().Calibration();
    const std::vector<float> &spectrum = control_.State().buffers.spectrum;
    if (c == nullptr || !scanned_ || c->lastPixel < c->firstPixel ||
        static_cast<std::size_t>(c->lastPixel) >= spectrum.size()) {
        counts_->setTrace({}, control_.State().display.countMax);
        return;
    }
    counts_->setTrace(
        std::vector<float>(spectrum.begin() + c->firstPixel, spectrum.begin() + c->lastPixel + 1),
        control_.State().display.countMax);
}

// The lamp's irradiance by the new calibration: (scan - dark) x ratio.
void CIrradianceDialog::drawIrradiance() {
    const IrradianceCalibration *c = control_.Photometry().Calibration();
    const SpectrumBuffers &b = control_.State().buffers;
    if (c == nullptr || !calibrated_ || c->lastPixel < c->firstPixel ||
        static_cast<std::size_t>(c->lastPixel) >= std::min(b.dark.size(), c->ratios.size())) {
        irradiance_->setTrace({}, kIrradianceTop);
        return;
    }
    std::vector<float> values;
    for (int i = c->firstPixel; i <= c->lastPixel; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const float ratio = c->ratios[k];
        values.push_back(ratio < 0.0f ? 0.0f : (b.spectrum[k] - b.dark[k]) * ratio);
    }
    irradiance_->setTrace(std::move(values), kIrradianceTop);
}

void CIrradianceDialog::done(int result) {
    finish();
    QDialog::done(result);
    emit dialogClosed();
}

// The measuring distance follows the field; acquisition goes on.
void CIrradianceDialog::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    firstDraw_.stop();
    if (!suspended_) {
        return;
    }
    control_.EndIrradianceCalibration();
    control_.ResumeAcquisition(HoldBy::Dialog);
    if (ready_) {
        // A failure leaves the previous distance, which is all it could do.
        static_cast<void>(control_.ApplySetting("IrradDist", std::to_string(distance_->value())));
    }
}

} // namespace quillon
