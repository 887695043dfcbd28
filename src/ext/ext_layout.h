#pragma once
// EXT2/3/4 on-disk structures as decoders over byte spans: the superblock and
// its sanity checks, group descriptors, inode fields and the extent-tree node
// header. Nothing here touches a device.
//
// Superblock (1024 bytes at byte 1024 of the partition), fields used:
//   0 u32 s_inodes_count      4 u32 s_blocks_count_lo   20 u32 s_first_data_block
//  24 u32 s_log_block_size   32 u32 s_blocks_per_group  40 u32 s_inodes_per_group
//  56 u16 s_magic (EF53)     76 u32 s_rev_level         88 u16 s_inode_size (rev >= 1)
//  92 u32 s_feature_compat   96 u32 s_feature_incompat 100 u32 s_feature_ro_compat
// 120 16 s_volume_name      206 u16 s_reserved_gdt_blocks 224 u32 s_journal_inum
// 254 u16 s_desc_size (64bit) 336 u32 s_blocks_count_hi (64bit)
#include <cstdint>
#include <string>

#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace vantor {

inline constexpr uint16_t kExtMagic = 0xEF53;
inline constexpr uint32_t kExtSuperblockOffset = 1024;
inline constexpr uint32_t kExtSuperblockSize = 1024;
inline constexpr uint32_t kExtCompatHasJournal = 0x4;
inline constexpr uint32_t kExtRoCompatSparseSuper = 0x1;
inline constexpr uint32_t kExtIncompatExtents = 0x40;
inline constexpr uint32_t kExtIncompat64Bit = 0x80;
inline constexpr uint32_t kExtInodeFlagExtents = 0x80000;
inline constexpr uint16_t kExtExtentMagic = 0xF30A;
// The kernel refuses trees deeper than this; a deeper header is corrupt.
inline constexpr uint16_t kExtMaxExtentDepth = 5;
inline constexpr uint32_t kExtRootInode = 2;

struct ExtSuperblock {
    uint32_t inodesCount = 0;
    uint64_t blocksCount = 0;
    uint32_t firstDataBlock = 0;
    uint32_t blockSize = 0;
    uint32_t blocksPerGroup = 0;
    uint32_t inodesPerGroup = 0;
    uint32_t revLevel = 0;
    uint32_t inodeSize = 128;
    uint32_t compat = 0;
    uint32_t incompat = 0;
    uint32_t roCompat = 0;
    uint32_t reservedGdtBlocks = 0;
    uint32_t descSize = 32;
    uint32_t journalInode = 0;
    uint32_t groupCount = 0;
    std::string volumeName;

    bool extents() const { return (incompat & kExtIncompatExtents) != 0; }
    bool is64Bit() const { return (incompat & kExtIncompat64Bit) != 0; }
    bool hasJournal() const { return (compat & kExtCompatHasJournal) != 0 && journalInode != 0; }
    // Whether group g starts with a superblock and descriptor copy.
    bool groupHasSuperblock(uint32_t g) const;
};

// Decodes and checks a superblock. partitionBytes is the space the partition
// gives (0: unknown); a volume claiming more blocks than fit is refused.
// On failure why says which rule failed and the result is kErrInvalidDrive.
ErrorCode ParseExtSuperblock(ByteSpan raw, uint64_t partitionBytes, ExtSuperblock& out, std::string& why);

struct ExtGroupDesc {
    uint64_t blockBitmap = 0;
    uint64_t inodeBitmap = 0;
    uint64_t inodeTable = 0;
};
// The descriptor at the start of raw; the high words only with 64-byte descriptors.
ExtGroupDesc DecodeExtGroupDesc(ByteSpan raw, uint32_t descSize);

// Inode fields (offsets of the 128-byte layout, which every larger inode starts with).
struct ExtInodeView {
    ByteSpan raw;
    uint16_t mode() const { return readLe16(raw, 0); }
    // 64-bit for regular files (i_size_high at 108); directories use the low word.
    uint64_t size() const {
        const uint64_t lo = readLe32(raw, 4);
        return isDirectory() ? lo : lo | (uint64_t{readLe32(raw, 108)} << 32);
    }
    uint32_t atime() const { return readLe32(raw, 8); }
    uint32_t ctime() const { return readLe32(raw, 12); }
    uint32_t mtime() const { return readLe32(raw, 16); }
    uint32_t dtime() const { return readLe32(raw, 20); }
    uint16_t linksCount() const { return readLe16(raw, 26); }
    uint32_t blocks() const { return readLe32(raw, 28); }
    uint32_t flags() const { return readLe32(raw, 32); }
    uint32_t block(size_t i) const { return readLe32(raw, 40 + 4 * i); }
    ByteSpan blockArea() const { return raw.size() >= 100 ? raw.subspan(40, 60) : ByteSpan{}; }
    bool isRegular() const { return (mode() & 0xF000) == 0x8000; }
    bool isDirectory() const { return (mode() & 0xF000) == 0x4000; }
    bool usesExtents() const { return (flags() & kExtInodeFlagExtents) != 0; }
};

// Extent-tree node: a 12-byte header, then 12-byte entries.
struct ExtExtentHeader {
    uint16_t magic = 0;
    uint16_t entries = 0;
    uint16_t max = 0;
    uint16_t depth = 0;
};
inline ExtExtentHeader DecodeExtExtentHeader(ByteSpan node) {
    return {readLe16(node, 0), readLe16(node, 2), readLe16(node, 4), readLe16(node, 6)};
}

}  // namespace vantor
