// quillon_make_locus FOLDER
//
// Run by the build after quillon_make_tables: writes "OVBlack.mem" into
// FOLDER through the colour engine's own MakeLocusFile, from the D65 /
// 2 degree set of FOLDER's "OVColor.mem", so that the shipped locus is the
// one the engine's search expects. Any message of the engine fails the build.
#include "photometry/color_calc.h"

#include <iostream>

namespace {

class ToolPrompter final : public quillon::Prompter {
public:
    void message(const std::string &text) override {
        std::cerr << "quillon_make_locus: " << text << '\n';
        shown = true;
    }
    bool askYesNo(const std::string &text) override {
        message(text);
        return false;
    }
    quillon::AbortRetryIgnore askAbortRetryIgnore(const std::string &text) override {
        message(text);
        return quillon::AbortRetryIgnore::Abort;
    }
    std::optional<int> chooseSensor(const std::string &title,
                                    const std::vector<std::string> &) override {
        message(title);
        return std::nullopt;
    }
    bool shown = false;
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cerr << "usage: quillon_make_locus FOLDER\n";
        return 2;
    }
    quillon::ChannelState state;
    state.programFolder = argv[1];
    ToolPrompter prompter;
    quillon::ColorCalc engine(state, prompter);
    const bool made = engine.MakeLocusFile() == quillon::OpResult::Done;
    return made && !prompter.shown ? 0 : 1;
}
