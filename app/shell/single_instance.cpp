#include "shell/single_instance.h"

#include <QDir>
#include <QStandardPaths>

namespace quillon {

SingleInstanceLock::SingleInstanceLock(const QString &folder)
    : lock_(std::make_unique<QLockFile>(QDir(folder).filePath(kSingleInstanceName))) {
    // Staleness only by a dead owner, never by age: a copy may run for weeks.
    lock_->setStaleLockTime(0);
    acquired_ = lock_->tryLock(0);
}

QString SingleInstanceLock::defaultFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::tempPath();
    }
    return folder;
}

} // namespace quillon
