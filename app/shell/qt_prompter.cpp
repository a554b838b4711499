#include "shell/qt_prompter.h"

#include "shell/deployment.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>

namespace quillon {

namespace {

QString fromStd(const std::string &text) {
    return QString::fromStdString(text);
}

template <typename Answer>
struct PendingAnswer {
    std::mutex mutex;
    std::condition_variable ready;
    bool done = false;
    Answer answer{};
};

constexpr std::chrono::milliseconds kClosingPoll{20};

} // namespace

QtPrompter::QtPrompter(QObject *parent) : QObject(parent) {}

template <typename Answer>
Answer QtPrompter::onInterfaceThread(std::function<Answer()> ask, Answer fallback) {
    if (closing_) {
        return fallback;
    }
    if (QThread::currentThread() == thread()) {
        return ask();
    }
    auto pending = std::make_shared<PendingAnswer<Answer>>();
    pending->answer = fallback;
    QMetaObject::invokeMethod(
        this,
        [this, pending, ask] {
            Answer answer = pending->answer;
            if (!closing_) {
                answer = ask();
            }
            const std::lock_guard lock(pending->mutex);
            pending->answer = answer;
            pending->done = true;
            pending->ready.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(pending->mutex);
    while (!pending->done) {
        pending->ready.wait_for(lock, kClosingPoll);
        if (!pending->done && closing_) {
            return fallback;
        }
    }
    return pending->answer;
}

void QtPrompter::message(const std::string &text) {
    if (closing_) {
        std::cerr << text << '\n'; // no box any more, but not lost either
        return;
    }
    onInterfaceThread<int>(
        [this, text] {
            QMessageBox::warning(parentWindow_, deployment::kProgramName, fromStd(text));
            return 1;
        },
        0);
}

bool QtPrompter::askYesNo(const std::string &text) {
    return onInterfaceThread<bool>(
        [this, text] {
            return QMessageBox::question(parentWindow_, deployment::kProgramName, fromStd(text),
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        },
        false);
}

AbortRetryIgnore QtPrompter::askAbortRetryIgnore(const std::string &text) {
    return onInterfaceThread<AbortRetryIgnore>(
        [this, text] {
            const auto button = QMessageBox::warning(
                parentWindow_, deployment::kProgramName, fromStd(text),
                QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Retry);
            if (button == QMessageBox::Retry) {
                return AbortRetryIgnore::Retry;
            }
            return button == QMessageBox::Ignore ? AbortRetryIgnore::Ignore
                                                 : AbortRetryIgnore::Abort;
        },
        AbortRetryIgnore::Abort);
}

std::optional<int> QtPrompter::chooseSensor(const std::string &title,
                                            const std::vector<std::string> &entries) {
    return onInterfaceThread<std::optional<int>>(
        [this, title, entries]() -> std::optional<int> {
            QStringList items;
            for (const auto &entry : entries) {
                items << fromStd(entry);
            }
            bool ok = false;
            const QString chosen = QInputDialog::getItem(parentWindow_, fromStd(title),
                                                         fromStd(title), items, 0, false, &ok);
            if (!ok) {
                return std::nullopt;
            }
            return static_cast<int>(items.indexOf(chosen));
        },
        std::nullopt);
}

} // namespace quillon
