#pragma once
// One exFAT directory entry set decoded from bytes: the file entry (85h, 05h
// when deleted), its stream extension (C0h/40h) and file-name entries
// (C1h/41h), checked by the set checksum. Nothing here reads a device.
//
// File entry: 0x01 secondary count, 0x02 set checksum (16), 0x04 attributes
// (16), 0x08/0x0C/0x10 create/modify/access time stamps (32, the FAT date in
// the high and the FAT time in the low half), 0x14/0x15 create/modify 10 ms
// (0-199), 0x16/0x17/0x18 UTC offsets (bit 7 valid, 15-minute steps).
// Stream: 0x01 flags (bit 0 allocation possible, bit 1 no FAT chain), 0x03
// name length, 0x04 name hash (16), 0x08 valid data length (64), 0x14 first
// cluster (32), 0x18 data length (64). Name: 0x02, 15 UTF-16 units.
#include <cstdint>
#include <string>

#include "platform/byte_order.h"

namespace vantor {

inline constexpr uint16_t kExfatAttrDirectory = 0x10;

struct ExfatTimeStamp {
    uint32_t stamp = 0;
    uint8_t tenMs = 0;   // 0-199, added to the two-second field
    uint8_t utc = 0;     // bit 7: offset valid; bits 0-6: signed 15-minute steps
};

struct ExfatEntrySet {
    bool inUse = false;
    uint8_t secondaryCount = 0;
    uint16_t attributes = 0;
    ExfatTimeStamp created, modified, accessed;
    uint8_t streamFlags = 0;
    uint16_t nameHash = 0;
    uint64_t validLength = 0;
    uint64_t dataLength = 0;
    uint32_t firstCluster = 0;
    std::u16string name;

    bool noFatChain() const { return (streamFlags & 2) != 0; }
    bool isDirectory() const { return (attributes & kExfatAttrDirectory) != 0; }
    size_t bytes() const { return (size_t{secondaryCount} + 1) * 32; }
};

enum class ExfatSetStatus {
    Ok,
    NotAFileEntry,  // the first entry is no file entry (in use or deleted)
    RunsPast,       // the set's entries run past the buffer's end
    BadChecksum,
    BadSet,         // wrong secondary types, counts or name length
};

// The set checksum of count x 32 bytes, taken with every entry's in-use bit
// set, as it was when the set was written.
uint16_t ExfatSetChecksum(ByteSpan set);

// Decodes the set at the start of bytes (which should reach to the end of
// the directory's data read so far).
ExfatSetStatus DecodeExfatEntrySet(ByteSpan bytes, ExfatEntrySet& out);

// "%d-%.2d-%.2d   %.2d:%.2d:%.2d" as the FAT page shows it (the 10 ms count
// adds whole seconds); empty for a zero stamp.
std::string ExfatTimeText(const ExfatTimeStamp& t);
// ISO 8601 with hundredths and the UTC offset when it is valid
// ("2023-11-14T22:13:20.00+00:00"); empty for a zero stamp.
std::string ExfatTimeIso(const ExfatTimeStamp& t);
// The FAT date half of a stamp, for the date filters.
inline uint16_t ExfatDosDate(const ExfatTimeStamp& t) { return static_cast<uint16_t>(t.stamp >> 16); }

}  // namespace vantor
