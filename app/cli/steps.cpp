#include "cli/steps.h"

#include "cli/calibrate_steps.h"
#include "cli/colour_steps.h"
#include "cli/irradiance_steps.h"
#include "cli/peak_table.h"
#include "cli/record_steps.h"
#include "cli/session.h"
#include "cli/step_helpers.h"
#include "cli/table_output.h"
#include "datacontrol/messages.h"
#include "datacontrol/scan_rules.h"
#include "datacontrol/sensors.h"
#include "datacontrol/settings.h"
#include "datacontrol/simulated_units.h"
#include "datacontrol/unit_list.h"
#include "datacontrol/unit_text.h"
#include "datacontrol/wavelength_calibration.h"
#include "datafiles/trace_picture.h"
#include "ovdbusbm.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace quillon::cli {

bool refuseWithoutUnit(Session &s, const StepCall &call) {
    if (s.dc.State().NoDeviceMode()) {
        return s.fail(call, "no unit is connected (no-device mode)");
    }
    return true;
}

bool inMemoryMode(const Session &s) {
    return s.dc.State().flags.option.test(option_bits::kMemoryMode);
}

std::optional<long> wholeNumber(std::string_view text) {
    long value = 0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> realNumber(std::string_view text) {
    double value = 0.0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

namespace {

// Longest EEPROM text the library reads back whole.
constexpr std::size_t kLongestEepromText = 4095;
constexpr long kMostScans = 1000000;

// ---- value checks used by the parser --------------------------------------

std::string checkChannelNumber(std::string_view text) {
    const auto value = wholeNumber(text);
    if (!value || *value < 0 || *value >= OV_MAX_CHANNELS) {
        return "a channel number from 0 to " + std::to_string(OV_MAX_CHANNELS - 1) + ", not '" +
               std::string(text) + "'";
    }
    return {};
}

std::string checkScanCount(std::string_view text) {
    const auto value = wholeNumber(text);
    if (!value || *value < 1 || *value > kMostScans) {
        return "a count from 1 to " + std::to_string(kMostScans) + ", not '" + std::string(text) +
               "'";
    }
    return {};
}

std::string checkTableFormat(std::string_view text) {
    return tableFormatFromName(text) ? std::string()
                                     : "tsv, csv or json, not '" + std::string(text) + "'";
}

// The ranges of the peak options dialog.
std::string checkNoiseRatio(std::string_view text) {
    const auto value = realNumber(text);
    return value && *value >= 0.1 && *value <= 100.0
               ? std::string()
               : "a noise multiplier from 0.1 to 100, not '" + std::string(text) + "'";
}

std::string checkThresholdPercent(std::string_view text) {
    const auto value = realNumber(text);
    return value && *value >= 0.0 && *value <= 100.0
               ? std::string()
               : "a threshold from 0 to 100 %, not '" + std::string(text) + "'";
}

std::string checkNotEmpty(std::string_view text) {
    return text.empty() ? "must not be empty" : std::string();
}

std::string checkSettingAssignment(std::string_view text) {
    std::string error;
    (void)SettingsTable::Parse(text, error, SettingsTable::Keys::CommandLine);
    return error;
}

// ---- helpers ----------------------------------------------------------------

// ---- handlers ---------------------------------------------------------------

bool runUnits(Session &s, const StepCall &call) {
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    const auto text = [](const std::optional<int> &number) {
        return number ? std::to_string(*number) : std::string("-");
    };
    for (const UnitRow &row : listUnits(s.dc)) {
        s.out << row.channel << '\t' << text(row.slot) << '\t' << row.serial << '\t' << row.sensor
              << '\t' << row.pixels << '\t' << row.range << '\t' << text(row.channelId) << '\n';
    }
    return true;
}

bool runShow(Session &s, const StepCall &) {
    s.out << "channel=" << s.dc.State().currentChannel << '\n';
    for (const SettingKey &key : SettingsTable::AllKeys()) {
        if (key.help != nullptr) {
            s.out << key.name << '=' << SettingsTable::Show(key, s.dc.State()) << '\n';
        }
    }
    for (const char *view : {"mode", "axis", "base"}) {
        s.out << view << '=' << SettingsTable::Show(*SettingsTable::Find(view), s.dc.State())
              << '\n';
    }
    return true;
}

bool runChannel(Session &s, const StepCall &call) {
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    const int channel = static_cast<int>(*wholeNumber(call.args[0]));
    if (channel >= s.dc.State().channelCount) {
        return s.fail(call, "there is no channel " + std::to_string(channel) + " (channels 0 to " +
                                std::to_string(s.dc.State().channelCount - 1) + ")");
    }
    const OpResult result = s.dc.ChangeChannel(channel);
    if (s.prompter.needsAnswer()) {
        return false; // the run ends with the question
    }
    if (result != OpResult::Done) {
        return s.fail(call, "channel " + std::to_string(channel) + " could not be configured");
    }
    // As the setup panel does: the grid of the previous unit means nothing here.
    s.dc.SetWavelengthBase(false);
    s.note("channel " + std::to_string(channel) + " is current");
    return true;
}

bool runSet(Session &s, const StepCall &call) {
    std::vector<SettingAssignment> assignments;
    for (const std::string &text : call.args) {
        std::string error;
        const auto assignment = SettingsTable::Parse(text, error, SettingsTable::Keys::CommandLine);
        if (!assignment) {
            return s.fail(call, error);
        }
        assignments.push_back(*assignment);
    }
    std::vector<std::string> warnings;
    const std::string problem = s.dc.ApplySettings(assignments, warnings);
    for (const std::string &warning : warnings) {
        s.warn(call, warning);
    }
    return problem.empty() ? true : s.fail(call, problem);
}

bool runSim(Session &s, const StepCall &call) {
    const SimReply sim = runSimCommand(call.args[0]);
    const std::string &reply = sim.text;
    if (sim.result != 1) {
        return s.fail(call, reply.empty() ? "the simulator refused the command" : reply);
    }
    s.note("sim: " + reply);
    return true;
}

bool runOneShot(Session &s, const StepCall &call, bool dark) {
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    if (s.dc.UnitDisconnected()) {
        return s.fail(call, "the unit does not answer");
    }
    const OpResult result = dark ? s.dc.TakeDarkScan() : s.dc.TakeReferenceScan();
    if (result == OpResult::NotDone) {
        return s.fail(call, std::string("the ") + (dark ? "dark" : "reference") +
                                " source is a file, so no scan is taken");
    }
    if (result != OpResult::Done || s.dc.UnitDisconnected()) {
        return s.fail(call, "the unit does not answer");
    }
    s.note(std::string(dark ? "dark" : "reference") + " scan taken");
    return true;
}

bool runDark(Session &s, const StepCall &call) {
    return runOneShot(s, call, true);
}

bool runReference(Session &s, const StepCall &call) {
    return runOneShot(s, call, false);
}

// The refusal of a scan whose mode lacks its spectra; empty when it may run.
std::string missingSpectra(const DataControl &dc) {
    switch (scanNeed(dc.State())) {
    case ScanNeed::DarkAndReference:
        return "mode " + displayModeName(dc.State().flags.displayMode()) +
               " needs a dark and a reference scan first (steps dark, reference)";
    case ScanNeed::Dark:
        return "absolute irradiance needs a dark scan first (step dark)";
    case ScanNeed::Nothing:
        break;
    }
    return {};
}

// In memory mode a scan is the selected item, shown as playback shows it.
bool printSelectedItem(Session &s, const StepCall &call) {
    DataControl &dc = s.dc;
    const int selected = std::max(dc.State().memory.current(), 1);
    if (dc.Stored().ShowItem(selected) != OpResult::Done) {
        return s.fail(call, "the memory list holds no item to show");
    }
    ScanTableWriter writer(s.out, *tableFormatFromName(call.option("--format", "tsv")), false);
    writer.write(dc.CurrentResult(), displayModeName(dc.State().flags.displayMode()));
    writer.finish();
    s.note("memory item " + std::to_string(selected) + " of " +
           std::to_string(dc.State().memory.size()));
    return true;
}

bool runScan(Session &s, const StepCall &call) {
    if (inMemoryMode(s)) {
        return printSelectedItem(s, call);
    }
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    DataControl &dc = s.dc;
    // A ratio without both spectra is zero everywhere: refuse rather than
    // print a table that looks like a measurement.
    if (const std::string missing = missingSpectra(dc); !missing.empty()) {
        return s.fail(call, missing);
    }
    const long count = call.args.empty() ? 1 : *wholeNumber(call.args[0]);
    const bool each = call.has("--each");
    ScanTableWriter writer(s.out, *tableFormatFromName(call.option("--format", "tsv")),
                           each && count > 1);
    for (long n = 1; n <= count; ++n) {
        const ScanOutcome result = dc.AcquireScan();
        if (!scanSucceeded(dc, result)) {
            writer.finish();
            return s.fail(call, "scan " + std::to_string(n) + " of " + std::to_string(count) +
                                    ": " + scanFailure(dc, result));
        }
        if (each || n == count) {
            writer.write(dc.CurrentResult(), quantityName(dc.State()));
        }
    }
    writer.finish();
    return true;
}

// The peaks of a fresh scan, or of the selected memory item, with the
// settings of the run changed by the options for this step only.
bool runPeaks(Session &s, const StepCall &call) {
    DataControl &dc = s.dc;
    const DisplayMode mode = dc.State().flags.displayMode();
    if (inMemoryMode(s)) {
        if (dc.Stored().ShowItem(std::max(dc.State().memory.current(), 1)) != OpResult::Done) {
            return s.fail(call, "the memory list holds no item to show");
        }
    } else {
        if (!refuseWithoutUnit(s, call)) {
            return false;
        }
        if (const std::string missing = missingSpectra(dc); !missing.empty()) {
            return s.fail(call, missing);
        }
        const ScanOutcome result = dc.AcquireScan();
        if (!scanSucceeded(dc, result)) {
            return s.fail(call, scanFailure(dc, result));
        }
    }
    PeakSettings settings = dc.State().peaks;
    if (call.has("--low")) {
        settings.noiseHighLow = 1;
    }
    if (call.has("--ratio")) {
        settings.noiseRatio = *realNumber(call.option("--ratio", ""));
    }
    if (call.has("--line")) {
        settings.noiseLine = *realNumber(call.option("--line", ""));
    }
    (void)dc.FindPeaks(settings);
    const std::vector<analysis::Peak> peaks = dc.Peaks().Peaks();
    writePeakTable(s.out, *tableFormatFromName(call.option("--format", "tsv")), peaks,
                   dc.CurrentResult().wavelengthBase, dc.State().buffers.wavelengthTable,
                   displayModeName(mode));
    const auto saturated = std::count_if(peaks.begin(), peaks.end(),
                                         [](const analysis::Peak &p) { return p.saturated; });
    if (saturated > 0) {
        s.warn(call, std::to_string(saturated) +
                         " peaks hold saturated pixels: their centres and widths are unreliable");
    }
    s.note(std::to_string(peaks.size()) + " peaks");
    return true;
}

// ---- stored spectra ---------------------------------------------------------

// A step's NAME as a file: relative to the start folder, cut before its last
// ".", with the form's extension.
std::filesystem::path namedFile(const Session &s, const std::string &name, const char *extension) {
    return userFilePath({}, platform::pathText(s.fileArgument(name)), extension);
}

bool reportOutcome(Session &s, const StepCall &call, const StoreOutcome &outcome) {
    if (outcome.result != OpResult::Done) {
        return s.fail(call, outcome.status.empty() ? "acquisition did not pause" : outcome.status);
    }
    s.note(outcome.status);
    return true;
}

bool runMemoryAdd(Session &s, const StepCall &call) {
    if (inMemoryMode(s)) {
        return s.fail(call, "spectra cannot be added in memory mode (memory-leave first)");
    }
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    DataControl &dc = s.dc;
    const long count = call.args.empty() ? 1 : *wholeNumber(call.args[0]);
    for (long n = 1; n <= count; ++n) {
        const ScanOutcome result = dc.AcquireScan();
        if (!scanSucceeded(dc, result)) {
            return s.fail(call, "scan " + std::to_string(n) + " of " + std::to_string(count) +
                                    ": " + scanFailure(dc, result));
        }
        if (dc.Stored().RecordItem() != OpResult::Done) {
            return s.fail(call, "the scan could not be added to the memory list");
        }
    }
    s.note(std::to_string(dc.State().memory.size()) + " spectra in the memory list");
    return true;
}

bool runMemoryList(Session &s, const StepCall &) {
    const MemoryList &list = s.dc.State().memory;
    s.out << "item\tproject\tsample\ttime\n";
    for (int k = 1; k <= static_cast<int>(list.size()); ++k) {
        const MemoryItemView item = list.item(k);
        s.out << k << (k == list.current() ? "*" : "") << '\t' << item.projectName() << '\t'
              << item.sampleName() << '\t' << item.captureTime() << '\n';
    }
    return true;
}

bool runMemorySave(Session &s, const StepCall &call) {
    const StoreOutcome outcome =
        s.dc.Stored().SaveScanData(namedFile(s, call.args[0], kScanDataExtension));
    return reportOutcome(s, call, outcome);
}

bool runMemoryLoad(Session &s, const StepCall &call) {
    const std::filesystem::path file = namedFile(s, call.args[0], kScanDataExtension);
    StoreOutcome outcome = s.dc.Stored().LoadScanData(file);
    if (outcome.status == messages::kNoSuchFile) {
        outcome.status = "no file " + platform::pathText(file);
    }
    return reportOutcome(s, call, outcome);
}

bool runMemorySelect(Session &s, const StepCall &call) {
    if (!inMemoryMode(s)) {
        return s.fail(call, "items are selected in memory mode (memory-load first)");
    }
    const long index = *wholeNumber(call.args[0]);
    const auto count = static_cast<long>(s.dc.State().memory.size());
    if (index > count) {
        return s.fail(call, "the memory list holds " + std::to_string(count) + " items");
    }
    if (s.dc.Stored().ShowItem(static_cast<int>(index)) != OpResult::Done) {
        return s.fail(call, "item " + std::to_string(index) + " could not be shown");
    }
    return true;
}

bool runMemoryLeave(Session &s, const StepCall &call) {
    if (!inMemoryMode(s)) {
        return true;
    }
    if (!s.dc.Stored().CanLeaveMemoryMode()) {
        return s.fail(call, "without a unit only stored spectra can be shown");
    }
    return s.dc.Stored().LeaveMemoryMode() == OpResult::Done ||
           s.fail(call, "the unit's configuration could not be restored");
}

struct ExportKind {
    const char *name;
    const char *extension;
    std::optional<ExportForm> form; // none: the picture
};
constexpr std::array<ExportKind, 5> kExportKinds = {{{"text", ".txt", ExportForm::Text},
                                                     {"picture", ".bmp", std::nullopt},
                                                     {"spc", ".spc", ExportForm::Spc},
                                                     {"csv", ".csv", ExportForm::Csv},
                                                     {"jcamp", ".jdx", ExportForm::Jcamp}}};

const ExportKind *exportKindNamed(std::string_view name) {
    for (const ExportKind &kind : kExportKinds) {
        if (name == kind.name) {
            return &kind;
        }
    }
    return nullptr;
}

std::string checkExportKind(std::string_view text) {
    return exportKindNamed(text)
               ? std::string()
               : "text, picture, spc, csv or jcamp, not '" + std::string(text) + "'";
}

// The spectrum on screen drawn without a window, in the mode's colour.
std::string picturePixels(DataControl &dc) {
    const ChannelState &state = dc.State();
    exports::TracePictureStyle style;
    style.plot = exports::argbOfSettingsColour(state.colors.back);
    const DisplayMode mode = state.flags.displayMode();
    const std::uint32_t trace = mode == DisplayMode::TransRefl    ? state.colors.trans
                                : mode == DisplayMode::Absorbance ? state.colors.absorb
                                : mode == DisplayMode::Irradiance ? state.colors.irrad
                                                                  : state.colors.pixel;
    style.trace = exports::argbOfSettingsColour(trace);
    if (style.plot == style.trace) {
        style.plot = 0xFFFFFFFFu;
    }
    const ScanResult result = dc.CurrentResult();
    const auto pixels = exports::traceLinePicture(result.values, style);
    return exports::bmpFile(style.width, style.height, pixels, style.width);
}

bool runExport(Session &s, const StepCall &call) {
    const ExportKind &kind = *exportKindNamed(call.args[0]);
    const std::filesystem::path file = namedFile(s, call.args[1], kind.extension);
    const exports::Which which = call.has("--all") ? exports::Which::All : exports::Which::Current;
    if (which == exports::Which::All && !inMemoryMode(s)) {
        return s.fail(call, "--all exports the items of memory mode (memory-load first)");
    }
    std::optional<std::string> bytes;
    if (kind.form) {
        bytes = s.dc.Stored().ExportData(*kind.form, which);
    } else if (which == exports::Which::All) {
        return s.fail(call, "a picture shows one spectrum; leave out --all");
    } else {
        bytes = picturePixels(s.dc);
    }
    if (!bytes || bytes->empty()) {
        return s.fail(call, "there is nothing in view to export");
    }
    return reportOutcome(s, call, s.dc.Stored().WriteExportFile(file, *bytes));
}

bool runSpectrumSave(Session &s, const StepCall &call, SpectrumFileKind kind) {
    const char *extension =
        kind == SpectrumFileKind::Dark ? kDarkFileExtension : kReferenceFileExtension;
    return reportOutcome(
        s, call, s.dc.Stored().SaveSpectrumFile(kind, namedFile(s, call.args[0], extension)));
}

bool runSpectrumLoad(Session &s, const StepCall &call, SpectrumFileKind kind) {
    const char *extension =
        kind == SpectrumFileKind::Dark ? kDarkFileExtension : kReferenceFileExtension;
    const std::filesystem::path file = namedFile(s, call.args[0], extension);
    StoreOutcome outcome = s.dc.Stored().LoadSpectrumFile(kind, file);
    if (outcome.status == messages::kNoSuchFile) {
        outcome.status = "no file " + platform::pathText(file);
    }
    return reportOutcome(s, call, outcome);
}

bool runDarkSave(Session &s, const StepCall &call) {
    return runSpectrumSave(s, call, SpectrumFileKind::Dark);
}
bool runDarkLoad(Session &s, const StepCall &call) {
    return runSpectrumLoad(s, call, SpectrumFileKind::Dark);
}
bool runReferenceSave(Session &s, const StepCall &call) {
    return runSpectrumSave(s, call, SpectrumFileKind::Reference);
}
bool runReferenceLoad(Session &s, const StepCall &call) {
    return runSpectrumLoad(s, call, SpectrumFileKind::Reference);
}

bool runEepromRead(Session &s, const StepCall &call) {
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    const int channel = s.dc.State().currentChannel;
    std::string text;
    const int result = s.dc.Unit().readEepromText(channel, text);
    if (result == OV_ERR_NO_DATA) {
        return s.fail(call, "the EEPROM of channel " + std::to_string(channel) + " holds no data");
    }
    if (result != OV_OK) {
        return s.fail(call,
                      std::string("the EEPROM could not be read (") + ovResultText(result) + ")");
    }
    if (call.args.empty()) {
        s.out << text;
        s.out.flush();
        return true;
    }
    if (!platform::replaceTextFile(s.fileArgument(call.args[0]), text)) {
        return s.fail(call, "cannot write " + call.args[0]);
    }
    s.note("EEPROM text of channel " + std::to_string(channel) + " written to " + call.args[0]);
    return true;
}

bool runEepromWrite(Session &s, const StepCall &call) {
    if (!refuseWithoutUnit(s, call)) {
        return false;
    }
    const std::string &path = call.args[0];
    const platform::FileContent content = platform::readRegularFile(s.fileArgument(path));
    if (!content) {
        return s.fail(call,
                      "cannot read " + path + ": " + platform::readFailureText(content.failure));
    }
    std::string error;
    const std::string text = eepromTextForUnit(*content.bytes, error);
    if (!error.empty()) {
        return s.fail(call, path + ": " + error);
    }
    const int channel = s.dc.State().currentChannel;
    const std::string question = "Write the EEPROM text of " + path + " into the unit on channel " +
                                 std::to_string(channel) + " (" +
                                 unitSerial(s.dc.State().currentInfo()) +
                                 ")? It replaces the unit's factory data.";
    if (!s.prompter.askYesNo(question)) {
        return s.prompter.needsAnswer() ? false : s.fail(call, "not written (answered No)");
    }
    // The write keeps a backup and reads the text back; its report has been shown.
    if (s.dc.WriteEeprom(text).result != OpResult::Done) {
        return s.fail(call, "the EEPROM of channel " + std::to_string(channel) +
                                " does not hold the text of " + path);
    }
    s.note("EEPROM of channel " + std::to_string(channel) +
           " written; the unit file follows at the next start");
    return true;
}

// clang-format off
const std::vector<StepSpec> kSteps{
    {"units", "list the connected units, one line per channel",
     "Prints one tab-separated line per channel: channel, device slot (simulated units; '-'\n"
     "where the library does not tell it), serial, sensor, active pixels, calibrated\n"
     "wavelength range in nm, channel ID.\n",
     {}, {}, runUnits},
    {"show", "print the current channel and every setting `set` knows, as KEY=VALUE",
     "Prints channel=N, then one KEY=VALUE line per key of `set`, as the run holds them now.\n",
     {}, {}, runShow},
    {"channel", "make channel N the current channel",
     "Configures channel N as the program does on a channel change: its unit file, the main\n"
     "settings, buffers, wavelength calibration and the unit's hardware set-up, then the\n"
     "pixel base. Dark and reference scans of the previous channel are dropped. The main\n"
     "settings file is read again for the new channel, so put `set` steps after `channel`.\n",
     {{"N", Arity::One, checkChannelNumber}}, {}, runChannel},
    {"set", "change settings by their settings-file names (KEY=VALUE ...)",
     "Applies the values as the setup panel does: all pairs of one step are checked first,\n"
     "and nothing changes when one is refused. IntTime is sent to the unit under the hold\n"
     "protocol and makes dark and reference invalid; StartWL, EndWL and IntervalWL rebuild\n"
     "the wavelength grid (inside the calibrated range, more than 20 nm wide). Values are\n"
     "written to the main settings file when the run ends successfully; mode is not stored.\n"
     "Keys:\n"
     "  IntTime TimeAV BinningAV FFT StartWL EndWL IntervalWL RefMax RefWhite MaxT MinT\n"
     "  MaxA MinA MaxI MinI ColorTemp NoiseRatio NoiseLine NoiseCutoff NoiseHighLow\n"
     "  FilterOn FilterWin Title SubTitle\n"
     "  mode=scope|tr|absorbance  axis=pixel|wavelength|wavenumber  base=pixel|wavelength\n"
     "'quillon show' prints the current values.\n",
     {{"KEY=VALUE", Arity::OneOrMore, checkSettingAssignment}}, {}, runSet},
    {"sim", "run one command of the simulated units",
     "Passes COMMAND to the simulator (simulated units only), e.g. sim \"set 0 source dark\",\n"
     "sim \"set 0 sample nd 25\", sim list. Quote a command with blanks. The reply is shown\n"
     "as a note.\n",
     {{"COMMAND", Arity::One, checkNotEmpty}}, {}, runSim,
     "a simulator command with blanks needs quotes: sim \"set 0 source dark\""},
    {"dark", "take a dark scan now", "Takes one dark scan of the current channel, as the Dark "
     "button does.\n", {}, {}, runDark},
    {"reference", "take a reference scan now", "Takes one reference scan of the current channel, "
     "as the Reference button does.\n", {}, {}, runReference},
    {"scan", "take N scans (default 1) and print the last, or each, as a table",
     "Prints a header line, then one row per point. Pixel base: pixel, wavelength_nm,\n"
     "wavenumber_cm-1, value. Wavelength base: wavelength_nm, wavenumber_cm-1, value.\n"
     "The value is the quantity of the mode: counts (scope), T/R % (tr), absorbance, or\n"
     "irradiance: relative %, uW/cm^2/nm or lux/nm; tr, absorbance and relative\n"
     "irradiance need a dark and a reference scan first, absolute irradiance a dark.\n",
     {{"N", Arity::Optional, checkScanCount}},
     {{"--each", nullptr, nullptr, "print every scan, not only the last"},
      {"--format", "FORMAT", checkTableFormat, "tsv (default), csv or json"}},
     runScan},
    {"peaks", "take a scan (or show the selected memory item) and list its peaks",
     "Finds the peaks of the displayed values as the Find Peak button does, with the peak\n"
     "settings (NoiseRatio, NoiseLine, NoiseHighLow) or the options for this step only.\n"
     "Prints one row per peak: no, pixel (pixel base only), wavelength_nm, wavenumber_cm-1,\n"
     "intensity, fwhm_nm (0: not measured; pixel base only) and saturated (1: a pixel of\n"
     "the peak is at full scale, so its centre and width are unreliable).\n",
     {},
     {{"--low", nullptr, nullptr, "low peaks (dips) instead of high peaks"},
      {"--ratio", "R", checkNoiseRatio, "noise multiplier, 0.1 to 100"},
      {"--line", "PERCENT", checkThresholdPercent, "threshold in % of the display range"},
      {"--format", "FORMAT", checkTableFormat, "tsv (default), csv or json"}},
     runPeaks},
    {"memory-add", "take N scans (default 1) and add each to the memory list",
     "Takes N scans and appends each to the memory list with the title, subtitle and\n"
     "the time, as Record Data does. Refused in memory mode.\n",
     {{"N", Arity::Optional, checkScanCount}}, {}, runMemoryAdd},
    {"memory-list", "print the memory list, one line per item (* = selected)",
     "Prints item number, project name, sample name and capture time.\n", {}, {}, runMemoryList},
    {"memory-save", "save the memory list as the scan data file NAME.sdf",
     "Writes the unit's context and every item to NAME with its extension replaced by .sdf.\n"
     "An empty list writes nothing and fails.\n",
     {{"NAME", Arity::One, checkNotEmpty}}, {}, runMemorySave},
    {"memory-load", "load the scan data file NAME.sdf into memory mode",
     "Replaces the memory list by the items of NAME.sdf and shows them in memory mode\n"
     "(scan prints the selected item). A file of another sensor is refused.\n",
     {{"NAME", Arity::One, checkNotEmpty}}, {}, runMemoryLoad},
    {"memory-select", "select item N of the memory list (memory mode)", "Shows item N.\n",
     {{"N", Arity::One, checkScanCount}}, {}, runMemorySelect},
    {"memory-leave", "leave memory mode: the unit's configuration and scans again",
     "The loaded items stay in the memory list.\n", {}, {}, runMemoryLeave},
    {"export", "export the spectrum as text, picture, spc, csv or jcamp to NAME",
     "Writes the spectrum of the current mode over the full range of the display settings:\n"
     "text (.txt, tab-separated), picture (.bmp), spc (.spc), csv (.csv), jcamp (.jdx).\n"
     "--all exports every item of memory mode.\n",
     {{"FORM", Arity::One, checkExportKind}, {"NAME", Arity::One, checkNotEmpty}},
     {{"--all", nullptr, nullptr, "every memory item (memory mode)"}}, runExport},
    {"dark-save", "save the dark spectrum as NAME.dak", "Needs a dark scan.\n",
     {{"NAME", Arity::One, checkNotEmpty}}, {}, runDarkSave},
    {"dark-load", "load the dark spectrum from NAME.dak",
     "The file must come from a unit of the same sensor and pixel count.\n",
     {{"NAME", Arity::One, checkNotEmpty}}, {}, runDarkLoad},
    {"reference-save", "save the reference spectrum as NAME.ref", "Needs a reference scan.\n",
     {{"NAME", Arity::One, checkNotEmpty}}, {}, runReferenceSave},
    {"reference-load", "load the reference spectrum from NAME.ref",
     "The file must come from a unit of the same sensor and pixel count.\n",
     {{"NAME", Arity::One, checkNotEmpty}}, {}, runReferenceLoad},
    {"colour", "take a scan on the colour grid and print its colour",
     "Measures as the colour view does: T/R in % on the grid 400-700 nm at 10 nm (the\n"
     "white reference scaled by RefWhite), so a dark and a reference scan are needed.\n"
     "The grid, base and mode of the settings are put back afterwards. Prints the\n"
     "illuminant and observer, then X, Y, Z, x, y, z, u, v (CIE 1960), u', v' (CIE 1976),\n"
     "L*, a*, b*, L*(uv), u*, v*, C, h (radians), Hunter L, a, b, dE, the tile colour\n"
     "(#RRGGBB) and cct_K, the temperature of the nearest point of the Planckian locus\n"
     "file ('-' when there is none). Values a black sample leaves undefined (x, y, u', v',\n"
     "u*, v*, Hunter a, b) are printed as 0. --illuminant and --observer are kept in the\n"
     "colour settings (InitColor). dE is measured against the previous colour of the run\n"
     "(0, 0, 0 at first) or against --reference L,a,b.\n",
     {},
     {{"--illuminant", "A|C|D65", checkIlluminant, "illuminant of the weighting"},
      {"--observer", "2|10", checkObserver, "CIE 1931 2 degree or CIE 1964 10 degree"},
      {"--reference", "previous|L,a,b", checkColourReference, "reference colour of dE"},
      {"--format", "FORMAT", checkTableFormat, "tsv (default), csv or json"}},
     runColour},
    {"colour-export", "take a scan on the colour grid and write its colour data table NAME.txt",
     "Measures as the colour step does (a dark and a reference scan are needed) and writes\n"
     "the colour export file of the colour view into the data folder: illuminant, observer,\n"
     "X, Y, Z, x, y, z, L*a*b*, L*u*v*, L*C*h, Hunter Lab and the reflectance of each 10 nm\n"
     "step, lines ending in CR LF. NAME is cut at its last '.', so NAME.txt is written once;\n"
     "characters that would leave the data folder are replaced.\n",
     {{"NAME", Arity::One, checkNotEmpty}}, {}, runColourExport},
    {"cct", "take a scan and print the colour temperature of the light in K",
     "Measures the light on the unit (mode scope, counts, or irradiance) on the wavelength\n"
     "grid of the settings and prints the temperature of the nearest point of the\n"
     "Planckian locus, 1000 K to 9999 K, from its colour with illuminant D65 and the\n"
     "2 degree observer (that selection stays in the colour settings). Counts carry the\n"
     "detector's response with them; irradiance does not.\n",
     {}, {}, runCct},
    {"irradiance-calibrate", "calibrate absolute irradiance against the lamp at DIST cm",
     "Takes a scan of the reference lamp of OVlamp.txt (program folder) with the current\n"
     "dark, at the integration time of the settings, and writes the unit's calibration\n"
     "OVIrrad_<channel ID>.cal with its report .txt. Enables the irradiance mode of the\n"
     "unit. A saturated scan, or one with no light above the dark, is refused.\n",
     {{"DIST", Arity::One, checkDistance}}, {}, runIrradianceCalibrate},
    {"totals", "take a scan and print the photometric totals and colour temperature",
     "In absolute irradiance (set mode=irradiance irradiance=absolute): total power (uW),\n"
     "total irradiance (uW/cm^2), or with irradiance=illuminance the illuminance (lux)\n"
     "and luminous flux (lm), the colour temperature (K), the measuring distance IrradDist\n"
     "and the cone angle. The quantities of the other form are printed as '-'.\n",
     {}, {{"--format", "FORMAT", checkTableFormat, "tsv (default), csv or json"}}, runTotals},
    {"record", "take a scan every MS milliseconds into the scan data file NAME.sdf",
     "Records with the time line of the window: needs a dark and a reference scan (run\n"
     "dark and reference first). Each frame is one memory item numbered from 0001 with\n"
     "its capture time. The record ends after --frames N, at --until HH:MM:SS, or after\n"
     "--for SECONDS; --start HH:MM:SS waits for that time (a time of day that has\n"
     "passed today means tomorrow). A line on standard error each second tells the\n"
     "frames written and the ticks missed. Ctrl-C ends the record with a valid file.\n"
     "An existing NAME.sdf is replaced only with --yes. Exit 1 when the record ended\n"
     "early (write error, lost unit, Ctrl-C).\n",
     {{"NAME", Arity::One, checkNotEmpty}},
     {{"--interval", "MS", checkInterval, "time between frames in ms (at least the scan time)"},
      {"--frames", "N", checkFrameLimit, "stop after N frames (1 to 9999999)"},
      {"--until", "HH:MM:SS", checkTimeOfDay, "stop at this time of day"},
      {"--for", "SECONDS", checkSeconds, "stop after this many seconds"},
      {"--start", "HH:MM:SS", checkTimeOfDay, "take no frame before this time of day"}},
     runRecord},
    {"calibrate", "calibrate the wavelength axis on an emission-line lamp (Hg-Ar)",
     "Takes a scan of the lamp in scope mode on the pixel axis, finds its peaks and matches\n"
     "each to the emission line the present calibration puts within --tolerance nm (default\n"
     "2) of it. Prints every point with the fit's wavelength and residual, and the RMS.\n"
     "--lines: hgar (the settings' Hg-Ar Line list, else the shipped Hg-Ar table) or a file\n"
     "of lines in nm (one per line, or species,nm,... rows). --dry-run stores nothing;\n"
     "--save-ini NAME stores the points as a custom set and uses it; --save-eeprom writes\n"
     "them into the unit as its factory set (backup in Backup/, read back, the old text\n"
     "restored on a mismatch; asks Yes/No first) and uses it.\n",
     {},
     {{"--lines", "FILE|hgar", checkLineSource, "the emission lines (default hgar)"},
      {"--order", "N", checkCalibrationOrder, "show the residuals of another polynomial order"},
      {"--tolerance", "NM", checkLineTolerance, "largest distance of a peak from its line"},
      {"--dry-run", nullptr, nullptr, "show the points, store nothing"},
      {"--save-ini", "NAME", checkNotEmpty, "store as the custom set NAME and use it"},
      {"--save-eeprom", nullptr, nullptr, "write into the unit as its factory set"}},
     runCalibrate},
    {"eeprom-read", "print the unit's EEPROM text, or write it to FILE",
     "Reads the EEPROM text of the current channel's unit.\n",
     {{"FILE", Arity::Optional, checkNotEmpty}}, {}, runEepromRead},
    {"eeprom-write", "write FILE into the unit's EEPROM (asks Yes/No first)",
     "Writes the EEPROM text in FILE into the current channel's unit after a Yes/No question\n"
     "(--yes answers it), then reads it back to compare. The text must name the unit\n"
     "(a Name= line) and fit the EEPROM (at most 4095 bytes).\n",
     {{"FILE", Arity::One, checkNotEmpty}}, {}, runEepromWrite},
};
// clang-format on

} // namespace

std::span<const StepSpec> stepTable() {
    return kSteps;
}

std::string eepromTextForUnit(std::string_view fileText, std::string &error) {
    error.clear();
    if (const std::size_t at = fileText.find_first_of(std::string_view("\0\x07\x08", 3));
        at != std::string_view::npos) {
        error = "byte " + std::to_string(at) +
                " is a control byte the unit uses to separate its records";
        return {};
    }
    const std::string normal = UnitTextForEeprom(fileText);
    if (normal.empty()) {
        error = "the text is empty";
    } else if (normal.size() > kLongestEepromText) {
        error = "the text has " + std::to_string(normal.size()) + " bytes; at most " +
                std::to_string(kLongestEepromText) + " fit";
    } else if (serialFromEepromText(normal).empty()) {
        error = "no Name= line: the unit would start without a serial number";
    } else {
        // A text the unit cannot start from would stop the next start-up.
        error = ProblemOfUnitText(normal);
    }
    return error.empty() ? normal : std::string();
}

} // namespace quillon::cli
