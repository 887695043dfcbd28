#include "raw/raw_page_model.h"

#include <algorithm>

#include "dialogs/filter_criteria.h"
#include "dialogs/preview.h"
#include "ntfs/ntfs_page_model.h"
#include "platform/codepage.h"
#include "raw/raw_writer.h"

namespace vantor {

namespace {

const RawNodeItems* ItemsOf(const FolderNode* node) { return node ? node->dataAs<RawNodeItems>() : nullptr; }

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

RawPageModel::RawPageModel() : typeNamer_(DefaultFileTypeName) { nextDescending_.fill(true); }

void RawPageModel::setTypeNamer(std::function<std::string(const std::string&)> namer) {
    typeNamer_ = namer ? std::move(namer) : DefaultFileTypeName;
}

size_t RawPageModel::dumpBytes() const { return kNtfsDumpBytes; }

std::string RawPageModel::summaryText(int line) const {
    if (line != 0) return FilesTotalText(selection_.files, selection_.bytes);
    uint64_t bytes = 0;
    if (items_)
        for (const auto& it : *items_) bytes += it->size;
    return FilesTotalText(foundFiles(), bytes);
}

void RawPageModel::reset() {
    tree_.clear();
    rows_.clear();
    items_ = nullptr;
    selection_ = {};
    if (listener_) {
        listener_->rowsReset();
        listener_->totalsChanged();
    }
}

void RawPageModel::build(char driveLetter, const std::vector<std::unique_ptr<RawFoundItem>>& items) {
    reset();
    nextDescending_.fill(true);
    sortDescending_ = false;
    items_ = &items;
    for (const auto& it : items) it->selected = 0;
    BuildRawTree(tree_, driveLetter, items);
    selectFolder(tree_.root());
}

void RawPageModel::selectFolder(FolderNode* node) {
    tree_.select(node);
    viewMode_ = ResultViewMode::Details;
    rebuildRows();
}

void RawPageModel::rebuildRows() {
    rows_.clear();
    const FolderNode* node = tree_.selected();
    if (node && items_) {
        auto add = [&](uint32_t i) {
            if (i < items_->size() && (!filterOn_ || passesFilter(*(*items_)[i]))) rows_.push_back({i, rows_.size()});
        };
        if (node == tree_.root()) {
            for (uint32_t i = 0; i < items_->size(); ++i) add(i);
        } else if (const RawNodeItems* list = ItemsOf(node)) {
            for (uint32_t i : list->items) add(i);
        }
    }
    if (listener_) {
        listener_->rowsReset();
        listener_->totalsChanged();
    }
}

FileTicks RawPageModel::ownTicks(const FolderNode& node) const {
    const RawNodeItems* list = ItemsOf(&node);
    if (!list || !items_) return {};
    FileTicks t{list->items.size(), 0};
    for (uint32_t i : list->items)
        if (i < items_->size() && (*items_)[i]->selected) ++t.ticked;
    return t;
}

RawFoundItem* RawPageModel::rowItem(size_t row) const {
    return row < rows_.size() && items_ ? (*items_)[rows_[row].item].get() : nullptr;
}

std::string RawPageModel::cellText(size_t row, int column) const {
    const RawFoundItem* it = rowItem(row);
    if (!it) return {};
    switch (column) {
        case 0: return it->name;
        case 1: return NtfsSizeText(it->size);
        case 2: return typeNamer_(it->name);
        default: return {};
    }
}

std::string RawPageModel::rowName(size_t row) const {
    const RawFoundItem* it = rowItem(row);
    return it ? it->name : std::string();
}

uint64_t RawPageModel::rowSize(size_t row) const {
    const RawFoundItem* it = rowItem(row);
    return it ? it->size : 0;
}

bool RawPageModel::rowChecked(size_t row) const {
    const RawFoundItem* it = rowItem(row);
    return it && it->selected != 0;
}

bool RawPageModel::setRowChecked(size_t row, bool on) {
    RawFoundItem* it = rowItem(row);
    if (!it) return false;
    setItemChecked(*it, on);
    return true;
}

void RawPageModel::sortByHeader(int column) {
    if (column < 0 || static_cast<size_t>(column) >= kResultColumnCount) return;
    const bool descending = nextDescending_[static_cast<size_t>(column)];
    nextDescending_[static_cast<size_t>(column)] = !descending;
    sort(column, descending);
}

void RawPageModel::sort(int column, bool descending) {
    if (column < 0 || static_cast<size_t>(column) >= kResultColumnCount || !items_) return;
    struct Keyed {
        Row row;
        std::string text;
        uint64_t number;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows_.size());
    for (const Row& r : rows_) {
        const RawFoundItem& it = *(*items_)[r.item];
        Keyed k{r, {}, r.item};  // the other columns keep the scan's order
        if (column == 0) k.text = AsciiLower(it.name);
        else if (column == 1) k.number = it.size;
        else if (column == 2) k.text = typeNamer_(it.name);
        keyed.push_back(std::move(k));
    }
    const bool byText = column == 0 || column == 2;
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        const int c = byText ? a.text.compare(b.text) : Cmp(a.number, b.number);
        return descending ? c > 0 : c < 0;
    });
    for (size_t i = 0; i < rows_.size(); ++i) rows_[i] = keyed[i].row;
    sortDescending_ = descending;
    if (listener_) listener_->rowsReset();
}

bool RawPageModel::setFilterEnabled(bool on) {
    filterOn_ = on;
    rebuildRows();
    return true;
}

bool RawPageModel::passesFilter(const RawFoundItem& it) const {
    return ExtensionPassesSubstring(filter_, it.extension) && SizePasses(filter_, it.size) &&
           NamePasses(filter_, it.name);
}

bool RawPageModel::setViewMode(ResultViewMode mode) {
    viewMode_ = mode;
    return mode == ResultViewMode::Thumbnails && !rows_.empty();
}

void RawPageModel::tick(RawFoundItem& it, bool on) {
    if ((it.selected != 0) == on) return;
    it.selected = on ? 1 : 0;
    if (on) {
        ++selection_.files;
        selection_.bytes += it.size;
    } else {
        --selection_.files;
        selection_.bytes -= it.size;
    }
}

void RawPageModel::updateMarks() {
    FolderNode* root = tree_.root();
    if (!root || !items_) return;
    bool any = false;
    for (const auto& child : root->children()) {
        child->checked = ownTicks(*child).ticked > 0;
        any = any || child->checked;
    }
    root->checked = any;
}

void RawPageModel::checksDone() {
    updateMarks();
    if (listener_) {
        listener_->checksChanged();
        listener_->totalsChanged();
    }
}

void RawPageModel::setItemChecked(RawFoundItem& item, bool on) {
    tick(item, on);
    checksDone();
}

void RawPageModel::setFolderChecked(FolderNode* node, bool on) {
    if (!node || !items_) return;
    if (node == tree_.root()) {
        for (const auto& it : *items_) tick(*it, on);
    } else if (const RawNodeItems* list = ItemsOf(node)) {
        for (uint32_t i : list->items)
            if (i < items_->size()) tick(*(*items_)[i], on);
    }
    checksDone();
}

}  // namespace vantor
