#include "photometry/irradiance.h"

#include "datafiles/byte_codec.h"
#include "photometry/color_calc.h"
#include "photometry/colour_tables.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace quillon {

namespace fs = std::filesystem;
using namespace irradiance;

namespace {

// At this share of the converter's ceiling a sensor is no longer linear,
// and an average of clipped frames lies just below the ceiling itself.
constexpr double kSaturatedShare = 0.99;
// Report lines stay far below this.
constexpr std::size_t kLineRoom = 256;
constexpr int kReportPixelOffset = 32;

template <typename... Args>
std::string format(const char *pattern, Args... args) {
    std::array<char, kLineRoom> line{};
    const int n = std::snprintf(line.data(), line.size(), pattern, args...);
    return std::string(line.data(), static_cast<std::size_t>(std::clamp<int>(n, 0, kLineRoom - 1)));
}

std::string upper(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string formatRange(double from, double to) {
    return format("%.1f to %.1f nm", from, to);
}

} // namespace

std::string irradiance_messages::noUnitFile(const std::string &name) {
    return "Failed to open the unit calibration file named [" + name + "].";
}

Irradiance::Irradiance(ChannelState &state, Prompter &userPrompter)
    : s(state), prompter(userPrompter) {}

Irradiance::~Irradiance() = default;

fs::path Irradiance::UnitFile() const {
    return s.programFolder / ("OVIrrad_" + std::to_string(s.channelId) + ".cal");
}

fs::path Irradiance::ReportFile() const {
    return fs::path(UnitFile()).replace_extension(".txt");
}

fs::path Irradiance::StandardFile() const {
    return s.programFolder / kStandardFile;
}

std::string Irradiance::UnitSerial() const {
    if (s.channels.empty() || s.currentChannel < 0 ||
        static_cast<std::size_t>(s.currentChannel) >= s.channels.size()) {
        return {};
    }
    return upper(s.currentInfo().unitFile.stem().string()).substr(0, kSerialBytes - 1);
}

bool Irradiance::absoluteForm() const {
    return !s.flags.option.test(option_bits::kRelativeIrradiance);
}

void Irradiance::createCalibration() {
    if (!calibration) {
        calibration = std::make_unique<IrradianceCalibration>();
        calibration->ratios.assign(s.geometry.activePixels, kOutsideLamp);
    }
    calibration->measuringDistance = s.settings.irradDist;
}

OpResult Irradiance::EnterIrradianceMode(bool forCalibration) {
    if (!paneEnabled()) {
        return OpResult::NotDone;
    }
    (void)MakePhotopicTable();
    if (!absoluteForm()) {
        MakeBlackbodyCurve(false);
        return OpResult::Done;
    }
    const bool own = platform::fileExists(UnitFile());
    if (!own && !forCalibration && !(s.channelCount == 1 && platform::fileExists(StandardFile()))) {
        prompter.message(irradiance_messages::kNoProperFile);
        s.settings.initPane &= ~8u;
        return OpResult::Failed;
    }
    createCalibration();
    s.settings.initPane |= 8u;
    if (!forCalibration) {
        if (LoadIrradFile() != OpResult::Done) {
            calibration.reset();
            return OpResult::Failed;
        }
        s.settings.irradDist = calibration->measuringDistance;
        // The totals are sums over the grid: the absolute form lives there.
        s.flags.option.set(option_bits::kWavelengthBase);
        if (s.flags.xUnit() == XUnit::Pixel) {
            s.flags.setXUnit(XUnit::Wavelength);
        }
        prepareColourEngine();
    }
    return OpResult::Done;
}

void Irradiance::LeaveIrradianceMode() {
    MakeBlackbodyCurve(true);
    calibration.reset();
    colourEngine.reset();
}

void Irradiance::MakeBlackbodyCurve(bool release) {
    s.buffers.blackbody.clear();
    if (release) {
        s.buffers.blackbody.shrink_to_fit();
        return;
    }
    const auto kelvin = static_cast<float>(s.settings.colorTemp);
    if (s.flags.option.test(option_bits::kWavelengthBase)) {
        const auto points = static_cast<std::size_t>(std::max(s.grid.count, 0));
        std::vector<float> wavelengths(points);
        for (std::size_t i = 0; i < points; ++i) {
            wavelengths[i] = static_cast<float>(s.grid.start + s.grid.interval * i);
        }
        s.buffers.blackbody.assign(points + 1, 0.0f);
        blackbodyCurve(wavelengths, kelvin, s.buffers.blackbody);
    } else {
        s.buffers.blackbody.assign(s.buffers.wavelengthTable.size() + 1, 0.0f);
        blackbodyCurve(s.buffers.wavelengthTable, kelvin, s.buffers.blackbody);
    }
}

OpResult Irradiance::MakePhotopicTable() {
    std::vector<float> &v = s.buffers.gridPhotopic;
    v.assign(static_cast<std::size_t>(std::max(s.grid.count, 0)), 0.0f);
    const auto wavelength = [&](std::size_t i) { return s.grid.start + s.grid.interval * i; };
    if (!s.settings.cie1931) {
        for (std::size_t i = 0; i < v.size(); ++i) {
            v[i] = photopicBuiltIn(wavelength(i));
        }
        return OpResult::Done;
    }
    constexpr std::size_t kValues = 40;
    const platform::FileContent file =
        platform::readRegularFile(s.programFolder / colour::kPhotopicFile, kValues * 4);
    if (!file || file.bytes->size() != kValues * 4) {
        prompter.message(irradiance_messages::kNoPhotopicFile);
        return OpResult::NotDone;
    }
    std::array<float, kValues> table{};
    datafiles::ByteReader in(*file.bytes);
    in.floats(table);
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[i] = photopicFromFile(table, wavelength(i));
    }
    return OpResult::Done;
}

void Irradiance::FollowGrid() {
    if (!paneEnabled()) {
        return;
    }
    (void)MakePhotopicTable();
    if (s.flags.displayMode() == DisplayMode::Irradiance && !absoluteForm()) {
        MakeBlackbodyCurve(false);
    }
}

OpResult Irradiance::LoadLampFile() {
    const auto text = platform::readWholeFile(s.programFolder / kLampFile);
    if (!text) {
        prompter.message(irradiance_messages::kNoLampFile);
        return OpResult::Failed;
    }
    std::string why;
    const auto lamp = parseLampFile(*text, true, why);
    if (!lamp) {
        prompter.message("The lamp calibration file OVLAMP.TXT cannot be used: " + why + ".");
        return OpResult::Failed;
    }
    const std::vector<float> &wl = s.buffers.wavelengthTable;
    if (wl.empty() || s.acquisition.calEndWavelength < lamp->startNm ||
        s.acquisition.calStartWavelength > lamp->endNm) {
        prompter.message(irradiance_messages::kLampMismatch);
        return OpResult::Failed;
    }
    createCalibration();
    IrradianceCalibration &c = *calibration;
    c.lampCount = lamp->count;
    c.lampStartWhole = lamp->startWhole;
    c.lampValue2 = static_cast<float>(lamp->value2);
    c.lampStep = static_cast<float>(lamp->stepNm);
    c.lampStart = std::max(static_cast<float>(lamp->startNm), wl.front());
    c.lampEnd = std::min(static_cast<float>(lamp->endNm), wl.back());
    const int n = static_cast<int>(wl.size());
    c.firstPixel = 0;
    while (c.firstPixel < n && wl[static_cast<std::size_t>(c.firstPixel)] < c.lampStart) {
        ++c.firstPixel;
    }
    c.lastPixel = n - 1;
    while (c.lastPixel >= 0 && wl[static_cast<std::size_t>(c.lastPixel)] > c.lampEnd) {
        --c.lastPixel;
    }
    c.calibrationIntegration = s.limits.current;
    UpdateGeometry();
    return OpResult::Done;
}

// The scan must be in the sensor's linear range and carry light.
OpResult Irradiance::checkCalibrationScan(int first, int last) {
    const std::vector<float> &wl = s.buffers.wavelengthTable;
    const double ceiling = kSaturatedShare * std::max(s.display.countMax, 1);
    int lowest = -1;
    int highest = -1;
    for (int i = first; i <= last; ++i) {
        if (s.buffers.spectrum[static_cast<std::size_t>(i)] >= ceiling) {
            lowest = lowest < 0 ? i : lowest;
            highest = i;
        }
    }
    if (lowest >= 0) {
        prompter.message("The calibration scan is saturated from " +
                         formatRange(wl[static_cast<std::size_t>(lowest)],
                                     wl[static_cast<std::size_t>(highest)]) +
                         ": lower the integration time and scan the lamp again.");
        return OpResult::Failed;
    }
    const int pixels = last - first + 1;
    if (pixels <= 0 || 2 * leftOut > pixels) {
        prompter.message("The calibration scan has no counts above the dark at " +
                         std::to_string(leftOut) + " of the " + std::to_string(pixels) +
                         " pixels of the lamp range: take a dark and a lamp scan, then "
                         "calibrate again.");
        return OpResult::Failed;
    }
    return OpResult::Done;
}

OpResult Irradiance::MakeIrradFile(const std::optional<std::vector<std::string>> &points) {
    if (!calibration || calibration->lastPixel < calibration->firstPixel) {
        prompter.message(irradiance_messages::kNoLampFile);
        return OpResult::Failed;
    }
    const auto text = platform::readWholeFile(s.programFolder / kLampFile);
    if (!text) {
        prompter.message(irradiance_messages::kNoLampFile);
        return OpResult::Failed;
    }
    std::string why;
    const auto lamp = parseLampFile(*text, false, why);
    if (!lamp) {
        prompter.message("The lamp calibration file OVLAMP.TXT cannot be used: " + why + ".");
        return OpResult::Failed;
    }
    if (!points) {
        prompter.message(irradiance_messages::kNoSetupFile);
        return OpResult::NotDone;
    }
    IrradianceCalibration &c = *calibration;
    const double ratio = lamp->referenceDistanceCm / c.calibrationDistance;
    const double factor = ratio * ratio;
    const std::size_t n = s.geometry.activePixels;
    std::vector<float> ratios(n, kOutsideLamp);
    leftOut = 0;
    for (int i = c.firstPixel; i <= c.lastPixel; ++i) {
        const auto p = static_cast<std::size_t>(i);
        const double counts = s.buffers.spectrum[p] - s.buffers.dark[p];
        if (counts > 0.0) {
            ratios[p] = static_cast<float>(
                lampIrradianceAt(*lamp, s.buffers.wavelengthTable[p], factor) / counts);
        } else {
            ++leftOut;
        }
    }
    if (checkCalibrationScan(c.firstPixel, c.lastPixel) != OpResult::Done) {
        return OpResult::Failed;
    }
    const std::vector<float> previous = std::move(c.ratios);
    c.ratios = ratios;
    CalibrationFile file;
    file.serial = UnitSerial();
    file.distanceCm = c.calibrationDistance;
    file.integrationTime = c.calibrationIntegration;
    file.ratios = ratios;
    std::string problem =
        platform::replaceBinaryFileWithReason(UnitFile(), encodeCalibration(file));
    if (problem.empty()) {
        problem =
            platform::replaceBinaryFileWithReason(ReportFile(), reportText(*lamp, factor, *points));
    }
    if (!problem.empty()) {
        c.ratios = previous;
        prompter.message("The irradiance calibration could not be written to " +
                         platform::pathText(UnitFile()) + ": " + problem);
        return OpResult::Failed;
    }
    UpdateGeometry();
    if (leftOut > 0) {
        prompter.message(std::to_string(leftOut) +
                         " pixels of the lamp range had no counts above the dark: the "
                         "calibration leaves them out.");
    }
    return OpResult::Done;
}

std::string Irradiance::reportText(const LampFile &lamp, double factor,
                                   const std::vector<std::string> &points) const {
    const IrradianceCalibration &c = *calibration;
    std::string out;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    out += format("Date = %02i/%02i/%04i   %02i:%02i:%02i\n", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    out += "Serial No. = " + UnitSerial() + "\n";
    out += format("Distance = %d cm\n", c.calibrationDistance);
    out += format("Intigration Time = %ld ms\n", static_cast<long>(c.calibrationIntegration));
    out += format("Pixel No. = %d(Starting from 1st pixel)\n",
                  static_cast<int>(s.geometry.activePixels));
    out += format("PointCount=%d\n", static_cast<int>(points.size()));
    for (std::size_t k = 0; k < points.size(); ++k) {
        const std::string &value = points[k];
        const std::size_t semicolon = value.find(';');
        const int pixel =
            semicolon == std::string::npos ? 0 : std::atoi(value.c_str() + semicolon + 1);
        out += format("Data %d=", static_cast<int>(k + 1)) + value.substr(0, semicolon) +
               format(";%d\n", pixel + kReportPixelOffset);
    }
    out += "\n\nWavelength(nm)\tCalibration Ratio(Irrad(uW/(cm^2*nm))/Counts)\n";
    for (int g = 0; g < s.grid.count && static_cast<std::size_t>(g) < s.buffers.gridIndex.size();
         ++g) {
        const double w = s.grid.start + s.grid.interval * g;
        if (w < c.lampStart || w > c.lampEnd) {
            continue;
        }
        const auto p = static_cast<std::size_t>(s.buffers.gridIndex[static_cast<std::size_t>(g)]);
        const double counts = s.buffers.spectrum[p] - s.buffers.dark[p];
        const double ratio = counts > 0.0 ? lampIrradianceAt(lamp, w, factor) / counts
                                          : static_cast<double>(kOutsideLamp);
        out += format("%10.2f\t%14.10f\n", w, ratio);
    }
    out += "\n\nPixel   Wavelength(nm)   Counts       Irradiance(uW/(cm^2*nm))    Calibration "
           "Ratio(Irrad/Counts)\n";
    for (std::size_t i = 0; i < c.ratios.size(); ++i) {
        const double w = s.buffers.wavelengthTable[i];
        if (c.ratios[i] == kOutsideLamp) {
            out += format("%d       %8.2f\n", static_cast<int>(i + 1), w);
            continue;
        }
        out += format("%d          %8.2f            %5.0f                    %14.10f         "
                      "            %14.10f\n",
                      static_cast<int>(i + 1), w,
                      static_cast<double>(s.buffers.spectrum[i] - s.buffers.dark[i]),
                      lampIrradianceAt(lamp, w, factor), static_cast<double>(c.ratios[i]));
    }
    return out;
}

OpResult Irradiance::readCalibration(const fs::path &path, bool checkSerial) {
    const platform::FileContent content = platform::readRegularFile(path);
    std::string why;
    std::optional<CalibrationFile> file;
    if (!content) {
        why = platform::readFailureText(content.failure);
    } else {
        file = decodeCalibration(*content.bytes, s.geometry.activePixels, why);
    }
    if (file && checkSerial && !file->serial.empty() && upper(file->serial) != UnitSerial()) {
        why = "it belongs to the unit " + file->serial + ", not to " + UnitSerial();
        file.reset();
    }
    if (!file) {
        prompter.message("The irradiance calibration file [" + path.filename().string() +
                         "] cannot be used: " + why + ".");
        return OpResult::Failed;
    }
    createCalibration();
    calibration->calibrationDistance = file->distanceCm;
    calibration->calibrationIntegration = file->integrationTime;
    calibration->ratios = std::move(file->ratios);
    UpdateGeometry();
    return OpResult::Done;
}

OpResult Irradiance::LoadIrradFile() {
    const fs::path own = UnitFile();
    if (platform::fileExists(own)) {
        return readCalibration(own, true);
    }
    const std::string missing = irradiance_messages::noUnitFile(own.filename().string());
    if (!platform::fileExists(StandardFile())) {
        prompter.message(missing + irradiance_messages::kNoStandardFile);
        return OpResult::Failed;
    }
    if (s.oldBoard) {
        return readCalibration(StandardFile(), false);
    }
    // The unit's own copy of the standard, under its serial.
    const platform::FileContent standard = platform::readRegularFile(StandardFile());
    std::string why;
    std::optional<CalibrationFile> file;
    if (standard) {
        file = decodeCalibration(*standard.bytes, s.geometry.activePixels, why);
    } else {
        why = platform::readFailureText(standard.failure);
    }
    if (!file) {
        prompter.message("The irradiance calibration file [" + std::string(kStandardFile) +
                         "] cannot be used: " + why + ".");
        return OpResult::Failed;
    }
    file->serial = UnitSerial();
    if (const std::string problem =
            platform::replaceBinaryFileWithReason(own, encodeCalibration(*file));
        !problem.empty()) {
        prompter.message("The irradiance calibration could not be written to " +
                         platform::pathText(own) + ": " + problem);
        return OpResult::Failed;
    }
    return readCalibration(own, true);
}

void Irradiance::UpdateGeometry() {
    if (calibration) {
        calibration->integrationRatio =
            s.limits.current != 0 ? static_cast<float>(calibration->calibrationIntegration) /
                                        static_cast<float>(s.limits.current)
                                  : 1.0f;
        s.photometry.areaFactor =
            areaFactor(s.photometry.coneAngle, calibration->measuringDistance);
    }
}

void Irradiance::SetCalibrationDistance(std::int32_t cm) {
    createCalibration();
    calibration->calibrationDistance = std::max(cm, 1);
}

void Irradiance::SetMeasuringDistance(std::int32_t cm) {
    s.settings.irradDist = std::max(cm, 1);
    if (calibration) {
        calibration->measuringDistance = s.settings.irradDist;
        UpdateGeometry();
    }
}

void Irradiance::prepareColourEngine() {
    colourEngine = std::make_unique<ColorCalc>(s, prompter);
    if (colourEngine->PrepareColorTemp() != OpResult::Done ||
        !platform::fileExists(s.programFolder / colour::kLocusFile)) {
        if (!platform::fileExists(s.programFolder / colour::kLocusFile)) {
            prompter.message(colour_messages::kNoLocusFile);
        }
        // Told once: the scans go on without a colour temperature.
        colourEngine.reset();
    }
}

float Irradiance::ComputeColorTemp() {
    if (!calibration || !colourEngine) {
        return 0.0f;
    }
    const std::optional<int> kelvin = colourEngine->FindColorTemp(false);
    calibration->colourTemperature = kelvin ? static_cast<float>(*kelvin) : 0.0f;
    return calibration->colourTemperature;
}

void Irradiance::ConvertScan(bool colourScaling) {
    const std::size_t active = s.geometry.activePixels;
    RelativeInputs in;
    in.spectrum = std::span<const float>(s.buffers.spectrum).first(active);
    in.dark = s.buffers.dark;
    in.threshold = s.signalThreshold;
    if (s.flags.status.test(status_bits::kOpticalBlackOn)) {
        s.scanParameters.darkMinusCurrent = s.scanParameters.darkOb - s.scanParameters.currentOb;
        s.scanParameters.darkMinusReference =
            s.scanParameters.darkOb - s.scanParameters.referenceOb;
        in.darkMinusCurrent = s.scanParameters.darkMinusCurrent;
        in.darkMinusReference = s.scanParameters.darkMinusReference;
    }
    const bool grid = s.flags.option.test(option_bits::kWavelengthBase);
    if (!grid) {
        if (s.buffers.blackbody.size() != active + 1) {
            std::fill(s.buffers.pixelResult.begin(), s.buffers.pixelResult.end(), 0.0f);
            return;
        }
        relativeOnPixelBase(in, s.buffers.reference, s.buffers.blackbody, s.buffers.pixelResult);
        return;
    }
    std::vector<float> &result = s.buffers.gridResult;
    if (!absoluteForm()) {
        if (s.buffers.blackbody.size() != result.size() + 1) {
            std::fill(result.begin(), result.end(), 0.0f);
            return;
        }
        relativeOnGrid(in, s.buffers.gridIndex, s.buffers.gridReferenceMinusDark,
                       s.buffers.blackbody, colourScaling ? s.settings.refWhite : 1.0, result);
        return;
    }
    PhotometricTotals &totals = s.photometry;
    totals.totalPower = totals.totalIrradiance = totals.illuminance = totals.luminousFlux = 0.0f;
    if (!calibration) {
        std::fill(result.begin(), result.end(), 0.0f);
        return;
    }
    absoluteOnGrid(in.spectrum, in.dark, s.buffers.gridIndex, calibration->ratios,
                   calibration->integrationRatio, result);
    if (s.flags.option.test(option_bits::kSkipPhotometry)) {
        return;
    }
    ComputeColorTemp();
    const auto step = static_cast<float>(s.grid.interval);
    if (s.settings.irradLux != 0) {
        totals.illuminance =
            static_cast<float>(toIlluminance(result, s.buffers.gridPhotopic)) * step;
        totals.luminousFlux = totals.illuminance * totals.areaFactor;
    } else {
        totals.totalIrradiance = static_cast<float>(sum(result)) * step;
        totals.totalPower = totals.totalIrradiance * totals.areaFactor;
    }
}

} // namespace quillon
