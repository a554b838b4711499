// One run of quillon: parse, prepare the environment, start the channels as
// the program does, run the steps, close. Returns the exit code.
#ifndef QUILLON_APP_CLI_RUNNER_H
#define QUILLON_APP_CLI_RUNNER_H

#include <ostream>
#include <span>
#include <string>

namespace quillon::cli {

// `args` without the program name.
int runQuillon(std::span<const std::string> args, std::ostream &out, std::ostream &err);

} // namespace quillon::cli

#endif
