#include "exfat/exfat_volume.h"

#include <algorithm>
#include <unordered_set>

#include "platform/device_table.h"

namespace vantor {

namespace {

// The up-case table maps at most the 65536 UTF-16 units.
constexpr uint64_t kMaxUpcaseBytes = 65536 * 2 * 2;

DevicePtr OpenRecordDrive(const PartitionRecord& record) {
    DevicePtr dev;
    if (DeviceTable::Global().openDrive(record.diskIndex, Access::Read, dev) != kSuccess) return nullptr;
    return dev;
}

uint32_t TableChecksum(ByteSpan bytes) {
    uint32_t sum = 0;
    for (std::byte b : bytes) sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + static_cast<uint8_t>(b);
    return sum;
}

}  // namespace

uint16_t ExfatNameHash(const CExfatVolume& volume, std::u16string_view name) {
    uint16_t hash = 0;
    for (char16_t u : name) {
        const uint16_t up = volume.upcase(u);
        for (uint8_t b : {static_cast<uint8_t>(up & 0xFF), static_cast<uint8_t>(up >> 8)})
            hash = static_cast<uint16_t>(((hash & 1) ? 0x8000 : 0) + (hash >> 1) + b);
    }
    return hash;
}

CExfatVolume::CExfatVolume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes)
    : device_(std::move(device)), startByte_(startByte), lengthBytes_(lengthBytes) {
    open();
}

CExfatVolume::CExfatVolume(const PartitionRecord& record)
    : CExfatVolume(OpenRecordDrive(record), uint64_t{record.startSector} * 512, record.totalBytes) {}

void CExfatVolume::open() {
    opened_ = false;
    if (!device_) {
        openError_ = kErrNoImage;
        openReason_ = "the drive cannot be opened";
        return;
    }
    const uint64_t devSize = device_->size();
    if (startByte_ >= devSize || devSize - startByte_ < 512) {
        openError_ = kErrHandleEof;
        openReason_ = "the volume starts past the end of the drive";
        return;
    }
    if (lengthBytes_ == 0 || lengthBytes_ > devSize - startByte_) lengthBytes_ = devSize - startByte_;
    std::vector<std::byte> sector(512);
    if (ErrorCode err = device_->readAt(startByte_, sector); err != kSuccess) {
        openError_ = err;
        openReason_ = "the boot sector cannot be read";
        return;
    }
    const auto boot = DecodeExfatBoot(sector, lengthBytes_, &openReason_);
    if (!boot) {
        openError_ = kErrInvalidDrive;
        return;
    }
    boot_ = *boot;
    // Sectors 0-10 against the checksum sector 11; a mismatch is told, not fatal.
    std::vector<std::byte> region(size_t{boot_.sectorBytes()} * 12);
    if (lengthBytes_ >= region.size() && device_->readAt(startByte_, region) == kSuccess) {
        const uint32_t sum = ExfatBootChecksum(region, boot_.sectorBytes());
        const ByteSpan check = ByteSpan(region).subspan(size_t{boot_.sectorBytes()} * 11);
        for (size_t i = 0; i + 4 <= check.size() && !checksumMismatch_; i += 4)
            checksumMismatch_ = readLe32(check, i) != sum;
    } else {
        checksumMismatch_ = true;
    }
    openError_ = loadTables();
    opened_ = openError_ == kSuccess;
}

ErrorCode CExfatVolume::loadTables() {
    const uint64_t entries = uint64_t{boot_.clusterCount} + 2;
    if (entries * 4 > kExfatMaxFatBytes) {
        openReason_ = "the FAT is too large to hold";
        return kErrInvalidDrive;
    }
    // Checked before the buffer is made: a boot sector may claim a FAT far
    // larger than the image.
    if (boot_.activeFatOffset() + entries * 4 > lengthBytes_) {
        openReason_ = "the FAT runs past the end of the volume";
        return kErrInvalidDrive;
    }
    std::vector<std::byte> raw(static_cast<size_t>(entries * 4));
    if (ErrorCode err = readVolume(boot_.activeFatOffset(), raw); err != kSuccess) {
        openReason_ = "the FAT cannot be read";
        return err;
    }
    fat_.resize(static_cast<size_t>(entries));
    for (size_t i = 0; i < fat_.size(); ++i) fat_[i] = readLe32(raw, i * 4);
    raw = {};

    const auto root = ReadExfatRootInfo(*device_, startByte_, boot_);
    if (!root) {
        openReason_ = "the root directory holds no allocation bitmap";
        return kErrInvalidDrive;
    }
    label_ = root->label;
    const uint64_t bitmapBytes = (uint64_t{boot_.clusterCount} + 7) / 8;
    if (!validCluster(root->bitmapCluster) || root->bitmapBytes < bitmapBytes) {
        openReason_ = "the allocation bitmap entry is damaged";
        return kErrInvalidDrive;
    }
    // Read through its chain; clusters in a row are read together.
    bitmap_.assign(static_cast<size_t>(bitmapBytes), 0);
    const uint64_t cb = clusterBytes();
    std::vector<uint32_t> chain;
    const uint64_t need = (bitmapBytes + cb - 1) / cb;
    if (walkChain(root->bitmapCluster, need, chain) != ExfatChainEnd::EndMark || chain.size() < need) {
        // A bitmap whose chain is not written lies contiguous.
        chain.clear();
        for (uint64_t i = 0; i < need && validCluster(uint64_t{root->bitmapCluster} + i); ++i)
            chain.push_back(root->bitmapCluster + static_cast<uint32_t>(i));
        if (chain.size() < need) {
            openReason_ = "the allocation bitmap runs past the cluster heap";
            return kErrInvalidDrive;
        }
    }
    auto* out = reinterpret_cast<std::byte*>(bitmap_.data());
    for (size_t i = 0; i < chain.size();) {
        size_t run = 1;
        while (i + run < chain.size() && chain[i + run] == chain[i] + run) ++run;
        const uint64_t at = i * cb;
        const uint64_t n = std::min<uint64_t>(run * cb, bitmapBytes - at);
        if (ErrorCode err = readVolume(clusterOffset(chain[i]), MutableByteSpan(out + at, static_cast<size_t>(n)));
            err != kSuccess) {
            openReason_ = "the allocation bitmap cannot be read";
            return err;
        }
        i += run;
    }

    // The up-case table: compressed runs (FFFFh, count) map units to themselves.
    upcase_.resize(65536);
    for (size_t u = 0; u < upcase_.size(); ++u) upcase_[u] = static_cast<char16_t>(u);
    upcaseDamaged_ = true;
    if (validCluster(root->upcaseCluster) && root->upcaseBytes >= 2 && root->upcaseBytes <= kMaxUpcaseBytes &&
        clusterOffset(root->upcaseCluster) + root->upcaseBytes <= lengthBytes_) {
        std::vector<std::byte> table(static_cast<size_t>(root->upcaseBytes));
        if (readVolume(clusterOffset(root->upcaseCluster), table) == kSuccess) {
            upcaseDamaged_ = TableChecksum(table) != root->upcaseChecksum;
            size_t u = 0;
            for (size_t i = 0; i + 2 <= table.size() && u < upcase_.size(); i += 2) {
                const uint16_t v = readLe16(table, i);
                if (v == 0xFFFF && i + 4 <= table.size()) {
                    u += readLe16(table, i + 2);
                    i += 2;
                } else {
                    upcase_[u++] = static_cast<char16_t>(v);
                }
            }
        }
    }
    return kSuccess;
}

uint32_t CExfatVolume::nextFree(uint32_t c) const {
    uint64_t i = uint64_t{c} - 1;  // bitmap index of c + 1
    const uint64_t n = boot_.clusterCount;
    while (i < n) {
        const uint8_t byte = bitmap_[static_cast<size_t>(i / 8)];
        if (byte == 0xFF && i % 8 == 0) {
            i += 8;
            continue;
        }
        if (!((byte >> (i % 8)) & 1)) return static_cast<uint32_t>(i + 2);
        ++i;
    }
    return 0;
}

ErrorCode CExfatVolume::readVolume(uint64_t offset, MutableByteSpan out) const {
    if (!device_) return kErrNoImage;
    if (offset > lengthBytes_ || out.size() > lengthBytes_ - offset) return kErrHandleEof;
    return device_->readAt(startByte_ + offset, out);
}

ExfatChainEnd CExfatVolume::walkChain(uint32_t first, uint64_t maxClusters, std::vector<uint32_t>& out) const {
    out.clear();
    if (!validCluster(first)) return ExfatChainEnd::OutOfRange;
    // Chains almost always run forward: the visited set is kept only once
    // the chain first steps back.
    std::unordered_set<uint32_t> seen;
    bool back = false;
    uint32_t c = first;
    while (true) {
        out.push_back(c);
        const uint32_t next = fatEntry(c);
        if (next == kExfatEndOfChain) return ExfatChainEnd::EndMark;
        if (out.size() >= maxClusters) return ExfatChainEnd::Limit;
        if (next < 2 || next >= kExfatBadCluster) return ExfatChainEnd::Broken;
        if (!validCluster(next)) return ExfatChainEnd::OutOfRange;
        if (next <= c && !back) {
            back = true;
            seen.insert(out.begin(), out.end());
        }
        if (back && !seen.insert(next).second) return ExfatChainEnd::Loop;
        c = next;
    }
}

}  // namespace vantor
