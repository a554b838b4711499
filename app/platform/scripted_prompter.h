// A Prompter for tests: records every box shown and answers from a queue.
// A question with no matching answer queued is recorded as a problem (and
// answered with the most cautious choice), so a test sees it in problems().
// The acquisition worker may ask while a test reads: every call is locked.
#ifndef QUILLON_APP_PLATFORM_SCRIPTED_PROMPTER_H
#define QUILLON_APP_PLATFORM_SCRIPTED_PROMPTER_H

#include "platform/prompter.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillon {

enum class PromptKind { Message, YesNo, AbortRetryIgnore, SensorChoice };

const char *toString(PromptKind kind);

struct PromptRecord {
    PromptKind kind;
    std::string text;                 // message text, or the dialog title
    std::vector<std::string> entries; // sensor choice only
};

class ScriptedPrompter final : public Prompter {
public:
    void queueYesNo(bool yes);
    void queueAbortRetryIgnore(AbortRetryIgnore answer);
    // nullopt: the dialog is closed without OK.
    void queueSensorChoice(std::optional<int> index);

    void message(const std::string &text) override;
    bool askYesNo(const std::string &text) override;
    AbortRetryIgnore askAbortRetryIgnore(const std::string &text) override;
    std::optional<int> chooseSensor(const std::string &title,
                                    const std::vector<std::string> &entries) override;

    std::vector<PromptRecord> shown() const;
    // Texts of the boxes of one kind, in order.
    std::vector<std::string> textsOf(PromptKind kind) const;
    void clearShown();

    // Questions asked without a queued answer of their kind, and answers
    // left over; empty when the script matched what happened.
    std::vector<std::string> problems() const;
    std::size_t pendingAnswers() const;

private:
    using Answer = std::variant<bool, AbortRetryIgnore, std::optional<int>>;

    template <typename T>
    std::optional<T> takeAnswer(PromptKind kind, const std::string &text);

    mutable std::mutex lock;
    std::deque<Answer> answers;
    std::vector<PromptRecord> records;
    std::vector<std::string> unexpected;
};

} // namespace quillon

#endif
