#pragma once
// The FAT result page's rules for any record type that the FAT-style scans
// keep per folder node (a Files payload with an owned `files` list; records
// with `selected`, `deleted`, `inDeletedFolder` and `condition`, and
// FoundName/FoundSize overloads): the rows of the selected folder, the page
// filter switch, sorting by header, check propagation, the folder and
// selection totals and the Recovery button. The FAT and exFAT page models
// share it and say only how their records read.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/destination.h"
#include "dialogs/filter_criteria.h"
#include "dialogs/folder_tree.h"
#include "dialogs/preview.h"
#include "dialogs/result_list.h"
#include "dialogs/result_page_model.h"
#include "disk/partition_record.h"
#include "platform/time_util.h"

namespace vantor {

// The page's two modes, as the shell creates it.
inline constexpr int kFatPageModeDeleted = 10000;
inline constexpr int kFatPageModeFormatted = 10002;

inline constexpr const char* kFatScanDeletedTitle = "Scanning Deleted Files ...";
inline constexpr const char* kFatScanFormattedTitle = "Scanning Formated Drive ...";
inline constexpr const char* kFatRecoveryTitle = "Recoverying Deleted Files ...";

struct FatTotals {
    uint32_t files = 0;
    // Kept in 64 bits: a tree of many large files passes 4 GiB.
    uint64_t bytes = 0;
};

template <typename Record, typename Files>
class FatPageBase : public ResultPageModel {
public:
    explicit FatPageBase(int mode) : mode_(mode) {
        filter_.date = DosDateFromUnix(static_cast<int64_t>(std::time(nullptr)));
        nextDescending_.fill(true);
    }

    int mode() const { return mode_; }
    // A fresh page for another scan in mode; the page filter and its switch stay.
    void restart(int mode) {
        mode_ = mode;
        tree_.clear();
        selectedFolder_ = nullptr;
        rows_.clear();
        ++listGeneration_;
        sortColumn_ = -1;
        sortDescending_ = false;
        nextDescending_.fill(true);
        folderTotals_ = {};
        selectionTotals_ = {};
        selectionStale_ = false;
        viewMode_ = ResultViewMode::Details;
    }
    const char* scanTitle() const override {
        return mode_ == kFatPageModeFormatted ? kFatScanFormattedTitle : kFatScanDeletedTitle;
    }
    const char* nothingCheckedText() const override { return kCheckFilesText; }
    const char* recoveryTitle() const override { return kFatRecoveryTitle; }
    size_t dumpBytes() const override { return kFatDumpBytes; }
    // Line 0 holds the folder totals, line 1 the selection totals.
    std::string summaryText(int line) const override {
        return line == 0 ? folderTotalsText() : selectionTotalsText();
    }
    const char* summaryCaption(int line) const override { return line == 0 ? "FOLDER" : "CHECKED"; }
    uint64_t foundFiles() const override { return CountBelow(tree_.root()).files; }
    void setListener(ResultPageListener*) override {}
    void setTypeNamer(std::function<std::string(const std::string&)> namer) override {
        setTypeNameProvider(std::move(namer));
    }

    // The scan fills this tree (root, folders with Files payloads).
    FolderTree& tree() override { return tree_; }
    const FolderTree& tree() const override { return tree_; }
    FileTicks ownTicks(const FolderNode& node) const override {
        FileTicks t;
        if (const auto* files = node.dataAs<Files>())
            for (const auto& r : files->files) {
                ++t.files;
                if (r->selected) ++t.ticked;
            }
        return t;
    }
    // After the scan: lists the folder the tree has selected (the root),
    // clears the selection totals.
    void scanFinished() {
        selectFolder(tree_.selected() ? tree_.selected() : tree_.root());
        recountSelection();
    }

    // Browsing. Selecting a folder switches to Details and lists its records
    // that pass the page filter (all of them while the switch is off), in
    // found order; the folder totals count every record of it and below.
    void selectFolder(FolderNode* node) override {
        selectedFolder_ = node;
        tree_.select(node);
        viewMode_ = ResultViewMode::Details;
        rebuildRows();
        folderTotals_ = CountBelow(node);
    }
    FolderNode* selectedFolder() const override { return selectedFolder_; }
    size_t rowCount() const override { return rows_.size(); }
    Record* rowRecord(size_t row) const { return row < rows_.size() ? rows_[row].record : nullptr; }
    std::string rowName(size_t row) const override {
        const Record* r = rowRecord(row);
        return r ? FoundName(*r) : std::string();
    }
    uint64_t rowSize(size_t row) const override {
        const Record* r = rowRecord(row);
        return r ? FoundSize(*r) : 0;
    }
    bool rowDeleted(size_t row) const override {
        const Record* r = rowRecord(row);
        return r && (r->deleted || r->inDeletedFolder);
    }
    bool rowChecked(size_t row) const override {
        const Record* r = rowRecord(row);
        return r && r->selected != 0;
    }
    // What the current allocation left of the row's data (a view greys
    // overwritten rows); Unknown past the last row.
    DataCondition rowCondition(size_t row) const override {
        const Record* r = rowRecord(row);
        return r ? r->condition : DataCondition::Unknown;
    }
    // The row's index in the list as built, which is also its thumbnail's
    // index: sorting moves rows, not their images.
    size_t rowImageIndex(size_t row) const override { return row < rows_.size() ? rows_[row].listIndex : 0; }
    // The row that shows record, or rowCount() when it is not listed.
    size_t rowOf(const Record* record) const {
        for (size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].record == record) return i;
        return rows_.size();
    }

    // Page filter and its switch. The filter's date starts as today.
    FilterCriteria& pageFilter() override { return filter_; }
    const FilterCriteria& pageFilter() const { return filter_; }
    bool filterEnabled() const override { return filterOn_; }
    // The Filter button follows the switch.
    bool filterButtonEnabled() const { return filterOn_; }
    // Turning the switch rebuilds the list when any criterion is set; true
    // when it did.
    bool setFilterEnabled(bool on) override {
        filterOn_ = on;
        if (!filter_.anySet()) return false;
        rebuildRows();
        return true;
    }
    // After the search dialog's OK on pageFilter(): rebuilds the list.
    void filterEdited() override { rebuildRows(); }
    virtual bool passesFilter(const Record& record) const = 0;

    // Sorting. A header click sorts by that column; each column keeps its own
    // direction, the first click descending, later clicks alternating.
    void sortByHeader(int column) override {
        if (column < 0 || column >= static_cast<int>(kResultColumnCount)) return;
        const bool descending = nextDescending_[static_cast<size_t>(column)];
        nextDescending_[static_cast<size_t>(column)] = !descending;
        sort(column, descending);
    }
    void sort(int column, bool descending) {
        if (column < 0 || column >= static_cast<int>(kResultColumnCount)) return;
        // The type names come from the shell; ask once per row, not per comparison.
        std::vector<std::pair<Row, std::string>> keyed;
        keyed.reserve(rows_.size());
        for (const Row& r : rows_) keyed.emplace_back(r, column == kTypeColumn ? typeName(*r.record) : std::string());
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
            const int c = compareRecords(*a.first.record, *b.first.record, column, a.second, b.second);
            return descending ? c > 0 : c < 0;
        });
        for (size_t i = 0; i < rows_.size(); ++i) rows_[i] = keyed[i].first;
        sortColumn_ = column;
        sortDescending_ = descending;
    }
    int sortColumn() const { return sortColumn_; }  // -1 while in found order
    bool sortDescending() const override { return sortDescending_; }

    // Check propagation. A list check box: the record's selected, its folder
    // checked (or unchecked when nothing of it stays ticked), then upwards.
    bool setRowChecked(size_t row, bool on) override {
        Record* r = rowRecord(row);
        if (!r || !selectedFolder_) return false;
        setFileChecked(selectedFolder_, r, on);
        return true;
    }
    // The same for a record of any folder (the CLI ticks by id).
    void setFileChecked(FolderNode* node, Record* record, bool on) {
        if (!node || !record) return;
        record->selected = on ? 1 : 0;
        if (on) {
            node->checked = true;
        } else if (!HasSelectedRecord(node) && !HasCheckedChild(node)) {
            // Only when nothing of the folder stays ticked: a record hidden by the
            // page filter, or a ticked subfolder, still needs the folder checked,
            // since the writer enters checked folders only.
            node->checked = false;
        }
        propagateUp(node);
        recountSelection();
    }
    // A tree check box: the state goes down through the subtree (folders and
    // records), then upwards: on checks every ancestor; off unchecks each
    // ancestor that holds neither a checked child nor a selected record.
    void setFolderChecked(FolderNode* node, bool on) override {
        if (!node) return;
        std::deque<FolderNode*> queue{node};
        while (!queue.empty()) {
            FolderNode* n = queue.front();
            queue.pop_front();
            n->checked = on;
            if (auto* files = n->dataAs<Files>())
                for (auto& r : files->files) r->selected = on ? 1 : 0;
            for (const auto& c : n->children()) queue.push_back(c.get());
        }
        propagateUp(node);
        recountSelection();
    }
    void checkAll(bool on) { setFolderChecked(tree_.root(), on); }

    FatTotals folderTotals() const { return folderTotals_; }
    FatTotals selectionTotals() const {
        if (selectionStale_) {
            selectionTotals_ = countSelected();
            selectionStale_ = false;
        }
        return selectionTotals_;
    }
    std::string folderTotalsText() const { return FilesTotalText(folderTotals_.files, folderTotals_.bytes); }
    std::string selectionTotalsText() const {
        const FatTotals t = selectionTotals();
        return FilesTotalText(t.files, t.bytes);
    }
    // Counts every record of node and below.
    static FatTotals CountBelow(const FolderNode* node) {
        FatTotals t;
        if (!node) return t;
        std::vector<const FolderNode*> stack{node};
        while (!stack.empty()) {
            const FolderNode* n = stack.back();
            stack.pop_back();
            if (const auto* files = n->dataAs<Files>()) {
                t.files += static_cast<uint32_t>(files->files.size());
                for (const auto& r : files->files) t.bytes += FoundSize(*r);
            }
            for (const auto& c : n->children()) stack.push_back(c.get());
        }
        return t;
    }
    // Counts the selected records of the whole tree.
    FatTotals countSelected() const {
        FatTotals t;
        tree_.walk([&](FolderNode& n) {
            if (const auto* files = n.dataAs<Files>())
                for (const auto& r : files->files)
                    if (r->selected) {
                        ++t.files;
                        t.bytes += FoundSize(*r);
                    }
            return true;
        });
        return t;
    }

    // View mode. Choosing Thumbnails answers whether the thumbnail run must
    // be made: only when the list was rebuilt since the last run.
    ResultViewMode viewMode() const override { return viewMode_; }
    bool setViewMode(ResultViewMode mode) override {
        viewMode_ = mode;
        return mode == ResultViewMode::Thumbnails && !thumbnailsCurrent() && !rows_.empty();
    }
    void thumbnailsMade() override { thumbnailsFor_ = listGeneration_; }
    bool thumbnailsCurrent() const { return thumbnailsFor_ == listGeneration_; }

    // Recovery button: nothing to do unless the root is checked.
    bool canRecover() const override { return tree_.root() && tree_.root()->checked; }
    // The whole rule, with the page's messages: nothing checked, or a
    // destination on the scanned volume (letter or device identity).
    DestinationCheck checkDestination(const std::string& destination, const PartitionRecord& scanned) const {
        if (!canRecover()) return DestinationCheck::NothingChecked;
        if (DestinationOnScannedVolume(destination, scanned)) return DestinationCheck::SameVolume;
        return DestinationCheck::Ok;
    }

    // The Type column's text for a name. The system asks the shell; without
    // one the text is DefaultFileTypeName's "<EXT> File" or "File".
    void setTypeNameProvider(std::function<std::string(const std::string&)> provider) {
        typeNames_ = std::move(provider);
    }
    std::string typeName(const Record& record) const {
        return typeNames_ ? typeNames_(FoundName(record)) : DefaultFileTypeName(FoundName(record));
    }

protected:
    static constexpr int kTypeColumn = 2;
    // One column's sort key comparison (<0, 0, >0), ascending; the type names
    // are given for the Type column.
    virtual int compareRecords(const Record& a, const Record& b, int column, const std::string& typeA,
                               const std::string& typeB) const = 0;

private:
    struct Row {
        Record* record = nullptr;
        size_t listIndex = 0;
    };
    void rebuildRows() {
        rows_.clear();
        ++listGeneration_;
        sortColumn_ = -1;
        const auto* files = selectedFolder_ ? selectedFolder_->dataAs<Files>() : nullptr;
        if (!files) return;
        for (const auto& rec : files->files) {
            if (filterOn_ && !passesFilter(*rec)) continue;
            rows_.push_back({rec.get(), rows_.size()});
        }
    }
    static bool HasSelectedRecord(const FolderNode* node) {
        const auto* files = node->dataAs<Files>();
        if (!files) return false;
        for (const auto& r : files->files)
            if (r->selected) return true;
        return false;
    }
    static bool HasCheckedChild(const FolderNode* node) {
        for (const auto& c : node->children())
            if (c->checked) return true;
        return false;
    }
    void propagateUp(FolderNode* node) {
        if (node->checked) {
            for (FolderNode* p = node->parent(); p; p = p->parent()) p->checked = true;
            return;
        }
        for (FolderNode* p = node->parent(); p; p = p->parent()) {
            if (HasCheckedChild(p) || HasSelectedRecord(p)) break;
            p->checked = false;
        }
    }
    // Counted when next asked: ticking many files one by one (a CLI glob)
    // must not walk the whole tree for each.
    void recountSelection() { selectionStale_ = true; }

    int mode_;
    FolderTree tree_;
    FolderNode* selectedFolder_ = nullptr;
    std::vector<Row> rows_;
    FilterCriteria filter_;
    bool filterOn_ = false;
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    std::array<bool, kResultColumnCount> nextDescending_{};
    FatTotals folderTotals_;
    mutable FatTotals selectionTotals_;
    mutable bool selectionStale_ = false;
    ResultViewMode viewMode_ = ResultViewMode::Details;
    uint64_t listGeneration_ = 0;
    uint64_t thumbnailsFor_ = UINT64_MAX;
    std::function<std::string(const std::string&)> typeNames_;
};

}  // namespace vantor
