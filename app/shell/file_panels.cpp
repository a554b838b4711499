#include "shell/file_panels.h"

#include "datafiles/exports.h"
#include "platform/files.h"
#include "shell/quillon_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace quillon {

namespace {

// The wait cursor for the length of an operation.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

constexpr BrowseSpec kTextBrowse{"Open Export Text File", "Data Table File(*.txt)", ".txt"};
constexpr BrowseSpec kPictureBrowse{"Open Export BMP File", "Data Table File(*.bmp)", ".bmp"};
constexpr BrowseSpec kMemoryBrowse{"Open ExPort Scan Data File", "Scan Data File(*.sdf)", ".sdf"};
constexpr BrowseSpec kSpcBrowse{"Open Export SPC File", "SPC File(*.spc)", ".spc"};
constexpr BrowseSpec kCsvBrowse{"Open Export CSV File", "CSV File(*.csv)", ".csv"};
constexpr BrowseSpec kJcampBrowse{"Open Export JCAMP-DX File", "JCAMP-DX File(*.jdx)", ".jdx"};
constexpr BrowseSpec kLoadBrowse{"Open Scan Data File", "Scan Data File(*.sdf)", ".sdf"};

const BrowseSpec &browseSpecOf(CSavePanel::Type type) {
    switch (type) {
    case CSavePanel::Graph:
        return kPictureBrowse;
    case CSavePanel::Memory:
        return kMemoryBrowse;
    case CSavePanel::Spc:
        return kSpcBrowse;
    case CSavePanel::Csv:
        return kCsvBrowse;
    case CSavePanel::Jcamp:
        return kJcampBrowse;
    case CSavePanel::Text:
        break;
    }
    return kTextBrowse;
}

ExportForm exportFormOf(CSavePanel::Type type) {
    switch (type) {
    case CSavePanel::Spc:
        return ExportForm::Spc;
    case CSavePanel::Csv:
        return ExportForm::Csv;
    case CSavePanel::Jcamp:
        return ExportForm::Jcamp;
    default:
        return ExportForm::Text;
    }
}

QGroupBox *radioGroup(const QString &title, QButtonGroup &group,
                      std::initializer_list<std::pair<int, const char *>> choices,
                      const QString &namePrefix) {
    auto *box = new QGroupBox(title);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(6, 2, 6, 4);
    column->setSpacing(1);
    for (const auto &[id, text] : choices) {
        auto *radio = new QRadioButton(text, box);
        radio->setObjectName(QString("%1%2").arg(namePrefix).arg(id));
        group.addButton(radio, id);
        column->addWidget(radio);
    }
    column->addStretch(1);
    return box;
}

} // namespace

std::filesystem::path typedFilePath(const CQuillonView &view, const QString &name,
                                    const char *extension) {
    return userFilePath(view.dataFolder(), name.toStdString(), extension);
}

CFilePanel::CFilePanel(CQuillonView &view, const QString &objectName, const QString &actionText,
                       QWidget *parent)
    : QFrame(parent), view_(view), browse_("Browse..."), action_(actionText), close_("Close") {
    setObjectName(objectName);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    name_.setObjectName("nameBox");
    browse_.setObjectName("browseButton");
    action_.setObjectName("actionButton");
    close_.setObjectName("closeButton");
    status_.setObjectName("statusText");
    action_.setDefault(true);
    connect(&close_, &QPushButton::clicked, this, &CFilePanel::finished);
    connect(&name_, &QLineEdit::returnPressed, &action_, &QPushButton::click);
}

void CFilePanel::finishLayout(QLayout *rows) {
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 6, 8, 6);
    outer->setSpacing(5);
    if (rows != nullptr) {
        outer->addLayout(rows);
    }
    auto *nameRow = new QHBoxLayout;
    auto *label = new QLabel("File Name");
    label->setObjectName("nameLabel");
    nameRow->addWidget(label);
    name_.setMinimumWidth(200);
    nameRow->addWidget(&name_, 1);
    nameRow->addWidget(&browse_);
    outer->addLayout(nameRow);
    auto *actionRow = new QHBoxLayout;
    status_.setMinimumWidth(220);
    actionRow->addWidget(&status_, 1);
    actionRow->addWidget(&action_);
    actionRow->addWidget(&close_);
    outer->addLayout(actionRow);
    adjustSize();
}

void CFilePanel::setStatus(const QString &text) {
    status_.setText(text);
    status_.setToolTip(text);
}

void CFilePanel::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        emit finished();
        return;
    }
    QFrame::keyPressEvent(event);
}

// The file dialog is the toolkit's own (not the desktop's) so that it looks
// the same everywhere and can be driven in tests.
void CFilePanel::browse(const BrowseSpec &spec, bool existingOnly) {
    QFileDialog dialog(this, spec.title, platform::pathText(view_.dataFolder()).c_str(),
                       spec.filter);
    dialog.setObjectName("browseDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(existingOnly ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString(spec.extension).mid(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QFileInfo chosen(dialog.selectedFiles().first());
    name_.setText(chosen.fileName());
    view_.setDataFolder(std::filesystem::path(chosen.absolutePath().toStdString()));
}

CSavePanel::CSavePanel(CQuillonView &view, QWidget *parent)
    : CFilePanel(view, "SavePanel", "Save", parent) {
    auto *rows = new QHBoxLayout;
    rows->setSpacing(6);
    rows->addWidget(radioGroup("Data Type", types_,
                               {{Text, "Text Data"},
                                {Graph, "Graph Data"},
                                {Memory, "Save Memory"},
                                {Spc, "GRAMS/32 SPC"},
                                {Csv, "CSV"},
                                {Jcamp, "JCAMP-DX"}},
                               "type"));
    auto *right = new QVBoxLayout;
    right->addWidget(radioGroup("Data", which_, {{Current, "Current"}, {All, "All"}}, "which"));
    right->addWidget(radioGroup("Save To", destination_, {{File, "File"}, {Clipboard, "Clipboard"}},
                                "destination"));
    rows->addLayout(right);
    finishLayout(rows);
    types_.button(Text)->setChecked(true);
    which_.button(Current)->setChecked(true);
    destination_.button(File)->setChecked(true);
    // "All" means every memory item, so there is none outside memory mode.
    const bool memory = view_.dataControl().State().flags.option.test(option_bits::kMemoryMode);
    which_.button(All)->setEnabled(memory);
    connect(&types_, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) {
            typeChanged();
        }
    });
    connect(&browseButton(), &QPushButton::clicked, this, &CSavePanel::browseForType);
    connect(&actionButton(), &QPushButton::clicked, this, &CSavePanel::save);
    typeChanged();
}

QRadioButton *CSavePanel::typeButton(Type type) const {
    return qobject_cast<QRadioButton *>(types_.button(type));
}

QRadioButton *CSavePanel::destinationButton(Destination destination) const {
    return qobject_cast<QRadioButton *>(destination_.button(destination));
}

QRadioButton *CSavePanel::whichButton(Which which) const {
    return qobject_cast<QRadioButton *>(which_.button(which));
}

void CSavePanel::setType(Type type) {
    if (QAbstractButton *b = types_.button(type)) {
        b->setChecked(true);
    }
}

void CSavePanel::setWhich(Which which) {
    if (QAbstractButton *b = which_.button(which); b != nullptr && b->isEnabled()) {
        b->setChecked(true);
    }
}

void CSavePanel::setDestination(Destination destination) {
    if (QAbstractButton *b = destination_.button(destination); b != nullptr && b->isEnabled()) {
        b->setChecked(true);
    }
}

// Only the text table and the picture have a clipboard form.
void CSavePanel::typeChanged() {
    const bool clipboardForm = type() == Text || type() == Graph;
    destination_.button(Clipboard)->setEnabled(clipboardForm);
    if (!clipboardForm) {
        destination_.button(File)->setChecked(true);
    }
}

bool CSavePanel::toClipboard() const {
    return destination_.checkedId() == Clipboard && (type() == Text || type() == Graph);
}

void CSavePanel::browseForType() {
    browse(browseSpecOf(type()), false);
}

void CSavePanel::save() {
    const QString name = nameBox().text().trimmed();
    if (name.isEmpty()) {
        setStatus("Input Save Data Name");
        return;
    }
    setStatus({});
    const std::filesystem::path file = typedFilePath(view_, name, browseSpecOf(type()).extension);
    bool done = false;
    {
        const WaitCursor wait;
        switch (type()) {
        case Graph:
            done = saveGraph(file);
            break;
        case Memory:
            done = saveMemory(file);
            break;
        default:
            done = saveExport(file);
            break;
        }
    }
    if (done) {
        emit finished();
    }
}

bool CSavePanel::saveExport(const std::filesystem::path &file) {
    StoredSpectra &stored = view_.dataControl().Stored();
    const exports::Which which =
        which_.checkedId() == All ? exports::Which::All : exports::Which::Current;
    const std::optional<std::string> bytes =
        stored.ExportData(exportFormOf(type()), which, view_.graphExportView());
    if (!bytes) {
        setStatus("Acquisition did not pause: nothing saved");
        return false;
    }
    if (bytes->empty()) {
        setStatus("Nothing in view to save");
        return false;
    }
    if (toClipboard()) {
        QApplication::clipboard()->setText(QString::fromStdString(*bytes));
        setStatus("Copied to the clipboard");
        return true;
    }
    const StoreOutcome outcome = stored.WriteExportFile(file, *bytes);
    setStatus(QString::fromStdString(outcome.status));
    return outcome.result == OpResult::Done;
}

bool CSavePanel::saveGraph(const std::filesystem::path &file) {
    const QImage picture = view_.graphPicture();
    if (picture.isNull()) {
        setStatus("No graph to save");
        return false;
    }
    if (toClipboard()) {
        QApplication::clipboard()->setImage(picture);
        setStatus("Copied to the clipboard");
        return true;
    }
    const QImage rgb = picture.format() == QImage::Format_RGB32
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    const auto *words = reinterpret_cast<const std::uint32_t *>(rgb.constBits());
    const int stride = static_cast<int>(rgb.bytesPerLine() / 4);
    const std::string bmp = exports::bmpFile(
        rgb.width(), rgb.height(),
        std::span<const std::uint32_t>(words, static_cast<std::size_t>(stride) * rgb.height()),
        stride);
    if (bmp.empty()) {
        setStatus("No graph to save");
        return false;
    }
    const StoreOutcome outcome = view_.dataControl().Stored().WriteExportFile(file, bmp);
    setStatus(QString::fromStdString(outcome.status));
    return outcome.result == OpResult::Done;
}

bool CSavePanel::saveMemory(const std::filesystem::path &file) {
    const StoreOutcome outcome = view_.dataControl().Stored().SaveScanData(file);
    setStatus(QString::fromStdString(outcome.status));
    return outcome.result == OpResult::Done;
}

CLoadPanel::CLoadPanel(CQuillonView &view, QWidget *parent)
    : CFilePanel(view, "LoadPanel", "Load", parent) {
    finishLayout(nullptr);
    connect(&browseButton(), &QPushButton::clicked, this, [this] { browse(kLoadBrowse, true); });
    connect(&actionButton(), &QPushButton::clicked, this, &CLoadPanel::load);
}

void CLoadPanel::load() {
    const QString name = nameBox().text().trimmed();
    if (name.isEmpty()) {
        setStatus("No Load Data Name");
        return;
    }
    setStatus({});
    StoreOutcome outcome;
    {
        const WaitCursor wait;
        outcome = view_.dataControl().Stored().LoadScanData(typedFilePath(view_, name, ".sdf"));
    }
    setStatus(QString::fromStdString(outcome.status));
    if (outcome.result == OpResult::Done) {
        emit loaded(name);
    }
}

} // namespace quillon
