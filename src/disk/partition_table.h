#pragma once
// The partition-table walk: master boot record, the chain of extended boot
// records, GPT behind a protective MBR, the unallocated stretches as
// "Deleted" records, and the CHS translation the partition writer needs.
#include <array>
#include <cstdint>
#include <list>
#include <vector>

#include "disk/partition_record.h"
#include "platform/block_device.h"

namespace vantor {

// One drive's records in ascending tableSector order.
class PartitionList {
public:
    // Ordered insert; a record whose tableSector is already present is dropped.
    bool insertOrdered(const PartitionRecord& r);
    std::list<PartitionRecord>& records() { return records_; }
    const std::list<PartitionRecord>& records() const { return records_; }
    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }

private:
    std::list<PartitionRecord> records_;
};

inline constexpr uint32_t kNoEbr = 0xFFFFFFFFu;
// Longest extended chain followed; real disks have a few dozen links at most.
inline constexpr int kMaxEbrLinks = 128;
// GPT entry arrays larger than this are not read.
inline constexpr uint32_t kMaxGptEntries = 1024;

// Walks drive N's table into list. lastEbr, when given, receives the sector of
// the last extended boot record read. True when the drive was read to the end.
bool ReadPartitionTable(int driveIndex, PartitionList& list, uint32_t* lastEbr = nullptr);
// The same over an open device (tests and fuzzers use in-memory devices).
bool ReadPartitionTable(BlockDevice& device, uint64_t diskSize, int driveIndex,
                        PartitionList& list, uint32_t* lastEbr = nullptr);
// Follows the chain from the extended partition at base. False on a read failure.
bool WalkExtendedChain(BlockDevice& device, uint32_t base, int driveIndex, PartitionList& list,
                       uint32_t* lastEbr = nullptr);

// Records of drives 0..25 one after another; lastEbrByDrive, when given, is
// the inventory's table of 26 last-EBR sectors.
std::vector<PartitionRecord> CollectAllPartitions(uint32_t* lastEbrByDrive = nullptr);

// Names a record from its type byte (and, for 83h, its superblock), filling
// fileSystem, volumeLabel, sectorsPerCluster, bytesPerSector and freeBytes.
// False when the superblock read failed.
bool NameByTypeByte(BlockDevice& device, PartitionRecord& r);

std::array<uint8_t, 3> LbaToChs(uint32_t lba);

}  // namespace vantor
