// How the core reaches the user: modal questions with fixed buttons. The GUI
// answers them with message boxes, tests with a scripted prompter, so the core
// never depends on a windowing toolkit.
#ifndef QUILLON_APP_PLATFORM_PROMPTER_H
#define QUILLON_APP_PLATFORM_PROMPTER_H

#include <optional>
#include <string>
#include <vector>

namespace quillon {

enum class AbortRetryIgnore { Abort, Retry, Ignore };

class Prompter {
public:
    virtual ~Prompter() = default;

    // A box with one OK button.
    virtual void message(const std::string &text) = 0;
    // Yes/No; true for Yes.
    virtual bool askYesNo(const std::string &text) = 0;
    virtual AbortRetryIgnore askAbortRetryIgnore(const std::string &text) = 0;
    // A radio group of `entries`, the first preselected, with one OK button.
    // The chosen index, or nothing when the dialog was closed without OK.
    virtual std::optional<int> chooseSensor(const std::string &title,
                                            const std::vector<std::string> &entries) = 0;
};

} // namespace quillon

#endif
