#include "shell/record_dialog.h"

#include "platform/files.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quillon {

namespace {

constexpr int kLongestIntervalMs = 24 * 3600 * 1000;

analysis::WallTime wallTimeOf(const QDateTime &t) {
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

} // namespace

CRecordDialog::CRecordDialog(DataControl &control, const std::filesystem::path &dataFolder,
                             QWidget *parent)
    : QDialog(parent), control_(control), folder_(dataFolder) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle("Time Line Record");
    TimeLineRecorder &recorder = control_.TimeLine();
    const QDateTime now = QDateTime::currentDateTime();
    for (QDateTimeEdit *picker : {&start_, &end_}) {
        picker->setDisplayFormat(kTimeFormat);
        picker->setMinimumDateTime(now);
        picker->setDateTime(now);
    }
    endUsed_.setChecked(true);
    interval_.setRange(1, kLongestIntervalMs);
    interval_.setValue(
        static_cast<int>(std::min<std::int64_t>(recorder.MinimumInterval(), kLongestIntervalMs)));
    milliseconds_.setChecked(true);
    auto *units = new QButtonGroup(this);
    units->addButton(&seconds_);
    units->addButton(&milliseconds_);
    frames_.setRange(analysis::kMinFrameLimit, analysis::kMaxFrameLimit);
    frames_.setValue(1);
    frames_.setEnabled(false);
    fileName_.setText(QString::fromStdString(control_.State().settings.title));
    display_.setChecked(recorder.DisplayWhileRecording());
    if (!recorder.DarkAndReferenceReady()) {
        status_.setText("Dark and Ref Scan are required");
        end_.setEnabled(false);
    }
    if (recorder.Recording()) {
        status_.setText("Recording: " +
                        QString::fromStdString(platform::pathText(recorder.File())));
        ready_.setEnabled(false);
    }

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel("File name"), 0, 0);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(&fileName_);
    fileRow->addWidget(&browse_);
    grid->addLayout(fileRow, 0, 1);
    grid->addWidget(new QLabel("Start time"), 1, 0);
    grid->addWidget(&start_, 1, 1);
    grid->addWidget(&endUsed_, 2, 0);
    grid->addWidget(&end_, 2, 1);
    grid->addWidget(new QLabel("Interval"), 3, 0);
    auto *intervalRow = new QHBoxLayout;
    intervalRow->addWidget(&interval_);
    intervalRow->addWidget(&seconds_);
    intervalRow->addWidget(&milliseconds_);
    intervalRow->addStretch();
    grid->addLayout(intervalRow, 3, 1);
    grid->addWidget(new QLabel("No"), 4, 0);
    grid->addWidget(&frames_, 4, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(&ready_);
    buttons->addWidget(&cancel_);
    auto *column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(&display_);
    status_.setObjectName("status");
    column->addWidget(&status_);
    column->addLayout(buttons);

    connect(&endUsed_, &QCheckBox::toggled, this, &CRecordDialog::endTimeToggled);
    connect(&browse_, &QPushButton::clicked, this, &CRecordDialog::browse);
    connect(&ready_, &QPushButton::clicked, this, [this] {
        if (setReady()) {
            accept();
        }
    });
    connect(&cancel_, &QPushButton::clicked, this, [this] {
        cancelRecord();
        reject();
    });
    connect(&display_, &QCheckBox::toggled, this,
            [this](bool on) { control_.TimeLine().SetDisplayWhileRecording(on); });
}

// Unchecked: count mode, the frame limit decides.
void CRecordDialog::endTimeToggled(bool used) {
    frames_.setEnabled(!used);
    end_.setEnabled(used && control_.TimeLine().DarkAndReferenceReady());
}

void CRecordDialog::browse() {
    const QString chosen = QFileDialog::getSaveFileName(
        this, "Open Timer Save File", QString::fromStdString(platform::pathText(folder_)),
        "Scan Data File (*.sdf)", nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) {
        return;
    }
    const QFileInfo info(chosen);
    fileName_.setText(info.fileName());
    folder_ = std::filesystem::path(info.absolutePath().toStdString());
}

bool CRecordDialog::setReady() {
    RecordSetup setup;
    setup.name = fileName_.text().trimmed().toStdString();
    setup.folder = folder_;
    setup.intervalValue = interval_.value();
    setup.seconds = seconds_.isChecked();
    setup.startTime = wallTimeOf(start_.dateTime());
    if (endUsed_.isChecked()) {
        setup.endTime = wallTimeOf(end_.dateTime());
    } else {
        setup.frameLimit = frames_.value();
    }
    const std::string problem = control_.TimeLine().MakeReady(setup);
    status_.setText(QString::fromStdString(problem));
    return problem.empty();
}

void CRecordDialog::cancelRecord() {
    emit recordCancelled();
}

} // namespace quillon
