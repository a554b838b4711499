// The command line of quillon: global options, then steps run left to
// right. The parser knows nothing about the steps beyond their table entry
// (name, arguments, options, help), so a new step is one more entry.
#ifndef QUILLON_APP_CLI_COMMAND_LINE_H
#define QUILLON_APP_CLI_COMMAND_LINE_H

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitStepFailed = 1,
    kExitUsage = 2,
    kExitNeedsAnswer = 3,
    kExitNoUnit = 4,
    kExitFolderBusy = 5,
};

enum class Answer { Ask, Yes, No };

struct GlobalOptions {
    bool simulate = false;
    std::string bench; // empty: the built-in bench
    std::optional<std::string> workdir;
    Answer answer = Answer::Ask;
    bool ignore = false;
    bool quiet = false;
};

// Checks one argument or option value: empty when it is good, otherwise
// what is wrong with it.
using ValueCheck = std::string (*)(std::string_view value);

enum class Arity { One, Optional, OneOrMore };

struct ArgSpec {
    const char *name; // as shown in the synopsis, e.g. "N" or "KEY=VALUE"
    Arity arity;
    ValueCheck check; // may be null
};

struct OptionSpec {
    const char *name;      // "--format"
    const char *valueName; // null for a flag
    ValueCheck check;      // may be null
    const char *help;
};

class Session;
struct StepCall;
// Runs one step; false when it failed (the handler has said why).
using StepHandler = bool (*)(Session &session, const StepCall &call);

struct StepSpec {
    const char *name;
    const char *summary; // one line for the overview
    const char *details; // the step's own help
    std::vector<ArgSpec> args;
    std::vector<OptionSpec> options;
    StepHandler handler;
    // Added to a usage error about this step's arguments, and to an unknown
    // step right after it (a slip this step invites).
    const char *hint = nullptr;
};

struct StepCall {
    const StepSpec *spec = nullptr;
    int position = 0; // 1-based place on the command line
    std::vector<std::string> args;
    std::map<std::string, std::string, std::less<>> options; // a flag maps to ""

    bool has(std::string_view option) const { return options.find(option) != options.end(); }
    std::string option(std::string_view name, std::string_view fallback) const;
    // "step 3 (scan)"
    std::string label() const;
};

enum class HelpRequest { None, General, Step };

struct Invocation {
    GlobalOptions global;
    std::vector<StepCall> steps;
    HelpRequest help = HelpRequest::None;
    const StepSpec *helpStep = nullptr;
};

struct ParseResult {
    std::optional<Invocation> invocation;
    std::string error; // set when invocation is empty
};

// `args` without the program name.
ParseResult parseCommandLine(std::span<const std::string> args, std::span<const StepSpec> table);

const StepSpec *findStep(std::span<const StepSpec> table, std::string_view name);

// Synopsis of one step: "scan [N] [--each] [--format FORMAT]".
std::string stepSynopsis(const StepSpec &spec);
// The short text printed with a usage error.
std::string usageText(std::span<const StepSpec> table);
// `quillon --help`: everything.
std::string helpText(std::span<const StepSpec> table);
// `quillon STEP --help`.
std::string stepHelpText(const StepSpec &spec);

} // namespace quillon::cli

#endif
