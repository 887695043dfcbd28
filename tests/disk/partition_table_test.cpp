#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disk/partition_table.h"
#include "support/disk_image_builder.h"

namespace vantor {
namespace {

using test::DiskImageBuilder;

std::vector<PartitionRecord> Walk(DiskImageBuilder& b, bool* ok = nullptr, uint32_t* lastEbr = nullptr) {
    auto dev = b.device();
    PartitionList list;
    bool r = ReadPartitionTable(*dev, dev->size(), 0, list, lastEbr);
    if (ok) *ok = r;
    return {list.records().begin(), list.records().end()};
}

std::vector<std::string> Names(const std::vector<PartitionRecord>& recs) {
    std::vector<std::string> n;
    for (const auto& r : recs) n.push_back(r.fileSystemName());
    return n;
}

TEST(PartitionWalk, WholeDiskFileSystemIsOneUnknownRecord) {
    for (int kind = 0; kind < 3; ++kind) {
        DiskImageBuilder b(4096);
        if (kind == 0) b.fat16Boot(0);
        if (kind == 1) b.fat32Boot(0);
        if (kind == 2) b.ntfsBoot(0);
        auto recs = Walk(b);
        ASSERT_EQ(recs.size(), 1u) << kind;
        EXPECT_EQ(recs[0].fileSystemName(), "Unknown");
        EXPECT_EQ(recs[0].startSector, 0u);
        EXPECT_EQ(recs[0].totalBytes, 4096u * 512);
        EXPECT_EQ(recs[0].slotKind, 1);
    }
}

TEST(PartitionWalk, NamesPrimariesByTypeAndAddsFrontAndTailGaps) {
    DiskImageBuilder b(20000);
    b.entry(0, 0, 0x06, 2048, 4000).fat16Boot(2048);
    b.entry(0, 1, 0x07, 6048, 4000).ntfsBoot(6048);
    b.entry(0, 2, 0x0C, 10048, 4000);
    b.entry(0, 3, 0x82, 14048, 1000);
    auto recs = Walk(b);
    EXPECT_EQ(Names(recs), (std::vector<std::string>{"Deleted", "#FAT16#", "#NTFS#", "#FAT32#", "SWAP", "Deleted"}));
    EXPECT_EQ(recs[0].startSector, 63u);
    EXPECT_EQ(recs[0].totalBytes, (2048u - 63) * 512);
    EXPECT_EQ(recs[1].partitionType, 0x06);
    EXPECT_EQ(recs[1].label(), "Unknown");
    EXPECT_EQ(recs[1].sectorsPerCluster, 8u);
    EXPECT_EQ(recs[1].freeBytes, recs[1].totalBytes);
    EXPECT_EQ(recs[1].bootSector[54], 'F');
    // Tail gap: from the end of the last entry to the disk's end.
    EXPECT_EQ(recs[5].startSector, 15048u);
    EXPECT_EQ(recs[5].totalBytes, (20000u - 15048) * 512);
}

TEST(PartitionWalk, FirstPartitionAt63HasNoFrontGap) {
    DiskImageBuilder b(1000);
    b.entry(0, 0, 0x06, 63, 937);
    auto recs = Walk(b);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].fileSystemName(), "#FAT16#");
}

TEST(PartitionWalk, EmptyTableGivesOneGapFrom63) {
    DiskImageBuilder b(5000);
    b.signature(0);
    bool ok = false;
    auto recs = Walk(b, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0].fileSystemName(), "Deleted");
    EXPECT_EQ(recs[0].startSector, 63u);
    EXPECT_EQ(recs[0].totalBytes, (5000u - 63) * 512);
}

TEST(PartitionWalk, PrimaryTypes05_0FAnd85AllOpenTheExtendedChain) {
    for (uint8_t type : {uint8_t{0x05}, uint8_t{0x0F}, uint8_t{0x85}}) {
        DiskImageBuilder b(10000);
        b.entry(0, 0, type, 100, 1000);
        b.entry(100, 0, 0x06, 63, 500);
        uint32_t lastEbr = kNoEbr;
        auto recs = Walk(b, nullptr, &lastEbr);
        ASSERT_EQ(Names(recs), (std::vector<std::string>{"Deleted", "#FAT16#", "Deleted"})) << int{type};
        EXPECT_EQ(recs[1].slotKind, 2);
        EXPECT_EQ(recs[1].tableSector, 100u);
        EXPECT_EQ(recs[1].startSector, 163u);
        EXPECT_EQ(recs[1].extendedBase, 100u);
        EXPECT_EQ(lastEbr, 100u);
        // The rest of the extended partition is a gap inside it.
        EXPECT_EQ(recs[2].slotKind, 2);
        EXPECT_EQ(recs[2].extendedBase, 100u);
    }
}

TEST(PartitionWalk, ExtendedChainSwapsLinkFirstAndSkipsEmptyDataEntries) {
    DiskImageBuilder b(20000);
    b.entry(0, 0, 0x0F, 1000, 9000);
    // EBR 1: link first, data second.
    b.entry(1000, 0, 0x05, 2000, 3000);
    b.entry(1000, 1, 0x06, 63, 1900);
    // EBR 2: a data entry of 0 sectors, then a link to EBR 3.
    b.entry(3000, 0, 0x06, 63, 0);
    b.entry(3000, 1, 0x05, 4000, 2000);
    b.entry(5000, 0, 0x07, 63, 1000);
    auto recs = Walk(b);
    std::vector<uint32_t> logicalStarts;
    for (const auto& r : recs)
        if (r.slotKind == 2 && !r.isGap()) logicalStarts.push_back(r.startSector);
    EXPECT_EQ(logicalStarts, (std::vector<uint32_t>{1063, 5063}));
}

TEST(PartitionWalk, ExtendedChainLoopEndsTheWalkKeepingWhatWasFound) {
    DiskImageBuilder b(20000);
    b.entry(0, 0, 0x0F, 1000, 9000);
    b.entry(1000, 0, 0x06, 63, 500);
    b.entry(1000, 1, 0x05, 1000, 500);  // 1000 + 1000 = 2000
    b.entry(2000, 0, 0x06, 63, 500);
    b.entry(2000, 1, 0x05, 0, 500);     // back to the first EBR
    bool ok = false;
    auto recs = Walk(b, &ok);
    EXPECT_TRUE(ok);
    int logicals = 0;
    for (const auto& r : recs) logicals += (r.slotKind == 2 && !r.isGap());
    EXPECT_EQ(logicals, 2);

    // A chain longer than the link limit ends too.
    DiskImageBuilder c(200000);
    c.entry(0, 0, 0x0F, 1000, 190000);
    for (uint32_t i = 0; i < 200; ++i) {
        uint64_t ebr = 1000 + uint64_t{i} * 700;
        c.entry(ebr, 0, 0x06, 63, 600);
        c.entry(ebr, 1, 0x05, (i + 1) * 700, 700);
    }
    auto many = Walk(c, &ok);
    logicals = 0;
    for (const auto& r : many) logicals += (r.slotKind == 2 && !r.isGap());
    EXPECT_EQ(logicals, kMaxEbrLinks);
}

TEST(PartitionWalk, GapsInsideTheExtendedPartitionStart63SectorsLater) {
    DiskImageBuilder b(20000);
    b.entry(0, 0, 0x0F, 1000, 9000);
    b.entry(1000, 0, 0x06, 63, 937);    // ends at 2000
    b.entry(1000, 1, 0x05, 3000, 1000);  // next EBR at 4000: a 2000-sector stretch
    b.entry(4000, 0, 0x06, 63, 937);    // ends at 5000
    b.entry(4000, 1, 0x05, 4030, 1000);  // next EBR at 5030: only 30 free sectors
    b.entry(5030, 0, 0x06, 63, 937);
    auto recs = Walk(b);
    std::vector<PartitionRecord> gaps;
    for (const auto& r : recs)
        if (r.isGap() && r.slotKind == 2) gaps.push_back(r);
    ASSERT_GE(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].tableSector, 2000u);
    EXPECT_EQ(gaps[0].startSector, 2063u);
    EXPECT_EQ(gaps[0].totalBytes, (4000u - 2063) * 512);
    EXPECT_EQ(gaps[0].extendedBase, 1000u);
    for (const auto& g : gaps) EXPECT_NE(g.tableSector, 5000u) << "a 30-sector stretch has no room";
}

TEST(PartitionWalk, DuplicateTableSectorKeepsTheFirst) {
    DiskImageBuilder b(10000);
    b.entry(0, 0, 0x06, 2048, 1000);
    b.entry(0, 1, 0x07, 2048, 2000);
    auto recs = Walk(b);
    int at2048 = 0;
    for (const auto& r : recs)
        if (r.tableSector == 2048) {
            ++at2048;
            EXPECT_EQ(r.partitionType, 0x06);
        }
    EXPECT_EQ(at2048, 1);
}

TEST(PartitionWalk, EntriesPastTheDriveAreKeptWithoutBadReadsOrNegativeGaps) {
    DiskImageBuilder b(4000);
    b.entry(0, 0, 0x06, 2048, 100000);  // runs past the end
    b.entry(0, 1, 0x83, 900000, 10);    // starts past the end
    bool ok = false;
    auto recs = Walk(b, &ok);
    EXPECT_TRUE(ok);
    bool sawExtx = false;
    for (const auto& r : recs) {
        EXPECT_LE(r.totalBytes, 100000ull * 512);
        if (r.isGap()) {
            EXPECT_LE(uint64_t{r.startSector} * 512 + r.totalBytes, 4000ull * 512);
        }
        if (r.fileSystemName() == "EXTX") sawExtx = true;
    }
    EXPECT_TRUE(sawExtx);
}

TEST(PartitionWalk, ExtPartitionsAreNamedFromTheirSuperblock) {
    DiskImageBuilder b(20000);
    b.entry(0, 0, 0x83, 2048, 4000).extSuperblock(2048, 0, "data", 2, 8192, 10);
    b.entry(0, 1, 0x83, 6048, 4000).extSuperblock(6048, 8, "ABCDEFGHIJKLMNOPQRST");
    b.at((6048 + 2) * 512 + 136)[0] = 'Q';  // the byte after the 16-byte name is no terminator
    b.entry(0, 2, 0x83, 10048, 4000);
    auto recs = Walk(b);
    ASSERT_EQ(recs.size(), 5u);
    EXPECT_EQ(recs[1].fileSystemName(), "EXT2");
    EXPECT_EQ(recs[1].label(), "data");
    EXPECT_EQ(recs[1].bytesPerSector, 4096u);
    EXPECT_EQ(recs[1].sectorsPerCluster, 8192u);
    EXPECT_EQ(recs[1].freeBytes, 10u * 4096);
    EXPECT_EQ(recs[2].fileSystemName(), "EXT3");
    EXPECT_EQ(recs[2].label(), "ABCDEFGHIJKLMNOP") << "a full 16-byte name is cut, not overrun";
    EXPECT_EQ(recs[3].fileSystemName(), "EXTX");
    EXPECT_EQ(recs[3].label(), "Unknown");
}

TEST(PartitionWalk, ExtentsOr64BitNameAnExt4Volume) {
    DiskImageBuilder b(20000);
    b.entry(0, 0, 0x83, 2048, 4000).extSuperblock(2048, 8, "journal");
    b.at((2048 + 2) * 512 + 96)[0] = 0x40;  // extents
    b.entry(0, 1, 0x83, 6048, 4000).extSuperblock(6048, 0, "plain");
    b.at((6048 + 2) * 512 + 96)[0] = 0x80;  // 64bit
    auto recs = Walk(b);
    ASSERT_GE(recs.size(), 3u);
    EXPECT_EQ(recs[1].fileSystemName(), "EXT4");
    EXPECT_EQ(recs[2].fileSystemName(), "EXT4");
    EXPECT_EQ(recs[2].label(), "plain");
}

TEST(PartitionWalk, LbaToChsUsesThe255By63Translation) {
    EXPECT_EQ(LbaToChs(0), (std::array<uint8_t, 3>{0x00, 0x00, 0x01}));
    EXPECT_EQ(LbaToChs(16450559), (std::array<uint8_t, 3>{0xFF, 0xFE, 0xFF}));  // C1023 H254 S63
    EXPECT_EQ(LbaToChs(16450560), (std::array<uint8_t, 3>{0xFF, 0xFE, 0xFF}));
    // Cylinder 256: low byte 0, bits 8-9 in the sector byte's bits 6-7.
    EXPECT_EQ(LbaToChs(256u * 16065), (std::array<uint8_t, 3>{0x00, 0x00, 0x41}));
}

TEST(GptWalk, ReadsEntriesNamesThemAndAddsGaps) {
    DiskImageBuilder b(40000);
    b.gpt({{2048, 10047}, {14000, 20000, true}});
    b.fat32Boot(2048);
    b.extSuperblock(14000, 0, "lin");
    auto recs = Walk(b);
    EXPECT_EQ(Names(recs), (std::vector<std::string>{"Deleted", "#FAT32#", "Deleted", "EXT2", "Deleted"}));
    EXPECT_EQ(recs[0].startSector, 34u);
    EXPECT_EQ(recs[1].partitionType, 0x0C);
    EXPECT_EQ(recs[1].tableSector, 2048u);
    EXPECT_EQ(recs[1].totalBytes, 8000u * 512);
    EXPECT_EQ(recs[2].startSector, 10048u);
    EXPECT_EQ(recs[2].totalBytes, (14000u - 10048) * 512);
    EXPECT_EQ(recs[3].partitionType, 0x83);
    EXPECT_EQ(recs[3].label(), "lin");
    EXPECT_EQ(recs[4].startSector, 20001u);
    EXPECT_EQ(recs[4].totalBytes, (40000u - 34 - 20001 + 1) * 512);
}

TEST(GptWalk, CorruptPrimaryHeaderFallsBackToTheBackup) {
    DiskImageBuilder b(40000);
    b.gpt({{2048, 4095}});
    b.ntfsBoot(2048);
    b.at(512)[40] ^= 0xFF;  // primary header CRC no longer matches
    auto recs = Walk(b);
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[1].fileSystemName(), "#NTFS#");
    // Both headers bad: nothing, and the walk says so.
    b.at((40000 - 1) * 512)[40] ^= 0xFF;
    bool ok = true;
    EXPECT_TRUE(Walk(b, &ok).empty());
    EXPECT_FALSE(ok);
}

TEST(GptWalk, EntryPastTheDiskEndLeavesNoGapOffTheDisk) {
    DiskImageBuilder b(20000);
    b.gpt({{2048, 4095}, {30000, 30100}});
    b.fat16Boot(2048);
    for (const auto& r : Walk(b)) {
        if (!r.isGap()) continue;
        EXPECT_LE(uint64_t{r.startSector} * 512 + r.totalBytes, (20000ull - 33) * 512)
            << "gap from " << r.startSector;
    }
}

}  // namespace
}  // namespace vantor
