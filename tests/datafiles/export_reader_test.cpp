// Each export form opened by a reader that is not ours: spc-parser for SPC,
// jcampconverter for JCAMP-DX, csv-parse for CSV (npm, installed into the
// build tree by readers/install.sh, the fixture of these tests) and Pillow
// for the bitmap. The readers print what they parsed as JSON
// (readers/read_*), which is compared with what was written.
#include "datafiles/exports.h"
#include "export_samples.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace quillon::exports {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string quoted(const std::string &s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

class ReaderTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quillon_export_readers_" + std::to_string(::getpid()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    fs::path write(const std::string &name, const std::string &bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

    // Runs a reader on a file; fails the test (never skips it) when the
    // reader cannot run or prints no JSON.
    json read(const char *tool, const char *script, const fs::path &file) {
        const std::string cmd = "NODE_PATH=" + quoted(QUILLON_READER_MODULES) + " " + quoted(tool) +
                                " " + quoted(std::string(QUILLON_READERS_DIR) + "/" + script) +
                                " " + quoted(file.string()) + " 2>&1";
        std::string out;
        FILE *pipe = ::popen(cmd.c_str(), "r");
        if (pipe == nullptr) {
            ADD_FAILURE() << "cannot run " << cmd;
            return {};
        }
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) {
            out.append(buf, n);
        }
        const int status = ::pclose(pipe);
        if (status != 0) {
            ADD_FAILURE() << script << " failed (" << status << "):\n" << out;
            return {};
        }
        json j = json::parse(out, nullptr, false);
        if (j.is_discarded()) {
            ADD_FAILURE() << script << " printed no JSON:\n" << out;
            return {};
        }
        return j;
    }

    json node(const char *script, const fs::path &file) { return read(QUILLON_NODE, script, file); }

private:
    fs::path dir_;
};

ExportBlock block(int no, std::string time, std::vector<float> values) {
    ExportBlock b;
    b.projectName = "Proj";
    b.sampleName = "Samp";
    b.measurementNo = no;
    b.itemTime = std::move(time);
    b.values = std::move(values);
    return b;
}

// A spectrum with a peak on a baseline, values of several magnitudes.
std::vector<float> spectrum(std::size_t n, float scale) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double d = (static_cast<double>(i) - static_cast<double>(n) / 3) / 25.0;
        v[i] = scale * static_cast<float>(0.03 + std::exp(-d * d) + 1e-4 * static_cast<double>(i));
    }
    return v;
}

ExportAxis pixelAxis(int first, int last, std::size_t pixels) {
    ExportAxis a;
    a.firstPixel = first;
    a.lastPixel = last;
    for (std::size_t p = 0; p < pixels; ++p) {
        const double x = static_cast<double>(p);
        a.wavelengthTable.push_back(static_cast<float>(340.0 + 0.37 * x - 1.1e-5 * x * x));
    }
    return a;
}

// The parsed JSON is used non-const throughout: a key or index the reader
// did not print then reads as null and fails its comparison.
std::vector<double> numbers(const json &array) {
    std::vector<double> v;
    for (const auto &e : array) {
        v.push_back(e.get<double>());
    }
    return v;
}

// --- SPC --------------------------------------------------------------------

TEST_F(ReaderTest, SpcPixelViewOfTheWholeSensor) {
    ExportAxis axis = pixelAxis(1, 2048, 2048);
    const std::vector<float> values = spectrum(2048, 60000.0f);
    const ExportBlock blocks[] = {block(5, "03/15/2024  13:45:07", values)};
    json r = node("read_spc.js", write("pixels.spc", spcFile(axis, blocks, Which::Current)));
    ASSERT_FALSE(r.is_null());
    EXPECT_EQ(r["fileVersion"], 0x4B);
    EXPECT_EQ(r["multiFile"], false);
    EXPECT_EQ(r["exponentY"], -128);
    EXPECT_EQ(r["numberPoints"], 2048);
    EXPECT_EQ(r["startingX"], 1.0);
    EXPECT_EQ(r["endingX"], 2048.0);
    EXPECT_EQ(r["subFileCount"], 1);
    EXPECT_EQ(r["xUnits"], "Data Points");
    EXPECT_EQ(r["yUnits"], "Counts");
    EXPECT_EQ(r["date"], "2024-03-15T13:45:00.000Z");
    EXPECT_EQ(r["resolution"], "1.000");
    EXPECT_EQ(r["memo"], "Proj / Samp  Relative Intensity");
    EXPECT_EQ(r["modifiedFlag"], 1);
    ASSERT_EQ(r["subFiles"].size(), 1u);
    json &sub = r["subFiles"][0];
    EXPECT_EQ(sub["nextZ"].get<double>(), static_cast<double>(FLT_MAX));
    const auto x = numbers(sub["x"]);
    const auto y = numbers(sub["y"]);
    ASSERT_EQ(x.size(), 2048u);
    ASSERT_EQ(y.size(), 2048u);
    for (std::size_t i = 0; i < 2048; ++i) {
        EXPECT_DOUBLE_EQ(x[i], static_cast<double>(i + 1));
        EXPECT_EQ(y[i], static_cast<double>(values[i])) << i; // floats carry over exactly
    }
}

TEST_F(ReaderTest, SpcWavenumberMultifile) {
    ExportAxis axis = gridAxis(400.0, 0.5, 10, 50);
    axis.unit = AxisUnit::Wavenumber;
    axis.quantity = Quantity::TransRefl;
    const ExportBlock blocks[] = {block(1, "01/02/2023  10:00:00", spectrum(80, 90.0f)),
                                  block(2, "01/02/2023  10:00:05", spectrum(80, 50.0f)),
                                  block(3, "01/02/2023  10:00:10", spectrum(80, 10.0f))};
    json r = node("read_spc.js", write("multi.spc", spcFile(axis, blocks, Which::All)));
    ASSERT_FALSE(r.is_null());
    EXPECT_EQ(r["multiFile"], true);
    EXPECT_EQ(r["subFileCount"], 3);
    EXPECT_EQ(r["numberPoints"], 50);
    EXPECT_EQ(r["xUnits"], "Wavenumber (cm-1)");
    EXPECT_EQ(r["yUnits"], "Transmission");
    EXPECT_EQ(r["date"], "2023-01-02T10:00:00.000Z");
    EXPECT_DOUBLE_EQ(r["startingX"].get<double>(), 1e7 / 429.5);
    EXPECT_DOUBLE_EQ(r["endingX"].get<double>(), 1e7 / 405.0);
    ASSERT_EQ(r["subFiles"].size(), 3u);
    for (std::size_t s = 0; s < 3; ++s) {
        json &sub = r["subFiles"][s];
        EXPECT_EQ(sub["index"], s);
        EXPECT_EQ(sub["exponentY"], -128);
        const auto y = numbers(sub["y"]);
        ASSERT_EQ(y.size(), 50u);
        // Ascending wavenumber: from the view's longest wavelength down.
        for (std::size_t k = 0; k < 50; ++k) {
            EXPECT_EQ(y[k], static_cast<double>(blocks[s].values[10 + 49 - k])) << s << " " << k;
        }
    }
}

// --- JCAMP-DX ---------------------------------------------------------------

TEST_F(ReaderTest, JcampGridSpectrum) {
    const ExportAxis axis = gridAxis(350.0, 0.25, 40, 600);
    const std::vector<float> values = spectrum(1000, 45000.0f);
    const ExportBlock blocks[] = {block(1, "03/15/2024  13:45:07", values)};
    json r = node("read_jcamp.js", write("grid.jdx", jcampDx({}, axis, blocks)));
    ASSERT_FALSE(r.is_null());
    EXPECT_EQ(r["relabelled"], 0);
    EXPECT_TRUE(r["logs"].empty()) << r["logs"];
    ASSERT_EQ(r["blocks"].size(), 1u);
    json &b = r["blocks"][0];
    EXPECT_EQ(b["dataType"], "UV/VIS SPECTRUM");
    EXPECT_EQ(b["jcampDX"], "5.01");
    ASSERT_EQ(b["spectra"].size(), 1u);
    json &s = b["spectra"][0];
    EXPECT_EQ(s["xUnits"], "NANOMETERS");
    EXPECT_EQ(s["yUnits"], "COUNTS");
    EXPECT_EQ(s["equallySpaced"], true);
    EXPECT_EQ(s["nbPoints"], 600);
    EXPECT_DOUBLE_EQ(s["firstX"].get<double>(), 360.0);
    EXPECT_DOUBLE_EQ(s["lastX"].get<double>(), 509.75);
    EXPECT_NEAR(s["firstY"].get<double>(), values[40], 1e-9 * values[40]);
    const auto x = numbers(s["x"]);
    const auto y = numbers(s["y"]);
    ASSERT_EQ(x.size(), 600u);
    ASSERT_EQ(y.size(), 600u);
    // Integers of nine digits for the largest value: every value within a
    // millionth of a count.
    for (std::size_t k = 0; k < 600; ++k) {
        EXPECT_NEAR(x[k], 360.0 + 0.25 * static_cast<double>(k), 1e-9);
        EXPECT_NEAR(y[k], values[40 + k], 1e-4) << k;
    }
}

TEST_F(ReaderTest, JcampCompoundOfUnevenPixelWavelengths) {
    ExportAxis axis = pixelAxis(3, 130, 256);
    axis.unit = AxisUnit::Wavelength;
    axis.quantity = Quantity::TransRefl;
    const ExportBlock blocks[] = {block(1, "01/02/2023  10:00:00", spectrum(256, 95.0f)),
                                  block(2, "01/02/2023  10:00:05", spectrum(256, 0.5f)),
                                  block(3, "01/02/2023  10:00:10", spectrum(256, 100.0f))};
    json r = node("read_jcamp.js", write("link.jdx", jcampDx({}, axis, blocks)));
    ASSERT_FALSE(r.is_null());
    EXPECT_EQ(r["relabelled"], 3);
    EXPECT_TRUE(r["logs"].empty()) << r["logs"];
    ASSERT_EQ(r["blocks"].size(), 4u);
    EXPECT_EQ(r["blocks"][0]["dataType"], "LINK");
    EXPECT_EQ(r["blocks"][0]["info"]["BLOCKS"], 3);
    EXPECT_TRUE(r["blocks"][0]["spectra"].empty());
    for (std::size_t b = 0; b < 3; ++b) {
        json &blk = r["blocks"][b + 1];
        EXPECT_EQ(blk["info"]["BLOCKID"], b + 1);
        ASSERT_EQ(blk["spectra"].size(), 1u);
        json &s = blk["spectra"][0];
        EXPECT_EQ(s["xUnits"], "NANOMETERS");
        EXPECT_EQ(s["yUnits"], "TRANSMITTANCE");
        EXPECT_EQ(s["nbPoints"], 128);
        const auto x = numbers(s["x"]);
        const auto y = numbers(s["y"]);
        ASSERT_EQ(x.size(), 128u);
        ASSERT_EQ(y.size(), 128u);
        for (std::size_t k = 0; k < 128; ++k) {
            EXPECT_EQ(x[k], static_cast<double>(axis.wavelengthTable[2 + k])) << k;
            // Percent on screen, JCAMP's fraction in the file.
            EXPECT_NEAR(y[k], blocks[b].values[2 + k] / 100.0, 1e-8) << k;
        }
    }
}

TEST_F(ReaderTest, JcampPixelNumbersAndWavenumbers) {
    ExportAxis axis = pixelAxis(1, 100, 100);
    const std::vector<float> values = spectrum(100, -3000.0f); // negative values too
    const ExportBlock blocks[] = {block(1, "01/02/2023  10:00:00", values)};
    json r = node("read_jcamp.js", write("pixels.jdx", jcampDx({}, axis, blocks)));
    ASSERT_FALSE(r.is_null());
    json &s = r["blocks"][0]["spectra"][0];
    EXPECT_EQ(s["xUnits"], "ARBITRARY UNITS");
    EXPECT_EQ(s["equallySpaced"], true);
    const auto x = numbers(s["x"]);
    const auto y = numbers(s["y"]);
    ASSERT_EQ(y.size(), 100u);
    for (std::size_t k = 0; k < 100; ++k) {
        EXPECT_DOUBLE_EQ(x[k], static_cast<double>(k + 1));
        EXPECT_NEAR(y[k], values[k], 1e-5) << k;
    }

    axis.unit = AxisUnit::Wavenumber;
    json w = node("read_jcamp.js", write("wavenumbers.jdx", jcampDx({}, axis, blocks)));
    ASSERT_FALSE(w.is_null());
    json &ws = w["blocks"][0]["spectra"][0];
    EXPECT_EQ(ws["xUnits"], "1/CM");
    const auto wx = numbers(ws["x"]);
    const auto wy = numbers(ws["y"]);
    ASSERT_EQ(wx.size(), 100u);
    for (std::size_t k = 0; k < 100; ++k) {
        EXPECT_DOUBLE_EQ(wx[k], 1e7 / static_cast<double>(axis.wavelengthTable[99 - k]));
        EXPECT_NEAR(wy[k], values[99 - k], 1e-5) << k;
    }
}

// --- CSV --------------------------------------------------------------------

TEST_F(ReaderTest, CsvTableOfSeveralItems) {
    ExportAxis axis = pixelAxis(2, 301, 400);
    axis.quantity = Quantity::AbsolutePower;
    const ExportBlock blocks[] = {block(4, "a", spectrum(400, 1e-3f)),
                                  block(7, "b", spectrum(400, 2.5e6f))};
    json r = node("read_csv.js", write("table.csv", csvTable(axis, blocks)));
    ASSERT_FALSE(r.is_null());
    json &rec = r["records"];
    ASSERT_EQ(rec.size(), 301u);
    EXPECT_EQ(rec[0], json({"Pixel", "Wavelength(nm)", "Wavenumber(1/cm)",
                            "Absolute Power(mW/nm) #4", "Absolute Power(mW/nm) #7"}));
    for (std::size_t k = 0; k < 300; ++k) {
        json &row = rec[k + 1];
        ASSERT_EQ(row.size(), 5u);
        EXPECT_EQ(row[0], std::to_string(k + 2));
        const float wl = axis.wavelengthTable[k + 1];
        EXPECT_EQ(std::stof(row[1].get<std::string>()), wl);
        EXPECT_DOUBLE_EQ(std::stod(row[2].get<std::string>()), 1e7 / static_cast<double>(wl));
        EXPECT_EQ(std::stof(row[3].get<std::string>()), blocks[0].values[k + 1]);
        EXPECT_EQ(std::stof(row[4].get<std::string>()), blocks[1].values[k + 1]);
    }
}

// --- BMP --------------------------------------------------------------------

TEST_F(ReaderTest, BitmapOfAnOddWidth) {
    const int width = 5;
    const int height = 3;
    const int stride = 7;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(stride * height), 0xFF123456u);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            px[static_cast<std::size_t>(y * stride + x)] =
                0xFF000000u | (static_cast<std::uint32_t>(40 * x + 1) << 16) |
                (static_cast<std::uint32_t>(100 * y + 2) << 8) |
                static_cast<std::uint32_t>(x * y + 3);
        }
    }
    json r =
        read(QUILLON_PYTHON, "read_bmp.py", write("graph.bmp", bmpFile(width, height, px, stride)));
    ASSERT_FALSE(r.is_null());
    EXPECT_EQ(r["format"], "BMP");
    EXPECT_EQ(r["mode"], "RGB");
    EXPECT_EQ(r["width"], width);
    EXPECT_EQ(r["height"], height);
    ASSERT_EQ(r["pixels"].size(), static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            EXPECT_EQ(r["pixels"][static_cast<std::size_t>(y * width + x)],
                      json({40 * x + 1, 100 * y + 2, x * y + 3}))
                << x << "," << y;
        }
    }
}

} // namespace
} // namespace quillon::exports
