#pragma once
// What the FAT scans find and the FAT writer copies out: one FatFoundFile per
// file, kept in a FatFolderFiles list that the folder-tree node owns.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/data_condition.h"
#include "dialogs/folder_tree.h"

namespace vantor {

// Which scan made a record. The writer picks the cluster rule by it: a record
// of the deleted-file scan (FAT intact) follows the free clusters after its
// first cluster; a record of the lost-folder scan (FAT gone) is contiguous.
enum class FatRecordOrigin : uint8_t { DeletedScan = 0, LostFolderScan = 1 };

struct FatFoundFile {
    char name[255] = {};       // name, then "." and ext when ext is not empty; NUL-terminated
    char ext[5] = {};          // lower case, at most 4 characters
    char attributes[12] = {};  // "RW", "H-R-S", ...
    uint32_t size = 0;         // directory-entry size in bytes (the field is 32 bits on disk)
    uint32_t firstCluster = 0; // FAT16: low word; FAT32: high word x 65536 + low word
    uint16_t creationTime = 0; // raw FAT time/date values
    uint16_t creationDate = 0;
    uint16_t accessDate = 0;
    uint16_t writeTime = 0;
    uint16_t writeDate = 0;
    uint8_t selected = 0;      // 1 when the user ticked the file
    // The directory entry was marked deleted (byte 0 was 0xE5), in either scan.
    bool deleted = false;
    FatRecordOrigin origin = FatRecordOrigin::DeletedScan;
    // True when the entry was found in a folder that is itself deleted.
    bool inDeletedFolder = false;
    // The data's clusters against the current FAT (FatDataCondition), set by the scans.
    DataCondition condition = DataCondition::Unknown;

    std::string nameText() const { return std::string(name, strnlen(name, sizeof(name))); }
    std::string extText() const { return std::string(ext, strnlen(ext, sizeof(ext))); }
    std::string attributesText() const {
        return std::string(attributes, strnlen(attributes, sizeof(attributes)));
    }
};

// What the shared page rules (fat_page_base.h) read of a record.
inline std::string FoundName(const FatFoundFile& r) { return r.nameText(); }
inline uint64_t FoundSize(const FatFoundFile& r) { return r.size; }

// The files of one folder node, in the order they were found. The node owns
// the list and the list owns its records.
struct FatFolderFiles : FolderNodeData {
    std::vector<std::unique_ptr<FatFoundFile>> files;

    size_t count() const { return files.size(); }
    FatFoundFile* at(size_t i) const { return i < files.size() ? files[i].get() : nullptr; }
    FatFoundFile* append(std::unique_ptr<FatFoundFile> file) {
        files.push_back(std::move(file));
        return files.back().get();
    }
};

}  // namespace vantor
