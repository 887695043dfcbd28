#pragma once
// exFAT on-disk pieces the mount step and the exFAT engine share: the boot
// sector's fields and their sanity rules, the boot-region checksum, and the
// root directory's special entries (allocation bitmap, up-case table, label).
//
// Boot sector: 0x03 "EXFAT   ", 0x0B-0x3F zero, 0x48 volume length in sectors
// (64), 0x50 FAT offset, 0x54 FAT length, 0x58 cluster heap offset (sectors,
// 32 each), 0x5C cluster count, 0x60 root first cluster, 0x64 serial (32),
// 0x68 revision (16), 0x6A flags (16, bit 0 active FAT), 0x6C bytes-per-sector
// shift, 0x6D sectors-per-cluster shift, 0x6E number of FATs (8 each).
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/block_device.h"
#include "platform/byte_order.h"

namespace vantor {

inline constexpr uint32_t kExfatEndOfChain = 0xFFFFFFFF;
inline constexpr uint32_t kExfatBadCluster = 0xFFFFFFF7;
// Entry types with the in-use bit (80h) set.
inline constexpr uint8_t kExfatTypeBitmap = 0x81;
inline constexpr uint8_t kExfatTypeUpcase = 0x82;
inline constexpr uint8_t kExfatTypeLabel = 0x83;
inline constexpr uint8_t kExfatTypeFile = 0x85;
inline constexpr uint8_t kExfatTypeStream = 0xC0;
inline constexpr uint8_t kExfatTypeName = 0xC1;

struct ExfatBoot {
    uint64_t volumeSectors = 0;
    uint32_t fatOffset = 0;      // sectors
    uint32_t fatLength = 0;      // sectors
    uint32_t heapOffset = 0;     // sectors
    uint32_t clusterCount = 0;
    uint32_t rootCluster = 0;
    uint32_t serial = 0;
    uint16_t revision = 0;
    uint16_t flags = 0;
    uint8_t sectorShift = 0;
    uint8_t clusterShift = 0;    // sectors per cluster, as a shift
    uint8_t fatCount = 0;

    uint32_t sectorBytes() const { return 1u << sectorShift; }
    uint64_t clusterBytes() const { return uint64_t{1} << (sectorShift + clusterShift); }
    uint32_t sectorsPerCluster() const { return 1u << clusterShift; }
    uint32_t lastCluster() const { return clusterCount + 1; }
    bool validCluster(uint64_t c) const { return c >= 2 && c <= lastCluster(); }
    // Byte offsets from the volume's start.
    uint64_t clusterOffset(uint32_t c) const { return (uint64_t{heapOffset} << sectorShift) + (uint64_t{c - 2} << (sectorShift + clusterShift)); }
    uint64_t activeFatOffset() const {
        const uint32_t which = (fatCount == 2 && (flags & 1)) ? 1 : 0;
        return (uint64_t{fatOffset} + uint64_t{which} * fatLength) << sectorShift;
    }
};

inline bool IsExfatBootSector(ByteSpan s) { return bytesEqual(s, 3, "EXFAT   "); }

// The boot sector's fields when they describe a volume that can be read
// (sizes, FAT and heap inside the volume, root cluster in the heap);
// nullopt with why set otherwise. lengthBytes bounds the volume (0: none).
std::optional<ExfatBoot> DecodeExfatBoot(ByteSpan sector, uint64_t lengthBytes = 0, std::string* why = nullptr);

// The boot region's checksum over sectors 0-10 (11 x sectorBytes bytes),
// leaving out the flags and percent-in-use bytes.
uint32_t ExfatBootChecksum(ByteSpan region, uint32_t sectorBytes);

// What the root directory's first clusters say.
struct ExfatRootInfo {
    std::string label;
    uint32_t bitmapCluster = 0;
    uint64_t bitmapBytes = 0;
    uint32_t upcaseCluster = 0;
    uint64_t upcaseBytes = 0;
    uint32_t upcaseChecksum = 0;
};

// Reads the FAT entry of cluster c from the device (0 when it cannot).
uint32_t ReadExfatFatEntry(BlockDevice& dev, uint64_t startByte, const ExfatBoot& boot, uint32_t c);

// Walks the root directory through the FAT (a loop or a cluster out of the
// heap ends it; at most 256 clusters) for the label and the bitmap and
// up-case entries (the bitmap of the active FAT when there are two).
std::optional<ExfatRootInfo> ReadExfatRootInfo(BlockDevice& dev, uint64_t startByte, const ExfatBoot& boot);

// Free bytes counted in the allocation bitmap, read in pieces of at most 1 MiB.
// Nothing when the bitmap cannot be found or read, or once stop is set.
std::optional<uint64_t> CountExfatFreeBytes(BlockDevice& dev, uint64_t startByte, const ExfatBoot& boot,
                                            const std::atomic<bool>* stop = nullptr);

}  // namespace vantor
