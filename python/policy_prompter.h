// The Prompter of a script: no box ever blocks. A question goes to the
// script's `ask` function when it has one, else it is answered by the policy
// given at open; a question neither answers is noted, answered No (the
// cautious choice), and the operation that asked fails with it.
#ifndef QUILLON_PYTHON_POLICY_PROMPTER_H
#define QUILLON_PYTHON_POLICY_PROMPTER_H

#include "platform/prompter.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillon::python {

enum class Policy { Ask, Yes, No };

class PolicyPrompter final : public Prompter {
public:
    // The index of the chosen entry of `choices`, or none: not answered.
    using Ask = std::function<std::optional<int>(const std::string &text,
                                                 const std::vector<std::string> &choices)>;

    PolicyPrompter(Policy policy, bool ignoreNoUnit, Ask ask);

    void message(const std::string &text) override;
    bool askYesNo(const std::string &text) override;
    AbortRetryIgnore askAbortRetryIgnore(const std::string &text) override;
    std::optional<int> chooseSensor(const std::string &title,
                                    const std::vector<std::string> &entries) override;

    // The newest texts told: messages and questions, in order.
    const std::vector<std::string> &told() const { return texts; }
    // How many texts were told in all; the texts since a count.
    std::size_t toldCount() const { return count; }
    std::vector<std::string> toldSince(std::size_t mark) const;
    // The first question left unanswered since the last forget().
    const std::string &unansweredQuestion() const { return unanswered; }
    bool needsAnswer() const { return !unanswered.empty(); }
    bool refusedNoUnit() const { return noUnitRefused; }
    void forget() {
        unanswered.clear();
        noUnitRefused = false;
    }

private:
    std::optional<int> answer(const std::string &text, const std::vector<std::string> &choices);
    void tell(const std::string &text);

    Policy policy;
    bool ignore;
    Ask ask;
    std::vector<std::string> texts;
    std::size_t count = 0;
    std::string unanswered;
    bool noUnitRefused = false;
};

} // namespace quillon::python

#endif
