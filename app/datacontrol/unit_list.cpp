#include "datacontrol/unit_list.h"

#include "datacontrol/sensors.h"
#include "datacontrol/settings.h"
#include "datacontrol/simulated_units.h"
#include "datacontrol/wavelength_calibration.h"
#include "platform/files.h"

namespace quillon {

namespace {

struct UnitFacts {
    std::string sensor = "-";
    int pixels = 0;
    std::string range = "-";
};

// The factory calibration range of a unit file, as ReadCalData derives it.
std::string calibratedRange(ProfileFile &file, int pixels) {
    if (pixels < 1) {
        return "-";
    }
    const CalibrationFit fit = FitCalibration(file, sections::kCalData, pixels);
    if (fit.status != CalibrationStatus::Ok) {
        return "-";
    }
    return std::to_string(fit.startNm) + "-" + std::to_string(fit.endNm);
}

UnitFacts factsOfUnitFile(const std::filesystem::path &unitFile) {
    UnitFacts facts;
    ProfileFile file;
    file.SetPath(unitFile);
    if (unitFile.empty() || !file.Load()) {
        return facts;
    }
    const std::string ccd = file.GetText(sections::kFactoryDefault, "CCD");
    if (!ccd.empty()) {
        facts.sensor = ccd;
    }
    if (const auto sensor = sensorFromCcdName(ccd)) {
        if (const auto row = geometryFor(sensor->boardType)) {
            facts.pixels = row->activePixels;
        }
    }
    facts.range = calibratedRange(file, facts.pixels);
    return facts;
}

} // namespace

std::string unitSerial(const ChannelInfo &info) {
    if (info.onSerialIni != 0) {
        return files::kSerialIni;
    }
    return info.unitFile.empty() ? "-" : info.unitFile.stem().string();
}

std::vector<UnitRow> listUnits(DataControl &dc) {
    const SimReply list = runSimCommand("list");
    const std::vector<int> slots =
        list.result == 1 ? pluggedSlotsFromSimList(list.text) : std::vector<int>{};
    const ChannelState &state = dc.State();
    std::vector<UnitRow> rows;
    for (int channel = 0; channel < state.channelCount; ++channel) {
        const auto index = static_cast<std::size_t>(channel);
        const ChannelInfo &info = state.channels[index];
        const UnitFacts facts = factsOfUnitFile(info.unitFile);
        UnitRow row{channel,
                    std::nullopt,
                    unitSerial(info),
                    facts.sensor,
                    facts.pixels,
                    facts.range,
                    dc.Unit().readChannelId(channel)};
        if (index < slots.size()) {
            row.slot = slots[index];
        }
        if (channel == state.currentChannel) {
            // The configured channel: what this run actually uses.
            row.pixels = state.geometry.activePixels;
            row.range = std::to_string(state.acquisition.calStartWavelength) + "-" +
                        std::to_string(state.acquisition.calEndWavelength);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace quillon
