// The dark/reference snapshot of the configuration that is not current
// ("DarkRef.mem") and the colour tile (".ctf").
#ifndef QUILLON_APP_DATACONTROL_DARK_REF_SNAPSHOT_H
#define QUILLON_APP_DATACONTROL_DARK_REF_SNAPSHOT_H

#include "datacontrol/channel_state.h"
#include "datacontrol/op_result.h"
#include "platform/prompter.h"

#include <filesystem>

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

private:
    ChannelState &s;
    ScanPipeline &pipeline;
    Prompter &prompter;
};

} // namespace quillon

#endif
