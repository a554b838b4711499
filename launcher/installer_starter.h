#ifndef QUILLON_LAUNCHER_INSTALLER_STARTER_H
#define QUILLON_LAUNCHER_INSTALLER_STARTER_H

#include <QString>

#include <functional>

namespace quillon::launcher {

enum class Installer { Bit32, Bit64 };

// Asks the desktop to open a file, as a double click would; true when started.
using OpenAction = std::function<bool(const QString &path)>;

// The platform's "open" action: ShellExecuteW on Windows, QDesktopServices elsewhere.
OpenAction systemOpenAction();

// Finds the setup program of each edition beside the launcher and starts it.
class InstallerStarter {
public:
    InstallerStarter(const QString &programFolder, OpenAction open);

    // The program folder with its trailing separator.
    const QString &programFolder() const { return programFolder_; }
    QString installerPath(Installer installer) const;

    // A missing setup program or a failed start is silent by design: the
    // launcher stays and the user may pick the other edition.
    void start(Installer installer) const;

private:
    QString programFolder_;
    OpenAction open_;
};

} // namespace quillon::launcher

#endif // QUILLON_LAUNCHER_INSTALLER_STARTER_H
