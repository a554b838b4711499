#include "sim_protocol.h"

#include <algorithm>
#include <cstring>

namespace ov::sim::testing {
namespace {

std::array<std::uint8_t, 4> pipeRecord(std::uint32_t pipe) {
    return {static_cast<std::uint8_t>(pipe), 0, 0, 0};
}

std::uint16_t le16(const std::uint8_t *p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

Packet commandPacket(std::initializer_list<std::uint8_t> bytes) {
    Packet p{};
    std::copy(bytes.begin(), bytes.end(), p.begin());
    return p;
}

bool request(driver::Driver &d, int slot, std::uint32_t code, std::span<const std::uint8_t> in,
             std::span<std::uint8_t> out, std::uint32_t &bytesReturned) {
    const auto h = d.open(slot);
    if (h == driver::kInvalidHandle) {
        return false;
    }
    const bool ok = d.control(h, code, in, out, bytesReturned);
    d.close(h);
    return ok;
}

bool send(driver::Driver &d, int slot, const Packet &packet) {
    Packet copy = packet;
    const auto pipe = pipeRecord(driver::kPipeOut);
    std::uint32_t n = 0;
    return request(d, slot, driver::kIoctlBulkWrite, pipe, copy, n);
}

std::optional<std::vector<std::uint8_t>> readAnswer(driver::Driver &d, int slot,
                                                    std::size_t transferBytes) {
    std::vector<std::uint8_t> buffer(transferBytes + 24);
    const auto pipe = pipeRecord(driver::kPipeIn);
    std::uint32_t n = 0;
    if (!request(d, slot, driver::kIoctlBulkRead, pipe, std::span(buffer.data(), transferBytes),
                 n)) {
        return std::nullopt;
    }
    buffer.resize(n);
    return buffer;
}

std::optional<Geometry> speedCheck(driver::Driver &d, int slot) {
    std::vector<std::uint8_t> record(driver::kPipeInfoSize);
    std::uint32_t n = 0;
    if (!request(d, slot, driver::kIoctlPipeInfo, {}, record, n)) {
        return std::nullopt;
    }
    const std::size_t at = d.pipeRecordUses64BitLayout() ? driver::kPipeInfoMaxPacketOffset64
                                                         : driver::kPipeInfoMaxPacketOffset32;
    const int maximum = le16(record.data() + at);
    if (maximum == 1025 || maximum == 1024) {
        return Geometry{512, maximum};
    }
    return Geometry{64, 64};
}

std::optional<Identity> identity(driver::Driver &d, int slot) {
    std::array<std::uint8_t, driver::kDeviceDescriptorSize> descriptor{};
    std::uint32_t n = 0;
    if (!request(d, slot, driver::kIoctlDeviceDescriptor, descriptor, descriptor, n) ||
        n != driver::kDeviceDescriptorSize) {
        return std::nullopt;
    }
    Identity id{le16(&descriptor[8]), le16(&descriptor[10]), 0};
    id.sampleFormat = id.vendor == 0x0547 && id.product == 0x0323   ? 1
                      : id.vendor == 0x0547 && id.product == 0x0324 ? 2
                                                                    : 0;
    return id;
}

std::optional<std::string> stringDescriptor(driver::Driver &d, int slot, int index) {
    const std::array<std::uint8_t, 4> in = {static_cast<std::uint8_t>(index), 0,
                                            driver::kStringLanguageId & 0xFF,
                                            driver::kStringLanguageId >> 8};
    std::array<std::uint8_t, 4> head{};
    std::uint32_t n = 0;
    if (!request(d, slot, driver::kIoctlStringDescriptor, in, head, n) || n < 2) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> full(head[0]);
    if (!request(d, slot, driver::kIoctlStringDescriptor, in, full, n)) {
        return std::nullopt;
    }
    std::string text;
    for (std::size_t i = 2; i + 1 < n && text.size() < 64; i += 2) {
        text += static_cast<char>(full[i]);
    }
    return text;
}

int packetsPerFrame(int readoutLength, int packetBytes) {
    const int samples = packetBytes / 2;
    return (readoutLength + samples - 1) / samples;
}

Packet initialisePacket(int readoutLength, int packetBytes, bool typeTwo) {
    const int remainder = readoutLength % (packetBytes / 2);
    const int packets = packetsPerFrame(readoutLength, packetBytes);
    return commandPacket(
        {0x00, 11, 0, static_cast<std::uint8_t>(readoutLength & 0xFF),
         static_cast<std::uint8_t>(readoutLength >> 8), static_cast<std::uint8_t>(typeTwo ? 1 : 0),
         0, static_cast<std::uint8_t>(packets & 0xFF), static_cast<std::uint8_t>(remainder & 0xFF),
         static_cast<std::uint8_t>(remainder >> 8), 0, 32, 0});
}

FrameRead readFrame(driver::Driver &d, int slot, const Geometry &g, int readoutLength,
                    int sampleFormat, int timeoutMs) {
    FrameRead result;
    const auto h = d.open(slot);
    if (h == driver::kInvalidHandle) {
        return result;
    }
    Packet start = commandPacket({0x02});
    const auto out = pipeRecord(driver::kPipeOut);
    std::uint32_t n = 0;
    d.control(h, driver::kIoctlBulkWrite, out, start, n);
    const int samplesPerPacket = g.packetBytes / 2;
    const int packets = packetsPerFrame(readoutLength, g.packetBytes);
    const int remainder = readoutLength % samplesPerPacket;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(g.transferBytes) + 24);
    for (int k = 0; k < packets; ++k) {
        result.status = d.bulkReadWait(
            h, driver::kPipeIn, std::span(buffer.data(), static_cast<std::size_t>(g.transferBytes)),
            timeoutMs, n);
        if (result.status != driver::WaitStatus::Completed) {
            break;
        }
        result.received.push_back(n);
        if (k == 0 && buffer[0] == 0x00 && buffer[1] == 0xFF) {
            result.noFrameYet = true;
            break;
        }
        const int samples = k == packets - 1 && remainder != 0 ? remainder : samplesPerPacket;
        for (int s = 0; s < samples; ++s) {
            const std::uint16_t word = le16(&buffer[static_cast<std::size_t>(2 * s)]);
            result.counts.push_back(sampleFormat == 1 ? 0xFFFF - word : word ^ 0x8000);
        }
    }
    d.close(h);
    return result;
}

std::vector<Packet> eepromWritePackets(std::string_view text) {
    std::vector<std::vector<std::uint8_t>> records;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        std::vector<std::uint8_t> record(line.begin(), line.end());
        record.push_back(0x08);
        records.push_back(record);
    }
    records.push_back({0x08, 0x07});

    std::vector<Packet> packets;
    std::vector<std::uint8_t> current;
    const auto flush = [&](const std::vector<std::uint8_t> &payload) {
        Packet p{};
        p[0] = 0x08;
        p[1] = packets.empty() ? 1 : 2;
        p[2] = static_cast<std::uint8_t>(payload.size());
        std::copy(payload.begin(), payload.end(), p.begin() + 3);
        packets.push_back(p);
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto record = records[i];
        const bool final = i + 1 == records.size();
        if (!final && 3 + current.size() + record.size() <= 64) {
            current.insert(current.end(), record.begin(), record.end());
            continue;
        }
        flush(current);
        while (record.size() >= 61) {
            flush({record.begin(), record.begin() + 61});
            record.erase(record.begin(), record.begin() + 61);
        }
        current = record;
    }
    if (!current.empty()) {
        flush(current);
    }
    return packets;
}

std::optional<std::string> readEepromText(driver::Driver &d, int slot, std::size_t transferBytes) {
    std::string text;
    std::string pending;
    bool first = true;
    for (int guard = 0; guard < 1000; ++guard) {
        if (!send(d, slot, commandPacket({0x0A, static_cast<std::uint8_t>(first ? 1 : 2)}))) {
            return std::nullopt;
        }
        const auto answer = readAnswer(d, slot, transferBytes);
        if (!answer || answer->size() < 64) {
            return std::nullopt;
        }
        if (first && (*answer)[0] == 0x08 && (*answer)[1] == 0x07) {
            return std::string{};
        }
        first = false;
        char chunkBuffer[65] = {};
        std::memcpy(chunkBuffer, answer->data(), 64);
        std::string chunk(chunkBuffer); // zero-terminated, as the library takes it
        while (true) {
            if (!chunk.empty() && chunk[0] == 0x07) {
                return text;
            }
            const auto sep = chunk.find('\x08');
            if (sep == std::string::npos) {
                pending += chunk;
                break;
            }
            text += pending + chunk.substr(0, sep) + "\n";
            pending.clear();
            chunk = chunk.substr(sep + 1);
            if (chunk.empty()) {
                break;
            }
        }
    }
    return std::nullopt;
}

} // namespace ov::sim::testing
