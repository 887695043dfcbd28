#include "disk/volume_mount.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <optional>
#include <vector>

#include "disk/exfat_layout.h"
#include "disk/partition_table.h"
#include "disk/ntfs_layout.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::string TrimmedLabel(ByteSpan s, size_t off) {
    std::string l = readCString(s, off, 11);
    while (!l.empty() && l.back() == ' ') l.pop_back();
    return l == "NO NAME" ? std::string() : l;
}

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_relaxed); }

struct FatLayout {
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t reservedSectors = 0;
    uint64_t clusters = 0;
    int bits = 0;
};

std::optional<FatLayout> DecodeFatLayout(ByteSpan s) {
    uint32_t bps = readLe16(s, 11);
    uint32_t spc = readU8(s, 13);
    uint32_t reserved = readLe16(s, 14);
    uint32_t fats = readU8(s, 16);
    uint32_t rootEntries = readLe16(s, 17);
    uint32_t total = readLe16(s, 19) ? readLe16(s, 19) : readLe32(s, 32);
    uint32_t fatSize = readLe16(s, 22) ? readLe16(s, 22) : readLe32(s, 36);
    if ((bps != 512 && bps != 1024 && bps != 2048 && bps != 4096) || !IsPowerOfTwo(spc) || reserved == 0 ||
        fats == 0 || fatSize == 0 || total == 0)
        return std::nullopt;
    uint64_t rootSectors = (uint64_t{rootEntries} * 32 + bps - 1) / bps;
    uint64_t meta = reserved + uint64_t{fats} * fatSize + rootSectors;
    if (meta >= total) return std::nullopt;
    FatLayout l;
    l.bytesPerSector = bps;
    l.sectorsPerCluster = spc;
    l.reservedSectors = reserved;
    l.clusters = (total - meta) / spc;
    l.bits = l.clusters < 4085 ? 12 : l.clusters < 65525 ? 16 : 32;
    return l;
}

// Counts the free entries of the first FAT, reading it in large pieces.
std::optional<uint64_t> CountFreeFatEntries(BlockDevice& dev, uint64_t fatStart, uint64_t clusters, int bits,
                                            const std::atomic<bool>* stop) {
    const uint64_t entries = clusters + 2;
    const uint64_t fatBytes = bits == 12 ? (entries * 3 + 1) / 2 : entries * (bits / 8);
    constexpr uint64_t kChunk = 1 << 20;
    std::vector<std::byte> buf;
    uint64_t freeCount = 0;
    if (bits == 12) {
        // FAT12 tables are at most 6 KiB: read whole.
        buf.resize(static_cast<size_t>(fatBytes));
        if (dev.readAt(fatStart, buf) != kSuccess) return 0;
        for (uint64_t c = 2; c < entries; ++c) {
            size_t off = static_cast<size_t>(c + c / 2);
            uint16_t v = readLe16(buf, off);
            v = (c & 1) ? static_cast<uint16_t>(v >> 4) : static_cast<uint16_t>(v & 0x0FFF);
            if (v == 0) ++freeCount;
        }
        return freeCount;
    }
    const uint32_t width = static_cast<uint32_t>(bits / 8);
    for (uint64_t done = 0; done < fatBytes; done += kChunk) {
        if (Stopped(stop)) return std::nullopt;
        size_t n = static_cast<size_t>(std::min(kChunk, fatBytes - done));
        buf.resize(n);
        if (dev.readAt(fatStart + done, buf) != kSuccess) return freeCount;
        for (size_t off = 0; off + width <= n; off += width) {
            uint64_t index = (done + off) / width;
            if (index < 2 || index >= entries) continue;
            uint32_t v = width == 2 ? readLe16(buf, off) : (readLe32(buf, off) & 0x0FFFFFFF);
            if (v == 0) ++freeCount;
        }
    }
    return freeCount;
}

// FAT32 keeps a free count in its FSInfo sector; it is a hint that a driver
// may leave stale, so it is taken only when it could be true.
std::optional<uint64_t> FsInfoFreeCount(BlockDevice& dev, ByteSpan boot, uint64_t startByte, const FatLayout& l) {
    const uint32_t sector = readLe16(boot, 48);
    if (sector == 0 || sector == 0xFFFF || sector >= l.reservedSectors) return std::nullopt;
    std::byte info[512];
    if (dev.readAt(startByte + uint64_t{sector} * l.bytesPerSector, info) != kSuccess) return std::nullopt;
    ByteSpan s(info, sizeof info);
    if (readLe32(s, 0) != 0x41615252 || readLe32(s, 484) != 0x61417272 || readLe32(s, 508) != 0xAA550000)
        return std::nullopt;
    const uint32_t freeCount = readLe32(s, 488);
    if (freeCount == 0xFFFFFFFF || freeCount > l.clusters) return std::nullopt;
    return freeCount;
}

std::optional<uint64_t> FatFreeBytes(BlockDevice& dev, ByteSpan boot, uint64_t startByte,
                                     const std::atomic<bool>* stop) {
    const auto l = DecodeFatLayout(boot);
    if (!l) return std::nullopt;
    std::optional<uint64_t> clusters;
    if (l->bits == 32) clusters = FsInfoFreeCount(dev, boot, startByte, *l);
    if (!clusters)
        clusters = CountFreeFatEntries(dev, startByte + uint64_t{l->reservedSectors} * l->bytesPerSector,
                                       l->clusters, l->bits, stop);
    if (!clusters) return std::nullopt;
    return *clusters * l->sectorsPerCluster * l->bytesPerSector;
}

std::optional<VolumeEntry> ProbeFat(ByteSpan s, uint64_t startByte, uint64_t lengthBytes) {
    const auto l = DecodeFatLayout(s);
    if (!l) return std::nullopt;
    VolumeEntry v;
    v.startByte = startByte;
    v.lengthBytes = lengthBytes;  // the partition's length, as Windows reports it
    v.fileSystem = l->bits == 32 ? "FAT32" : "FAT";
    v.label = TrimmedLabel(s, l->bits == 32 ? 71 : 43);
    v.sectorsPerCluster = l->sectorsPerCluster;
    v.bytesPerSector = l->bytesPerSector;
    v.totalClusters = l->clusters;
    return v;
}

// One MFT record with its update-sequence fixups applied.
bool ReadMftRecord(BlockDevice& dev, uint64_t startByte, uint64_t clusterBytes, uint64_t mftLcn,
                   uint32_t recordBytes, uint32_t index, std::vector<std::byte>& rec) {
    if (recordBytes < 512 || recordBytes > 65536 || clusterBytes == 0) return false;
    if (mftLcn > (uint64_t{1} << 48) / clusterBytes) return false;
    rec.assign(recordBytes, std::byte{0});
    const uint64_t off = startByte + mftLcn * clusterBytes + uint64_t{index} * recordBytes;
    if (dev.readAt(off, rec) != kSuccess || !bytesEqual(rec, 0, "FILE")) return false;
    ApplyNtfsFixups(rec);  // a torn record is used as it lies
    return true;
}

// Offset of the first attribute of a type in a record, or 0.
size_t FindAttribute(const std::vector<std::byte>& rec, uint32_t wanted) {
    size_t a = readLe16(rec, 20);
    for (int guard = 0; guard < 64 && a + 16 <= rec.size(); ++guard) {
        uint32_t type = readLe32(rec, a);
        uint32_t len = readLe32(rec, a + 4);
        if (type == 0xFFFFFFFF || len < 16 || a + len > rec.size()) break;
        if (type == wanted) return a;
        a += len;
    }
    return 0;
}

// The label lives in $Volume (MFT record 3) as a resident $VOLUME_NAME.
std::string NtfsLabel(BlockDevice& dev, uint64_t startByte, uint64_t clusterBytes, uint64_t mftLcn,
                      uint32_t recordBytes) {
    std::vector<std::byte> rec;
    if (!ReadMftRecord(dev, startByte, clusterBytes, mftLcn, recordBytes, 3, rec)) return {};
    size_t a = FindAttribute(rec, 0x60);
    if (a == 0 || readU8(rec, a + 8) != 0) return {};
    uint32_t len = readLe32(rec, a + 4);
    uint32_t vlen = readLe32(rec, a + 16);
    uint16_t voff = readLe16(rec, a + 20);
    if (uint64_t{voff} + vlen > len) return {};
    return Utf16LeToUtf8(ByteSpan(rec).subspan(a + voff, vlen));
}

// Free clusters counted in $Bitmap (MFT record 6): one bit per cluster, set
// when used. Nothing when the bitmap cannot be read whole.
std::optional<uint64_t> NtfsFreeClusters(BlockDevice& dev, uint64_t startByte, uint64_t clusterBytes,
                                         uint64_t mftLcn, uint32_t recordBytes, uint64_t totalClusters,
                                         const std::atomic<bool>* stop) {
    constexpr uint64_t kMaxBitmapBytes = uint64_t{512} << 20;  // 4 Gi clusters
    const uint64_t bitmapBytes = (totalClusters + 7) / 8;
    if (totalClusters == 0 || bitmapBytes > kMaxBitmapBytes) return std::nullopt;
    std::vector<std::byte> rec;
    if (!ReadMftRecord(dev, startByte, clusterBytes, mftLcn, recordBytes, 6, rec)) return std::nullopt;
    size_t a = FindAttribute(rec, 0x80);
    if (a == 0 || readU8(rec, a + 8) != 1) return std::nullopt;
    const uint32_t len = readLe32(rec, a + 4);
    const uint16_t runOff = readLe16(rec, a + 32);
    if (runOff >= len) return std::nullopt;
    std::vector<NtfsRun> runs;
    DecodeRunList(ByteSpan(rec).subspan(a + runOff, len - runOff), 0, runs, 4096);

    uint64_t used = 0;
    uint64_t done = 0;  // bitmap bytes counted so far
    std::vector<std::byte> chunk;
    for (const NtfsRun& run : runs) {
        if (done >= bitmapBytes) break;
        if (run.length > kMaxBitmapBytes / clusterBytes + 1) return std::nullopt;
        uint64_t bytes = std::min(run.length * clusterBytes, bitmapBytes - done);
        if (run.sparse) {  // no clusters behind it: all zero, all free
            done += bytes;
            continue;
        }
        uint64_t pos = startByte + run.lcn * clusterBytes;
        while (bytes > 0) {
            if (Stopped(stop)) return std::nullopt;
            const size_t n = static_cast<size_t>(std::min<uint64_t>(bytes, 1 << 20));
            chunk.resize(n);
            if (dev.readAt(pos, chunk) != kSuccess) return std::nullopt;
            for (size_t i = 0; i < n; ++i) {
                unsigned v = std::to_integer<unsigned>(chunk[i]);
                const uint64_t bitBase = (done + i) * 8;
                if (bitBase + 8 > totalClusters) v &= (1u << (totalClusters - bitBase)) - 1;  // the tail byte
                used += static_cast<uint64_t>(std::popcount(v));
            }
            pos += n;
            done += n;
            bytes -= n;
        }
    }
    if (done < bitmapBytes || used > totalClusters) return std::nullopt;
    return totalClusters - used;
}

struct NtfsLayout {
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint64_t clusterBytes = 0;
    uint64_t totalClusters = 0;
    uint64_t mftLcn = 0;
    uint32_t recordBytes = 0;
};

std::optional<NtfsLayout> DecodeNtfsLayout(ByteSpan s) {
    uint32_t bps = readLe16(s, 11);
    uint32_t spcRaw = readU8(s, 13);
    uint32_t spc = spcRaw <= 0x80 ? spcRaw : (spcRaw <= 0xF0 ? 0 : 1u << (256 - spcRaw));
    if ((bps != 512 && bps != 1024 && bps != 2048 && bps != 4096) || !IsPowerOfTwo(spc)) return std::nullopt;
    NtfsLayout l;
    l.bytesPerSector = bps;
    l.sectorsPerCluster = spc;
    l.clusterBytes = uint64_t{spc} * bps;
    l.totalClusters = readLe64(s, 40) / spc;
    l.mftLcn = readLe64(s, 48);
    int8_t perRecord = static_cast<int8_t>(readU8(s, 64));
    uint64_t recordBytes = perRecord > 0 ? perRecord * l.clusterBytes
                                         : (perRecord < 0 && perRecord > -31 ? 1ull << -perRecord : 0);
    l.recordBytes = static_cast<uint32_t>(std::min<uint64_t>(recordBytes, 1u << 20));
    return l;
}

std::optional<uint64_t> NtfsFreeBytes(BlockDevice& dev, ByteSpan boot, uint64_t startByte,
                                      const std::atomic<bool>* stop) {
    const auto l = DecodeNtfsLayout(boot);
    if (!l) return std::nullopt;
    auto clusters = NtfsFreeClusters(dev, startByte, l->clusterBytes, l->mftLcn, l->recordBytes, l->totalClusters, stop);
    if (Stopped(stop)) return std::nullopt;
    // When $Bitmap cannot be read the volume is shown as all free.
    return clusters.value_or(l->totalClusters) * l->clusterBytes;
}

std::optional<VolumeEntry> ProbeNtfs(BlockDevice& dev, ByteSpan s, uint64_t startByte, uint64_t lengthBytes) {
    const auto l = DecodeNtfsLayout(s);
    if (!l) return std::nullopt;
    VolumeEntry v;
    v.startByte = startByte;
    v.lengthBytes = lengthBytes;
    v.fileSystem = "NTFS";
    v.sectorsPerCluster = l->sectorsPerCluster;
    v.bytesPerSector = l->bytesPerSector;
    v.totalClusters = l->totalClusters;
    v.label = NtfsLabel(dev, startByte, l->clusterBytes, l->mftLcn, l->recordBytes);
    return v;
}

std::optional<VolumeEntry> ProbeExfat(BlockDevice& dev, ByteSpan s, uint64_t startByte, uint64_t lengthBytes) {
    const auto b = DecodeExfatBoot(s, lengthBytes);
    if (!b) return std::nullopt;
    VolumeEntry v;
    v.startByte = startByte;
    v.lengthBytes = lengthBytes;
    v.fileSystem = "exFAT";
    v.sectorsPerCluster = b->sectorsPerCluster();
    v.bytesPerSector = b->sectorBytes();
    v.totalClusters = b->clusterCount;
    if (const auto root = ReadExfatRootInfo(dev, startByte, *b)) v.label = root->label;
    return v;
}

// The volume's boot sector, when it carries the 55AAh signature.
bool ReadBootSector(BlockDevice& dev, uint64_t startByte, std::byte (&sec)[512]) {
    if (startByte > dev.size() || dev.size() - startByte < sizeof sec) return false;
    return dev.readAt(startByte, sec) == kSuccess && readLe16(ByteSpan(sec, sizeof sec), 510) == 0xAA55;
}

}  // namespace

std::optional<VolumeEntry> ProbeVolume(BlockDevice& dev, uint64_t startByte, uint64_t lengthBytes) {
    std::byte sec[512];
    if (!ReadBootSector(dev, startByte, sec)) return std::nullopt;
    ByteSpan s(sec, sizeof sec);
    if (bytesEqual(s, 3, "NTFS    ")) return ProbeNtfs(dev, s, startByte, lengthBytes);
    if (IsExfatBootSector(s)) return ProbeExfat(dev, s, startByte, lengthBytes);
    if (readU8(s, 0) == 0xEB || readU8(s, 0) == 0xE9) return ProbeFat(s, startByte, lengthBytes);
    return std::nullopt;
}

std::optional<uint64_t> CountFreeBytes(BlockDevice& dev, uint64_t startByte, const std::atomic<bool>* stop) {
    std::byte sec[512];
    if (!ReadBootSector(dev, startByte, sec)) return std::nullopt;
    ByteSpan s(sec, sizeof sec);
    if (bytesEqual(s, 3, "NTFS    ")) return NtfsFreeBytes(dev, s, startByte, stop);
    if (IsExfatBootSector(s)) {
        const auto b = DecodeExfatBoot(s, dev.size() - startByte);
        return b ? CountExfatFreeBytes(dev, startByte, *b, stop) : std::nullopt;
    }
    if (readU8(s, 0) == 0xEB || readU8(s, 0) == 0xE9) return FatFreeBytes(dev, s, startByte, stop);
    return std::nullopt;
}

void MountVolumes(DeviceTable& table) {
    std::vector<VolumeEntry> volumes;
    char next = 'C';
    const int drives = std::min(table.driveSlots(), kMaxDrives);
    for (int n = 0; n < drives && next <= 'Z'; ++n) {
        StorageDescriptor desc;
        if (!table.queryStorageProperty(n, desc) || desc.deviceType != 0) continue;
        DevicePtr dev;
        if (table.openDrive(n, Access::Read, dev) != kSuccess) continue;
        PartitionList list;
        ReadPartitionTable(*dev, dev->size(), n, list);
        for (const auto& r : list.records()) {
            if (r.isGap() || next > 'Z') continue;
            auto v = ProbeVolume(*dev, uint64_t{r.startSector} * 512, r.totalBytes);
            if (!v) continue;
            v->letter = next++;
            v->driveNumber = n;
            volumes.push_back(*v);
        }
    }
    table.setVolumes(std::move(volumes));
}

}  // namespace vantor
