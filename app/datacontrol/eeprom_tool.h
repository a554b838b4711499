// The steps of the EEPROM tool on the current channel's unit: the channel ID
// it holds, its EEPROM text in an editing pane, a template for a new unit,
// and the unit file made from the text once it was written. The dialog
// shows what this object holds and forwards the buttons; every rule and
// every box the operator sees is here.
//
// Choices where the unit may hold what the list does not offer:
// - A unit holding ID 8 keeps it: the list offers 0 to 8 and shows 8
//   (IDs below 0 or above 8 are repaired to 0 on opening).
// - A text without "Channel=" or "CCD=" gets those lines added to its
//   factory section on Write; a text without "Name=" is not written (the
//   unit file is named after it): the operator is told, the pane is kept.
// - A failed write keeps the operator's text in the pane and the modified
//   mark, so nothing typed is lost and the write can be tried again.
#ifndef QUILLON_APP_DATACONTROL_EEPROM_TOOL_H
#define QUILLON_APP_DATACONTROL_EEPROM_TOOL_H

#include "datacontrol/op_result.h"

#include <functional>
#include <string>
#include <vector>

namespace quillon {

class DataControl;

class EepromTool {
public:
    explicit EepromTool(DataControl &control);

    // Reads the channel ID (repairing one the unit should not hold), then
    // the text. False when the ID could not be read or repaired: the tool
    // stays empty and only OK is of use.
    bool Open();
    // Done: the pane shows the unit's text; NotDone: the operator kept the
    // edits; Failed: the pane is empty and the operator was told why.
    // `reading` is called once the question is past, before the unit is
    // asked (a front end shows that it waits).
    [[nodiscard]] OpResult Read(const std::function<void()> &reading = {});
    // The pane holds a new unit's template for this channel.
    void Template();
    void ShowTemplateHelp();
    // The operator edited the pane: its whole text ("\r\n" or "\n" ends).
    void EditPane(const std::string &text);
    // NotDone without edits; Done once the unit holds the text (the pane
    // then shows what it reads back).
    [[nodiscard]] OpResult Write();
    // NotDone when `newId` is the ID already held.
    [[nodiscard]] OpResult ChangeChannelId(int newId);
    // True when the dialog may close; after a write the unit's text has
    // become its unit file (a failure is told, the dialog still closes).
    [[nodiscard]] bool Ok();

    bool opened() const { return opened_; }
    int channelId() const { return channelId_; }
    std::vector<int> channelIdChoices() const;
    const std::string &paneText() const { return pane_; } // "\r\n" ends
    const std::string &unitName() const { return unitName_; }
    bool modified() const { return modified_; }
    bool written() const { return written_; }
    bool templateHelpVisible() const { return templateHelp_; }

private:
    // False (the operator told) when acquisition did not pause.
    bool paused(bool acquisitionPaused);
    // The Yes/No on unsaved edits: true when they may go.
    bool editsMayGo();
    OpResult readText();

    DataControl &control_;
    bool opened_ = false;
    int channelId_ = 0;
    std::string pane_;
    std::string unitName_;
    bool modified_ = false;
    bool written_ = false;
    bool templateHelp_ = false;
};

} // namespace quillon

#endif
