// The Python module quillon: an Instrument over one program folder, scans as
// NumPy arrays, the simulator's commands. Every call into the core releases
// the GIL (a scan takes the integration time and more), and the core's
// failures arrive as exceptions carrying the program's text and exit code.
#include "datacontrol/settings_table.h"
#include "datacontrol/wavelength_calibration.h"
#include "instrument.h"
#include "photometry/colour_tables.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <string>

namespace py = pybind11;
using namespace quillon;
using namespace quillon::python;

namespace {

// The exception types, made once when the module loads. The module's
// attributes own them: handles, so that nothing is released after the
// interpreter has gone.
struct ErrorTypes {
    py::handle error;
    py::handle needsAnswer;
    py::handle unknownKey;
    py::handle badValue;
};
ErrorTypes &errorTypes() {
    static ErrorTypes types; // filled by the module's init, read under the GIL
    return types;
}

py::handle makeErrorType(py::module_ &module, const char *name, py::tuple bases, const char *doc) {
    const std::string qualified = std::string("quillon.") + name;
    PyObject *type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), nullptr);
    if (type == nullptr) {
        throw py::error_already_set();
    }
    module.attr(name) = py::reinterpret_steal<py::object>(type);
    return type;
}

// The folder of this module: the shipped tables lie beside it.
std::filesystem::path moduleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&moduleFolder), &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    std::error_code ec;
    const auto file = std::filesystem::canonical(info.dli_fname, ec);
    return ec ? std::filesystem::path() : file.parent_path();
}

[[noreturn]] void raiseError(const Error &error, const std::vector<std::string> &messages) {
    const ErrorTypes &types = errorTypes();
    const py::handle type = error.kind == Error::Kind::NeedsAnswer  ? types.needsAnswer
                            : error.kind == Error::Kind::UnknownKey ? types.unknownKey
                            : error.kind == Error::Kind::BadValue   ? types.badValue
                                                                    : types.error;
    py::object exception = type(error.what());
    exception.attr("code") = error.code;
    exception.attr("messages") = py::cast(messages);
    PyErr_SetObject(type.ptr(), exception.ptr());
    throw py::error_already_set();
}

// A core operation without the GIL; its Error raised with the texts told
// meanwhile. The instrument's mutex is only ever waited for without the GIL:
// a thread holding it may need the GIL for the script's answer function.
template <typename Operation>
auto callCore(Instrument &instrument, Operation &&operation) {
    std::optional<Error> failure;
    std::vector<std::string> told;
    {
        const py::gil_scoped_release released;
        const std::size_t mark = instrument.toldMark();
        try {
            return operation();
        } catch (const Error &error) {
            failure = error;
            told = instrument.toldSince(mark);
        }
    }
    raiseError(*failure, told);
}

// A setting's text as a Python value: numbers as numbers.
py::object settingValue(const std::string &key, const std::string &text) {
    const SettingKey *setting = SettingsTable::Find(key);
    const char *end = text.data() + text.size();
    if (setting != nullptr &&
        (setting->kind == SettingKind::Int || setting->kind == SettingKind::Long)) {
        long long number = 0;
        if (const auto r = std::from_chars(text.data(), end, number);
            r.ec == std::errc() && r.ptr == end) {
            return py::int_(number);
        }
    }
    if (setting != nullptr && setting->kind == SettingKind::Real) {
        double number = 0.0;
        if (const auto r = std::from_chars(text.data(), end, number);
            r.ec == std::errc() && r.ptr == end) {
            return py::float_(number);
        }
    }
    return py::str(text);
}

// A Python value as the text of an assignment; a whole float without ".0".
std::string settingText(const py::handle &value) {
    if (py::isinstance<py::bool_>(value)) {
        return value.cast<bool>() ? "1" : "0";
    }
    if (py::isinstance<py::float_>(value)) {
        const double number = value.cast<double>();
        if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15) {
            return std::to_string(static_cast<long long>(number));
        }
        return py::repr(value).cast<std::string>();
    }
    return py::str(value).cast<std::string>();
}

void passOnWarnings(const std::vector<std::string> &warnings);

using Assignments = std::vector<std::pair<std::string, std::string>>;

void applyAssignments(Instrument &instrument, const Assignments &assignments) {
    passOnWarnings(callCore(instrument, [&] { return instrument.applySettings(assignments); }));
}

std::optional<int> answerFrom(const py::object &reply, const std::vector<std::string> &choices) {
    if (reply.is_none()) {
        return std::nullopt;
    }
    if (py::isinstance<py::bool_>(reply) && choices.size() == 2 && choices[0] == "Yes") {
        return reply.cast<bool>() ? 0 : 1;
    }
    if (py::isinstance<py::int_>(reply)) {
        return reply.cast<int>();
    }
    const std::string text = py::str(reply).cast<std::string>();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (text.size() == choices[i].size() &&
            std::equal(text.begin(), text.end(), choices[i].begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

// The script's answer function, called from a core operation that has let
// the GIL go. An exception in it leaves the question unanswered.
PolicyPrompter::Ask askThrough(py::object function) {
    auto held = std::make_shared<py::object>(std::move(function));
    return [held](const std::string &text, const std::vector<std::string> &choices) {
        const py::gil_scoped_acquire acquired;
        try {
            return answerFrom((*held)(text, choices), choices);
        } catch (py::error_already_set &error) {
            error.discard_as_unraisable("quillon: the answer function");
            return std::optional<int>();
        }
    };
}

OpenOptions openOptions(const py::object &workdir, const py::object &simulate,
                        const py::object &answer, bool ignoreNoUnit, double wait) {
    OpenOptions options;
    const py::object fspath = py::module_::import("os").attr("fspath");
    if (!workdir.is_none()) {
        options.workdir = std::filesystem::path(fspath(workdir).cast<std::string>());
    }
    if (py::isinstance<py::bool_>(simulate)) {
        options.simulate = simulate.cast<bool>();
    } else if (!simulate.is_none()) {
        options.simulate = true;
        options.bench = fspath(simulate).cast<std::string>();
    }
    if (answer.is_none()) {
        options.policy = Policy::Ask;
    } else if (PyCallable_Check(answer.ptr()) != 0) {
        options.ask = askThrough(answer);
    } else {
        const std::string text = py::str(answer).cast<std::string>();
        if (text != "yes" && text != "no") {
            throw py::value_error("answer: 'yes', 'no', None or a function, not '" + text + "'");
        }
        options.policy = text == "yes" ? Policy::Yes : Policy::No;
    }
    options.ignoreNoUnit = ignoreNoUnit;
    if (!(wait >= 0.0) || wait > 3600.0) {
        throw py::value_error("wait: seconds from 0 to 3600");
    }
    options.folderLockWait = std::chrono::milliseconds(static_cast<long long>(wait * 1000.0));
    options.shippedTables = moduleFolder();
    return options;
}

// What a script gets of one scan.
struct PySpectrum {
    py::array_t<float> value;
    py::array_t<double> wavelength;
    py::array_t<double> wavenumber;
    py::object pixel; // None on the wavelength base
    std::string mode;
    std::string quantity;
    std::string unit;
    std::string base;
    int channel = 0;
};

PySpectrum toPython(Spectrum &&spectrum) {
    const auto n = static_cast<py::ssize_t>(spectrum.values.size());
    PySpectrum out;
    out.value = py::array_t<float>(n, spectrum.values.data());
    out.wavelength = py::array_t<double>(n, spectrum.wavelengths.data());
    out.wavenumber = py::array_t<double>(n);
    auto wavenumbers = out.wavenumber.mutable_unchecked<1>();
    for (py::ssize_t i = 0; i < n; ++i) {
        const double nm = spectrum.wavelengths[static_cast<std::size_t>(i)];
        wavenumbers(i) = nm > 0.0 ? wavenumberOf(nm) : std::nan("");
    }
    if (spectrum.wavelengthBase) {
        out.pixel = py::none();
    } else {
        py::array_t<int> pixels(n);
        auto numbers = pixels.mutable_unchecked<1>();
        for (py::ssize_t i = 0; i < n; ++i) {
            numbers(i) = static_cast<int>(i) + 1;
        }
        out.pixel = std::move(pixels);
    }
    out.mode = std::move(spectrum.mode);
    out.quantity = std::move(spectrum.quantity);
    out.unit = std::move(spectrum.unit);
    out.base = spectrum.wavelengthBase ? "wavelength" : "pixel";
    out.channel = spectrum.channel;
    return out;
}

py::object rangeOf(const std::string &text) {
    const auto dash = text.find('-');
    int start = 0;
    int end = 0;
    if (dash == std::string::npos ||
        std::from_chars(text.data(), text.data() + dash, start).ec != std::errc() ||
        std::from_chars(text.data() + dash + 1, text.data() + text.size(), end).ec != std::errc()) {
        return py::none();
    }
    return py::make_tuple(start, end);
}

py::object optionalNumber(const std::optional<float> &value) {
    return value ? py::object(py::float_(*value)) : py::object(py::none());
}

void passOnWarnings(const std::vector<std::string> &warnings) {
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string &warning : warnings) {
        warn(warning, py::module_::import("builtins").attr("UserWarning"), 2);
    }
}

ColourRequest colourRequest(const py::object &illuminant, const py::object &observer,
                            const py::object &reference) {
    ColourRequest request;
    if (!illuminant.is_none()) {
        const std::string name = py::str(illuminant).cast<std::string>();
        const auto &names = colour::kIlluminantNames;
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) {
            throw py::value_error("illuminant: 'A', 'C' or 'D65', not '" + name + "'");
        }
        request.illuminant = static_cast<int>(found - names.begin());
    }
    if (!observer.is_none()) {
        const int degrees = observer.cast<int>();
        if (degrees != 2 && degrees != 10) {
            throw py::value_error("observer: 2 or 10 (degree)");
        }
        request.observer = degrees == 2 ? 0 : 1;
    }
    if (!reference.is_none()) {
        const auto lab = reference.cast<std::vector<float>>();
        if (lab.size() != 3 ||
            !std::all_of(lab.begin(), lab.end(), [](float v) { return std::isfinite(v); })) {
            throw py::value_error("reference: three numbers L*, a*, b*");
        }
        request.referenceLab = std::array<float, 3>{lab[0], lab[1], lab[2]};
    }
    return request;
}

py::dict colourValues(const ColourMeasurement &measured) {
    py::dict values;
    values["illuminant"] = colour::kIlluminantNames[static_cast<std::size_t>(measured.illuminant)];
    values["observer"] = measured.observer == 0 ? 2 : 10;

    for (const auto &[name, value] : colourRows(measured.values)) {
        values[name] = value;
    }
    const std::uint32_t tile = measured.tile;
    values["tile"] = py::make_tuple(tile & 0xFFu, tile >> 8 & 0xFFu, tile >> 16 & 0xFFu);
    values["cct_K"] =
        measured.cctKelvin ? py::object(py::int_(*measured.cctKelvin)) : py::object(py::none());
    return values;
}

// Scans until `count` are taken; the last, or every one. A Ctrl-C between
// two scans ends the run with KeyboardInterrupt.
py::object scanMany(Instrument &instrument, long count, bool each) {
    if (count < 1) {
        throw py::value_error("n: at least 1 scan");
    }
    py::list every;
    py::object last = py::none();
    for (long k = 0; k < count; ++k) {
        Spectrum spectrum = callCore(instrument, [&] { return instrument.scan(); });
        if (each || k + 1 == count) {
            last = py::cast(toPython(std::move(spectrum)));
            if (each) {
                every.append(last);
            }
        }
        if (PyErr_CheckSignals() != 0) {
            throw py::error_already_set();
        }
    }
    return each ? py::object(every) : last;
}

// The settings of an instrument as a mapping: keys as the settings file
// names them, values checked and applied by the core.
struct SettingsView {
    std::shared_ptr<Instrument> instrument;
};

const char *kModuleDoc = R"(Quillon's instruments from Python.

quillon.open() starts the units of one program folder as the quillon command
does (start-up questions are answered by the `answer` argument, never by a
prompt), and returns an Instrument. Scans come back as Spectrum objects
holding NumPy arrays; settings are read and changed by their settings-file
keys. Closing (or leaving a `with` block) writes the settings back.

    import quillon
    with quillon.open(workdir="lab", simulate=True) as inst:
        inst.settings["IntTime"] = 50
        inst.dark(); inst.reference()
        inst.mode = "tr"
        spectrum = inst.scan()
        print(spectrum.wavelength, spectrum.value)

Failures raise quillon.Error (its `code` is the exit code the quillon command
gives for the same failure, `messages` the texts the program told meanwhile);
an unknown settings key raises quillon.UnknownKeyError (a KeyError), a value
refused quillon.BadValueError (a ValueError), an unanswered question
quillon.NeedsAnswerError.
)";

} // namespace

PYBIND11_MODULE(quillon, m) {
    m.doc() = kModuleDoc;
    ErrorTypes &types = errorTypes();
    types.error = makeErrorType(m, "Error", py::make_tuple(py::handle(PyExc_RuntimeError)),
                                "A failure of the program: its text, `code` (the exit code of "
                                "the quillon command for it) and `messages` (texts told).");
    types.needsAnswer = makeErrorType(m, "NeedsAnswerError", py::make_tuple(types.error),
                                      "A question was asked that no answer was given for "
                                      "(see quillon.open's `answer`).");
    types.unknownKey =
        makeErrorType(m, "UnknownKeyError", py::make_tuple(types.error, py::handle(PyExc_KeyError)),
                      "A settings key the program does not know (keys are case-sensitive).");
    types.badValue =
        makeErrorType(m, "BadValueError", py::make_tuple(types.error, py::handle(PyExc_ValueError)),
                      "A value the program refused; nothing was changed.");

    py::class_<PySpectrum>(m, "Spectrum", R"(One scan: NumPy arrays of equal length.

value       the values of the mode (float32), in `unit`
wavelength  nm of each value (NaN where the calibration gives none)
wavenumber  cm^-1 of each value
pixel       pixel numbers from 1 on the pixel base, None on the wavelength base
mode        "scope", "tr", "absorbance" or "irradiance"
quantity    the quantity as the quillon command's tables name it
unit        "counts", "%", "AU", "uW/cm^2/nm" or "lux/nm"
base        "pixel" or "wavelength"
channel     the channel it was taken on)")
        .def_readonly("value", &PySpectrum::value)
        .def_readonly("wavelength", &PySpectrum::wavelength)
        .def_readonly("wavenumber", &PySpectrum::wavenumber)
        .def_readonly("pixel", &PySpectrum::pixel)
        .def_readonly("mode", &PySpectrum::mode)
        .def_readonly("quantity", &PySpectrum::quantity)
        .def_readonly("unit", &PySpectrum::unit)
        .def_readonly("base", &PySpectrum::base)
        .def_readonly("channel", &PySpectrum::channel)
        .def("__len__", [](const PySpectrum &s) { return s.value.size(); })
        .def("__repr__", [](const PySpectrum &s) {
            return "<quillon.Spectrum " + s.mode + ", " + std::to_string(s.value.size()) +
                   " values on the " + s.base + " base, " + s.unit + ">";
        });

    py::class_<SettingsView>(m, "Settings",
                             R"(The settings by their keys, as `quillon set` takes them.

settings["IntTime"] = 50 applies one value; settings.update(IntTime=50, TimeAV=4)
applies several as one change (all are checked first; nothing changes when one
is refused). Values read back as numbers or text.)")
        .def("__getitem__",
             [](const SettingsView &v, const std::string &key) {
                 const std::string text =
                     callCore(*v.instrument, [&] { return v.instrument->setting(key); });
                 return settingValue(key, text);
             })
        .def("__setitem__",
             [](const SettingsView &v, const std::string &key, const py::object &value) {
                 applyAssignments(*v.instrument, {{key, settingText(value)}});
             })
        .def(
            "update",
            [](const SettingsView &v, const py::object &mapping, const py::kwargs &more) {
                Assignments assignments;
                if (!mapping.is_none()) {
                    for (const auto &item : py::dict(mapping)) {
                        assignments.emplace_back(py::str(item.first).cast<std::string>(),
                                                 settingText(item.second));
                    }
                }
                for (const auto &item : more) {
                    assignments.emplace_back(py::str(item.first).cast<std::string>(),
                                             settingText(item.second));
                }
                applyAssignments(*v.instrument, assignments);
            },
            py::arg("mapping") = py::none(), "Applies several values as one change.")
        .def("keys",
             [](const SettingsView &v) {
                 py::list keys;
                 for (const auto &[key, text] :
                      callCore(*v.instrument, [&] { return v.instrument->settings(); })) {
                     keys.append(key);
                 }
                 return keys;
             })
        .def("items",
             [](const SettingsView &v) {
                 py::list items;
                 for (const auto &[key, text] :
                      callCore(*v.instrument, [&] { return v.instrument->settings(); })) {
                     items.append(py::make_tuple(key, settingValue(key, text)));
                 }
                 return items;
             })
        .def("__iter__",
             [](const py::object &self) { return self.attr("keys")().attr("__iter__")(); })
        .def("__contains__",
             [](const py::object &self, const py::object &key) {
                 return self.attr("keys")().contains(key);
             })
        .def("__repr__", [](const py::object &self) {
            return "<quillon.Settings " +
                   py::repr(py::dict(self.attr("items")())).cast<std::string>() + ">";
        });

    py::class_<Instrument, std::shared_ptr<Instrument>>(m, "Instrument",
                                                        R"(The units of one program folder.

Made by quillon.open(). One Instrument may be used from several threads: its
operations run one at a time. Use it as a context manager, or call close().)")
        .def_property_readonly(
            "units",
            [](Instrument &inst) {
                py::list rows;
                for (const UnitRow &row : callCore(inst, [&] { return inst.units(); })) {
                    py::dict unit;
                    unit["channel"] = row.channel;
                    unit["slot"] = row.slot ? py::object(py::int_(*row.slot)) : py::none();
                    unit["serial"] = row.serial;
                    unit["sensor"] = row.sensor;
                    unit["pixels"] = row.pixels;
                    unit["range_nm"] = rangeOf(row.range);
                    unit["channel_id"] =
                        row.channelId ? py::object(py::int_(*row.channelId)) : py::none();
                    rows.append(unit);
                }
                return rows;
            },
            "One dict per channel: channel, slot (simulated units), serial, sensor, pixels, "
            "range_nm (calibrated range, a tuple) and channel_id.")
        .def_property(
            "channel",
            [](Instrument &inst) { return callCore(inst, [&] { return inst.channel(); }); },
            [](Instrument &inst, int channel) {
                callCore(inst, [&] { inst.setChannel(channel); });
            },
            "The current channel; setting it configures that unit (on the pixel base).")
        .def_property_readonly(
            "settings", [](const std::shared_ptr<Instrument> &inst) { return SettingsView{inst}; },
            "The settings by their keys (a quillon.Settings).")
        .def_property(
            "mode",
            [](Instrument &inst) { return callCore(inst, [&] { return inst.setting("mode"); }); },
            [](Instrument &inst, const std::string &mode) {
                applyAssignments(inst, {{"mode", mode}});
            },
            "The display mode: 'scope', 'tr', 'absorbance' or 'irradiance'.")
        .def_property(
            "base",
            [](Instrument &inst) { return callCore(inst, [&] { return inst.setting("base"); }); },
            [](Instrument &inst, const std::string &base) {
                applyAssignments(inst, {{"base", base}});
            },
            "The x base of the values: 'pixel' or 'wavelength' (the wavelength grid).")
        .def(
            "dark", [](Instrument &inst) { callCore(inst, [&] { inst.dark(); }); },
            "Takes a dark scan now, as the Dark button does.")
        .def(
            "reference", [](Instrument &inst) { callCore(inst, [&] { inst.reference(); }); },
            "Takes a reference scan now, as the Reference button does.")
        .def("scan", &scanMany, py::arg("n") = 1, py::arg("each") = false,
             "Takes n scans and returns the last as a Spectrum, or with each=True a list of "
             "all. Ctrl-C between two scans raises KeyboardInterrupt.")
        .def(
            "peaks",
            [](Instrument &inst) {
                py::list rows;
                for (const PeakRow &peak : callCore(inst, [&] { return inst.peaks(); })) {
                    py::dict row;
                    row["pixel"] = std::isnan(peak.pixel) ? py::object(py::none())
                                                          : py::object(py::float_(peak.pixel));
                    row["wavelength"] = peak.wavelength;
                    row["wavenumber"] =
                        peak.wavelength > 0.0 ? wavenumberOf(peak.wavelength) : std::nan("");
                    row["intensity"] = peak.intensity;
                    row["fwhm"] = peak.fwhm;
                    row["saturated"] = peak.saturated;
                    rows.append(row);
                }
                return rows;
            },
            "The peaks of the last scan (a new scan when there is none, or the settings "
            "changed since) with the peak settings, one dict each: pixel, wavelength, wavenumber, "
            "intensity, fwhm, saturated.")
        .def(
            "calibrate_irradiance",
            [](Instrument &inst, int distanceCm) {
                return callCore(inst,
                                [&] { return inst.calibrateIrradiance(distanceCm).string(); });
            },
            py::arg("distance_cm"),
            "Calibrates absolute irradiance: a scan of the reference lamp of OVlamp.txt at "
            "distance_cm with the current dark (take dark() first). Writes the unit's "
            "calibration file and returns its path; the told texts are in `messages`.")
        .def(
            "totals",
            [](Instrument &inst) {
                const Totals t = callCore(inst, [&] { return inst.totals(); });
                py::dict totals;
                totals["total_power_uW"] = optionalNumber(t.totalPower);
                totals["total_irradiance_uW_cm2"] = optionalNumber(t.totalIrradiance);
                totals["illuminance_lux"] = optionalNumber(t.illuminance);
                totals["luminous_flux_lm"] = optionalNumber(t.luminousFlux);
                totals["colour_temperature_K"] = t.colourTemperature;
                totals["distance_cm"] = t.distanceCm;
                totals["cone_angle_deg"] = t.coneAngle;
                return totals;
            },
            "A scan in absolute irradiance and its photometric totals as a dict; the quantities "
            "of the other form (irradiance or illuminance) are None.")
        .def(
            "colour",
            [](Instrument &inst, const py::object &illuminant, const py::object &observer,
               const py::object &reference) {
                const ColourRequest request = colourRequest(illuminant, observer, reference);
                const ColourMeasurement measured =
                    callCore(inst, [&] { return inst.colour(request); });
                passOnWarnings(measured.warnings);
                return colourValues(measured);
            },
            py::arg("illuminant") = py::none(), py::arg("observer") = py::none(),
            py::arg("reference") = py::none(),
            "A scan in T/R on the grid 400-700 nm at 10 nm and its colour, as the colour view "
            "measures it (needs a dark and a reference); the grid, base and mode are put back. "
            "illuminant 'A', 'C' or 'D65' and observer 2 or 10 are kept in the colour settings; "
            "dE is measured against the previous colour or against reference=(L*, a*, b*). "
            "Returns a dict: illuminant, observer, X, Y, Z, x, y, z, u, v, u', v', L*, a*, b*, "
            "L*(uv), u*, v*, C, h (radians), Hunter L, a, b, dE, tile (R, G, B) and cct_K.")
        .def(
            "sim",
            [](Instrument &inst, const std::string &command) {
                return callCore(inst, [&] { return inst.sim(command); });
            },
            py::arg("command"),
            "Runs one command of the simulated units, e.g. 'set 0 sample nd 25'; its reply.")
        .def_property_readonly(
            "messages",
            [](Instrument &inst) { return callCore(inst, [&] { return inst.told(); }); },
            "The texts the program told (messages and questions), oldest first.")
        .def_property_readonly(
            "no_device_mode",
            [](Instrument &inst) { return callCore(inst, [&] { return inst.noDeviceMode(); }); })
        .def_property_readonly(
            "folder",
            [](Instrument &inst) { return callCore(inst, [&] { return inst.folder().string(); }); },
            "The program folder.")
        .def_property_readonly(
            "closed",
            [](Instrument &inst) { return callCore(inst, [&] { return inst.closed(); }); })
        .def(
            "close", [](Instrument &inst) { callCore(inst, [&] { inst.close(); }); },
            "Writes the settings back and lets the folder go.")
        .def("__enter__", [](const py::object &self) { return self; })
        .def("__exit__", [](Instrument &inst, const py::object &, const py::object &,
                            const py::object &) { callCore(inst, [&] { inst.close(); }); });

    m.def(
        "open",
        [](const py::object &workdir, const py::object &simulate, const py::object &answer,
           bool ignoreNoUnit, double wait) {
            const OpenOptions options = openOptions(workdir, simulate, answer, ignoreNoUnit, wait);
            // No instrument exists yet to collect the texts of a failed start.
            try {
                const py::gil_scoped_release released;
                return std::make_shared<Instrument>(options);
            } catch (const Error &error) {
                raiseError(error, error.told);
            }
        },
        py::arg("workdir") = py::none(), py::arg("simulate") = false,
        py::arg("answer") = py::none(), py::arg("ignore_no_unit") = false, py::arg("wait") = 10.0,
        R"(Opens the program folder `workdir` (default: the current folder) and starts its units.

simulate        False: the units of OV_DRIVER; True: simulated units on the built-in
                bench; a path: simulated units on that bench file.
answer          None: a start-up question raises NeedsAnswerError; 'yes' or 'no'
                answers every question; a function f(text, choices) returns one
                of the choices (text or index; True/False for Yes/No) or None.
ignore_no_unit  with no unit found, go on in the no-device mode instead of raising.
wait            seconds to wait while another run holds the folder.

Only one Instrument is open in a process at a time.)");
}
