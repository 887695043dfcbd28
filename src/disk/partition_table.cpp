#include "disk/partition_table.h"

#include <algorithm>
#include <set>

#include "disk/gpt.h"
#include "platform/device_table.h"

namespace vantor {

namespace {

constexpr uint32_t kSector = 512;
constexpr size_t kEntryOffsets[4] = {446, 462, 478, 494};

struct TableEntry {
    uint8_t type = 0;
    uint32_t start = 0;
    uint32_t count = 0;
};

TableEntry EntryAt(ByteSpan sector, size_t off) {
    return {readU8(sector, off + 4), readLe32(sector, off + 8), readLe32(sector, off + 12)};
}

// A read of one sector that never asks past the device's end.
bool ReadSectorAt(BlockDevice& dev, uint64_t lba, std::byte* out, size_t bytes = kSector) {
    uint64_t off = lba * kSector;
    if (off > dev.size() || dev.size() - off < bytes) return false;
    return dev.readAt(off, MutableByteSpan(out, bytes)) == kSuccess;
}

PartitionRecord BaseRecord(int driveIndex) {
    PartitionRecord r;
    r.diskIndex = driveIndex;
    r.driveLetter = '*';
    r.setLabel("Unknown");
    r.sectorsPerCluster = 8;
    r.bytesPerSector = 512;
    return r;
}

// Builds a data record for a table entry and reads its first sector. Entries
// pointing past the drive are kept with an empty boot sector: reading there
// would fail and end the walk for a table that is merely stale.
bool MakeEntryRecord(BlockDevice& dev, int driveIndex, uint8_t slotKind, uint32_t tableSector,
                     uint32_t extendedBase, uint32_t start, uint32_t count, uint8_t type,
                     PartitionRecord& r) {
    r = BaseRecord(driveIndex);
    r.slotKind = slotKind;
    r.tableSector = tableSector;
    r.extendedBase = extendedBase;
    r.startSector = start;
    r.totalBytes = uint64_t{count} * kSector;
    r.partitionType = type;
    r.freeBytes = r.totalBytes;
    if (uint64_t{start} * kSector + kSector <= dev.size()) {
        if (!ReadSectorAt(dev, start, reinterpret_cast<std::byte*>(r.bootSector))) return false;
    }
    return NameByTypeByte(dev, r);
}

PartitionRecord GapRecord(int driveIndex, uint32_t g, bool insideExtended, uint32_t extStart) {
    PartitionRecord r = BaseRecord(driveIndex);
    r.tableSector = g;
    r.setFileSystem("Deleted");
    if (insideExtended) {
        r.slotKind = 2;
        r.extendedBase = extStart;
        r.startSector = g + 63;
    } else {
        r.slotKind = 1;
        r.startSector = g;
    }
    return r;
}

uint64_t EndOf(const PartitionRecord& r) { return uint64_t{r.startSector} + r.totalBytes / kSector; }

struct Extended {
    bool known = false;
    uint32_t start = 0xFFFFFFFFu;
    uint32_t length = 0xFFFFFFFFu;
    bool contains(uint64_t g) const { return known && start <= g && g <= uint64_t{start} + length; }
};

void GapPass(PartitionList& list, uint64_t diskSize, int driveIndex, const Extended& ext) {
    auto& recs = list.records();
    if (recs.empty()) return;
    const uint64_t diskSectors = diskSize / kSector;
    // Inner gaps between neighbours.
    for (auto it = recs.begin(); it != recs.end();) {
        auto next = std::next(it);
        if (next == recs.end()) break;
        uint64_t g = EndOf(*it);
        // Entries that lie past the end of the drive bound no free space.
        const uint64_t gapEnd = std::min<uint64_t>(next->tableSector, diskSectors);
        if (gapEnd > g && g <= 0xFFFFFFFFu) {
            PartitionRecord gap = GapRecord(driveIndex, static_cast<uint32_t>(g), ext.contains(g), ext.start);
            // A stretch shorter than the 63-sector offset of a logical start has no room.
            if (gapEnd > gap.startSector) {
                gap.totalBytes = (gapEnd - gap.startSector) * kSector;
                gap.freeBytes = gap.totalBytes;
                recs.insert(next, gap);
            }
        }
        it = next;
    }
    // Front gap.
    const PartitionRecord& first = recs.front();
    const uint64_t frontEnd = std::min<uint64_t>(first.tableSector, diskSectors);
    if (first.startSector > 63 && frontEnd > 63) {
        PartitionRecord gap = GapRecord(driveIndex, 63, false, 0);
        gap.totalBytes = (frontEnd - 63) * kSector;
        gap.freeBytes = gap.totalBytes;
        recs.push_front(gap);
    }
    // Tail gap.
    const PartitionRecord& last = recs.back();
    uint64_t end = EndOf(last);
    if (uint64_t{last.startSector} * kSector + last.totalBytes < diskSize && end <= 0xFFFFFFFFu &&
        end < diskSectors) {
        PartitionRecord gap = GapRecord(driveIndex, static_cast<uint32_t>(end), ext.contains(end), ext.start);
        uint64_t startBytes = uint64_t{gap.startSector} * kSector;
        if (startBytes < diskSize) {
            gap.totalBytes = diskSize - startBytes;
            gap.freeBytes = gap.totalBytes;
            recs.push_back(gap);
        }
    }
}

// DOS and fdisk/sfdisk write 05h, Windows 0Fh, Linux sometimes 85h: each
// opens the same chain of extended boot records.
bool IsExtendedType(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

bool IsWholeDiskFileSystem(ByteSpan s) {
    return (readU8(s, 0) == 0xEB && bytesEqual(s, 82, "FAT3")) || bytesEqual(s, 3, "NTFS") ||
           bytesEqual(s, 54, "FAT1") || bytesEqual(s, 3, "EXFAT   ");
}

}  // namespace

bool PartitionList::insertOrdered(const PartitionRecord& r) {
    auto it = records_.begin();
    while (it != records_.end() && it->tableSector < r.tableSector) ++it;
    if (it != records_.end() && it->tableSector == r.tableSector) return false;
    records_.insert(it, r);
    return true;
}

bool NameByTypeByte(BlockDevice& dev, PartitionRecord& r) {
    r.setLabel("Unknown");
    r.sectorsPerCluster = 8;
    r.bytesPerSector = 512;
    r.freeBytes = r.totalBytes;
    switch (r.partitionType) {
        case 0x06: r.setFileSystem("#FAT16#"); return true;
        case 0x07:
            // exFAT shares the type byte with NTFS; its boot sector tells them apart.
            r.setFileSystem(bytesEqual(ByteSpan(reinterpret_cast<const std::byte*>(r.bootSector), 512), 3, "EXFAT   ")
                                ? "exFAT" : "#NTFS#");
            return true;
        case 0x0B:
        case 0x0C: r.setFileSystem("#FAT32#"); return true;
        case 0x82: r.setFileSystem("SWAP"); return true;
        case 0x83: break;
        default: r.setFileSystem("Unknown"); return true;
    }
    std::byte sb[1024] = {};
    uint64_t off = (uint64_t{r.startSector} + 2) * kSector;
    if (off + sizeof sb > dev.size()) {
        // Past the drive's end: nothing to read, nothing to name.
        r.setFileSystem("EXTX");
        return true;
    }
    if (dev.readAt(off, MutableByteSpan(sb, sizeof sb)) != kSuccess) return false;
    ByteSpan s(sb, sizeof sb);
    if (readLe16(s, 56) != 0xEF53) {
        r.setFileSystem("EXTX");
        return true;
    }
    // extents (40h) or 64bit (80h) in s_feature_incompat: an ext4 volume.
    if (readLe32(s, 96) & 0xC0) r.setFileSystem("EXT4");
    else r.setFileSystem(readLe32(s, 224) != 0 ? "EXT3" : "EXT2");
    // The 16-byte name need not be terminated; readCString stops at 16.
    r.setLabel(readCString(s, 120, 16));
    r.sectorsPerCluster = readLe32(s, 32);
    uint32_t logSize = readLe32(s, 24);
    uint32_t blockSize = logSize <= 16 ? (1u << (logSize + 10)) : 0;
    r.bytesPerSector = blockSize;
    r.freeBytes = uint64_t{readLe32(s, 12)} * blockSize;
    return true;
}

bool WalkExtendedChain(BlockDevice& dev, uint32_t base, int driveIndex, PartitionList& list,
                       uint32_t* lastEbr) {
    uint64_t current = base;
    std::set<uint64_t> visited;
    for (int links = 0; links < kMaxEbrLinks; ++links) {
        // A chain that comes back to an EBR already read would loop for ever.
        if (!visited.insert(current).second || current > 0xFFFFFFFFu) return true;
        if (lastEbr) *lastEbr = static_cast<uint32_t>(current);
        std::byte sector[kSector];
        if (!ReadSectorAt(dev, current, sector)) return false;
        ByteSpan s(sector, kSector);
        TableEntry data = EntryAt(s, 446);
        TableEntry link = EntryAt(s, 462);
        if (data.type == 0x05) std::swap(data, link);
        if (data.count != 0) {
            uint64_t start = current + data.start;
            PartitionRecord r;
            if (start <= 0xFFFFFFFFu) {
                if (!MakeEntryRecord(dev, driveIndex, 2, static_cast<uint32_t>(current), base,
                                     static_cast<uint32_t>(start), data.count, data.type, r))
                    return false;
                list.insertOrdered(r);
            }
        }
        if (link.type != 0x05) return true;
        current = uint64_t{base} + link.start;
    }
    return true;
}

bool ReadPartitionTable(BlockDevice& dev, uint64_t diskSize, int driveIndex, PartitionList& list,
                        uint32_t* lastEbr) {
    if (diskSize == 0) return false;
    std::byte mbr[kSector];
    if (!ReadSectorAt(dev, 0, mbr)) return false;
    ByteSpan s(mbr, kSector);

    if (IsWholeDiskFileSystem(s)) {
        PartitionRecord r = BaseRecord(driveIndex);
        r.slotKind = 1;
        r.setFileSystem("Unknown");
        r.totalBytes = diskSize;
        r.freeBytes = diskSize;
        std::copy(mbr, mbr + kSector, reinterpret_cast<std::byte*>(r.bootSector));
        list.insertOrdered(r);
        return true;
    }

    for (size_t off : kEntryOffsets) {
        if (readU8(s, off + 4) == 0xEE) return ReadGptTable(dev, diskSize, driveIndex, list);
    }

    Extended ext;
    for (size_t off : kEntryOffsets) {
        TableEntry e = EntryAt(s, off);
        if (e.type == 0) continue;
        if (IsExtendedType(e.type)) {
            ext.known = true;
            ext.start = e.start;
            ext.length = e.count;
            if (!WalkExtendedChain(dev, e.start, driveIndex, list, lastEbr)) return false;
            continue;
        }
        PartitionRecord r;
        if (!MakeEntryRecord(dev, driveIndex, 1, e.start, 0, e.start, e.count, e.type, r)) return false;
        list.insertOrdered(r);
    }

    if (list.empty()) {
        // No entry at all: the whole drive from 63 on is one lost stretch,
        // which is where a partition search will look.
        if (diskSize / kSector > 63) {
            PartitionRecord gap = GapRecord(driveIndex, 63, false, 0);
            gap.totalBytes = diskSize - 63 * kSector;
            gap.freeBytes = gap.totalBytes;
            list.records().push_back(gap);
        }
        return true;
    }
    GapPass(list, diskSize, driveIndex, ext);
    return true;
}

bool ReadPartitionTable(int driveIndex, PartitionList& list, uint32_t* lastEbr) {
    DevicePtr dev;
    if (DeviceTable::Global().openDrive(driveIndex, Access::Read, dev) != kSuccess) return false;
    StorageDescriptor desc;
    if (!DeviceTable::Global().queryStorageProperty(driveIndex, desc) || desc.deviceType != 0) return false;
    DiskGeometry geo;
    uint64_t diskSize = 0;
    if (DeviceTable::Global().queryGeometry(driveIndex, geo))
        diskSize = geo.cylinders * geo.tracksPerCylinder * geo.sectorsPerTrack * geo.bytesPerSector;
    else
        diskSize = dev->size();
    return ReadPartitionTable(*dev, diskSize, driveIndex, list, lastEbr);
}

std::vector<PartitionRecord> CollectAllPartitions(uint32_t* lastEbrByDrive) {
    std::vector<PartitionRecord> all;
    for (int n = 0; n < kMaxDrives; ++n) {
        PartitionList list;
        ReadPartitionTable(n, list, lastEbrByDrive ? &lastEbrByDrive[n] : nullptr);
        for (const auto& r : list.records()) all.push_back(r);
    }
    return all;
}

std::array<uint8_t, 3> LbaToChs(uint32_t lba) {
    if (lba >= 16450560u) return {0xFF, 0xFE, 0xFF};
    uint32_t cylinder = lba / 16065;
    uint32_t head = (lba / 63) % 255;
    uint32_t sector = lba % 63 + 1;
    return {static_cast<uint8_t>(cylinder & 0xFF), static_cast<uint8_t>(head),
            static_cast<uint8_t>(sector | ((cylinder >> 2) & 0xC0))};
}

}  // namespace vantor
