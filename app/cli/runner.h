// One run of quillon: parse, prepare the environment, start the channels as
// the program does, run the steps, close. Returns the exit code.
#ifndef QUILLON_APP_CLI_RUNNER_H
#define QUILLON_APP_CLI_RUNNER_H

#include <chrono>
#include <ostream>
#include <span>
#include <string>

namespace quillon::cli {

// How long a run waits for another run to leave the program folder.
inline constexpr std::chrono::milliseconds kFolderLockWait{10000};

// `args` without the program name.
int runQuillon(std::span<const std::string> args, std::ostream &out, std::ostream &err,
               std::chrono::milliseconds folderLockWait = kFolderLockWait);

} // namespace quillon::cli

#endif
