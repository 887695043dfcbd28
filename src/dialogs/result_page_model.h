#pragma once
// What one result-page view needs from an engine's page model: the folder
// tree, the rows of the selected folder with their column texts, check
// marks, sorting, the page filter, the view mode and the two summary lines.
// FAT and NTFS (and the engines after them) implement it; their texts and
// rules stay theirs. Not thread-safe: the view calls it from its own thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "dialogs/data_condition.h"
#include "dialogs/filter_criteria.h"
#include "dialogs/folder_tree.h"

namespace vantor {

// The "ViewMode" menu's entries by command id.
enum class ResultViewMode : int { Thumbnails = 32773, Details = 32774 };

// How a folder's check box shows: partly when some file below is ticked and
// some is not.
enum class CheckMark { Unchecked, Partly, Checked };

// What a model reports while items arrive during a scan (and after user
// calls that change what the view shows). Every method has an empty default.
class ResultPageListener {
public:
    virtual ~ResultPageListener() = default;
    virtual void nodeAdded(FolderNode&) {}
    virtual void rowsReset() {}
    virtual void checksChanged() {}
    virtual void totalsChanged() {}
};

// How many files a folder lists itself, and how many of them are ticked.
struct FileTicks {
    uint64_t files = 0;
    uint64_t ticked = 0;
};

class ResultPageModel {
public:
    virtual ~ResultPageModel() = default;

    virtual void setListener(ResultPageListener* listener) = 0;
    // The Type column's text for a name (the GUI passes the shell's).
    virtual void setTypeNamer(std::function<std::string(const std::string&)> namer) = 0;

    // Texts of the page that differ by engine.
    virtual const char* scanTitle() const = 0;
    virtual const char* nothingCheckedText() const = 0;
    virtual const char* recoveryTitle() const = 0;
    // How many leading bytes the preview's dump shows.
    virtual size_t dumpBytes() const = 0;
    // The two summary lines: 0 = the files the first line counts, 1 = the
    // ticked files; with a short caption for each.
    virtual std::string summaryText(int line) const = 0;
    virtual const char* summaryCaption(int line) const = 0;
    // Files found by the scan in the whole tree.
    virtual uint64_t foundFiles() const = 0;

    // The tree.
    virtual FolderTree& tree() = 0;
    virtual const FolderTree& tree() const = 0;
    virtual FolderNode* selectedFolder() const = 0;
    virtual void selectFolder(FolderNode* node) = 0;
    virtual void setFolderChecked(FolderNode* node, bool on) = 0;
    // Whether the Recovery button has anything to do.
    virtual bool canRecover() const = 0;
    virtual FileTicks ownTicks(const FolderNode& node) const = 0;
    // Every node's mark in one pass: marked nodes whose files below are not
    // all ticked show Partly. visit sees each node once, children first.
    void forEachMark(const std::function<void(const FolderNode&, CheckMark)>& visit) const;

    // The list of the selected folder.
    virtual size_t rowCount() const = 0;
    virtual std::string cellText(size_t row, int column) const = 0;
    virtual std::string rowName(size_t row) const = 0;
    virtual uint64_t rowSize(size_t row) const = 0;
    virtual bool rowDeleted(size_t row) const = 0;
    virtual bool rowChecked(size_t row) const = 0;
    // True when the row existed and its tick was set.
    virtual bool setRowChecked(size_t row, bool on) = 0;
    // The row's place in the list as filled: its thumbnail's index.
    virtual size_t rowImageIndex(size_t row) const = 0;
    virtual DataCondition rowCondition(size_t) const { return DataCondition::Unknown; }

    // A header click sorts by that column.
    virtual void sortByHeader(int column) = 0;
    virtual bool sortDescending() const = 0;

    // The page filter and its switch. setFilterEnabled answers whether the
    // list was filled again; filterEdited follows the search dialog's OK.
    virtual FilterCriteria& pageFilter() = 0;
    virtual bool filterEnabled() const = 0;
    virtual bool setFilterEnabled(bool on) = 0;
    virtual void filterEdited() = 0;

    // View mode; choosing Thumbnails answers whether they must be made.
    virtual ResultViewMode viewMode() const = 0;
    virtual bool setViewMode(ResultViewMode mode) = 0;
    virtual void thumbnailsMade() {}
};

}  // namespace vantor
