// The fixed texts DataControl shows.
#ifndef QUILLON_APP_DATACONTROL_MESSAGES_H
#define QUILLON_APP_DATACONTROL_MESSAGES_H

#include <string>
#include <string_view>

namespace quillon::messages {

inline constexpr const char *kNoDevice =
    "There is an error on testing the USB connections. There is no device connected."
    "\n\rIf you'd like to test the interface again, please click [Retry]."
    "\n\rIf you'd like to open the saved data file without using the device, please click "
    "[Ignore].";
// The no-device box for units that are there but cannot be used: the
// backend's reason (say, no permission, with the rule to install) in place
// of "no device connected", with the same choices.
inline std::string noUsableDevice(const std::string &reason) {
    if (reason.empty()) {
        return kNoDevice;
    }
    const std::string_view box(kNoDevice);
    return reason + std::string(box.substr(box.find("\n\r")));
}
inline constexpr const char *kSetupPort =
    "There is an error on testing the interface via the USB port #%d.";
inline constexpr const char *kReadChannelId =
    "There is an error on reading the channel ID of the USB port #%d.";
inline constexpr const char *kWriteChannelId =
    "There is an error on writing the channel ID of the USB port #%d.";
inline constexpr const char *kReadEeprom =
    "There is an error on reading the EEPROM data from the USB port #%d.";
inline constexpr const char *kEmptyEeprom =
    "Error! The EEPROM of the USB port #%d doesn't have a proper data or is empty. Please "
    "contact OV for how to set the EEPROM properly."
    "\nWould you like to use the temporary data file [Serial.ini] for this unit? If NO, it will "
    "close the program.";
inline constexpr const char *kSaveEeprom = "Error in opening the file to save the EEPROM data.";
inline constexpr const char *kSaveEepromAsFile = "Error in saving the EEPROM data as a file.";
inline constexpr const char *kDuplicateSerial =
    "Error! At least two units with the same serial number were connected at the same time.\n"
    "Please plug the units with the same S/N one by one and correct the S/N properly.\n"
    "The program will be closed now.";
// Followed by the path of the settings file.
inline constexpr const char *kSaveSettings =
    "The settings of this session could not be saved. The file cannot be written: ";
// Wavelength calibration sets.
inline constexpr const char *kOpenMainInCalibration =
    "Failed to open the initial setup file in OnIniDialog() of DlgCalibration class, 1st...";
inline constexpr const char *kOpenUnitInCalibration =
    "Failed to open the initial setup file in OnIniDialog() of DlgCalibration class, 2nd...";
inline constexpr const char *kOpenMainInReinit =
    "Failed to open the initial setup file in ReInitDialog() of DlgCalibration class, 1st...";
inline constexpr const char *kOpenUnitInReinit =
    "Failed to open the initial setup file in ReInitDialog() of DlgCalibration class, 2nd...";
inline constexpr const char *kPeaksNeedDark =
    "Peaks are found above the dark: take a dark scan first, then refresh.";
inline constexpr const char *kTooFewPointsToSave =
    "The list holds fewer than two points with both a wavelength and a pixel; nothing was "
    "saved.";
inline constexpr const char *kSaveCalibrationSet =
    "The calibration set could not be saved. The file cannot be written: ";
inline constexpr const char *kCalibrationSetKept =
    "The chosen calibration set cannot be used; the calibration in use stays as it was.";
inline constexpr const char *kAcquisitionDidNotPause =
    "The acquisition did not pause; nothing was changed. Try again.";
inline constexpr const char *kLoseEepromData =
    "You will lose the important data saved in EEPROM. Would you like to countinue it anyway?";
inline constexpr const char *kLampScanNeedsScope =
    "Calibration points come from the counts on the pixel axis: choose the scope mode and "
    "the pixel base first.";
inline constexpr const char *kLampScanFailed =
    "No scan of the lamp could be taken; check the unit and its connection.";
inline constexpr const char *kNoSetName = "Give the calibration set a name first.";
inline constexpr const char *kSetNameOfOtherUnit =
    "Another connected unit keeps its settings under this name; choose another set name: ";
inline constexpr const char *kUnitFileNotWritten =
    "The unit holds the new calibration, but its settings file could not be written: ";
inline constexpr const char *kUnknownBoard = "Can not find the board type";
inline constexpr const char *kOpenIniInSetVariablesFromIni =
    "Failed to open the initial setup file in SetVariablesFromIni() in DataControl class...";
inline constexpr const char *kOpenIniInSetVariablesFromEEPROMData =
    "Failed to open the initial setup file in SetVariablesFromEEPROMData() in DataControl "
    "class...";
inline constexpr const char *kOpenIniInIsOldBoard =
    "Failed to open the initial setup file in IsOldBoard() in DataControl class...";
inline constexpr const char *kOpenIniInGetSNFromOldIni =
    "Failed to open the initial setup file in GetSNFromOldIni() in DataControl class...";
inline constexpr const char *kNoSerialInOldIni =
    "Error in the Quillon.ini. There is no serial number information.";
inline constexpr const char *kIntegrationTooHigh =
    "The CCD of the current channel is not Toshiba TCD 1304 but the integration time set in the "
    "ini file seems too high [%dmsec]. Do you still keep the current integration time? If you "
    "click 'NO', then it will be converted to the default integration time [35msec].";
inline constexpr const char *kIntegrationTooLow =
    "The CCD of the current channel is Toshiba TCD 1304 but the integration time set in the ini "
    "file seems too low [%dmsec]. Do you still keep the current integration time? If you click "
    "'NO', then it will be converted to the default integration time [35msec].";
inline constexpr const char *kInitializePort =
    "There is an error in initializing the USB Port #%d.";
inline constexpr const char *kSoftwareTrigger =
    "Error in setting the software trigger mode onto the USB port #%d.";
inline constexpr const char *kIntegrationTime =
    "Error in setting the integration time onto the USB port #%d.";
inline constexpr const char *kTeCooling = "There is an error in TE Cooling on the USB Port #%d.";
inline constexpr const char *kSelectCf =
    "There is an error in Selecting CF value on the USB Port #%d.";
inline constexpr const char *kOddEvenPrompt =
    "To adjust the difference between odd number pixels and even number pixels automatically, "
    "please block the input light and click OK when ready.";
inline constexpr const char *kDisconnected =
    "Unit is disconnected unexpectedly during acquiring data.\r\nPlease check the Unit and click "
    "OK.";
inline constexpr const char *kInternalTriggerOnClose =
    "Error on Setting Internal Trigger mode when closing the program for Toshiba #%d.";
inline constexpr const char *kWriteEeprom =
    "Error on writing the EEPROM data via the USB port #%d.";
inline constexpr const char *kPixelMemory = "Error in allocation Pixel memory space!";
inline constexpr const char *kShutterNotMoved =
    "The built-in shutter did not answer. Check the connection of the unit.";
inline constexpr const char *kOpenIniInReadCalData =
    "Failed to open the initial setup file in ReadCalData() in DataControl class...";
inline constexpr const char *kTooFewCalibrationPoints =
    "Too few calibration data. It should be more than 1.";
inline constexpr const char *kBadCalibration = "Bad calibration data. ";
inline std::string missingCalibrationSet(int calNo, const std::string &settingsFile) {
    const std::string set = "[Cal " + std::to_string(calNo) + "]";
    return "CalNo=" + std::to_string(calNo) + " names the calibration set " + set +
           ", which is not in " + settingsFile +
           ". The factory calibration of the unit is used instead.";
}
inline constexpr const char *kWavelengthMemory = "Error in allocation Wavelength memory!";
inline constexpr const char *kSaveDarkRef = "Can not open the file!";
inline constexpr const char *kSwapDarkRef = "Couldn't open the file!";
inline constexpr const char *kColorTileFile = "Can not open the file for Color Tile!";

// Stored spectra: the panels' status lines and the boxes.
inline constexpr const char *kInputSaveName = "Input Save Data Name";
inline constexpr const char *kNoMemoryData = "No Memory Data";
inline constexpr const char *kSavedData = "%d Saved Data";
inline constexpr const char *kNoLoadName = "No Load Data Name";
inline constexpr const char *kNoSaveName = "No Save Data Name";
inline constexpr const char *kNoSuchFile = "No file name is found ";
inline constexpr const char *kMemoryLoaded = "%d Memory Data has been Loaded";
inline constexpr const char *kBoardMismatch = "Board type is mismatched";
inline constexpr const char *kChangingSource = "Error in changing source!";
inline constexpr const char *kBoardOrCcd = "Error! Board or CCD doesn't match";
inline constexpr const char *kAdjustDarkTimeAverage = "Adjust Dark TimeAverage to %d.";

// The dark, reference and TEC panels: status lines and the captions they
// give the dark and reference buttons.
inline constexpr const char *kDarkScanNeeded = "A darkScan is necessary.";
inline constexpr const char *kColourOnly = "This function is only for COLOR";
inline constexpr const char *kNoColourTileName = "No Color Tile Data Name";
inline constexpr const char *kNoShutter = "The unit has no built-in shutter.";
inline constexpr const char *kCaptionDarkScan = "Dark Scan";
inline constexpr const char *kCaptionDarkOb = "Dark OB ";
inline constexpr const char *kCaptionDarkFile = "Dark File";
inline constexpr const char *kCaptionRefScan = "&Ref Scan";
inline constexpr const char *kCaptionRefFile = "&Ref File";
inline constexpr const char *kCaptionSaveTile = "&Save Tile";
inline constexpr const char *kCaptionReadTile = "&Read Tile";
inline std::string fileNotSaved(const std::string &file, const std::string &reason) {
    return "The file " + file + " could not be written (" + reason +
           "). Nothing was saved; an older file of that name is unchanged.";
}
inline std::string fileNotLoaded(const std::string &file, const std::string &reason) {
    return "The file " + file + " could not be loaded: " + reason + ". Nothing was changed.";
}
inline std::string lastItemCut(const std::string &file, int items) {
    return "The last spectrum in " + file +
           " was cut short (the recording may have been interrupted) and was left out; " +
           std::to_string(items) + " spectra were read.";
}
inline std::string unsavedSpectraOnClose(int items) {
    return "The memory list holds " + std::to_string(items) +
           " spectra that are not saved in a scan data file. Quit and lose them?";
}
inline std::string otherUnitsSpectra(int items, int pixels) {
    return "The memory list holds " + std::to_string(items) + " unsaved spectra of " +
           std::to_string(pixels) +
           " pixels, which this unit cannot add to. Discard them and start a new list?";
}

// The setup panel of the "&QX Setup" button.
inline constexpr const char *kInternalTriggerMode =
    "Error on setting the internal triggering mode via the USB Port #%d.";
inline constexpr const char *kExternalEdgeMode =
    "Error on setting the external triggering edge mode via the USB Port #%d.";
inline constexpr const char *kExternalTriggering =
    "Error on setting the external triggering via the USB Port #%d.";
inline constexpr const char *kMemoryDeleted = "Recorded data was deleted successfully";
inline constexpr const char *kGridKept =
    "The new wavelength grid could not be built. The previous grid is used again; change the "
    "grid and apply again.";
inline constexpr const char *kSetupNotPaused =
    "Acquisition did not pause, so nothing was changed. Please try again.";
inline std::string setupNotApplied(const std::string &reason) {
    return "The setup was not applied: " + reason + ".";
}
inline std::string memoryOfOtherUnit(int pixels) {
    return "The memory list holds spectra of " + std::to_string(pixels) +
           " pixels, which this unit cannot show. Save or delete them first.";
}

// EEPROM tool.
inline constexpr const char *kToolReadChannelId = "Error in reading the channel ID.";
inline constexpr const char *kToolWriteChannelId = "Error in writing the channel ID.";
inline constexpr const char *kToolChannelIdRepaired =
    "The current channel ID is not proper so the default channel ID [0] will be assigned "
    "automatically. You can change this ID.";
inline constexpr const char *kToolIgnoreChange = "Would you like to ignore the change?";
inline constexpr const char *kToolEepromEmpty = "The EEPROM is EMPTY.";
inline constexpr const char *kToolReadEeprom = "Error in reading EEPROM data.";
inline constexpr const char *kToolWriteEeprom = "Error in writing the EEPROM data.";
inline constexpr const char *kToolTemplateHelp =
    "[S/N] Put the serial number of unit next to \"Name=\"\n"
    "[CCD] Toshiba CCD: TCD1304, Sony CCD: ILX511\n"
    "[Channel] Current channel ID assigned will be saved automatically.\n"
    "[IntTime] Default integration time\n"
    "[PixelFlip] 0: Original signal direction, 1: Reversed signal direction\n"
    "[InitPane] 0: Default, 4: for Color measurement (visible range only), 8: for Irradiance "
    "measurement (calibrated unit only)\n"
    "              12: Color and irradiance measurements, 28: Color, irradiance and luminance "
    "measurements\n"
    "[IrradDist] The distance in cm when calibrating the unit radiometrically\n"
    "[BadPixels] Put the bad pixels separating with space, comma or semicolon\n"
    "Copy and paste the calibration data set below the [Cal Data].\n";

} // namespace quillon::messages

#endif
