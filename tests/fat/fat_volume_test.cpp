#include <gtest/gtest.h>

#include "fat/fat_volume.h"
#include "fat_test_util.h"

namespace vantor {
namespace {

using fattest::MiniFat;

TEST(FatVolumeOpen, Fat16RootOfOneClusterAndLargerRootBothOpen) {
    // 512 entries x 32 bytes = 16 KiB = one cluster of 32 sectors.
    auto one = MiniFat::Fat16(32, 512, 40000);
    auto v1 = one.open();
    ASSERT_TRUE(v1->opened());
    // Cluster 2 is the first cluster after the root: FirstRoot + 32 x (2 - 1).
    EXPECT_EQ(v1->clusterSector(1), 1u + 2 * 64);
    EXPECT_EQ(v1->clusterSector(2), 1u + 2 * 64 + 32);
    EXPECT_EQ(v1->clusterSector(5), 1u + 2 * 64 + 32 * 4);

    // 64 sectors per cluster: the root is half a cluster. Opened all the
    // same, cluster 2 starts right after the 32 root sectors.
    auto half = MiniFat::Fat16(64, 512, 80000);
    auto v2 = half.open();
    ASSERT_TRUE(v2->opened());
    EXPECT_EQ(v2->rootDirectoryBytes(), 16384u);
    EXPECT_EQ(v2->clusterSector(2), 1u + 2 * 64 + 32);
    EXPECT_EQ(v2->clusterSector(3), 1u + 2 * 64 + 32 + 64);

    // 2 KiB clusters with 512 root entries: eight clusters of root.
    auto small = MiniFat::Fat16(4, 512, 20000);
    auto v3 = small.open();
    ASSERT_TRUE(v3->opened());
    EXPECT_EQ(v3->clusterOffset(2), small.clusterOffset(2));
}

TEST(FatVolumeOpen, TotalSectorsFromTotSec32WhenTotSec16IsZero) {
    auto m = MiniFat::Fat16(1, 512, 5000);
    writeLe16(m.boot(), 19, 0);
    writeLe32(m.boot(), 32, 4800);
    auto v = m.open();
    ASSERT_TRUE(v->opened());
    EXPECT_EQ(v->totalSectors(), 4800u);
}

TEST(FatVolumeOpen, JumpByteSelectsTheEngine) {
    auto m16 = MiniFat::Fat16(1, 512, 5000);
    auto as32 = OpenFatVolume(m16.device(), 0, 'F', 2);
    EXPECT_FALSE(as32->opened());
    EXPECT_EQ(as32->openError(), kErrInvalidDrive);
    auto m32 = MiniFat::Fat32(1, 4096, 32);
    auto as16 = OpenFatVolume(m32.device(), 0, 'F', 1);
    EXPECT_FALSE(as16->opened());
    EXPECT_TRUE(m32.open()->opened());
}

TEST(FatVolumeOpen, HostileFiguresAreRefusedWithoutLargeAllocations) {
    auto zeroSpc = MiniFat::Fat16(1, 512, 5000);
    writeU8(zeroSpc.boot(), 13, 0);
    EXPECT_FALSE(zeroSpc.open()->opened());

    auto oddBps = MiniFat::Fat16(1, 512, 5000);
    writeLe16(oddBps.boot(), 11, 700);
    EXPECT_FALSE(oddBps.open()->opened());

    // A FAT32 volume that claims 4 G sectors and a huge FAT on a 2 MiB device.
    auto huge = MiniFat::Fat32(1, 4096, 32);
    writeLe32(huge.boot(), 32, 0x0FFFFFF0u);
    writeLe32(huge.boot(), 36, 0x00FFFFFFu);
    auto v = huge.open();
    EXPECT_FALSE(v->opened());
    EXPECT_EQ(v->openError(), kErrHandleEof);

    auto noRoot = MiniFat::Fat16(1, 0, 5000);
    EXPECT_FALSE(noRoot.open()->opened());

    auto badRootClus = MiniFat::Fat32(1, 4096, 32);
    writeLe32(badRootClus.boot(), 44, 1);
    EXPECT_FALSE(badRootClus.open()->opened());

    auto truncated = std::make_shared<MemoryDevice>(std::vector<std::byte>(100));
    EXPECT_FALSE(OpenFatVolume(truncated, 0, 'F', 1)->opened());
    EXPECT_EQ(OpenFatVolume(nullptr, 0, 'F', 1)->openError(), kErrNoImage);
}

TEST(FatVolumeChains, Fat32EndMarksKeepTheTopBits) {
    auto m = MiniFat::Fat32(1, 4096, 32);
    m.setFat(10, 11);
    m.setFat(11, 0x0FFFFFF8);
    m.setFat(20, 0xFFFFFFFF);
    m.setFat(30, 0x0FFFFFEF);  // not an end mark: out-of-range successor ends the walk
    auto v = m.open();
    ASSERT_TRUE(v->opened());
    EXPECT_TRUE(v->isEndOfChain(0x0FFFFFF8));
    EXPECT_TRUE(v->isEndOfChain(0xFFFFFFFF));
    EXPECT_FALSE(v->isEndOfChain(0x0FFFFFEF));
    EXPECT_EQ(v->chain(10, 100), (std::vector<uint32_t>{10, 11}));
    EXPECT_EQ(v->chain(20, 100), (std::vector<uint32_t>{20}));
    EXPECT_EQ(v->chain(30, 100), (std::vector<uint32_t>{30}));
}

TEST(FatVolumeChains, LoopsAndOutOfRangeClustersEndTheWalk) {
    auto m = MiniFat::Fat16(1, 512, 5000);
    m.setFat(5, 6);
    m.setFat(6, 7);
    m.setFat(7, 5);  // loop back
    m.setFat(9, 60000);
    auto v = m.open();
    ASSERT_TRUE(v->opened());
    EXPECT_EQ(v->chain(5, 100), (std::vector<uint32_t>{5, 6, 7}));
    EXPECT_EQ(v->chain(9, 100), (std::vector<uint32_t>{9}));
    EXPECT_TRUE(v->chain(0, 100).empty());
    EXPECT_TRUE(v->chain(v->lastCluster() + 1, 100).empty());
    EXPECT_EQ(v->chain(5, 2).size(), 2u);
    // The FAT16 root is cluster 1 and has no chain of its own.
    EXPECT_EQ(v->chain(1, 100), (std::vector<uint32_t>{1}));
}

TEST(FatVolumeFreeClusters, AscendingFreeEntriesOfTheCopyOnly) {
    // A FAT of 4 sectors holds 1024 entries of a volume with 4300-odd clusters.
    auto m = MiniFat::Fat16(1, 512, 4400, 4);
    for (uint32_t c = 2; c < 10; ++c) m.setFat(c, 0xFFFF);
    m.chain({12, 15});
    m.setFat(1023, 0xFFF7);  // bad cluster: not free either
    auto v = m.open();
    ASSERT_TRUE(v->opened());
    ASSERT_EQ(v->fatEntryCount(), 1024u);
    ASSERT_GT(v->lastCluster(), 4000u);
    const auto after = [&](uint32_t c) {
        const auto s = v->freeClustersAfter(c);
        return std::vector<uint32_t>(s.begin(), s.end());
    };
    const auto from10 = after(10);
    ASSERT_GE(from10.size(), 4u);
    EXPECT_EQ(std::vector<uint32_t>(from10.begin(), from10.begin() + 4), (std::vector<uint32_t>{11, 13, 14, 16}));
    EXPECT_EQ(from10.back(), 1022u);
    EXPECT_EQ(from10.size(), 1022u - 16 + 1 + 3);
    EXPECT_EQ(after(1).front(), 10u);
    EXPECT_TRUE(after(1022).empty());
    EXPECT_TRUE(after(v->lastCluster()).empty());
    EXPECT_TRUE(after(0xFFFFFFFFu).empty());
}

TEST(FatVolumeProgress, EveryUsedEntryAnEndMarkCountsEachOnce) {
    auto m = MiniFat::Fat32(1, 4096, 32, 2);
    for (uint32_t c = 3; c < 13; ++c) m.setFat(c, 0x0FFFFFFF);
    auto v = m.open();
    ASSERT_TRUE(v->opened());
    // Root cluster 2 plus clusters 3..12.
    EXPECT_EQ(v->progressEstimate(), 11u);
}

TEST(FatVolumeProgress, OnlyChainsShorterThanFourCount) {
    auto m = MiniFat::Fat16(1, 512, 5000);
    m.chain({2, 3, 4});        // 3 clusters: counted
    m.chain({10, 11, 12, 13});  // 4 clusters: not counted
    m.chain({20, 21});          // 2
    auto v = m.open();
    ASSERT_TRUE(v->opened());
    EXPECT_EQ(v->progressEstimate(), 5u);
}

TEST(FatVolumeFat12, TwelveBitEntriesAreDecoded) {
    // Fewer than 4085 clusters: the table holds 12-bit entries.
    auto m = MiniFat::Fat16(4, 512, 4096, 8);
    MutableByteSpan fat = MutableByteSpan(m.bytes()).subspan(512, 8 * 512);
    std::memset(fat.data(), 0, fat.size());
    // Entries 2 -> 3 -> 4 -> end (0xFFF): packed as 12-bit pairs.
    const uint16_t e[6] = {0xFF8, 0xFFF, 3, 4, 0xFFF, 0};
    for (size_t i = 0; i < 6; i += 2) {
        const uint32_t pair = e[i] | (uint32_t{e[i + 1]} << 12);
        writeU8(fat, i / 2 * 3, static_cast<uint8_t>(pair));
        writeU8(fat, i / 2 * 3 + 1, static_cast<uint8_t>(pair >> 8));
        writeU8(fat, i / 2 * 3 + 2, static_cast<uint8_t>(pair >> 16));
    }
    auto v = m.open();
    ASSERT_TRUE(v->opened());
    EXPECT_TRUE(v->isFat12());
    EXPECT_EQ(v->chain(2, 100), (std::vector<uint32_t>{2, 3, 4}));
    EXPECT_EQ(v->fatEntry(5), 0u);
}

TEST(FatVolumeFixtures, RealToolImagesOpenWithTheirFigures) {
    struct Case {
        const char* file;
        int kind;
        uint8_t spc;
        uint32_t last;
        bool fat12;
    } cases[] = {{"fat-fat16-16k.img", 1, 32, 4350, false}, {"fat-fat16-2k.img", 1, 4, 8168, false},
                 {"fat-fat12.img", 1, 4, 1015, true},       {"fat-fat32.img", 2, 1, 96761, false}};
    for (const auto& c : cases) {
        std::shared_ptr<FileDevice> dev;
        ASSERT_EQ(FileDevice::open(fattest::FixturePath(c.file), false, dev), kSuccess) << c.file;
        auto v = OpenFatVolume(dev, 0, 'E', c.kind);
        ASSERT_TRUE(v->opened()) << c.file;
        EXPECT_EQ(v->sectorsPerCluster(), c.spc) << c.file;
        EXPECT_EQ(v->lastCluster(), c.last) << c.file;
        EXPECT_EQ(v->isFat12(), c.fat12) << c.file;
    }
}

}  // namespace
}  // namespace vantor
