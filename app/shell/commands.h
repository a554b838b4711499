// Command identifiers of the menus and the button bar, and the texts of the
// scope view's commands.
#ifndef QUILLON_APP_SHELL_COMMANDS_H
#define QUILLON_APP_SHELL_COMMANDS_H

namespace quillon::command {

// Button bar (also menu items).
inline constexpr int kQxSetup = 150;
inline constexpr int kDarkScanPanel = 151;
inline constexpr int kRefScanPanel = 152;
inline constexpr int kModePanel = 153;
inline constexpr int kTimeLine = 154;
inline constexpr int kFindPeak = 155;
inline constexpr int kSave = 156;
inline constexpr int kLoad = 157;
inline constexpr int kPrint = 159;
inline constexpr int kTecControl = 161;
inline constexpr int kHomePage = 164;

// Menu only.
inline constexpr int kCustomize = 32773;
inline constexpr int kWavelengthCalibration = 32774;
inline constexpr int kIrradianceCalibration = 32775;
inline constexpr int kRefScan = 32776;
inline constexpr int kShowDarkLine = 32782;
inline constexpr int kShowReferenceLine = 32783;
inline constexpr int kSubtractDark = 32784;
inline constexpr int kPeakFindConf = 32785;
inline constexpr int kScopeMode = 32786;
inline constexpr int kTransReflMode = 32787;
inline constexpr int kAbsorbanceMode = 32788;
inline constexpr int kIrradianceMode = 32789;
inline constexpr int kPeakFind = 32790;
inline constexpr int kDarkScan = 32791;
inline constexpr int kRecord = 32792;
inline constexpr int kPrintPreview = 32793;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;

// Tool tip of commands whose panels and dialogs are not in this version.
inline constexpr const char *kLaterVersion = "Available in a later version";

} // namespace quillon::command

#endif
