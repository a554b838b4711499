// The command language of the simulated bench (README.md documents it).
#include <algorithm>
#include <cstdio>

#include "sim/sim_driver.h"
#include "sim/text_util.h"

namespace ov::sim {
namespace {

constexpr const char *kHelp =
    "commands:\n"
    "  list                              units of the bench\n"
    "  show SLOT                         what a unit holds\n"
    "  set SLOT source dark|halogen [K]|lamp|hgar|led|d65\n"
    "  set SLOT level FACTOR             source brightness\n"
    "  set SLOT distance CM              source distance (inverse-square from 50 cm)\n"
    "  set SLOT sample none|nd T|glass|filter CENTRE WIDTH|tile R\n"
    "  set SLOT timing fast|realtime\n"
    "  set SLOT fwhm NM | seed N | strings maker|foreign\n"
    "  trigger SLOT [COUNT]              release frames under external trigger\n"
    "  unplug SLOT | replug SLOT\n"
    "  fail SLOT CODE COUNT              fail requests of a control code or command byte\n"
    "  timeout SLOT COUNT                let frame reads time out\n"
    "  clear SLOT                        drop injected faults\n"
    "  eeprom SLOT [erase]               show or empty the EEPROM\n"
    "  eeprom SLOT garble                the next EEPROM write stores a changed text\n"
    "  bench load PATH | bench default | bench status\n"
    "  help";

std::string hex(unsigned value, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", width, value);
    return buffer;
}

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

// Text after the first `count` words of `line`.
std::string_view restAfterWords(std::string_view line, int count) {
    std::size_t pos = 0;
    for (int i = 0; i < count; ++i) {
        pos = line.find_first_not_of(" \t", pos);
        pos = pos == std::string_view::npos ? line.size() : line.find_first_of(" \t", pos);
        if (pos == std::string_view::npos) {
            return {};
        }
    }
    return trim(line.substr(pos));
}

std::string describeUnit(const UnitStatus &s) {
    return "slot " + std::to_string(s.slot) + ": " + s.sensor + (s.plugged ? "" : " (unplugged)") +
           ", " + (s.realTime ? "realtime" : "fast") + ", source " + describeSource(s.source) +
           ", sample " + describeSample(s.sample) + ", channel ID " + std::to_string(s.channelId);
}

std::string showUnit(const UnitStatus &s) {
    return describeUnit(s) + "\n" +                                                        //
           "readout " + std::to_string(s.readoutLength) + " samples, " +                   //
           std::to_string(s.packetsPerFrame) + " packets of " +                            //
           std::to_string(s.samplesPerPacket) + " samples, remainder " +                   //
           std::to_string(s.remainder) + ", transfer " + std::to_string(s.transferBytes) + //
           " bytes, sample format " + std::to_string(s.sampleFormat) + "\n" +              //
           "integration " + number(s.integrationMs) + " ms (value " +                      //
           std::to_string(s.integrationValue) + ", unit " +                                //
           std::to_string(s.integrationUnit) + "), trigger " +                             //
           (s.externalTrigger ? "external" : "internal") + ", pending triggers " +         //
           std::to_string(s.pendingTriggers) + ", integration mode " +                     //
           std::to_string(s.integrationMode) + ", edge " + std::to_string(s.edge) +        //
           ", trigger requests internal " + std::to_string(s.internalTriggerRequests) +    //
           " external " + std::to_string(s.externalTriggerRequests) + "\n" +               //
           "tec " + std::to_string(s.tec) + ", cf " + std::to_string(s.cf) + ", skip " +   //
           std::to_string(s.skip) + ", safe memory " + std::to_string(s.safeMemory) +      //
           ", resister " + std::to_string(s.resister) + ", shutter " +                     //
           std::to_string(s.shutter) + (s.hasShutter ? "" : " (none fitted)") +            //
           ", filter wheel " + std::to_string(s.filterWheel) + "\n" +                      //
           "frames " + std::to_string(s.framesDelivered) + ", fwhm " + number(s.fwhmNm) +  //
           " nm, time-outs pending " + std::to_string(s.timeoutsPending) +                 //
           (s.foreignStrings ? ", foreign strings" : "");
}

} // namespace

std::string SimDriver::listUnits() const {
    std::string text;
    for (int slot = 0; slot < driver::kSlotCount; ++slot) {
        if (const auto u = unit(slot)) {
            text += describeUnit(u->status()) + "\n";
        }
    }
    return text.empty() ? "no units" : text.substr(0, text.size() - 1);
}

int SimDriver::command(std::string_view line, std::string &reply) {
    reply.clear();
    const auto words = splitWords(line);
    if (words.empty()) {
        reply = "empty command; try 'help'";
        return kCommandMalformed;
    }
    const auto verb = words[0];
    if (verb == "help") {
        reply = kHelp;
        return kCommandOk;
    }
    if (verb == "list") {
        reply = listUnits();
        return kCommandOk;
    }
    if (verb == "bench") {
        if (words.size() == 2 && words[1] == "default") {
            return loadBench(defaultBench(), reply) ? kCommandOk : kCommandBenchError;
        }
        if (words.size() == 2 && words[1] == "status") {
            reply = statusMessage();
            if (!reply.empty()) {
                return kCommandBenchError;
            }
            reply = "bench ready";
            return kCommandOk;
        }
        const auto path = restAfterWords(line, 2);
        if (words.size() < 3 || words[1] != "load" || path.empty()) {
            reply = "usage: bench load PATH | bench default | bench status";
            return kCommandMalformed;
        }
        return loadBench(loadBenchFile(std::filesystem::path(std::string(path))), reply)
                   ? kCommandOk
                   : kCommandBenchError;
    }
    return unitCommand(words, reply);
}

int SimDriver::unitCommand(const std::vector<std::string_view> &words, std::string &reply) {
    const auto verb = words[0];
    static constexpr std::string_view kUnitVerbs[] = {
        "show", "set", "trigger", "unplug", "replug", "fail", "timeout", "clear", "eeprom"};
    if (std::find(std::begin(kUnitVerbs), std::end(kUnitVerbs), verb) == std::end(kUnitVerbs)) {
        reply = "unknown command '" + std::string(verb) + "'; try 'help'";
        return kCommandUnknown;
    }
    const auto slotNumber = words.size() > 1 ? parseUnsigned(words[1]) : std::nullopt;
    if (!slotNumber || *slotNumber >= driver::kSlotCount) {
        reply = std::string(verb) + ": expected a slot 0..9";
        return kCommandMalformed;
    }
    const int slot = static_cast<int>(*slotNumber);
    const auto u = unit(slot);
    if (!u) {
        reply = "no unit on slot " + std::to_string(slot);
        return kCommandNoUnit;
    }
    const auto argument = [&](std::size_t i) {
        return words.size() > i ? parseUnsigned(words[i]) : std::nullopt;
    };
    if (verb == "show" && words.size() == 2) {
        reply = showUnit(u->status());
        return kCommandOk;
    }
    if (verb == "set" && words.size() >= 4) {
        return setCommand(*u, words, reply);
    }
    if (verb == "trigger" && words.size() <= 3) {
        const auto count = words.size() == 3 ? argument(2) : std::optional<std::uint64_t>(1);
        if (count && *count >= 1 && *count <= 1000000) {
            u->injectTriggers(static_cast<int>(*count));
            reply = "slot " + std::to_string(slot) + ": " + std::to_string(*count) + " trigger(s)";
            return kCommandOk;
        }
    }
    if ((verb == "unplug" || verb == "replug" || verb == "clear") && words.size() == 2) {
        if (verb == "unplug") {
            u->unplug();
        } else if (verb == "replug") {
            std::uint64_t generation = 0;
            {
                std::lock_guard lock(mutex_);
                generation = newGeneration();
            }
            u->replug(generation);
        } else {
            u->clearFaults();
        }
        reply = "slot " + std::to_string(slot) + ": " + std::string(verb) + " done";
        return kCommandOk;
    }
    if (verb == "fail" && words.size() == 4) {
        const auto code = argument(2);
        const auto count = argument(3);
        if (code && count && *code <= 0xFFFFFFFFu && *count <= 1000000) {
            u->failNext(static_cast<std::uint32_t>(*code), static_cast<int>(*count));
            reply = "slot " + std::to_string(slot) + ": next " + std::to_string(*count) +
                    " request(s) of " + (*code > 0xFF ? "control code 0x" : "command 0x") +
                    hex(static_cast<unsigned>(*code), *code > 0xFF ? 8 : 2) + " fail";
            return kCommandOk;
        }
    }
    if (verb == "timeout" && words.size() == 3) {
        if (const auto count = argument(2); count && *count <= 1000000) {
            u->timeoutNext(static_cast<int>(*count));
            reply = "slot " + std::to_string(slot) + ": next " + std::to_string(*count) +
                    " read(s) time out";
            return kCommandOk;
        }
    }
    if (verb == "eeprom" && words.size() == 2) {
        reply = u->eepromText();
        return kCommandOk;
    }
    if (verb == "eeprom" && words.size() == 3 && words[2] == "garble") {
        u->garbleNextEepromWrite();
        reply = "slot " + std::to_string(slot) + ": the next EEPROM write stores a changed text";
        return kCommandOk;
    }
    if (verb == "eeprom" && words.size() == 3 && words[2] == "erase") {
        u->eraseEeprom();
        reply = "slot " + std::to_string(slot) + ": EEPROM erased";
        return kCommandOk;
    }
    reply = "malformed '" + std::string(verb) + "' command; try 'help'";
    return kCommandMalformed;
}

int SimDriver::setCommand(VirtualUnit &u, const std::vector<std::string_view> &words,
                          std::string &reply) {
    const auto what = words[2];
    std::string rest;
    for (std::size_t i = 3; i < words.size(); ++i) {
        rest += std::string(words[i]) + (i + 1 < words.size() ? " " : "");
    }
    std::string error;
    if (what == "source") {
        SourceSettings source = u.status().source;
        error = parseSource(rest, source);
        if (error.empty()) {
            u.setSource(source);
        }
    } else if (what == "sample") {
        SampleSettings sample;
        error = parseSample(rest, sample);
        if (error.empty()) {
            u.setSample(sample);
        }
    } else if (what == "distance") {
        const auto v = words.size() == 4 ? parseDouble(words[3]) : std::nullopt;
        if (!v || *v < 1.0 || *v > 100000.0) {
            error = "distance needs a number of cm from 1 to 100000";
        } else {
            SourceSettings source = u.status().source;
            source.distanceCm = *v;
            u.setSource(source);
        }
    } else if (what == "level" || what == "fwhm") {
        const auto v = words.size() == 4 ? parseDouble(words[3]) : std::nullopt;
        const double max = what == "level" ? 1e6 : 100.0;
        if (!v || *v < 0.0 || *v > max || (what == "fwhm" && *v < 0.01)) {
            error = std::string(what) + " needs a number in range";
        } else if (what == "level") {
            u.setSourceLevel(*v);
        } else {
            u.setFwhm(*v);
        }
    } else if (what == "timing" && words.size() == 4 &&
               (words[3] == "fast" || words[3] == "realtime")) {
        u.setTiming(words[3] == "realtime");
    } else if (what == "seed" && words.size() == 4 && parseUnsigned(words[3])) {
        u.reseed(*parseUnsigned(words[3]));
    } else if (what == "strings" && words.size() == 4 &&
               (words[3] == "maker" || words[3] == "foreign")) {
        u.setForeignStrings(words[3] == "foreign");
    } else {
        error = "expected set SLOT source|sample|level|distance|timing|fwhm|seed|strings VALUE";
    }
    if (!error.empty()) {
        reply = error;
        return kCommandMalformed;
    }
    reply = "slot " + std::to_string(u.slot()) + ": " + std::string(what) + " " + rest;
    return kCommandOk;
}

} // namespace ov::sim
