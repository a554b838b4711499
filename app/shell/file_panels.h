// The popup panels of the Export and Import buttons: the save panel writes
// the spectrum on screen (text, CSV, JCAMP-DX, SPC), a picture of the graph
// or the memory data file, to a file or the clipboard; the load panel reads
// a memory data file. Each shows the outcome in its one-line status text and
// asks the scope view to close it after an operation that worked.
#ifndef QUILLON_APP_SHELL_FILE_PANELS_H
#define QUILLON_APP_SHELL_FILE_PANELS_H

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <filesystem>

namespace quillon {

class CQuillonView;

// What a Browse button asks for.
struct BrowseSpec {
    const char *title;
    const char *filter;
    const char *extension;
};

// The base of both panels: the name box, Browse, the action button, Close
// and the status line, in a raised frame.
class CFilePanel : public QFrame {
    Q_OBJECT

public:
    QLineEdit &nameBox() { return name_; }
    QPushButton &browseButton() { return browse_; }
    QPushButton &actionButton() { return action_; }
    QPushButton &closeButton() { return close_; }
    QString status() const { return status_.text(); }

signals:
    // The panel is done (saved, loaded or closed): the view destroys it.
    void finished();

protected:
    CFilePanel(CQuillonView &view, const QString &objectName, const QString &actionText,
               QWidget *parent);
    // Lays the rows out: `rows` above the name row.
    void finishLayout(QLayout *rows);
    void setStatus(const QString &text);
    void browse(const BrowseSpec &spec, bool existingOnly);
    void keyPressEvent(QKeyEvent *event) override;

    CQuillonView &view_;

private:
    QLineEdit name_;
    QPushButton browse_;
    QPushButton action_;
    QPushButton close_;
    QLabel status_;
};

class CSavePanel : public CFilePanel {
    Q_OBJECT

public:
    // The data types, by their radio button ids.
    enum Type { Text = 0, Graph = 1, Memory = 3, Spc = 4, Csv = 5, Jcamp = 6 };
    enum Which { Current = 0, All = 1 };
    enum Destination { File = 0, Clipboard = 1 };

    CSavePanel(CQuillonView &view, QWidget *parent);

    void setType(Type type);
    Type type() const { return static_cast<Type>(types_.checkedId()); }
    void setWhich(Which which);
    void setDestination(Destination destination);
    QRadioButton *typeButton(Type type) const;
    QRadioButton *destinationButton(Destination destination) const;
    QRadioButton *whichButton(Which which) const;

    // The Save button.
    void save();
    void browseForType();

private:
    void typeChanged();
    bool saveExport(const std::filesystem::path &file);
    bool saveGraph(const std::filesystem::path &file);
    bool saveMemory(const std::filesystem::path &file);
    bool toClipboard() const;

    QButtonGroup types_;
    QButtonGroup which_;
    QButtonGroup destination_;
};

class CLoadPanel : public CFilePanel {
    Q_OBJECT

public:
    CLoadPanel(CQuillonView &view, QWidget *parent);

    // The Load button.
    void load();

signals:
    // A memory data file was loaded under the name as typed.
    void loaded(const QString &name);
};

// The file a typed name stands for in the view's data folder.
std::filesystem::path typedFilePath(const CQuillonView &view, const QString &name,
                                    const char *extension);

} // namespace quillon

#endif
