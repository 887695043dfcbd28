#include "exfat/exfat_scan.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <unordered_map>
#include <unordered_set>

#include "exfat/exfat_data.h"
#include "fat/fat_scan.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

// Deeper folders than this go to LostDIR (formatted) or are not followed.
constexpr int kMaxDepth = 128;
constexpr size_t kHeapChunk = 8u << 20;

std::string LowerExt(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot - 1 > 19) return {};
    return AsciiLower(name.substr(dot + 1));
}

std::string FoundText(uint32_t n) {
    char text[64];
    std::snprintf(text, sizeof text, "Found Deleted Files :  %u", n);
    return text;
}

struct Collector {
    const CExfatVolume& vol;
    const FilterCriteria* criteria;
    ExfatScanResult result;

    // A record for set, or null when the criteria leave it out or the list is full.
    // live: the set is in use in a folder the current bitmap holds (a live
    // file of the new volume): its clusters are its own.
    std::unique_ptr<ExfatFoundFile> make(const ExfatEntrySet& set, uint64_t offset, bool fatKnown, bool live = false) {
        if (result.files >= kExfatMaxRecords) {
            result.recordsCut = true;
            return nullptr;
        }
        auto r = std::make_unique<ExfatFoundFile>();
        r->set = set;
        r->name = WideToUtf8(set.name);
        r->ext = LowerExt(r->name);
        r->entryOffset = offset;
        r->deleted = !set.inUse;
        r->formatted = !fatKnown && !live;
        if (criteria && !MatchesCriteria(*criteria, r->ext, r->name, r->size(), ExfatDosDate(set.modified)))
            return nullptr;
        r->condition = live ? DataCondition::Intact : LocateExfatData(vol, set, fatKnown).condition;
        ++result.files;
        return r;
    }
};

ExfatFolderFiles* FilesOf(FolderNode* node) { return node->dataAs<ExfatFolderFiles>(); }

FolderNode* AddFolder(FolderNode* parent, const std::string& name, bool deleted) {
    FolderNode* node = parent->appendChild(name, deleted ? kFatImageDeleted : kFatImageLive,
                                           deleted ? kFatImageDeletedSelected : kFatImageLiveSelected);
    auto files = std::make_unique<ExfatFolderFiles>();
    files->deleted = deleted;
    node->data = std::move(files);
    return node;
}

FolderNode* MakeRoot(FolderTree& tree, char letter) {
    tree.clear();
    FolderNode* root = tree.setRoot(ExfatRootText(letter), kFatImageRoot, kFatImageRoot);
    root->data = std::make_unique<ExfatFolderFiles>();
    root->expanded = true;
    tree.select(root);
    return root;
}

// Drops live folders with nothing found at or below them.
bool Prune(FolderNode* node) {
    node->removeChildren([](const FolderNode& child) { return !Prune(const_cast<FolderNode*>(&child)); });
    const auto* files = node->dataAs<ExfatFolderFiles>();
    return node->parent() == nullptr || node->childCount() > 0 || (files && (!files->files.empty() || files->deleted));
}

}  // namespace

std::string ExfatRootText(char driveLetter) {
    char text[48];
    std::snprintf(text, sizeof text, "exFAT - Logical Disk (%c:)", driveLetter);
    return text;
}

ExfatScanResult ScanExfatDeleted(const CExfatVolume& v, FolderTree& tree, const FilterCriteria* criteria,
                                 ProgressFields& progress, std::atomic<bool>& running, char letter) {
    Collector col{v, criteria, {}};
    FolderNode* root = MakeRoot(tree, letter);
    if (!v.opened()) {
        col.result.error = v.openError();
        return col.result;
    }
    struct Dir {
        ExfatEntrySet set;
        FolderNode* node;
        bool deleted;
        int depth;
    };
    std::deque<Dir> queue;
    {
        // The root has no length of its own: its chain gives it.
        std::vector<uint32_t> chain;
        v.walkChain(v.boot().rootCluster, kExfatMaxDirectoryBytes / v.clusterBytes(), chain);
        ExfatEntrySet rootSet;
        rootSet.inUse = true;
        rootSet.firstCluster = v.boot().rootCluster;
        rootSet.dataLength = chain.size() * v.clusterBytes();
        queue.push_back({rootSet, root, false, 0});
    }
    std::unordered_set<uint32_t> seen{v.boot().rootCluster};
    std::vector<std::byte> data, buf;
    uint32_t dirsDone = 0;
    progress.setText(FoundText(0));
    while (!queue.empty()) {
        if (!running.load()) {
            col.result.stopped = true;
            break;
        }
        Dir dir = std::move(queue.front());
        queue.pop_front();
        const ExfatDataLayout layout = LocateExfatData(v, dir.set, true, kExfatMaxDirectoryBytes);
        data.clear();
        data.reserve(static_cast<size_t>(layout.bytes));
        const ErrorCode err = ReadExfatData(v, layout, UINT64_MAX, UINT64_MAX, &running, buf, [&](ByteSpan piece) {
            data.insert(data.end(), piece.begin(), piece.end());
            return kSuccess;
        });
        if (err == kErrCancelled) continue;
        progress.m_nProgressPos.store(++dirsDone);
        const ByteSpan bytes(data);
        auto* files = FilesOf(dir.node);
        for (size_t off = 0; off + 32 <= bytes.size(); off += 32) {
            const uint8_t type = readU8(bytes, off);
            if (type == 0) break;  // end of the directory
            ExfatEntrySet set;
            if (DecodeExfatEntrySet(bytes.subspan(off), set) != ExfatSetStatus::Ok) continue;
            const size_t step = set.bytes() - 32;
            const bool found = dir.deleted || !set.inUse;
            // The entry's place on the volume, for a stable id.
            uint64_t at = 0;
            for (uint64_t base = 0; const ExfatExtent& x : layout.extents) {
                if (off < base + x.length) {
                    at = x.offset + (off - base);
                    break;
                }
                base += x.length;
            }
            if (set.isDirectory()) {
                if (dir.depth + 1 < kMaxDepth && v.validCluster(set.firstCluster) && seen.insert(set.firstCluster).second) {
                    FolderNode* node = AddFolder(dir.node, WideToUtf8(set.name), found);
                    if (found) ++col.result.folders;
                    queue.push_back({set, node, found, dir.depth + 1});
                }
            } else if (found) {
                if (auto r = col.make(set, at, true)) {
                    r->inDeletedFolder = dir.deleted;
                    files->files.push_back(std::move(r));
                    progress.setText(FoundText(col.result.files));
                }
            }
            off += step;
        }
    }
    Prune(root);
    return col.result;
}

ExfatScanResult ScanExfatFormatted(const CExfatVolume& v, FolderTree& tree, const FilterCriteria* criteria,
                                   ProgressFields& progress, std::atomic<bool>& running, char letter) {
    Collector col{v, criteria, {}};
    FolderNode* root = MakeRoot(tree, letter);
    if (!v.opened()) {
        col.result.error = v.openError();
        return col.result;
    }
    struct Found {
        ExfatEntrySet set;
        uint64_t offset;
        uint32_t cluster;  // where the file entry lies
    };
    std::vector<Found> sets;
    const uint64_t cb = v.clusterBytes();
    const uint32_t chunkClusters = static_cast<uint32_t>(std::max<uint64_t>(1, kHeapChunk / cb));
    const uint32_t last = v.lastCluster();
    progress.m_nProgressTotal.store(1000);
    std::vector<std::byte> buf, tail(19 * 32);
    for (uint64_t c = 2; c <= last; c += chunkClusters) {
        if (!running.load()) {
            col.result.stopped = true;
            break;
        }
        const uint64_t n = std::min<uint64_t>(chunkClusters, uint64_t{last} - c + 1);
        buf.resize(static_cast<size_t>(n * cb));
        const uint64_t base = v.clusterOffset(static_cast<uint32_t>(c));
        if (v.readVolume(base, buf) != kSuccess) continue;  // an unreadable stretch holds nothing we can use
        const ByteSpan bytes(buf);
        for (size_t off = 0; off + 32 <= bytes.size(); off += 32) {
            if ((readU8(bytes, off) & 0x7F) != 0x05) continue;
            ExfatEntrySet set;
            ExfatSetStatus st = DecodeExfatEntrySet(bytes.subspan(off), set);
            // A set across the piece's end is read whole.
            if (st == ExfatSetStatus::RunsPast && v.readVolume(base + off, tail) == kSuccess)
                st = DecodeExfatEntrySet(tail, set);
            if (st != ExfatSetStatus::Ok) continue;
            if (sets.size() >= kExfatMaxRecords) {
                col.result.recordsCut = true;
                break;
            }
            sets.push_back({std::move(set), base + off, static_cast<uint32_t>(c + off / cb)});
            off += sets.back().set.bytes() - 32;
        }
        progress.m_nProgressPos.store(static_cast<uint32_t>((c - 2) * 1000 / (uint64_t{last} - 1)));
        progress.setText(FoundText(static_cast<uint32_t>(sets.size())));
    }

    // Which folder each cluster belongs to: a folder entry names its first
    // cluster and length; the old FAT is gone, so the folder is taken contiguous.
    constexpr size_t kRoot = SIZE_MAX - 1, kNone = SIZE_MAX;
    std::unordered_map<uint32_t, size_t> owner, dirOfCluster;
    std::vector<uint32_t> chain;
    v.walkChain(v.boot().rootCluster, kExfatMaxDirectoryBytes / cb, chain);
    for (uint32_t c : chain) owner.emplace(c, kRoot);
    for (size_t i = 0; i < sets.size(); ++i) {
        const ExfatEntrySet& s = sets[i].set;
        if (!s.isDirectory() || !v.validCluster(s.firstCluster)) continue;
        auto [it, fresh] = dirOfCluster.emplace(s.firstCluster, i);
        // Two entries of one folder (a stale deleted one, a live one): the live one names it.
        if (!fresh && s.inUse && !sets[it->second].set.inUse) it->second = i;
    }
    for (const auto& [first, i] : dirOfCluster) {
        const uint64_t count = std::min<uint64_t>((std::min(sets[i].set.dataLength, kExfatMaxDirectoryBytes) + cb - 1) / cb,
                                                  uint64_t{last} - first + 1);
        for (uint64_t k = 0; k < std::max<uint64_t>(count, 1); ++k) owner.emplace(first + static_cast<uint32_t>(k), i);
    }
    auto parentOf = [&](const Found& f) {
        auto it = owner.find(f.cluster);
        return it == owner.end() ? kNone : it->second;
    };

    FolderNode* lost = AddFolder(root, kExfatLostDirText, false);
    // Sets in clusters no known folder owns: one "DIR%u" below LostDIR for
    // each run of such clusters (an unnamed folder).
    std::unordered_map<uint32_t, FolderNode*> lostDirs;
    uint32_t dirCounter = 0;
    auto lostNodeFor = [&](uint32_t cluster) {
        FolderNode*& n = lostDirs[cluster];
        if (!n) {
            auto prev = lostDirs.find(cluster - 1);
            if (prev != lostDirs.end() && prev->second) {
                n = prev->second;
            } else {
                char text[32];
                std::snprintf(text, sizeof text, "DIR%u", dirCounter++);
                n = AddFolder(lost, text, false);
            }
        }
        return n;
    };
    std::unordered_map<size_t, FolderNode*> nodes;
    // Folder nodes top down: the chain of parents is walked up until a folder
    // already placed, the root, no parent (LostDIR) or a cycle.
    auto nodeOf = [&](size_t d) -> FolderNode* {
        std::vector<size_t> path{d};
        FolderNode* top = nullptr;
        while (!top) {
            const size_t p = parentOf(sets[path.back()]);
            if (p == kRoot) top = root;
            else if (p == kNone) top = lostNodeFor(sets[path.back()].cluster);
            else if (path.size() >= kMaxDepth ||
                     std::find(path.begin(), path.end(), p) != path.end()) top = lost;
            else if (auto it = nodes.find(p); it != nodes.end()) top = it->second;
            else path.push_back(p);
        }
        for (size_t k = path.size(); k-- > 0;) {
            const ExfatEntrySet& s = sets[path[k]].set;
            FolderNode*& n = nodes[path[k]];
            if (!n) {
                n = AddFolder(top, WideToUtf8(s.name), !s.inUse);
                ++col.result.folders;
            }
            top = n;
        }
        return top;
    };
    for (size_t i = 0; i < sets.size(); ++i) {
        const ExfatEntrySet& s = sets[i].set;
        if (s.isDirectory() && v.validCluster(s.firstCluster) && dirOfCluster[s.firstCluster] == i) nodeOf(i);
    }
    for (size_t i = 0; i < sets.size(); ++i) {
        const Found& f = sets[i];
        if (f.set.isDirectory()) continue;
        const size_t p = parentOf(f);
        FolderNode* node = p == kRoot ? root : p == kNone ? lostNodeFor(f.cluster) : nodeOf(p);
        if (auto r = col.make(f.set, f.offset, false, f.set.inUse && v.inUse(f.cluster))) {
            r->inDeletedFolder = FilesOf(node)->deleted;
            FilesOf(node)->files.push_back(std::move(r));
        }
    }
    // LostDIR goes when nothing is lost.
    if (lost->childCount() == 0 && FilesOf(lost)->files.empty()) root->removeChild(lost);
    progress.m_nProgressPos.store(1000);
    return col.result;
}

}  // namespace vantor
