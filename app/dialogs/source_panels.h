// The dark and reference panels of the button bar: where the dark and the
// reference spectrum come from, their files, the built-in shutter and the
// colour tile. Closing applies the choices through DataControl; the view
// then gives the main button the caption in closing().
#ifndef QUILLON_APP_DIALOGS_SOURCE_PANELS_H
#define QUILLON_APP_DIALOGS_SOURCE_PANELS_H

#include "dialogs/popup_panel.h"

#include <QButtonGroup>
#include <QString>

#include <filesystem>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quillon {

// What the dark and reference panels share: the file name box with its
// browse button, the status line and the closing button.
class CSourcePanel : public PopupPanel {
    Q_OBJECT

public:
    QLineEdit &nameBox() { return *name_; }
    QPushButton &browseButton() { return *browse_; }
    QLabel &statusLine() { return *status_; }
    QPushButton &closeButton() { return *close_; }
    // What closing did; valid once the panel has closed.
    const PanelClosing &closing() const { return closing_; }
    std::filesystem::path folder() const { return folder_; }

public slots:
    // Every way out runs the closing steps.
    void reject() override { finish(); }

signals:
    // Browse chose a file in another folder: typed names now lie there.
    void folderChosen(const QString &folder);

protected:
    CSourcePanel(DataControl &control, const QString &objectName, const QString &caption,
                 std::filesystem::path folder, QWidget *parent);
    QWidget *makeNameRow();
    QWidget *makeStatusRow();
    void setStatus(const QString &text);
    void browseFor(const QString &title, const QString &filter, const char *extension);
    virtual PanelClosing closePanel() = 0;
    void finish();

private:
    std::filesystem::path folder_;
    QLineEdit *name_ = nullptr;
    QPushButton *browse_ = nullptr;
    QLabel *status_ = nullptr;
    QPushButton *close_ = nullptr;
    PanelClosing closing_;
    bool finished_ = false;
};

class CDarkPanel : public CSourcePanel {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1006;

    CDarkPanel(DataControl &control, std::filesystem::path folder, QWidget *parent = nullptr);

    QRadioButton *sourceButton(DarkSource source) const;
    void chooseSource(DarkSource source);
    QCheckBox &subtractionBox() { return *subtraction_; }
    QPushButton &saveButton() { return *save_; }
    QPushButton &loadButton() { return *load_; }
    QPushButton &shutterButton() { return *shutter_; }
    bool fileRowShown() const;

protected:
    PanelClosing closePanel() override;

private:
    DarkSource chosen() const;
    void sourceChanged();
    void saveFile();
    void loadFile();
    void flipShutter();
    void showShutter(std::optional<bool> closed);

    QButtonGroup sources_;
    QCheckBox *subtraction_ = nullptr;
    QWidget *fileRow_ = nullptr;
    QWidget *fileButtons_ = nullptr;
    QPushButton *save_ = nullptr;
    QPushButton *load_ = nullptr;
    QPushButton *shutter_ = nullptr;
    bool fileLoaded_ = false;
};

class CReferencePanel : public CSourcePanel {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 1007;

    CReferencePanel(DataControl &control, std::filesystem::path folder, QWidget *parent = nullptr);

    QRadioButton *sourceButton(ReferenceSource source) const;
    void chooseSource(ReferenceSource source);
    QPushButton &saveButton() { return *save_; }
    QPushButton &loadButton() { return *load_; }
    QPushButton &calibrationButton() { return *calibration_; }
    QDoubleSpinBox &maximumBox() { return *maximum_; }
    bool fileRowShown() const;

protected:
    PanelClosing closePanel() override;

private:
    ReferenceSource chosen() const;
    void sourceChanged(int id, bool on);
    void showControls();
    void saveFile();
    void loadFile();
    void setCalibration();

    QButtonGroup sources_;
    int shownSource_ = 0;
    QWidget *fileRow_ = nullptr;
    QPushButton *save_ = nullptr;
    QPushButton *load_ = nullptr;
    QPushButton *calibration_ = nullptr;
    QDoubleSpinBox *maximum_ = nullptr;
    bool fileLoaded_ = false;
    std::optional<std::string> tileCaption_;
};

} // namespace quillon

#endif
