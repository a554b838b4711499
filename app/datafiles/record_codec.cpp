#include "datafiles/record_codec.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quillon::datafiles {

namespace {
constexpr std::size_t kGeometryPolynomialOffset = 28;
// The largest readout of any sensor is 3680 samples; a u16 count above this
// margin is a damaged or foreign file, never a unit.
constexpr std::uint16_t kMaxFilePixels = 16384;
} // namespace

void writeModel(ByteWriter &out, const ModelRecord &model) {
    out.text(model.name, kModelNameBytes);
    out.i32(model.boardType);
    out.zeros(4);
    out.f32(model.scanValue);
}

ModelRecord readModel(ByteReader &in) {
    ModelRecord model;
    model.name = in.text(kModelNameBytes);
    model.boardType = in.i32();
    in.skip(4);
    model.scanValue = in.f32();
    return model;
}

void writeGeometry(ByteWriter &out, const SensorGeometry &g) {
    const std::size_t start = out.size();
    out.u16(g.totalPixels);
    out.u16(g.obStart);
    out.u16(g.obCount);
    out.u16(g.firstActivePixel);
    out.u16(g.activePixels);
    out.u16(g.adcBits);
    out.u16(g.boardType);
    out.u16(g.inGaAsKind);
    out.i16(g.speedMode);
    out.i16(g.newDevice);
    out.u16(g.fftLength);
    out.zeros(kGeometryPolynomialOffset - (out.size() - start));
    out.floats(g.wavelengthOfPixel);
    out.floats(g.pixelOfWavelength);
    out.f32(g.spare);
}

SensorGeometry readGeometry(ByteReader &in) {
    const std::size_t start = in.position();
    SensorGeometry g;
    g.totalPixels = in.u16();
    g.obStart = in.u16();
    g.obCount = in.u16();
    g.firstActivePixel = in.u16();
    g.activePixels = in.u16();
    g.adcBits = in.u16();
    g.boardType = in.u16();
    g.inGaAsKind = in.u16();
    g.speedMode = in.i16();
    g.newDevice = in.i16();
    g.fftLength = in.u16();
    in.seek(start + kGeometryPolynomialOffset);
    in.floats(g.wavelengthOfPixel);
    in.floats(g.pixelOfWavelength);
    g.spare = in.f32();
    return g;
}

void writeAcquisition(ByteWriter &out, const AcquisitionRecord &a) {
    out.u16(a.calStartWavelength);
    out.u16(a.calEndWavelength);
    out.u16(a.timeAverage);
    out.u16(a.binningAverage);
    out.u16(a.smoothingPercent);
    out.zeros(kAcquisitionRecordBytes - 10);
}

AcquisitionRecord readAcquisition(ByteReader &in) {
    AcquisitionRecord a;
    a.calStartWavelength = in.u16();
    a.calEndWavelength = in.u16();
    a.timeAverage = in.u16();
    a.binningAverage = in.u16();
    a.smoothingPercent = in.u16();
    in.skip(kAcquisitionRecordBytes - 10);
    return a;
}

void writeDisplay(ByteWriter &out, const DisplayRecord &d) {
    out.i32(d.pixelStart);
    out.i32(d.pixelEnd);
    out.i32(d.countMin);
    out.i32(d.countMax);
    for (const float v : {d.wavelengthStart, d.wavelengthEnd, d.wavelengthStep, d.trMin, d.trMax,
                          d.absMin, d.absMax, d.irrMin, d.irrMax, d.spare}) {
        out.f32(v);
    }
}

DisplayRecord readDisplay(ByteReader &in) {
    DisplayRecord d;
    d.pixelStart = in.i32();
    d.pixelEnd = in.i32();
    d.countMin = in.i32();
    d.countMax = in.i32();
    for (float *v : {&d.wavelengthStart, &d.wavelengthEnd, &d.wavelengthStep, &d.trMin, &d.trMax,
                     &d.absMin, &d.absMax, &d.irrMin, &d.irrMax, &d.spare}) {
        *v = in.f32();
    }
    return d;
}

void writeLimits(ByteWriter &out, const IntegrationLimits &l) {
    out.i32(l.current);
    out.i32(l.minimum);
    out.i32(l.maximum);
}

IntegrationLimits readLimits(ByteReader &in) {
    IntegrationLimits l;
    l.current = in.i32();
    l.minimum = in.i32();
    l.maximum = in.i32();
    return l;
}

void writeDarkCondition(ByteWriter &out, const DarkCondition &c) {
    out.f32(c.noiseEstimate);
    out.floats(c.spare);
}

DarkCondition readDarkCondition(ByteReader &in) {
    DarkCondition c;
    c.noiseEstimate = in.f32();
    in.floats(c.spare);
    return c;
}

std::string_view modelNameOfBoard(int boardType) {
    static constexpr std::array<std::string_view, 6> kNames = {
        "Quillon ILX511",    "Quillon TCD1304", "Quillon PDA",
        "Quillon InGaAs512", "Quillon S10420",  "Quillon InGaAs256"};
    if (boardType < 0 || boardType >= static_cast<int>(kNames.size())) {
        return "Quillon 2422";
    }
    return kNames[static_cast<std::size_t>(boardType)];
}

bool isKnownModelName(std::string_view name) {
    static constexpr std::array<std::string_view, 10> kKnown = {
        "Quillon ILX511",    "Quillon TCD1304",  "Quillon PDA",      "Quillon InGaAs",
        "Quillon 2422",      "Quillon S10420",   "Quillon ILX511HS", "Quillon S10420HS",
        "Quillon InGaAs512", "Quillon InGaAs256"};
    const auto sameIgnoringCase = [name](std::string_view known) {
        return std::equal(name.begin(), name.end(), known.begin(), known.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) ==
                   std::tolower(static_cast<unsigned char>(b));
        });
    };
    return std::any_of(kKnown.begin(), kKnown.end(), sameIgnoringCase);
}

std::string problemOfGeometry(const SensorGeometry &g) {
    if (g.activePixels == 0 || g.activePixels > kMaxFilePixels || g.totalPixels > kMaxFilePixels) {
        return "its pixel count (" + std::to_string(g.activePixels) + ") is not a sensor's";
    }
    if (static_cast<int>(g.firstActivePixel) + g.activePixels > g.totalPixels) {
        return "its active pixels lie outside the sensor's frame";
    }
    if (g.obCount > 0 && (g.obStart == 0 || g.obStart - 1 + g.obCount > g.totalPixels)) {
        return "its optical-black pixels lie outside the sensor's frame";
    }
    if (g.adcBits == 0 || g.adcBits > 16) {
        return "its converter resolution (" + std::to_string(g.adcBits) + " bits) is not a unit's";
    }
    if (g.boardType > 5) {
        return "its sensor code (" + std::to_string(g.boardType) + ") is unknown";
    }
    return {};
}

} // namespace quillon::datafiles
