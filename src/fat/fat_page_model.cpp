#include "fat/fat_page_model.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>

#include "dialogs/preview.h"
#include "platform/codepage.h"
#include "platform/time_util.h"

namespace vantor {

std::string FatSizeText(uint64_t size) {
    char buf[64];
    if (size < 1024) {
        std::snprintf(buf, sizeof buf, "%d Byte", static_cast<int>(size));
    } else {
        const double kb = static_cast<double>(size) / 1024.0;
        if (kb > 1024.0)
            std::snprintf(buf, sizeof buf, "%.2f MB", static_cast<double>(size) / 1048576.0);
        else
            std::snprintf(buf, sizeof buf, "%.2f KB", kb);
    }
    return buf;
}

std::string FatDateTimeText(uint16_t date, uint16_t time) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%.2d-%.2d   %.2d:%.2d:%.2d", date / 512 + 1980, (date >> 5) & 0x0F,
                  date & 0x1F, time / 2048, (time >> 5) & 0x3F, (time & 0x1F) * 2);
    return buf;
}

std::string FatAccessDateText(uint16_t date) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%.2d-%.2d   12:00:00", date / 512 + 1980, (date >> 5) & 0x0F, date & 0x1F);
    return buf;
}

std::string FatTotalsText(uint64_t files, uint64_t bytes) { return FilesTotalText(files, bytes); }

namespace {

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

uint32_t DateTimeKey(uint16_t date, uint16_t time) { return (uint32_t{date} << 16) | time; }

uint16_t TodayDosDate() { return DosDateFromUnix(static_cast<int64_t>(std::time(nullptr))); }

}  // namespace

int CompareFatRecords(const FatFoundFile& a, const FatFoundFile& b, int column, const std::string& typeA,
                      const std::string& typeB) {
    switch (column) {
        case kFatColName: return Cmp(AsciiLower(a.nameText()), AsciiLower(b.nameText()));
        case kFatColSize: return Cmp(a.size, b.size);
        case kFatColType: return Cmp(typeA, typeB);
        case kFatColAttributes: return Cmp(a.attributesText(), b.attributesText());
        case kFatColModified: return Cmp(DateTimeKey(a.writeDate, a.writeTime), DateTimeKey(b.writeDate, b.writeTime));
        case kFatColCreated:
            return Cmp(DateTimeKey(a.creationDate, a.creationTime), DateTimeKey(b.creationDate, b.creationTime));
        case kFatColAccessed: return Cmp(a.accessDate, b.accessDate);
        default: return 0;
    }
}

FatPageModel::FatPageModel(int mode, FatKind kind) : mode_(mode), kind_(kind) {
    filter_.date = TodayDosDate();
    nextDescending_.fill(true);
}

void FatPageModel::restart(int mode) {
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
    viewMode_ = FatViewMode::Details;
}

size_t FatPageModel::dumpBytes() const { return kFatDumpBytes; }

std::string FatPageModel::summaryText(int line) const {
    return line == 0 ? folderTotalsText() : selectionTotalsText();
}

FileTicks FatPageModel::ownTicks(const FolderNode& node) const {
    FileTicks t;
    if (const auto* files = node.dataAs<FatFolderFiles>())
        for (const auto& r : files->files) {
            ++t.files;
            if (r->selected) ++t.ticked;
        }
    return t;
}

std::string FatPageModel::rowName(size_t row) const {
    const FatFoundFile* r = rowRecord(row);
    return r ? r->nameText() : std::string();
}

uint64_t FatPageModel::rowSize(size_t row) const {
    const FatFoundFile* r = rowRecord(row);
    return r ? r->size : 0;
}

bool FatPageModel::rowDeleted(size_t row) const {
    const FatFoundFile* r = rowRecord(row);
    return r && (r->deleted || r->inDeletedFolder);
}

const char* FatPageModel::scanTitle() const {
    return mode_ == kFatPageModeFormatted ? kFatScanFormattedTitle : kFatScanDeletedTitle;
}

FatScanOptions FatPageModel::scanOptions(const std::string& pathFilter, const std::string& ownMask,
                                         int fileTypeGroup, uint32_t rangeStart, uint32_t rangeEnd,
                                         uint32_t partitionStart) const {
    FatScanOptions o;
    o.pathFilter = pathFilter;
    o.maskText = FatMaskTextForType(fileTypeGroup, kind_, ownMask);
    o.fileTypeGroup = fileTypeGroup;
    if (rangeEnd != 0) {
        o.rangeStart = rangeStart > partitionStart ? rangeStart - partitionStart : 0;
        o.rangeEnd = rangeEnd > partitionStart ? rangeEnd - partitionStart : 0;
    }
    return o;
}

void FatPageModel::scanFinished() {
    FolderNode* node = tree_.selected() ? tree_.selected() : tree_.root();
    selectFolder(node);
    recountSelection();
}

void FatPageModel::selectFolder(FolderNode* node) {
    selectedFolder_ = node;
    tree_.select(node);
    viewMode_ = FatViewMode::Details;
    rebuildRows();
    folderTotals_ = CountBelow(node);
}

void FatPageModel::rebuildRows() {
    rows_.clear();
    ++listGeneration_;
    sortColumn_ = -1;
    const auto* files = selectedFolder_ ? selectedFolder_->dataAs<FatFolderFiles>() : nullptr;
    if (!files) return;
    for (const auto& rec : files->files) {
        if (filterOn_ && !passesFilter(*rec)) continue;
        rows_.push_back({rec.get(), rows_.size()});
    }
}

std::string FatPageModel::cellText(size_t row, int column) const {
    const FatFoundFile* r = rowRecord(row);
    if (!r) return {};
    switch (column) {
        case kFatColName: return r->nameText();
        case kFatColSize: return FatSizeText(r->size);
        case kFatColType: return typeName(*r);
        case kFatColAttributes: return r->attributesText();
        case kFatColModified: return FatDateTimeText(r->writeDate, r->writeTime);
        case kFatColCreated: return FatDateTimeText(r->creationDate, r->creationTime);
        case kFatColAccessed: return FatAccessDateText(r->accessDate);
        default: return {};
    }
}

bool FatPageModel::rowChecked(size_t row) const {
    const FatFoundFile* r = rowRecord(row);
    return r && r->selected != 0;
}

DataCondition FatPageModel::rowCondition(size_t row) const {
    const FatFoundFile* r = rowRecord(row);
    return r ? r->condition : DataCondition::Unknown;
}

size_t FatPageModel::rowOf(const FatFoundFile* record) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].record == record) return i;
    return rows_.size();
}

bool FatPageModel::passesFilter(const FatFoundFile& r) const {
    return MatchesCriteria(filter_, r.extText(), r.nameText(), r.size, r.creationDate);
}

bool FatPageModel::setFilterEnabled(bool on) {
    filterOn_ = on;
    if (!filter_.anySet()) return false;
    rebuildRows();
    return true;
}

void FatPageModel::filterEdited() { rebuildRows(); }

void FatPageModel::sortByHeader(int column) {
    if (column < 0 || column >= kFatColumnCount) return;
    const bool descending = nextDescending_[static_cast<size_t>(column)];
    nextDescending_[static_cast<size_t>(column)] = !descending;
    sort(column, descending);
}

void FatPageModel::sort(int column, bool descending) {
    if (column < 0 || column >= kFatColumnCount) return;
    // The type names come from the shell; ask once per row, not per comparison.
    std::vector<std::pair<Row, std::string>> keyed;
    keyed.reserve(rows_.size());
    for (const Row& r : rows_) keyed.emplace_back(r, column == kFatColType ? typeName(*r.record) : std::string());
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        const int c = CompareFatRecords(*a.first.record, *b.first.record, column, a.second, b.second);
        return descending ? c > 0 : c < 0;
    });
    for (size_t i = 0; i < rows_.size(); ++i) rows_[i] = keyed[i].first;
    sortColumn_ = column;
    sortDescending_ = descending;
}

namespace {

bool HasSelectedRecord(const FolderNode* node) {
    const auto* files = node->dataAs<FatFolderFiles>();
    if (!files) return false;
    for (const auto& r : files->files)
        if (r->selected) return true;
    return false;
}

bool HasCheckedChild(const FolderNode* node) {
    for (const auto& c : node->children())
        if (c->checked) return true;
    return false;
}

}  // namespace

bool FatPageModel::setRowChecked(size_t row, bool on) {
    FatFoundFile* r = rowRecord(row);
    if (!r || !selectedFolder_) return false;
    setFileChecked(selectedFolder_, r, on);
    return true;
}

void FatPageModel::setFileChecked(FolderNode* node, FatFoundFile* record, bool on) {
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

void FatPageModel::setFolderChecked(FolderNode* node, bool on) {
    if (!node) return;
    std::deque<FolderNode*> queue{node};
    while (!queue.empty()) {
        FolderNode* n = queue.front();
        queue.pop_front();
        n->checked = on;
        if (auto* files = n->dataAs<FatFolderFiles>())
            for (auto& r : files->files) r->selected = on ? 1 : 0;
        for (const auto& c : n->children()) queue.push_back(c.get());
    }
    propagateUp(node);
    recountSelection();
}

void FatPageModel::checkAll(bool on) { setFolderChecked(tree_.root(), on); }

void FatPageModel::propagateUp(FolderNode* node) {
    if (node->checked) {
        for (FolderNode* p = node->parent(); p; p = p->parent()) p->checked = true;
        return;
    }
    for (FolderNode* p = node->parent(); p; p = p->parent()) {
        if (HasCheckedChild(p) || HasSelectedRecord(p)) break;
        p->checked = false;
    }
}

FatTotals FatPageModel::CountBelow(const FolderNode* node) {
    FatTotals t;
    if (!node) return t;
    std::vector<const FolderNode*> stack{node};
    while (!stack.empty()) {
        const FolderNode* n = stack.back();
        stack.pop_back();
        if (const auto* files = n->dataAs<FatFolderFiles>()) {
            t.files += static_cast<uint32_t>(files->files.size());
            for (const auto& r : files->files) t.bytes += r->size;
        }
        for (const auto& c : n->children()) stack.push_back(c.get());
    }
    return t;
}

FatTotals FatPageModel::selectionTotals() const {
    if (selectionStale_) {
        selectionTotals_ = countSelected();
        selectionStale_ = false;
    }
    return selectionTotals_;
}

FatTotals FatPageModel::countSelected() const {
    FatTotals t;
    tree_.walk([&](FolderNode& n) {
        if (const auto* files = n.dataAs<FatFolderFiles>())
            for (const auto& r : files->files)
                if (r->selected) {
                    ++t.files;
                    t.bytes += r->size;
                }
        return true;
    });
    return t;
}

bool FatPageModel::setViewMode(FatViewMode mode) {
    viewMode_ = mode;
    return mode == FatViewMode::Thumbnails && !thumbnailsCurrent() && !rows_.empty();
}

bool FatPageModel::canRecover() const { return tree_.root() && tree_.root()->checked; }

DestinationCheck FatPageModel::checkDestination(const std::string& destination,
                                                const PartitionRecord& scanned) const {
    if (!canRecover()) return DestinationCheck::NothingChecked;
    if (DestinationOnScannedVolume(destination, scanned)) return DestinationCheck::SameVolume;
    return DestinationCheck::Ok;
}

void FatPageModel::setTypeNameProvider(TypeNameProvider provider) { typeNames_ = std::move(provider); }

std::string FatPageModel::typeName(const FatFoundFile& record) const {
    return typeNames_ ? typeNames_(record.nameText()) : DefaultFileTypeName(record.nameText());
}

}  // namespace vantor
