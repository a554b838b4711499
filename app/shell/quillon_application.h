// The application: command line, single instance, the start-up of the main
// frame, and SIGTERM/SIGINT handled like a click on the window's close box.
#ifndef QUILLON_APP_SHELL_QUILLON_APPLICATION_H
#define QUILLON_APP_SHELL_QUILLON_APPLICATION_H

#include <QString>
#include <QStringList>

#include <optional>

namespace quillon {

struct ProgramOptions {
    bool simulate = false;
    QString bench; // empty: the default bench
};

// "--simulate" and "--simulate=BENCH"; other arguments are left to Qt.
ProgramOptions parseProgramOptions(const QStringList &arguments);
class Prompter;

// Sets the device library's backend before it is first used; a bench file
// that cannot be used is shown through `prompter`.
void applyProgramOptions(const ProgramOptions &options, Prompter &prompter);

// The whole program; returns the exit code.
int runQuillon(int argc, char **argv);

} // namespace quillon

#endif
