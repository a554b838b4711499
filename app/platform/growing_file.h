// A file that grows record by record while a program runs for hours (the
// time-line record). Each record goes to the file whole, in write calls of
// its own, before append() returns: a process that is killed leaves a file
// that ends at a record boundary. A record that could not be written whole
// (full disk, file size limit) is cut off again, so the file still ends at
// the last whole record. Flushing to the disk runs on a thread of its own as
// soon as records are waiting, so append() never waits for the disk and a
// power loss costs at most the records of the flush under way.
#ifndef QUILLON_APP_PLATFORM_GROWING_FILE_H
#define QUILLON_APP_PLATFORM_GROWING_FILE_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace quillon::platform {

class GrowingFile {
public:
    // Creates `path` or truncates what is there; nothing and the reason in
    // `error` when it cannot be opened for writing.
    static std::unique_ptr<GrowingFile> create(const std::filesystem::path &path,
                                               std::string &error);
    ~GrowingFile();
    GrowingFile(const GrowingFile &) = delete;
    GrowingFile &operator=(const GrowingFile &) = delete;

    // Writes `record` whole. False once a write or a flush has failed; the
    // reason is in error().
    bool append(std::string_view record);
    // The last flush, then the file is closed. False (with the reason) when
    // anything failed since create().
    bool close();

    std::uint64_t size() const { return written.load(); }
    std::uint64_t flushes() const { return flushCount.load(); }
    // The bytes known to be on the disk.
    std::uint64_t flushedSize() const { return flushedBytes.load(); }
    std::string error() const;

private:
    explicit GrowingFile(int descriptor);
    void flushLoop();
    void fail(const std::string &reason);

    int fd;
    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> flushedBytes{0};
    std::atomic<std::uint64_t> flushCount{0};
    std::atomic<bool> broken{false};
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool dirty = false;   // under mutex
    bool closing = false; // under mutex
    std::string problem;  // under mutex
    std::thread flusher;
};

} // namespace quillon::platform

#endif
