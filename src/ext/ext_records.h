#pragma once
// What the EXT scans find and the EXT writer copies out: one ExtFoundFile per
// deleted inode, owned by the volume's found list.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dialogs/data_condition.h"
#include "ext/ext_layout.h"

namespace vantor {

// Where a found file's name came from, best first.
enum class ExtNameSource : uint8_t { LiveEntry = 0, Slack = 1, DeletedFolder = 2, Journal = 3, None = 4 };

struct ExtFoundFile {
    std::vector<std::byte> inode;  // the whole inode as found (s_inode_size bytes)
    uint32_t inodeNumber = 0;
    uint32_t selected = 0;        // 1 when the user ticked the file
    char name[255] = {};          // NUL-terminated; "inode_%p.tmp" when no entry names it
    char extension[20] = {};      // lower case, no dot; empty if none
    ExtNameSource nameSource = ExtNameSource::None;
    // The folder whose entry gave the name (0: unknown), and its path below
    // the root, "/"-separated ("" for the root folder itself).
    uint32_t parentInode = 0;
    bool folderKnown = false;
    std::string folderPath;
    // Whether live files took its blocks since, judged from the block bitmaps.
    DataCondition condition = DataCondition::Unknown;

    ExtInodeView view() const { return ExtInodeView{inode}; }
    uint64_t size() const { return view().size(); }
    std::string nameText() const { return std::string(name, strnlen(name, sizeof(name))); }
    std::string extensionText() const { return std::string(extension, strnlen(extension, sizeof(extension))); }
};

}  // namespace vantor
