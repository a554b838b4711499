#include "sim/eeprom_store.h"

#include <algorithm>

namespace ov::sim {

std::vector<std::uint8_t> recordsFromText(std::string_view text) {
    std::vector<std::uint8_t> records;
    while (!text.empty()) {
        const auto end = text.find('\n');
        auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == ';') {
            continue;
        }
        records.insert(records.end(), line.begin(), line.end());
        records.push_back(kRecordSeparator);
    }
    records.push_back(kRecordSeparator);
    records.push_back(kEndMarker);
    return records;
}

std::string textFromRecords(std::span<const std::uint8_t> records) {
    std::string text;
    std::string line;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto b = records[i];
        if (b == kRecordSeparator) {
            if (i + 1 < records.size() && records[i + 1] == kEndMarker && line.empty()) {
                break;
            }
            text += line;
            text += '\n';
            line.clear();
        } else if (b == kEndMarker && line.empty()) {
            break;
        } else {
            line += static_cast<char>(b);
        }
    }
    return text;
}

EepromStore::EepromStore(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 2)) {
    incoming_.reserve(capacity_);
    erase();
}

bool EepromStore::load(std::vector<std::uint8_t> records) {
    if (records.size() > capacity_) {
        return false;
    }
    records_ = std::move(records);
    readPosition_ = 0;
    return true;
}

void EepromStore::erase() {
    records_ = {kRecordSeparator, kEndMarker};
    readPosition_ = 0;
}

bool EepromStore::empty() const {
    return records_.size() >= 2 && records_[0] == kRecordSeparator && records_[1] == kEndMarker;
}

void EepromStore::readPacket(std::uint8_t sequence,
                             std::span<std::uint8_t, kEepromAnswerSize> answer) {
    if (sequence == 1) {
        readPosition_ = 0;
    }
    std::fill(answer.begin(), answer.end(), 0);
    if (readPosition_ < records_.size()) {
        const auto count = std::min(kEepromAnswerSize, records_.size() - readPosition_);
        std::copy_n(records_.begin() + static_cast<std::ptrdiff_t>(readPosition_), count,
                    answer.begin());
    }
    readPosition_ += kEepromAnswerSize;
}

namespace {

// Flips one bit of the first text byte, so the stored text still reads as
// text but no longer matches what was written.
void garbleFirstCharacter(std::vector<std::uint8_t> &records) {
    for (std::uint8_t &b : records) {
        if (b >= 0x20 && b < 0x7F) {
            b = static_cast<std::uint8_t>(b ^ 0x01);
            return;
        }
    }
}

} // namespace

bool EepromStore::writePacket(std::span<const std::uint8_t> command) {
    if (command.size() < 3) {
        return false;
    }
    const std::uint8_t sequence = command[1];
    const std::size_t length = command[2];
    if (length > kEepromPayloadMax || 3 + length > command.size()) {
        return false;
    }
    if (sequence == 1) {
        incoming_.clear();
        writing_ = true;
    }
    if (!writing_) {
        return false;
    }
    if (incoming_.size() + length > capacity_) {
        writing_ = false; // the rest of this transfer fails as well
        return false;
    }
    const auto payload = command.subspan(3, length);
    for (const std::uint8_t b : payload) {
        incoming_.push_back(b);
        // The end marker follows a separator that ends no line: an empty record.
        const auto n = incoming_.size();
        const bool endOfText = b == kEndMarker && n >= 2 && incoming_[n - 2] == kRecordSeparator &&
                               (n == 2 || incoming_[n - 3] == kRecordSeparator);
        if (endOfText) {
            records_.assign(incoming_.begin(), incoming_.end());
            if (garbleNext_) {
                garbleFirstCharacter(records_);
                garbleNext_ = false;
            }
            readPosition_ = 0;
            writing_ = false;
            return true;
        }
    }
    return true;
}

} // namespace ov::sim
