#pragma once
// Decoding of 32-byte FAT directory entries over byte buffers: the validity
// rules both scans apply to short entries, long-name pieces, the names and
// attribute texts of found files, and the directory-sector test that
// recognises a directory cluster by its first sector. Nothing here touches a
// device.
#include <cstdint>
#include <string>
#include <vector>

#include "fat/fat_records.h"
#include "fat/fat_volume.h"
#include "platform/byte_order.h"

namespace vantor {

inline constexpr size_t kFatEntrySize = 32;
inline constexpr uint8_t kFatDeletedMark = 0xE5;
inline constexpr uint8_t kFatAttrReadOnly = 0x01;
inline constexpr uint8_t kFatAttrHidden = 0x02;
inline constexpr uint8_t kFatAttrSystem = 0x04;
inline constexpr uint8_t kFatAttrVolumeLabel = 0x08;
inline constexpr uint8_t kFatAttrDirectory = 0x10;
inline constexpr uint8_t kFatAttrLongName = 0x0F;

// The volume figures the entry rules look at.
struct FatEntryRules {
    FatKind kind = FatKind::Fat16;
    uint32_t totalSectors = 0;
    uint32_t sectorsPerCluster = 1;
    uint32_t bytesPerSector = 512;
    uint32_t sectorsPerFat = 0;
    uint32_t rootCluster = 1;
    int currentYear = 2000;  // dates up to this year + 1 pass

    static FatEntryRules ForVolume(const CFatVolume& volume, int currentYear);
    // FAT32: the highest high word a first cluster may carry.
    uint32_t maxHighWord() const { return bytesPerSector * sectorsPerFat / 262144; }
};

// The current local year (the date rules' reference).
int FatCurrentYear();

// One 32-byte entry viewed in place.
struct FatDirEntry {
    ByteSpan raw;  // exactly 32 bytes

    uint8_t first() const { return readU8(raw, 0); }
    uint8_t attr() const { return readU8(raw, 11); }
    bool deleted() const { return first() == kFatDeletedMark; }
    bool isLongName() const { return attr() == kFatAttrLongName; }
    bool isDirectory() const { return (attr() & kFatAttrDirectory) != 0; }
    uint16_t creationTime() const { return readLe16(raw, 14); }
    uint16_t creationDate() const { return readLe16(raw, 16); }
    uint16_t accessDate() const { return readLe16(raw, 18); }
    uint16_t highWord() const { return readLe16(raw, 20); }
    uint16_t writeTime() const { return readLe16(raw, 22); }
    uint16_t writeDate() const { return readLe16(raw, 24); }
    uint16_t lowWord() const { return readLe16(raw, 26); }
    uint32_t size() const { return readLe32(raw, 28); }
    // FAT16: the low word; FAT32: high word x 65536 + low word.
    uint32_t firstCluster(FatKind kind) const {
        return kind == FatKind::Fat32 ? (uint32_t{highWord()} << 16) | lowWord() : lowWord();
    }
};

// The character rule of short names: not below 0x20, not above 0x7E, none of "*/:<>?\|.
bool FatShortCharOk(uint8_t c);
// Year not later than currentYear + 1 (1980 is the field's floor), month at most 12.
bool FatDateOk(uint16_t dosDate, int currentYear);

// Short-entry validation of the scans (FAT16 rules or FAT32 rules by kind).
bool FatShortEntryValid(const FatDirEntry& e, bool hasLongName, const FatEntryRules& rules);

// Long-name accumulator: pieces arrive last first; a checksum change restarts.
class FatLongNameAccumulator {
public:
    void clear() { name_.clear(); }
    void add(const FatDirEntry& e);
    bool empty() const { return name_.empty(); }
    const std::string& text() const { return name_; }

private:
    std::string name_;
    uint8_t checksum_ = 0;
};

// Short name (bytes 0-7) with bad characters blanked, "#" for a deleted
// first byte, trimmed, "_" when empty; case kept.
std::string FatShortName(const FatDirEntry& e);
// Short extension (bytes 8-10), same replacement, trimmed, lowered.
std::string FatShortExt(const FatDirEntry& e);
// "H-", "R-" or "RW-", "S-", trailing "-" removed.
std::string FatAttributeText(uint8_t attr);

// The record of a file entry: the long name split at its last dot (not the
// first character) or the short name and extension. lowerName / lowerExt
// receive what the name masks compare.
std::unique_ptr<FatFoundFile> MakeFatFoundFile(const FatDirEntry& e, const std::string& longName,
                                               FatKind kind, std::string* lowerName = nullptr,
                                               std::string* lowerExt = nullptr);
// The folder name of a folder entry: long name when present, else short name.
std::string FatFolderName(const FatDirEntry& e, const std::string& longName);

// True when the buffer starts with "." and ".." entries (bytes 0, 32, 33).
bool FatStartsWithDotEntries(ByteSpan cluster);
// The directory-sector test: looks at the first bytesPerSector bytes only.
bool FatIsDirectorySector(ByteSpan sector, const FatEntryRules& rules);
// First cluster named by the ".." entry at entry 1 (FAT16: word 58; FAT32: 52/58).
uint32_t FatDotDotCluster(ByteSpan cluster, FatKind kind);

}  // namespace vantor
