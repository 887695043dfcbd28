#pragma once
// Turning FatFoundFile records back into bytes: where a record's data lies,
// the recovery writer that copies every ticked file of checked folders below
// a destination, and the preview read. Only reads from the scanned device;
// writes go to the destination through OutputFile.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/folder_tree.h"
#include "dialogs/progress_fields.h"
#include "dialogs/recovered_file.h"
#include "dialogs/user_prompt.h"
#include "disk/partition_record.h"
#include "fat/fat_records.h"
#include "fat/fat_volume.h"
#include "platform/error_codes.h"

namespace vantor {

// Drive-level messages of a recovery run (caption "Error").
inline constexpr const char* kFatCannotOpenDevice = "Can not open physical device!!";
inline constexpr const char* kFatCannotAccessDevice = "Can not access to this physical device!!";
inline constexpr const char* kFatCannotReadDevice = "Can not read data from this physical device!!";

// One stretch of a file's data on the volume (volume-relative bytes).
struct FatExtent {
    uint64_t offset = 0;
    uint64_t length = 0;
};

// Where a record's bytes are. Deleted-scan records take their first cluster
// and then the following clusters that are free in the current FAT; lost-
// folder records one contiguous run. Consecutive clusters form one extent.
struct FatDataLayout {
    std::vector<FatExtent> extents;
    uint64_t bytes = 0;          // sum of extent lengths; < record size when cut
    bool overwritten = false;    // a live chain holds the first cluster now
    bool cutAtVolumeEnd = false; // the run reached the end of the volume
    bool badFirstCluster = false;// first cluster outside the data region: nothing to read
};
FatDataLayout LocateFatFileData(const CFatVolume& volume, const FatFoundFile& record);
// What the current FAT leaves of the record's data, by the same rules: a
// deleted-scan record is overwritten when its first cluster is taken (the
// rest follows free clusters); a lost-folder record's run is judged cluster
// by cluster, unless the FAT's chain from its first cluster is that run (a
// live file's own). Unknown when the first cluster lies outside the volume.
DataCondition FatDataCondition(const CFatVolume& volume, const FatFoundFile& record);

// Records with selected set in the lists of checked nodes, reached from the
// root through checked nodes only (the recovery's progress total).
uint32_t CountSelectedFatFiles(const FolderTree& tree);

struct FatRecoveryResult {
    ErrorCode deviceError = kSuccess;  // the run could not start (message shown)
    uint32_t total = 0;                // CountSelectedFatFiles
    uint32_t written = 0;              // files that came back whole
    uint32_t skipped = 0;              // "No" in the overwrite question
    uint32_t failed = 0;               // not created, cut short, overwritten, read/write errors
    bool cancelled = false;            // running went false or "Cancel" was answered
    std::vector<std::string> failures; // one line per failed file: "<path>: <why>"
    std::vector<RecoveredFileRecord> files;  // every ticked file reached, in writing order
    // The failures as one text, shown once through UserPrompt at the end.
    std::string failureSummary() const;
};

// Copies every ticked record of every checked node below destination,
// rebuilding the folder path of the tree (the root contributes nothing),
// asking prompt before overwriting. Failures are reported once at the end
// through prompt.message (caption "Notice", information icon). A file that
// does not come back whole stays as NAME.partial. hash: the records carry
// the SHA-256 of each file written.
FatRecoveryResult RecoverFatFiles(const CFatVolume& volume, const FolderTree& tree,
                                  const std::string& destination, UserPrompt& prompt,
                                  ProgressFields& progress, std::atomic<bool>& running, bool hash = false);
// The same on the record's drive: opens a fresh volume (fatKind as OpenFatVolume)
// and shows the three drive-level messages when it cannot.
FatRecoveryResult RecoverFatFiles(const PartitionRecord& record, int fatKind, const FolderTree& tree,
                                  const std::string& destination, UserPrompt& prompt,
                                  ProgressFields& progress, std::atomic<bool>& running, bool hash = false);

// Reads the first min(size, maxBytes) bytes of a record by the same rule as
// recovery (what the preview shows is what recovery writes). out may come
// back shorter than asked when the data was cut; layout, when given, says why.
ErrorCode ReadFatFileHead(const CFatVolume& volume, const FatFoundFile& record, uint64_t maxBytes,
                          std::vector<std::byte>& out, FatDataLayout* layout = nullptr);

}  // namespace vantor
