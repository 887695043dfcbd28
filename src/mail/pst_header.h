#pragma once
// The header of an Outlook personal folders file: what says a file is one
// (several fields, so that one damaged field does not decide), the bytes a
// repair puts back, and whether the B-tree roots it names look like B-tree
// pages. Little-endian throughout; offsets are those of the 32-bit (ANSI)
// and 64-bit (Unicode) layouts.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/block_device.h"
#include "platform/byte_order.h"

namespace vantor {

// The CRC of the format: reflected polynomial 0xEDB88320, started at 0 and
// not inverted at either end (unlike the IEEE one of GPT and zip).
uint32_t PstCrc(ByteSpan bytes, uint32_t crc = 0);

inline constexpr size_t kPstHeaderBytes = 564;  // the larger (64-bit) header
inline constexpr uint32_t kPstMagic = 0x4E444221;        // "!BDN"
inline constexpr uint16_t kPstClientMagic = 0x4D53;      // "SM"
inline constexpr uint16_t kPstClientVersion = 19;

enum class PstFormat { Unknown, Ansi, Unicode };

// Bytes to put at an offset of the copy.
struct BytePatch {
    uint64_t offset = 0;
    std::vector<std::byte> bytes;
};
inline BytePatch Le32Patch(uint64_t offset, uint32_t v) {
    BytePatch p{offset, std::vector<std::byte>(4)};
    writeLe32(p.bytes, 0, v);
    return p;
}

struct PstHeaderCheck {
    PstFormat format = PstFormat::Unknown;
    int clues = 0;          // of kPstClueCount that hold
    bool isPst = false;     // enough clues
    bool signatureFixed = false;
    bool clientMagicFixed = false;
    bool checksumsFixed = false;
    std::vector<BytePatch> patches;  // in offset order; empty when nothing to mend
    // The roots of the node and block B-trees, as the header names them.
    uint64_t nbtRoot = 0;
    uint64_t bbtRoot = 0;
    bool bigPages = false;  // version 36 and later: 4 KiB pages, whose trailer is not checked
};

inline constexpr int kPstClueCount = 6;
// At most two clues may fail: a damaged client magic also breaks the CRC
// that covers it.
inline constexpr int kPstCluesNeeded = 4;

// Reads the clues of header (the file's first bytes, kPstHeaderBytes or
// fewer) for a file of fileSize bytes, and what a repair writes.
PstHeaderCheck CheckPstHeader(ByteSpan header, uint64_t fileSize);

enum class PstRootState { Ok, OutsideFile, WrongPageType, Unreadable };

// Whether the page at the root offset lies inside the file and carries the
// B-tree page type (0x81 node, 0x80 block) in its trailer.
PstRootState CheckPstRoot(BlockDevice& file, const PstHeaderCheck& header, bool nodeTree);

}  // namespace vantor
