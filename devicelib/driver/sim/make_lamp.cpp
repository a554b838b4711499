// Writes "OVlamp.txt", the lamp table of the simulator's calibrated lamp,
// into the folder given: the program ships it beside itself.
#include "sim/optics.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "ov_sim_make_lamp: usage: ov_sim_make_lamp FOLDER\n");
        return 2;
    }
    const std::string path = std::string(argv[1]) + "/OVlamp.txt";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << ov::sim::calibratedLampTable();
    out.close();
    if (!out) {
        std::fprintf(stderr, "ov_sim_make_lamp: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
