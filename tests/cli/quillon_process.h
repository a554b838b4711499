// The quillon program started as a separate process in a folder, with its
// output collected and a time limit.
#ifndef QUILLON_TESTS_CLI_QUILLON_PROCESS_H
#define QUILLON_TESTS_CLI_QUILLON_PROCESS_H

#include "../datacontrol/temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace quillon::test {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// The child sees neither OV_DRIVER nor OV_SIM_BENCH of the test's own
// environment: only --simulate chooses the simulator.
inline std::vector<std::string> childEnvironment() {
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("OV_DRIVER=", 0) != 0 && entry.rfind("OV_SIM_BENCH=", 0) != 0) {
            env.push_back(entry);
        }
    }
    return env;
}

// A started quillon process and where its output goes.
struct Child {
    pid_t pid = -1;
    std::filesystem::path outFile;
    std::filesystem::path errFile;
};

// `fileSizeLimit` (bytes, 0 for none) caps the files the child may write,
// so that its writes fail even when the tests run as root.
inline Child start(const std::filesystem::path &folder, const std::vector<std::string> &args,
                   const std::string &tag = "", rlim_t fileSizeLimit = 0) {
    Child child{-1, folder / (".stdout" + tag), folder / (".stderr" + tag)};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, child.outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, child.errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    std::vector<std::string> argStrings{QUILLON_CLI_BINARY};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : argStrings) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envStrings = childEnvironment();
    std::vector<char *> envp;
    for (auto &e : envStrings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    // The child inherits the limit and the ignored SIGXFSZ (a write past
    // the limit then fails instead of killing it); this process gets its
    // own back at once.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    void (*previousHandler)(int) = SIG_DFL;
    if (fileSizeLimit != 0) {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = previous;
        lowered.rlim_cur = fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    const int spawned =
        posix_spawn(&child.pid, QUILLON_CLI_BINARY, &actions, nullptr, argv.data(), envp.data());
    if (fileSizeLimit != 0) {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << QUILLON_CLI_BINARY << ": " << std::strerror(spawned);
        child.pid = -1;
    }
    return child;
}

// Waits for the child, but not without end: a run that hangs is killed and
// fails the test.
inline Outcome finish(const Child &child, std::chrono::seconds limit = std::chrono::seconds(60)) {
    Outcome run;
    if (child.pid < 0) {
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(child.pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child.pid, SIGKILL);
            waitpid(child.pid, &status, 0);
            ADD_FAILURE() << "quillon did not end within " << limit.count() << " s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readBytes(child.outFile);
    run.err = readBytes(child.errFile);
    std::filesystem::remove(child.outFile);
    std::filesystem::remove(child.errFile);
    return run;
}

// The parts of a text between separators (a final empty part left out).
inline std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    return parts;
}

inline Outcome runIn(const std::filesystem::path &folder, const std::vector<std::string> &args) {
    return finish(start(folder, args));
}

} // namespace quillon::test

#endif
