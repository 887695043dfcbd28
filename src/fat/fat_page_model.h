#pragma once
// The FAT result page without its windows: the folder tree the scan filled,
// the rows of the selected folder with their seven column texts, the page
// filter, sorting, check propagation between files and folders, the folder
// and selection totals with their summary lines, and the rules of the
// Recovery button. The Qt view and the CLI session sit on this one model;
// the view only draws it and forwards clicks.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/destination.h"
#include "dialogs/filter_criteria.h"
#include "dialogs/result_list.h"
#include "dialogs/result_page_model.h"
#include "dialogs/folder_tree.h"
#include "fat/fat_records.h"
#include "fat/fat_scan.h"
#include "fat/fat_volume.h"

namespace vantor {

enum FatColumn : int {
    kFatColName = 0,
    kFatColSize = 1,
    kFatColType = 2,
    kFatColAttributes = 3,
    kFatColModified = 4,
    kFatColCreated = 5,
    kFatColAccessed = 6,
};
inline constexpr int kFatColumnCount = static_cast<int>(kResultColumnCount);

using FatColumnSpec = ResultColumn;
inline constexpr const auto& kFatColumns = kResultColumns;

// The page's two modes, as the shell creates it.
inline constexpr int kFatPageModeDeleted = 10000;
inline constexpr int kFatPageModeFormatted = 10002;

using FatViewMode = ResultViewMode;

inline constexpr const char* kFatScanDeletedTitle = "Scanning Deleted Files ...";
inline constexpr const char* kFatScanFormattedTitle = "Scanning Formated Drive ...";
inline constexpr const char* kFatRecoveryTitle = "Recoverying Deleted Files ...";

// Size column: "%d Byte" below 1024, else "%.2f KB", or "%.2f MB" once the
// KB figure exceeds 1024.
std::string FatSizeText(uint64_t size);
// "%d-%.2d-%.2d   %.2d:%.2d:%.2d" of a raw FAT date and time.
std::string FatDateTimeText(uint16_t date, uint16_t time);
// The access date carries no time: "%d-%.2d-%.2d   12:00:00".
std::string FatAccessDateText(uint16_t date);
// Summary line: "%d files - %.2f Byte|KB|MB|GB", dividing by 1024 while the
// figure is at least 1024, at most three times.
std::string FatTotalsText(uint64_t files, uint64_t bytes);

// The Type column's text for a name. The system asks the shell; without one
// the text is DefaultFileTypeName's "<EXT> File" or "File".
using TypeNameProvider = std::function<std::string(const std::string& name)>;

// One column's sort key comparison (<0, 0, >0), ascending.
int CompareFatRecords(const FatFoundFile& a, const FatFoundFile& b, int column,
                      const std::string& typeA = {}, const std::string& typeB = {});

struct FatTotals {
    uint32_t files = 0;
    // Kept in 64 bits: a tree of many large files passes 4 GiB.
    uint64_t bytes = 0;
};

class FatPageModel : public ResultPageModel {
public:
    // mode: kModeDeleted (10000) or kModeFormatted (10002).
    explicit FatPageModel(int mode = kFatPageModeDeleted, FatKind kind = FatKind::Fat32);

    int mode() const { return mode_; }
    FatKind kind() const { return kind_; }
    // A fresh page for another scan in mode; the page filter and its switch stay.
    void restart(int mode);
    // The progress dialog's title for this page's scan.
    const char* scanTitle() const override;
    const char* nothingCheckedText() const override { return kCheckFilesText; }
    const char* recoveryTitle() const override { return kFatRecoveryTitle; }
    size_t dumpBytes() const override;
    // Line 0 holds the folder totals, line 1 the selection totals.
    std::string summaryText(int line) const override;
    const char* summaryCaption(int line) const override { return line == 0 ? "FOLDER" : "CHECKED"; }
    uint64_t foundFiles() const override { return CountBelow(tree_.root()).files; }
    void setListener(ResultPageListener*) override {}
    void setTypeNamer(std::function<std::string(const std::string&)> namer) override {
        setTypeNameProvider(std::move(namer));
    }

    // The scan fills this tree (root, folders with FatFolderFiles payloads).
    FolderTree& tree() override { return tree_; }
    const FolderTree& tree() const override { return tree_; }
    FileTicks ownTicks(const FolderNode& node) const override;
    // The scan's inputs from the application state: path filter, mask text
    // chosen by the file-type group, the sector range relative to the
    // partition start (0/0 when the state holds no range).
    FatScanOptions scanOptions(const std::string& pathFilter, const std::string& ownMask,
                               int fileTypeGroup, uint32_t rangeStart, uint32_t rangeEnd,
                               uint32_t partitionStart) const;
    // After the scan: lists the folder the tree has selected (the root),
    // clears the selection totals.
    void scanFinished();

    // Browsing. Selecting a folder switches to Details and lists its records
    // that pass the page filter (all of them while the switch is off), in
    // found order; the folder totals count every record of it and below.
    void selectFolder(FolderNode* node) override;
    FolderNode* selectedFolder() const override { return selectedFolder_; }
    size_t rowCount() const override { return rows_.size(); }
    FatFoundFile* rowRecord(size_t row) const { return row < rows_.size() ? rows_[row].record : nullptr; }
    std::string cellText(size_t row, int column) const override;
    std::string rowName(size_t row) const override;
    uint64_t rowSize(size_t row) const override;
    bool rowDeleted(size_t row) const override;
    bool rowChecked(size_t row) const override;
    // What the current allocation left of the row's data (a view greys
    // overwritten rows); Unknown past the last row.
    DataCondition rowCondition(size_t row) const override;
    // The row's index in the list as built, which is also its thumbnail's
    // index: sorting moves rows, not their images.
    size_t rowImageIndex(size_t row) const override { return row < rows_.size() ? rows_[row].listIndex : 0; }
    // The row that shows record, or rowCount() when it is not listed.
    size_t rowOf(const FatFoundFile* record) const;

    // Page filter and its switch. The filter's date starts as today.
    FilterCriteria& pageFilter() override { return filter_; }
    const FilterCriteria& pageFilter() const { return filter_; }
    bool filterEnabled() const override { return filterOn_; }
    // The Filter button follows the switch.
    bool filterButtonEnabled() const { return filterOn_; }
    // Turning the switch rebuilds the list when any criterion is set; true
    // when it did.
    bool setFilterEnabled(bool on) override;
    // After the search dialog's OK on pageFilter(): rebuilds the list.
    void filterEdited() override;
    bool passesFilter(const FatFoundFile& record) const;

    // Sorting. A header click sorts by that column; each column keeps its own
    // direction, the first click descending, later clicks alternating.
    void sortByHeader(int column) override;
    void sort(int column, bool descending);
    int sortColumn() const { return sortColumn_; }  // -1 while in found order
    bool sortDescending() const override { return sortDescending_; }

    // Check propagation. A list check box: the record's selected, its folder
    // checked (or unchecked when nothing of it stays ticked), then upwards.
    bool setRowChecked(size_t row, bool on) override;
    // The same for a record of any folder (the CLI ticks by id).
    void setFileChecked(FolderNode* node, FatFoundFile* record, bool on);
    // A tree check box: the state goes down through the subtree (folders and
    // records), then upwards: on checks every ancestor; off unchecks each
    // ancestor that holds neither a checked child nor a selected record.
    void setFolderChecked(FolderNode* node, bool on) override;
    void checkAll(bool on);

    FatTotals folderTotals() const { return folderTotals_; }
    FatTotals selectionTotals() const;
    std::string folderTotalsText() const { return FatTotalsText(folderTotals_.files, folderTotals_.bytes); }
    std::string selectionTotalsText() const {
        const FatTotals t = selectionTotals();
        return FatTotalsText(t.files, t.bytes);
    }
    // Counts every record of node and below.
    static FatTotals CountBelow(const FolderNode* node);
    // Counts the selected records of the whole tree.
    FatTotals countSelected() const;

    // View mode. Choosing Thumbnails answers whether the thumbnail run must
    // be made: only when the list was rebuilt since the last run.
    FatViewMode viewMode() const override { return viewMode_; }
    bool setViewMode(FatViewMode mode) override;
    void thumbnailsMade() override { thumbnailsFor_ = listGeneration_; }
    bool thumbnailsCurrent() const { return thumbnailsFor_ == listGeneration_; }

    // Recovery button: nothing to do unless the root is checked.
    bool canRecover() const override;
    // The whole rule, with the page's messages: nothing checked, or a
    // destination on the scanned volume (letter or device identity).
    DestinationCheck checkDestination(const std::string& destination, const PartitionRecord& scanned) const;

    void setTypeNameProvider(TypeNameProvider provider);
    std::string typeName(const FatFoundFile& record) const;

private:
    struct Row {
        FatFoundFile* record = nullptr;
        size_t listIndex = 0;
    };
    void rebuildRows();
    void propagateUp(FolderNode* node);
    // Counted when next asked: ticking many files one by one (a CLI glob)
    // must not walk the whole tree for each.
    void recountSelection() { selectionStale_ = true; }

    int mode_;
    FatKind kind_;
    FolderTree tree_;
    FolderNode* selectedFolder_ = nullptr;
    std::vector<Row> rows_;
    FilterCriteria filter_;
    bool filterOn_ = false;
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    std::array<bool, kFatColumnCount> nextDescending_{};
    FatTotals folderTotals_;
    mutable FatTotals selectionTotals_;
    mutable bool selectionStale_ = false;
    FatViewMode viewMode_ = FatViewMode::Details;
    uint64_t listGeneration_ = 0;
    uint64_t thumbnailsFor_ = UINT64_MAX;
    TypeNameProvider typeNames_;
};

}  // namespace vantor
