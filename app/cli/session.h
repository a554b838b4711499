// What a step works with: the one DataControl of the run, the prompter and
// the two output streams.
#ifndef QUILLON_APP_CLI_SESSION_H
#define QUILLON_APP_CLI_SESSION_H

#include "cli/cli_prompter.h"
#include "cli/command_line.h"
#include "datacontrol/data_control.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace quillon::cli {

class Session {
public:
    Session(DataControl &control, CommandLinePrompter &prompts, std::ostream &output,
            std::ostream &errors, bool quietNotes)
        : dc(control), prompter(prompts), out(output), err(errors), quiet(quietNotes) {}

    // A progress note on standard error, unless --quiet.
    void note(const std::string &text) const {
        if (!quiet) {
            err << "quillon: " << text << '\n';
        }
    }
    // A warning is shown even with --quiet.
    void warn(const StepCall &call, const std::string &text) const {
        err << "quillon: " << call.label() << ": warning: " << text << '\n';
    }
    // Reports why a step failed; returns false for the handler to pass on.
    bool fail(const StepCall &call, const std::string &why) const {
        err << "quillon: " << call.label() << " failed: " << why << '\n';
        return false;
    }

    // A relative FILE of a step, taken from the folder quillon was started in.
    std::filesystem::path fileArgument(const std::string &text) const {
        const std::filesystem::path path(text);
        return path.is_relative() && !startFolder.empty() ? startFolder / path : path;
    }

    DataControl &dc;
    CommandLinePrompter &prompter;
    std::ostream &out;
    std::ostream &err;
    bool quiet;
    std::filesystem::path startFolder;
};

} // namespace quillon::cli

#endif
