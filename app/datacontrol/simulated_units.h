// The simulated units: choosing them at start (--simulate), and the units as
// the simulator's `list` command reports them, for the Simulator panel and
// the command line.
#ifndef QUILLON_APP_DATACONTROL_SIMULATED_UNITS_H
#define QUILLON_APP_DATACONTROL_SIMULATED_UNITS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

struct SimUnitLine {
    int slot = -1;
    std::string sensor;
    bool plugged = true;
    bool realTime = false;
    std::string source; // as the command language writes it: "halogen 2856", "hgar"
    double level = 1.0; // brightness factor of the source
    std::string sample; // "none", "nd 25", ...
    int channelId = 0;
};

// One line of the reply, or nothing when it is not a unit line.
std::optional<SimUnitLine> parseSimUnitLine(std::string_view line);
// Every unit line of a `list` reply; "no units" gives none.
std::vector<SimUnitLine> parseSimUnitList(std::string_view reply);

// The device slots of the plugged simulated units, in the order of the
// simulator's "list" reply; empty when the text lists none.
std::vector<int> pluggedSlotsFromSimList(std::string_view listReply);

// Runs one simulator command; the result code and the reply text.
struct SimReply {
    int result = -1;
    std::string text;
};
SimReply runSimCommand(const std::string &command);
// True when the device library runs simulated units.
bool simulatorPresent();

// The --simulate[=BENCH] switch, before any other call of the device
// library: simulated units on the built-in bench, or on the bench file
// `bench` (a relative path is taken from the current folder). Empty when
// the units are there; else what went wrong: "--simulate: no bench file
// 'X'" (kind NoFile), or the bench file's FILE:LINE error (kind BadBench).
struct SimulateProblem {
    enum class Kind { None, NoFile, BadBench };
    Kind kind = Kind::None;
    std::string text;
};
SimulateProblem UseSimulatedUnits(const std::string &bench);

} // namespace quillon

#endif
