// The argument parser against the real step table and a small one of its
// own: global options, step arguments and options, and the usage errors.
#include "cli/command_line.h"
#include "cli/steps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quillon::cli;

namespace {

ParseResult parse(std::vector<std::string> args) {
    return parseCommandLine(args, stepTable());
}

Invocation parsed(std::vector<std::string> args) {
    const ParseResult result = parse(std::move(args));
    EXPECT_TRUE(result.invocation.has_value()) << result.error;
    return result.invocation.value_or(Invocation{});
}

std::string errorOf(std::vector<std::string> args) {
    const ParseResult result = parse(std::move(args));
    EXPECT_FALSE(result.invocation.has_value());
    return result.error;
}

TEST(CommandLine, GlobalOptionsInBothSpellings) {
    const Invocation a = parsed(
        {"--simulate=bench.ini", "--workdir", "/tmp/x", "--yes", "--ignore", "--quiet", "units"});
    EXPECT_TRUE(a.global.simulate);
    EXPECT_EQ(a.global.bench, "bench.ini");
    EXPECT_EQ(a.global.workdir.value_or(""), "/tmp/x");
    EXPECT_EQ(a.global.answer, Answer::Yes);
    EXPECT_TRUE(a.global.ignore);
    EXPECT_TRUE(a.global.quiet);

    const Invocation b = parsed({"--simulate", "--workdir=/tmp/y", "--no", "units"});
    EXPECT_TRUE(b.global.simulate);
    EXPECT_TRUE(b.global.bench.empty());
    EXPECT_EQ(b.global.workdir.value_or(""), "/tmp/y");
    EXPECT_EQ(b.global.answer, Answer::No);
    EXPECT_FALSE(b.global.ignore);
    EXPECT_EQ(parsed({"units"}).global.answer, Answer::Ask);
}

TEST(CommandLine, GlobalOptionErrors) {
    EXPECT_EQ(errorOf({"--yes", "--no", "units"}), "--yes and --no exclude each other");
    EXPECT_EQ(errorOf({"--simulate=", "units"}), "--simulate= needs a bench file name");
    EXPECT_EQ(errorOf({"--workdir"}), "--workdir needs a folder");
    EXPECT_EQ(errorOf({"--verbose", "units"}), "unknown option '--verbose'");
    EXPECT_EQ(errorOf({"--simulate"}), "no step given");
    EXPECT_EQ(errorOf({}), "no step given");
}

TEST(CommandLine, StepsInOrderWithTheirArguments) {
    const Invocation inv =
        parsed({"--simulate", "sim", "set 0 source dark", "dark", "set", "TimeAV=4", "mode=tr",
                "scan", "5", "--each", "--format=csv", "eeprom-read", "units"});
    ASSERT_EQ(inv.steps.size(), 6u);
    EXPECT_STREQ(inv.steps[0].spec->name, "sim");
    EXPECT_EQ(inv.steps[0].args, std::vector<std::string>{"set 0 source dark"});
    EXPECT_STREQ(inv.steps[2].spec->name, "set");
    EXPECT_EQ(inv.steps[2].args, (std::vector<std::string>{"TimeAV=4", "mode=tr"}));
    const StepCall &scan = inv.steps[3];
    EXPECT_EQ(scan.args, std::vector<std::string>{"5"});
    EXPECT_TRUE(scan.has("--each"));
    EXPECT_EQ(scan.option("--format", "tsv"), "csv");
    EXPECT_EQ(scan.label(), "step 4 (scan)");
    // An optional argument is not taken from the next step's name.
    EXPECT_TRUE(inv.steps[4].args.empty());
    EXPECT_STREQ(inv.steps[5].spec->name, "units");

    const Invocation plain = parsed({"scan", "--format", "json"});
    EXPECT_TRUE(plain.steps[0].args.empty());
    EXPECT_EQ(plain.steps[0].option("--format", "tsv"), "json");
    EXPECT_FALSE(plain.steps[0].has("--each"));
}

TEST(CommandLine, StepUsageErrorsNameTheStep) {
    EXPECT_EQ(errorOf({"units", "frobnicate"}),
              "units: unexpected argument 'frobnicate' (usage: units)");
    EXPECT_EQ(errorOf({"channel"}), "channel: missing N (usage: channel N)");
    EXPECT_EQ(errorOf({"channel", "x"}), "channel: N: a channel number from 0 to 9, not 'x'");
    EXPECT_EQ(errorOf({"scan", "0"}), "scan: N: a count from 1 to 1000000, not '0'");
    EXPECT_EQ(errorOf({"scan", "3", "4"}),
              "scan: unexpected argument '4' (usage: scan [N] [--each] [--format FORMAT])");
    EXPECT_EQ(errorOf({"scan", "--format", "xml"}), "scan: --format: tsv, csv or json, not 'xml'");
    EXPECT_EQ(errorOf({"scan", "--format"}), "scan: --format needs FORMAT");
    EXPECT_EQ(errorOf({"scan", "--each=1"}), "scan: --each takes no value");
    EXPECT_EQ(errorOf({"scan", "--yes"}),
              "scan: unknown option '--yes' (global options go before the first step)");
    EXPECT_EQ(errorOf({"set"}), "set: missing KEY=VALUE (usage: set KEY=VALUE [KEY=VALUE ...])");
    EXPECT_EQ(errorOf({"eeprom-write"}), "eeprom-write: missing FILE (usage: eeprom-write FILE)");
    EXPECT_EQ(errorOf({"frobnicate"}), "unknown step 'frobnicate'");
    // The usual slip: a simulator command without quotes.
    EXPECT_EQ(errorOf({"sim", "set", "0", "source", "dark"}),
              "sim: missing COMMAND (usage: sim COMMAND) (a simulator command with blanks "
              "needs quotes: sim \"set 0 source dark\")");
    EXPECT_EQ(errorOf({"sim", "eeprom", "0"}),
              "sim: unexpected argument '0' (usage: sim COMMAND) (a simulator command with "
              "blanks needs quotes: sim \"set 0 source dark\")");
}

TEST(CommandLine, SetValuesAreCheckedWhileParsing) {
    EXPECT_EQ(errorOf({"set", "inttime=5"}),
              "set: KEY=VALUE: unknown key 'inttime' (keys are case-sensitive; see set --help)");
    EXPECT_EQ(errorOf({"set", "TimeAV"}), "set: KEY=VALUE: expected KEY=VALUE, not 'TimeAV'");
    EXPECT_EQ(errorOf({"set", "TimeAV=2.5"}),
              "set: KEY=VALUE: TimeAV needs a whole number, not '2.5'");
    EXPECT_EQ(errorOf({"set", "TimeAV=0"}),
              "set: KEY=VALUE: TimeAV must lie from 1 to 1000, not 0");
    EXPECT_EQ(errorOf({"set", "RefMax=1,5"}), "set: KEY=VALUE: RefMax needs a number, not '1,5'");
    EXPECT_EQ(errorOf({"set", "RefMax=nan"}), "set: KEY=VALUE: RefMax needs a number, not 'nan'");
    EXPECT_EQ(errorOf({"set", "mode=colour"}),
              "set: KEY=VALUE: mode is one of scope|tr|absorbance|irradiance, not 'colour'");
    EXPECT_EQ(errorOf({"set", "irradiance=lux"}),
              "set: KEY=VALUE: irradiance is one of relative|absolute|illuminance, not 'lux'");
    EXPECT_EQ(errorOf({"set", "Title=a\tb"}),
              "set: KEY=VALUE: Title cannot hold control characters");
    EXPECT_TRUE(parse({"set", "StartWL=400.5", "Title=", "axis=wavenumber"}).invocation);
}

TEST(CommandLine, HelpRequests) {
    EXPECT_EQ(parsed({"--help"}).help, HelpRequest::General);
    EXPECT_EQ(parsed({"--quiet", "--help", "bogus"}).help, HelpRequest::General);
    const Invocation step = parsed({"units", "scan", "--help"});
    EXPECT_EQ(step.help, HelpRequest::Step);
    EXPECT_STREQ(step.helpStep->name, "scan");

    const std::string all = helpText(stepTable());
    for (const StepSpec &spec : stepTable()) {
        EXPECT_NE(all.find(stepSynopsis(spec)), std::string::npos) << spec.name;
        EXPECT_NE(stepHelpText(spec).find(spec.details), std::string::npos) << spec.name;
    }
    EXPECT_NE(all.find("--simulate[=BENCH]"), std::string::npos);
    EXPECT_NE(all.find("3 a question needed an answer"), std::string::npos);
    EXPECT_NE(stepHelpText(*step.helpStep).find("--format FORMAT  tsv (default), csv or json"),
              std::string::npos);
}

// A step added by a table entry alone is parsed like the built-in ones.
bool noHandler(Session &, const StepCall &) {
    return true;
}

std::string checkEven(std::string_view text) {
    return text.size() % 2 == 0 ? "" : "an even number of letters";
}

TEST(CommandLine, ATableEntryIsAllANewStepNeeds) {
    const std::vector<StepSpec> table{
        {"save",
         "save",
         "",
         {{"NAME", Arity::One, checkEven}, {"NOTE", Arity::Optional, nullptr}},
         {{"--overwrite", nullptr, nullptr, ""}},
         noHandler},
        {"peaks", "peaks", "", {}, {}, noHandler},
    };
    const std::vector<std::string> args{"save", "ab", "--overwrite", "note", "peaks"};
    const ParseResult result = parseCommandLine(args, table);
    ASSERT_TRUE(result.invocation) << result.error;
    ASSERT_EQ(result.invocation->steps.size(), 2u);
    EXPECT_EQ(result.invocation->steps[0].args, (std::vector<std::string>{"ab", "note"}));
    EXPECT_TRUE(result.invocation->steps[0].has("--overwrite"));
    EXPECT_EQ(stepSynopsis(table[0]), "save NAME [NOTE] [--overwrite]");

    const std::vector<std::string> odd{"save", "abc"};
    EXPECT_EQ(parseCommandLine(odd, table).error, "save: NAME: an even number of letters");
}

} // namespace
