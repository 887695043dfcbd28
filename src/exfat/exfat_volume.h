#pragma once
// An exFAT volume read below the file system: the checked boot sector (and
// its checksum sector), the cluster heap, the active FAT and allocation
// bitmap held in memory, the up-case table, and guarded chain walks.
// Opening never throws; opened() and openReason() tell.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "disk/exfat_layout.h"
#include "disk/partition_record.h"
#include "platform/block_device.h"
#include "platform/error_codes.h"

namespace vantor {

// The FAT and bitmap are held whole; a boot sector asking more is refused.
inline constexpr uint64_t kExfatMaxFatBytes = uint64_t{512} << 20;
// A directory holds at most 256 MiB of entries.
inline constexpr uint64_t kExfatMaxDirectoryBytes = uint64_t{256} << 20;

// How a chain walk ended.
enum class ExfatChainEnd {
    EndMark,     // the last cluster's entry is the end-of-chain mark
    Limit,       // maxClusters were taken before any end mark
    Broken,      // an entry named no cluster (free, bad, reserved)
    OutOfRange,  // an entry named a cluster outside the heap
    Loop,        // the chain came back to a cluster it had passed
};

class CExfatVolume {
public:
    // startByte/lengthBytes: where the volume lies on device (0 length: to its end).
    CExfatVolume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes);
    // Opens "\\.\PhysicalDrive%d" of the record read-only.
    explicit CExfatVolume(const PartitionRecord& record);

    bool opened() const { return opened_; }
    // 12 no drive, 15 not a sane exFAT boot sector (openReason() says why),
    // else the read error.
    ErrorCode openError() const { return openError_; }
    const std::string& openReason() const { return openReason_; }
    // The boot checksum sector disagreed with sectors 0-10; the volume still
    // opened from the main boot sector.
    bool bootChecksumMismatch() const { return checksumMismatch_; }
    // The up-case table's checksum disagreed, or it could not be read.
    bool upcaseDamaged() const { return upcaseDamaged_; }

    const ExfatBoot& boot() const { return boot_; }
    const std::string& label() const { return label_; }
    uint64_t clusterBytes() const { return boot_.clusterBytes(); }
    uint32_t lastCluster() const { return boot_.lastCluster(); }
    bool validCluster(uint64_t c) const { return boot_.validCluster(c); }
    uint64_t clusterOffset(uint32_t c) const { return boot_.clusterOffset(c); }
    uint64_t startByte() const { return startByte_; }
    const DevicePtr& device() const { return device_; }

    // The active FAT's entry of c (0 outside the table).
    uint32_t fatEntry(uint32_t c) const { return c < fat_.size() ? fat_[c] : 0; }
    // The allocation bitmap's bit of c (false outside the heap).
    bool inUse(uint32_t c) const {
        if (!validCluster(c)) return false;
        const uint32_t i = c - 2;
        return (bitmap_[i / 8] >> (i % 8)) & 1;
    }
    // The first cluster after c that the bitmap holds free; 0 when none.
    uint32_t nextFree(uint32_t c) const;
    // The up-case of a UTF-16 unit by the volume's table.
    char16_t upcase(char16_t u) const { return u < upcase_.size() ? upcase_[u] : u; }

    // Bytes [offset, offset + out.size()) of the volume.
    ErrorCode readVolume(uint64_t offset, MutableByteSpan out) const;
    // Clusters from first through the FAT, at most maxClusters.
    ExfatChainEnd walkChain(uint32_t first, uint64_t maxClusters, std::vector<uint32_t>& out) const;

    std::atomic<bool> m_bRunning{false};

private:
    void open();
    ErrorCode loadTables();

    DevicePtr device_;
    uint64_t startByte_ = 0;
    uint64_t lengthBytes_ = 0;
    bool opened_ = false;
    ErrorCode openError_ = kErrNoImage;
    std::string openReason_;
    bool checksumMismatch_ = false;
    bool upcaseDamaged_ = false;
    ExfatBoot boot_;
    std::string label_;
    std::vector<uint32_t> fat_;
    std::vector<uint8_t> bitmap_;
    std::vector<char16_t> upcase_;
};

// The stream extension's name hash of a name, up-cased by the volume's table.
uint16_t ExfatNameHash(const CExfatVolume& volume, std::u16string_view name);

}  // namespace vantor
