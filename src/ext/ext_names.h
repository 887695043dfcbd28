#pragma once
// Names and folder paths of found files, gathered from every directory block
// the scan sees (live folders and their gaps, freed folders, journal copies
// of directory blocks). Each inode keeps its best offer; a folder path is
// followed up to the root through the folders' own best offers, or through
// their ".." when the block that named them belongs to no known folder.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ext/ext_records.h"

namespace vantor {

class ExtNameBook {
public:
    // Only the found files get file offers kept (a volume has millions of
    // names); reused: found inodes that a live file holds now, whose live
    // entries name that file, not the found one.
    void wantFile(uint32_t inode, bool reused) { wanted_[inode] = reused; }

    // An entry naming inode, seen in a block of folder (0: unknown).
    // rank: higher wins (newer copies rank higher).
    void offer(uint32_t inode, uint32_t folder, const std::string& rawName, uint8_t fileType, uint64_t rank,
               ExtNameSource source);
    // A first block's "..": folder lies in parent.
    void offerParent(uint32_t folder, uint32_t parent, uint64_t rank);

    // Sets name, extension, nameSource, parentInode, folderKnown and
    // folderPath of each record; unnamed ones get "inode_%p.tmp".
    void apply(std::vector<std::unique_ptr<ExtFoundFile>>& found) const;

private:
    struct Offer {
        std::string name;  // as shown
        uint32_t folder = 0;
        uint64_t rank = 0;
        ExtNameSource source = ExtNameSource::None;
    };
    struct Parent {
        uint32_t parent = 0;
        uint64_t rank = 0;
    };
    static void keep(std::unordered_map<uint32_t, Offer>& map, uint32_t inode, Offer o);
    bool folderPath(uint32_t folder, std::string& path) const;

    std::unordered_map<uint32_t, bool> wanted_;
    std::unordered_map<uint32_t, Offer> files_;
    std::unordered_map<uint32_t, Offer> folders_;
    std::unordered_map<uint32_t, Parent> parents_;
};

// A name from disk as the pages show it: UTF-8 to the code page, "?" as "_".
std::string ExtShownName(const std::string& raw);
// Lower-case text after the last dot (not a leading one), at most 19 bytes.
std::string ExtExtensionOf(const std::string& name);

}  // namespace vantor
