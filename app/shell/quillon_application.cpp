#include "shell/quillon_application.h"

#include "platform/files.h"
#include "platform/program_folder_lock.h"
#include "datacontrol/simulated_units.h"
#include "shell/deployment.h"
#include "shell/main_frame.h"
#include "shell/qt_prompter.h"
#include "shell/single_instance.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace quillon {

namespace {

// A command-line run in the same folder usually ends within a few seconds.
constexpr std::chrono::milliseconds kFolderLockWait{3000};

// The self-pipe: the signal handler only writes a byte; the event loop reads
// it and closes the window.
int signalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

bool installSignalPipe() {
    if (pipe(signalPipe) != 0) {
        return false;
    }
    for (int fd : signalPipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
}

} // namespace

ProgramOptions parseProgramOptions(const QStringList &arguments) {
    ProgramOptions options;
    for (const QString &argument : arguments) {
        if (argument == "--simulate") {
            options.simulate = true;
        } else if (argument.startsWith("--simulate=")) {
            options.simulate = true;
            options.bench = argument.mid(static_cast<int>(QString("--simulate=").size()));
        }
    }
    return options;
}

void applyProgramOptions(const ProgramOptions &options, Prompter &prompter) {
    if (!options.simulate) {
        return;
    }
    // Before the program changes into its own folder, so a relative bench
    // path still names the file the user meant.
    const SimulateProblem problem = UseSimulatedUnits(options.bench.toLocal8Bit().toStdString());
    if (problem.kind != SimulateProblem::Kind::None) {
        prompter.message(problem.text);
    }
}

int runQuillon(int argc, char **argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quillon");
    QApplication::setOrganizationName("Orvantis");
    QApplication::setApplicationVersion(deployment::kVersion);

    const SingleInstanceLock instance;
    if (!instance.acquired()) {
        return 0; // another copy runs: leave without a word
    }
    QtPrompter prompter;
    // Held until the frame has written its settings back on close; declared
    // before the frame so that it is released after it.
    const platform::ProgramFolderLock folderLock(
        platform::currentFolder().value_or(std::filesystem::path(".")), kFolderLockWait);
    if (!folderLock.held()) {
        prompter.message("Quillon cannot start: " + folderLock.error() +
                         ". Close the other program and start again.");
        return 1;
    }
    applyProgramOptions(parseProgramOptions(QApplication::arguments()), prompter);

    std::unique_ptr<CMainFrame> frame = CMainFrame::create(prompter, &prompter);
    if (!frame) {
        return 0; // start-up showed its messages already
    }
    prompter.setParentWindow(frame.get());

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (installSignalPipe()) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, frame.get(), [&frame] {
            char buffer[16];
            while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
            }
            frame->close();
        });
    }
    // Without a window manager "maximised" means nothing: start screen-sized.
    if (const QScreen *screen = frame->screen()) {
        frame->setGeometry(screen->availableGeometry());
    }
    frame->showMaximized();
    const int code = QApplication::exec();
    frame->shutDown();
    return code;
}

} // namespace quillon
