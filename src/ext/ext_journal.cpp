#include "ext/ext_journal.h"

namespace vantor {

namespace {

constexpr uint32_t kIncompat64Bit = 0x2;
constexpr uint32_t kIncompatCsumV2 = 0x8;
constexpr uint32_t kIncompatCsumV3 = 0x10;
constexpr size_t kHeaderBytes = 12;
constexpr size_t kUuidBytes = 16;

}  // namespace

ErrorCode ParseJbdSuperblock(ByteSpan block, JbdSuperblock& out, std::string& why) {
    out = JbdSuperblock{};
    const JbdHeader h = DecodeJbdHeader(block);
    if (h.magic != kJbdMagic || (h.type != kJbdSuperblockV1 && h.type != kJbdSuperblockV2)) {
        why = "the journal's first block is not a journal superblock";
        return kErrInvalidDrive;
    }
    out.blockSize = readBe32(block, 12);
    out.maxLen = readBe32(block, 16);
    out.first = readBe32(block, 20);
    out.sequence = readBe32(block, 24);
    if (h.type == kJbdSuperblockV2) out.incompat = readBe32(block, 40);
    if (out.first == 0 || out.first >= out.maxLen) {
        why = "the journal superblock's log bounds are impossible";
        return kErrInvalidDrive;
    }
    out.is64Bit = (out.incompat & kIncompat64Bit) != 0;
    // Tag layouts: v3 {block, flags, block high, checksum}; otherwise
    // {block, checksum16, flags16} plus the high word with 64bit and two
    // bytes more with v2 checksums.
    if (out.incompat & kIncompatCsumV3) {
        out.tagBytes = 16;
    } else {
        out.tagBytes = 8 + (out.is64Bit ? 4 : 0) + ((out.incompat & kIncompatCsumV2) ? 2 : 0);
    }
    if (out.incompat & (kIncompatCsumV2 | kIncompatCsumV3)) out.tailBytes = 4;
    return kSuccess;
}

void DecodeJbdTags(ByteSpan block, const JbdSuperblock& sb, std::vector<JbdTag>& out) {
    out.clear();
    const bool v3 = sb.tagBytes == 16;
    const size_t end = block.size() > sb.tailBytes ? block.size() - sb.tailBytes : 0;
    size_t at = kHeaderBytes;
    while (at + sb.tagBytes <= end) {
        const uint32_t flags = v3 ? readBe32(block, at + 4) : readBe16(block, at + 6);
        uint64_t target = readBe32(block, at);
        if (sb.is64Bit) target |= uint64_t{readBe32(block, at + 8)} << 32;
        out.push_back({target, (flags & kJbdTagEscaped) != 0});
        at += sb.tagBytes;
        if (!(flags & kJbdTagSameUuid)) at += kUuidBytes;
        if (flags & kJbdTagLast) break;
    }
}

}  // namespace vantor
