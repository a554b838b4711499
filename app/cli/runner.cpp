#include "cli/runner.h"

#include "cli/cli_prompter.h"
#include "cli/session.h"
#include "cli/steps.h"
#include "datacontrol/data_control.h"
#include "datacontrol/simulated_units.h"
#include "platform/files.h"
#include "platform/program_folder_lock.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillon::cli {

namespace {

namespace fs = std::filesystem;

// The window program repeats a start-up that answers "try again" without
// end; a script must not hang on a port that keeps failing.
constexpr int kStartAttempts = 3;

int usageError(std::ostream &err, const std::string &problem, std::span<const StepSpec> steps) {
    err << "quillon: " << problem << '\n' << usageText(steps);
    return kExitUsage;
}

// The simulated units are chosen before any other library call. Relative
// bench paths are taken from the folder quillon was started in, before
// --workdir moves. A bench file with an error ends the run here, so that it
// is not reported as "no unit found".
std::string prepareEnvironment(const GlobalOptions &global, bool &badBench) {
    badBench = false;
    if (global.simulate) {
        const SimulateProblem problem = UseSimulatedUnits(global.bench);
        if (problem.kind != SimulateProblem::Kind::None) {
            badBench = problem.kind == SimulateProblem::Kind::BadBench;
            return problem.text;
        }
    }
    if (global.workdir) {
        std::error_code ec;
        fs::current_path(*global.workdir, ec);
        if (ec) {
            return "--workdir: cannot enter '" + *global.workdir + "': " + ec.message();
        }
    }
    return {};
}

int needsAnswer(std::ostream &err) {
    err << "quillon: the question above needs an answer; run again with --yes or --no\n";
    return kExitNeedsAnswer;
}

// StartUp as the main frame runs it, then FinishStartUp. kExitOk when the
// channels are ready.
int startChannels(DataControl &dc, const CommandLinePrompter &prompter, std::ostream &err) {
    using Stage = DataControl::StartStage;
    const auto start =
        dc.StartChannels(kStartAttempts, [&prompter] { return prompter.needsAnswer(); });
    if (prompter.needsAnswer()) {
        return needsAnswer(err);
    }
    if (start.result == OpResult::Done) {
        return kExitOk;
    }
    if (prompter.refusedNoUnit()) {
        err << "quillon: no unit found (--ignore goes on in the no-device mode)\n";
        return kExitNoUnit;
    }
    if (start.stage == Stage::Configuration) {
        err << "quillon: the current channel could not be configured\n";
    } else if (start.result == OpResult::NotDone) {
        err << "quillon: start-up did not succeed in " << kStartAttempts << " attempts\n";
    } else {
        err << "quillon: start-up ended\n";
    }
    return kExitStepFailed;
}

int runSteps(const Invocation &invocation, const fs::path &startFolder, std::ostream &out,
             std::ostream &err) {
    const GlobalOptions &global = invocation.global;
    CommandLinePrompter prompter(err, global.answer, global.ignore, global.quiet);
    DataControl dc(prompter);
    const int started = startChannels(dc, prompter, err);
    if (started != kExitOk) {
        return started; // the settings file stays as it was
    }
    Session session(dc, prompter, out, err, global.quiet);
    session.startFolder = startFolder;
    session.note(dc.State().NoDeviceMode()
                     ? std::string("no-device mode")
                     : std::to_string(dc.State().channelCount) + " unit(s); channel 0 is current");
    for (const StepCall &call : invocation.steps) {
        const bool ok = call.spec->handler(session, call);
        out.flush();
        if (prompter.needsAnswer()) {
            dc.KeepSettingsFile();
            return needsAnswer(err);
        }
        if (!ok) {
            // A failed run leaves the settings file as it found it.
            dc.KeepSettingsFile();
            return kExitStepFailed;
        }
    }
    if (!dc.CloseDown()) {
        err << "quillon: the settings were not saved\n";
        return kExitStepFailed;
    }
    return kExitOk;
}

// The whole run holds the program folder, so that no other run (command
// line or window) rewrites its settings or unit files meanwhile.
int runLocked(const Invocation &invocation, const fs::path &startFolder, std::ostream &out,
              std::ostream &err, std::chrono::milliseconds folderLockWait) {
    const auto folder = platform::currentFolder();
    if (!folder) {
        err << "quillon: cannot determine the program folder\n";
        return kExitFolderBusy;
    }
    const platform::ProgramFolderLock lock(*folder, folderLockWait);
    if (lock.state() == platform::ProgramFolderLock::State::Busy) {
        err << "quillon: " << lock.error() << "; gave up after "
            << std::chrono::duration<double>(folderLockWait).count() << " s\n";
        return kExitFolderBusy;
    }
    if (!lock.held()) {
        err << "quillon: " << lock.error() << '\n';
        return kExitFolderBusy;
    }
    return runSteps(invocation, startFolder, out, err);
}

} // namespace

int runQuillon(std::span<const std::string> args, std::ostream &out, std::ostream &err,
               std::chrono::milliseconds folderLockWait) {
    return runQuillon(args, stepTable(), out, err, folderLockWait);
}

int runQuillon(std::span<const std::string> args, std::span<const StepSpec> steps,
               std::ostream &out, std::ostream &err, std::chrono::milliseconds folderLockWait) {
    const ParseResult parsed = parseCommandLine(args, steps);
    if (!parsed.invocation) {
        return usageError(err, parsed.error, steps);
    }
    const Invocation &invocation = *parsed.invocation;
    if (invocation.help == HelpRequest::General) {
        out << helpText(steps);
        return kExitOk;
    }
    if (invocation.help == HelpRequest::Step) {
        out << stepHelpText(*invocation.helpStep);
        return kExitOk;
    }
    // Relative files of the steps, like a relative bench, are taken from
    // where quillon was started, not from --workdir.
    std::error_code ec;
    const fs::path startFolder = fs::current_path(ec);
    bool badBench = false;
    if (const std::string problem = prepareEnvironment(invocation.global, badBench);
        !problem.empty()) {
        if (badBench) {
            err << "quillon: --simulate: the bench file has an error: " << problem << '\n';
            return kExitUsage;
        }
        return usageError(err, problem, steps);
    }
    return runLocked(invocation, startFolder, out, err, folderLockWait);
}

} // namespace quillon::cli
