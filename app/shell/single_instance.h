// One running copy per user: a lock file named
// "PreventSecondInstanceRunning" in the user's runtime folder (the temporary
// folder when there is none). A lock left by a crashed copy is taken over.
#ifndef QUILLON_APP_SHELL_SINGLE_INSTANCE_H
#define QUILLON_APP_SHELL_SINGLE_INSTANCE_H

#include <QLockFile>
#include <QString>

#include <memory>

namespace quillon {

inline constexpr const char *kSingleInstanceName = "PreventSecondInstanceRunning";

class SingleInstanceLock {
public:
    explicit SingleInstanceLock(const QString &folder = defaultFolder());
    bool acquired() const { return acquired_; }
    static QString defaultFolder();

private:
    std::unique_ptr<QLockFile> lock_;
    bool acquired_ = false;
};

} // namespace quillon

#endif
