// One run of quillon: parse, prepare the environment, start the channels as
// the program does, run the steps, close. Returns the exit code.
#ifndef QUILLON_APP_CLI_RUNNER_H
#define QUILLON_APP_CLI_RUNNER_H

#include "cli/command_line.h"

#include <chrono>
#include <ostream>
#include <span>
#include <string>

namespace quillon::cli {

// How long a run waits for another run to leave the program folder.
inline constexpr std::chrono::milliseconds kFolderLockWait{10000};

// `args` without the program name; `steps`: the table of steps the run
// knows (the program with printing adds its step to `stepTable()`).
int runQuillon(std::span<const std::string> args, std::ostream &out, std::ostream &err,
               std::chrono::milliseconds folderLockWait = kFolderLockWait);
int runQuillon(std::span<const std::string> args, std::span<const StepSpec> steps,
               std::ostream &out, std::ostream &err,
               std::chrono::milliseconds folderLockWait = kFolderLockWait);

} // namespace quillon::cli

#endif
