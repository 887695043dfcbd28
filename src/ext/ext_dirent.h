#pragma once
// Directory blocks: entries are inode (u32), rec_len (u16), name_len (u8),
// file_type (u8), then the name, each entry 4-byte aligned. Deleting an entry
// adds its rec_len to the entry before it, so its bytes stay in that entry's
// gap until something overwrites them: the gaps are searched for entries that
// still look whole.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/byte_order.h"

namespace vantor {

inline constexpr uint32_t kExtIndexFlag = 0x1000;  // htree directory

struct ExtDirEntry {
    uint32_t inode = 0;
    uint8_t fileType = 0;
    std::string name;
    bool fromGap = false;  // found in a live entry's gap: a deleted entry
};

// Visits the live entries of one block, then after each the gap entries
// behind it. An entry with rec_len 0, rec_len not a multiple of 4, rec_len
// shorter than its name or a name past the block's end ends the block.
// Entries naming inode 0 or one above maxInode are not visited. indexed:
// the directory is an htree, whose index data fills the gaps of ".." in its
// first block and of the empty entries that open its index blocks.
void DecodeExtDirBlock(ByteSpan block, uint32_t maxInode, bool indexed,
                       const std::function<void(const ExtDirEntry&)>& visit);

// What a block of unknown origin (a journal copy, a freed folder's block)
// holds: entries whose rec_len chain covers it exactly, each with a
// plausible inode, type and name. IndexRoot: a first block of an htree
// folder, whose ".." gap holds index data; a bare index node (one empty
// entry over the whole block) names nothing and counts as None.
enum class ExtDirBlockKind { None, Entries, IndexRoot };
ExtDirBlockKind ClassifyExtDirBlock(ByteSpan block, uint32_t maxInode);

// The "." and ".." inodes of a folder's first block; 0 when it is not one.
struct ExtDirSelf {
    uint32_t self = 0;
    uint32_t parent = 0;
};
ExtDirSelf DecodeExtDirSelf(ByteSpan block);

}  // namespace vantor
