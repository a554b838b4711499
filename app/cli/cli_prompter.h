// The Prompter of the command line: every box text goes to standard error
// as it stands; questions take the answer given on the command line. A
// question with no answer given is noted (answered No, the cautious choice)
// so that the run can end with exit code 3 at the next check.
#ifndef QUILLON_APP_CLI_CLI_PROMPTER_H
#define QUILLON_APP_CLI_CLI_PROMPTER_H

#include "cli/command_line.h"
#include "platform/prompter.h"

#include <ostream>
#include <string>

namespace quillon::cli {

class CommandLinePrompter final : public Prompter {
public:
    CommandLinePrompter(std::ostream &errors, Answer answer, bool ignoreNoUnit, bool quiet);

    void message(const std::string &text) override;
    bool askYesNo(const std::string &text) override;
    AbortRetryIgnore askAbortRetryIgnore(const std::string &text) override;
    std::optional<int> chooseSensor(const std::string &title,
                                    const std::vector<std::string> &entries) override;

    // A question was asked that the command line did not answer.
    bool needsAnswer() const { return !unanswered.empty(); }
    const std::string &unansweredQuestion() const { return unanswered; }
    // The no-unit box was answered Abort (no --ignore).
    bool refusedNoUnit() const { return noUnitRefused; }

private:
    void note(const std::string &text);

    std::ostream &err;
    Answer answer;
    bool ignore;
    bool quiet;
    std::string unanswered;
    bool noUnitRefused = false;
};

} // namespace quillon::cli

#endif
