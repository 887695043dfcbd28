#include "disk/volume_mount.h"

#include <algorithm>
#include <vector>

#include "disk/partition_table.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::string TrimmedLabel(ByteSpan s, size_t off) {
    std::string l = readCString(s, off, 11);
    while (!l.empty() && l.back() == ' ') l.pop_back();
    return l == "NO NAME" ? std::string() : l;
}

// Counts the free entries of the first FAT, reading it in large pieces.
uint64_t CountFreeClusters(BlockDevice& dev, uint64_t fatStart, uint64_t clusters, int bits) {
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

std::optional<VolumeEntry> ProbeFat(BlockDevice& dev, ByteSpan s, uint64_t startByte, uint64_t lengthBytes) {
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
    uint64_t clusters = (total - meta) / spc;
    int bits = clusters < 4085 ? 12 : clusters < 65525 ? 16 : 32;
    VolumeEntry v;
    v.startByte = startByte;
    v.lengthBytes = lengthBytes;  // the partition's length, as Windows reports it
    v.fileSystem = bits == 32 ? "FAT32" : "FAT";
    v.label = TrimmedLabel(s, bits == 32 ? 71 : 43);
    v.sectorsPerCluster = spc;
    v.bytesPerSector = bps;
    v.totalClusters = clusters;
    v.freeClusters = CountFreeClusters(dev, startByte + uint64_t{reserved} * bps, clusters, bits);
    return v;
}

// The label lives in $Volume (MFT record 3) as a resident $VOLUME_NAME.
std::string NtfsLabel(BlockDevice& dev, uint64_t startByte, uint64_t clusterBytes, uint64_t mftLcn,
                      uint32_t recordBytes, uint32_t bps) {
    if (recordBytes < 512 || recordBytes > 65536 || clusterBytes == 0) return {};
    std::vector<std::byte> rec(recordBytes);
    uint64_t off = startByte + mftLcn * clusterBytes + 3ull * recordBytes;
    if (dev.readAt(off, rec) != kSuccess || !bytesEqual(rec, 0, "FILE")) return {};
    // Put back the last two bytes of each sector from the update sequence array.
    uint16_t usaOff = readLe16(rec, 4);
    uint16_t usaCount = readLe16(rec, 6);
    for (uint32_t i = 1; i < usaCount && i * bps <= recordBytes; ++i) {
        size_t end = size_t{i} * bps - 2;
        size_t src = size_t{usaOff} + 2 * i;
        if (src + 2 > rec.size()) break;
        rec[end] = rec[src];
        rec[end + 1] = rec[src + 1];
    }
    size_t a = readLe16(rec, 20);
    for (int guard = 0; guard < 64 && a + 16 <= rec.size(); ++guard) {
        uint32_t type = readLe32(rec, a);
        uint32_t len = readLe32(rec, a + 4);
        if (type == 0xFFFFFFFF || len < 16 || a + len > rec.size()) break;
        if (type == 0x60 && readU8(rec, a + 8) == 0) {
            uint32_t vlen = readLe32(rec, a + 16);
            uint16_t voff = readLe16(rec, a + 20);
            if (voff + vlen <= len) return Utf16LeToUtf8(ByteSpan(rec).subspan(a + voff, vlen));
        }
        a += len;
    }
    return {};
}

std::optional<VolumeEntry> ProbeNtfs(BlockDevice& dev, ByteSpan s, uint64_t startByte, uint64_t lengthBytes) {
    uint32_t bps = readLe16(s, 11);
    uint32_t spcRaw = readU8(s, 13);
    uint32_t spc = spcRaw <= 0x80 ? spcRaw : (spcRaw <= 0xF0 ? 0 : 1u << (256 - spcRaw));
    if ((bps != 512 && bps != 1024 && bps != 2048 && bps != 4096) || !IsPowerOfTwo(spc)) return std::nullopt;
    uint64_t totalSectors = readLe64(s, 40);
    uint64_t clusterBytes = uint64_t{spc} * bps;
    int8_t perRecord = static_cast<int8_t>(readU8(s, 64));
    uint64_t recordBytes = perRecord > 0 ? perRecord * clusterBytes
                                         : (perRecord < 0 && perRecord > -31 ? 1ull << -perRecord : 0);
    VolumeEntry v;
    v.startByte = startByte;
    v.lengthBytes = lengthBytes;
    v.fileSystem = "NTFS";
    v.sectorsPerCluster = spc;
    v.bytesPerSector = bps;
    v.totalClusters = totalSectors / spc;
    // Free space would need $Bitmap; the volume is reported as all free
    // (free = total) until the NTFS engine can read it here.
    v.freeClusters = v.totalClusters;
    v.label = NtfsLabel(dev, startByte, clusterBytes, readLe64(s, 48), static_cast<uint32_t>(recordBytes), bps);
    return v;
}

}  // namespace

std::optional<VolumeEntry> ProbeVolume(BlockDevice& dev, uint64_t startByte, uint64_t lengthBytes) {
    std::byte sec[512];
    if (startByte > dev.size() || dev.size() - startByte < sizeof sec) return std::nullopt;
    if (dev.readAt(startByte, sec) != kSuccess) return std::nullopt;
    ByteSpan s(sec, sizeof sec);
    if (readLe16(s, 510) != 0xAA55) return std::nullopt;
    if (bytesEqual(s, 3, "NTFS    ")) return ProbeNtfs(dev, s, startByte, lengthBytes);
    if (readU8(s, 0) == 0xEB || readU8(s, 0) == 0xE9) return ProbeFat(dev, s, startByte, lengthBytes);
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
