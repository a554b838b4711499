#include "library_state.h"

#include <cstdio>

namespace ov {

LibraryState::LibraryState() {
    resetTables();
}

void LibraryState::resetTables() {
    for (auto &entry : foundOrder) {
        entry = kNoSlot;
    }
    for (auto &entry : channelIdTable) {
        entry = kNoSlot;
    }
}

int LibraryState::slotOfChannel(int channel) const {
    const int index = low16(channel);
    if (index < 0 || index >= kSlots) {
        return kNoSlot;
    }
    return useChannelIds ? channelIdTable[index].load() : foundOrder[index].load();
}

int LibraryState::slotOfFoundUnit(int index) const {
    if (index < 0 || index >= kSlots) {
        return kNoSlot;
    }
    return foundOrder[index];
}

void LibraryState::setMessageHook(MessageHook hook, void *context) {
    std::lock_guard guard(hookLock);
    messageHook = hook;
    messageContext = context;
}

void LibraryState::showMessage(const char *text) {
    std::lock_guard guard(hookLock);
    if (messageHook != nullptr) {
        messageHook(text, messageContext);
    } else {
        std::fprintf(stderr, "%s\n", text);
    }
}

LibraryState &state() {
    static LibraryState instance;
    return instance;
}

} // namespace ov
