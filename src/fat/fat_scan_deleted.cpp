// The deleted-file scan: a breadth-first walk of the directory tree from the
// root, following live and deleted folders.
#include <cstdio>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "fat/fat_dirent.h"
#include "fat/fat_scan.h"
#include "fat/fat_writer.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

// A directory holds at most 65536 entries; longer chains are damage.
constexpr uint64_t kMaxDirectoryBytes = 65536ull * 32;
// Bounds the tree a hostile image can make us build.
constexpr size_t kMaxFolders = 1u << 20;

struct Pending {
    uint32_t cluster = 0;
    FolderNode* node = nullptr;
    bool live = true;
    uint32_t depth = 0;  // the root is 0
};

bool isDotEntry(const FatDirEntry& e) {
    const uint8_t b1 = readU8(e.raw, 1);
    return e.first() == '.' && (b1 == ' ' || (b1 == '.' && readU8(e.raw, 2) == ' '));
}

class DeletedScan {
public:
    DeletedScan(const CFatVolume& v, FolderTree& t, const FilterCriteria* c, ProgressFields& p,
                const std::atomic<bool>& r, const FatScanOptions& o)
        : vol_(v), tree_(t), criteria_(c), progress_(p), running_(r),
          rules_(FatEntryRules::ForVolume(v, o.currentYear)),
          components_(ParseFatPathFilter(o.pathFilter)), masks_(ParseFatMaskText(o.maskText)) {}

    FatScanResult run();

private:
    bool readFolder(const Pending& folder, const std::string* component);
    // Returns false when the rest of the folder is to be abandoned.
    bool decodeCluster(ByteSpan data, const Pending& folder, const std::string* component, bool& queued);
    void folderEntry(const FatDirEntry& e, const Pending& folder, const std::string* component, bool& queued);
    void fileEntry(const FatDirEntry& e, const Pending& folder);
    uint32_t deletedFat32Cluster(const FatDirEntry& e, const Pending& folder);
    bool sectorOf(uint32_t cluster, std::vector<std::byte>& sector);

    const CFatVolume& vol_;
    FolderTree& tree_;
    const FilterCriteria* criteria_;
    ProgressFields& progress_;
    const std::atomic<bool>& running_;
    FatEntryRules rules_;
    std::vector<std::string> components_;
    std::vector<FatNameMask> masks_;

    std::deque<Pending> queue_;
    std::unordered_map<uint32_t, size_t> pendingByCluster_;  // cluster -> serial of the queued folder
    std::unordered_map<size_t, Pending*> pendingBySerial_;
    size_t nextSerial_ = 0;
    std::deque<size_t> serials_;
    std::unordered_set<uint64_t> read_;  // cluster x 2 + live: each folder is read once per kind
    size_t folderCount_ = 0;
    FatFolderFiles* current_ = nullptr;
    FatLongNameAccumulator lfn_;
    FatScanResult result_;
    std::vector<std::byte> buffer_;
};

FatScanResult DeletedScan::run() {
    progress_.setText("Found Deleted Files : 0");
    progress_.m_nProgressTotal.store(vol_.progressEstimate());
    progress_.m_nProgressPos.store(0);

    FolderNode* root = tree_.setRoot(vol_.rootNodeText(), kFatImageRoot, kFatImageRoot);
    queue_.push_back({vol_.rootCluster(), root, true, 0});
    serials_.push_back(nextSerial_);
    pendingBySerial_[nextSerial_] = &queue_.back();
    pendingByCluster_[vol_.rootCluster()] = nextSerial_++;
    folderCount_ = 1;

    size_t index = 0;
    while (!queue_.empty()) {
        if (!running_.load()) {
            result_.stopped = true;
            break;
        }
        const std::string* component = index < components_.size() ? &components_[index] : nullptr;
        ++index;
        Pending folder = queue_.front();
        // The head leaves the lookup first: names seen while reading it must
        // not rename the folder being read.
        pendingBySerial_.erase(serials_.front());
        if (auto it = pendingByCluster_.find(folder.cluster); it != pendingByCluster_.end() && it->second == serials_.front())
            pendingByCluster_.erase(it);
        const bool ok = readFolder(folder, component);
        queue_.pop_front();
        serials_.pop_front();
        if (!ok) return result_;  // a directory read failed: tree kept as it is, not pruned
    }
    FinishFatTree(tree_);
    result_.ok = true;
    return result_;
}

bool DeletedScan::sectorOf(uint32_t cluster, std::vector<std::byte>& sector) {
    sector.assign(vol_.bytesPerSector(), std::byte{0});
    return vol_.readVolume(vol_.clusterOffset(cluster), sector) == kSuccess;
}

bool DeletedScan::readFolder(const Pending& folder, const std::string* component) {
    auto files = std::make_unique<FatFolderFiles>();
    current_ = files.get();
    folder.node->data = std::move(files);
    if (folder.node != tree_.root()) {
        folder.node->image = folder.live ? kFatImageLive : kFatImageDeleted;
        folder.node->selectedImage = folder.live ? kFatImageLiveSelected : kFatImageDeletedSelected;
    }
    if (folder.live) progress_.m_nProgressPos.fetch_add(1);
    read_.insert(uint64_t{folder.cluster} * 2 + (folder.live ? 1 : 0));
    ++result_.folders;
    lfn_.clear();

    std::vector<uint32_t> clusters;
    if (vol_.kind() == FatKind::Fat16 && folder.cluster == 1) {
        clusters.push_back(1);
    } else if (folder.live) {
        clusters = vol_.chain(folder.cluster, static_cast<size_t>(kMaxDirectoryBytes / vol_.clusterBytes() + 1));
    } else {
        clusters.push_back(folder.cluster);  // a deleted folder's chain is gone
    }
    bool queued = false;
    for (uint32_t c : clusters) {
        if (!running_.load()) break;
        const size_t bytes = (vol_.kind() == FatKind::Fat16 && c == 1) ? vol_.rootDirectoryBytes() : vol_.clusterBytes();
        buffer_.resize(bytes);
        ErrorCode err = vol_.readClusters(c, 1, buffer_);
        if (err != kSuccess) {
            result_.error = err;
            return false;
        }
        if (!decodeCluster(buffer_, folder, component, queued)) break;
    }
    return true;
}

bool DeletedScan::decodeCluster(ByteSpan data, const Pending& folder, const std::string* component,
                                bool& queued) {
    const size_t count = data.size() / kFatEntrySize;
    const size_t start = FatStartsWithDotEntries(data) ? 2 : 0;
    for (size_t i = start; i < count; ++i) {
        if (!running_.load()) return false;
        const FatDirEntry e{data.subspan(i * kFatEntrySize, kFatEntrySize)};
        if (e.first() == 0) {
            lfn_.clear();
            continue;
        }
        if (e.attr() == kFatAttrVolumeLabel) {
            lfn_.clear();
            continue;
        }
        if (e.isLongName()) {
            lfn_.add(e);
            continue;
        }
        if (!FatShortEntryValid(e, !lfn_.empty(), rules_)) {
            lfn_.clear();
            continue;
        }
        if (e.isDirectory()) {
            folderEntry(e, folder, component, queued);
            if (queued) return false;  // the path filter's folder was found
        } else if (!component) {
            fileEntry(e, folder);
        }
        lfn_.clear();
    }
    return true;
}

uint32_t DeletedScan::deletedFat32Cluster(const FatDirEntry& e, const Pending& folder) {
    std::vector<std::byte> sector;
    if (e.highWord() != 0) {
        const uint32_t c = e.firstCluster(FatKind::Fat32);
        if (c < 2 || c > vol_.lastCluster() || !sectorOf(c, sector)) return 0;
        return FatIsDirectorySector(sector, rules_) ? c : 0;
    }
    // The high word was cleared: find the cluster whose "." and ".." say it
    // is a child of the folder being read.
    const uint32_t parentRef = folder.cluster == vol_.rootCluster() ? 0 : folder.cluster;
    // Every high word a cluster of this volume can have, the last partial
    // block of 65536 clusters included.
    const uint32_t limit = rules_.maxHighWord();
    for (uint32_t h = 0; h <= limit && h <= 0xFFFF; ++h) {
        const uint32_t c = (h << 16) | e.lowWord();
        if (c > vol_.lastCluster()) break;
        if (c < 2 || !sectorOf(c, sector)) continue;
        if (!FatIsDirectorySector(sector, rules_) || !FatStartsWithDotEntries(sector)) continue;
        const uint32_t up = FatDotDotCluster(sector, FatKind::Fat32);
        if (up == parentRef || (parentRef == 0 && up == vol_.rootCluster())) return c;
    }
    return 0;
}

void DeletedScan::folderEntry(const FatDirEntry& e, const Pending& folder, const std::string* component,
                              bool& queued) {
    if (isDotEntry(e)) return;
    const std::string name = FatFolderName(e, lfn_.text());
    if (component && AsciiLower(name) != *component) return;

    uint32_t cluster;
    if (vol_.kind() == FatKind::Fat32 && e.deleted()) cluster = deletedFat32Cluster(e, folder);
    else cluster = e.firstCluster(vol_.kind());
    if (cluster < 2 || cluster > vol_.lastCluster()) return;

    const bool live = folder.live && !e.deleted();
    auto it = pendingByCluster_.find(cluster);
    auto ps = it != pendingByCluster_.end() ? pendingBySerial_.find(it->second) : pendingBySerial_.end();
    if (ps != pendingBySerial_.end()) {
        Pending* p = ps->second;
        const bool renames = !p->live && (vol_.kind() == FatKind::Fat32 || e.deleted());
        if (renames) {
            p->node->text = name;
            p->live = live;
            return;
        }
        if (p->live || live == p->live) return;  // already waiting to be read
    }
    // Each cluster is read at most once as a live and once as a deleted
    // folder, so a directory that names an ancestor cannot loop the walk.
    if (read_.count(uint64_t{cluster} * 2 + (live ? 1 : 0))) return;
    if (folderCount_ >= kMaxFolders || folder.depth >= kFatMaxFolderDepth) return;
    ++folderCount_;
    FolderNode* node = folder.node->appendChild(name, kFatImageRoot, kFatImageRoot);
    queue_.push_back({cluster, node, live, folder.depth + 1});
    serials_.push_back(nextSerial_);
    pendingBySerial_[nextSerial_] = &queue_.back();
    pendingByCluster_[cluster] = nextSerial_++;
    if (component) queued = true;
}

void DeletedScan::fileEntry(const FatDirEntry& e, const Pending& folder) {
    if (folder.live && !e.deleted()) {
        const uint64_t cb = vol_.clusterBytes();
        const uint64_t n = (uint64_t{e.size()} + cb - 1) / cb;
        if (n < 4) progress_.m_nProgressPos.fetch_add(static_cast<uint32_t>(n));
        return;
    }
    std::string lowerName, lowerExt;
    auto rec = MakeFatFoundFile(e, lfn_.text(), vol_.kind(), &lowerName, &lowerExt);
    if (!FatMasksMatch(masks_, lowerName, lowerExt)) return;
    rec->origin = FatRecordOrigin::DeletedScan;
    rec->inDeletedFolder = !folder.live;
    rec->condition = FatDataCondition(vol_, *rec);
    ++result_.recordsMade;
    char text[64];
    std::snprintf(text, sizeof(text), "Found Deleted Files : %u", result_.recordsMade);
    progress_.setText(text);
    if (criteria_ && !MatchesCriteria(*criteria_, rec->extText(), rec->nameText(), rec->size, rec->creationDate))
        return;
    current_->append(std::move(rec));
    ++result_.recordsListed;
}

}  // namespace

FatScanResult ScanDeleted(const CFatVolume& volume, FolderTree& tree, const FilterCriteria* criteria,
                          ProgressFields& progress, const std::atomic<bool>& running,
                          const FatScanOptions& options) {
    if (!volume.opened()) {
        FatScanResult r;
        r.error = volume.openError() ? volume.openError() : kErrInvalidDrive;
        return r;
    }
    DeletedScan scan(volume, tree, criteria, progress, running, options);
    return scan.run();
}

}  // namespace vantor
