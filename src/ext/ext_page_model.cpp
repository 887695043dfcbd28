#include "ext/ext_page_model.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unordered_map>

#include "dialogs/destination.h"
#include "dialogs/preview.h"
#include "platform/codepage.h"
#include "platform/time_util.h"

namespace vantor {

namespace {

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

ExtNodeFiles* FilesOf(const FolderNode* node) { return node ? node->dataAs<ExtNodeFiles>() : nullptr; }

}  // namespace

std::string ExtSizeText(uint64_t size) {
    char text[48];
    const double v = static_cast<double>(size);
    if (size < 1024) std::snprintf(text, sizeof text, "%u B", static_cast<unsigned>(size));
    else if (size <= 0xFFFFF) std::snprintf(text, sizeof text, "%5.2f KB", v / 1024.0);
    else if (size > 0x3FFFFFFF) std::snprintf(text, sizeof text, "%5.2f GB", v / 1073741824.0);
    else std::snprintf(text, sizeof text, "%5.2f MB", v / 1048576.0);
    return text;
}

std::string ExtAttributesText(uint16_t mode) {
    std::string s = "------";
    const char letters[] = "rwxrwx";
    for (int i = 0; i < 6; ++i)
        if (mode & (0x100 >> i)) s[static_cast<size_t>(i)] = letters[i];
    return s;
}

std::string ExtTimeText(uint32_t unixTime) {
    if (unixTime == 0) return {};
    SystemTime t{};
    if (!FileTimeToSystemTime(FileTimeToLocalFileTime(UnixToFileTime(unixTime)), t)) return {};
    char text[48];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string ExtListName(const ExtFoundFile& record) {
    if (record.nameSource != ExtNameSource::None) return record.nameText();
    char text[32];
    std::snprintf(text, sizeof text, "inode(%08X)", record.inodeNumber);
    return text;
}

ExtPageModel::ExtPageModel() : typeNamer_(DefaultFileTypeName) {
    filter_.date = DosDateFromUnix(static_cast<int64_t>(std::time(nullptr)));
    nextDescending_.fill(true);
}

void ExtPageModel::setTypeNamer(std::function<std::string(const std::string&)> namer) {
    typeNamer_ = namer ? std::move(namer) : DefaultFileTypeName;
}

const char* ExtPageModel::nothingCheckedText() const { return kCheckFilesText; }
size_t ExtPageModel::dumpBytes() const { return kExtDumpBytes; }

std::string ExtPageModel::summaryText(int line) const {
    const Totals t = line == 0 ? listTotals() : selection_;
    return FilesTotalText(t.files, t.bytes);
}

void ExtPageModel::reset() {
    tree_.clear();
    rows_.clear();
    found_ = 0;
    selection_ = {};
    if (listener_) {
        listener_->rowsReset();
        listener_->totalsChanged();
    }
}

void ExtPageModel::build(const std::string& fileSystem, const std::string& label,
                         const std::vector<std::unique_ptr<ExtFoundFile>>& records) {
    reset();
    nextDescending_.fill(true);
    sortDescending_ = false;
    FolderNode* root = tree_.setRoot(fileSystem + "( " + label + " )", kExtRootImage, kExtRootImage);
    root->data = std::make_unique<ExtNodeFiles>();
    std::unordered_map<std::string, FolderNode*> folders{{"", root}};
    std::vector<ExtFoundFile*> lost;
    for (const auto& r : records) {
        r->selected = 0;
        ++found_;
        if (!r->folderKnown) {
            lost.push_back(r.get());
            continue;
        }
        auto it = folders.find(r->folderPath);
        if (it == folders.end()) {
            // Make each missing folder of the path, top down.
            FolderNode* node = root;
            size_t start = 0;
            while (start <= r->folderPath.size()) {
                size_t slash = r->folderPath.find('/', start);
                if (slash == std::string::npos) slash = r->folderPath.size();
                const std::string prefix = r->folderPath.substr(0, slash);
                auto [at, fresh] = folders.try_emplace(prefix, nullptr);
                if (fresh) {
                    at->second = node->appendChild(r->folderPath.substr(start, slash - start), kExtFolderImage,
                                                   kExtFolderOpenImage);
                    at->second->data = std::make_unique<ExtNodeFiles>();
                }
                node = at->second;
                start = slash + 1;
            }
            it = folders.find(r->folderPath);
        }
        FilesOf(it->second)->files.push_back(r.get());
        if (r->nameSource == ExtNameSource::DeletedFolder && it->second != root) {
            it->second->image = kExtDeletedFolderImage;
            it->second->selectedImage = kExtDeletedFolderOpenImage;
        }
    }
    FolderNode* lostNode = root->appendChild(kExtLostFilesText, kExtFolderImage, kExtFolderOpenImage);
    auto lostFiles = std::make_unique<ExtNodeFiles>();
    lostFiles->files = std::move(lost);
    lostNode->data = std::move(lostFiles);
    root->expanded = true;
    // "Lost files" is listed first unless the names put every file in a folder.
    selectFolder(FilesOf(lostNode)->files.empty() ? root : lostNode);
    if (listener_) listener_->totalsChanged();
}

void ExtPageModel::selectFolder(FolderNode* node) {
    tree_.select(node);
    viewMode_ = ResultViewMode::Details;
    rebuildRows();
}

void ExtPageModel::rebuildRows() {
    rows_.clear();
    if (const ExtNodeFiles* files = FilesOf(tree_.selected()))
        for (ExtFoundFile* f : files->files)
            if (!filterOn_ || passesFilter(*f)) rows_.push_back({f, rows_.size()});
    if (listener_) {
        listener_->rowsReset();
        listener_->totalsChanged();
    }
}

ExtPageModel::Totals ExtPageModel::listTotals() const {
    Totals t;
    for (const Row& r : rows_) {
        ++t.files;
        t.bytes += r.record->size();
    }
    return t;
}

FileTicks ExtPageModel::ownTicks(const FolderNode& node) const {
    const ExtNodeFiles* files = FilesOf(&node);
    return files ? FileTicks{files->files.size(), files->ticked} : FileTicks{};
}

std::string ExtPageModel::typeName(const ExtFoundFile& record) const { return typeNamer_(record.nameText()); }

std::string ExtPageModel::cellText(size_t row, int column) const {
    const ExtFoundFile* r = rowRecord(row);
    if (!r) return {};
    const ExtInodeView v = r->view();
    switch (column) {
        case 0: return ExtListName(*r);
        case 1: return ExtSizeText(v.size());
        case 2: return typeName(*r);
        case 3: return ExtAttributesText(v.mode());
        case 4: return ExtTimeText(v.mtime());
        case 5: return ExtTimeText(v.ctime());
        case 6: return ExtTimeText(v.atime());
        default: return {};
    }
}

std::string ExtPageModel::rowName(size_t row) const {
    const ExtFoundFile* r = rowRecord(row);
    return r ? r->nameText() : std::string();
}

uint64_t ExtPageModel::rowSize(size_t row) const {
    const ExtFoundFile* r = rowRecord(row);
    return r ? r->size() : 0;
}

bool ExtPageModel::rowChecked(size_t row) const {
    const ExtFoundFile* r = rowRecord(row);
    return r && r->selected != 0;
}

DataCondition ExtPageModel::rowCondition(size_t row) const {
    const ExtFoundFile* r = rowRecord(row);
    return r ? r->condition : DataCondition::Unknown;
}

void ExtPageModel::sortByHeader(int column) {
    if (column < 0 || static_cast<size_t>(column) >= kResultColumnCount) return;
    const bool descending = nextDescending_[static_cast<size_t>(column)];
    nextDescending_[static_cast<size_t>(column)] = !descending;
    sort(column, descending);
}

void ExtPageModel::sort(int column, bool descending) {
    if (column < 0 || static_cast<size_t>(column) >= kResultColumnCount) return;
    struct Keyed {
        Row row;
        std::string text;  // lowered name or type name, asked once per row
        uint64_t number;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows_.size());
    for (const Row& r : rows_) {
        const ExtInodeView v = r.record->view();
        Keyed k{r, {}, 0};
        switch (column) {
            case 0: k.text = AsciiLower(r.record->nameText()); break;
            case 1: k.number = v.size(); break;
            case 2: k.text = typeName(*r.record); break;
            case 3: k.number = v.mode(); break;
            case 4: k.number = v.mtime(); break;
            case 5: k.number = v.ctime(); break;
            default: k.number = v.atime(); break;
        }
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

bool ExtPageModel::setFilterEnabled(bool on) {
    filterOn_ = on;
    rebuildRows();
    return true;
}

bool ExtPageModel::passesFilter(const ExtFoundFile& r) const {
    return ExtensionPassesSubstring(filter_, r.extensionText()) &&
           DatePasses(filter_, DosDateFromUnix(r.view().ctime())) && SizePasses(filter_, r.size()) &&
           NamePasses(filter_, r.nameText());
}

bool ExtPageModel::setViewMode(ResultViewMode mode) {
    viewMode_ = mode;
    return mode == ResultViewMode::Thumbnails && !rows_.empty();
}

void ExtPageModel::setSelected(ExtNodeFiles& files, ExtFoundFile& record, bool on) {
    if ((record.selected != 0) == on) return;
    record.selected = on ? 1 : 0;
    const uint64_t size = record.size();
    if (on) {
        ++files.ticked;
        ++selection_.files;
        selection_.bytes += size;
    } else {
        --files.ticked;
        --selection_.files;
        selection_.bytes -= size;
    }
}

void ExtPageModel::setMark(FolderNode* node, bool on) {
    if (node->checked == on) return;
    node->checked = on;
    if (ExtNodeFiles* parent = FilesOf(node->parent())) {
        if (on) ++parent->checkedChildren;
        else --parent->checkedChildren;
    }
}

bool ExtPageModel::holdsChecked(const FolderNode& node) {
    const ExtNodeFiles* files = FilesOf(&node);
    return files && (files->ticked > 0 || files->checkedChildren > 0);
}

void ExtPageModel::updateAncestors(FolderNode* node) {
    for (FolderNode* a = node ? node->parent() : nullptr; a; a = a->parent()) {
        const bool marked = holdsChecked(*a);
        if (a->checked == marked) break;  // nothing above changes
        setMark(a, marked);
    }
}

void ExtPageModel::checksDone() {
    if (listener_) {
        listener_->checksChanged();
        listener_->totalsChanged();
    }
}

void ExtPageModel::setFileChecked(FolderNode* node, ExtFoundFile* record, bool on) {
    ExtNodeFiles* files = FilesOf(node);
    if (!files || !record) return;
    setSelected(*files, *record, on);
    setMark(node, holdsChecked(*node));
    updateAncestors(node);
    checksDone();
}

bool ExtPageModel::setRowChecked(size_t row, bool on) {
    ExtFoundFile* r = rowRecord(row);
    if (!r) return false;
    setFileChecked(tree_.selected(), r, on);
    return true;
}

void ExtPageModel::setFolderChecked(FolderNode* node, bool on) {
    if (!node) return;
    // Iterative: a hostile image can nest folders deeply.
    std::vector<FolderNode*> stack{node};
    while (!stack.empty()) {
        FolderNode* n = stack.back();
        stack.pop_back();
        setMark(n, on);
        if (ExtNodeFiles* files = FilesOf(n))
            for (ExtFoundFile* f : files->files) setSelected(*files, *f, on);
        for (const auto& c : n->children()) stack.push_back(c.get());
    }
    updateAncestors(node);
    checksDone();
}

}  // namespace vantor
