// The quillon program started as a separate process in a folder, with its
// output collected and a time limit.
#ifndef QUILLON_TESTS_CLI_QUILLON_PROCESS_H
#define QUILLON_TESTS_CLI_QUILLON_PROCESS_H

#include "../datacontrol/temp_folder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#endif

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
extern char **environ;
#endif

namespace quillon::test {

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32
// The child sees neither OV_DRIVER nor OV_SIM_BENCH of the test's own
// environment: only --simulate chooses the simulator. The block is sorted,
// as Windows expects.
inline std::vector<wchar_t> childEnvironment() {
    std::vector<std::wstring> entries;
    wchar_t *block = GetEnvironmentStringsW();
    for (const wchar_t *e = block; e != nullptr && *e != L'\0'; e += wcslen(e) + 1) {
        const std::wstring entry = e;
        if (entry.rfind(L"OV_DRIVER=", 0) != 0 && entry.rfind(L"OV_SIM_BENCH=", 0) != 0) {
            entries.push_back(entry);
        }
    }
    FreeEnvironmentStringsW(block);
    std::sort(entries.begin(), entries.end());
    std::vector<wchar_t> env;
    for (const auto &entry : entries) {
        env.insert(env.end(), entry.begin(), entry.end());
        env.push_back(L'\0');
    }
    env.push_back(L'\0');
    return env;
}

// One argument in the quoting the C runtime's command-line parser undoes.
inline std::wstring quotedArgument(const std::wstring &arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

// A started quillon process and where its output goes.
struct Child {
    std::shared_ptr<void> process; // the process handle, closed with the last copy
    std::filesystem::path outFile;
    std::filesystem::path errFile;
};

inline HANDLE inheritableOutput(const std::filesystem::path &file) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Windows has no file-size limit per process: callers skip what needs one.
inline Child start(const std::filesystem::path &folder, const std::vector<std::string> &args,
                   const std::string &tag = "", std::uintmax_t fileSizeLimit = 0) {
    (void)fileSizeLimit;
    Child child{nullptr, folder / (".stdout" + tag), folder / (".stderr" + tag)};
    const std::filesystem::path program = QUILLON_CLI_BINARY;
    std::wstring commandLine = quotedArgument(program.wstring());
    for (const auto &arg : args) {
        commandLine += L" " + quotedArgument(std::filesystem::path(arg).wstring());
    }
    HANDLE out = inheritableOutput(child.outFile);
    HANDLE err = inheritableOutput(child.errFile);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION started{};
    std::vector<wchar_t> env = childEnvironment();
    const BOOL ok =
        out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, env.data(), folder.c_str(), &startup, &started);
    const DWORD failure = GetLastError();
    if (out != INVALID_HANDLE_VALUE) {
        CloseHandle(out);
    }
    if (err != INVALID_HANDLE_VALUE) {
        CloseHandle(err);
    }
    if (!ok) {
        ADD_FAILURE() << "cannot start " << QUILLON_CLI_BINARY << ": error " << failure;
        return child;
    }
    CloseHandle(started.hThread);
    child.process = std::shared_ptr<void>(started.hProcess, CloseHandle);
    return child;
}

inline std::string withoutCarriageReturns(std::string text) {
    std::erase(text, '\r');
    return text;
}

// Ends the child at once, as a crash or a power cut would.
inline constexpr int kKilledExitCode = 137;
inline void killAtOnce(const Child &child) {
    TerminateProcess(child.process.get(), kKilledExitCode);
}
inline constexpr bool kCanLimitFileSize = false;

// Waits for the child, but not without end: a run that hangs is killed and
// fails the test.
inline Outcome finish(const Child &child, std::chrono::seconds limit = std::chrono::seconds(60)) {
    Outcome run;
    if (!child.process) {
        return run;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
    if (WaitForSingleObject(child.process.get(), static_cast<DWORD>(ms)) != WAIT_OBJECT_0) {
        TerminateProcess(child.process.get(), kKilledExitCode);
        WaitForSingleObject(child.process.get(), INFINITE);
        ADD_FAILURE() << "quillon did not end within " << limit.count() << " s";
    }
    DWORD code = 0;
    GetExitCodeProcess(child.process.get(), &code);
    run.exitCode = static_cast<int>(code);
    // A console program's text output ends its lines with CR LF here.
    run.out = withoutCarriageReturns(readBytes(child.outFile));
    run.err = withoutCarriageReturns(readBytes(child.errFile));
    std::filesystem::remove(child.outFile);
    std::filesystem::remove(child.errFile);
    return run;
}

#else
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
                   const std::string &tag = "", std::uintmax_t fileSizeLimit = 0) {
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
        lowered.rlim_cur = static_cast<rlim_t>(fileSizeLimit);
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

// Ctrl-C, as the operator ends a run.
inline void interrupt(const Child &child) {
    kill(child.pid, SIGINT);
}

// Ends the child at once, as a crash or a power cut would.
inline void killAtOnce(const Child &child) {
    kill(child.pid, SIGKILL);
}
inline constexpr int kKilledExitCode = 128 + SIGKILL;
inline constexpr bool kCanLimitFileSize = true;

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

#endif

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
