#pragma once
// The RAW result page without a window: the tree by type description (one
// folder per description under "RAW - Logical Disk (%c:)"), the rows of the
// selected folder, check marks between folders and carved files, sorting,
// the page filter and the two summary lines. The items stay the scanner's.
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
#include "raw/raw_scanner.h"

namespace vantor {

inline constexpr const char* kRawScanTitle = "Scanning Raw Files ...";
inline constexpr const char* kRawRecoveryTitle = "Recoverying Deleted Files ...";
inline constexpr const char* kRawNothingSelectedText = "Please select file to recover!";

class RawPageModel final : public ResultPageModel {
public:
    RawPageModel();
    RawPageModel(const RawPageModel&) = delete;
    RawPageModel& operator=(const RawPageModel&) = delete;

    // A fresh tree over the scanner's items (all unticked); the root is
    // selected, expanded and listed.
    void build(char driveLetter, const std::vector<std::unique_ptr<RawFoundItem>>& items);
    void reset();

    void setListener(ResultPageListener* listener) override { listener_ = listener; }
    void setTypeNamer(std::function<std::string(const std::string&)> namer) override;

    const char* scanTitle() const override { return kRawScanTitle; }
    const char* nothingCheckedText() const override { return kRawNothingSelectedText; }
    const char* recoveryTitle() const override { return kRawRecoveryTitle; }
    size_t dumpBytes() const override;
    // Line 0: every carved file; line 1: the ticked ones.
    std::string summaryText(int line) const override;
    const char* summaryCaption(int line) const override { return line == 0 ? "FOUND" : "CHECKED"; }
    uint64_t foundFiles() const override { return items_ ? items_->size() : 0; }

    const FolderTree& tree() const override { return tree_; }
    FolderTree& tree() override { return tree_; }
    FolderNode* selectedFolder() const override { return tree_.selected(); }
    // The root lists every item, a type folder its own.
    void selectFolder(FolderNode* node) override;
    FileTicks ownTicks(const FolderNode& node) const override;
    bool canRecover() const override { return selection_.files > 0; }

    size_t rowCount() const override { return rows_.size(); }
    std::string cellText(size_t row, int column) const override;
    std::string rowName(size_t row) const override;
    uint64_t rowSize(size_t row) const override;
    bool rowDeleted(size_t row) const override { return row < rows_.size(); }
    bool rowChecked(size_t row) const override;
    bool setRowChecked(size_t row, bool on) override;
    size_t rowImageIndex(size_t row) const override { return row < rows_.size() ? rows_[row].listIndex : 0; }
    RawFoundItem* rowItem(size_t row) const;

    void sortByHeader(int column) override;
    void sort(int column, bool descending);
    bool sortDescending() const override { return sortDescending_; }

    FilterCriteria& pageFilter() override { return filter_; }
    bool filterEnabled() const override { return filterOn_; }
    bool setFilterEnabled(bool on) override;
    void filterEdited() override { rebuildRows(); }
    // Extension (a substring), size and name: a carved file has no date.
    bool passesFilter(const RawFoundItem& item) const;

    ResultViewMode viewMode() const override { return viewMode_; }
    bool setViewMode(ResultViewMode mode) override;

    void setFolderChecked(FolderNode* node, bool on) override;
    void setItemChecked(RawFoundItem& item, bool on);
    void checkAll(bool on) { setFolderChecked(tree_.root(), on); }

private:
    struct Row {
        uint32_t item;     // index into the scanner's items
        size_t listIndex;  // place when listed: the thumbnail's index
    };
    struct Totals {
        uint64_t files = 0;
        uint64_t bytes = 0;
    };
    void rebuildRows();
    void tick(RawFoundItem& item, bool on);
    // A type folder is marked while it holds a ticked item, the root while
    // any folder is.
    void updateMarks();
    void checksDone();

    FolderTree tree_;
    const std::vector<std::unique_ptr<RawFoundItem>>* items_ = nullptr;
    std::vector<Row> rows_;
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
