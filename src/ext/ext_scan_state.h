#pragma once
// What one deleted-file scan gathers before it names what it found: the
// journal's copies (journal engine) and the folders the inode tables hold.
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ext/ext_dirent.h"
#include "ext/ext_volume.h"

namespace vantor {

// The inode holds data blocks (an emptied extent tree does not).
bool ExtHasBlocks(const ExtInodeView& v);
// A journal copy worth keeping: a live regular file or folder with data
// (a symlink's i_block holds its target's text, not block numbers).
bool ExtLiveLookingCopy(const ExtInodeView& v, int64_t now);

struct CExtVolume::ScanState {
    int64_t now = 0;

    struct InodeCopy {
        uint64_t order = 0;  // higher: newer (transaction sequence, then place)
        std::vector<std::byte> bytes;
    };
    // The newest journal copy of each live-looking regular file and folder.
    std::unordered_map<uint32_t, InodeCopy> fileCopies;
    std::unordered_map<uint32_t, InodeCopy> folderCopies;

    struct DirCopy {
        uint64_t block = 0;
        uint64_t order = 0;
        ExtDirSelf self;
        std::vector<ExtDirEntry> entries;
    };
    std::vector<DirCopy> dirCopies;
    std::unordered_set<uint64_t> dirCopyBlocks;

    struct Folder {
        uint32_t inode = 0;
        std::vector<std::byte> bytes;
        bool deleted = false;
    };
    std::vector<Folder> folders;
    // Found inodes that a live file holds now.
    std::unordered_set<uint32_t> reused;
};

}  // namespace vantor
