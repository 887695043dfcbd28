// Hostile EXT structures a real tool cannot make, each one field of the ext2
// fixture volume corrupted: the superblock is refused with a reason, walks
// fail cleanly, directory blocks stop at the bad entry, and the scan's
// time-stamp rule.
#include <gtest/gtest.h>

#include <functional>

#include "ext/ext_dirent.h"
#include "ext/ext_test_util.h"

namespace vantor {
namespace {

using Bytes = std::vector<std::byte>;
constexpr size_t kSb = 1024;
constexpr uint32_t kReport = 15;  // docs/report.txt: 20 blocks, IND at 193
constexpr uint32_t kSpare = 4000; // a free block for crafted nodes

struct Image {
    Bytes bytes;
    size_t inodeAt(uint32_t n) const {
        const auto vol = exttest::OpenBytes(bytes);
        return static_cast<size_t>(vol->group(0).inodeTable * 1024 + (n - 1) * 256);
    }
    void put32(size_t at, uint32_t v) { writeLe32(bytes, at, v); }
    void put16(size_t at, uint16_t v) { writeLe16(bytes, at, v); }
};

TEST(ExtHostile, SuperblockFieldsRefusedWithReason) {
    struct Case {
        const char* what;
        std::function<void(Image&)> corrupt;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"magic", [](Image& m) { m.put16(kSb + 56, 0xEF54); }, "no EXT magic"},
        {"block size 128 KiB", [](Image& m) { m.put32(kSb + 24, 7); }, "block size beyond 64 KiB"},
        {"blocks past the partition", [](Image& m) { m.put32(kSb + 4, 8193); }, "more blocks than the partition"},
        {"no blocks per group", [](Image& m) { m.put32(kSb + 32, 0); }, "blocks per group"},
        {"huge inode count", [](Image& m) { m.put32(kSb + 0, 0xFFFFFFFF); }, "inode count"},
        {"inode size 100", [](Image& m) { m.put16(kSb + 88, 100); }, "inode size"},
        {"inode tables past the volume",
         [](Image& m) {
             m.put32(kSb + 40, 8192);
             m.put16(kSb + 88, 512);
         },
         "inode tables larger"},
        {"64bit with 16-byte descriptors",
         [](Image& m) {
             m.put32(kSb + 96, 0x80 | 0x2);
             m.put16(kSb + 254, 16);
         },
         "descriptor size"},
        {"a descriptor table larger than the volume",
         [](Image& m) {
             m.put32(kSb + 32, 1);
             m.put32(kSb + 40, 1);
             m.put32(kSb + 0, 8000);
             m.put32(kSb + 96, 0x80 | 0x2);
             m.put16(kSb + 254, 1024);
         },
         "descriptor table does not fit"},
    };
    for (const Case& c : cases) {
        Image m{exttest::VolumeBytes(exttest::kExt2)};
        ASSERT_FALSE(m.bytes.empty());
        c.corrupt(m);
        const auto vol = exttest::OpenBytes(m.bytes);
        EXPECT_FALSE(vol->opened()) << c.what;
        EXPECT_EQ(vol->openError(), kErrInvalidDrive) << c.what;
        EXPECT_NE(vol->openReason().find(c.reason), std::string::npos) << c.what << ": " << vol->openReason();
    }
}

TEST(ExtHostile, BlockWalksFailWithoutLoopingOrReadingOutside) {
    struct Case {
        const char* what;
        std::function<void(Image&, size_t inode)> corrupt;
    };
    const size_t spare = size_t{kSpare} * 1024;
    auto extentRoot = [](Image& m, size_t ino, uint16_t depth, uint32_t child) {
        m.put32(ino + 32, kExtInodeFlagExtents);
        m.put16(ino + 40, kExtExtentMagic);
        m.put16(ino + 42, 1);
        m.put16(ino + 44, 4);
        m.put16(ino + 46, depth);
        m.put32(ino + 52, 0);      // ei_block
        m.put32(ino + 56, child);  // ei_leaf_lo
        m.put16(ino + 60, 0);
    };
    const std::vector<Case> cases = {
        {"direct block past the volume", [](Image& m, size_t ino) { m.put32(ino + 40, 9000); }},
        {"indirect block past the volume", [](Image& m, size_t ino) { m.put32(ino + 40 + 48, 0x7FFFFFFF); }},
        {"double indirect naming itself",
         [&](Image& m, size_t ino) {
             m.put32(ino + 4, 10u << 20);
             m.put32(ino + 40 + 52, kSpare);
             m.put32(spare, kSpare);
         }},
        {"extent depth 6", [&](Image& m, size_t ino) { extentRoot(m, ino, 6, kSpare); }},
        {"extent index naming itself",
         [&](Image& m, size_t ino) {
             extentRoot(m, ino, 2, kSpare);
             m.put16(spare, kExtExtentMagic);
             m.put16(spare + 2, 1);
             m.put16(spare + 4, 84);
             m.put16(spare + 6, 1);
             m.put32(spare + 16, kSpare);
         }},
        {"extent child of the wrong depth",
         [&](Image& m, size_t ino) {
             extentRoot(m, ino, 1, kSpare);
             m.put16(spare, kExtExtentMagic);
             m.put16(spare + 6, 3);
         }},
        {"extent entries beyond max", [&](Image& m, size_t ino) {
             extentRoot(m, ino, 0, 0);
             m.put16(ino + 42, 5);
         }},
        {"extents out of order",
         [&](Image& m, size_t ino) {
             extentRoot(m, ino, 0, 0);
             m.put16(ino + 42, 2);
             m.put32(ino + 52, 8);   // logical 8, 1 block at 300
             m.put32(ino + 56, 0x00000001);
             m.put32(ino + 60, 300);
             m.put32(ino + 64, 2);   // logical 2: before the first
             m.put32(ino + 68, 0x00000001);
             m.put32(ino + 72, 301);
         }},
    };
    for (const Case& c : cases) {
        Image m{exttest::VolumeBytes(exttest::kExt2)};
        const size_t ino = m.inodeAt(kReport);
        c.corrupt(m, ino);
        const auto vol = exttest::OpenBytes(m.bytes);
        ASSERT_TRUE(vol->opened());
        std::vector<std::byte> inode;
        ASSERT_EQ(vol->ReadInode(kReport, inode), kSuccess);
        uint64_t blocks = 0;
        const ErrorCode err = vol->WalkBlocks(inode, ExtInodeView{inode}.size(), [&](const ExtRun& r) {
            blocks += r.count;
            return kSuccess;
        });
        EXPECT_EQ(err, kErrInvalidParameter) << c.what;
        EXPECT_LE(blocks, vol->blocksCount()) << c.what;
    }
}

TEST(ExtHostile, DirectoryBlockStopsAtABadEntry) {
    // "." (12 bytes), then "good" (inode 12), then the case's entry, then "late".
    auto block = [](uint32_t inode, uint16_t recLen, uint8_t nameLen) {
        Bytes b(1024, std::byte{0});
        auto entry = [&](size_t at, uint32_t ino, uint16_t len, const std::string& name, uint8_t shownLen) {
            writeLe32(b, at, ino);
            writeLe16(b, at + 4, len);
            writeU8(b, at + 6, shownLen);
            writeU8(b, at + 7, 1);
            for (size_t i = 0; i < name.size() && at + 8 + i < b.size(); ++i) b[at + 8 + i] = std::byte(name[i]);
        };
        entry(0, 2, 12, ".", 1);
        entry(12, 12, 12, "good", 4);
        entry(24, inode, recLen, "bad!", nameLen);
        entry(40, 13, 1024 - 40, "late", 4);
        return b;
    };
    struct Case {
        const char* what;
        Bytes bytes;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"sound", block(14, 16, 4), {".", "good", "bad!", "late"}},
        {"rec_len 0", block(14, 0, 4), {".", "good"}},
        {"rec_len not a multiple of 4", block(14, 18, 4), {".", "good"}},
        {"rec_len shorter than the name", block(14, 12, 9), {".", "good"}},
        {"rec_len past the block", block(14, 2000, 4), {".", "good"}},
        {"inode beyond the count", block(600, 16, 4), {".", "good", "late"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        DecodeExtDirBlock(c.bytes, 512, false, [&](const ExtDirEntry& e) { names.push_back(e.name); });
        EXPECT_EQ(names, c.names) << c.what;
    }
}

TEST(ExtHostile, DeletionTimeMayBeOldButNotInTheFuture) {
    constexpr int64_t kNow = 1800000000;
    struct Case {
        uint32_t dtime;
        bool found;
    };
    for (const Case c : {Case{1, true}, Case{1700000000, true}, Case{kNow + 86400, true},
                         Case{kNow + 86401, false}, Case{0, false}}) {
        Image m{exttest::VolumeBytes(exttest::kExt2)};
        m.put32(m.inodeAt(17) + 20, c.dtime);
        const auto vol = exttest::OpenBytes(m.bytes);
        ProgressFields progress;
        vol->m_bRunning = true;
        ASSERT_EQ(vol->ScanDeleted(progress, 0, UINT64_MAX, kNow), kSuccess);
        bool found = false;
        for (const auto& r : vol->found()) found = found || r->inodeNumber == 17;
        EXPECT_EQ(found, c.found) << "dtime " << c.dtime;
    }
}

TEST(ExtHostile, ARegularFileTakesTheHighSizeWord) {
    // sparse.bin (inode 19) made 4 GiB + 16 KiB long: the rest reads as a hole.
    Image m{exttest::VolumeBytes(exttest::kExt2)};
    m.put32(m.inodeAt(19) + 108, 1);
    const auto vol = exttest::OpenBytes(m.bytes);
    std::vector<std::byte> inode;
    ASSERT_EQ(vol->ReadInode(19, inode), kSuccess);
    EXPECT_EQ(ExtInodeView{inode}.size(), (uint64_t{1} << 32) + 16384);
    uint64_t blocks = 0, zeros = 0;
    ASSERT_EQ(vol->WalkBlocks(inode, ExtInodeView{inode}.size(), [&](const ExtRun& r) {
        blocks += r.count;
        zeros += r.zero ? r.count : 0;
        return kSuccess;
    }), kSuccess);
    EXPECT_EQ(blocks, ((uint64_t{1} << 32) + 16384) / 1024);
    EXPECT_EQ(zeros, blocks - 8);
}

TEST(ExtHostile, ConditionFollowsTheBlockBitmap) {
    // report.txt's data blocks 181-192 and 194-201, its indirect block 193;
    // blocks of group 0 are bits (block - 1) of its bitmap.
    struct Case {
        std::vector<uint32_t> taken;
        DataCondition condition;
    };
    for (const Case& c : {Case{{}, DataCondition::Intact}, Case{{185}, DataCondition::PartlyOverwritten},
                          Case{{181, 182, 183, 184, 185, 186, 187, 188, 189, 190, 191, 192, 194, 195, 196, 197, 198,
                                199, 200, 201},
                               DataCondition::Overwritten}}) {
        Image m{exttest::VolumeBytes(exttest::kExt2)};
        const size_t bitmap = static_cast<size_t>(exttest::OpenBytes(m.bytes)->group(0).blockBitmap * 1024);
        for (uint32_t b : c.taken) m.bytes[bitmap + (b - 1) / 8] |= std::byte(1u << ((b - 1) % 8));
        const auto vol = exttest::OpenBytes(m.bytes);
        ProgressFields progress;
        vol->m_bRunning = true;
        ASSERT_EQ(vol->ScanDeleted(progress), kSuccess);
        bool seen = false;
        for (const auto& r : vol->found()) {
            if (r->inodeNumber != kReport) continue;
            seen = true;
            EXPECT_EQ(r->condition, c.condition) << c.taken.size();
        }
        EXPECT_TRUE(seen);
    }
}

}  // namespace
}  // namespace vantor
