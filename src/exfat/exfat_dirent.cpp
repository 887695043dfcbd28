#include "exfat/exfat_dirent.h"

#include <cstdio>

namespace vantor {

namespace {

constexpr uint8_t kFile = 0x05;
constexpr uint8_t kStream = 0x40;
constexpr uint8_t kName = 0x41;

}  // namespace

uint16_t ExfatSetChecksum(ByteSpan set) {
    uint16_t sum = 0;
    for (size_t i = 0; i < set.size(); ++i) {
        if (i == 2 || i == 3) continue;
        uint8_t b = static_cast<uint8_t>(set[i]);
        if (i % 32 == 0) b |= 0x80;  // the sum was taken while the set was in use
        sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + b);
    }
    return sum;
}

ExfatSetStatus DecodeExfatEntrySet(ByteSpan b, ExfatEntrySet& out) {
    out = {};
    if (b.size() < 32 || (readU8(b, 0) & 0x7F) != kFile) return ExfatSetStatus::NotAFileEntry;
    out.inUse = (readU8(b, 0) & 0x80) != 0;
    out.secondaryCount = readU8(b, 1);
    if (out.secondaryCount < 2 || out.secondaryCount > 18) return ExfatSetStatus::BadSet;
    if (b.size() < out.bytes()) return ExfatSetStatus::RunsPast;
    const ByteSpan set = b.first(out.bytes());
    if (ExfatSetChecksum(set) != readLe16(set, 2)) return ExfatSetStatus::BadChecksum;
    const ByteSpan stream = set.subspan(32, 32);
    if ((readU8(stream, 0) & 0x7F) != kStream || ((readU8(stream, 0) & 0x80) != 0) != out.inUse)
        return ExfatSetStatus::BadSet;
    const uint8_t nameLength = readU8(stream, 3);
    const size_t nameEntries = (size_t{nameLength} + 14) / 15;
    if (nameLength == 0 || nameEntries > size_t{out.secondaryCount} - 1) return ExfatSetStatus::BadSet;
    out.attributes = readLe16(set, 4);
    out.created = {readLe32(set, 8), readU8(set, 20), readU8(set, 22)};
    out.modified = {readLe32(set, 12), readU8(set, 21), readU8(set, 23)};
    out.accessed = {readLe32(set, 16), 0, readU8(set, 24)};
    out.streamFlags = readU8(stream, 1);
    out.nameHash = readLe16(stream, 4);
    out.validLength = readLe64(stream, 8);
    out.firstCluster = readLe32(stream, 20);
    out.dataLength = readLe64(stream, 24);
    out.name.reserve(nameLength);
    for (size_t i = 0; i < nameEntries; ++i) {
        const ByteSpan e = set.subspan(64 + i * 32, 32);
        if ((readU8(e, 0) & 0x7F) != kName) return ExfatSetStatus::BadSet;
        for (size_t k = 0; k < 15 && out.name.size() < nameLength; ++k)
            out.name.push_back(static_cast<char16_t>(readLe16(e, 2 + k * 2)));
    }
    if (out.validLength > out.dataLength) out.validLength = out.dataLength;
    return ExfatSetStatus::Ok;
}

std::string ExfatTimeText(const ExfatTimeStamp& t) {
    if (t.stamp == 0) return {};
    const uint32_t date = t.stamp >> 16, time = t.stamp & 0xFFFF;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%.2d-%.2d   %.2d:%.2d:%.2d", date / 512 + 1980, (date >> 5) & 0x0F, date & 0x1F,
                  time / 2048, (time >> 5) & 0x3F, (time & 0x1F) * 2 + (t.tenMs < 200 ? t.tenMs / 100 : 0));
    return buf;
}

std::string ExfatTimeIso(const ExfatTimeStamp& t) {
    if (t.stamp == 0) return {};
    const uint32_t date = t.stamp >> 16, time = t.stamp & 0xFFFF;
    const unsigned tenMs = t.tenMs < 200 ? t.tenMs : 0;
    char buf[80];
    int n = std::snprintf(buf, sizeof buf, "%d-%.2d-%.2dT%.2d:%.2d:%.2d.%.2u", date / 512 + 1980, (date >> 5) & 0x0F,
                          date & 0x1F, time / 2048, (time >> 5) & 0x3F, (time & 0x1F) * 2 + tenMs / 100, tenMs % 100);
    if (t.utc & 0x80) {
        // Seven-bit two's complement, in quarter hours.
        int q = t.utc & 0x7F;
        if (q & 0x40) q -= 0x80;
        const int m = q < 0 ? -q * 15 : q * 15;
        std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), "%c%.2d:%.2d", q < 0 ? '-' : '+', m / 60, m % 60);
    }
    return buf;
}

}  // namespace vantor
