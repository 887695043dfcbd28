#include "partition/gpt_restore.h"

#include <algorithm>
#include <random>

#include "platform/crc32.h"

namespace vantor {

namespace {

constexpr uint64_t kSector = 512;

// On-disk byte order (first three fields little-endian).
constexpr uint8_t kBasicDataGuid[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                        0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
constexpr uint8_t kLinuxDataGuid[16] = {0xAF, 0x3D, 0xC6, 0x0F, 0x83, 0x84, 0x72, 0x47,
                                        0x8E, 0x79, 0x3D, 0x69, 0xD8, 0x47, 0x7D, 0xE4};

struct Table {
    uint64_t headerLba = 0;
    std::array<std::byte, 512> header{};
    uint64_t entriesLba = 0;
    uint32_t count = 0, size = 0;
    std::vector<std::byte> entries;
};

bool ReadBytes(BlockDevice& dev, uint64_t off, std::byte* out, size_t n) {
    if (off > dev.size() || dev.size() - off < n) return false;
    return dev.readAt(off, MutableByteSpan(out, n)) == kSuccess;
}

bool ReadTable(BlockDevice& dev, uint64_t lba, Table& t) {
    t.headerLba = lba;
    if (!ReadBytes(dev, lba * kSector, t.header.data(), kSector)) return false;
    ByteSpan h(t.header.data(), kSector);
    uint32_t hsize = readLe32(h, 12);
    if (!bytesEqual(h, 0, "EFI PART") || hsize < 92 || hsize > kSector || readLe64(h, 24) != lba) return false;
    std::array<std::byte, 512> copy = t.header;
    writeLe32(copy, 16, 0);
    if (Crc32(ByteSpan(copy.data(), hsize)) != readLe32(h, 16)) return false;
    t.entriesLba = readLe64(h, 72);
    t.count = readLe32(h, 80);
    t.size = readLe32(h, 84);
    if (t.size < 128 || t.size > 4096 || t.size % 8 != 0 || t.count == 0 || t.count > 1024) return false;
    t.entries.assign(size_t{t.count} * t.size, std::byte{0});
    if (t.entriesLba > dev.size() / kSector || !ReadBytes(dev, t.entriesLba * kSector, t.entries.data(), t.entries.size()))
        return false;
    return Crc32(t.entries) == readLe32(h, 88);
}

void Seal(Table& t) {
    writeLe32(t.header, 88, Crc32(t.entries));
    writeLe32(t.header, 16, 0);
    writeLe32(t.header, 16, Crc32(ByteSpan(t.header.data(), readLe32(t.header, 12))));
}

}  // namespace

RestorePlan BuildGptRestorePlan(BlockDevice& dev, const PartitionRecord& p) {
    RestorePlan plan;
    auto refuse = [&](int result, std::string why) {
        plan.result = result;
        plan.detail = std::move(why);
        plan.writes.clear();
        return plan;
    };
    Table primary, backup;
    if (!ReadTable(dev, 1, primary)) return refuse(kRestoreNotRecoverable, "the primary GPT header or its entries are damaged");
    if (!ReadTable(dev, readLe64(primary.header, 32), backup) || backup.count != primary.count || backup.size != primary.size)
        return refuse(kRestoreNotRecoverable, "the backup GPT header or its entries are damaged");
    const uint64_t first = p.startSector, last = first + p.totalBytes / kSector - 1;
    if (first < readLe64(primary.header, 40) || last > readLe64(primary.header, 48))
        return refuse(kRestoreNotRecoverable, "the partition lies outside the table's usable sectors");
    int slot = -1;
    for (uint32_t i = 0; i < primary.count && slot < 0; ++i) {
        auto e = primary.entries.begin() + static_cast<std::ptrdiff_t>(size_t{i} * primary.size);
        if (std::all_of(e, e + 16, [](std::byte b) { return b == std::byte{0}; })) slot = static_cast<int>(i);
    }
    if (slot < 0) return refuse(kRestoreTableFull, "every entry of the GUID partition table is in use");

    std::array<std::byte, 128> entry{};
    const std::string fs = p.fileSystemName();
    const uint8_t* type = fs.rfind("EXT", 0) == 0 ? kLinuxDataGuid : kBasicDataGuid;
    std::copy_n(reinterpret_cast<const std::byte*>(type), 16, entry.begin());
    std::random_device rd;
    for (size_t i = 16; i < 32; i += 4) writeLe32(entry, i, rd());
    entry[16 + 7] = (entry[16 + 7] & std::byte{0x0F}) | std::byte{0x40};  // version 4
    entry[16 + 8] = (entry[16 + 8] & std::byte{0x3F}) | std::byte{0x80};  // RFC 4122 variant
    writeLe64(entry, 32, first);
    writeLe64(entry, 40, last);

    for (Table* t : {&primary, &backup}) {
        Table before = *t;
        const size_t off = size_t(slot) * t->size;
        std::copy(entry.begin(), entry.end(), t->entries.begin() + static_cast<std::ptrdiff_t>(off));
        Seal(*t);
        // The sectors of the array the entry spans, then the header.
        for (size_t s = off / kSector; s <= (off + t->size - 1) / kSector; ++s) {
            SectorWrite w;
            w.lba = t->entriesLba + s;
            std::copy_n(before.entries.begin() + static_cast<std::ptrdiff_t>(s * kSector), kSector, w.before.begin());
            std::copy_n(t->entries.begin() + static_cast<std::ptrdiff_t>(s * kSector), kSector, w.after.begin());
            w.what = t == &primary ? "GPT entries" : "backup GPT entries";
            plan.writes.push_back(w);
        }
        SectorWrite h;
        h.lba = t->headerLba;
        h.before = before.header;
        h.after = t->header;
        h.what = t == &primary ? "GPT header" : "backup GPT header";
        plan.writes.push_back(h);
    }
    plan.tableSlot = slot;
    return plan;
}

}  // namespace vantor
