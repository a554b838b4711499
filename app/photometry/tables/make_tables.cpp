// quillon_make_tables DATA_DIR OUTPUT_DIR VM_SOURCE
//
// Run by the build: writes "OVColor.mem" and "OVPLE.mem" into OUTPUT_DIR
// (beside the programs) and the built-in V_M table as the C++ source
// VM_SOURCE, all from the published tables in DATA_DIR (resources/data).
//
// The six weighting sets, in file order:
//   A / 1931    published: ASTM E308 Table 5.1 (astm_e308_table5_10nm.csv)
//   A / 1964    computed from cie_illuminant_a_1nm.csv and cie1964_10deg_cmf.csv
//   C / 1931    computed from cie_illuminant_c_5nm.csv (Sprague to 1 nm) and cie1931_2deg_cmf.csv
//   C / 1964    computed from cie_illuminant_c_5nm.csv (Sprague to 1 nm) and cie1964_10deg_cmf.csv
//   D65 / 1931  computed from cie_illuminant_d65_1nm.csv and cie1931_2deg_cmf.csv
//   D65 / 1964  published: ASTM E308 Table 5.19
// "Computed" is the ASTM E308 / CIE 15 method of weighting.h. Every white
// point comes from the 1 nm sums of its illuminant and observer. The
// published A / 1931 weights differ from the computed ones by 0.002 at
// 650 nm (X), which is why their X sum is 109.847 rather than 109.850; they
// are kept as published.
#include "reference_data.h"
#include "weighting.h"

#include "photometry/colour_tables.h"
#include "platform/files.h"

#include <iostream>

namespace tables = quillon::colour::tables;
namespace fs = std::filesystem;

namespace {

struct Inputs {
    tables::SpectralTable cmf2, cmf10, a, c, d65, astm, v1924, vm;
};

bool read(const fs::path &dir, const char *name, std::size_t columns, tables::SpectralTable &out) {
    std::string error;
    auto table = tables::readSpectralCsv(dir / name, columns, error);
    if (!table) {
        std::cerr << "quillon_make_tables: " << error << '\n';
        return false;
    }
    out = std::move(*table);
    return true;
}

bool write(const fs::path &file, const std::string &bytes, bool text) {
    if (bytes.empty() || !(text ? quillon::platform::replaceTextFile(file, bytes)
                                : quillon::platform::replaceBinaryFile(file, bytes))) {
        std::cerr << "quillon_make_tables: cannot write " << quillon::platform::pathText(file)
                  << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::cerr << "usage: quillon_make_tables DATA_DIR OUTPUT_DIR VM_SOURCE\n";
        return 2;
    }
    const fs::path data = argv[1];
    const fs::path output = argv[2];
    Inputs in;
    if (!read(data, "cie1931_2deg_cmf.csv", 3, in.cmf2) ||
        !read(data, "cie1964_10deg_cmf.csv", 3, in.cmf10) ||
        !read(data, "cie_illuminant_a_1nm.csv", 1, in.a) ||
        !read(data, "cie_illuminant_c_5nm.csv", 1, in.c) ||
        !read(data, "cie_illuminant_d65_1nm.csv", 1, in.d65) ||
        !read(data, "astm_e308_table5_10nm.csv", 6, in.astm) ||
        !read(data, "v_1924_photopic.csv", 1, in.v1924) ||
        !read(data, "vm_1988_2deg.csv", 1, in.vm)) {
        return 1;
    }
    const tables::SpectralTable c1nm = tables::spragueTo1nm(in.c);

    std::array<tables::WeightingSet, 6> sets{};
    if (!tables::publishedWeights(in.astm, 0, sets[0]) ||
        !tables::publishedWeights(in.astm, 3, sets[5])) {
        std::cerr << "quillon_make_tables: the ASTM table must run 360-780 nm at 10 nm\n";
        return 1;
    }
    sets[0].white = tables::whitePoint(in.a, in.cmf2);
    sets[1] = tables::computeWeights(in.a, in.cmf10);
    sets[2] = tables::computeWeights(c1nm, in.cmf2);
    sets[3] = tables::computeWeights(c1nm, in.cmf10);
    sets[4] = tables::computeWeights(in.d65, in.cmf2);
    sets[5].white = tables::whitePoint(in.d65, in.cmf10);

    if (!fs::is_directory(output)) {
        std::cerr << "quillon_make_tables: no folder " << quillon::platform::pathText(output)
                  << '\n';
        return 1;
    }
    const bool ok = write(output / quillon::colour::kColorFile,
                          tables::colorFileBytes(sets, tables::spectrumLocus(in.cmf2)), false) &&
                    write(output / quillon::colour::kPhotopicFile,
                          tables::photopicFileBytes(in.v1924), false) &&
                    write(argv[3], tables::photopicVmSource(in.vm), true);
    return ok ? 0 : 1;
}
