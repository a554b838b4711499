#include "datacontrol/eeprom_tool.h"

#include "datacontrol/acquisition_hold.h"
#include "datacontrol/data_control.h"
#include "datacontrol/eeprom_tool_text.h"
#include "datacontrol/messages.h"
#include "ovdbusbm.h"

#include <algorithm>

namespace quillon {

EepromTool::EepromTool(DataControl &control) : control_(control) {}

bool EepromTool::paused(bool acquisitionPaused) {
    if (!acquisitionPaused) {
        control_.Prompt().message(messages::kAcquisitionDidNotPause);
    }
    return acquisitionPaused;
}

bool EepromTool::editsMayGo() {
    if (!modified_) {
        return true;
    }
    if (!control_.Prompt().askYesNo(messages::kToolIgnoreChange)) {
        return false;
    }
    modified_ = false;
    return true;
}

bool EepromTool::Open() {
    SuspendedAcquisition hold(control_.Hold(), HoldBy::Dialog);
    if (!paused(hold.paused())) {
        return false;
    }
    const int channel = control_.State().currentChannel;
    const auto id = control_.Unit().readChannelId(channel);
    if (!id) {
        control_.Prompt().message(messages::kToolReadChannelId);
        return false;
    }
    channelId_ = *id;
    if (channelIdNeedsRepair(channelId_)) {
        control_.Prompt().message(messages::kToolChannelIdRepaired);
        if (control_.WriteChannelId(0) != OpResult::Done) {
            control_.Prompt().message(messages::kToolWriteChannelId);
            return false;
        }
        channelId_ = 0;
    }
    opened_ = true;
    (void)readText(); // a failure is told and leaves the pane empty
    return true;
}

OpResult EepromTool::Read(const std::function<void()> &reading) {
    if (!editsMayGo()) {
        return OpResult::NotDone;
    }
    if (reading) {
        reading();
    }
    SuspendedAcquisition hold(control_.Hold(), HoldBy::Dialog);
    if (!paused(hold.paused())) {
        return OpResult::NotDone;
    }
    return readText();
}

OpResult EepromTool::readText() {
    pane_.clear();
    unitName_.clear();
    templateHelp_ = false;
    std::string text;
    const int result = control_.Unit().readEepromText(control_.State().currentChannel, text);
    if (result == OV_ERR_NO_DATA) {
        control_.Prompt().message(messages::kToolEepromEmpty);
        return OpResult::Failed;
    }
    if (result < 0) {
        control_.Prompt().message(messages::kToolReadEeprom);
        return OpResult::Failed;
    }
    pane_ = withPaneLineEnds(text);
    unitName_ = unitNameOfText(pane_);
    return OpResult::Done;
}

void EepromTool::Template() {
    const SensorGeometry &sensor = control_.State().geometry;
    pane_ = eepromTemplate(sensor.boardType, sensor.inGaAsKind, channelId_);
    modified_ = true;
    templateHelp_ = true;
}

void EepromTool::ShowTemplateHelp() {
    control_.Prompt().message(messages::kToolTemplateHelp);
}

void EepromTool::EditPane(const std::string &text) {
    pane_ = withPaneLineEnds(text);
    modified_ = true;
}

OpResult EepromTool::Write() {
    if (!modified_) {
        return OpResult::NotDone;
    }
    const SensorGeometry &sensor = control_.State().geometry;
    const PreparedEepromText prepared =
        prepareEepromText(pane_, channelId_, sensor.boardType, sensor.inGaAsKind);
    if (!prepared.refusal.empty()) {
        control_.Prompt().message(prepared.refusal);
        return OpResult::Failed;
    }
    SuspendedAcquisition hold(control_.Hold(), HoldBy::Dialog);
    if (!paused(hold.paused())) {
        return OpResult::NotDone;
    }
    unitName_ = prepared.unitName;
    // The writer has told the operator what happened, backup and read-back included.
    if (control_.WriteEeprom(prepared.text).result != OpResult::Done) {
        control_.Prompt().message(messages::kToolWriteEeprom);
        return OpResult::Failed;
    }
    written_ = true;
    modified_ = false;
    (void)readText(); // shows what the unit now holds; a failure is told
    return OpResult::Done;
}

std::vector<int> EepromTool::channelIdChoices() const {
    return quillon::channelIdChoices(channelId_);
}

OpResult EepromTool::ChangeChannelId(int newId) {
    const std::vector<int> offered = channelIdChoices();
    if (!opened_ || newId == channelId_ ||
        std::find(offered.begin(), offered.end(), newId) == offered.end()) {
        return OpResult::NotDone;
    }
    SuspendedAcquisition hold(control_.Hold(), HoldBy::Dialog);
    if (!paused(hold.paused())) {
        return OpResult::NotDone;
    }
    if (control_.WriteChannelId(newId) != OpResult::Done) {
        control_.Prompt().message(messages::kToolWriteChannelId);
        return OpResult::Failed;
    }
    channelId_ = newId;
    templateHelp_ = false;
    // The text's "Channel=" line no longer matches what the unit holds.
    modified_ = true;
    return OpResult::Done;
}

bool EepromTool::Ok() {
    if (!editsMayGo()) {
        return false;
    }
    if (!written_) {
        return true;
    }
    SuspendedAcquisition hold(control_.Hold(), HoldBy::Dialog);
    if (!paused(hold.paused())) {
        return false;
    }
    (void)control_.AdoptUnitText(); // its failure is told; the dialog closes either way
    return true;
}

} // namespace quillon
