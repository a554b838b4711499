// The record set-up dialog of the time line (template 1011): file name,
// start and end time, interval, frame limit, and whether the graph follows
// the record. "Set Ready" makes the record ready (the time-line button then
// shows "Record"); "Cancel Record Process" ends or drops it.
#ifndef QUILLON_APP_SHELL_RECORD_DIALOG_H
#define QUILLON_APP_SHELL_RECORD_DIALOG_H

#include "datacontrol/data_control.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <filesystem>

namespace quillon {

class CRecordDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1011;
    // "tt hh':'mm':'ss  MMM'/'dd'/'yyyy" in Qt's spelling.
    static constexpr const char *kTimeFormat = "AP hh':'mm':'ss  MMM'/'dd'/'yyyy";

    CRecordDialog(DataControl &control, const std::filesystem::path &dataFolder,
                  QWidget *parent = nullptr);

    QLineEdit &fileName() { return fileName_; }
    QDateTimeEdit &startTime() { return start_; }
    QDateTimeEdit &endTime() { return end_; }
    QCheckBox &endTimeUsed() { return endUsed_; }
    QSpinBox &interval() { return interval_; }
    QRadioButton &seconds() { return seconds_; }
    QRadioButton &milliseconds() { return milliseconds_; }
    QSpinBox &frameLimit() { return frames_; }
    QCheckBox &displayWhileRecording() { return display_; }
    QString statusText() const { return status_.text(); }
    std::filesystem::path chosenFolder() const { return folder_; }

    // "Set Ready": true when the record is ready (the dialog closes).
    bool setReady();
    // "Cancel Record Process".
    void cancelRecord();
    void browse();

signals:
    void recordCancelled();

private:
    void endTimeToggled(bool used);

    DataControl &control_;
    std::filesystem::path folder_;
    QLineEdit fileName_;
    QPushButton browse_{"..."};
    QDateTimeEdit start_;
    QDateTimeEdit end_;
    QCheckBox endUsed_{"End time"};
    QSpinBox interval_;
    QRadioButton seconds_{"s"};
    QRadioButton milliseconds_{"ms"};
    QSpinBox frames_;
    QLabel status_;
    QPushButton ready_{"Set Ready"};
    QPushButton cancel_{"Cancel Record Process"};
    QCheckBox display_{"Display while recording (may lose some data due to overhead)"};
};

} // namespace quillon

#endif
