#pragma once
// The EXT3/EXT4 journal (JBD/JBD2) as decoders over byte spans: every
// metadata block opens with a big-endian header (magic C03B3998h, block type,
// transaction sequence). A descriptor block lists, in tags, the volume blocks
// whose copies follow it in the journal, one journal block each; a copy whose
// first word happened to be the magic is stored with that word zeroed
// (escaped). Commit and revoke blocks close and amend transactions.
//
// Journal superblock (v1 type 3, v2 type 4), fields used:
//  12 s_blocksize  16 s_maxlen  20 s_first  24 s_sequence
//  v2: 40 s_feature_incompat (1 revoke, 2 64bit, 8 csum v2, 10h csum v3)
#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace vantor {

inline constexpr uint32_t kJbdMagic = 0xC03B3998;
inline constexpr uint32_t kJbdDescriptor = 1;
inline constexpr uint32_t kJbdCommit = 2;
inline constexpr uint32_t kJbdSuperblockV1 = 3;
inline constexpr uint32_t kJbdSuperblockV2 = 4;
inline constexpr uint32_t kJbdRevoke = 5;

inline constexpr uint32_t kJbdTagEscaped = 1;
inline constexpr uint32_t kJbdTagSameUuid = 2;
inline constexpr uint32_t kJbdTagLast = 8;

inline uint32_t readBe32(ByteSpan b, size_t off) {
    if (off > b.size() || b.size() - off < 4) return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(b[off + i]);
    return v;
}
inline uint16_t readBe16(ByteSpan b, size_t off) {
    if (off > b.size() || b.size() - off < 2) return 0;
    return static_cast<uint16_t>((static_cast<uint8_t>(b[off]) << 8) | static_cast<uint8_t>(b[off + 1]));
}

struct JbdHeader {
    uint32_t magic = 0;
    uint32_t type = 0;
    uint32_t sequence = 0;
    bool valid() const { return magic == kJbdMagic && type >= kJbdDescriptor && type <= kJbdRevoke; }
};
inline JbdHeader DecodeJbdHeader(ByteSpan block) {
    return {readBe32(block, 0), readBe32(block, 4), readBe32(block, 8)};
}

struct JbdSuperblock {
    uint32_t blockSize = 0;
    uint32_t maxLen = 0;   // journal blocks, the superblock included
    uint32_t first = 0;    // first block of the log
    uint32_t sequence = 0; // first transaction expected in the log
    uint32_t incompat = 0;
    size_t tagBytes = 8;   // one tag without its identifier
    size_t tailBytes = 0;  // checksum at the end of a descriptor block
    bool is64Bit = false;
};

// Checks and decodes the journal's first block; why says what is wrong.
ErrorCode ParseJbdSuperblock(ByteSpan block, JbdSuperblock& out, std::string& why);

struct JbdTag {
    uint64_t block = 0;  // the volume block the copy belongs to
    bool escaped = false;
};
// The tags of one descriptor block, in order, up to the last-tag flag or the
// end of the tag area.
void DecodeJbdTags(ByteSpan block, const JbdSuperblock& sb, std::vector<JbdTag>& out);

}  // namespace vantor
