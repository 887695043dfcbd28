#pragma once
// One file or folder an NTFS scan found. The volume's foundItems list owns
// every item; pages and selections hold plain pointers that stay valid until
// the volume is reset.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/data_condition.h"

namespace vantor {

inline constexpr uint32_t kNtfsAttrReadOnly = 0x1;
inline constexpr uint32_t kNtfsAttrHidden = 0x2;
inline constexpr uint32_t kNtfsAttrSystem = 0x4;
inline constexpr uint32_t kNtfsAttrCompressed = 0x800;
// $FILE_NAME flag for a folder (an index root on $I30).
inline constexpr uint32_t kNtfsAttrFolder = 0x10000000;

// The root folder of a volume, and the first record a scan looks at.
inline constexpr uint32_t kNtfsRootRecord = 5;
inline constexpr uint32_t kNtfsFirstUserRecord = 30;

struct NtfsFoundItem {
    char name[260] = {};        // UTF-8, NUL-terminated, every '?' made '_'
    uint32_t recordIndex = 0;   // index of the record within its MFT image
    int32_t imageIndex = 0;     // 0 = the volume's MFT; 1 = records found outside it
    // Folders from the item up towards the root, nearest first; the root
    // itself is never an entry. pathRecords holds the matching record
    // numbers (a "Lost Files%d" bucket carries imageIndex + 1).
    std::vector<std::string> pathNames;
    std::vector<uint32_t> pathRecords;
    uint64_t creationTime = 0;      // FILETIME, from $STANDARD_INFORMATION
    uint64_t modificationTime = 0;
    uint64_t accessTime = 0;
    uint32_t attributes = 0;        // standard-information attributes | $FILE_NAME flags
    uint64_t size = 0;              // the unnamed $DATA's size in bytes
    uint8_t deleted = 0;            // 1 when the record's in-use bit is clear
    uint8_t selected = 0;           // 1 when ticked for recovery
    // The data's clusters against the volume's $Bitmap (Unknown without one).
    DataCondition condition = DataCondition::Unknown;

    // The record's own number (its 0x2C field; for image 0 equal to
    // recordIndex) and the parent folder's record number from the chosen
    // $FILE_NAME (low 48 bits of the reference).
    uint64_t recordNumber = 0;
    uint64_t parentRecord = 0;

    std::string nameText() const { return std::string(name, strnlen(name, sizeof(name))); }
    bool isFolder() const { return (attributes & kNtfsAttrFolder) != 0; }
    bool isDeleted() const { return deleted != 0; }
    bool isCompressed() const { return (attributes & kNtfsAttrCompressed) != 0; }
    void setName(const std::string& text) {
        std::memset(name, 0, sizeof(name));
        std::memcpy(name, text.data(), text.size() < sizeof(name) ? text.size() : sizeof(name) - 1);
    }
};

}  // namespace vantor
