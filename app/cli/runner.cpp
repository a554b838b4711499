#include "cli/runner.h"

#include "cli/cli_prompter.h"
#include "cli/session.h"
#include "cli/steps.h"
#include "datacontrol/data_control.h"
#include "datacontrol/simulated_units.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quillon::cli {

namespace {

namespace fs = std::filesystem;

// The window program repeats a start-up that answers "try again" without
// end; a script must not hang on a port that keeps failing.
constexpr int kStartAttempts = 3;

int usageError(std::ostream &err, const std::string &problem) {
    err << "quillon: " << problem << '\n' << usageText(stepTable());
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
    int started = 0;
    for (int attempt = 0; attempt < kStartAttempts && started == 0; ++attempt) {
        started = dc.StartUp();
        if (prompter.needsAnswer()) {
            return needsAnswer(err);
        }
    }
    if (prompter.refusedNoUnit()) {
        err << "quillon: no unit found (--ignore goes on in the no-device mode)\n";
        return kExitNoUnit;
    }
    if (started == 0) {
        err << "quillon: start-up did not succeed in " << kStartAttempts << " attempts\n";
        return kExitStepFailed;
    }
    if (started < 0) {
        err << "quillon: start-up ended\n";
        return kExitStepFailed;
    }
    const int finished = dc.FinishStartUp();
    if (prompter.needsAnswer()) {
        return needsAnswer(err);
    }
    if (finished != 1) {
        err << "quillon: the current channel could not be configured\n";
        return kExitStepFailed;
    }
    return kExitOk;
}

int runSteps(const Invocation &invocation, std::ostream &out, std::ostream &err) {
    const GlobalOptions &global = invocation.global;
    CommandLinePrompter prompter(err, global.answer, global.ignore, global.quiet);
    DataControl dc(prompter);
    const int started = startChannels(dc, prompter, err);
    if (started != kExitOk) {
        dc.abort = true; // settings stay as they were
        return started;
    }
    Session session(dc, prompter, out, err, global.quiet);
    session.note(dc.NoDeviceMode()
                     ? std::string("no-device mode")
                     : std::to_string(dc.channelCount) + " unit(s); channel 0 is current");
    for (const StepCall &call : invocation.steps) {
        const bool ok = call.spec->handler(session, call);
        out.flush();
        if (prompter.needsAnswer()) {
            dc.abort = true;
            return needsAnswer(err);
        }
        if (!ok) {
            // A failed run leaves the settings file as it found it.
            dc.abort = true;
            return kExitStepFailed;
        }
    }
    dc.CloseDown();
    return kExitOk;
}

} // namespace

int runQuillon(std::span<const std::string> args, std::ostream &out, std::ostream &err) {
    const ParseResult parsed = parseCommandLine(args, stepTable());
    if (!parsed.invocation) {
        return usageError(err, parsed.error);
    }
    const Invocation &invocation = *parsed.invocation;
    if (invocation.help == HelpRequest::General) {
        out << helpText(stepTable());
        return kExitOk;
    }
    if (invocation.help == HelpRequest::Step) {
        out << stepHelpText(*invocation.helpStep);
        return kExitOk;
    }
    bool badBench = false;
    if (const std::string problem = prepareEnvironment(invocation.global, badBench);
        !problem.empty()) {
        if (badBench) {
            err << "quillon: --simulate: the bench file has an error: " << problem << '\n';
            return kExitUsage;
        }
        return usageError(err, problem);
    }
    return runSteps(invocation, out, err);
}

} // namespace quillon::cli
