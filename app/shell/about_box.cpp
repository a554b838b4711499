#include "shell/about_box.h"

#include "shell/button_icons.h"
#include "shell/deployment.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quillon {

AboutBox::AboutBox(QWidget *parent) : QDialog(parent) {
    setWindowTitle("About Quillon");
    setObjectName(QString::number(kResourceId));
    auto *layout = new QVBoxLayout(this);
    // The box takes the size its texts need: no address is ever cut.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *top = new QHBoxLayout;
    auto *icon = new QLabel;
    icon->setPixmap(buttonIcon("reference", devicePixelRatioF())
                        .scaled(56, 56, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    top->addWidget(icon, 0, Qt::AlignTop);
    auto *text =
        new QLabel(QString("<h3>%1</h3><p>Version %2</p><p>%3</p>"
                           "<p>Home page: <a href=\"%4\">%4</a><br>"
                           "Support: <a href=\"mailto:%5\">%5</a></p>")
                       .arg(deployment::kProgramName, deployment::kVersion, deployment::kCopyright,
                            deployment::kHomePage, deployment::kSupportMail));
    text->setObjectName("aboutText");
    text->setTextFormat(Qt::RichText);
    text->setOpenExternalLinks(true);
    text->setTextInteractionFlags(Qt::TextBrowserInteraction);
    top->addWidget(text, 1);
    layout->addLayout(top);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace quillon
