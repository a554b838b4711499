#include "policy_prompter.h"

#include <algorithm>
#include <utility>

namespace quillon::python {

namespace {

// A long session keeps the newest texts only.
constexpr std::size_t kTextsKept = 200;

} // namespace

PolicyPrompter::PolicyPrompter(Policy givenPolicy, bool ignoreNoUnit, Ask askFunction)
    : policy(givenPolicy), ignore(ignoreNoUnit), ask(std::move(askFunction)) {}

void PolicyPrompter::tell(const std::string &text) {
    if (texts.size() == kTextsKept) {
        texts.erase(texts.begin());
    }
    texts.push_back(text);
    ++count;
}

std::vector<std::string> PolicyPrompter::toldSince(std::size_t mark) const {
    const std::size_t wanted = std::min(count - std::min(mark, count), texts.size());
    return {texts.end() - static_cast<std::ptrdiff_t>(wanted), texts.end()};
}

std::optional<int> PolicyPrompter::answer(const std::string &text,
                                          const std::vector<std::string> &choices) {
    tell(text);
    std::optional<int> chosen = ask ? ask(text, choices) : std::nullopt;
    if (chosen && (*chosen < 0 || *chosen >= static_cast<int>(choices.size()))) {
        chosen.reset();
    }
    if (!chosen && unanswered.empty()) {
        unanswered = text;
    }
    return chosen;
}

void PolicyPrompter::message(const std::string &text) {
    tell(text);
}

bool PolicyPrompter::askYesNo(const std::string &text) {
    if (!ask && policy != Policy::Ask) {
        tell(text);
        return policy == Policy::Yes;
    }
    return answer(text, {"Yes", "No"}).value_or(1) == 0;
}

AbortRetryIgnore PolicyPrompter::askAbortRetryIgnore(const std::string &text) {
    if (!ask) {
        tell(text);
        if (ignore) {
            return AbortRetryIgnore::Ignore;
        }
        noUnitRefused = true;
        return AbortRetryIgnore::Abort;
    }
    const auto chosen = answer(text, {"Abort", "Retry", "Ignore"});
    if (!chosen || *chosen == 0) {
        noUnitRefused = true;
        return AbortRetryIgnore::Abort;
    }
    return *chosen == 1 ? AbortRetryIgnore::Retry : AbortRetryIgnore::Ignore;
}

std::optional<int> PolicyPrompter::chooseSensor(const std::string &title,
                                                const std::vector<std::string> &entries) {
    if (!ask && policy == Policy::Yes && !entries.empty()) {
        tell(title);
        return 0;
    }
    return answer(title, entries);
}

} // namespace quillon::python
