#include "datacontrol/calibration_sets.h"

#include "datacontrol/acquisition_hold.h"
#include "datacontrol/channel_setup.h"
#include "datacontrol/messages.h"
#include "datacontrol/profile_file.h"
#include "datacontrol/sensors.h"
#include "datacontrol/settings.h"
#include "datacontrol/wavelength_axis.h"
#include "platform/files.h"
#include "platform/local_time.h"
#include "shipped_lines.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace quillon {

namespace {

constexpr const char *kLineSection = "Hg-Ar Line";

std::string dataKey(int k) {
    return "Data " + std::to_string(k);
}

std::vector<StoredPoint> pointsOfSection(ProfileFile &file, const std::string &section) {
    std::vector<StoredPoint> points;
    const int count = file.GetInt(section, "PointCount");
    for (int k = 1; k <= std::min(count, OV_MAX_CAL_POINTS); ++k) {
        const CalibrationPoint p = parseCalibrationPoint(file.GetText(section, dataKey(k)));
        points.push_back(
            {static_cast<int>(std::lround(p.wavelengthNm * 10.0)), static_cast<int>(p.pixel)});
    }
    return points;
}

// Replaces the point list of a section: the old "Data k" go, the new ones
// and their count come, with the date of the change.
void putPoints(ProfileFile &file, const std::string &section, std::span<const StoredPoint> points) {
    const int oldCount = file.GetInt(section, "PointCount");
    file.RemoveEntry(section, "PointCount");
    for (int k = 1; k <= std::max(oldCount, 0); ++k) {
        file.RemoveEntry(section, dataKey(k));
    }
    file.PutText(section, "Date", calibrationDateNow());
    for (std::size_t k = 0; k < points.size(); ++k) {
        file.PutText(section, dataKey(static_cast<int>(k) + 1), pointText(points[k]));
    }
    file.PutInt(section, "PointCount", static_cast<std::int32_t>(points.size()));
}

} // namespace

std::string calibrationDateNow() {
    const std::tm t = platform::localTime(std::time(nullptr));
    char text[40];
    std::snprintf(text, sizeof text, "%02i/%02i/%04i  %02i:%02i:%02i", t.tm_mon + 1, t.tm_mday,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::filesystem::path CalibrationSets::unitFile() const {
    if (s.currentChannel < 0 || static_cast<std::size_t>(s.currentChannel) >= s.channels.size()) {
        return {};
    }
    return s.channels[static_cast<std::size_t>(s.currentChannel)].unitFile;
}

std::string CalibrationSets::factorySetName() const {
    ProfileFile unit(unitFile());
    return unit.Load() ? unit.GetText(sections::kFactoryDefault, "Name") : std::string();
}

std::optional<std::vector<std::string>> CalibrationSets::SetNames(std::string &problem) const {
    ProfileFile main(s.mainSettingsPath);
    if (!main.Load() && platform::fileExists(s.mainSettingsPath)) {
        problem = messages::kOpenMainInCalibration;
        return std::nullopt;
    }
    ProfileFile unit(unitFile());
    if (!unit.Load()) {
        problem = messages::kOpenUnitInCalibration;
        return std::nullopt;
    }
    std::vector<std::string> names{unit.GetText(sections::kFactoryDefault, "Name") +
                                   kFactorySetMark};
    for (int n = 1;; ++n) {
        const std::string name = main.GetText(sections::customCalibration(n), "Name");
        if (name.empty()) {
            break;
        }
        names.push_back(name);
    }
    return names;
}

std::vector<StoredPoint> CalibrationSets::PointsOfSet(int number) const {
    if (number < 1) {
        ProfileFile unit(unitFile());
        return unit.Load() ? pointsOfSection(unit, sections::kCalData) : std::vector<StoredPoint>{};
    }
    ProfileFile main(s.mainSettingsPath);
    return main.Load() ? pointsOfSection(main, sections::customCalibration(number))
                       : std::vector<StoredPoint>{};
}

std::vector<double> CalibrationSets::DatabaseLines() const {
    ProfileFile main(s.mainSettingsPath);
    std::vector<double> lines;
    if (main.Load()) {
        const int count = main.GetInt(kLineSection, "LineCount");
        for (int k = 1; k <= std::min(count, 1000); ++k) {
            const double tenths =
                std::round(main.GetReal(kLineSection, "Line " + std::to_string(k)));
            if (tenths > 0.0) {
                lines.push_back(tenths / 10.0);
            }
        }
    }
    if (lines.empty()) {
        std::string error;
        lines = linesOfTable(shipped::kHgArLines, error);
    }
    return lines;
}

std::optional<int> CalibrationSets::SaveCustomSet(const std::string &name, int number,
                                                  std::span<const StoredPoint> points) {
    ProfileFile main(s.mainSettingsPath);
    // A file that exists but cannot be read would lose the user's settings.
    if (!main.Load() && platform::fileExists(s.mainSettingsPath)) {
        prompter.message(messages::kSaveCalibrationSet + platform::pathText(s.mainSettingsPath));
        return std::nullopt;
    }
    if (number < 1) {
        number = 1;
        while (!main.GetText(sections::customCalibration(number), "Name").empty()) {
            ++number;
        }
    }
    const std::string section = sections::customCalibration(number);
    for (const char *key : {"Name", "Channel", "IntTime"}) {
        main.RemoveEntry(section, key);
    }
    main.PutText(section, "Name", name);
    putPoints(main, section, points);
    main.PutInt(section, "Channel", s.channelId);
    main.PutInt(section, "IntTime", s.limits.current);
    if (!main.Save()) {
        prompter.message(messages::kSaveCalibrationSet + platform::pathText(s.mainSettingsPath));
        return std::nullopt;
    }
    return number;
}

OpResult CalibrationSets::ApplySet(int number) {
    const SuspendedAcquisition quiet(hold, HoldBy::Change);
    if (!quiet.paused()) {
        prompter.message(messages::kAcquisitionDidNotPause);
        return OpResult::Failed;
    }
    const int previousNumber = s.settings.calNo;
    const std::string previousName = s.settings.modelName;
    if (number < 1) {
        number = s.currentInfo().onSerialIni != 0 ? -1 : 0;
        s.settings.modelName = factorySetName();
    } else {
        ProfileFile main(s.mainSettingsPath);
        s.settings.modelName =
            main.Load() ? main.GetText(sections::customCalibration(number), "Name") : "";
    }
    s.settings.calNo = number;
    OpResult result = axis.ReadCalData();
    if (result == OpResult::Done) {
        result = axis.RebuildWavelengthGrid();
    }
    if (result != OpResult::Done) {
        // The set could not be used: the one before stays in use.
        s.settings.calNo = previousNumber;
        s.settings.modelName = previousName;
        axis.ReadCalDataOrPixelAxis();
        (void)axis.RebuildWavelengthGrid();
        prompter.message(messages::kCalibrationSetKept);
    }
    return result;
}

EepromWriteOutcome CalibrationSets::SaveInEeprom(const std::string &name,
                                                 std::span<const StoredPoint> points) {
    EepromWriteOutcome outcome;
    const std::string stem = files::safeFileStem(name);
    if (stem.empty()) {
        outcome.report = messages::kNoSetName;
        prompter.message(outcome.report);
        return outcome;
    }
    const std::filesystem::path oldFile = unitFile();
    const std::filesystem::path newFile = s.iniFolder / (stem + files::kUnitFileExtension);
    for (const ChannelInfo &other : s.channels) {
        if (other.unitFile == newFile && newFile != oldFile) {
            outcome.report = messages::kSetNameOfOtherUnit + name;
            prompter.message(outcome.report);
            return outcome;
        }
    }
    ProfileFile unit(oldFile);
    if (!unit.Load()) {
        outcome.report = messages::kOpenUnitInCalibration;
        prompter.message(outcome.report);
        return outcome;
    }
    const char *factory = sections::kFactoryDefault;
    const bool onSerialIni = s.currentInfo().onSerialIni != 0;
    if (onSerialIni) {
        const auto ccd = ccdNameFor(s.geometry.boardType, s.currentInfo().inGaAsKind);
        for (const char *key : {"Name", "CCD", "Channel", "IntTime", "InitPane"}) {
            unit.RemoveEntry(factory, key);
        }
        unit.PutText(factory, "Name", name);
        if (ccd) {
            unit.PutText(factory, "CCD", *ccd);
        }
    } else {
        if (!prompter.askYesNo(messages::kLoseEepromData)) {
            outcome.result = OpResult::NotDone;
            return outcome;
        }
        for (const char *key : {"Name", "Channel", "IntTime"}) {
            unit.RemoveEntry(factory, key);
        }
        unit.PutText(factory, "Name", name);
    }
    unit.PutInt(factory, "Channel", s.channelId);
    unit.PutInt(factory, "IntTime", s.limits.current);
    if (onSerialIni) {
        unit.PutInt(factory, "InitPane", static_cast<std::int32_t>(s.settings.initPane));
    }
    putPoints(unit, sections::kCalData, points);
    const std::string text = unit.ToText();

    // The unit first: the file follows only what the unit is proven to hold.
    outcome = setup.WriteEeprom(text);
    if (outcome.result != OpResult::Done) {
        return outcome;
    }
    if (!platform::replaceTextFile(newFile, text)) {
        outcome.result = OpResult::Failed;
        outcome.report +=
            "\n" + std::string(messages::kUnitFileNotWritten) + platform::pathText(newFile);
        prompter.message(messages::kUnitFileNotWritten + platform::pathText(newFile));
        return outcome;
    }
    if (newFile != oldFile) {
        platform::removeFileQuietly(oldFile);
    }
    s.currentInfo().unitFile = newFile;
    s.currentInfo().onSerialIni = 0;
    return outcome;
}

} // namespace quillon
