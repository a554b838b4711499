#include "platform/growing_file.h"

#include <cerrno>
#include <cstring>

#include "native_io.h"

namespace quillon::platform {

namespace {

std::string errnoReason(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

std::unique_ptr<GrowingFile> GrowingFile::create(const std::filesystem::path &path,
                                                 std::string &error) {
    const int fd = native::openFile(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        error = errnoReason("cannot create the file");
        return nullptr;
    }
    return std::unique_ptr<GrowingFile>(new GrowingFile(fd));
}

GrowingFile::GrowingFile(int descriptor) : fd(descriptor) {
    flusher = std::thread([this] { flushLoop(); });
}

GrowingFile::~GrowingFile() {
    (void)close();
}

void GrowingFile::fail(const std::string &reason) {
    const std::lock_guard lock(mutex);
    if (problem.empty()) {
        problem = reason;
    }
    broken = true;
}

std::string GrowingFile::error() const {
    const std::lock_guard lock(mutex);
    return problem;
}

bool GrowingFile::append(std::string_view record) {
    if (broken.load() || fd < 0) {
        return false;
    }
    const std::uint64_t before = written.load();
    std::size_t done = 0;
    while (done < record.size()) {
        const auto n =
            ::write(fd, record.data() + done, static_cast<unsigned>(record.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A short write ended in ENOSPC or EFBIG: the part written goes again.
            const std::string reason = errnoReason("cannot write");
            if (done > 0 && !native::truncateTo(fd, before)) {
                fail(reason + "; " + errnoReason("cannot cut off the part written"));
                return false;
            }
            fail(reason);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    written = before + record.size();
    {
        const std::lock_guard lock(mutex);
        dirty = true;
    }
    wake.notify_one();
    return true;
}

void GrowingFile::flushLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return dirty || closing; });
        if (!dirty) {
            return; // closing, everything flushed
        }
        dirty = false;
        const std::uint64_t covered = written.load();
        lock.unlock();
        const bool synced = native::syncData(fd);
        const std::string reason = synced ? std::string() : errnoReason("cannot flush to disk");
        lock.lock();
        if (synced) {
            flushedBytes = covered;
            flushCount.fetch_add(1);
        } else if (problem.empty()) {
            problem = reason;
            broken = true;
        }
    }
}

bool GrowingFile::close() {
    if (fd < 0) {
        return !broken.load();
    }
    {
        const std::lock_guard lock(mutex);
        closing = true;
    }
    wake.notify_one();
    flusher.join();
    if (::close(fd) != 0) {
        fail(errnoReason("cannot close"));
    }
    fd = -1;
    return !broken.load();
}

} // namespace quillon::platform
