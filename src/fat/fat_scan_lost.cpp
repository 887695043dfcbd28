// The lost-folder scan: reads a cluster range straight on, keeps the
// clusters that look like directories, then rebuilds folders from them,
// parents before children.
#include <cstdio>
#include <deque>
#include <string_view>
#include <unordered_map>

#include "fat/fat_dirent.h"
#include "fat/fat_scan.h"
#include "fat/fat_writer.h"

namespace vantor {

namespace {

// Sequential reads of at least this much keep a drive streaming.
constexpr uint64_t kPassOneReadBytes = 4u << 20;
// Bounds what a hostile image full of directory-like clusters can make us hold.
constexpr size_t kMaxCandidates = 1u << 22;

struct Candidate {
    uint32_t cluster = 0;
    uint32_t clusters = 1;
    FolderNode* parent = nullptr;
    std::string name;
    bool queued = true;
};

constexpr std::string_view kPictureExts[] = {"jpg", "bmp", "gif", "png", "mng", "ico", "tif", "tga", "pcx",
                                             "wbmp", "wmf", "j2k", "jbg", "jp2", "jpc", "pgx", "pnm", "ras"};
constexpr std::string_view kMailExts[] = {"dbx", "box", "pst"};

template <size_t N>
bool inList(const std::string_view (&list)[N], const std::string& ext) {
    for (auto x : list)
        if (x == ext) return true;
    return false;
}

uint32_t clusterOfSector(const CFatVolume& v, uint64_t s) {
    const uint64_t metaEnd = v.metaEndSector();
    const uint64_t spc = v.sectorsPerCluster();
    if (v.kind() == FatKind::Fat16) {
        const uint64_t rootSectors = (uint64_t{v.rootDirectoryBytes()} + v.bytesPerSector() - 1) / v.bytesPerSector();
        if (s < metaEnd + rootSectors) return 1;
        const uint64_t c = 2 + (s - metaEnd - rootSectors) / spc;
        return c > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(c);
    }
    const uint64_t rootStart = metaEnd + spc * (v.rootCluster() - 2);
    if (s < rootStart) return v.rootCluster();
    const uint64_t c = v.rootCluster() + (s - rootStart) / spc;
    return c > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(c);
}

class LostScan {
public:
    LostScan(const CFatVolume& v, FolderTree& t, const FilterCriteria* c, ProgressFields& p,
             const std::atomic<bool>& r, const FatScanOptions& o)
        : vol_(v), tree_(t), criteria_(c), progress_(p), running_(r), options_(o),
          rules_(FatEntryRules::ForVolume(v, o.currentYear)) {}

    FatScanResult run();

private:
    bool passOne(uint32_t first, uint32_t last);
    bool passTwo();
    void decodeFolder(ByteSpan data, size_t startEntry, FolderNode* node, FatFolderFiles& files);
    bool listed(const FatFoundFile& rec) const;
    void test(ByteSpan cluster, uint32_t c);

    const CFatVolume& vol_;
    FolderTree& tree_;
    const FilterCriteria* criteria_;
    ProgressFields& progress_;
    const std::atomic<bool>& running_;
    FatScanOptions options_;
    FatEntryRules rules_;
    FolderNode* root_ = nullptr;
    FolderNode* lost_ = nullptr;
    std::vector<Candidate> candidates_;
    std::unordered_map<uint32_t, size_t> byCluster_;  // first cluster -> candidate
    std::unordered_map<uint32_t, uint32_t> queuedClusters_;
    std::unordered_map<const FolderNode*, uint32_t> depths_;  // of every folder built
    uint32_t lastStart_ = 0;
    bool haveLastStart_ = false;
    uint32_t dirCounter_ = 0;
    FatScanResult result_;
};

void LostScan::test(ByteSpan data, uint32_t c) {
    if (!FatIsDirectorySector(data.first(std::min<size_t>(data.size(), vol_.bytesPerSector())), rules_)) return;
    if (!FatStartsWithDotEntries(data) && haveLastStart_ && c == lastStart_ + 1) {
        // A directory's second cluster; a third starts a folder of its own.
        candidates_.back().clusters++;
        return;
    }
    if (candidates_.size() >= kMaxCandidates) return;
    byCluster_[c] = candidates_.size();
    candidates_.push_back({c, 1, root_, {}, true});
    lastStart_ = c;
    haveLastStart_ = true;
}

bool LostScan::passOne(uint32_t first, uint32_t last) {
    progress_.m_nProgressTotal.store(last - first + 1);
    progress_.m_nProgressPos.store(0);
    progress_.setText("Found Folders : 0");
    const uint32_t cb = vol_.clusterBytes();
    std::vector<std::byte> buf;
    uint32_t c = first;
    size_t shown = 0;
    while (c <= last && running_.load()) {
        uint32_t n;
        if (vol_.kind() == FatKind::Fat16 && c == 1) {
            n = 1;
            buf.resize(vol_.rootDirectoryBytes());
        } else {
            const uint64_t want = kPassOneReadBytes / cb > 0 ? kPassOneReadBytes / cb : 1;
            n = static_cast<uint32_t>(std::min<uint64_t>(want, uint64_t{last} - c + 1));
            buf.resize(size_t{n} * cb);
        }
        if (ErrorCode err = vol_.readClusters(c, n, buf); err != kSuccess) {
            result_.error = err;
            return false;
        }
        if (vol_.kind() == FatKind::Fat16 && c == 1) {
            test(buf, 1);
        } else {
            for (uint32_t k = 0; k < n; ++k) test(ByteSpan(buf).subspan(size_t{k} * cb, cb), c + k);
        }
        c += n;
        progress_.m_nProgressPos.store(c - first);
        if (candidates_.size() != shown) {
            shown = candidates_.size();
            char text[48];
            std::snprintf(text, sizeof(text), "Found Folders : %zu", shown);
            progress_.setText(text);
        }
        if (c == 0) break;  // wrapped past the last cluster number
    }
    if (c <= last) result_.stopped = true;
    return true;
}

bool LostScan::listed(const FatFoundFile& rec) const {
    const std::string ext = rec.extText();
    if (options_.fileTypeGroup == kFatTypePictures) return inList(kPictureExts, ext);
    if (options_.fileTypeGroup == kFatTypeMail) return inList(kMailExts, ext);
    return !criteria_ || MatchesCriteria(*criteria_, ext, rec.nameText(), rec.size, rec.creationDate);
}

void LostScan::decodeFolder(ByteSpan data, size_t startEntry, FolderNode* node, FatFolderFiles& files) {
    FatLongNameAccumulator lfn;
    const size_t count = data.size() / kFatEntrySize;
    for (size_t i = startEntry; i < count; ++i) {
        const FatDirEntry e{data.subspan(i * kFatEntrySize, kFatEntrySize)};
        // Formatted volumes leave stale entries behind an end mark: read on.
        if (e.first() == 0 || e.attr() == kFatAttrVolumeLabel) continue;
        if (e.isLongName()) {
            lfn.add(e);
            continue;
        }
        if (!FatShortEntryValid(e, !lfn.empty(), rules_)) continue;
        if (e.isDirectory()) {
            const uint32_t c = e.firstCluster(vol_.kind());
            auto it = byCluster_.find(c);
            if (it != byCluster_.end()) {
                Candidate& cand = candidates_[it->second];
                if (cand.queued) {
                    cand.parent = node;
                    cand.name = FatFolderName(e, lfn.text());
                }
            }
        } else {
            auto rec = MakeFatFoundFile(e, lfn.text(), vol_.kind());
            rec->origin = FatRecordOrigin::LostFolderScan;
            rec->condition = FatDataCondition(vol_, *rec);
            ++result_.recordsMade;
            if (listed(*rec)) {
                files.append(std::move(rec));
                ++result_.recordsListed;
            }
        }
        lfn.clear();
    }
}

bool LostScan::passTwo() {
    const uint32_t total = static_cast<uint32_t>(candidates_.size());
    progress_.m_nProgressTotal.store(total);
    progress_.m_nProgressPos.store(0);
    progress_.setText("");
    std::deque<size_t> queue;
    for (size_t i = 0; i < candidates_.size(); ++i) {
        queue.push_back(i);
        queuedClusters_[candidates_[i].cluster]++;
    }
    std::vector<std::byte> buf;
    size_t movesInARow = 0;
    while (!queue.empty()) {
        const size_t idx = queue.front();
        Candidate& cand = candidates_[idx];
        progress_.m_nProgressPos.store(total - static_cast<uint32_t>(queue.size()));
        const bool root16 = vol_.kind() == FatKind::Fat16 && cand.cluster == 1;
        buf.resize((root16 ? vol_.rootDirectoryBytes() : 0) +
                   size_t{root16 ? cand.clusters - 1 : cand.clusters} * vol_.clusterBytes());
        if (ErrorCode err = vol_.readClusters(cand.cluster, cand.clusters, buf); err != kSuccess) {
            result_.error = err;
            return false;
        }
        size_t start = 0;
        if (FatStartsWithDotEntries(buf)) {
            const uint32_t parent = FatDotDotCluster(buf, vol_.kind());
            auto q = queuedClusters_.find(parent);
            const bool parentWaiting = q != queuedClusters_.end() && q->second > 0 && parent != cand.cluster;
            // Parents are built before their children; when everything left
            // waits on something queued, the head goes ahead anyway.
            if (parentWaiting && movesInARow < queue.size()) {
                queue.pop_front();
                queue.push_back(idx);
                ++movesInARow;
                continue;
            }
            if (parent != 0 && cand.parent == root_) cand.parent = lost_;
            start = 2;
        } else if (cand.cluster > vol_.rootCluster()) {
            cand.parent = lost_;
        }
        movesInARow = 0;
        queue.pop_front();
        cand.queued = false;
        queuedClusters_[cand.cluster]--;
        if (cand.name.empty()) {
            char text[32];
            std::snprintf(text, sizeof(text), "DIR%u", dirCounter_++);
            cand.name = text;
        }
        if (depths_[cand.parent] >= kFatMaxFolderDepth) cand.parent = lost_;
        auto files = std::make_unique<FatFolderFiles>();
        FatFolderFiles& list = *files;
        FolderNode* node = cand.parent->appendChild(cand.name, kFatImageLive, kFatImageLiveSelected);
        depths_[node] = depths_[cand.parent] + 1;
        node->data = std::move(files);
        decodeFolder(buf, start, node, list);
    }
    return true;
}

FatScanResult LostScan::run() {
    root_ = tree_.setRoot(vol_.rootNodeText(), kFatImageRoot, kFatImageRoot);
    root_->data = std::make_unique<FatFolderFiles>();
    lost_ = root_->appendChild(kFatLostDirText, kFatImageLive, kFatImageLiveSelected);
    lost_->data = std::make_unique<FatFolderFiles>();
    depths_[root_] = 0;
    depths_[lost_] = 1;

    uint64_t rangeEnd = options_.rangeEnd;
    if (rangeEnd == 0) rangeEnd = vol_.totalSectors();
    uint32_t first = clusterOfSector(vol_, options_.rangeStart);
    uint32_t last = clusterOfSector(vol_, rangeEnd);
    // Never past the data region, nor past what the device holds.
    if (last > vol_.lastCluster()) last = vol_.lastCluster();
    const uint64_t devBytes = vol_.device() ? vol_.device()->size() : 0;
    const uint64_t partStart = uint64_t{vol_.partitionStart()} * 512;
    if (partStart + vol_.clusterOffset(last) + vol_.clusterBytes() > devBytes) {
        const uint64_t fit = devBytes > partStart ? (devBytes - partStart) / vol_.bytesPerSector() : 0;
        const uint32_t c = clusterOfSector(vol_, fit);
        last = c > 1 ? c - 1 : 0;
        while (last >= first && last > 1 && partStart + vol_.clusterOffset(last) + vol_.clusterBytes() > devBytes)
            --last;
    }
    if (first > last) {
        progress_.m_nProgressTotal.store(0);
        result_.ok = false;
        return result_;
    }
    if (!passOne(first, last)) return result_;
    result_.folders = static_cast<uint32_t>(candidates_.size());
    if (candidates_.empty()) {
        progress_.m_nProgressTotal.store(0);
        progress_.m_nProgressPos.store(0);
        progress_.setText("");
        return result_;
    }
    if (!passTwo()) return result_;
    FinishFatTree(tree_);
    result_.ok = true;
    return result_;
}

}  // namespace

FatScanResult ScanLostFolders(const CFatVolume& volume, FolderTree& tree, const FilterCriteria* criteria,
                              ProgressFields& progress, const std::atomic<bool>& running,
                              const FatScanOptions& options) {
    if (!volume.opened()) {
        FatScanResult r;
        r.error = volume.openError() ? volume.openError() : kErrInvalidDrive;
        return r;
    }
    LostScan scan(volume, tree, criteria, progress, running, options);
    return scan.run();
}

}  // namespace vantor
