#pragma once
// The exFAT scans. Both fill a FolderTree whose root is "exFAT - Logical
// Disk (%c:)": each node holds the found files of one folder.
// - Deleted: walks the tree from the root; entry sets whose in-use bit is
//   cleared are deleted files and folders, and every set inside a deleted
//   folder is listed too (deleted folders are followed).
// - Formatted: searches the whole cluster heap for entry sets, rebuilds the
//   folders from the entries that name other folders' first clusters, and
//   puts what has no parent under "LostDIR".
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/data_condition.h"
#include "dialogs/filter_criteria.h"
#include "dialogs/folder_tree.h"
#include "dialogs/progress_fields.h"
#include "exfat/exfat_dirent.h"
#include "exfat/exfat_volume.h"

namespace vantor {

inline constexpr const char* kExfatLostDirText = "LostDIR";
// A hostile heap could hold an entry set in every 32 bytes.
inline constexpr size_t kExfatMaxRecords = 1u << 21;

struct ExfatFoundFile {
    ExfatEntrySet set;
    std::string name;        // UTF-8
    std::string ext;         // lower case, no dot
    uint64_t entryOffset = 0;  // volume byte offset of the file entry
    bool deleted = false;      // its own set has the in-use bit cleared
    bool inDeletedFolder = false;
    bool formatted = false;    // an old set of a formatted volume: its FAT and bitmap are new
    uint8_t selected = 0;
    DataCondition condition = DataCondition::Unknown;

    uint64_t size() const { return set.dataLength; }
};

// What the shared page rules (fat/fat_page_base.h) read of a record.
inline std::string FoundName(const ExfatFoundFile& r) { return r.name; }
inline uint64_t FoundSize(const ExfatFoundFile& r) { return r.size(); }

struct ExfatFolderFiles : FolderNodeData {
    std::vector<std::unique_ptr<ExfatFoundFile>> files;
    bool deleted = false;  // the folder's own entry set is deleted
};

struct ExfatScanResult {
    ErrorCode error = kSuccess;
    bool stopped = false;
    uint32_t files = 0;
    uint32_t folders = 0;
    bool recordsCut = false;  // kExfatMaxRecords was reached
};

std::string ExfatRootText(char driveLetter);

ExfatScanResult ScanExfatDeleted(const CExfatVolume& volume, FolderTree& tree, const FilterCriteria* criteria,
                                 ProgressFields& progress, std::atomic<bool>& running, char driveLetter);
ExfatScanResult ScanExfatFormatted(const CExfatVolume& volume, FolderTree& tree, const FilterCriteria* criteria,
                                   ProgressFields& progress, std::atomic<bool>& running, char driveLetter);

}  // namespace vantor
