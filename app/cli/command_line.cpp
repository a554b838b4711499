#include "cli/command_line.h"

#include <algorithm>
#include <sstream>

namespace quillon::cli {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool isOptionLike(std::string_view token) {
    return startsWith(token, "--");
}

const char *const kGlobalOptionsHelp =
    "Global options (before the first step):\n"
    "  --simulate[=BENCH]  use simulated units: the built-in bench, or the bench file BENCH\n"
    "  --workdir DIR       program folder (settings, Ini, Data); default the current folder\n"
    "  --yes, --no         answer every Yes/No question; without either a question that\n"
    "                      needs an answer ends the run with exit code 3\n"
    "  --ignore            no unit found: go on in the no-device mode (else exit code 4)\n"
    "  --quiet             no progress notes on standard error (messages and errors stay)\n"
    "  --help              this text; STEP --help describes one step\n";

const char *const kExitCodesHelp =
    "Exit codes: 0 success; 1 a step failed; 2 usage error; "
    "3 a question needed an answer; 4 no unit;\n"
    "5 the program folder could not be locked (another run holds it).\n";

std::string hintOf(const StepSpec &spec) {
    return spec.hint != nullptr ? std::string(" (") + spec.hint + ")" : std::string();
}

class Parser {
public:
    Parser(std::span<const std::string> arguments, std::span<const StepSpec> steps)
        : args(arguments), table(steps) {}

    ParseResult run() {
        Invocation invocation;
        if (!parseGlobals(invocation)) {
            return failure();
        }
        if (invocation.help == HelpRequest::None && next >= args.size()) {
            error = "no step given";
            return failure();
        }
        while (invocation.help == HelpRequest::None && next < args.size()) {
            if (!parseStep(invocation)) {
                return failure();
            }
        }
        return ParseResult{std::move(invocation), {}};
    }

private:
    ParseResult failure() { return ParseResult{std::nullopt, error}; }

    bool parseGlobals(Invocation &invocation) {
        GlobalOptions &global = invocation.global;
        bool answered = false;
        while (next < args.size() && isOptionLike(args[next])) {
            const std::string &token = args[next++];
            if (token == "--help") {
                invocation.help = HelpRequest::General;
                return true;
            }
            if (token == "--simulate") {
                global.simulate = true;
            } else if (startsWith(token, "--simulate=")) {
                global.simulate = true;
                global.bench = token.substr(11);
                if (global.bench.empty()) {
                    error = "--simulate= needs a bench file name";
                    return false;
                }
            } else if (token == "--workdir" || startsWith(token, "--workdir=")) {
                const auto dir = valueOf(token, "--workdir");
                if (!dir || dir->empty()) {
                    error = "--workdir needs a folder";
                    return false;
                }
                global.workdir = *dir;
            } else if (token == "--yes" || token == "--no") {
                const Answer answer = token == "--yes" ? Answer::Yes : Answer::No;
                if (answered && global.answer != answer) {
                    error = "--yes and --no exclude each other";
                    return false;
                }
                answered = true;
                global.answer = answer;
            } else if (token == "--ignore") {
                global.ignore = true;
            } else if (token == "--quiet") {
                global.quiet = true;
            } else {
                error = "unknown option '" + token + "'";
                return false;
            }
        }
        return true;
    }

    // The value of "--name=value" or of "--name value".
    std::optional<std::string> valueOf(const std::string &token, std::string_view name) {
        if (token.size() > name.size() && token[name.size()] == '=') {
            return token.substr(name.size() + 1);
        }
        if (next >= args.size()) {
            return std::nullopt;
        }
        return args[next++];
    }

    bool isStepName(std::string_view token) const { return findStep(table, token) != nullptr; }

    bool parseStep(Invocation &invocation) {
        const std::string &name = args[next++];
        const StepSpec *spec = findStep(table, name);
        if (spec == nullptr) {
            error = "unknown step '" + name + "'";
            if (!invocation.steps.empty()) {
                error += hintOf(*invocation.steps.back().spec);
            }
            return false;
        }
        StepCall call;
        call.spec = spec;
        call.position = static_cast<int>(invocation.steps.size()) + 1;
        std::size_t argIndex = 0;
        std::size_t filled = 0; // values taken by spec->args[argIndex]
        while (next < args.size() && !isStepName(args[next])) {
            const std::string &token = args[next];
            if (token == "--help") {
                invocation.help = HelpRequest::Step;
                invocation.helpStep = spec;
                return true;
            }
            if (isOptionLike(token)) {
                ++next;
                if (!parseStepOption(*spec, token, call)) {
                    return false;
                }
                continue;
            }
            if (argIndex < spec->args.size() && filled > 0 &&
                spec->args[argIndex].arity != Arity::OneOrMore) {
                ++argIndex;
                filled = 0;
            }
            if (argIndex >= spec->args.size()) {
                error = std::string(spec->name) + ": unexpected argument '" + token +
                        "' (usage: " + stepSynopsis(*spec) + ")" + hintOf(*spec);
                return false;
            }
            const ArgSpec &arg = spec->args[argIndex];
            if (!checkValue(*spec, arg.name, arg.check, token)) {
                return false;
            }
            call.args.push_back(token);
            ++filled;
            ++next;
        }
        if (!requiredArgumentsPresent(*spec, argIndex, filled)) {
            return false;
        }
        invocation.steps.push_back(std::move(call));
        return true;
    }

    bool requiredArgumentsPresent(const StepSpec &spec, std::size_t argIndex, std::size_t filled) {
        for (std::size_t i = argIndex; i < spec.args.size(); ++i) {
            const bool satisfied = i == argIndex && filled > 0;
            if (!satisfied && spec.args[i].arity != Arity::Optional) {
                error = std::string(spec.name) + ": missing " + spec.args[i].name +
                        " (usage: " + stepSynopsis(spec) + ")" + hintOf(spec);
                return false;
            }
        }
        return true;
    }

    bool parseStepOption(const StepSpec &spec, const std::string &token, StepCall &call) {
        const std::string name = token.substr(0, token.find('='));
        const auto option = std::find_if(spec.options.begin(), spec.options.end(),
                                         [&](const OptionSpec &o) { return name == o.name; });
        if (option == spec.options.end()) {
            error = std::string(spec.name) + ": unknown option '" + name + "'";
            if (name == "--yes" || name == "--no" || name == "--ignore" || name == "--quiet" ||
                name == "--simulate" || name == "--workdir") {
                error += " (global options go before the first step)";
            }
            return false;
        }
        std::string value;
        if (option->valueName != nullptr) {
            const auto given = valueOf(token, name);
            if (!given) {
                error = std::string(spec.name) + ": " + name + " needs " + option->valueName;
                return false;
            }
            value = *given;
            if (!checkValue(spec, name.c_str(), option->check, value)) {
                return false;
            }
        } else if (token != name) {
            error = std::string(spec.name) + ": " + name + " takes no value";
            return false;
        }
        call.options[name] = value;
        return true;
    }

    bool checkValue(const StepSpec &spec, const char *what, ValueCheck check,
                    const std::string &value) {
        if (check == nullptr) {
            return true;
        }
        const std::string problem = check(value);
        if (problem.empty()) {
            return true;
        }
        error = std::string(spec.name) + ": " + what + ": " + problem;
        return false;
    }

    std::span<const std::string> args;
    std::span<const StepSpec> table;
    std::size_t next = 0;
    std::string error;
};

} // namespace

std::string StepCall::option(std::string_view name, std::string_view fallback) const {
    const auto found = options.find(name);
    return found == options.end() ? std::string(fallback) : found->second;
}

std::string StepCall::label() const {
    return "step " + std::to_string(position) + " (" + (spec ? spec->name : "?") + ")";
}

ParseResult parseCommandLine(std::span<const std::string> args, std::span<const StepSpec> table) {
    return Parser(args, table).run();
}

const StepSpec *findStep(std::span<const StepSpec> table, std::string_view name) {
    const auto found =
        std::find_if(table.begin(), table.end(), [&](const StepSpec &s) { return name == s.name; });
    return found == table.end() ? nullptr : &*found;
}

std::string stepSynopsis(const StepSpec &spec) {
    std::string text = spec.name;
    for (const ArgSpec &arg : spec.args) {
        switch (arg.arity) {
        case Arity::One:
            text += std::string(" ") + arg.name;
            break;
        case Arity::Optional:
            text += std::string(" [") + arg.name + "]";
            break;
        case Arity::OneOrMore:
            text += std::string(" ") + arg.name + " [" + arg.name + " ...]";
            break;
        }
    }
    for (const OptionSpec &option : spec.options) {
        text += std::string(" [") + option.name;
        if (option.valueName != nullptr) {
            text += std::string(" ") + option.valueName;
        }
        text += "]";
    }
    return text;
}

std::string usageText(std::span<const StepSpec> table) {
    std::ostringstream text;
    text << "usage: quillon [--simulate[=BENCH]] [--workdir DIR] [--yes|--no] [--ignore] "
            "[--quiet] STEP [STEP ...]\n"
         << "steps:";
    for (const StepSpec &spec : table) {
        text << ' ' << spec.name;
    }
    text << "\n'quillon --help' describes everything, 'quillon STEP --help' one step.\n";
    return text.str();
}

std::string helpText(std::span<const StepSpec> table) {
    std::ostringstream text;
    text << "quillon: measure with the spectrometers from a shell, a script or a test stand.\n\n"
         << "usage: quillon [GLOBAL OPTIONS] STEP [STEP ...]\n\n"
         << "The steps run left to right in one process, on the program folder, settings and\n"
         << "unit files of QuillonForUSB: the channels start as the program starts them, and the\n"
         << "settings are written back at the end of a run in which every step succeeded.\n\n"
         << kGlobalOptionsHelp << "\nSteps:\n";
    std::size_t width = 0;
    for (const StepSpec &spec : table) {
        width = std::max(width, stepSynopsis(spec).size());
    }
    for (const StepSpec &spec : table) {
        const std::string synopsis = stepSynopsis(spec);
        text << "  " << synopsis << std::string(width - synopsis.size() + 2, ' ') << spec.summary
             << '\n';
    }
    text << "\n" << kExitCodesHelp;
    return text.str();
}

std::string stepHelpText(const StepSpec &spec) {
    std::ostringstream text;
    text << "usage: quillon [GLOBAL OPTIONS] " << stepSynopsis(spec) << "\n\n"
         << spec.summary << "\n\n"
         << spec.details;
    if (!spec.options.empty()) {
        text << "\nOptions:\n";
        for (const OptionSpec &option : spec.options) {
            std::string name = option.name;
            if (option.valueName != nullptr) {
                name += std::string(" ") + option.valueName;
            }
            text << "  " << name << "  " << option.help << '\n';
        }
    }
    return text.str();
}

} // namespace quillon::cli
