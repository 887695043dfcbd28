// Restores into hand-built tables: the cases a fixture disk does not reach.
#include <gtest/gtest.h>

#include "partition/partition_restore.h"
#include "partition/undo_file.h"

namespace vantor {
namespace {

constexpr uint64_t kDisk = 40000;

struct Disk {
    std::shared_ptr<MemoryDevice> dev = std::make_shared<MemoryDevice>(std::vector<std::byte>(kDisk * 512), true);
    MutableByteSpan sector(uint64_t lba) { return MutableByteSpan(dev->bytes().data() + lba * 512, 512); }
    void table(uint64_t lba, std::initializer_list<std::pair<int, TableSlot>> slots) {
        for (const auto& [i, s] : slots) PutSlot(sector(lba), i, s);
        writeU8(sector(lba), 510, 0x55);
        writeU8(sector(lba), 511, 0xAA);
    }
    TableSlot slot(uint64_t lba, int i) { return SlotAt(sector(lba), i); }
};

// Cylinder-era layout: extended from 16065, logicals 63 sectors after their EBRs.
Disk CylinderDisk(bool firstLogicalLost) {
    Disk d;
    d.table(0, {{0, {0x05, 16065, 20000}}});
    if (firstLogicalLost)
        d.table(16065, {{0, {0x05, 24000 - 16065, 4063}}});
    else
        d.table(16065, {{0, {0x06, 63, 4000}}, {1, {0x05, 24000 - 16065, 4063}}});
    d.table(24000, {{0, {0x06, 63, 4000}}});
    return d;
}

PartitionRecord Lost(const char* fs, uint32_t start, uint64_t sectors) {
    PartitionRecord r;
    r.setFileSystem(fs);
    r.startSector = start;
    r.totalBytes = sectors * 512;
    r.partitionType = 0x06;
    return r;
}

TEST(RestoreEdgeCases, ChainLinksResultsAndRefusalsThatWriteNothing) {
    {  // Between two logicals: a new EBR 63 sectors before, linked in disk order.
        Disk d = CylinderDisk(false);
        RestorePlan p = BuildRestorePlan(*d.dev, Lost("FAT16", 20500, 2000));
        ASSERT_EQ(p.result, kRestoreOk) << p.detail;
        ASSERT_TRUE(ApplyRestore(*d.dev, p, ::testing::TempDir() + "edge.vundo", {}, p.detail) == kRestoreOk);
        EXPECT_EQ(d.slot(16065, 1).start, 20437u - 16065);
        EXPECT_EQ(d.slot(16065, 1).count, 22500u - 20437);
        EXPECT_EQ(d.slot(20437, 0).start, 63u);
        EXPECT_EQ(d.slot(20437, 1).start, 24000u - 16065);  // the old link goes on
        DiskLayout l;
        ASSERT_TRUE(ReadDiskLayout(*d.dev, l));
        ASSERT_EQ(l.chain.size(), 3u);
        EXPECT_EQ(l.chain[1].dataStart, 20500u);
        // Undo refuses once a written sector changed, and writes nothing then.
        UndoFile u;
        std::string error;
        ASSERT_TRUE(ReadUndoFile(::testing::TempDir() + "edge.vundo", u, error)) << error;
        writeU8(d.sector(20437), 0, 0x11);
        auto changed = d.dev->bytes();
        EXPECT_FALSE(ApplyUndo(*d.dev, u, error));
        EXPECT_TRUE(d.dev->bytes() == changed);
    }
    {  // The first EBR holds only a link: the link moves to the second slot.
        Disk d = CylinderDisk(true);
        PartitionRecord r = Lost("FAT16", 16128, 4000);
        r.bootSector[0] = 0xEB;  // from a backup: differs from the zeroed sector, so it is written
        RestorePlan p = BuildRestorePlan(*d.dev, r);
        ASSERT_EQ(p.result, kRestoreOk) << p.detail;
        ASSERT_EQ(p.writes.size(), 2u);
        EXPECT_EQ(p.writes[0].what, "boot sector");
        ASSERT_EQ(ApplyRestore(*d.dev, p, ::testing::TempDir() + "edge2.vundo", {}, p.detail), kRestoreOk);
        EXPECT_EQ(d.slot(16065, 0).type, 0x06);
        EXPECT_EQ(d.slot(16065, 0).start, 63u);
        EXPECT_EQ(d.slot(16065, 1).type, 0x05);
        EXPECT_EQ(d.slot(16065, 1).start, 24000u - 16065);
    }
    struct Refusal {
        const char* fs;
        uint32_t start;
        uint64_t sectors;
        bool fullMbr;
        int result;
    };
    for (const Refusal& c : {Refusal{"#NTFS#", 30000, 100, false, kRestoreInvalid},
                             Refusal{"Deleted", 30000, 100, false, kRestoreInvalid},
                             Refusal{"FAT16", 24063, 100, false, kRestoreNotRecoverable},  // a logical is there
                             Refusal{"FAT16", 39990, 100, false, kRestoreNotRecoverable},  // past the disk's end
                             Refusal{"FAT16", 37000, 100, true, kRestoreTableFull}}) {
        Disk d = CylinderDisk(false);
        if (c.fullMbr)
            d.table(0, {{1, {0x83, 36100, 100}}, {2, {0x83, 36300, 100}}, {3, {0x83, 36500, 100}}});
        PartitionRecord r = Lost(c.fs, c.start, c.sectors);
        r.bootSector[0] = 0xEB;
        const auto before = d.dev->bytes();
        RestorePlan p = BuildRestorePlan(*d.dev, r);
        EXPECT_EQ(p.result, c.result) << c.fs << " " << c.start;
        EXPECT_TRUE(p.writes.empty());
        std::string detail;
        EXPECT_EQ(ApplyRestore(*d.dev, p, ::testing::TempDir() + "never.vundo", {}, detail), c.result);
        EXPECT_TRUE(d.dev->bytes() == before) << "a refused restore wrote";
    }
    EXPECT_STREQ(RestoreMessage(kRestoreNoAccess), "Recovery failed. Can not access the disk! ");
}

}  // namespace
}  // namespace vantor
