// A main frame on the simulated default bench in a fresh working folder.
#ifndef QUILLON_TESTS_GUI_GUI_FIXTURE_H
#define QUILLON_TESTS_GUI_GUI_FIXTURE_H

#include "datacontrol/simulated_units.h"
#include "ovdbusbm.h"
#include "platform/scripted_prompter.h"
#include "shell/main_frame.h"
#include "widgets/split_button.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "platform/environment.h"
#include <cstdlib>
#include <memory>

namespace quillon::test {

// The default bench with every unit at full speed.
inline void loadFastDefaultBench() {
    quillon::platform::setEnvironment("OV_DRIVER", "sim");
    quillon::platform::clearEnvironment("OV_SIM_BENCH");
    ovCloseAllChannels();
    runSimCommand("bench default");
    for (int slot = 0; slot < 3; ++slot) {
        runSimCommand("set " + std::to_string(slot) + " timing fast");
    }
}

// A left click on the main part or on the arrow part of a button-bar button.
inline void clickMain(SplitButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 27));
}

inline void clickArrow(SplitButton *button) {
    QTest::mouseClick(button, Qt::LeftButton, {},
                      QPoint(button->width() - SplitButton::kArrowWidth / 2, 27));
}

// Triggers a Print Preview action, closes the preview it opens as soon as it
// shows, and gives its number of pages; -1 when no preview showed.
inline int previewPageCountOf(QAction *printPreview) {
    int pages = -1;
    QTimer::singleShot(0, printPreview, [&pages] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QPrintPreviewDialog *>(top);
            if (dialog == nullptr || !dialog->isVisible()) {
                continue;
            }
            if (auto *preview = dialog->findChild<QPrintPreviewWidget *>()) {
                pages = preview->pageCount();
            }
            dialog->reject();
        }
    });
    printPreview->trigger();
    return pages;
}

class GuiSession {
public:
    GuiSession() : previous_(QDir::currentPath()) {
        QDir::setCurrent(folder_.path());
        loadFastDefaultBench();
    }
    ~GuiSession() {
        frame_.reset();
        QDir::setCurrent(previous_);
    }
    GuiSession(const GuiSession &) = delete;
    GuiSession &operator=(const GuiSession &) = delete;

    // Starts the frame at the given size and waits for the first frames.
    CMainFrame *start(QSize size = {1280, 720}) {
        frame_ = CMainFrame::create(prompter_);
        if (!frame_) {
            return nullptr;
        }
        frame_->resize(size);
        frame_->show();
        return frame_.get();
    }
    bool waitForFrames(std::uint64_t count, int timeoutMs = 10000) {
        const std::uint64_t target = frame_->scopeView().framesPresented() + count;
        return QTest::qWaitFor([&] { return frame_->scopeView().framesPresented() >= target; },
                               timeoutMs);
    }
    CMainFrame &frame() { return *frame_; }
    DataControl &control() { return frame_->dataControl(); }
    ScriptedPrompter &prompter() { return prompter_; }
    QString path(const QString &name) const { return folder_.filePath(name); }

private:
    QTemporaryDir folder_;
    QString previous_;
    ScriptedPrompter prompter_;
    std::unique_ptr<CMainFrame> frame_;
};

} // namespace quillon::test

#endif
