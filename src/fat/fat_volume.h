#pragma once
// A FAT partition read below the file system: the boot-sector figures, the
// whole first FAT held in memory, cluster-to-offset mapping and guarded chain
// walks. CFat16Volume serves FAT16 (and FAT12, read with 12-bit entries),
// CFat32Volume serves FAT32. Opening never throws; opened() tells.
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "disk/partition_record.h"
#include "platform/block_device.h"
#include "platform/error_codes.h"

namespace vantor {

enum class FatKind : uint8_t { Fat16 = 1, Fat32 = 2 };

class CFatVolume {
public:
    virtual ~CFatVolume() = default;
    CFatVolume(const CFatVolume&) = delete;
    CFatVolume& operator=(const CFatVolume&) = delete;

    bool opened() const { return opened_; }
    // Why opening failed: 12 no drive, 15 not this FAT kind / bad boot sector,
    // 87 impossible geometry, else the read error.
    ErrorCode openError() const { return openError_; }
    FatKind kind() const { return kind_; }
    bool isFat12() const { return fat12_; }

    // Boot-sector figures as stored (after validation).
    uint16_t bytesPerSector() const { return bytesPerSector_; }
    uint8_t sectorsPerCluster() const { return sectorsPerCluster_; }
    uint8_t numberOfFats() const { return numFats_; }
    uint16_t reservedSectors() const { return reservedSectors_; }
    uint32_t sectorsPerFat() const { return sectorsPerFat_; }
    uint32_t totalSectors() const { return totalSectors_; }
    uint16_t rootEntryCount() const { return rootEntryCount_; }  // FAT16 only
    uint32_t rootCluster() const { return rootCluster_; }          // 1 on FAT16 (the root directory)
    uint32_t clusterBytes() const { return uint32_t{bytesPerSector_} * sectorsPerCluster_; }
    // Bytes of the root directory region (FAT16: RootEntCnt x 32; FAT32: 0).
    uint32_t rootDirectoryBytes() const { return rootDirBytes_; }

    uint32_t partitionStart() const { return partitionStart_; }  // LBA on the drive, 512-byte sectors
    char driveLetter() const { return driveLetter_; }
    // "FAT16 - Logical Disk (%c:)" / "FAT32 - Logical Disk (%c:)".
    std::string rootNodeText() const;

    // Entries held in the FAT copy, and the highest cluster number that lies
    // inside the volume's data region. Chains never leave [2, lastCluster()].
    uint32_t fatEntryCount() const { return static_cast<uint32_t>(fat_.size()); }
    uint32_t lastCluster() const { return lastCluster_; }
    // FAT entry at index c; 0 for an index outside the copy.
    uint32_t fatEntry(uint32_t c) const { return c < fat_.size() ? fat_[c] : 0; }
    // Clusters after `after` whose FAT entry is 0, ascending, among those
    // the FAT copy holds; the ones from fatEntryCount() to lastCluster() read
    // as free as well. Indexed once per volume, on first use.
    std::span<const uint32_t> freeClustersAfter(uint32_t after) const;
    // End mark: >= 0xFFF0 (FAT16), >= 0x0FFFFFF0 (FAT32, top bits kept), >= 0xFF0 (FAT12).
    bool isEndOfChain(uint32_t value) const { return value >= endMark_; }
    // The chain from first, guarded against loops and out-of-range clusters;
    // at most maxClusters long.
    std::vector<uint32_t> chain(uint32_t first, size_t maxClusters) const;

    // Volume-relative sector and byte offset of cluster c (FAT16: cluster 1 is
    // the root directory, data cluster c >= 2 starts right after it).
    uint64_t clusterSector(uint32_t c) const;
    uint64_t clusterOffset(uint32_t c) const { return clusterSector(c) * bytesPerSector_; }
    // Sectors / bytes of the whole volume (the total-sectors field).
    uint64_t volumeBytes() const { return uint64_t{totalSectors_} * bytesPerSector_; }
    // Sectors before the first cluster's data: RsvdSecCnt + NumFATs x FATSz.
    uint32_t metaEndSector() const { return reservedSectors_ + numFats_ * sectorsPerFat_; }

    // The short-chain cluster count (the deleted-file scan's progress total).
    uint32_t progressEstimate() const { return progressEstimate_; }

    // Reads at a volume-relative byte offset; fails past the volume's end.
    ErrorCode readVolume(uint64_t offset, MutableByteSpan out) const;
    // Reads count clusters from c on (count x clusterBytes() bytes). The
    // FAT16 root is cluster 1 and is rootDirectoryBytes() long.
    ErrorCode readClusters(uint32_t c, uint32_t count, MutableByteSpan out) const;

    const DevicePtr& device() const { return device_; }

protected:
    // partitionStart is the partition's first 512-byte sector on device.
    CFatVolume(FatKind kind, DevicePtr device, uint32_t partitionStart, char letter);
    void open();

private:
    ErrorCode parseBootSector(ByteSpan boot);
    ErrorCode readFat();
    void computeProgressEstimate();

    FatKind kind_;
    DevicePtr device_;
    uint32_t partitionStart_ = 0;
    char driveLetter_ = '*';
    bool opened_ = false;
    ErrorCode openError_ = kErrNoImage;
    bool fat12_ = false;
    uint16_t bytesPerSector_ = 0;
    uint8_t sectorsPerCluster_ = 0;
    uint8_t numFats_ = 0;
    uint16_t reservedSectors_ = 0;
    uint32_t sectorsPerFat_ = 0;
    uint32_t totalSectors_ = 0;
    uint16_t rootEntryCount_ = 0;
    uint32_t rootCluster_ = 0;
    uint32_t rootDirBytes_ = 0;
    uint32_t rootDirSectors_ = 0;
    uint32_t lastCluster_ = 0;
    uint32_t endMark_ = 0xFFF0;
    uint32_t progressEstimate_ = 0;
    std::vector<uint32_t> fat_;
    mutable std::once_flag freeIndexed_;
    mutable std::vector<uint32_t> free_;
};

class CFat16Volume final : public CFatVolume {
public:
    // Opens "\\.\PhysicalDrive%d" of the record (diskIndex) read-only.
    explicit CFat16Volume(const PartitionRecord& record);
    // On a device already open (an image, a memory device in tests).
    CFat16Volume(DevicePtr device, uint32_t partitionStart, char letter = '*');
};

class CFat32Volume final : public CFatVolume {
public:
    explicit CFat32Volume(const PartitionRecord& record);
    CFat32Volume(DevicePtr device, uint32_t partitionStart, char letter = '*');
};

// fatKind 2 gives CFat32Volume, anything else CFat16Volume (as the page picks).
// Never null; check opened().
std::unique_ptr<CFatVolume> OpenFatVolume(const PartitionRecord& record, int fatKind);
std::unique_ptr<CFatVolume> OpenFatVolume(DevicePtr device, uint32_t partitionStart, char letter,
                                          int fatKind);

}  // namespace vantor
