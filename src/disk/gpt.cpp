#include "disk/gpt.h"

#include <algorithm>
#include <vector>

#include "platform/crc32.h"

namespace vantor {

namespace {

constexpr uint32_t kSector = 512;

// Type GUIDs in their on-disk byte order (the first three fields little-endian).
constexpr uint8_t kLinuxDataGuid[16] = {0xAF, 0x3D, 0xC6, 0x0F, 0x83, 0x84, 0x72, 0x47,
                                        0x8E, 0x79, 0x3D, 0x69, 0xD8, 0x47, 0x7D, 0xE4};
constexpr uint8_t kLinuxSwapGuid[16] = {0x6D, 0xFD, 0x57, 0x06, 0xAB, 0xA4, 0xC4, 0x43,
                                        0x84, 0xE5, 0x09, 0x33, 0xC8, 0x4B, 0x4F, 0x4F};

struct GptHeader {
    uint64_t firstUsable = 0;
    uint64_t lastUsable = 0;
    uint64_t entriesLba = 0;
    uint32_t entryCount = 0;
    uint32_t entrySize = 0;
    uint32_t entriesCrc = 0;
};

bool ReadAt(BlockDevice& dev, uint64_t off, std::byte* out, size_t n) {
    if (off > dev.size() || dev.size() - off < n) return false;
    return dev.readAt(off, MutableByteSpan(out, n)) == kSuccess;
}

bool ReadHeader(BlockDevice& dev, uint64_t lba, GptHeader& h) {
    std::byte sec[kSector];
    if (!ReadAt(dev, lba * kSector, sec, kSector)) return false;
    ByteSpan s(sec, kSector);
    if (!bytesEqual(s, 0, "EFI PART")) return false;
    uint32_t headerSize = readLe32(s, 12);
    if (headerSize < 92 || headerSize > kSector) return false;
    uint32_t stored = readLe32(s, 16);
    std::byte copy[kSector];
    std::copy(sec, sec + kSector, copy);
    writeLe32(MutableByteSpan(copy, kSector), 16, 0);
    if (Crc32(ByteSpan(copy, headerSize)) != stored) return false;
    h.firstUsable = readLe64(s, 40);
    h.lastUsable = readLe64(s, 48);
    h.entriesLba = readLe64(s, 72);
    h.entryCount = readLe32(s, 80);
    h.entrySize = readLe32(s, 84);
    h.entriesCrc = readLe32(s, 88);
    if (h.entrySize < 128 || h.entrySize > 4096 || h.entrySize % 8 != 0) return false;
    if (h.entryCount == 0 || h.entryCount > kMaxGptEntries) return false;
    if (h.firstUsable > h.lastUsable) return false;
    return true;
}

bool ReadEntries(BlockDevice& dev, const GptHeader& h, std::vector<std::byte>& out) {
    out.assign(size_t{h.entryCount} * h.entrySize, std::byte{0});
    if (h.entriesLba > dev.size() / kSector) return false;
    if (!ReadAt(dev, h.entriesLba * kSector, out.data(), out.size())) return false;
    return Crc32(out) == h.entriesCrc;
}

PartitionRecord GptBase(int driveIndex) {
    PartitionRecord r;
    r.diskIndex = driveIndex;
    r.driveLetter = '*';
    r.slotKind = 1;
    r.setLabel("Unknown");
    r.sectorsPerCluster = 8;
    r.bytesPerSector = 512;
    return r;
}

void AddGap(PartitionList& list, int driveIndex, uint64_t from, uint64_t toExclusive) {
    if (toExclusive <= from || from > 0xFFFFFFFFu) return;
    PartitionRecord g = GptBase(driveIndex);
    g.setFileSystem("Deleted");
    g.tableSector = static_cast<uint32_t>(from);
    g.startSector = static_cast<uint32_t>(from);
    g.totalBytes = (toExclusive - from) * kSector;
    g.freeBytes = g.totalBytes;
    list.records().push_back(g);
}

}  // namespace

bool NameByContents(BlockDevice& dev, PartitionRecord& r, bool linuxData, bool linuxSwap) {
    ByteSpan boot(reinterpret_cast<const std::byte*>(r.bootSector), sizeof r.bootSector);
    r.setLabel("Unknown");
    r.freeBytes = r.totalBytes;
    if (bytesEqual(boot, 3, "NTFS")) {
        r.setFileSystem("#NTFS#");
        r.partitionType = 0x07;
        return true;
    }
    if (bytesEqual(boot, 82, "FAT32")) {
        r.setFileSystem("#FAT32#");
        r.partitionType = 0x0C;
        return true;
    }
    if (bytesEqual(boot, 54, "FAT1")) {
        r.setFileSystem("#FAT16#");
        r.partitionType = 0x06;
        return true;
    }
    std::byte page[4096] = {};
    uint64_t off = uint64_t{r.startSector} * kSector;
    bool havePage = ReadAt(dev, off, page, sizeof page);
    if (linuxSwap || (havePage && bytesEqual(ByteSpan(page, sizeof page), 4086, "SWAPSPACE2"))) {
        r.setFileSystem("SWAP");
        r.partitionType = 0x82;
        return true;
    }
    ByteSpan sb(page + 1024, 1024);
    if (havePage && readLe16(sb, 56) == 0xEF53) {
        // The same naming as a type-83h entry of an MBR.
        r.partitionType = 0x83;
        return NameByTypeByte(dev, r);
    }
    if (linuxData) {
        r.setFileSystem("EXTX");
        r.partitionType = 0x83;
        return true;
    }
    r.setFileSystem("Unknown");
    r.partitionType = 0;
    return true;
}

bool ReadGptTable(BlockDevice& dev, uint64_t diskSize, int driveIndex, PartitionList& list) {
    const uint64_t diskSectors = diskSize / kSector;
    if (diskSectors < 3) return false;
    GptHeader h;
    std::vector<std::byte> entries;
    bool ok = ReadHeader(dev, 1, h) && ReadEntries(dev, h, entries);
    if (!ok) ok = ReadHeader(dev, diskSectors - 1, h) && ReadEntries(dev, h, entries);
    if (!ok) return false;

    uint64_t lastUsable = std::min(h.lastUsable, diskSectors - 1);
    std::vector<PartitionRecord> used;
    for (uint32_t i = 0; i < h.entryCount; ++i) {
        ByteSpan e(entries.data() + size_t{i} * h.entrySize, h.entrySize);
        bool empty = std::all_of(e.begin(), e.begin() + 16, [](std::byte b) { return b == std::byte{0}; });
        if (empty) continue;
        uint64_t first = readLe64(e, 32);
        uint64_t last = readLe64(e, 40);
        // LBAs live in 32 bits in the record; entries beyond cannot be named.
        if (last < first || first > 0xFFFFFFFFu) continue;
        PartitionRecord r = GptBase(driveIndex);
        r.tableSector = static_cast<uint32_t>(first);
        r.startSector = static_cast<uint32_t>(first);
        r.totalBytes = (last - first + 1) * kSector;
        if (!ReadAt(dev, first * kSector, reinterpret_cast<std::byte*>(r.bootSector), kSector))
            std::fill(std::begin(r.bootSector), std::end(r.bootSector), 0);
        bool linuxData = std::equal(e.begin(), e.begin() + 16, reinterpret_cast<const std::byte*>(kLinuxDataGuid));
        bool linuxSwap = std::equal(e.begin(), e.begin() + 16, reinterpret_cast<const std::byte*>(kLinuxSwapGuid));
        if (!NameByContents(dev, r, linuxData, linuxSwap)) return false;
        used.push_back(r);
    }
    std::sort(used.begin(), used.end(),
              [](const PartitionRecord& a, const PartitionRecord& b) { return a.tableSector < b.tableSector; });

    // Free stretches between the usable bounds, in disk order.
    uint64_t cursor = h.firstUsable;
    for (const auto& r : used) {
        if (!list.insertOrdered(r)) continue;
        // An entry past the usable end must not stretch a gap off the disk.
        AddGap(list, driveIndex, cursor, std::min<uint64_t>(r.startSector, lastUsable + 1));
        cursor = std::max(cursor, r.endSector());
    }
    AddGap(list, driveIndex, cursor, lastUsable + 1);
    list.records().sort([](const PartitionRecord& a, const PartitionRecord& b) {
        return a.tableSector < b.tableSector;
    });
    return true;
}

}  // namespace vantor
