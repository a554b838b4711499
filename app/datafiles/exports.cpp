#include "datafiles/exports.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <limits>

namespace quillon::exports {
namespace {

constexpr const char *kCrLf = "\r\n";

// ---------------------------------------------------------------------------
// Number formatting. The printf forms of the fixed formats are rebuilt from
// std::to_chars, whose precision overloads are defined as printf in the "C"
// locale: a GUI that switches the process locale cannot turn the decimal
// point into a comma.

// printf("%.*f", precision, v).
std::string fixedText(double v, int precision) {
    std::array<char, 400> buf{}; // DBL_MAX has 309 integer digits
    const auto r =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, precision);
    return std::string(buf.data(), r.ptr);
}

std::string intText(long long v) {
    std::array<char, 24> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), r.ptr);
}

// The '-' flag: left-justified in `width` columns.
std::string leftIn(std::string s, std::size_t width) {
    if (s.size() < width) {
        s.append(width - s.size(), ' ');
    }
    return s;
}

// printf("%0*i", width, v): zeros after the sign.
std::string zeroPadded(long long v, std::size_t width) {
    std::string digits = intText(v < 0 ? -v : v);
    const std::size_t signWidth = v < 0 ? 1 : 0;
    if (digits.size() + signWidth < width) {
        digits.insert(0, width - digits.size() - signWidth, '0');
    }
    return v < 0 ? "-" + digits : digits;
}

// Shortest text that reads back as the same float (or double).
template <typename T>
std::string shortestText(T v) {
    std::array<char, 64> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), r.ptr);
}

// Shortest round-trip text without an exponent, for readers that take plain
// decimals only.
std::string shortestFixedText(double v) {
    std::array<char, 400> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed);
    return std::string(buf.data(), r.ptr);
}

// An AFFN number for JCAMP-DX: a plain decimal while that stays short (some
// readers take nothing else in data lines), else with an E exponent.
std::string jcampNumber(double v) {
    std::string s = shortestFixedText(v);
    if (s.size() <= 24) {
        return s;
    }
    s = shortestText(v);
    std::replace(s.begin(), s.end(), 'e', 'E');
    return s;
}

double wavenumberOf(double wavelengthNm) {
    return wavelengthNm > 0.0 ? 1e7 / wavelengthNm : 0.0;
}

// A displayed value as the integer the counts table shows: truncated toward
// zero, with values no int can hold pinned instead of left undefined.
int truncatedCount(float v) {
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= 2147483648.0f) {
        return INT_MAX;
    }
    if (v <= -2147483648.0f) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

std::string captureTimeText(const CaptureTime &t) {
    return zeroPadded(t.month, 2) + "/" + zeroPadded(t.day, 2) + "/" + zeroPadded(t.year, 4) +
           "   " + zeroPadded(t.hour, 2) + ":" + zeroPadded(t.minute, 2) + ":" +
           zeroPadded(t.second, 2);
}

std::string measurementTimeText(const ExportBlock &block) {
    return block.itemTime ? *block.itemTime : captureTimeText(block.now);
}

// ---------------------------------------------------------------------------
// The points in view, shared by every form.

bool pixelUnit(const ExportAxis &axis) {
    return axis.unit == AxisUnit::Pixel;
}
bool wavenumberUnit(const ExportAxis &axis) {
    return axis.unit == AxisUnit::Wavenumber;
}

std::size_t largestBlock(std::span<const ExportBlock> blocks) {
    std::size_t n = 0;
    for (const auto &b : blocks) {
        n = std::max(n, b.values.size());
    }
    return n;
}

// Indexes into `values` of the view's points in ascending order: grid points
// firstIndex.. on the calibrated axis, pixels firstPixel..lastPixel (values
// index p - 1) on pixel-held data; limited to 0..size-1.
struct IndexRange {
    long long first = 0;
    long long end = 0; // one past the last
    bool empty() const { return end <= first; }
    long long count() const { return empty() ? 0 : end - first; }
};

IndexRange viewIndexes(const ExportAxis &axis, std::size_t size) {
    const auto n = static_cast<long long>(size);
    IndexRange r;
    if (axis.calibratedAxis) {
        r.first = std::max<long long>(axis.firstIndex, 0);
        r.end = std::min<long long>(static_cast<long long>(axis.firstIndex) + axis.pointCount, n);
    } else {
        r.first = std::max<long long>(axis.firstPixel, 1) - 1;
        r.end = std::min<long long>(axis.lastPixel, n);
    }
    return r;
}

double gridWavelength(const ExportAxis &axis, long long index) {
    return axis.gridStart + static_cast<double>(index) * axis.gridStep;
}

double tableWavelength(const ExportAxis &axis, long long index) {
    return index >= 0 && static_cast<std::size_t>(index) < axis.wavelengthTable.size()
               ? static_cast<double>(axis.wavelengthTable[static_cast<std::size_t>(index)])
               : 0.0;
}

// Wavelength in nm of the point at values index `index`.
double pointWavelength(const ExportAxis &axis, long long index) {
    return axis.calibratedAxis ? gridWavelength(axis, index) : tableWavelength(axis, index);
}

float valueAt(const ExportBlock &block, long long index) {
    return index >= 0 && static_cast<std::size_t>(index) < block.values.size()
               ? block.values[static_cast<std::size_t>(index)]
               : 0.0f;
}

bool hasValue(const ExportBlock &block, long long index) {
    return index >= 0 && static_cast<std::size_t>(index) < block.values.size();
}

std::string quantityColumn(Quantity q) {
    switch (q) {
    case Quantity::Counts:
        return "Intensity(Counts)";
    case Quantity::TransRefl:
        return "Transmittance(%)";
    case Quantity::Absorbance:
        return "Absorbance(AU)";
    case Quantity::RelativeIrradiance:
        return "Relative Irradiance(%)";
    case Quantity::Illuminance:
        return "Illuminance (lux)";
    case Quantity::AbsolutePower:
        return "Absolute Power(mW/nm)";
    case Quantity::AbsoluteIrradiance:
        break;
    }
    return "Absolute Irradiance(uW/cm^2/nm)";
}

// ---------------------------------------------------------------------------
// Capture time of a memory item's time text "MM/DD/YYYY  HH:MM:SS". Each
// field is read from its fixed columns; one that is missing or not all digits
// reads as 0.

int digitsAt(const std::string &text, std::size_t pos, std::size_t len) {
    if (pos + len > text.size()) {
        return 0;
    }
    int v = 0;
    for (std::size_t i = pos; i < pos + len; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return 0;
        }
        v = v * 10 + (c - '0');
    }
    return v;
}

CaptureTime itemCaptureTime(const std::string &text) {
    CaptureTime t;
    t.month = digitsAt(text, 0, 2);
    t.day = digitsAt(text, 3, 2);
    t.year = digitsAt(text, 6, 4);
    t.hour = digitsAt(text, 12, 2);
    t.minute = digitsAt(text, 15, 2);
    t.second = digitsAt(text, 18, 2);
    return t;
}

CaptureTime blockCaptureTime(const ExportBlock &block) {
    return block.itemTime ? itemCaptureTime(*block.itemTime) : block.now;
}

bool plausible(const CaptureTime &t) {
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
           t.second >= 0 && t.second <= 60;
}

// ---------------------------------------------------------------------------
// Little-endian field writers for the binary forms.

class ByteWriter {
public:
    explicit ByteWriter(std::string &out) : out_(out) {}
    void u8(std::uint32_t v) { out_.push_back(static_cast<char>(v & 0xFFu)); }
    void u16(std::uint32_t v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFFu);
        u16(v >> 16);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void f64(double v) {
        const auto bits = std::bit_cast<std::uint64_t>(v);
        u32(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
        u32(static_cast<std::uint32_t>(bits >> 32));
    }
    // A fixed char field: the text cut to size - 1 characters, NUL-padded.
    void text(const std::string &s, std::size_t size) {
        const std::size_t n = std::min(s.size(), size - 1);
        out_.append(s, 0, n);
        out_.append(size - n, '\0');
    }
    void zeros(std::size_t n) { out_.append(n, '\0'); }
    std::size_t size() const { return out_.size(); }

private:
    std::string &out_;
};

// ---------------------------------------------------------------------------
// SPC

std::uint8_t spcXType(AxisUnit unit) {
    switch (unit) {
    case AxisUnit::Pixel:
        return 22; // data points
    case AxisUnit::Wavelength:
        return 3; // nm
    case AxisUnit::Wavenumber:
        break;
    }
    return 1; // cm-1
}

std::uint8_t spcYType(Quantity q) {
    switch (q) {
    case Quantity::Counts:
        return 4;
    case Quantity::TransRefl:
        return 128;
    case Quantity::Absorbance:
        return 2;
    default:
        return 13; // relative intensity, for every irradiance kind
    }
}

const char *spcCommentSuffix(Quantity q) {
    switch (q) {
    case Quantity::Counts:
        return "  Relative Intensity";
    case Quantity::TransRefl:
        return "   Transmittance/Reflectance(%)";
    case Quantity::Absorbance:
        return "   Absorbance(AU)";
    default:
        return "   Irradiance";
    }
}

// minute bits 0-5, hour 6-10, day 11-15, month 16-19, year 20-31; a field
// too large for its bits is left 0.
std::uint32_t spcDate(const CaptureTime &t) {
    const auto field = [](int v, int bits, int shift) -> std::uint32_t {
        if (v < 0 || v >= (1 << bits)) {
            return 0;
        }
        return static_cast<std::uint32_t>(v) << shift;
    };
    return field(t.minute, 6, 0) | field(t.hour, 5, 6) | field(t.day, 5, 11) |
           field(t.month, 4, 16) | field(t.year, 12, 20);
}

// "%-6.3f", at most 8 characters.
std::string spcResolution(double perPoint) {
    std::string s = leftIn(fixedText(perPoint, 3), 6);
    if (s.size() > 8) {
        s.resize(8);
    }
    return s;
}

// ---------------------------------------------------------------------------
// JCAMP-DX

constexpr std::size_t kJcampLine = 80;

// A text value on one line: no line breaks inside, no "$$" (a comment to
// most readers).
std::string jcampText(std::string s) {
    for (char &c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    for (std::size_t p = s.find("$$"); p != std::string::npos; p = s.find("$$", p)) {
        s.insert(p + 1, " ");
    }
    return s;
}

// "##LABEL=value" wrapped onto continuation lines of at most 80 characters.
void jcampRecord(std::string &out, const std::string &label, const std::string &value) {
    std::string line = "##" + label + "=" + value;
    while (line.size() > kJcampLine) {
        std::size_t cut = line.rfind(' ', kJcampLine);
        if (cut == std::string::npos || cut < label.size() + 4) {
            cut = kJcampLine;
        }
        out += line.substr(0, cut);
        out += kCrLf;
        line = line.substr(cut);
        // A continuation must not look like the start of a record.
        if (line.starts_with("##")) {
            line.insert(0, " ");
        }
    }
    out += line;
    out += kCrLf;
}

const char *jcampYUnits(Quantity q) {
    switch (q) {
    case Quantity::Counts:
        return "COUNTS";
    case Quantity::TransRefl:
        return "TRANSMITTANCE"; // written as a fraction 0..1, see yScale
    case Quantity::Absorbance:
        return "ABSORBANCE";
    case Quantity::RelativeIrradiance:
        return "ARBITRARY UNITS";
    case Quantity::Illuminance:
        return "LUX";
    case Quantity::AbsolutePower:
        return "MW/NM";
    case Quantity::AbsoluteIrradiance:
        break;
    }
    return "UW/CM^2/NM";
}

// JCAMP's TRANSMITTANCE is a fraction, the display's a percentage.
double jcampYScale(Quantity q) {
    return q == Quantity::TransRefl ? 0.01 : 1.0;
}

struct JcampPoint {
    double x;
    long long index; // into values
};

// The points of one exported spectrum in file order, and whether x is
// equally spaced (then written as X++(Y..Y)).
struct JcampPoints {
    std::vector<JcampPoint> points;
    bool equallySpaced = false;
    const char *xUnits = "NANOMETERS";
};

JcampPoints jcampPoints(const ExportAxis &axis, std::size_t size) {
    JcampPoints r;
    const IndexRange range = viewIndexes(axis, size);
    if (range.empty()) {
        return r;
    }
    r.points.reserve(static_cast<std::size_t>(range.count()));
    if (wavenumberUnit(axis)) {
        // In ascending wavenumber, i.e. from the longest wavelength down;
        // points without a usable wavelength have no wavenumber and are left out.
        r.xUnits = "1/CM";
        for (long long i = range.end - 1; i >= range.first; --i) {
            const double wl = pointWavelength(axis, i);
            if (wl > 0.0) {
                r.points.push_back({1e7 / wl, i});
            }
        }
        if (!r.points.empty() && r.points.front().x > r.points.back().x) {
            std::reverse(r.points.begin(), r.points.end());
        }
        return r;
    }
    if (axis.calibratedAxis) {
        r.equallySpaced = true;
        for (long long i = range.first; i < range.end; ++i) {
            r.points.push_back({gridWavelength(axis, i), i});
        }
        return r;
    }
    if (pixelUnit(axis)) {
        r.equallySpaced = true;
        r.xUnits = "ARBITRARY UNITS";
        for (long long i = range.first; i < range.end; ++i) {
            r.points.push_back({static_cast<double>(i + 1), i});
        }
        return r;
    }
    for (long long i = range.first; i < range.end; ++i) {
        r.points.push_back({tableWavelength(axis, i), i});
    }
    return r;
}

// Y values are written as integers times YFACTOR, the largest with nine
// significant digits (below 2^31, for readers that hold them in 32 bits).
double jcampYFactor(const ExportBlock &block, const JcampPoints &pts, double scale) {
    double largest = 0.0;
    for (const auto &p : pts.points) {
        const double y = static_cast<double>(valueAt(block, p.index)) * scale;
        if (std::isfinite(y)) {
            largest = std::max(largest, std::fabs(y));
        }
    }
    if (largest == 0.0 || !std::isfinite(largest)) {
        return 1.0;
    }
    const int e = static_cast<int>(std::floor(std::log10(largest))) - 8;
    double factor = std::pow(10.0, e);
    if (largest / factor >= 2147483647.0) {
        factor *= 10.0;
    }
    return factor;
}

// The integer of one y value, or "?" (JCAMP's unknown value) when it has none.
std::string jcampY(float v, double scale, double factor) {
    const double y = static_cast<double>(v) * scale;
    if (!std::isfinite(y)) {
        return "?";
    }
    const double q = std::round(y / factor);
    if (!(std::fabs(q) < 9.2e18)) {
        return "?";
    }
    return intText(static_cast<long long>(q));
}

std::string jcampFactorText(double factor) {
    // Powers of ten; the exponent form reads as exactly that power.
    const int e = static_cast<int>(std::lround(std::log10(factor)));
    return "1E" + intText(e);
}

std::string jcampDateText(const CaptureTime &t) {
    return zeroPadded(t.year, 4) + "/" + zeroPadded(t.month, 2) + "/" + zeroPadded(t.day, 2) + " " +
           zeroPadded(t.hour, 2) + ":" + zeroPadded(t.minute, 2) + ":" + zeroPadded(t.second, 2);
}

std::string blockTitle(const ExportBlock &block) {
    return block.projectName + " / " + block.sampleName;
}

void jcampBlock(std::string &out, const ExportHeader &header, const ExportAxis &axis,
                const ExportBlock &block, const JcampPoints &pts, int blockId) {
    const double scale = jcampYScale(axis.quantity);
    const double factor = jcampYFactor(block, pts, scale);
    const std::size_t n = pts.points.size();

    jcampRecord(out, "TITLE", jcampText(blockTitle(block)));
    jcampRecord(out, "JCAMP-DX", "5.01");
    jcampRecord(out, "DATA TYPE", "UV/VIS SPECTRUM");
    if (blockId > 0) {
        jcampRecord(out, "BLOCK_ID", intText(blockId));
    }
    jcampRecord(
        out, "ORIGIN",
        jcampText(header.unitSerial.empty() ? "Quillon" : "Quillon, unit " + header.unitSerial));
    jcampRecord(out, "OWNER", "");
    const CaptureTime when = blockCaptureTime(block);
    if (plausible(when)) {
        jcampRecord(out, "LONGDATE", jcampDateText(when));
    }
    jcampRecord(out, "SAMPLE DESCRIPTION", jcampText(block.sampleName));
    jcampRecord(out, "$MEASUREMENT NO", intText(block.measurementNo));
    jcampRecord(out, "XUNITS", pts.xUnits);
    jcampRecord(out, "YUNITS", jcampYUnits(axis.quantity));
    jcampRecord(out, "XFACTOR", "1");
    jcampRecord(out, "YFACTOR", jcampFactorText(factor));
    jcampRecord(out, "FIRSTX", jcampNumber(pts.points.front().x));
    jcampRecord(out, "LASTX", jcampNumber(pts.points.back().x));
    if (pts.equallySpaced && n > 1) {
        jcampRecord(
            out, "DELTAX",
            jcampNumber((pts.points.back().x - pts.points.front().x) / static_cast<double>(n - 1)));
    }
    const float firstY = valueAt(block, pts.points.front().index);
    jcampRecord(out, "FIRSTY",
                std::isfinite(firstY) ? jcampNumber(static_cast<double>(firstY) * scale) : "?");
    jcampRecord(out, "NPOINTS", intText(static_cast<long long>(n)));

    if (pts.equallySpaced) {
        out += "##XYDATA=(X++(Y..Y))";
        out += kCrLf;
        std::string line;
        for (const auto &p : pts.points) {
            const std::string y = jcampY(valueAt(block, p.index), scale, factor);
            if (!line.empty() && line.size() + 1 + y.size() > kJcampLine) {
                out += line;
                out += kCrLf;
                line.clear();
            }
            if (line.empty()) {
                line = jcampNumber(p.x);
            }
            line += ' ';
            line += y;
        }
        out += line;
        out += kCrLf;
    } else {
        out += "##XYPOINTS=(XY..XY)";
        out += kCrLf;
        for (const auto &p : pts.points) {
            out += jcampNumber(p.x);
            out += ", ";
            out += jcampY(valueAt(block, p.index), scale, factor);
            out += kCrLf;
        }
    }
    jcampRecord(out, "END", "");
}

// ---------------------------------------------------------------------------
// CSV

void csvLine(std::string &out, const std::vector<std::string> &fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += ',';
        }
        out += csvField(fields[i]);
    }
    out += kCrLf;
}

} // namespace

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string q = "\"";
    for (char c : text) {
        if (c == '"') {
            q += '"';
        }
        q += c;
    }
    q += '"';
    return q;
}

std::string textTable(const ExportHeader &header, const ExportAxis &axis,
                      std::span<const ExportBlock> blocks, Which which) {
    std::string out;
    const auto line = [&out](const std::string &s) {
        out += s;
        out += kCrLf;
    };
    const std::size_t count =
        which == Which::All ? blocks.size() : std::min<std::size_t>(1, blocks.size());
    const std::string columns = std::string(axis.calibratedAxis ? "" : "Pixel\t") +
                                "Wavelength(nm)\tWavenumber(1/cm)\t" +
                                quantityColumn(axis.quantity);

    for (std::size_t b = 0; b < count; ++b) {
        const ExportBlock &block = blocks[b];
        if (which == Which::Current) {
            line("Unit Serial No : " + header.unitSerial);
            if (header.distanceCm) {
                line("Distance : " + intText(*header.distanceCm) + " cm");
            }
            line("Integration Time : " + header.integrationTime + " ms");
            line("Time Average: " + intText(header.timeAverage));
            line("Binning Average: " + intText(header.binningAverage));
            line("FFT Smoothing: " + intText(header.smoothingPercent) + "%");
        }
        line("Project Name : " + block.projectName);
        line("Sample Name : " + block.sampleName);
        const bool memoryItem = which == Which::All || header.memoryMode || block.itemTime;
        line("Measurement No : " + intText(memoryItem ? block.measurementNo : 1));
        line("Measurement Time : " + measurementTimeText(block));
        out += kCrLf;

        line(columns);
        const IndexRange range = viewIndexes(axis, block.values.size());
        for (long long i = range.first; i < range.end; ++i) {
            const float v = block.values[static_cast<std::size_t>(i)];
            const double wl = pointWavelength(axis, i);
            std::string row;
            if (!axis.calibratedAxis) {
                row = leftIn(intText(i + 1), 5) + "\t";
            }
            row += leftIn(fixedText(wl, 4), 14) + "\t" +
                   leftIn(fixedText(wavenumberOf(wl), 4), 14) + "\t";
            if (axis.calibratedAxis) {
                row += leftIn(fixedText(v, 5), 14);
            } else if (axis.quantity == Quantity::Counts) {
                row += leftIn(intText(truncatedCount(v)), 8);
            } else {
                row += leftIn(fixedText(v, 4), 14);
            }
            line(row);
        }
        out += kCrLf;
        out += kCrLf;
    }
    return out;
}

std::string csvTable(const ExportAxis &axis, std::span<const ExportBlock> blocks) {
    std::string out;
    if (blocks.empty()) {
        return out;
    }
    std::vector<std::string> fields;
    if (!axis.calibratedAxis) {
        fields.emplace_back("Pixel");
    }
    fields.emplace_back("Wavelength(nm)");
    fields.emplace_back("Wavenumber(1/cm)");
    for (const auto &b : blocks) {
        std::string name = quantityColumn(axis.quantity);
        if (blocks.size() > 1) {
            name += " #" + intText(b.measurementNo);
        }
        fields.push_back(std::move(name));
    }
    csvLine(out, fields);

    const IndexRange range = viewIndexes(axis, largestBlock(blocks));
    for (long long i = range.first; i < range.end; ++i) {
        fields.clear();
        if (!axis.calibratedAxis) {
            fields.push_back(intText(i + 1));
            fields.push_back(shortestText(static_cast<float>(tableWavelength(axis, i))));
        } else {
            fields.push_back(shortestText(gridWavelength(axis, i)));
        }
        fields.push_back(shortestText(wavenumberOf(pointWavelength(axis, i))));
        for (const auto &b : blocks) {
            fields.push_back(hasValue(b, i) ? shortestText(valueAt(b, i)) : std::string());
        }
        csvLine(out, fields);
    }
    return out;
}

std::string jcampDx(const ExportHeader &header, const ExportAxis &axis,
                    std::span<const ExportBlock> blocks) {
    std::string out;
    if (blocks.empty()) {
        return out;
    }
    std::vector<JcampPoints> points;
    for (const auto &b : blocks) {
        points.push_back(jcampPoints(axis, b.values.size()));
        if (points.back().points.empty()) {
            return {};
        }
    }
    if (blocks.size() == 1) {
        jcampBlock(out, header, axis, blocks.front(), points.front(), 0);
        return out;
    }
    jcampRecord(out, "TITLE", jcampText(blocks.front().projectName));
    jcampRecord(out, "JCAMP-DX", "5.01");
    jcampRecord(out, "DATA TYPE", "LINK");
    jcampRecord(out, "BLOCKS", intText(static_cast<long long>(blocks.size())));
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        jcampBlock(out, header, axis, blocks[b], points[b], static_cast<int>(b + 1));
    }
    jcampRecord(out, "END", "");
    return out;
}

std::string spcFile(const ExportAxis &axis, std::span<const ExportBlock> blocks, Which which) {
    std::string out;
    const std::size_t subFiles =
        which == Which::All ? blocks.size() : std::min<std::size_t>(1, blocks.size());
    if (subFiles == 0 || subFiles > UINT32_MAX) {
        return out;
    }
    const auto used = blocks.first(subFiles);

    // The view's values in file order, as indexes into each block's values.
    std::vector<long long> order;
    double first = 0.0;
    double last = 0.0;
    if (axis.calibratedAxis) {
        // Every point of the view is written, so the view must lie on the data.
        const auto size = static_cast<long long>(largestBlock(used));
        if (axis.firstIndex < 0 || axis.pointCount <= 0 ||
            static_cast<long long>(axis.firstIndex) + axis.pointCount > size) {
            return {};
        }
        for (long long k = 0; k < axis.pointCount; ++k) {
            order.push_back(static_cast<long long>(axis.firstIndex) + k);
        }
        first = wavenumberUnit(axis) ? axis.viewWavenumberStart : axis.viewXStart;
        last = wavenumberUnit(axis) ? axis.viewWavenumberEnd : axis.viewXEnd;
    } else {
        const IndexRange range = viewIndexes(axis, largestBlock(used));
        for (long long i = range.first; i < range.end; ++i) {
            order.push_back(i);
        }
        first = static_cast<double>(range.first + 1);
        last = static_cast<double>(range.end);
        if (wavenumberUnit(axis)) {
            first = std::trunc(axis.viewWavenumberStart);
            last = std::trunc(axis.viewWavenumberEnd);
        }
    }
    if (order.empty() || order.size() > UINT32_MAX) {
        return {};
    }
    if (wavenumberUnit(axis)) {
        std::reverse(order.begin(), order.end());
    }
    const auto points = static_cast<std::uint32_t>(order.size());

    ByteWriter w(out);
    w.u8(which == Which::All ? 4 : 0);              // ftflgs: TMULTI
    w.u8(0x4B);                                     // fversn: new format, little-endian
    w.u8(0);                                        // fexper: general
    w.u8(0x80);                                     // fexp: IEEE float y values
    w.u32(points);                                  // fnpts
    w.f64(first);                                   // ffirst
    w.f64(last);                                    // flast
    w.u32(static_cast<std::uint32_t>(subFiles));    // fnsub
    w.u8(spcXType(axis.unit));                      // fxtype
    w.u8(spcYType(axis.quantity));                  // fytype
    w.u8(22);                                       // fztype
    w.u8(0);                                        // fpost
    w.u32(spcDate(blockCaptureTime(used.front()))); // fdate
    w.text(pixelUnit(axis) ? spcResolution((last - first) / points) : std::string(), 9); // fres
    w.text({}, 9);                                                                       // fsource
    w.u16(0);                                                                            // fpeakpt
    w.zeros(8 * 4);                                                                      // fspare
    w.text(used.front().projectName + " / " + used.front().sampleName +
               spcCommentSuffix(axis.quantity),
           130);    // fcmnt
    w.text({}, 30); // fcatxt
    w.u32(0);       // flogoff
    w.u32(1);       // fmods
    w.u8(0);        // fprocs
    w.u8(0);        // flevel
    w.u16(0);       // fsampin
    w.f32(0.0f);    // ffactor
    w.text({}, 48); // fmethod
    w.f32(0.0f);    // fzinc
    w.u32(0);       // fwplanes
    w.f32(0.0f);    // fwinc
    w.u8(0);        // fwtype
    w.zeros(187);   // reserved
    out.reserve(out.size() + subFiles * (32 + 4 * static_cast<std::size_t>(points)));

    for (std::size_t s = 0; s < subFiles; ++s) {
        w.u8(0);                                        // subflgs
        w.u8(0x80);                                     // subexp: IEEE floats
        w.u16(static_cast<std::uint32_t>(s & 0xFFFFu)); // subindx
        w.f32(0.0f);                                    // subtime
        w.f32(std::numeric_limits<float>::max());       // subnext
        w.f32(0.0f);                                    // subnois
        w.u32(0);                                       // subnpts
        w.u32(0);                                       // subscan
        w.f32(0.0f);                                    // subwlevel
        w.zeros(4);                                     // subresv
        for (long long i : order) {
            w.f32(valueAt(used[s], i));
        }
    }
    return out;
}

std::string bmpFile(int width, int height, std::span<const std::uint32_t> pixels, int stride) {
    if (width <= 0 || height <= 0 || stride < width) {
        return {};
    }
    const auto w = static_cast<std::uint64_t>(width);
    const auto h = static_cast<std::uint64_t>(height);
    const auto needed = (h - 1) * static_cast<std::uint64_t>(stride) + w;
    if (pixels.size() < needed) {
        return {};
    }
    const std::uint64_t rowBytes = (w * 3 + 3) / 4 * 4;
    const std::uint64_t imageBytes = rowBytes * h;
    if (imageBytes > UINT32_MAX - 54) {
        return {};
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(54 + imageBytes));
    ByteWriter b(out);
    // BITMAPFILEHEADER
    b.u8('B');
    b.u8('M');
    b.u32(static_cast<std::uint32_t>(54 + imageBytes)); // file size
    b.u16(0);
    b.u16(0);
    b.u32(54); // offset of the pixels
    // BITMAPINFOHEADER
    b.u32(40);
    b.i32(width);
    b.i32(height); // positive: bottom-up rows
    b.u16(1);      // planes
    b.u16(24);     // bits per pixel
    b.u32(0);      // BI_RGB
    b.u32(static_cast<std::uint32_t>(imageBytes));
    b.i32(2835); // 72 dpi in pixels per metre
    b.i32(2835);
    b.u32(0); // colours used
    b.u32(0); // important colours

    const std::size_t padding = static_cast<std::size_t>(rowBytes - w * 3);
    for (std::uint64_t r = h; r-- > 0;) {
        const auto row =
            pixels.subspan(static_cast<std::size_t>(r * static_cast<std::uint64_t>(stride)),
                           static_cast<std::size_t>(w));
        for (std::uint32_t px : row) {
            b.u8(px);       // blue
            b.u8(px >> 8);  // green
            b.u8(px >> 16); // red
        }
        b.zeros(padding);
    }
    return out;
}

} // namespace quillon::exports
