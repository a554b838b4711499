// The core's questions as message boxes. A question asked on the acquisition
// worker is carried to the interface thread and the worker waits for the
// answer; once the program is closing every question gets its default
// answer at once, so that stopping the worker can never deadlock.
#ifndef QUILLON_APP_SHELL_QT_PROMPTER_H
#define QUILLON_APP_SHELL_QT_PROMPTER_H

#include "platform/prompter.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>

namespace quillon {

class QtPrompter : public QObject, public Prompter {
    Q_OBJECT

public:
    explicit QtPrompter(QObject *parent = nullptr);

    void setParentWindow(QWidget *window) { parentWindow_ = window; }
    // From now on no box is shown: messages are dropped, questions answered
    // No / Abort / nothing.
    void beginClosing() { closing_ = true; }
    // Boxes again, once no other thread can be waiting for an answer.
    void endClosing() { closing_ = false; }
    bool closing() const { return closing_.load(); }

    void message(const std::string &text) override;
    bool askYesNo(const std::string &text) override;
    AbortRetryIgnore askAbortRetryIgnore(const std::string &text) override;
    std::optional<int> chooseSensor(const std::string &title,
                                    const std::vector<std::string> &entries) override;

private:
    template <typename Answer>
    Answer onInterfaceThread(std::function<Answer()> ask, Answer fallback);

    QPointer<QWidget> parentWindow_;
    std::atomic<bool> closing_{false};
};

} // namespace quillon

#endif
