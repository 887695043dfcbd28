#pragma once
// Outlook Express stores built from the public description of the format:
// the 0x24BC-byte file header, the file info object behind it ("LocalStore"
// and the folder name for a message store, a creation time for the folder
// store), the index tree (nodes of 0x18 bytes plus 12-byte entries), one
// indexed info object per item, and for messages the chained 0x210-byte
// blocks (self offset, body size 0x200, bytes used, next block).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vantor::test {

struct DbxPlan {
    bool folderStore = false;
    // Message texts (message store) or folder names (folder store), in order.
    std::vector<std::string> items;
    // Entries per tree node; further entries go to nodes hung below the
    // last entry, so the tree has more than one level.
    size_t entriesPerNode = 2;
};

struct DbxStore {
    std::vector<std::byte> bytes;
    std::vector<uint32_t> treeNodes;    // offsets of the index nodes, root first
    std::vector<uint32_t> firstBlocks;  // of each message
};

DbxStore BuildDbx(const DbxPlan& plan);

}  // namespace vantor::test
