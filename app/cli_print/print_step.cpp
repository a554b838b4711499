#include "cli_print/print_step.h"

#include "cli/session.h"
#include "cli/steps.h"
#include "datacontrol/colour_measurement.h"
#include "datacontrol/stored_spectra.h"
#include "platform/files.h"
#include "shell/data_sheet_page.h"
#include "shell/graph_feed.h"
#include "shell/scope_graph.h"

#include <QByteArray>
#include <QGuiApplication>

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::cli {

namespace {

// Qt's notes about a session without a desktop (no runtime folder, no
// font configuration) mean nothing to a script; its errors are told as the
// program's own lines.
void quietQtMessages(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "quillon: %s\n", text.toLocal8Bit().constData());
    }
}

// Fonts need a GUI application; a run without a display gets one on the
// offscreen platform for the time of the step.
class OffscreenApplication {
public:
    OffscreenApplication() {
        if (QGuiApplication::instance() == nullptr) {
            previousHandler_ = qInstallMessageHandler(quietQtMessages);
            app_.emplace(argc_, argv_.data(), QGuiApplication::ApplicationFlags);
        }
    }
    ~OffscreenApplication() {
        if (app_) {
            app_.reset();
            qInstallMessageHandler(previousHandler_);
        }
    }
    OffscreenApplication(const OffscreenApplication &) = delete;
    OffscreenApplication &operator=(const OffscreenApplication &) = delete;

private:
    int argc_ = 3;
    std::array<char, 8> name_{"quillon"};
    std::array<char, 10> option_{"-platform"};
    std::array<char, 10> platform_{"offscreen"};
    std::array<char *, 4> argv_{name_.data(), option_.data(), platform_.data(), nullptr};
    QtMessageHandler previousHandler_ = nullptr;
    std::optional<QGuiApplication> app_;
};

// The whole range of the data, as the graph shows it after a reset, with
// the titles of the settings.
GraphViewState fullView(const DataControl &control) {
    GraphViewState view;
    view.range = resetViewRange(rangeContextFrom(control));
    view.range.peakMarks = !control.Peaks().empty();
    view.mainTitle = control.State().settings.title;
    view.secondTitle = control.State().settings.subTitle;
    return view;
}

std::string checkSheetName(std::string_view text) {
    return text.empty() ? "expected a file name" : std::string();
}

bool runPrint(Session &s, const StepCall &call) {
    // Like every file step: the name cut before its last "." and given the
    // form's extension.
    const std::filesystem::path target =
        userFilePath({}, platform::pathText(s.fileArgument(call.args.at(0))), ".pdf");
    const OffscreenApplication application;
    QByteArray pdf;
    if (call.has("--colour")) {
        // The colour of the scan as the colour view measures it.
        colour_view::ColourSnapshot snapshot;
        colour_view::ColourChartData charts;
        ColourRequest request;
        request.whileOnGrid = [&](const ColorCalc &engine, const ChannelState &state) {
            colour_view::takeSnapshot(engine, state, snapshot);
            charts = colour_view::chartData(snapshot, engine.LocusTable());
        };
        const ColourMeasurement measured = MeasureColour(s.dc, request);
        if (measured.outcome != ColourMeasurement::Outcome::Measured) {
            return s.fail(call, measured.problem);
        }
        pdf = dataSheetPdf(ColourSheetPage::compose(s.dc, snapshot, charts));
    } else {
        pdf = dataSheetPdf(DataSheetPage::compose(s.dc, fullView(s.dc), call.has("--factory")));
    }
    if (pdf.isEmpty()) {
        return s.fail(call, data_sheet_messages::kPageFailed);
    }
    const std::string reason = platform::replaceBinaryFileWithReason(
        target, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
    if (!reason.empty()) {
        return s.fail(call, platform::pathText(target) + ": " + reason);
    }
    s.note("data sheet written to " + platform::pathText(target));
    return true;
}

} // namespace

const std::vector<StepSpec> &stepsWithPrint() {
    static const std::vector<StepSpec> steps = [] {
        const std::span<const StepSpec> base = stepTable();
        std::vector<StepSpec> all(base.begin(), base.end());
        all.push_back(
            {"print",
             "write the data sheet of the current scan to the PDF file NAME.pdf",
             "Draws the spectral data sheet of the window's Print command for the current scan\n"
             "(or the selected memory item): the header from the Print Page settings, the graph\n"
             "over the full range of the display settings, the unit information, the wavelength\n"
             "values (with --factory the factory unit information instead) and the found peaks.\n"
             "NAME is cut before its last \".\" and given the extension .pdf; an existing file\n"
             "is replaced. Exit 1 when the page cannot be drawn or the file cannot be written.\n",
             {{"NAME", Arity::One, checkSheetName}},
             {{"--factory", nullptr, nullptr, "the factory unit information in the second box"},
              {"--colour", nullptr, nullptr,
               "the colour data sheet (needs dark and reference) instead of the spectral one"}},
             runPrint});
        return all;
    }();
    return steps;
}

} // namespace quillon::cli
