#include "partition/disk_layout.h"

#include <algorithm>
#include <set>

#include "disk/gpt.h"
#include "disk/partition_table.h"

namespace vantor {

namespace {

constexpr uint64_t kSector = 512;

struct Range {
    uint64_t start, end;
};

// [from, to) minus the used ranges, appended to out.
void Subtract(uint64_t from, uint64_t to, std::vector<Range> used, bool logical, std::vector<FreeStretch>& out) {
    std::sort(used.begin(), used.end(), [](const Range& a, const Range& b) { return a.start < b.start; });
    uint64_t cursor = from;
    for (const Range& r : used) {
        if (r.end <= cursor) continue;
        if (r.start >= to) break;
        if (r.start > cursor) out.push_back({cursor, r.start, logical});
        cursor = std::max(cursor, r.end);
    }
    if (cursor < to) out.push_back({cursor, to, logical});
}

bool ReadSector(BlockDevice& dev, uint64_t lba, std::byte* out) {
    if ((lba + 1) * kSector > dev.size()) return false;
    return dev.readAt(lba * kSector, MutableByteSpan(out, kSector)) == kSuccess;
}

}  // namespace

TableSlot SlotAt(ByteSpan s, int index) {
    size_t off = kMbrEntryOffsets[index];
    return {readU8(s, off + 4), readLe32(s, off + 8), readLe32(s, off + 12)};
}

void PutSlot(MutableByteSpan s, int index, const TableSlot& slot) {
    size_t off = kMbrEntryOffsets[index];
    if (slot.empty() && slot.start == 0) {
        for (size_t i = 0; i < 16; ++i) writeU8(s, off + i, 0);
        return;
    }
    auto first = LbaToChs(slot.start);
    auto last = LbaToChs(slot.count ? slot.start + slot.count - 1 : slot.start);
    // LbaToChs gives cylinder-low, head, sector|cylinder-high; entries store head first.
    writeU8(s, off, 0);
    writeU8(s, off + 1, first[1]);
    writeU8(s, off + 2, first[2]);
    writeU8(s, off + 3, first[0]);
    writeU8(s, off + 4, slot.type);
    writeU8(s, off + 5, last[1]);
    writeU8(s, off + 6, last[2]);
    writeU8(s, off + 7, last[0]);
    writeLe32(s, off + 8, slot.start);
    writeLe32(s, off + 12, slot.count);
}

bool IsExtendedTypeByte(uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

bool ReadDiskLayout(BlockDevice& dev, DiskLayout& out) {
    out = DiskLayout{};
    out.sectors = dev.size() / kSector;
    if (!ReadSector(dev, 0, out.mbr.data())) return false;
    ByteSpan mbr(out.mbr.data(), kSector);
    std::vector<Range> primaries{{0, 1}};
    for (int i = 0; i < 4; ++i) {
        TableSlot e = SlotAt(mbr, i);
        if (e.type == 0xEE) out.gpt = true;
    }
    if (out.gpt) {
        PartitionList list;
        if (!ReadGptTable(dev, dev.size(), 0, list)) return false;
        for (const auto& r : list.records())
            if (r.isGap()) out.free.push_back({r.startSector, r.endSector(), false});
        return true;
    }
    for (int i = 0; i < 4; ++i) {
        TableSlot e = SlotAt(mbr, i);
        if (e.type == 0 || e.count == 0) continue;
        primaries.push_back({e.start, uint64_t{e.start} + e.count});
        if (IsExtendedTypeByte(e.type) && out.extendedSlot < 0) {
            out.extendedSlot = i;
            out.extStart = e.start;
            out.extCount = e.count;
        }
    }
    Subtract(1, out.sectors, primaries, false, out.free);
    if (out.extendedSlot < 0) return true;

    std::vector<Range> logicalUsed;
    std::set<uint64_t> visited;
    uint64_t current = out.extStart;
    // Same guards as the table walk: a chain that loops or runs on is cut.
    for (int links = 0; links < kMaxEbrLinks && current < out.sectors && visited.insert(current).second; ++links) {
        EbrNode node;
        node.sector = static_cast<uint32_t>(current);
        if (!ReadSector(dev, current, node.raw.data())) return false;
        ByteSpan s(node.raw.data(), kSector);
        bool signature = readU8(s, 510) == 0x55 && readU8(s, 511) == 0xAA;
        for (int i = 0; i < 2 && signature; ++i) {
            TableSlot e = SlotAt(s, i);
            if (e.type == 0x05 && node.linkSlot < 0) node.linkSlot = i;
            else if (e.type != 0 && e.count != 0 && node.dataSlot < 0) node.dataSlot = i;
        }
        logicalUsed.push_back({current, current + 1});
        if (node.dataSlot >= 0) {
            TableSlot d = SlotAt(s, node.dataSlot);
            node.dataStart = current + d.start;
            node.dataCount = d.count;
            logicalUsed.push_back({node.dataStart, node.dataStart + node.dataCount});
        }
        int link = node.linkSlot;
        uint64_t next = link >= 0 ? uint64_t{out.extStart} + SlotAt(s, link).start : 0;
        out.chain.push_back(node);
        if (link < 0) break;
        current = next;
    }
    Subtract(out.extStart, std::min(out.extEnd(), out.sectors), logicalUsed, true, out.free);
    std::sort(out.free.begin(), out.free.end(),
              [](const FreeStretch& a, const FreeStretch& b) { return a.start < b.start; });
    return true;
}

}  // namespace vantor
