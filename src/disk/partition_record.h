#pragma once
// One partition, mounted volume or unallocated stretch ("Deleted"): the unit
// the whole system passes around. Its 600-byte layout is also the record
// layout of partition backup files, so the field order and sizes are fixed;
// serialize()/deserialize() give the exact little-endian bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/byte_order.h"

namespace vantor {

struct PartitionRecord {
    int32_t diskIndex = 0;        // "\\.\PhysicalDrive%d", -1 when not identified
    char driveLetter = '*';       // 'A'..'Z' or '*'
    uint8_t slotKind = 0;         // 1 primary/whole disk/outer gap, 2 logical/inner gap, 0 volume only
    uint8_t reserved0[2] = {};
    uint32_t tableSector = 0;     // sort key of a drive's list
    uint32_t extendedBase = 0;
    char fileSystem[12] = {};
    char volumeLabel[24] = {};
    uint32_t startSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint64_t freeBytes = 0;
    uint64_t totalBytes = 0;
    uint8_t bootSector[512] = {};
    uint8_t partitionType = 0;
    uint8_t reserved1[7] = {};

    static constexpr size_t kSerializedSize = 600;
    std::array<std::byte, kSerializedSize> serialize() const;
    static PartitionRecord deserialize(ByteSpan bytes);  // bytes.size() >= 600

    std::string fileSystemName() const;
    std::string label() const;
    void setFileSystem(const std::string& name);
    void setLabel(const std::string& text);
    // The first sector after the partition: startSector + totalBytes / 512.
    uint64_t endSector() const { return uint64_t{startSector} + totalBytes / 512; }
    bool isGap() const { return fileSystemName() == "Deleted"; }
};

static_assert(sizeof(PartitionRecord) == PartitionRecord::kSerializedSize,
              "PartitionRecord must keep its 600-byte layout");
static_assert(offsetof(PartitionRecord, fileSystem) == 16);
static_assert(offsetof(PartitionRecord, startSector) == 52);
static_assert(offsetof(PartitionRecord, freeBytes) == 64);
static_assert(offsetof(PartitionRecord, bootSector) == 80);
static_assert(offsetof(PartitionRecord, partitionType) == 592);

}  // namespace vantor
