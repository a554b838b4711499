// The simulated units as the simulator's `list` command reports them, for
// the Simulator panel. No Qt.
#ifndef QUILLON_APP_SHELL_SIM_UNITS_H
#define QUILLON_APP_SHELL_SIM_UNITS_H

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

// Runs one simulator command; the result code and the reply text.
struct SimReply {
    int result = -1;
    std::string text;
};
SimReply runSimCommand(const std::string &command);
// True when the device library runs simulated units.
bool simulatorPresent();

} // namespace quillon

#endif
