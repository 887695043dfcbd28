#pragma once
// The snapshot of the machine's drives and partitions that the drive browser
// and the partition recovery page list: physical drives, mounted volumes, and
// every partition-table record merged with them. Built by Refresh and not
// updated until the next Refresh, except for the volumes' free space, which
// is counted apart (CountFreeSpace, or a FreeSpaceCounter off the interface
// thread) because it reads whole FATs and bitmaps.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "disk/partition_record.h"
#include "platform/block_device.h"
#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace vantor {

struct PhysicalDriveInfo {
    char modelText[264] = {};  // vendor, one blank, product; or product alone
    int64_t sizeBytes = 0;
    uint32_t removable = 0;
    uint32_t driveIndex = 0;
    uint32_t busType = 0;
    uint8_t reserved[4] = {};

    static constexpr size_t kSerializedSize = 288;
    std::array<std::byte, kSerializedSize> serialize() const;
    static PhysicalDriveInfo deserialize(ByteSpan bytes);
    std::string model() const;
};
static_assert(sizeof(PhysicalDriveInfo) == PhysicalDriveInfo::kSerializedSize);

// One volume whose free space is still to be counted.
struct FreeSpaceJob {
    int partition = 0;  // index into the inventory's partition table
    DevicePtr device;   // its drive
    uint64_t startByte = 0;
};

class CDiskInventory {
public:
    CDiskInventory();

    void Refresh();
    int EnumeratePhysicalDrives();
    int EnumerateVolumes();
    // Size of drive N from its geometry; 0 when it is not a direct-access disk.
    static uint64_t QueryDiskSize(int driveIndex);
    static bool QueryVolume(char letter, PartitionRecord& record);
    int FindDriveByModel(const std::string& model) const;

    int driveCount() const { return static_cast<int>(drives_.size()); }
    int partitionCount() const { return static_cast<int>(partitions_.size()); }
    const PhysicalDriveInfo& drive(int i) const { return drives_[static_cast<size_t>(i)]; }
    const PartitionRecord& partition(int i) const { return partitions_[static_cast<size_t>(i)]; }
    const std::vector<PhysicalDriveInfo>& drives() const { return drives_; }
    const std::vector<PartitionRecord>& partitions() const { return partitions_; }
    uint32_t lastEbrSector(int drive) const;
    void setLastEbrSector(int drive, uint32_t sector);

    // False for a mounted volume until its count was given; the other records
    // carry their free space from the table walk.
    bool freeKnown(int partition) const;
    bool freeSpaceCounted() const { return freePending_.empty(); }
    void setFreeBytes(int partition, uint64_t bytes);
    std::vector<FreeSpaceJob> freeSpaceJobs() const;
    // Counts every volume not known yet, here and now (the command line).
    void CountFreeSpace();

private:
    struct PendingVolume {
        int partition;
        int driveNumber;
        uint64_t startByte;
    };
    std::vector<PendingVolume> freePending_;
    // Grows past 26 entries rather than dropping records: drive indices stay
    // 0-25 and letters A-Z, but a drive may hold many partitions and gaps.
    std::vector<PartitionRecord> partitions_;
    std::vector<PhysicalDriveInfo> drives_;
    uint32_t lastEbr_[26];
};

// Counts the jobs' free space on a thread of its own; onCounted is called on
// that thread, once per job counted. Destroying the counter stops it and
// waits for the read under way (at most 1 MiB).
class FreeSpaceCounter {
public:
    using Counted = std::function<void(int partition, uint64_t freeBytes)>;
    FreeSpaceCounter(std::vector<FreeSpaceJob> jobs, Counted onCounted);
    ~FreeSpaceCounter();
    FreeSpaceCounter(const FreeSpaceCounter&) = delete;
    FreeSpaceCounter& operator=(const FreeSpaceCounter&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Merges the walk's records into the volume table (the end of EnumerateVolumes).
void MergePartitionRecords(std::vector<PartitionRecord>& table, size_t volumeCount,
                           const std::vector<PartitionRecord>& walked);

// The administrator check: opens drive N as a scan does, read-only, since
// reading is all the pages need; kErrAccessDenied then means the user lacks
// the rights. Write access is never asked for here.
ErrorCode ProbeDriveAccess(int driveIndex);

std::string FormatSize(uint64_t bytes);
std::string BusTypeText(uint32_t busType);
std::string DriveListLabel(const PhysicalDriveInfo& drive);

struct PartitionListLabel {
    std::string letterAndFileSystem;  // drawn at left + 30
    std::string startText;            // at left + 140
    std::string endText;              // at left + 280
};
PartitionListLabel MakePartitionListLabel(const PartitionRecord& r);

inline constexpr const char* kDeviceNotAccessibleText = "This device is not accessible";

}  // namespace vantor
