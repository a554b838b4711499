// The dark/reference snapshot of the configuration that is not current
// ("DarkRef.mem") and the colour tile (".ctf").
#ifndef QUILLON_APP_DATACONTROL_DARK_REF_SNAPSHOT_H
#define QUILLON_APP_DATACONTROL_DARK_REF_SNAPSHOT_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "datacontrol/source_panels.h"
#include "platform/prompter.h"

#include <filesystem>
#include <optional>
#include <utility>

namespace quillon {

class ScanPipeline;

class DarkRefSnapshot {
public:
    DarkRefSnapshot(ChannelState &state, ScanPipeline &scans, Prompter &userPrompter)
        : s(state), pipeline(scans), prompter(userPrompter) {}

    [[nodiscard]] OpResult SaveDarkRef();
    // Exchanges the current configuration with the snapshot; the caller
    // sends the integration time of the other configuration.
    [[nodiscard]] OpResult SwapConfiguration();
    [[nodiscard]] OpResult SaveColorTile(const std::filesystem::path &path);
    [[nodiscard]] OpResult LoadColorTile(const std::filesystem::path &path);

    // The tile operation chosen in the reference panel, waiting for the
    // reference button (the tile must be in front of the unit by then).
    struct ArmedTile {
        ColourTileTask task = ColourTileTask::Save;
        std::filesystem::path file;
    };
    void ArmTile(ArmedTile tile) { armed = std::move(tile); }
    void DisarmTile() { armed.reset(); }
    const std::optional<ArmedTile> &Armed() const { return armed; }

private:
    ChannelState &s;
    ScanPipeline &pipeline;
    Prompter &prompter;
    std::optional<ArmedTile> armed;
};

} // namespace quillon

#endif
