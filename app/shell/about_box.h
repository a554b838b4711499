// The About box: program name, version, home page and support mail.
#ifndef QUILLON_APP_SHELL_ABOUT_BOX_H
#define QUILLON_APP_SHELL_ABOUT_BOX_H

#include <QDialog>

namespace quillon {

class AboutBox : public QDialog {
    Q_OBJECT

public:
    static constexpr int kResourceId = 100;
    explicit AboutBox(QWidget *parent = nullptr);
};

} // namespace quillon

#endif
