#pragma once
// The EXT result page without a window: the partition's root, the folders
// whose names survived, "Lost files" for the rest, the rows of the selected
// folder with their column texts, sorting, the page filter, the check marks
// between folders and files and the two summary lines. The shared Qt view
// draws it; the CLI session ticks through it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/folder_tree.h"
#include "dialogs/result_list.h"
#include "dialogs/result_page_model.h"
#include "ext/ext_records.h"

namespace vantor {

inline constexpr const char* kExtLostFilesText = "Lost files";
inline constexpr const char* kExtScanTitle = "Scanning Deleted Files ...";
inline constexpr const char* kExtRecoveryTitle = "Recoverying Deleted Files ...";

// Tree images: the root, then the closed and open folder ("Lost files" too).
inline constexpr int kExtRootImage = 0;
inline constexpr int kExtFolderImage = 1;
inline constexpr int kExtFolderOpenImage = 2;
// A folder whose names came from a deleted folder's own block.
inline constexpr int kExtDeletedFolderImage = 3;
inline constexpr int kExtDeletedFolderOpenImage = 4;

// The files listed under one node; the records stay owned by the volume.
// The counts keep a tick's walk up the tree short.
struct ExtNodeFiles : FolderNodeData {
    std::vector<ExtFoundFile*> files;
    uint32_t ticked = 0;           // how many of files are selected
    uint32_t checkedChildren = 0;  // how many child nodes are checked
};

// "%d B" below 1024, "%5.2f KB" up to 0xFFFFF, "%5.2f MB", "%5.2f GB" above 0x3FFFFFFF.
std::string ExtSizeText(uint64_t size);
// Owner and group permission bits of i_mode, "rw-r--".
std::string ExtAttributesText(uint16_t mode);
// Local time "%d-%02d-%02d %02d:%02d:%02d"; empty for 0.
std::string ExtTimeText(uint32_t unixTime);
// The Name column: the record's name, or "inode(%p)" when no entry named it.
std::string ExtListName(const ExtFoundFile& record);

class ExtPageModel final : public ResultPageModel {
public:
    ExtPageModel();
    ExtPageModel(const ExtPageModel&) = delete;
    ExtPageModel& operator=(const ExtPageModel&) = delete;

    // A fresh tree: root "<fileSystem>( <label> )", then for every record its
    // folder path (when known) or "Lost files", which comes last. The records
    // come unticked; "Lost files" is selected and listed, or the root when
    // "Lost files" is empty.
    void build(const std::string& fileSystem, const std::string& label,
               const std::vector<std::unique_ptr<ExtFoundFile>>& records);
    // No scan, or one that could not open the volume: the root alone, with
    // an empty "Lost files".
    void buildEmpty(const std::string& fileSystem, const std::string& label) { build(fileSystem, label, {}); }
    // No tree, no rows: before the records it points at go away.
    void reset();

    void setListener(ResultPageListener* listener) override { listener_ = listener; }
    void setTypeNamer(std::function<std::string(const std::string&)> namer) override;

    const char* scanTitle() const override { return kExtScanTitle; }
    const char* nothingCheckedText() const override;
    const char* recoveryTitle() const override { return kExtRecoveryTitle; }
    size_t dumpBytes() const override;
    // Line 0: the listed rows; line 1: every ticked file.
    std::string summaryText(int line) const override;
    const char* summaryCaption(int line) const override { return line == 0 ? "LISTED" : "CHECKED"; }
    uint64_t foundFiles() const override { return found_; }

    const FolderTree& tree() const override { return tree_; }
    FolderTree& tree() override { return tree_; }
    FolderNode* selectedFolder() const override { return tree_.selected(); }
    void selectFolder(FolderNode* node) override;
    FileTicks ownTicks(const FolderNode& node) const override;
    bool canRecover() const override { return tree_.root() && tree_.root()->checked; }

    size_t rowCount() const override { return rows_.size(); }
    std::string cellText(size_t row, int column) const override;
    std::string rowName(size_t row) const override;
    uint64_t rowSize(size_t row) const override;
    bool rowDeleted(size_t row) const override { return row < rows_.size(); }
    bool rowChecked(size_t row) const override;
    bool setRowChecked(size_t row, bool on) override;
    size_t rowImageIndex(size_t row) const override { return row < rows_.size() ? rows_[row].listIndex : 0; }
    DataCondition rowCondition(size_t row) const override;
    ExtFoundFile* rowRecord(size_t row) const { return row < rows_.size() ? rows_[row].record : nullptr; }

    // Each column keeps its own direction: the first click descending, then alternating.
    void sortByHeader(int column) override;
    void sort(int column, bool descending);
    bool sortDescending() const override { return sortDescending_; }

    FilterCriteria& pageFilter() override { return filter_; }
    const FilterCriteria& pageFilter() const { return filter_; }
    bool filterEnabled() const override { return filterOn_; }
    bool setFilterEnabled(bool on) override;
    void filterEdited() override { rebuildRows(); }
    // Extension (a substring), creation date, size and name.
    bool passesFilter(const ExtFoundFile& record) const;

    ResultViewMode viewMode() const override { return viewMode_; }
    bool setViewMode(ResultViewMode mode) override;

    // A file's tick: its folder is checked while it holds a ticked file, and
    // so is every folder above.
    void setFileChecked(FolderNode* node, ExtFoundFile* record, bool on);
    // A folder's check box: its state goes to every node and file below.
    void setFolderChecked(FolderNode* node, bool on) override;
    void checkAll(bool on) { setFolderChecked(tree_.root(), on); }

    struct Totals {
        uint64_t files = 0;
        uint64_t bytes = 0;
    };
    Totals listTotals() const;
    Totals selectionTotals() const { return selection_; }

private:
    struct Row {
        ExtFoundFile* record;
        size_t listIndex;  // place when listed: the thumbnail's index
    };
    void rebuildRows();
    void setSelected(ExtNodeFiles& files, ExtFoundFile& record, bool on);
    static void setMark(FolderNode* node, bool on);
    static bool holdsChecked(const FolderNode& node);
    void updateAncestors(FolderNode* node);
    void checksDone();
    std::string typeName(const ExtFoundFile& record) const;

    FolderTree tree_;
    std::vector<Row> rows_;
    uint64_t found_ = 0;
    Totals selection_;
    FilterCriteria filter_;
    bool filterOn_ = false;
    ResultViewMode viewMode_ = ResultViewMode::Details;
    bool sortDescending_ = false;
    std::array<bool, kResultColumnCount> nextDescending_{};
    std::function<std::string(const std::string&)> typeNamer_;
    ResultPageListener* listener_ = nullptr;
};

}  // namespace vantor
