// The two peak dialogs of the scope view: the peak options (noise
// multiplier, threshold, high or low peaks) and the "Peak Data" table of the
// found peaks, with copy and CSV save.
#ifndef QUILLON_APP_SHELL_PEAK_DIALOGS_H
#define QUILLON_APP_SHELL_PEAK_DIALOGS_H

#include "datacontrol/data_control.h"
#include "shell/peak_table_texts.h"

#include <QDialog>
#include <QString>

#include <vector>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace quillon {

class CPeakOptionsDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1054;

    CPeakOptionsDialog(DataControl &control, QWidget *parent = nullptr);

    QDoubleSpinBox &noiseMultiplier() { return *ratio_; }
    QDoubleSpinBox &threshold() { return *line_; }
    QRadioButton &highPeak() { return *high_; }
    QRadioButton &lowPeak() { return *low_; }

public slots:
    // Stores the three values through the settings table; a value it
    // refuses keeps the dialog open with the reason.
    void accept() override;

private:
    DataControl &control_;
    QDoubleSpinBox *ratio_ = nullptr;
    QDoubleSpinBox *line_ = nullptr;
    QRadioButton *high_ = nullptr;
    QRadioButton *low_ = nullptr;
    QLabel *status_ = nullptr;
};

class CPeakDataDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1049;

    CPeakDataDialog(DataControl &control, QWidget *parent = nullptr);

    // Takes the current peak list and the unit and mode it is shown in.
    void showPeaks(const PeakTableContext &context, std::vector<analysis::Peak> peaks);
    QTableWidget &table() { return *table_; }
    QString tableText(char separator) const;
    // The CSV file, written safely; false (and the reason shown) on failure.
    bool saveCsv(const QString &path);

private:
    void copyToClipboard();
    void chooseCsvFile();

    DataControl &control_;
    PeakTableContext context_;
    std::vector<float> wavelengths_; // the context's table lives here
    std::vector<analysis::Peak> peaks_;
    QTableWidget *table_ = nullptr;
    QLabel *note_ = nullptr;
    QPushButton *copy_ = nullptr;
    QPushButton *save_ = nullptr;
};

} // namespace quillon

#endif
