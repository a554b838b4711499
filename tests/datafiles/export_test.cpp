// The export forms checked against hand-made expectations: the text table
// character for character, the SPC and BMP byte layouts at their published
// offsets, CSV quoting and round-trip, JCAMP-DX structure. The same files
// read by third-party readers are in export_reader_test.cpp.
#include "datafiles/exports.h"
#include "export_samples.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace quillon::exports {
namespace {

ExportHeader unitHeader() {
    ExportHeader h;
    h.unitSerial = "OV12345";
    h.integrationTime = "10.5";
    h.timeAverage = 3;
    h.binningAverage = 1;
    h.smoothingPercent = 20;
    return h;
}

ExportBlock liveBlock(std::vector<float> values) {
    ExportBlock b;
    b.projectName = "Proj";
    b.sampleName = "Samp";
    b.now = CaptureTime{2, 3, 2024, 4, 5, 6};
    b.values = std::move(values);
    return b;
}

ExportBlock memoryBlock(int no, std::string time, std::vector<float> values) {
    ExportBlock b = liveBlock(std::move(values));
    b.measurementNo = no;
    b.itemTime = std::move(time);
    return b;
}

ExportAxis pixelAxis(int first, int last, std::vector<float> table) {
    ExportAxis a;
    a.calibratedAxis = false;
    a.firstPixel = first;
    a.lastPixel = last;
    a.wavelengthTable = std::move(table);
    return a;
}

std::vector<float> ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<float>(i) * 1.5f + 0.25f;
    }
    return v;
}

std::size_t countOf(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) {
        ++n;
    }
    return n;
}

std::vector<std::string> crlfLines(const std::string &text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, p - start));
        start = p + 2;
    }
    EXPECT_EQ(start, text.size()) << "text does not end with a line end";
    return lines;
}

// Little-endian fields of a byte string.
std::uint32_t u32At(const std::string &s, std::size_t off) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(s.at(off + static_cast<std::size_t>(i)));
    }
    return v;
}
std::uint16_t u16At(const std::string &s, std::size_t off) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s.at(off)) |
                                      (static_cast<unsigned char>(s.at(off + 1)) << 8));
}
std::uint8_t u8At(const std::string &s, std::size_t off) {
    return static_cast<unsigned char>(s.at(off));
}
float f32At(const std::string &s, std::size_t off) {
    return std::bit_cast<float>(u32At(s, off));
}
double f64At(const std::string &s, std::size_t off) {
    const std::uint64_t lo = u32At(s, off);
    const std::uint64_t hi = u32At(s, off + 4);
    return std::bit_cast<double>(lo | (hi << 32));
}
std::string cText(const std::string &s, std::size_t off, std::size_t size) {
    const std::string field = s.substr(off, size);
    return field.substr(0, field.find('\0'));
}

// --- Text table -------------------------------------------------------------

TEST(TextTable, PixelHeldCountsLiveScanCharacterForCharacter) {
    ExportHeader h = unitHeader();
    h.distanceCm = 50; // an irradiance calibration is loaded
    const ExportBlock blocks[] = {liveBlock({100.9f, -3.7f, 65535.0f})};
    const std::string text =
        textTable(h, pixelAxis(1, 3, {400.5f, 401.25f, 402.0f}), blocks, Which::Current);
    EXPECT_EQ(text, "Unit Serial No : OV12345\r\n"
                    "Distance : 50 cm\r\n"
                    "Integration Time : 10.5 ms\r\n"
                    "Time Average: 3\r\n"
                    "Binning Average: 1\r\n"
                    "FFT Smoothing: 20%\r\n"
                    "Project Name : Proj\r\n"
                    "Sample Name : Samp\r\n"
                    "Measurement No : 1\r\n"
                    "Measurement Time : 02/03/2024   04:05:06\r\n"
                    "\r\n"
                    "Pixel\tWavelength(nm)\tWavenumber(1/cm)\tIntensity(Counts)\r\n"
                    "1    \t400.5000      \t24968.7890    \t100     \r\n"
                    "2    \t401.2500      \t24922.1184    \t-3      \r\n"
                    "3    \t402.0000      \t24875.6219    \t65535   \r\n"
                    "\r\n"
                    "\r\n");

    // Without a calibration the Distance line is left out and nothing else changes.
    const std::string plain =
        textTable(unitHeader(), pixelAxis(1, 3, {400.5f, 401.25f, 402.0f}), blocks, Which::Current);
    EXPECT_EQ(plain.find("Distance"), std::string::npos);
    EXPECT_EQ(plain.size() + std::strlen("Distance : 50 cm\r\n"), text.size());
}

TEST(TextTable, CalibratedZoomedMemoryItemCharacterForCharacter) {
    ExportAxis axis = gridAxis(350.0, 0.5, 2, 3);
    axis.quantity = Quantity::TransRefl;
    // A zoomed view whose start lies between grid points still labels each
    // value with its grid wavelength.
    axis.viewXStart = 350.8;
    ExportHeader h = unitHeader();
    h.memoryMode = true;
    const ExportBlock blocks[] = {
        memoryBlock(7, "03/15/2024  13:45:07", {0.1f, 0.2f, 12.345678f, 50.0f, 99.999999f, 7.0f})};
    EXPECT_EQ(textTable(h, axis, blocks, Which::Current),
              "Unit Serial No : OV12345\r\n"
              "Integration Time : 10.5 ms\r\n"
              "Time Average: 3\r\n"
              "Binning Average: 1\r\n"
              "FFT Smoothing: 20%\r\n"
              "Project Name : Proj\r\n"
              "Sample Name : Samp\r\n"
              "Measurement No : 7\r\n"
              "Measurement Time : 03/15/2024  13:45:07\r\n"
              "\r\n"
              "Wavelength(nm)\tWavenumber(1/cm)\tTransmittance(%)\r\n"
              "351.0000      \t28490.0285    \t12.34568      \r\n"
              "351.5000      \t28449.5021    \t50.00000      \r\n"
              "352.0000      \t28409.0909    \t100.00000     \r\n"
              "\r\n"
              "\r\n");
}

TEST(TextTable, PixelHeldOtherQuantitiesAndColumnNames) {
    ExportAxis axis = pixelAxis(1, 3, {400.5f, 401.25f, 402.0f});
    axis.quantity = Quantity::AbsoluteIrradiance;
    const ExportBlock blocks[] = {liveBlock({0.5f, -1.25f, 1e6f})};
    const auto lines = crlfLines(textTable(unitHeader(), axis, blocks, Which::Current));
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[10],
              "Pixel\tWavelength(nm)\tWavenumber(1/cm)\tAbsolute Irradiance(uW/cm^2/nm)");
    EXPECT_EQ(lines[11], "1    \t400.5000      \t24968.7890    \t0.5000        ");
    EXPECT_EQ(lines[12], "2    \t401.2500      \t24922.1184    \t-1.2500       ");
    EXPECT_EQ(lines[13], "3    \t402.0000      \t24875.6219    \t1000000.0000  ");

    const std::pair<Quantity, const char *> names[] = {
        {Quantity::Counts, "Intensity(Counts)"},
        {Quantity::TransRefl, "Transmittance(%)"},
        {Quantity::Absorbance, "Absorbance(AU)"},
        {Quantity::RelativeIrradiance, "Relative Irradiance(%)"},
        {Quantity::Illuminance, "Illuminance (lux)"},
        {Quantity::AbsolutePower, "Absolute Power(mW/nm)"},
    };
    for (const auto &[q, name] : names) {
        ExportAxis grid = gridAxis(400.0, 1.0, 0, 1);
        grid.quantity = q;
        const ExportBlock one[] = {liveBlock({1.0f})};
        EXPECT_NE(textTable(unitHeader(), grid, one, Which::Current)
                      .find(std::string("\r\nWavelength(nm)\tWavenumber(1/cm)\t") + name + "\r\n"),
                  std::string::npos)
            << name;
    }
}

TEST(TextTable, AllWritesEveryItemWithItemLinesOnly) {
    ExportHeader h = unitHeader();
    h.memoryMode = true;
    h.distanceCm = 30;
    const ExportBlock blocks[] = {memoryBlock(1, "01/02/2023  10:00:00", {1, 2, 3}),
                                  memoryBlock(2, "01/02/2023  10:00:05", {4, 5, 6}),
                                  memoryBlock(3, "01/02/2023  10:00:10", {7, 8, 9})};
    const std::string text = textTable(h, gridAxis(500.0, 1.0, 0, 3), blocks, Which::All);
    EXPECT_EQ(countOf(text, "Project Name : Proj\r\nSample Name : Samp\r\n"), 3u);
    EXPECT_EQ(countOf(text, "Wavelength(nm)\tWavenumber(1/cm)\tIntensity(Counts)\r\n"), 3u);
    EXPECT_EQ(text.find("Unit Serial"), std::string::npos);
    EXPECT_EQ(text.find("Distance"), std::string::npos);
    EXPECT_EQ(text.find("Integration Time"), std::string::npos);
    for (int k = 0; k < 3; ++k) {
        const std::string head = "Measurement No : " + std::to_string(k + 1) +
                                 "\r\nMeasurement Time : 01/02/2023  10:00:" +
                                 (k == 0   ? "00"
                                  : k == 1 ? "05"
                                           : "10") +
                                 "\r\n\r\n";
        EXPECT_NE(text.find(head), std::string::npos) << head;
    }
    // Each block's rows, then its two closing line ends.
    EXPECT_NE(text.find("502.0000      \t19920.3187    \t9.00000       \r\n\r\n\r\n"),
              std::string::npos);
    EXPECT_TRUE(text.starts_with("Project Name : Proj\r\n"));

    // Current of the same items writes only the first, with the unit lines.
    const std::string current = textTable(h, gridAxis(500.0, 1.0, 0, 3), blocks, Which::Current);
    EXPECT_EQ(countOf(current, "Project Name"), 1u);
    EXPECT_TRUE(current.starts_with("Unit Serial No : OV12345\r\nDistance : 30 cm\r\n"));
}

TEST(TextTable, RowsStayOnTheDataAndAwkwardValuesPrintSafely) {
    // The whole sensor: rows 1 to 2048.
    const ExportBlock full[] = {liveBlock(ramp(2048))};
    const auto lines =
        crlfLines(textTable(unitHeader(), pixelAxis(1, 2048, ramp(2048)), full, Which::Current));
    ASSERT_EQ(lines.size(), 11u + 2048u + 2u);
    EXPECT_TRUE(lines[11].starts_with("1    \t"));
    EXPECT_TRUE(lines[11 + 2047].starts_with("2048 \t"));

    // A view past both ends of the data is cut to the pixels that exist; a
    // wavelength of 0 (no calibration) gives wavenumber 0, not inf; counts no
    // int can hold are pinned and NaN prints as 0.
    const ExportBlock odd[] = {liveBlock({std::nanf(""), 1e20f, -1e20f})};
    const auto rows =
        crlfLines(textTable(unitHeader(), pixelAxis(-5, 99, {0.0f, -1.0f}), odd, Which::Current));
    ASSERT_EQ(rows.size(), 11u + 3u + 2u);
    EXPECT_EQ(rows[11], "1    \t0.0000        \t0.0000        \t0       ");
    EXPECT_EQ(rows[12], "2    \t-1.0000       \t0.0000        \t2147483647");
    EXPECT_EQ(rows[13], "3    \t0.0000        \t0.0000        \t-2147483648");

    // Grid indexes outside the values are skipped.
    const ExportBlock few[] = {liveBlock({1, 2, 3})};
    const auto gridRows =
        crlfLines(textTable(unitHeader(), gridAxis(400.0, 1.0, -1, 10), few, Which::Current));
    ASSERT_EQ(gridRows.size(), 11u + 3u + 2u);
    EXPECT_TRUE(gridRows[11].starts_with("400.0000 "));
    EXPECT_TRUE(gridRows[13].starts_with("402.0000 "));

    EXPECT_EQ(textTable(unitHeader(), gridAxis(400.0, 1.0, 0, 3), {}, Which::All), "");
}

// --- SPC --------------------------------------------------------------------

TEST(SpcFile, PixelViewHeaderAtThePublishedOffsets) {
    ExportAxis axis = pixelAxis(1, 2048, ramp(2048));
    axis.unit = AxisUnit::Pixel;
    const ExportBlock blocks[] = {memoryBlock(4, "03/15/2024  13:45:07", ramp(2048))};
    const std::string f = spcFile(axis, blocks, Which::Current);
    ASSERT_EQ(f.size(), 512u + 32u + 4u * 2048u);
    EXPECT_EQ(u8At(f, 0), 0);      // ftflgs
    EXPECT_EQ(u8At(f, 1), 0x4B);   // fversn
    EXPECT_EQ(u8At(f, 2), 0);      // fexper
    EXPECT_EQ(u8At(f, 3), 0x80);   // fexp
    EXPECT_EQ(u32At(f, 4), 2048u); // fnpts
    EXPECT_EQ(f64At(f, 8), 1.0);   // ffirst
    EXPECT_EQ(f64At(f, 16), 2048.0);
    EXPECT_EQ(u32At(f, 24), 1u); // fnsub
    EXPECT_EQ(u8At(f, 28), 22);  // fxtype: data points
    EXPECT_EQ(u8At(f, 29), 4);   // fytype: counts
    EXPECT_EQ(u8At(f, 30), 22);  // fztype
    EXPECT_EQ(u8At(f, 31), 0);   // fpost
    EXPECT_EQ(u32At(f, 32), 45u | (13u << 6) | (15u << 11) | (3u << 16) | (2024u << 20));
    EXPECT_EQ(f.substr(36, 9), std::string("1.000 \0\0\0", 9)); // fres: 2047 / 2048
    EXPECT_EQ(f.substr(45, 9), std::string(9, '\0'));           // fsource
    EXPECT_EQ(f.substr(54, 2 + 32), std::string(34, '\0'));     // fpeakpt, fspare
    EXPECT_EQ(cText(f, 88, 130), "Proj / Samp  Relative Intensity");
    EXPECT_EQ(f.substr(218, 30), std::string(30, '\0')); // fcatxt
    EXPECT_EQ(u32At(f, 248), 0u);                        // flogoff
    EXPECT_EQ(u32At(f, 252), 1u);                        // fmods
    EXPECT_EQ(f.substr(256, 512 - 256), std::string(256, '\0'));

    // The sub-header, then the values from pixel 1 up.
    EXPECT_EQ(u8At(f, 512), 0);
    EXPECT_EQ(u8At(f, 513), 0x80);
    EXPECT_EQ(u16At(f, 514), 0);
    EXPECT_EQ(f32At(f, 516), 0.0f);
    EXPECT_EQ(f32At(f, 520), FLT_MAX);
    EXPECT_EQ(f.substr(524, 20), std::string(20, '\0'));
    EXPECT_EQ(f32At(f, 544), 0.25f);
    EXPECT_EQ(f32At(f, 544 + 4 * 2047), 2047 * 1.5f + 0.25f);
}

TEST(SpcFile, UnitsQuantitiesAndTheWavenumberOrder) {
    // Pixel-held data in wavenumber: values from the view's last pixel down.
    ExportAxis axis = pixelAxis(2, 4, {400, 410, 420, 430, 440});
    axis.unit = AxisUnit::Wavenumber;
    axis.quantity = Quantity::Absorbance;
    axis.viewWavenumberStart = 1e7 / 430.0;
    axis.viewWavenumberEnd = 1e7 / 410.0;
    const ExportBlock blocks[] = {liveBlock({1, 2, 3, 4, 5})};
    const std::string f = spcFile(axis, blocks, Which::Current);
    ASSERT_EQ(f.size(), 512u + 32u + 12u);
    EXPECT_EQ(u32At(f, 4), 3u);
    EXPECT_EQ(f64At(f, 8), 23255.0); // integer parts of 23255.81 .. 24390.24
    EXPECT_EQ(f64At(f, 16), 24390.0);
    EXPECT_EQ(u8At(f, 28), 1);                        // wavenumber
    EXPECT_EQ(u8At(f, 29), 2);                        // absorbance
    EXPECT_EQ(f.substr(36, 9), std::string(9, '\0')); // fres only for pixel units
    EXPECT_EQ(cText(f, 88, 130), "Proj / Samp   Absorbance(AU)");
    EXPECT_EQ(u32At(f, 32), 5u | (4u << 6) | (3u << 11) | (2u << 16) | (2024u << 20));
    EXPECT_EQ(f32At(f, 544), 4.0f);
    EXPECT_EQ(f32At(f, 548), 3.0f);
    EXPECT_EQ(f32At(f, 552), 2.0f);

    // Calibrated axis in wavenumber: the view's wavenumber range, values reversed.
    ExportAxis grid = gridAxis(400.0, 2.0, 1, 3);
    grid.unit = AxisUnit::Wavenumber;
    grid.quantity = Quantity::TransRefl;
    const ExportBlock g[] = {liveBlock({10, 11, 12, 13, 14})};
    const std::string w = spcFile(grid, g, Which::Current);
    ASSERT_EQ(w.size(), 512u + 32u + 12u);
    EXPECT_EQ(f64At(w, 8), 1e7 / 406.0);
    EXPECT_EQ(f64At(w, 16), 1e7 / 402.0);
    EXPECT_EQ(u8At(w, 29), 128);
    EXPECT_EQ(cText(w, 88, 130), "Proj / Samp   Transmittance/Reflectance(%)");
    EXPECT_EQ(f32At(w, 544), 13.0f);
    EXPECT_EQ(f32At(w, 552), 11.0f);

    // The same in wavelength: nm, the view's x range, values upwards.
    grid.unit = AxisUnit::Wavelength;
    grid.quantity = Quantity::Illuminance;
    const std::string nm = spcFile(grid, g, Which::Current);
    EXPECT_EQ(u8At(nm, 28), 3);
    EXPECT_EQ(u8At(nm, 29), 13);
    EXPECT_EQ(f64At(nm, 8), 402.0);
    EXPECT_EQ(f64At(nm, 16), 406.0);
    EXPECT_EQ(cText(nm, 88, 130), "Proj / Samp   Irradiance");
    EXPECT_EQ(f32At(nm, 544), 11.0f);
}

TEST(SpcFile, AllItemsMakeAMultifile) {
    const ExportBlock blocks[] = {memoryBlock(1, "01/02/2023  10:00:00", {1, 2}),
                                  memoryBlock(2, "01/02/2023  10:00:05", {3, 4}),
                                  memoryBlock(3, "01/02/2023  10:00:10", {5, 6})};
    ExportAxis axis = pixelAxis(1, 2, {500, 501});
    const std::string f = spcFile(axis, blocks, Which::All);
    ASSERT_EQ(f.size(), 512u + 3u * (32u + 8u));
    EXPECT_EQ(u8At(f, 0), 4); // TMULTI
    EXPECT_EQ(u32At(f, 24), 3u);
    for (std::size_t s = 0; s < 3; ++s) {
        const std::size_t sub = 512 + s * 40;
        EXPECT_EQ(u8At(f, sub + 1), 0x80);
        EXPECT_EQ(u16At(f, sub + 2), s); // subindx: the sub-file's index
        EXPECT_EQ(f32At(f, sub + 32), static_cast<float>(2 * s + 1));
        EXPECT_EQ(f32At(f, sub + 36), static_cast<float>(2 * s + 2));
    }
    // Current writes one sub-file of the first item.
    const std::string one = spcFile(axis, blocks, Which::Current);
    EXPECT_EQ(u8At(one, 0), 0);
    EXPECT_EQ(u32At(one, 24), 1u);
    EXPECT_EQ(one.size(), 512u + 40u);
}

TEST(SpcFile, DatesCommentsAndRefusals) {
    ExportAxis axis = pixelAxis(1, 2, {500, 501});
    // A malformed time text leaves its fields 0 rather than reading garbage.
    ExportBlock bad = memoryBlock(1, "?\?/15/20x4  1", {1, 2});
    bad.projectName = std::string(100, 'p');
    bad.sampleName = std::string(100, 's');
    const ExportBlock blocks[] = {bad};
    const std::string f = spcFile(axis, blocks, Which::Current);
    EXPECT_EQ(u32At(f, 32), 15u << 11);
    EXPECT_EQ(cText(f, 88, 130), std::string(100, 'p') + " / " + std::string(26, 's'));
    EXPECT_EQ(u8At(f, 88 + 129), 0);

    EXPECT_EQ(spcFile(axis, {}, Which::All), "");
    EXPECT_EQ(spcFile(pixelAxis(5, 9, {}), blocks, Which::Current), "");
    const ExportBlock few[] = {liveBlock({1, 2, 3})};
    EXPECT_EQ(spcFile(gridAxis(400.0, 1.0, 1, 3), few, Which::Current), "");
    EXPECT_NE(spcFile(gridAxis(400.0, 1.0, 0, 3), few, Which::Current), "");
}

// --- CSV --------------------------------------------------------------------

TEST(CsvTable, HeaderRowsAndRoundTrip) {
    ExportAxis axis = pixelAxis(1, 3, {400.5f, 401.25f, 0.0f});
    const std::vector<float> values = {0.1f, 123456.789f, -1e-7f};
    const ExportBlock blocks[] = {memoryBlock(4, "x", values), memoryBlock(9, "y", {1, 2})};
    const auto lines = crlfLines(csvTable(axis, blocks));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "Pixel,Wavelength(nm),Wavenumber(1/cm),Intensity(Counts) #4,Intensity(Counts) #9");
    EXPECT_TRUE(lines[1].starts_with("1,400.5,"));
    EXPECT_TRUE(lines[3].starts_with("3,0,0,")); // no wavelength, no wavenumber
    EXPECT_TRUE(lines[3].ends_with(",")) << "the short block has no value here";
    for (std::size_t r = 0; r < 3; ++r) {
        const std::string &line = lines[r + 1];
        const auto comma = line.find(',', line.find(',', line.find(',') + 1) + 1);
        const std::string field = line.substr(comma + 1, line.find(',', comma + 1) - comma - 1);
        float back = 0;
        std::from_chars(field.data(), field.data() + field.size(), back);
        EXPECT_EQ(back, values[r]) << field;
        EXPECT_EQ(field.find_first_of(";"), std::string::npos);
    }

    // One block: plain names; calibrated: two x columns.
    const ExportBlock one[] = {liveBlock({5, 6})};
    ExportAxis grid = gridAxis(400.0, 0.5, 0, 2);
    grid.quantity = Quantity::Absorbance;
    EXPECT_EQ(csvTable(grid, one), "Wavelength(nm),Wavenumber(1/cm),Absorbance(AU)\r\n"
                                   "400,25000,5\r\n"
                                   "400.5,24968.789013732832,6\r\n");
    EXPECT_EQ(csvTable(grid, {}), "");
}

TEST(CsvTable, FieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(csvField("plain text"), "plain text");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(csvField(""), "");
}

// --- JCAMP-DX ---------------------------------------------------------------

TEST(JcampDx, SingleSpectrumOnTheGridIsCompressedXyData) {
    ExportAxis axis = gridAxis(400.0, 0.5, 0, 40);
    ExportBlock b = memoryBlock(2, "03/15/2024  13:45:07", ramp(40));
    b.values[3] = std::nanf("");
    const ExportBlock blocks[] = {b};
    const std::string text = jcampDx(unitHeader(), axis, blocks);
    const auto lines = crlfLines(text);
    for (const auto &l : lines) {
        EXPECT_LE(l.size(), 80u) << l;
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "##TITLE=Proj / Samp");
    EXPECT_EQ(lines.back(), "##END=");
    EXPECT_NE(text.find("\r\n##JCAMP-DX=5.01\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n##DATA TYPE=UV/VIS SPECTRUM\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n##LONGDATE=2024/03/15 13:45:07\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n##XUNITS=NANOMETERS\r\n##YUNITS=COUNTS\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n##FIRSTX=400\r\n##LASTX=419.5\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n##NPOINTS=40\r\n##XYDATA=(X++(Y..Y))\r\n"), std::string::npos);
    // Largest value 58.75: integers of nine digits, YFACTOR 1E-7.
    EXPECT_NE(text.find("\r\n##YFACTOR=1E-7\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n400 2500000 17500000 32500000 ? 62500000"), std::string::npos);
    EXPECT_EQ(text.find("BLOCK"), std::string::npos);
}

TEST(JcampDx, UnevenXIsWrittenAsPointsAndSeveralBlocksAsALink) {
    ExportAxis axis = pixelAxis(1, 3, {400.0f, 401.5f, 403.25f});
    axis.unit = AxisUnit::Wavelength;
    axis.quantity = Quantity::TransRefl;
    const ExportBlock blocks[] = {memoryBlock(1, "01/02/2023  10:00:00", {50, 25, 100}),
                                  memoryBlock(2, "01/02/2023  10:00:05", {1, 2, 3}),
                                  memoryBlock(3, "bad", {4, 5, 6})};
    const std::string text = jcampDx(unitHeader(), axis, blocks);
    for (const auto &l : crlfLines(text)) {
        EXPECT_LE(l.size(), 80u) << l;
    }
    EXPECT_TRUE(text.starts_with("##TITLE=Proj\r\n##JCAMP-DX=5.01\r\n##DATA TYPE=LINK\r\n"
                                 "##BLOCKS=3\r\n"));
    EXPECT_EQ(countOf(text, "##BLOCK_ID="), 3u);
    EXPECT_NE(text.find("##BLOCK_ID=3\r\n"), std::string::npos);
    EXPECT_EQ(countOf(text, "##XYPOINTS=(XY..XY)\r\n"), 3u);
    EXPECT_EQ(countOf(text, "##END="), 4u);
    EXPECT_EQ(countOf(text, "##LONGDATE="), 2u) << "a bad time text gives no date";
    // Transmittance as JCAMP's fraction: percent values with 1/100 in YFACTOR.
    EXPECT_NE(text.find("##YUNITS=TRANSMITTANCE\r\n##XFACTOR=1\r\n##YFACTOR=1E-8\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("##FIRSTY=0.5\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n401.5, 25000000\r\n403.25, 100000000\r\n##END="), std::string::npos);

    // Wavenumber: ascending.
    axis.unit = AxisUnit::Wavenumber;
    const std::string wn = jcampDx(unitHeader(), axis, std::span(blocks, 1));
    EXPECT_NE(wn.find("##XUNITS=1/CM\r\n"), std::string::npos);
    EXPECT_NE(wn.find("##FIRSTX=" + std::to_string(1e7 / 403.25).substr(0, 8)), std::string::npos);

    // Nothing in view: refused.
    EXPECT_EQ(jcampDx(unitHeader(), pixelAxis(7, 9, {}), blocks), "");
    EXPECT_EQ(jcampDx(unitHeader(), axis, {}), "");
}

TEST(JcampDx, LongNamesAreWrappedAndCannotStartARecord) {
    ExportBlock b = liveBlock({1, 2});
    b.projectName = std::string(70, 'x') + "\r\n##END=";
    b.sampleName = "a $$ b";
    const ExportBlock blocks[] = {b};
    const std::string text = jcampDx(unitHeader(), gridAxis(400.0, 1.0, 0, 2), blocks);
    std::size_t ends = 0;
    for (const auto &l : crlfLines(text)) {
        EXPECT_LE(l.size(), 80u) << l;
        EXPECT_EQ(l.find("$$"), std::string::npos);
        ends += l.starts_with("##END=") ? 1 : 0;
    }
    EXPECT_EQ(ends, 1u);
    EXPECT_TRUE(text.ends_with("\r\n##END=\r\n"));
}

// --- BMP --------------------------------------------------------------------

TEST(BmpFile, HeadersAndPaddedBottomUpRows) {
    for (int width : {1, 2, 3, 4, 5}) {
        const int height = 2;
        const int stride = width + 1; // one unused word per row
        std::vector<std::uint32_t> px(static_cast<std::size_t>(stride * height), 0xFFFFFFFFu);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                px[static_cast<std::size_t>(y * stride + x)] =
                    0xFF000000u | (static_cast<std::uint32_t>(x) << 16) |
                    (static_cast<std::uint32_t>(y) << 8) | 0x30u;
            }
        }
        const std::string f = bmpFile(width, height, px, stride);
        const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
        ASSERT_EQ(f.size(), 54 + row * height) << width;
        EXPECT_EQ(f.substr(0, 2), "BM");
        EXPECT_EQ(u32At(f, 2), f.size());
        EXPECT_EQ(u32At(f, 6), 0u);
        EXPECT_EQ(u32At(f, 10), 54u);
        EXPECT_EQ(u32At(f, 14), 40u);
        EXPECT_EQ(u32At(f, 18), static_cast<std::uint32_t>(width));
        EXPECT_EQ(u32At(f, 22), 2u);
        EXPECT_EQ(u16At(f, 26), 1);
        EXPECT_EQ(u16At(f, 28), 24);
        EXPECT_EQ(u32At(f, 30), 0u);
        EXPECT_EQ(u32At(f, 34), row * height);
        EXPECT_EQ(u32At(f, 38), 2835u);
        EXPECT_EQ(u32At(f, 42), 2835u);
        EXPECT_EQ(u32At(f, 46), 0u);
        EXPECT_EQ(u32At(f, 50), 0u);
        // File row 0 is the bottom image row (y = 1): B, G, R of its pixels.
        for (int x = 0; x < width; ++x) {
            const std::size_t at = 54 + static_cast<std::size_t>(x) * 3;
            EXPECT_EQ(u8At(f, at), 0x30);
            EXPECT_EQ(u8At(f, at + 1), 1);
            EXPECT_EQ(u8At(f, at + 2), x);
            EXPECT_EQ(u8At(f, at + row + 1), 0) << "top row second";
        }
        for (std::size_t p = static_cast<std::size_t>(width) * 3; p < row; ++p) {
            EXPECT_EQ(u8At(f, 54 + p), 0) << "padding, width " << width;
            EXPECT_EQ(u8At(f, 54 + row + p), 0) << "padding, width " << width;
        }
    }
}

TEST(BmpFile, RefusesBadSizesAndShortSpans) {
    const std::vector<std::uint32_t> px(6, 0);
    EXPECT_EQ(bmpFile(0, 2, px, 3), "");
    EXPECT_EQ(bmpFile(3, 0, px, 3), "");
    EXPECT_EQ(bmpFile(-3, 2, px, 3), "");
    EXPECT_EQ(bmpFile(3, 2, px, 2), ""); // stride below the width
    EXPECT_EQ(bmpFile(3, 3, px, 3), ""); // span too short
    EXPECT_EQ(bmpFile(3, 2, std::span(px).first(5), 3), "");
    EXPECT_EQ(bmpFile(4, 2, px, 2), "");
    EXPECT_NE(bmpFile(2, 2, std::span(px).first(5), 3), ""); // last row needs only its width
    EXPECT_EQ(bmpFile(1 << 30, 1 << 30, px, 1 << 30), "");
}

} // namespace
} // namespace quillon::exports
