// The unit's EEPROM: the text stored as records (each line followed by 0x08,
// then 0x08, 0x07), streamed out in 64-byte read answers and reassembled
// from 64-byte write packets.
#ifndef QUILLON_DEVICELIB_DRIVER_SIM_EEPROM_STORE_H
#define QUILLON_DEVICELIB_DRIVER_SIM_EEPROM_STORE_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov::sim {

inline constexpr std::uint8_t kRecordSeparator = 0x08;
inline constexpr std::uint8_t kEndMarker = 0x07;
inline constexpr std::size_t kEepromAnswerSize = 64;
inline constexpr std::size_t kEepromPayloadMax = 61;
inline constexpr std::size_t kDefaultEepromCapacity = 4096;

// The stored bytes of a text: every non-empty line (comment lines starting
// with ';' left out, as the library never writes them) as one record.
std::vector<std::uint8_t> recordsFromText(std::string_view text);
// The text of stored records, one line-feed-ended line per record.
std::string textFromRecords(std::span<const std::uint8_t> records);

class EepromStore {
public:
    explicit EepromStore(std::size_t capacity = kDefaultEepromCapacity);

    // False when the records do not fit the capacity.
    bool load(std::vector<std::uint8_t> records);
    void erase(); // empty: 0x08, 0x07
    // The next completed write stores its text with one character changed
    // (a failing cell): the transfer itself reports success.
    void garbleNextWrite() { garbleNext_ = true; }
    bool garblePending() const { return garbleNext_; }
    void clearGarble() { garbleNext_ = false; }

    // Read packet (command 0x0A): sequence 1 starts at the beginning, any
    // other continues; fills 64 bytes, zeros past the end.
    void readPacket(std::uint8_t sequence, std::span<std::uint8_t, kEepromAnswerSize> answer);

    // Write packet (command 0x08). Sequence 1 starts a new transfer. The
    // records replace the stored ones once the end marker has arrived, so a
    // broken-off transfer leaves the old text in place. False when the packet
    // is malformed, continues no transfer, or overflows the capacity.
    bool writePacket(std::span<const std::uint8_t> command);

    const std::vector<std::uint8_t> &records() const { return records_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const;

private:
    std::size_t capacity_;
    std::vector<std::uint8_t> records_;
    std::vector<std::uint8_t> incoming_; // reserved once to capacity
    std::size_t readPosition_ = 0;
    bool writing_ = false;
    bool garbleNext_ = false;
};

} // namespace ov::sim

#endif
