#include "cli/cli_prompter.h"

namespace quillon::cli {

CommandLinePrompter::CommandLinePrompter(std::ostream &errors, Answer given, bool ignoreNoUnit,
                                         bool quietNotes)
    : err(errors), answer(given), ignore(ignoreNoUnit), quiet(quietNotes) {}

void CommandLinePrompter::note(const std::string &text) {
    if (!quiet) {
        err << "quillon: " << text << '\n';
    }
}

void CommandLinePrompter::message(const std::string &text) {
    err << text << '\n';
}

bool CommandLinePrompter::askYesNo(const std::string &text) {
    err << text << '\n';
    switch (answer) {
    case Answer::Yes:
        note("answered Yes (--yes)");
        return true;
    case Answer::No:
        note("answered No (--no)");
        return false;
    case Answer::Ask:
        break;
    }
    if (unanswered.empty()) {
        unanswered = text;
    }
    return false;
}

AbortRetryIgnore CommandLinePrompter::askAbortRetryIgnore(const std::string &text) {
    err << text << '\n';
    if (ignore) {
        note("answered Ignore (--ignore): no-device mode");
        return AbortRetryIgnore::Ignore;
    }
    noUnitRefused = true;
    return AbortRetryIgnore::Abort;
}

std::optional<int> CommandLinePrompter::chooseSensor(const std::string &title,
                                                     const std::vector<std::string> &entries) {
    err << title << ":\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        err << "  " << (i + 1) << ". " << entries[i] << '\n';
    }
    if (answer == Answer::Yes && !entries.empty()) {
        note("chose '" + entries.front() + "' (--yes)");
        return 0;
    }
    if (unanswered.empty()) {
        unanswered = title;
    }
    return std::nullopt;
}

} // namespace quillon::cli
