#include "ntfs/ntfs_page_model.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "platform/codepage.h"
#include "platform/time_util.h"

namespace vantor {

namespace {

// The engine's record, read through one set of accessors.
std::string ItemName(const NtfsFoundItem& item) { return item.nameText(); }
uint64_t ItemSize(const NtfsFoundItem& item) { return item.size; }
bool ItemIsFolder(const NtfsFoundItem& item) { return item.isFolder(); }
bool ItemSelected(const NtfsFoundItem& item) { return item.selected != 0; }
void SetItemSelected(NtfsFoundItem& item, bool on) { item.selected = on ? 1 : 0; }

std::string Printf(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// Case-insensitive on ASCII, as the list's name sort compares.
int CompareNoCase(const std::string& a, const std::string& b) {
    const std::string la = AsciiLower(a), lb = AsciiLower(b);
    return la < lb ? -1 : (lb < la ? 1 : 0);
}

uint16_t TodayDosDate() { return DosDateFromUnix(static_cast<int64_t>(std::time(nullptr))); }

}  // namespace

std::string NtfsRootText(char driveLetter) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "NTFS - Logical Disk (%c:)", driveLetter);
    return buf;
}

std::string NtfsSizeText(uint64_t size) {
    const double s = static_cast<double>(size);
    if (size < 1024) return std::to_string(size) + "B";
    if (size < (1ull << 20)) return Printf("%0.1fKB", s / 1024.0);
    if (size < (1ull << 30)) return Printf("%0.1fMB", s / 1048576.0);
    return Printf("%0.1fGB", s / 1073741824.0);
}

std::string NtfsAttributesText(uint32_t attributes, bool deleted) {
    static constexpr struct {
        uint32_t bit;
        const char* text;
    } kLetters[] = {
        {0x1, "R-"},      {0x2, "H-"},     {0x4, "S-"},     {0x10, "D-"},    {0x20, "A-"},
        {0x40, "E-"},     {0x80, "N-"},    {0x100, "T-"},   {0x200, "Sp-"},  {0x400, "ReSp-"},
        {0x800, "C-"},    {0x1000, "O-"},  {0x2000, "I-"},  {0x4000, "En-"},
        {kNtfsAttrFolder, "Dir-"}, {kNtfsAttrFolder, "In-"},
    };
    std::string text;
    for (const auto& l : kLetters)
        if (attributes & l.bit) text += l.text;
    if (deleted) text += "Del-";
    return text;
}

std::string NtfsTimeText(uint64_t fileTime) {
    if (fileTime == 0) return {};
    SystemTime st{};
    if (!FileTimeToSystemTime(FileTimeToLocalFileTime(fileTime), st)) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%.2d-%.2d %.2d:%.2d:%.2d", st.year, st.month, st.day, st.hour,
                  st.minute, st.second);
    return buf;
}

std::string NtfsSummaryText(const NtfsTotals& totals) { return FilesTotalText(totals.count, totals.bytes); }

std::string NtfsDefaultTypeText(const std::string& name) { return DefaultFileTypeName(name); }

ErrorCode LoadNtfsPreview(CNtfsVolume& volume, const NtfsFoundItem& item, NtfsPreview& out) {
    out = {};
    out.kind = ChoosePreview(item.nameText(), item.size);
    const uint64_t want = out.kind == PreviewKind::Picture ? kMaxPicturePreviewBytes : kNtfsDumpBytes;
    const ErrorCode rc = volume.ReadItemData(item, out.data, want);
    if (rc != kSuccess) return rc;
    const size_t head = std::min(out.data.size(), kNtfsDumpBytes);
    out.dump = DumpText(std::span<const std::byte>(out.data.data(), head));
    return kSuccess;
}

NtfsPageModel::NtfsPageModel() : typeNamer_(NtfsDefaultTypeText) {
    filter_.date = TodayDosDate();
}

void NtfsPageModel::setListener(ResultPageListener* listener) {
    listener_ = listener;
    ntfsListener_ = dynamic_cast<NtfsPageListener*>(listener);
}

void NtfsPageModel::tellChecked() {
    if (ntfsListener_) ntfsListener_->checkedTotalsChanged(checkedTotals_);
    else if (listener_) listener_->totalsChanged();
}

void NtfsPageModel::tellAll() {
    if (ntfsListener_) ntfsListener_->allTotalsChanged(allTotals_);
    else if (listener_) listener_->totalsChanged();
}

void NtfsPageModel::tellList() {
    if (ntfsListener_) ntfsListener_->listTotalsChanged(listTotals_);
    else if (listener_) listener_->totalsChanged();
}

void NtfsPageModel::setScanKind(int mode) {
    scanTitle_ = mode == kNtfsPageModeFormatted ? kNtfsScanFormattedTitle : kNtfsScanDeletedTitle;
}

FileTicks NtfsPageModel::ownTicks(const FolderNode& node) const {
    const NtfsNodeData* data = nodeData(&node);
    if (!data) return {};
    return {data->items.size(), data->checkedItems};
}

std::string NtfsPageModel::cellText(size_t row, int column) const {
    if (row >= rows_.size() || column < 0 || static_cast<size_t>(column) >= kNtfsColumnCount) return {};
    return cellText(*rows_[row].item, static_cast<NtfsColumn>(column));
}

std::string NtfsPageModel::rowName(size_t row) const {
    return row < rows_.size() ? ItemName(*rows_[row].item) : std::string();
}

uint64_t NtfsPageModel::rowSize(size_t row) const { return row < rows_.size() ? ItemSize(*rows_[row].item) : 0; }

bool NtfsPageModel::rowDeleted(size_t row) const { return row < rows_.size() && rows_[row].item->isDeleted(); }

void NtfsPageModel::sortByHeader(int column) {
    if (column < 0 || static_cast<size_t>(column) >= kNtfsColumnCount) return;
    clickColumn(static_cast<NtfsColumn>(column));
}

void NtfsPageModel::setTypeNamer(std::function<std::string(const std::string&)> namer) {
    typeNamer_ = namer ? std::move(namer) : NtfsDefaultTypeText;
}

void NtfsPageModel::begin(char driveLetter) {
    tree_.clear();
    FolderNode* root = tree_.setRoot(NtfsRootText(driveLetter), kNtfsRootImage, kNtfsRootImage);
    auto data = std::make_unique<NtfsNodeData>();
    data->isRoot = true;
    root->data = std::move(data);
    items_.clear();
    itemNode_.clear();
    rows_.clear();
    allTotals_ = {};
    checkedTotals_ = {};
    listTotals_ = {};
    nextDescending_ = {};
    if (listener_) listener_->rowsReset();
    tellAll();
    tellChecked();
}

void NtfsPageModel::finishScan() {
    FolderNode* root = tree_.root();
    if (!root) return;
    root->expanded = true;
    selectNode(root);
}

void NtfsPageModel::onFoundItem(NtfsFoundItem* item, uint32_t index) {
    if (item) placeItem(*item, index);
}

FolderNode* NtfsPageModel::placeItem(NtfsFoundItem& item, uint32_t index) {
    if (ItemIsFolder(item)) return nullptr;
    if (!tree_.root()) begin('*');
    if (index < itemNode_.size() && itemNode_[index]) return nullptr;  // delivered twice

    const auto& names = item.pathNames;
    const auto& records = item.pathRecords;
    // The engine keeps the two lists in step; a short one only shortens the path.
    const size_t depth = std::min(names.size(), records.size());

    FolderNode* node = tree_.root();
    size_t j = depth;
    // Descend while the path's folders already exist (same text, same key) ...
    for (; j > 0; --j) {
        const std::string& name = names[j - 1];
        const auto range = nodeData(node)->childrenByKey.equal_range(records[j - 1]);
        FolderNode* next = nullptr;
        for (auto it = range.first; it != range.second; ++it)
            if (it->second->text == name) {
                next = it->second;
                break;
            }
        if (!next) break;
        node = next;
    }
    // ... and from the first missing one on, every entry is a new folder.
    for (; j > 0; --j) {
        FolderNode* child = node->appendChild(names[j - 1], kNtfsFolderImage, kNtfsFolderOpenImage);
        auto data = std::make_unique<NtfsNodeData>();
        data->key = records[j - 1];
        child->data = std::move(data);
        nodeData(node)->childrenByKey.emplace(records[j - 1], child);
        if (listener_) listener_->nodeAdded(*child);
        node = child;
    }

    NtfsNodeData* data = nodeData(node);
    data->items.push_back(index);
    if (items_.size() <= index) {
        items_.resize(size_t{index} + 1, nullptr);
        itemNode_.resize(size_t{index} + 1, nullptr);
    }
    items_[index] = &item;
    itemNode_[index] = node;

    allTotals_.count++;
    allTotals_.bytes += ItemSize(item);
    tellAll();
    // Items come unticked from a scan; one that is not is ticked properly.
    if (ItemSelected(item)) {
        SetItemSelected(item, false);
        setItemChecked(index, true);
    }
    return node;
}

NtfsFoundItem* NtfsPageModel::item(uint32_t index) const {
    return index < items_.size() ? items_[index] : nullptr;
}

FolderNode* NtfsPageModel::nodeOfItem(uint32_t index) const {
    return index < itemNode_.size() ? itemNode_[index] : nullptr;
}

NtfsNodeData* NtfsPageModel::nodeData(const FolderNode* node) {
    return node ? node->dataAs<NtfsNodeData>() : nullptr;
}

void NtfsPageModel::selectNode(FolderNode* node) {
    tree_.select(node);
    refillList();
}

void NtfsPageModel::refillList() {
    rows_.clear();
    listTotals_ = {};
    const NtfsNodeData* data = nodeData(tree_.selected());
    if (data) {
        for (uint32_t index : data->items) {
            NtfsFoundItem* it = item(index);
            if (!it) continue;
            if (filterOn_ && !passesPageFilter(*it)) continue;
            rows_.push_back({index, it, rows_.size()});
            listTotals_.count++;
            listTotals_.bytes += ItemSize(*it);
        }
    }
    if (listener_) listener_->rowsReset();
    tellList();
}

std::string NtfsPageModel::cellText(const NtfsFoundItem& it, NtfsColumn column) const {
    switch (column) {
        case NtfsColumn::Name: return ItemName(it);
        case NtfsColumn::Size: return NtfsSizeText(ItemSize(it));
        case NtfsColumn::Type: return typeNamer_(ItemName(it));
        case NtfsColumn::Attributes: return NtfsAttributesText(it.attributes, it.deleted != 0);
        case NtfsColumn::Modified: return NtfsTimeText(it.modificationTime);
        case NtfsColumn::Created: return NtfsTimeText(it.creationTime);
        case NtfsColumn::Accessed: return NtfsTimeText(it.accessTime);
    }
    return {};
}

std::array<std::string, kNtfsColumnCount> NtfsPageModel::rowTexts(const NtfsFoundItem& it) const {
    std::array<std::string, kNtfsColumnCount> texts;
    for (size_t c = 0; c < kNtfsColumnCount; ++c) texts[c] = cellText(it, static_cast<NtfsColumn>(c));
    return texts;
}

bool NtfsPageModel::rowChecked(size_t row) const {
    return row < rows_.size() && ItemSelected(*rows_[row].item);
}

DataCondition NtfsPageModel::rowCondition(size_t row) const {
    return row < rows_.size() ? rows_[row].item->condition : DataCondition::Unknown;
}

bool NtfsPageModel::setViewMode(NtfsViewMode mode) {
    viewMode_ = mode;
    return mode == NtfsViewMode::Thumbnails && !rows_.empty();
}

void NtfsPageModel::setPageFilter(const FilterCriteria& criteria) {
    filter_ = criteria;
    refillList();
}

bool NtfsPageModel::setFilterEnabled(bool on) {
    filterOn_ = on;
    refillList();
    return true;
}

bool NtfsPageModel::passesPageFilter(const NtfsFoundItem& it) const {
    const std::string name = ItemName(it);
    return ExtensionPassesNtfsScan(filter_, name) && DatePasses(filter_, DosDateFromFileTime(it.creationTime)) &&
           SizePasses(filter_, ItemSize(it)) && NamePasses(filter_, name);
}

void NtfsPageModel::setSelected(uint32_t index, bool on) {
    NtfsFoundItem* it = item(index);
    NtfsNodeData* data = nodeData(nodeOfItem(index));
    if (!it || !data || ItemSelected(*it) == on) return;
    SetItemSelected(*it, on);
    const uint64_t size = ItemSize(*it);
    if (on) {
        data->checkedItems++;
        checkedTotals_.count++;
        checkedTotals_.bytes += size;
    } else {
        data->checkedItems--;
        checkedTotals_.count--;
        checkedTotals_.bytes -= size;
    }
}

void NtfsPageModel::setMark(FolderNode* node, bool on) {
    if (node->checked == on) return;
    node->checked = on;
    if (NtfsNodeData* parent = nodeData(node->parent())) {
        if (on) parent->checkedChildren++;
        else parent->checkedChildren--;
    }
}

bool NtfsPageModel::holdsChecked(const FolderNode& node) {
    const NtfsNodeData* data = nodeData(&node);
    return data && (data->checkedItems > 0 || data->checkedChildren > 0);
}

void NtfsPageModel::updateAncestors(FolderNode* node) {
    for (FolderNode* a = node ? node->parent() : nullptr; a; a = a->parent()) {
        const bool marked = holdsChecked(*a);
        // Nothing above changes once one ancestor keeps its mark.
        if (a->checked == marked) break;
        setMark(a, marked);
    }
}

void NtfsPageModel::setNodeChecked(FolderNode* node, bool on) {
    if (!node) return;
    // Iterative: a hostile image can make the tree arbitrarily deep.
    std::vector<FolderNode*> stack{node};
    while (!stack.empty()) {
        FolderNode* n = stack.back();
        stack.pop_back();
        setMark(n, on);
        if (const NtfsNodeData* data = nodeData(n))
            for (uint32_t index : data->items) setSelected(index, on);
        for (const auto& child : n->children()) stack.push_back(child.get());
    }
    updateAncestors(node);
    checksDone();
}

bool NtfsPageModel::setRowChecked(size_t row, bool on) {
    if (row >= rows_.size()) return false;
    return setItemChecked(rows_[row].index, on);
}

bool NtfsPageModel::setItemChecked(uint32_t index, bool on) {
    FolderNode* node = nodeOfItem(index);
    if (!item(index) || !node) return false;
    setSelected(index, on);
    if (on) {
        setMark(node, true);
    } else if (!holdsChecked(*node)) {
        // The last ticked file of a folder takes the folder's mark with it,
        // as on the FAT page, so no folder stays ticked over nothing.
        setMark(node, false);
    }
    updateAncestors(node);
    checksDone();
    return true;
}

void NtfsPageModel::checkAll(bool on) { setNodeChecked(tree_.root(), on); }

void NtfsPageModel::checksDone() {
    if (listener_) listener_->checksChanged();
    tellChecked();
}

std::vector<NtfsFoundItem*> NtfsPageModel::collectSelection() const {
    std::vector<NtfsFoundItem*> selection;
    std::vector<bool> taken(items_.size(), false);
    tree_.walk([&](FolderNode& node) {
        if (const NtfsNodeData* data = nodeData(&node))
            for (uint32_t index : data->items) {
                NtfsFoundItem* it = item(index);
                if (it && ItemSelected(*it) && !taken[index]) {
                    taken[index] = true;
                    selection.push_back(it);
                }
            }
        return true;
    });
    return selection;
}

void NtfsPageModel::clickColumn(NtfsColumn column) {
    const size_t c = static_cast<size_t>(column);
    if (c >= kNtfsColumnCount) return;
    const bool ascending = !nextDescending_[c];
    nextDescending_[c] = !nextDescending_[c];
    sortRows(column, ascending);
}

void NtfsPageModel::sortRows(NtfsColumn column, bool ascending) {
    auto less = [&](const NtfsListRow& a, const NtfsListRow& b) -> bool {
        const NtfsFoundItem& x = *a.item;
        const NtfsFoundItem& y = *b.item;
        int cmp = 0;
        switch (column) {
            case NtfsColumn::Name: cmp = CompareNoCase(ItemName(x), ItemName(y)); break;
            case NtfsColumn::Size:
                cmp = ItemSize(x) < ItemSize(y) ? -1 : (ItemSize(y) < ItemSize(x) ? 1 : 0);
                break;
            case NtfsColumn::Type: cmp = cellText(x, column).compare(cellText(y, column)); break;
            case NtfsColumn::Attributes: cmp = cellText(x, column).compare(cellText(y, column)); break;
            case NtfsColumn::Modified:
                cmp = x.modificationTime < y.modificationTime ? -1 : (y.modificationTime < x.modificationTime ? 1 : 0);
                break;
            case NtfsColumn::Created:
                cmp = x.creationTime < y.creationTime ? -1 : (y.creationTime < x.creationTime ? 1 : 0);
                break;
            case NtfsColumn::Accessed:
                cmp = x.accessTime < y.accessTime ? -1 : (y.accessTime < x.accessTime ? 1 : 0);
                break;
        }
        return ascending ? cmp < 0 : cmp > 0;
    };
    std::stable_sort(rows_.begin(), rows_.end(), less);
    sortAscending_ = ascending;
    if (listener_) listener_->rowsReset();
}

std::string NtfsPageModel::folderPath(const FolderNode* node) {
    std::vector<const std::string*> parts;
    for (const FolderNode* n = node; n && n->parent(); n = n->parent()) parts.push_back(&n->text);
    std::string path;
    for (size_t i = parts.size(); i-- > 0;) {
        if (!path.empty()) path += '/';
        path += *parts[i];
    }
    return path;
}

}  // namespace vantor
