#include "partition/partition_restore.h"

#include <algorithm>

#include "disk/partition_table.h"
#include "partition/backup_file.h"
#include "partition/gpt_restore.h"
#include "partition/kernel_reread.h"
#include "partition/partition_search.h"
#include "partition/undo_file.h"
#include "platform/device_table.h"

namespace vantor {

namespace {

constexpr uint64_t kSector = 512;
using Sector = std::array<std::byte, 512>;

bool ReadSector(BlockDevice& dev, uint64_t lba, Sector& out) {
    if ((lba + 1) * kSector > dev.size()) return false;
    return dev.readAt(lba * kSector, out) == kSuccess;
}

RestorePlan Refuse(int result, std::string detail) {
    RestorePlan p;
    p.result = result;
    p.detail = std::move(detail);
    return p;
}

MutableByteSpan Span(Sector& s) { return MutableByteSpan(s.data(), s.size()); }

Sector FreshEbr() {
    Sector s{};
    s[510] = std::byte{0x55};
    s[511] = std::byte{0xAA};
    return s;
}

// Where a new extended boot record goes in the free sectors [low, start):
// 1 MiB before a 1 MiB-aligned partition (what partitioners write), else 63
// before it (the cylinder-era layout), else the first free sector.
bool PlaceEbr(uint64_t low, uint64_t start, uint64_t& at) {
    if (start % 2048 == 0 && start >= 2048 && start - 2048 >= low) at = start - 2048;
    else if (start >= 63 && start - 63 >= low) at = start - 63;
    else if (low < start) at = low;
    else return false;
    return true;
}

const FreeStretch* StretchHolding(const DiskLayout& l, uint64_t start, uint64_t end) {
    for (const auto& s : l.free)
        if (s.start <= start && end <= s.end) return &s;
    return nullptr;
}

// The drive's record and the records of its table as they are now.
std::vector<std::byte> CurrentTableBackup(BlockDevice& dev, int driveIndex) {
    CDiskInventory inv;
    inv.EnumeratePhysicalDrives();
    PhysicalDriveInfo info;
    for (const auto& d : inv.drives())
        if (static_cast<int>(d.driveIndex) == driveIndex) info = d;
    PartitionList list;
    ReadPartitionTable(dev, dev.size(), driveIndex, list);
    return SerializeBackup(info, {list.records().begin(), list.records().end()});
}

}  // namespace

const char* RestoreMessage(int result) {
    switch (result) {
        case kRestoreNoDrive: return "Select the disk you want recover";
        case kRestoreNoPartition: return "Select the partition you want recover";
        case kRestoreNoAccess: return "Recovery failed. Can not access the disk! ";
        case kRestoreInvalid: return "The partition selected is invalid. Please select the other partition.";
        case kRestoreNotRecoverable:
            return "The partition selected can't be recovered. Please select the other partition.";
        case kRestoreTableFull:
            return "The partition can't be recovered: there is no free entry in the partition table.";
        default: return "";
    }
}

bool RestorableFileSystem(const std::string& n) {
    return n == "FAT32" || n == "FAT16" || n == "NTFS" || n == "FAT" || n == "FAT12" || n == "exFAT" ||
           n == "EXT2" || n == "EXT3" || n == "EXT4";
}

RestorePlan BuildRestorePlan(BlockDevice& dev, const PartitionRecord& p) {
    const std::string fs = p.fileSystemName();
    if (!RestorableFileSystem(fs)) return Refuse(kRestoreInvalid, "'" + fs + "' is not a file system that can be restored");
    const uint64_t start = p.startSector, count = p.totalBytes / kSector, end = start + count;
    if (count == 0 || count > 0xFFFFFFFFu) return Refuse(kRestoreInvalid, "the partition has no size");
    DiskLayout layout;
    if (!ReadDiskLayout(dev, layout)) return Refuse(kRestoreNoAccess, "cannot read the partition table");
    const FreeStretch* stretch = StretchHolding(layout, start, end);
    if (!stretch) return Refuse(kRestoreNotRecoverable, "sectors " + std::to_string(start) + "-" +
                                                            std::to_string(end - 1) + " are not all unallocated");
    RestorePlan plan;
    std::vector<SectorWrite> table;
    if (layout.gpt) {
        plan = BuildGptRestorePlan(dev, p);
        if (plan.result != kRestoreOk) return plan;
        table = std::move(plan.writes);
        plan.writes.clear();
    }
    plan.logical = stretch->logical;
    uint8_t type = p.partitionType ? p.partitionType : TypeByteFor(fs, stretch->logical);
    if (!stretch->logical && type == 0x0B) type = 0x0C;  // an LBA FAT32 outside the chain
    auto add = [&](uint64_t lba, const Sector& before, const Sector& after, const char* what) {
        SectorWrite w;
        w.lba = lba;
        w.before = before;
        w.after = after;
        w.what = what;
        table.push_back(w);
    };

    if (layout.gpt) {
        // The entries and headers are planned above.
    } else if (!stretch->logical) {
        Sector mbr = layout.mbr, before = layout.mbr;
        int slot = -1;
        for (int i = 0; i < 4 && slot < 0; ++i)
            if (SlotAt(ByteSpan(mbr.data(), 512), i).empty()) slot = i;
        if (slot < 0) return Refuse(kRestoreTableFull, "all four entries of the master boot record are in use");
        PutSlot(Span(mbr), slot, {type, static_cast<uint32_t>(start), static_cast<uint32_t>(count)});
        mbr[510] = std::byte{0x55};
        mbr[511] = std::byte{0xAA};
        plan.tableSlot = slot;
        add(0, before, mbr, "master boot record");
    } else {
        const uint64_t base = layout.extStart;
        // The logical partition that ends last before this one, in disk order.
        int prev = -1;
        for (size_t i = 0; i < layout.chain.size(); ++i) {
            const EbrNode& n = layout.chain[i];
            if (n.dataSlot >= 0 && n.dataStart < start && (prev < 0 || n.dataStart > layout.chain[static_cast<size_t>(prev)].dataStart))
                prev = static_cast<int>(i);
        }
        if (layout.chain.empty()) return Refuse(kRestoreNoAccess, "cannot read the extended partition");
        if (prev < 0) {
            // Before every logical partition: the first extended boot record takes it.
            const EbrNode& first = layout.chain.front();
            if (start <= base) return Refuse(kRestoreNotRecoverable, "no room for an extended boot record");
            bool signed_ = first.raw[510] == std::byte{0x55} && first.raw[511] == std::byte{0xAA};
            Sector head = signed_ ? first.raw : FreshEbr();
            TableSlot link = first.linkSlot >= 0 ? SlotAt(ByteSpan(first.raw.data(), 512), first.linkSlot) : TableSlot{};
            if (first.dataSlot >= 0) {
                // Its partition lies further on: it moves to a record of its own before it.
                uint64_t at = 0;
                if (!PlaceEbr(end, first.dataStart, at) || !StretchHolding(layout, at, at + 1))
                    return Refuse(kRestoreNotRecoverable, "no room for an extended boot record before sector " +
                                                              std::to_string(first.dataStart));
                TableSlot moved = SlotAt(ByteSpan(first.raw.data(), 512), first.dataSlot);
                Sector fresh = FreshEbr(), old{};
                if (!ReadSector(dev, at, old)) return Refuse(kRestoreNoAccess, "cannot read sector " + std::to_string(at));
                PutSlot(Span(fresh), 0, {moved.type, static_cast<uint32_t>(first.dataStart - at), moved.count});
                PutSlot(Span(fresh), 1, link);
                add(at, old, fresh, "extended boot record");
                link = {0x05, static_cast<uint32_t>(at - base), static_cast<uint32_t>(first.dataStart + first.dataCount - at)};
            }
            for (int i = 0; i < 4; ++i) PutSlot(Span(head), i, {});
            PutSlot(Span(head), 0, {type, static_cast<uint32_t>(start - base), static_cast<uint32_t>(count)});
            PutSlot(Span(head), 1, link);
            add(base, first.raw, head, "extended boot record");
            plan.chainIndex = 0;
        } else {
            const EbrNode& q = layout.chain[static_cast<size_t>(prev)];
            uint64_t at = 0;
            if (!PlaceEbr(stretch->start, start, at))
                return Refuse(kRestoreNotRecoverable, "no room for an extended boot record before sector " + std::to_string(start));
            Sector fresh = FreshEbr(), old{};
            if (!ReadSector(dev, at, old)) return Refuse(kRestoreNoAccess, "cannot read sector " + std::to_string(at));
            PutSlot(Span(fresh), 0, {type, static_cast<uint32_t>(start - at), static_cast<uint32_t>(count)});
            if (q.linkSlot >= 0) PutSlot(Span(fresh), 1, SlotAt(ByteSpan(q.raw.data(), 512), q.linkSlot));
            add(at, old, fresh, "extended boot record");
            Sector linked = q.raw;
            int slot = q.linkSlot >= 0 ? q.linkSlot : (q.dataSlot == 0 ? 1 : 0);
            PutSlot(Span(linked), slot, {0x05, static_cast<uint32_t>(at - base), static_cast<uint32_t>(end - at)});
            add(q.sector, q.raw, linked, "extended boot record");
            plan.chainIndex = prev + 1;
        }
    }

    // The boot sector goes back only when it differs from what is there.
    Sector boot{}, now{};
    std::copy_n(reinterpret_cast<const std::byte*>(p.bootSector), 512, boot.begin());
    if (!ReadSector(dev, start, now)) return Refuse(kRestoreNoAccess, "cannot read sector " + std::to_string(start));
    bool known = std::any_of(boot.begin(), boot.end(), [](std::byte b) { return b != std::byte{0}; });
    if (known && boot != now) {
        SectorWrite w;
        w.lba = start;
        w.before = now;
        w.after = boot;
        w.what = "boot sector";
        plan.writes.push_back(w);
    }
    for (auto& w : table) plan.writes.push_back(std::move(w));
    return plan;
}

int ApplyRestore(BlockDevice& dev, const RestorePlan& plan, const std::string& undoPath,
                 const std::vector<std::byte>& tableBackup, std::string& detail) {
    if (plan.result != kRestoreOk) return plan.result;
    if (!dev.writable()) {
        detail = "the drive is open read-only";
        return kRestoreNoAccess;
    }
    // Nothing has changed since the plan was read: the sectors still hold their old contents.
    for (const auto& w : plan.writes) {
        Sector now{};
        if (!ReadSector(dev, w.lba, now) || now != w.before) {
            detail = "sector " + std::to_string(w.lba) + " changed since the restore was planned";
            return kRestoreNoAccess;
        }
    }
    UndoFile undo;
    undo.deviceBytes = dev.size();
    undo.writes = plan.writes;
    undo.tableBackup = tableBackup;
    if (undoPath.empty() || !WriteUndoFile(undoPath, undo)) {
        detail = "cannot save the undo file '" + undoPath + "'; nothing was written";
        return kRestoreNoAccess;
    }
    for (const auto& w : plan.writes) {
        if (dev.writeAt(w.lba * kSector, w.after) != kSuccess) {
            detail = "writing sector " + std::to_string(w.lba) + " failed; the undo file is " + undoPath;
            return kRestoreNoAccess;
        }
    }
    return kRestoreOk;
}

RestoreOutcome RestorePartition(const RestoreRequest& req) {
    RestoreOutcome out;
    if (req.driveIndex < 0) {
        out.result = kRestoreNoDrive;
        return out;
    }
    if (!req.partition) {
        out.result = kRestoreNoPartition;
        return out;
    }
    if (!RestorableFileSystem(req.partition->fileSystemName())) {
        out.result = kRestoreInvalid;
        return out;
    }
    DevicePtr dev;
    Access access = req.dryRun ? Access::Read : Access::ReadWrite;
    if (DeviceTable::Global().openDrive(req.driveIndex, access, dev) != kSuccess) {
        out.result = kRestoreNoAccess;
        out.detail = "cannot open the drive" + std::string(req.dryRun ? "" : " for writing");
        return out;
    }
    out.plan = BuildRestorePlan(*dev, *req.partition);
    out.result = out.plan.result;
    out.detail = out.plan.detail;
    if (out.result != kRestoreOk || req.dryRun) return out;
    std::vector<std::byte> backup = req.tableBackup;
    if (backup.empty()) backup = CurrentTableBackup(*dev, req.driveIndex);
    out.result = ApplyRestore(*dev, out.plan, req.undoPath, backup, out.detail);
    dev.reset();
    if (out.result == kRestoreOk) {
        auto entry = DeviceTable::Global().drive(req.driveIndex);
        if (entry && !entry->isImage && !entry->path.empty())
            out.rereadText = AskKernelToReread(entry->path, out.plan, *req.partition);
    }
    return out;
}

bool RestoreOutcomeMessage(const RestoreOutcome& out, std::string& text, std::string& caption) {
    if (out.result == kRestoreOk) {
        text = kRecoverSuccessText;
        if (!out.rereadText.empty()) text += "\n" + out.rereadText;
        caption = kRecoverSuccessCaption;
        return true;
    }
    text = RestoreMessage(out.result);
    if (!out.detail.empty()) text += "\n(" + out.detail + ")";
    caption = "Error";
    return false;
}

bool RecoverCommand(UserPrompt& prompt, const RestoreRequest& req, RestoreOutcome& out) {
    if (!prompt.confirm(kRecoverConfirmText, "Warning")) return false;
    out = RestorePartition(req);
    std::string text, caption;
    const bool ok = RestoreOutcomeMessage(out, text, caption);
    prompt.message(text, caption, ok ? MessageIcon::Information : MessageIcon::Error);
    return ok;
}

}  // namespace vantor
