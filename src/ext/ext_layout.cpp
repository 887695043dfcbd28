#include "ext/ext_layout.h"

namespace vantor {

namespace {

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

ErrorCode Refuse(std::string& why, std::string text) {
    why = std::move(text);
    return kErrInvalidDrive;
}

}  // namespace

ErrorCode ParseExtSuperblock(ByteSpan raw, uint64_t partitionBytes, ExtSuperblock& out, std::string& why) {
    out = ExtSuperblock{};
    why.clear();
    if (raw.size() < kExtSuperblockSize) return Refuse(why, "superblock cut short");
    if (readLe16(raw, 56) != kExtMagic) return Refuse(why, "no EXT magic (EF53h) in the superblock");
    const uint32_t logBlock = readLe32(raw, 24);
    if (logBlock > 6) return Refuse(why, "block size beyond 64 KiB");
    out.blockSize = 1024u << logBlock;
    out.inodesCount = readLe32(raw, 0);
    out.firstDataBlock = readLe32(raw, 20);
    out.blocksPerGroup = readLe32(raw, 32);
    out.inodesPerGroup = readLe32(raw, 40);
    out.revLevel = readLe32(raw, 76);
    out.compat = readLe32(raw, 92);
    out.incompat = readLe32(raw, 96);
    out.roCompat = readLe32(raw, 100);
    out.reservedGdtBlocks = readLe16(raw, 206);
    out.journalInode = readLe32(raw, 224);
    out.volumeName = readCString(raw, 120, 16);
    out.blocksCount = readLe32(raw, 4);
    if (out.is64Bit()) out.blocksCount |= uint64_t{readLe32(raw, 336)} << 32;

    // A group's bitmaps are one block each, so neither count may exceed its bits.
    const uint64_t bitsPerBlock = uint64_t{out.blockSize} * 8;
    if (out.blocksPerGroup == 0 || out.blocksPerGroup > bitsPerBlock)
        return Refuse(why, "blocks per group 0 or more than a bitmap block holds");
    if (out.inodesPerGroup == 0 || out.inodesPerGroup > bitsPerBlock)
        return Refuse(why, "inodes per group 0 or more than a bitmap block holds");
    if (out.blocksCount <= out.firstDataBlock) return Refuse(why, "block count not above the first data block");
    if (out.firstDataBlock > 1) return Refuse(why, "first data block beyond 1");
    if (partitionBytes != 0 && out.blocksCount > partitionBytes / out.blockSize)
        return Refuse(why, "more blocks than the partition holds");
    const uint64_t groups = (out.blocksCount - out.firstDataBlock + out.blocksPerGroup - 1) / out.blocksPerGroup;
    if (groups == 0 || groups > UINT32_MAX) return Refuse(why, "impossible group count");
    out.groupCount = static_cast<uint32_t>(groups);
    if (out.inodesCount == 0 || out.inodesCount > groups * out.inodesPerGroup)
        return Refuse(why, "inode count does not fit the groups");

    if (out.revLevel >= 1) {
        out.inodeSize = readLe16(raw, 88);
        if (out.inodeSize < 128 || !IsPowerOfTwo(out.inodeSize) || out.inodeSize > out.blockSize)
            return Refuse(why, "inode size not a power of two from 128 to the block size");
    }
    if (out.is64Bit()) {
        out.descSize = readLe16(raw, 254);
        if (out.descSize < 64 || !IsPowerOfTwo(out.descSize) || out.descSize > 1024)
            return Refuse(why, "group descriptor size not a power of two from 64 to 1024");
    }
    // The inode tables live inside the volume; more inodes than fit there
    // would only make a scan read the same blocks again and again.
    if (uint64_t{out.inodesPerGroup} * out.groupCount * out.inodeSize > out.blocksCount * out.blockSize)
        return Refuse(why, "inode tables larger than the volume");
    return kSuccess;
}

bool ExtSuperblock::groupHasSuperblock(uint32_t g) const {
    if (g <= 1 || !(roCompat & kExtRoCompatSparseSuper)) return true;
    for (uint32_t base : {3u, 5u, 7u}) {
        uint64_t p = base;
        while (p < g) p *= base;
        if (p == g) return true;
    }
    return false;
}

ExtGroupDesc DecodeExtGroupDesc(ByteSpan raw, uint32_t descSize) {
    ExtGroupDesc d;
    d.blockBitmap = readLe32(raw, 0);
    d.inodeBitmap = readLe32(raw, 4);
    d.inodeTable = readLe32(raw, 8);
    if (descSize >= 64) {
        d.blockBitmap |= uint64_t{readLe32(raw, 32)} << 32;
        d.inodeBitmap |= uint64_t{readLe32(raw, 36)} << 32;
        d.inodeTable |= uint64_t{readLe32(raw, 40)} << 32;
    }
    return d;
}

}  // namespace vantor
