#include "ext/ext_dirent.h"

namespace vantor {

namespace {

constexpr size_t kHeader = 8;

size_t EntryLength(size_t nameLen) { return kHeader + ((nameLen + 3) & ~size_t{3}); }

bool PlausibleName(ByteSpan block, size_t at, size_t len) {
    for (size_t i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(block[at + i]);
        if (c == 0 || c == '/') return false;
    }
    return true;
}

// A deleted entry inside [at, end): whole, its rec_len inside the gap.
bool GapEntry(ByteSpan block, size_t at, size_t end, uint32_t maxInode, ExtDirEntry& out) {
    if (end - at < kHeader + 1) return false;
    const uint32_t inode = readLe32(block, at);
    const uint16_t recLen = readLe16(block, at + 4);
    const uint8_t nameLen = readU8(block, at + 6);
    const uint8_t type = readU8(block, at + 7);
    if (inode == 0 || inode > maxInode || nameLen == 0 || type > 7) return false;
    if (recLen % 4 != 0 || recLen < kHeader + nameLen || recLen > end - at || kHeader + nameLen > end - at)
        return false;
    if (!PlausibleName(block, at + kHeader, nameLen)) return false;
    out.inode = inode;
    out.fileType = type;
    out.name.assign(reinterpret_cast<const char*>(block.data() + at + kHeader), nameLen);
    out.fromGap = true;
    return true;
}

void WalkGap(ByteSpan block, size_t at, size_t end, uint32_t maxInode,
             const std::function<void(const ExtDirEntry&)>& visit) {
    at = (at + 3) & ~size_t{3};
    ExtDirEntry e;
    while (at < end) {
        if (GapEntry(block, at, end, maxInode, e)) {
            const std::string name = e.name;
            if (name != "." && name != "..") visit(e);
            at += EntryLength(name.size());
        } else {
            at += 4;
        }
    }
}

}  // namespace

void DecodeExtDirBlock(ByteSpan block, uint32_t maxInode, bool indexed,
                       const std::function<void(const ExtDirEntry&)>& visit) {
    size_t at = 0;
    while (at + kHeader <= block.size()) {
        const uint32_t inode = readLe32(block, at);
        const uint16_t recLen = readLe16(block, at + 4);
        const uint8_t nameLen = readU8(block, at + 6);
        if (recLen == 0 || recLen % 4 != 0 || recLen < kHeader + nameLen || recLen > block.size() - at) return;
        if (kHeader + nameLen > block.size() - at) return;
        ExtDirEntry e;
        e.inode = inode;
        e.fileType = readU8(block, at + 7);
        e.name.assign(reinterpret_cast<const char*>(block.data() + at + kHeader), nameLen);
        if (inode != 0 && inode <= maxInode && nameLen > 0) visit(e);
        const bool dxGap = indexed && ((nameLen == 0 && inode == 0) || (at == 12 && e.name == ".."));
        if (!dxGap && recLen > EntryLength(nameLen))
            WalkGap(block, at + EntryLength(nameLen), at + recLen, maxInode, visit);
        at += recLen;
    }
}

ExtDirBlockKind ClassifyExtDirBlock(ByteSpan block, uint32_t maxInode) {
    size_t at = 0;
    bool named = false;
    while (at < block.size()) {
        if (block.size() - at < kHeader + 4) return ExtDirBlockKind::None;
        const uint32_t inode = readLe32(block, at);
        const uint16_t recLen = readLe16(block, at + 4);
        const uint8_t nameLen = readU8(block, at + 6);
        const uint8_t type = readU8(block, at + 7);
        if (recLen < kHeader + 4 || recLen % 4 != 0 || recLen > block.size() - at) return ExtDirBlockKind::None;
        if (kHeader + nameLen > recLen || inode > maxInode || type > 7) return ExtDirBlockKind::None;
        if (inode != 0) {
            if (nameLen == 0 || !PlausibleName(block, at + kHeader, nameLen)) return ExtDirBlockKind::None;
            named = true;
        }
        at += recLen;
    }
    if (!named) return ExtDirBlockKind::None;
    const ExtDirSelf self = DecodeExtDirSelf(block);
    // dx_root: ".." spans the block, then a zero word and info length 8.
    if (self.self != 0 && readLe16(block, 16) == block.size() - 12 && readLe32(block, 24) == 0 &&
        readU8(block, 29) == 8)
        return ExtDirBlockKind::IndexRoot;
    return ExtDirBlockKind::Entries;
}

ExtDirSelf DecodeExtDirSelf(ByteSpan block) {
    if (readLe16(block, 4) != 12 || readU8(block, 6) != 1 || !bytesEqual(block, 8, ".")) return {};
    if (readU8(block, 18) != 2 || !bytesEqual(block, 20, "..")) return {};
    return {readLe32(block, 0), readLe32(block, 12)};
}

}  // namespace vantor
