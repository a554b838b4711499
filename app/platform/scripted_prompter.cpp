#include "platform/scripted_prompter.h"

namespace quillon {

const char *toString(PromptKind kind) {
    switch (kind) {
    case PromptKind::Message:
        return "message";
    case PromptKind::YesNo:
        return "Yes/No question";
    case PromptKind::AbortRetryIgnore:
        return "Abort/Retry/Ignore question";
    case PromptKind::SensorChoice:
        return "sensor choice";
    }
    return "?";
}

void ScriptedPrompter::queueYesNo(bool yes) {
    std::lock_guard guard(lock);
    answers.emplace_back(yes);
}

void ScriptedPrompter::queueAbortRetryIgnore(AbortRetryIgnore answer) {
    std::lock_guard guard(lock);
    answers.emplace_back(answer);
}

void ScriptedPrompter::queueSensorChoice(std::optional<int> index) {
    std::lock_guard guard(lock);
    answers.emplace_back(index);
}

template <typename T>
std::optional<T> ScriptedPrompter::takeAnswer(PromptKind kind, const std::string &text) {
    if (!answers.empty() && std::holds_alternative<T>(answers.front())) {
        T answer = std::get<T>(answers.front());
        answers.pop_front();
        return answer;
    }
    unexpected.push_back(std::string("unexpected ") + toString(kind) + ": \"" + text + "\"");
    return std::nullopt;
}

void ScriptedPrompter::message(const std::string &text) {
    std::lock_guard guard(lock);
    records.push_back({PromptKind::Message, text, {}});
}

bool ScriptedPrompter::askYesNo(const std::string &text) {
    std::lock_guard guard(lock);
    records.push_back({PromptKind::YesNo, text, {}});
    return takeAnswer<bool>(PromptKind::YesNo, text).value_or(false);
}

AbortRetryIgnore ScriptedPrompter::askAbortRetryIgnore(const std::string &text) {
    std::lock_guard guard(lock);
    records.push_back({PromptKind::AbortRetryIgnore, text, {}});
    return takeAnswer<AbortRetryIgnore>(PromptKind::AbortRetryIgnore, text)
        .value_or(AbortRetryIgnore::Abort);
}

std::optional<int> ScriptedPrompter::chooseSensor(const std::string &title,
                                                  const std::vector<std::string> &entries) {
    std::lock_guard guard(lock);
    records.push_back({PromptKind::SensorChoice, title, entries});
    return takeAnswer<std::optional<int>>(PromptKind::SensorChoice, title).value_or(std::nullopt);
}

std::vector<std::string> ScriptedPrompter::textsOf(PromptKind kind) const {
    std::lock_guard guard(lock);
    std::vector<std::string> texts;
    for (const auto &record : records) {
        if (record.kind == kind) {
            texts.push_back(record.text);
        }
    }
    return texts;
}

std::vector<std::string> ScriptedPrompter::problems() const {
    std::lock_guard guard(lock);
    std::vector<std::string> all = unexpected;
    if (!answers.empty()) {
        all.push_back(std::to_string(answers.size()) + " queued answer(s) never asked for");
    }
    return all;
}

std::vector<PromptRecord> ScriptedPrompter::shown() const {
    std::lock_guard guard(lock);
    return records;
}

void ScriptedPrompter::clearShown() {
    std::lock_guard guard(lock);
    records.clear();
}

std::size_t ScriptedPrompter::pendingAnswers() const {
    std::lock_guard guard(lock);
    return answers.size();
}

} // namespace quillon
