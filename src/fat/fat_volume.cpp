#include "fat/fat_volume.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "platform/device_table.h"

namespace vantor {

namespace {

constexpr uint32_t kFat12Limit = 4085;  // fewer clusters than this: 12-bit FAT entries
// FAT32 has 28-bit cluster numbers; a larger copy cannot describe a real volume.
constexpr uint64_t kMaxFatEntries = 0x10000000;
constexpr uint32_t kMaxClusterBytes = 1u << 20;

bool isPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

CFatVolume::CFatVolume(FatKind kind, DevicePtr device, uint32_t partitionStart, char letter)
    : kind_(kind), device_(std::move(device)), partitionStart_(partitionStart), driveLetter_(letter) {}

std::string CFatVolume::rootNodeText() const {
    char text[64];
    std::snprintf(text, sizeof(text), "%s - Logical Disk (%c:)",
                  kind_ == FatKind::Fat32 ? "FAT32" : "FAT16", driveLetter_);
    return text;
}

void CFatVolume::open() {
    opened_ = false;
    fat_.clear();
    if (!device_) {
        openError_ = kErrNoImage;
        return;
    }
    // The boot sector sits at partition start x 512 whatever BytsPerSec says.
    std::vector<std::byte> boot(512);
    ErrorCode err = device_->readAt(uint64_t{partitionStart_} * 512, boot);
    if (err == kSuccess) err = parseBootSector(boot);
    if (err == kSuccess) err = readFat();
    openError_ = err;
    if (err != kSuccess) {
        fat_.clear();
        fat_.shrink_to_fit();
        return;
    }
    opened_ = true;
    computeProgressEstimate();
}

ErrorCode CFatVolume::parseBootSector(ByteSpan boot) {
    const uint8_t jump = readU8(boot, 1);
    if (jump != (kind_ == FatKind::Fat32 ? 0x58 : 0x3C)) return kErrInvalidDrive;

    bytesPerSector_ = readLe16(boot, 11);
    sectorsPerCluster_ = readU8(boot, 13);
    reservedSectors_ = readLe16(boot, 14);
    numFats_ = readU8(boot, 16);
    if (bytesPerSector_ < 512 || bytesPerSector_ > 4096 || !isPowerOfTwo(bytesPerSector_))
        return kErrInvalidDrive;
    if (!isPowerOfTwo(sectorsPerCluster_) || clusterBytes() > kMaxClusterBytes) return kErrInvalidDrive;
    if (reservedSectors_ == 0 || numFats_ == 0) return kErrInvalidDrive;

    if (kind_ == FatKind::Fat32) {
        sectorsPerFat_ = readLe32(boot, 36);
        totalSectors_ = readLe32(boot, 32);
        rootCluster_ = readLe32(boot, 44);
        rootEntryCount_ = 0;
        rootDirBytes_ = 0;
        rootDirSectors_ = 0;
    } else {
        sectorsPerFat_ = readLe16(boot, 22);
        const uint16_t tot16 = readLe16(boot, 19);
        totalSectors_ = tot16 != 0 ? tot16 : readLe32(boot, 32);
        rootEntryCount_ = readLe16(boot, 17);
        // Any root size opens; the data area starts right after the root.
        if (rootEntryCount_ == 0) return kErrInvalidDrive;
        rootDirBytes_ = uint32_t{rootEntryCount_} * 32;
        rootDirSectors_ = (rootDirBytes_ + bytesPerSector_ - 1) / bytesPerSector_;
        rootCluster_ = 1;
    }
    if (sectorsPerFat_ == 0 || totalSectors_ == 0) return kErrInvalidDrive;

    const uint64_t dataStart = uint64_t{reservedSectors_} + uint64_t{numFats_} * sectorsPerFat_ + rootDirSectors_;
    if (dataStart >= totalSectors_) return kErrInvalidParameter;
    const uint64_t clusters = (totalSectors_ - dataStart) / sectorsPerCluster_;
    if (clusters == 0 || clusters >= kMaxFatEntries - 2) return kErrInvalidParameter;
    lastCluster_ = static_cast<uint32_t>(clusters + 1);
    if (kind_ == FatKind::Fat32) {
        if (rootCluster_ < 2 || rootCluster_ > lastCluster_) return kErrInvalidParameter;
        fat12_ = false;
        endMark_ = 0x0FFFFFF0;
    } else {
        fat12_ = clusters < kFat12Limit;
        endMark_ = fat12_ ? 0xFF0 : 0xFFF0;
    }
    return kSuccess;
}

ErrorCode CFatVolume::readFat() {
    // Only the entries that can name a cluster of this volume are kept; a
    // hostile FATSz then cannot make us allocate more than the volume needs.
    const uint64_t fatBytes = uint64_t{sectorsPerFat_} * bytesPerSector_;
    const uint64_t wanted = uint64_t{lastCluster_} + 1;
    uint64_t needBytes = fat12_ ? (wanted * 3 + 1) / 2 : wanted * (kind_ == FatKind::Fat32 ? 4 : 2);
    needBytes = (needBytes + bytesPerSector_ - 1) / bytesPerSector_ * bytesPerSector_;
    const uint64_t readBytes = needBytes < fatBytes ? needBytes : fatBytes;
    const uint64_t fatOffset = uint64_t{partitionStart_} * 512 + uint64_t{reservedSectors_} * bytesPerSector_;
    if (fatOffset > device_->size() || device_->size() - fatOffset < readBytes) return kErrHandleEof;

    std::vector<std::byte> raw(static_cast<size_t>(readBytes));
    if (ErrorCode err = device_->readAt(fatOffset, raw); err != kSuccess) return err;

    uint64_t entries;
    if (fat12_) entries = readBytes * 2 / 3;
    else entries = readBytes / (kind_ == FatKind::Fat32 ? 4 : 2);
    if (entries > wanted) entries = wanted;
    fat_.resize(static_cast<size_t>(entries));
    const ByteSpan b(raw);
    for (size_t i = 0; i < fat_.size(); ++i) {
        if (fat12_) {
            const uint16_t v = readLe16(b, i * 3 / 2);
            fat_[i] = (i & 1) ? uint32_t{v} >> 4 : uint32_t{v} & 0xFFF;
        } else if (kind_ == FatKind::Fat32) {
            fat_[i] = readLe32(b, i * 4);  // top four bits kept as stored
        } else {
            fat_[i] = readLe16(b, i * 2);
        }
    }
    return kSuccess;
}

void CFatVolume::computeProgressEstimate() {
    progressEstimate_ = 0;
    const uint32_t n = fatEntryCount();
    std::vector<bool> marked(n, false);
    const uint32_t start = kind_ == FatKind::Fat32 ? rootCluster_ : 2;
    for (uint32_t i = start; i < n; ++i) {
        if (fat_[i] == 0 || marked[i]) continue;
        uint32_t count = 1;
        uint32_t c = i;
        // Marks stop loops and shared tails: each entry is followed at most once.
        while (true) {
            const uint32_t next = fat_[c];
            if (isEndOfChain(next) || next < 2 || next >= n || marked[next] || next == i) break;
            marked[next] = true;
            ++count;
            c = next;
        }
        if (count < 4) progressEstimate_ += count;
    }
}

std::vector<uint32_t> CFatVolume::chain(uint32_t first, size_t maxClusters) const {
    std::vector<uint32_t> out;
    if (kind_ == FatKind::Fat16 && first == 1) {
        if (maxClusters > 0) out.push_back(1);
        return out;
    }
    std::unordered_set<uint32_t> seen;
    uint32_t c = first;
    while (out.size() < maxClusters && c >= 2 && c <= lastCluster_) {
        if (!seen.insert(c).second) break;  // a loop in the FAT
        out.push_back(c);
        const uint32_t next = fatEntry(c);
        if (isEndOfChain(next) || next == 0) break;
        c = next;
    }
    return out;
}

std::span<const uint32_t> CFatVolume::freeClustersAfter(uint32_t after) const {
    // A recovery looks for free clusters once per deleted file: walking the
    // FAT from the file's first cluster each time is O(volume) per file.
    std::call_once(freeIndexed_, [this] {
        const uint64_t end = std::min<uint64_t>(uint64_t{lastCluster_} + 1, fat_.size());
        for (uint64_t c = 2; c < end; ++c)
            if (fat_[c] == 0) free_.push_back(static_cast<uint32_t>(c));
    });
    const auto it = std::upper_bound(free_.begin(), free_.end(), after);
    return {it, free_.end()};
}

uint64_t CFatVolume::clusterSector(uint32_t c) const {
    const uint64_t metaEnd = metaEndSector();
    if (kind_ == FatKind::Fat32) {
        const uint32_t k = c < 2 ? 0 : c - 2;
        return metaEnd + uint64_t{sectorsPerCluster_} * k;
    }
    if (c <= 1) return metaEnd;
    return metaEnd + rootDirSectors_ + uint64_t{sectorsPerCluster_} * (c - 2);
}

ErrorCode CFatVolume::readVolume(uint64_t offset, MutableByteSpan out) const {
    if (!device_) return kErrNoImage;
    const uint64_t limit = volumeBytes();
    if (offset > limit || limit - offset < out.size()) return kErrHandleEof;
    return device_->readAt(uint64_t{partitionStart_} * 512 + offset, out);
}

ErrorCode CFatVolume::readClusters(uint32_t c, uint32_t count, MutableByteSpan out) const {
    uint64_t bytes;
    if (kind_ == FatKind::Fat16 && c <= 1) {
        // The FAT16 root region counts as cluster 1, whatever its length.
        bytes = rootDirBytes_ + uint64_t{count > 1 ? count - 1 : 0} * clusterBytes();
    } else {
        bytes = uint64_t{count} * clusterBytes();
    }
    if (out.size() < bytes) return kErrInsufficientBuffer;
    return readVolume(clusterOffset(c), out.first(static_cast<size_t>(bytes)));
}

namespace {

DevicePtr openRecordDrive(const PartitionRecord& record) {
    DevicePtr dev;
    if (DeviceTable::Global().openDrive(record.diskIndex, Access::Read, dev) != kSuccess) return nullptr;
    return dev;
}

}  // namespace

CFat16Volume::CFat16Volume(const PartitionRecord& record)
    : CFatVolume(FatKind::Fat16, openRecordDrive(record), record.startSector, record.driveLetter) {
    open();
}
CFat16Volume::CFat16Volume(DevicePtr device, uint32_t partitionStart, char letter)
    : CFatVolume(FatKind::Fat16, std::move(device), partitionStart, letter) {
    open();
}
CFat32Volume::CFat32Volume(const PartitionRecord& record)
    : CFatVolume(FatKind::Fat32, openRecordDrive(record), record.startSector, record.driveLetter) {
    open();
}
CFat32Volume::CFat32Volume(DevicePtr device, uint32_t partitionStart, char letter)
    : CFatVolume(FatKind::Fat32, std::move(device), partitionStart, letter) {
    open();
}

std::unique_ptr<CFatVolume> OpenFatVolume(const PartitionRecord& record, int fatKind) {
    if (fatKind == 2) return std::make_unique<CFat32Volume>(record);
    return std::make_unique<CFat16Volume>(record);
}
std::unique_ptr<CFatVolume> OpenFatVolume(DevicePtr device, uint32_t partitionStart, char letter,
                                          int fatKind) {
    if (fatKind == 2) return std::make_unique<CFat32Volume>(std::move(device), partitionStart, letter);
    return std::make_unique<CFat16Volume>(std::move(device), partitionStart, letter);
}

}  // namespace vantor
