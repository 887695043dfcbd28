#pragma once
// The partition search: every stretch of a drive that no table entry covers
// is probed at its first sector, at every 1 MiB and cylinder (255 x 63)
// boundary, and 63 sectors past each of those (where logical partitions
// start on older disks). The probes are read in ascending order, nearby ones
// in one request. Consistent candidates are taken largest first without
// overlaps, each with the size its file system states, cut to its stretch;
// what is left of a stretch stays a "Deleted" gap.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/progress_fields.h"
#include "disk/partition_record.h"
#include "partition/boot_probe.h"
#include "partition/disk_layout.h"
#include "platform/block_device.h"

namespace vantor {

struct SearchControl {
    const std::atomic<bool>* cancel = nullptr;  // set by the progress dialog's Cancel
    ProgressFields* progress = nullptr;
};

struct SearchResult {
    bool completed = false;  // false: cancelled or a read failed
    bool cancelled = false;
    ErrorCode error = kSuccess;
    DiskLayout layout;
    std::vector<Candidate> found;  // taken candidates, ascending start
    // The drive's records: its table entries, the found partitions and the
    // gaps that remain, by start sector.
    std::vector<PartitionRecord> records;
    uint64_t probes = 0;
    uint64_t bytesRead = 0;
};

// Searches an open device; driveIndex goes into the records.
SearchResult SearchPartitions(BlockDevice& device, int driveIndex, const SearchControl& control = {});
// Opens drive N read-only and searches it.
SearchResult SearchDrive(int driveIndex, const SearchControl& control = {});

// The probe positions of one stretch, ascending, without repeats.
std::vector<uint64_t> ProbePositions(const FreeStretch& stretch);
// Largest first, no overlaps, each cut to the stretch: what the search keeps.
std::vector<Candidate> SelectCandidates(std::vector<Candidate> candidates, const FreeStretch& stretch);

// The record a found partition becomes.
PartitionRecord FoundRecord(const Candidate& c, const FreeStretch& stretch, uint32_t extendedBase, int driveIndex);
// The partition-type byte written for a file system (FAT32 differs inside the extended partition).
uint8_t TypeByteFor(const std::string& fileSystem, bool logical);
// Gaps smaller than this are alignment padding and are not listed.
inline constexpr uint64_t kMinListedGap = 2048;

}  // namespace vantor
