#pragma once
// The NTFS result page without a window: where found items go in the folder
// tree, what the file list shows, check marks between tree, list and items,
// the totals, sorting and the page filter. The Qt view draws this and
// forwards clicks; the CLI session drives it the same way.
//
// Folder marks and item ticks must be changed through the model (it keeps
// counts of them). Not thread-safe, like FolderTree: found items arrive synchronously (the
// GUI marshals them to its thread, the CLI session serialises them), and the
// user-side calls happen while no scan is running.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dialogs/filter_criteria.h"
#include "dialogs/result_list.h"
#include "dialogs/result_page_model.h"
#include "dialogs/folder_tree.h"
#include "dialogs/preview.h"
#include "ntfs/ntfs_found_item.h"
#include "ntfs/ntfs_scan.h"

namespace vantor {

// The page's two scan kinds, as the shell creates it.
inline constexpr int kNtfsPageModeDeleted = 10000;
inline constexpr int kNtfsPageModeFormatted = 10002;

inline constexpr const char* kNtfsScanDeletedTitle = "Scanning Deleted Files ...";
inline constexpr const char* kNtfsScanFormattedTitle = "Scanning Formated Drive ...";

// The "View Mode" menu's two entries: the details (report) and icon view.
using NtfsViewMode = ResultViewMode;

// Tree images: the root, then the closed and open folder.
inline constexpr int kNtfsRootImage = 0;
inline constexpr int kNtfsFolderImage = 1;
inline constexpr int kNtfsFolderOpenImage = 2;

// What a tree node carries: its key and the foundItems indices listed in it.
// The root's key is the page itself, so no folder record can match it.
struct NtfsNodeData : FolderNodeData {
    bool isRoot = false;
    uint32_t key = 0;  // the folder's record number from the item's pathRecords
    std::vector<uint32_t> items;
    uint32_t checkedItems = 0;     // how many of items are ticked
    uint32_t checkedChildren = 0;  // how many child folders are ticked
    // Child folders by key, so placing stays fast under a folder with
    // thousands of children (a "Lost Files" bucket).
    std::unordered_multimap<uint32_t, FolderNode*> childrenByKey;
};

enum class NtfsColumn : int {
    Name = 0, Size = 1, Type = 2, Attributes = 3, Modified = 4, Created = 5, Accessed = 6
};
inline constexpr size_t kNtfsColumnCount = kResultColumnCount;

using NtfsColumnInfo = ResultColumn;
inline constexpr const auto& kNtfsColumns = kResultColumns;

struct NtfsTotals {
    uint64_t count = 0;
    uint64_t bytes = 0;
    bool operator==(const NtfsTotals&) const = default;
};

// One file-list row: the item's index in foundItems and the item.
struct NtfsListRow {
    uint32_t index = 0;
    NtfsFoundItem* item = nullptr;
    // Position when the list was filled: the row's thumbnail index, which
    // sorting does not move.
    size_t imageIndex = 0;
};

// What the page's window messages carry, as calls. Every method has a
// default so a view overrides only what it repaints; a view that knows no
// NTFS totals hears totalsChanged(). nodeAdded: a folder node was appended
// below its parent; rowsReset: the list was refilled or re-sorted.
class NtfsPageListener : public ResultPageListener {
public:
    virtual void checkedTotalsChanged(const NtfsTotals&) { totalsChanged(); }  // 0x402
    virtual void allTotalsChanged(const NtfsTotals&) { totalsChanged(); }      // 0x403
    virtual void listTotalsChanged(const NtfsTotals&) { totalsChanged(); }     // 0x404
};

// Column and summary texts.
std::string NtfsRootText(char driveLetter);  // "NTFS - Logical Disk (%c:)"
std::string NtfsSizeText(uint64_t size);     // "%dB", "%0.1fKB", "%0.1fMB", "%0.1fGB"
std::string NtfsAttributesText(uint32_t attributes, bool deleted);  // "H-C-Del-"
// Local time "%d-%.2d-%.2d %.2d:%.2d:%.2d"; empty for 0 or an unusable value.
std::string NtfsTimeText(uint64_t fileTime);
// "%d files - %.2f Byte|KB|MB|GB".
std::string NtfsSummaryText(const NtfsTotals& totals);
// The headless stand-in for the shell's type name: "TXT File", "File".
std::string NtfsDefaultTypeText(const std::string& name);

// What a double click shows: a picture when the name calls for one (the
// view decodes data and falls back to dump when it cannot), otherwise the
// dump of the first 512 bytes.
struct NtfsPreview {
    PreviewKind kind = PreviewKind::Dump;
    std::vector<std::byte> data;  // the whole file for a picture, else its head
    std::string dump;             // DumpText of the first 512 bytes
};
// Reads the item through the volume (decompressing compressed files).
ErrorCode LoadNtfsPreview(CNtfsVolume& volume, const NtfsFoundItem& item, NtfsPreview& out);

class NtfsPageModel final : public NtfsItemSink, public ResultPageModel {
public:
    NtfsPageModel();
    NtfsPageModel(const NtfsPageModel&) = delete;
    NtfsPageModel& operator=(const NtfsPageModel&) = delete;

    void setListener(ResultPageListener* listener) override;
    // The GUI passes the shell's type names; sorting by Type uses them too.
    void setTypeNamer(std::function<std::string(const std::string&)> namer) override;

    // The page's texts and rules as the shared view asks for them: line 0
    // counts every found file, line 1 the ticked ones.
    const char* scanTitle() const override { return scanTitle_; }
    void setScanKind(int mode);
    const char* nothingCheckedText() const override { return kNtfsNothingSelectedText; }
    const char* recoveryTitle() const override { return kNtfsRecoveryTitle; }
    size_t dumpBytes() const override { return kNtfsDumpBytes; }
    std::string summaryText(int line) const override {
        return line == 0 ? allSummaryText() : checkedSummaryText();
    }
    const char* summaryCaption(int line) const override { return line == 0 ? "FOUND" : "CHECKED"; }
    uint64_t foundFiles() const override { return allTotals_.count; }

    // Start of a scan: a fresh tree with the root "NTFS - Logical Disk (%c:)".
    void begin(char driveLetter);
    // End of a scan: the root is expanded and selected, and its list filled.
    void finishScan();

    // The scan's found-item message. Folders are not placed; items without
    // path lists go to the root. The item stays owned by the engine.
    void onFoundItem(NtfsFoundItem* item, uint32_t index) override;
    // Returns the node the item was listed in, or null (a folder, a repeat).
    FolderNode* placeItem(NtfsFoundItem& item, uint32_t index);

    const FolderTree& tree() const override { return tree_; }
    FolderTree& tree() override { return tree_; }
    FileTicks ownTicks(const FolderNode& node) const override;
    FolderNode* root() const { return tree_.root(); }
    NtfsFoundItem* item(uint32_t index) const;
    // One past the highest foundItems index delivered so far.
    uint32_t itemSlots() const { return static_cast<uint32_t>(items_.size()); }
    // The node the item is listed in; null when it was not placed.
    FolderNode* nodeOfItem(uint32_t index) const;
    static NtfsNodeData* nodeData(const FolderNode* node);

    // The list.
    void selectNode(FolderNode* node);  // refills the list (0x404)
    FolderNode* selectedNode() const { return tree_.selected(); }
    void selectFolder(FolderNode* node) override { selectNode(node); }
    FolderNode* selectedFolder() const override { return tree_.selected(); }
    size_t rowCount() const override { return rows_.size(); }
    std::string cellText(size_t row, int column) const override;
    std::string rowName(size_t row) const override;
    uint64_t rowSize(size_t row) const override;
    bool rowDeleted(size_t row) const override;
    size_t rowImageIndex(size_t row) const override { return row < rows_.size() ? rows_[row].imageIndex : 0; }
    NtfsFoundItem* rowItem(size_t row) const { return row < rows_.size() ? rows_[row].item : nullptr; }
    void refillList();
    const std::vector<NtfsListRow>& rows() const { return rows_; }
    std::string cellText(const NtfsFoundItem& item, NtfsColumn column) const;
    std::array<std::string, kNtfsColumnCount> rowTexts(const NtfsFoundItem& item) const;
    bool rowChecked(size_t row) const override;
    // What the current allocation left of the row's data (a view greys
    // overwritten rows); Unknown past the last row.
    DataCondition rowCondition(size_t row) const override;
    NtfsTotals listTotals() const { return listTotals_; }

    // View mode. True when switching to icons needs a thumbnail run (the
    // list has rows to render); otherwise each row shows its own index.
    NtfsViewMode viewMode() const override { return viewMode_; }
    bool setViewMode(NtfsViewMode mode) override;

    // The page filter and its switch; changing either refills the list.
    const FilterCriteria& pageFilter() const { return filter_; }
    FilterCriteria& pageFilter() override { return filter_; }
    void setPageFilter(const FilterCriteria& criteria);
    // Refills the list: always true.
    bool setFilterEnabled(bool on) override;
    void filterEdited() override { refillList(); }
    bool filterEnabled() const override { return filterOn_; }
    // "Filter" stays disabled until its check box is ticked.
    bool filterButtonEnabled() const { return filterOn_; }
    bool passesPageFilter(const NtfsFoundItem& item) const;

    // Check marks.
    void setNodeChecked(FolderNode* node, bool on);
    void setFolderChecked(FolderNode* node, bool on) override { setNodeChecked(node, on); }
    bool setRowChecked(size_t row, bool on) override;
    bool canRecover() const override { return checkedTotals_.count > 0; }
    // A list-row tick for any item, wherever it is listed.
    bool setItemChecked(uint32_t index, bool on);
    void checkAll(bool on);

    NtfsTotals allTotals() const { return allTotals_; }
    NtfsTotals checkedTotals() const { return checkedTotals_; }
    std::string allSummaryText() const { return NtfsSummaryText(allTotals_); }
    std::string checkedSummaryText() const { return NtfsSummaryText(checkedTotals_); }

    // The ticked items in tree order (each node, then its children), each once.
    std::vector<NtfsFoundItem*> collectSelection() const;

    // A header click: sorts by that column, ascending first, then alternating.
    void clickColumn(NtfsColumn column);
    void sortRows(NtfsColumn column, bool ascending);
    void sortByHeader(int column) override;
    bool sortDescending() const override { return !sortAscending_; }

    // Node texts below the root joined by "/"; "" for the root.
    static std::string folderPath(const FolderNode* node);

private:
    // Every change of an item's tick goes through here, keeping the totals.
    void setSelected(uint32_t index, bool on);
    void checksDone();
    void updateAncestors(FolderNode* node);
    // Every change of a folder's mark goes through here, keeping the counts.
    static void setMark(FolderNode* node, bool on);
    static bool holdsChecked(const FolderNode& node);

    FolderTree tree_;
    std::vector<NtfsFoundItem*> items_;  // by foundItems index
    std::vector<FolderNode*> itemNode_;  // by foundItems index
    std::vector<NtfsListRow> rows_;
    FilterCriteria filter_;
    bool filterOn_ = false;
    NtfsViewMode viewMode_ = NtfsViewMode::Details;
    bool sortAscending_ = true;
    const char* scanTitle_ = kNtfsScanDeletedTitle;
    NtfsTotals allTotals_;
    NtfsTotals checkedTotals_;
    NtfsTotals listTotals_;
    std::array<bool, kNtfsColumnCount> nextDescending_{};
    std::function<std::string(const std::string&)> typeNamer_;
    ResultPageListener* listener_ = nullptr;
    NtfsPageListener* ntfsListener_ = nullptr;  // listener_, when it hears NTFS totals
    void tellChecked();
    void tellAll();
    void tellList();
};

}  // namespace vantor
