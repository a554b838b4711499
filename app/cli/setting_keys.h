// The settings the `set` step changes, by their names in the main settings
// file, plus the view choices mode, axis and base. Each key knows its value
// form, its range and how it reaches DataControl; the checks that need the
// connected unit (integration limits, calibrated range) run just before a
// step applies its values, so a refused step changes nothing.
#ifndef QUILLON_APP_CLI_SETTING_KEYS_H
#define QUILLON_APP_CLI_SETTING_KEYS_H

#include "datacontrol/data_control.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

enum class KeyKind { Int, Real, Text, Choice };

// How a change reaches the unit and the buffers.
enum class KeyGroup {
    Stored,      // a value used by the next scan or by later steps
    Integration, // sent to the unit; dark and reference become invalid
    Grid,        // the wavelength grid is rebuilt
    View,        // display mode, X unit, wavelength base
};

struct SettingValue {
    double number = 0.0; // numbers, and the index of a choice
    std::string text;
};

struct SettingKey {
    const char *name;
    KeyKind kind;
    KeyGroup group;
    double minimum; // numbers: the range accepted on the command line
    double maximum;
    // What a stored 0 reads back as; NaN when 0 reads back as 0.
    double storedDefault;
    std::span<const char *const> choices;
    const char *help;
    std::string (*show)(const DataControl &dc);
    void (*store)(DataControl &dc, const SettingValue &value);
};

std::span<const SettingKey> settingKeys();
const SettingKey *findSettingKey(std::string_view name);

struct Assignment {
    const SettingKey *key = nullptr;
    SettingValue value;
};

// "KEY=VALUE" read against the key table; the error text when it is not one.
std::optional<Assignment> parseAssignment(std::string_view text, std::string &error);
// The same as a parser check: empty when good.
std::string checkAssignment(std::string_view text);

// Checks the assignments together against the current channel, then applies
// them as the setup panel does. Empty on success, else why nothing was
// changed (or, for a unit that refused the integration time, what failed).
// `warnings` receives notes about values that will not survive a restart.
std::string applyAssignments(DataControl &dc, std::span<const Assignment> assignments,
                             std::vector<std::string> &warnings);

// Names of the display mode, X unit and base as `set` and the tables use them.
std::string displayModeName(DisplayMode mode);

} // namespace quillon::cli

#endif
