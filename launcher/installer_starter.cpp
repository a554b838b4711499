#include "installer_starter.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <utility>

#ifdef _WIN32
#include "shell_open.h"
#endif

namespace quillon::launcher {
namespace {

QString withTrailingSeparator(const QString &folder) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ||
        folder.endsWith(QLatin1Char('\\'))) {
        return folder;
    }
    return folder + QLatin1Char('/');
}

QString editionFolder(Installer installer) {
    return installer == Installer::Bit32 ? QStringLiteral("X86") : QStringLiteral("X64");
}

} // namespace

OpenAction systemOpenAction() {
#ifdef _WIN32
    return [](const QString &path) {
        return shellOpen(QDir::toNativeSeparators(path).toStdWString());
    };
#else
    return [](const QString &path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
#endif
}

InstallerStarter::InstallerStarter(const QString &programFolder, OpenAction open)
    : programFolder_(withTrailingSeparator(QDir::fromNativeSeparators(programFolder))),
      open_(std::move(open)) {}

QString InstallerStarter::installerPath(Installer installer) const {
    return programFolder_ + editionFolder(installer) + QStringLiteral("/setup.exe");
}

void InstallerStarter::start(Installer installer) const {
    const QString path = installerPath(installer);
    if (!QFileInfo(path).isFile() || !open_) {
        return;
    }
    open_(path);
}

} // namespace quillon::launcher
