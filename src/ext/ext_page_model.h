#pragma once
// The EXT result page without a window: the partition's root, the folders
// whose names survived, "Lost files" for the rest, the column texts and the
// check marks between folders and files.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/folder_tree.h"
#include "ext/ext_records.h"

namespace vantor {

inline constexpr const char* kExtLostFilesText = "Lost files";

// The files listed under one node; the records stay owned by the volume.
struct ExtNodeFiles : FolderNodeData {
    std::vector<ExtFoundFile*> files;
};

// "%d B" below 1024, "%5.2f KB" up to 0xFFFFF, "%5.2f MB", "%5.2f GB" above 0x3FFFFFFF.
std::string ExtSizeText(uint64_t size);
// Owner and group permission bits of i_mode, "rw-r--".
std::string ExtAttributesText(uint16_t mode);
// Local time "%d-%02d-%02d %02d:%02d:%02d"; empty for 0.
std::string ExtTimeText(uint32_t unixTime);

class ExtPageModel {
public:
    // A fresh tree: root "<fileSystem>( <label> )", then for every record its
    // folder path (when known) or "Lost files", which comes last.
    void build(const std::string& fileSystem, const std::string& label,
               const std::vector<std::unique_ptr<ExtFoundFile>>& records);

    const FolderTree& tree() const { return tree_; }
    FolderTree& tree() { return tree_; }

    void setFileChecked(FolderNode* node, ExtFoundFile* record, bool on);
    void setFolderChecked(FolderNode* node, bool on);
    void checkAll(bool on) { setFolderChecked(tree_.root(), on); }

private:
    void updateAncestors(FolderNode* node);

    FolderTree tree_;
};

}  // namespace vantor
