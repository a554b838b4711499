// Every key of the main settings file's "Extend Options" section in one
// table: its kind, default, accepted range, write format and place, and how
// it reaches the channel state. The reader, the writer, the command line's
// `set`/`show` and the setup panels all go through it, so a key's rules live
// here once.
#ifndef QUILLON_APP_DATACONTROL_SETTINGS_TABLE_H
#define QUILLON_APP_DATACONTROL_SETTINGS_TABLE_H

#include "datacontrol/channel_state.h"
#include "datacontrol/profile_file.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// How a value is stored: Int "%d", Long unsigned "%lu", Real "%-7.2f", Text
// as it stands; Choice is a view choice that is never stored.
enum class SettingKind { Int, Long, Real, Text, Choice };

// What a change needs besides storing the value.
enum class SettingEffect {
    Stored,      // used by the next scan or later steps
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
    SettingKind kind;
    SettingEffect effect;
    // What a stored 0 (or an empty or missing value) reads as; NaN: 0 stays 0.
    double storedDefault;
    const char *textDefault;
    // Accepted on entry; a value read from a file is brought into it.
    double minimum;
    double maximum;
    // Place in the written file (0: never written); the file's order is that of the old program.
    int writeOrder;
    std::span<const char *const> choices;
    // Shown by `quillon set --help`; null for keys the command line does not change.
    const char *help;
    SettingValue (*get)(const ChannelState &state);
    void (*set)(ChannelState &state, const SettingValue &value);
    // Only read and written when this holds (null: always).
    bool (*applies)(const ChannelState &state);
};

struct SettingAssignment {
    const SettingKey *key = nullptr;
    SettingValue value;
};

class SettingsTable {
public:
    static std::span<const SettingKey> AllKeys();
    static const SettingKey *Find(std::string_view name);

    // The keys the table reads on its own into `state`, in table order; the
    // integration time, InitPane and BadPixels need the reader's own rules.
    static void ReadKeys(ProfileFile &file, ChannelState &state);
    // Every written key, in the file's order.
    static void WriteKeys(ProfileFile &file, const ChannelState &state);

    // "KEY=VALUE" against the table; nothing and the reason when it is not
    // one. The command line offers only the keys with a help text.
    enum class Keys { All, CommandLine };
    static std::optional<SettingAssignment> Parse(std::string_view text, std::string &error,
                                                  Keys offered = Keys::All);
    static std::string Show(const SettingKey &key, const ChannelState &state);
    // The value brought into the key's range, as a file's value is.
    static double Limit(const SettingKey &key, double value);
    // Checks assignments together against the channel (integration limits,
    // calibrated range, display ranges): empty when they may be applied.
    static std::string Check(std::span<const SettingAssignment> assignments,
                             const ChannelState &state);
    // Values that will not survive a restart (a stored 0 reads as the default).
    static void NoteZeroDefaults(std::span<const SettingAssignment> assignments,
                                 std::vector<std::string> &warnings);
};

// Names of the display mode as `set` and the tables use them.
std::string displayModeName(DisplayMode mode);

} // namespace quillon

#endif
