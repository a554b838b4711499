#include "dialogs/eeprom_tool_dialog.h"

#include "datacontrol/data_control.h"
#include "datacontrol/eeprom_tool_text.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <initializer_list>

namespace quillon {

namespace {

constexpr const char *kTitle = "OV Channel Setup Controller";

// Dialog units of a font as a dialog template measures them: a quarter of
// the average character width across, an eighth of the line height down.
class DialogUnits {
public:
    explicit DialogUnits(const QFontMetrics &metrics)
        : charWidth(averageCharWidth(metrics)), charHeight(metrics.height()) {}

    int x(int units) const { return (units * charWidth + 2) / 4; }
    int y(int units) const { return (units * charHeight + 4) / 8; }
    QRect rect(int left, int top, int width, int height) const {
        return {x(left), y(top), x(width), y(height)};
    }

private:
    static int averageCharWidth(const QFontMetrics &metrics) {
        const int alphabet =
            metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        return (alphabet / 26 + 1) / 2;
    }

    int charWidth;
    int charHeight;
};

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &toolTip,
                    const QRect &place) {
    auto *created = new QPushButton(text, parent);
    created->setObjectName(name);
    created->setToolTip(toolTip);
    created->setAutoDefault(false);
    created->setGeometry(place);
    return created;
}

// A font wider than the template's must clip no caption: each widget of a
// row gets the width its text needs, and those after it move right by what
// the ones before grew.
struct RowItem {
    QWidget *widget;
    int needed; // 0: the template's width is enough
};
void fitRow(std::initializer_list<RowItem> row) {
    int shift = 0;
    for (const RowItem &item : row) {
        const QRect place = item.widget->geometry();
        const int width = std::max(place.width(), item.needed);
        item.widget->setGeometry(place.x() + shift, place.y(), width, place.height());
        shift += width - place.width();
    }
}

QLabel *label(QWidget *parent, const QString &text, const QRect &place) {
    auto *created = new QLabel(text, parent);
    created->setGeometry(place);
    return created;
}

} // namespace

CEepromToolDialog::CEepromToolDialog(DataControl &control, QWidget *parent)
    : QDialog(parent), tool_(control) {
    setObjectName("EepromToolDialog");
    setModal(true);
    build();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    (void)tool_.Open(); // a failure is told; the dialog stays, empty
    QApplication::restoreOverrideCursor();
    showState();
}

void CEepromToolDialog::build() {
    const DialogUnits du(fontMetrics());
    setFixedSize(du.x(235), du.y(239));

    // The frame first, so that the buttons and the pane lie above it.
    auto *frame = new QGroupBox("EEPROM Data Pane", this);
    frame->setObjectName("eepromFrame");
    frame->setGeometry(du.rect(13, 51, 215, 181));

    auto *icon = new QLabel(this);
    icon->setObjectName("unitIcon");
    const QRect iconPlace = du.rect(9, 9, 20, 20);
    icon->setGeometry(iconPlace);
    QIcon picture = QApplication::windowIcon();
    if (picture.isNull()) {
        picture = style()->standardIcon(QStyle::SP_ComputerIcon);
    }
    icon->setPixmap(picture.pixmap(iconPlace.size()));

    label(this, "OV's spectrometer EEPROM data setup", du.rect(30, 11, 169, 11));
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(du.x(7), du.y(27), du.x(215), std::max(2, du.y(1)));

    QLabel *channelLabel = label(this, "Channel #:", du.rect(16, 33, 36, 12));
    channelIdText_ = label(this, QString(), du.rect(53, 33, 13, 12));
    channelIdText_->setObjectName("channelIdText");
    channelIdText_->setAlignment(Qt::AlignCenter);
    channelIdList_ = new QComboBox(this);
    channelIdList_->setObjectName("channelIdList");
    // The drop-down's 50 units include its list; the closed box is a row high.
    channelIdList_->setGeometry(du.x(68), du.y(32), du.x(21), du.y(14));
    changeButton_ =
        button(this, "changeButton", "Change", "Change the channel ID#", du.rect(92, 32, 32, 14));
    okButton_ = button(this, "okButton", "OK", QString(), du.rect(183, 33, 40, 14));
    okButton_->setDefault(true);

    readButton_ =
        button(this, "readButton", "Read", "Read data from EEPROM", du.rect(19, 64, 32, 14));
    writeButton_ =
        button(this, "writeButton", "Write", "Write data to EEPROM", du.rect(54, 64, 32, 14));
    templateButton_ = button(this, "templateButton", "Template", "Template of the EEPROM data",
                             du.rect(89, 64, 35, 14));
    templateHelpButton_ = button(this, "templateHelpButton", "?",
                                 "Help for the EEPROM data Template", du.rect(127, 64, 14, 14));

    const QFontMetrics metrics = fontMetrics();
    const auto buttonNeeds = [&](const QPushButton *b) {
        return metrics.horizontalAdvance(b->text()) + du.x(6);
    };
    fitRow({{channelLabel, metrics.horizontalAdvance(channelLabel->text())},
            {channelIdText_, 0},
            {channelIdList_, 0},
            {changeButton_, buttonNeeds(changeButton_)}});
    fitRow({{readButton_, buttonNeeds(readButton_)},
            {writeButton_, buttonNeeds(writeButton_)},
            {templateButton_, buttonNeeds(templateButton_)},
            {templateHelpButton_, 0}});

    pane_ = new QPlainTextEdit(this);
    pane_->setObjectName("eepromPane");
    pane_->setGeometry(du.rect(18, 82, 198, 145));
    pane_->setLineWrapMode(QPlainTextEdit::NoWrap);
    pane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    connect(pane_, &QPlainTextEdit::textChanged, this, &CEepromToolDialog::paneEdited);
    connect(readButton_, &QPushButton::clicked, this, &CEepromToolDialog::read);
    connect(writeButton_, &QPushButton::clicked, this, &CEepromToolDialog::write);
    connect(templateButton_, &QPushButton::clicked, this, &CEepromToolDialog::fillTemplate);
    connect(templateHelpButton_, &QPushButton::clicked, this, [this] { tool_.ShowTemplateHelp(); });
    connect(changeButton_, &QPushButton::clicked, this, &CEepromToolDialog::changeChannelId);
    connect(okButton_, &QPushButton::clicked, this, &CEepromToolDialog::accept);
}

void CEepromToolDialog::showState() {
    setWindowTitle(QString(kTitle) + (tool_.modified() ? "*" : ""));
    const bool opened = tool_.opened();
    channelIdText_->setText(opened ? QString::number(tool_.channelId()) : QString());
    {
        const QSignalBlocker quiet(channelIdList_);
        channelIdList_->clear();
        if (opened) {
            for (const int id : tool_.channelIdChoices()) {
                channelIdList_->addItem(QString::number(id), id);
            }
            channelIdList_->setCurrentIndex(channelIdList_->findData(tool_.channelId()));
        }
    }
    // Without a known channel ID nothing can be written that names it.
    const std::initializer_list<QWidget *> needId{channelIdList_, changeButton_, readButton_,
                                                  writeButton_, templateButton_};
    for (QWidget *control : needId) {
        control->setEnabled(opened);
    }
    pane_->setReadOnly(!opened);
    templateHelpButton_->setVisible(tool_.templateHelpVisible());

    // Only a text the pane does not already show replaces it: the cursor
    // stays where the operator types.
    const std::string shown = withPaneLineEnds(pane_->toPlainText().toStdString());
    if (shown != tool_.paneText()) {
        const QSignalBlocker quiet(pane_);
        pane_->setPlainText(QString::fromStdString(withUnitLineEnds(tool_.paneText())));
    }
}

void CEepromToolDialog::paneEdited() {
    tool_.EditPane(pane_->toPlainText().toStdString());
    setWindowTitle(QString(kTitle) + (tool_.modified() ? "*" : ""));
}

void CEepromToolDialog::read() {
    // The wait cursor from the moment the unit is asked, not over the question.
    bool waiting = false;
    (void)tool_.Read([&waiting] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waiting = true;
    });
    if (waiting) {
        QApplication::restoreOverrideCursor();
    }
    showState();
}

void CEepromToolDialog::write() {
    (void)tool_.Write(); // every outcome is told by the core
    showState();
}

void CEepromToolDialog::fillTemplate() {
    tool_.Template();
    showState();
    pane_->setFocus();
}

void CEepromToolDialog::changeChannelId() {
    (void)tool_.ChangeChannelId(channelIdList_->currentData().toInt());
    showState();
}

void CEepromToolDialog::accept() {
    closeWith(QDialog::Accepted);
}

void CEepromToolDialog::reject() {
    closeWith(QDialog::Rejected);
}

// Closing by the window's frame or Escape must not skip the unit file that
// a written EEPROM needs.
void CEepromToolDialog::closeWith(int result) {
    if (!tool_.Ok()) {
        showState();
        return;
    }
    done(result);
}

} // namespace quillon
