// Quillon Installer: starts the 32-bit or 64-bit setup program beside it.

#include "installer_starter.h"
#include "launcher_window.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char *argv[]) {
    using namespace quillon::launcher;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QuillonInstaller"));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kLauncherTitle));

    try {
        LauncherWindow window(
            InstallerStarter(QApplication::applicationDirPath(), systemOpenAction()));
        window.show();
        return QApplication::exec();
    } catch (const std::exception &error) {
        QMessageBox::critical(nullptr, QString::fromLatin1(kLauncherTitle),
                              QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
