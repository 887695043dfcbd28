// The inode-table scan: an inode that is free in its group's bitmap but still
// holds a block map, a size and a deletion time is a deleted file. Names
// come afterwards from the directory entries (live ones and those left in
// the gaps of live entries) that still carry its number.
#include <algorithm>
#include <ctime>
#include <unordered_map>
#include <unordered_set>

#include "ext/ext_dirent.h"
#include "ext/ext_volume.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

constexpr uint64_t kTableRequest = 1u << 20;
// A clock one day fast still finds what was deleted just now.
constexpr int64_t kFutureSlack = 86400;
// Directory data read per folder while naming; real folders are far smaller.
constexpr uint64_t kMaxFolderBytes = 64ull << 20;
constexpr size_t kMaxFolderDepth = 4096;

bool HasBlocks(const ExtInodeView& v) {
    if (v.block(0) == 0) return false;
    // An emptied extent tree keeps its header but holds nothing.
    if (v.usesExtents()) {
        const ExtExtentHeader h = DecodeExtExtentHeader(v.blockArea());
        return h.magic == kExtExtentMagic && h.entries > 0;
    }
    return true;
}

bool IsDeletedFile(const ExtInodeView& v, int64_t now) {
    return HasBlocks(v) && v.size() != 0 && (v.mode() & 0x8000) != 0 && v.dtime() != 0 &&
           int64_t{v.dtime()} <= now + kFutureSlack && v.ctime() != 0 && v.mtime() != 0;
}

bool BitSet(const std::vector<std::byte>& bitmap, uint32_t bit) {
    return (static_cast<uint8_t>(bitmap[bit / 8]) >> (bit % 8)) & 1;
}

std::string ShownName(const std::string& raw) {
    // Ill-formed UTF-8 comes back as U+FFFD; a "?" (what a code page without
    // the character would give) is shown as "_".
    std::string name = WideToMultiByte(MultiByteToWide(raw));
    std::replace(name.begin(), name.end(), '?', '_');
    return name;
}

std::string ExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return AsciiLower(name.substr(dot + 1, 19));
}

}  // namespace

struct CExt2Volume::Folder {
    uint32_t inode = 0;
    std::vector<std::byte> bytes;
    bool deleted = false;
};

ErrorCode CExt2Volume::ScanDeleted(ProgressFields& progress, uint64_t firstBlock, uint64_t lastBlock, int64_t now) {
    found_.clear();
    if (!opened()) return openError();
    const ExtSuperblock& sb = superblock();
    if (firstBlock >= sb.blocksCount) firstBlock = 0;
    if (lastBlock >= sb.blocksCount) lastBlock = sb.blocksCount - 1;
    if (firstBlock > lastBlock) std::swap(firstBlock, lastBlock);
    if (now == 0) now = static_cast<int64_t>(std::time(nullptr));

    progress.setText(ExtFoundProgressText(0));
    progress.m_nProgressTotal.store(sb.inodesCount);
    progress.m_nProgressPos.store(0);

    const uint32_t B = sb.blockSize;
    const uint32_t isz = sb.inodeSize;
    const uint32_t perBlock = B / isz;
    const uint32_t perRequest = std::max<uint32_t>(perBlock, static_cast<uint32_t>(kTableRequest / isz) / perBlock * perBlock);
    std::vector<Folder> folders;
    std::vector<std::byte> bitmap, table;
    ErrorCode lastError = kSuccess;

    auto look = [&](uint32_t n, ByteSpan raw, bool inUse) {
        const ExtInodeView v{raw};
        if (v.isDirectory() && HasBlocks(v) && (inUse ? v.linksCount() > 0 : v.dtime() != 0)) {
            folders.push_back({n, std::vector<std::byte>(raw.begin(), raw.end()), !inUse});
            return;
        }
        if (inUse || !IsDeletedFile(v, now)) return;
        auto rec = std::make_unique<ExtFoundFile>();
        rec->inode.assign(raw.begin(), raw.end());
        rec->inodeNumber = n;
        copyToField(rec->name, sizeof rec->name, "Unknown");
        found_.push_back(std::move(rec));
        progress.setText(ExtFoundProgressText(static_cast<uint32_t>(found_.size())));
    };

    for (uint32_t g = 0; g < sb.groupCount && running(); ++g) {
        const uint64_t base = uint64_t{g} * sb.inodesPerGroup;
        if (g < firstBlock / sb.blocksPerGroup || g > lastBlock / sb.blocksPerGroup) continue;
        if (ReadInodeBitmap(g, bitmap) != kSuccess) continue;
        const uint64_t table0 = group(g).inodeTable;
        // Only the table blocks inside the range are read.
        uint64_t iFirst = 0, iLast = sb.inodesPerGroup;
        if (firstBlock > table0) iFirst = std::min<uint64_t>(iLast, (firstBlock - table0) * perBlock);
        if (lastBlock < table0) iLast = 0;
        else iLast = std::min<uint64_t>(iLast, (lastBlock - table0 + 1) * perBlock);
        iLast = std::min<uint64_t>(iLast, sb.inodesCount - std::min<uint64_t>(base, sb.inodesCount));
        for (uint64_t i0 = iFirst; i0 < iLast && running(); i0 += perRequest) {
            const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(perRequest, iLast - i0));
            ErrorCode err = ReadInodeRecords(g, static_cast<uint32_t>(i0), count, table);
            for (uint32_t k = 0; k < count && running(); k += perBlock) {
                const uint32_t inBlock = std::min(perBlock, count - k);
                ByteSpan chunk;
                if (err == kSuccess) {
                    chunk = ByteSpan(table).subspan(size_t{k} * isz, size_t{inBlock} * isz);
                } else {
                    // One bad block skips only its own inodes.
                    std::vector<std::byte> one;
                    if (ReadInodeRecords(g, static_cast<uint32_t>(i0 + k), inBlock, one) != kSuccess) {
                        lastError = err;
                        continue;
                    }
                    table.resize(size_t{count} * isz);
                    std::copy(one.begin(), one.end(), table.begin() + static_cast<ptrdiff_t>(size_t{k} * isz));
                    chunk = ByteSpan(table).subspan(size_t{k} * isz, one.size());
                }
                for (uint32_t j = 0; j < inBlock; ++j) {
                    const uint32_t index = static_cast<uint32_t>(i0 + k + j);
                    const uint32_t n = static_cast<uint32_t>(base + index + 1);
                    look(n, chunk.subspan(size_t{j} * isz, isz), BitSet(bitmap, index));
                    progress.m_nProgressPos.store(n);
                }
            }
        }
    }
    judgeConditions();
    nameFound(folders);
    (void)lastError;  // unreadable tables skip their inodes, as bad sectors do
    return kSuccess;
}

void CExt2Volume::judgeConditions() {
    const ExtSuperblock& sb = superblock();
    std::unordered_map<uint32_t, std::vector<std::byte>> bitmaps;
    auto allocated = [&](uint64_t b) -> int {
        if (b < sb.firstDataBlock) return 1;
        const uint64_t rel = b - sb.firstDataBlock;
        const uint32_t g = static_cast<uint32_t>(rel / sb.blocksPerGroup);
        if (g >= groupCount()) return -1;
        auto [it, fresh] = bitmaps.try_emplace(g);
        if (fresh && ReadBlock(group(g).blockBitmap, it->second) != kSuccess) it->second.clear();
        if (it->second.empty()) return -1;
        return BitSet(it->second, static_cast<uint32_t>(rel % sb.blocksPerGroup)) ? 1 : 0;
    };
    // Deleted files of a sound volume held at most all of its blocks (and
    // reused ones twice or so); cross-linked hostile maps stop being judged.
    uint64_t budget = 4 * blocksCount();
    for (auto& r : found_) {
        if (!running()) break;
        uint64_t total = 0, taken = 0;
        bool unknown = false;
        const ErrorCode err = WalkBlocks(r->inode, r->size(), [&](const ExtRun& run) -> ErrorCode {
            if (run.zero) return kSuccess;
            if (run.count > budget) return kErrCancelled;
            budget -= run.count;
            for (uint64_t i = 0; i < run.count; ++i) {
                const int a = allocated(run.physical + i);
                if (a < 0) unknown = true;
                taken += a > 0;
            }
            total += run.count;
            return kSuccess;
        });
        if (err != kSuccess || unknown) r->condition = DataCondition::Unknown;
        else if (taken == 0) r->condition = DataCondition::Intact;
        else r->condition = taken == total ? DataCondition::Overwritten : DataCondition::PartlyOverwritten;
    }
}

void CExt2Volume::nameFound(const std::vector<Folder>& folders) {
    std::unordered_map<uint32_t, ExtFoundFile*> byInode;
    for (auto& r : found_) byInode.emplace(r->inodeNumber, r.get());
    std::unordered_set<uint32_t> folderInodes;
    for (const Folder& f : folders) folderInodes.insert(f.inode);
    struct FolderName {
        std::string name;
        uint32_t parent = 0;
        ExtNameSource source = ExtNameSource::None;
    };
    std::unordered_map<uint32_t, FolderName> folderNames;

    const uint32_t B = blockSize();
    std::vector<std::byte> buf;
    // Folders of a sound volume own distinct blocks, so all of them together
    // hold fewer than the volume has; a hostile table could name one huge
    // folder thousands of times.
    uint64_t budget = blocksCount();
    for (const Folder& f : folders) {
        if (budget == 0) break;
        const ExtInodeView v{f.bytes};
        const bool indexed = (v.flags() & kExtIndexFlag) != 0;
        const uint64_t length = std::min<uint64_t>(v.size(), kMaxFolderBytes) / B * B;
        auto entry = [&](const ExtDirEntry& e) {
            const ExtNameSource src = f.deleted ? ExtNameSource::DeletedFolder
                                      : e.fromGap ? ExtNameSource::Slack : ExtNameSource::LiveEntry;
            // A folder's entry (file type 2) cannot name a file.
            if (auto it = byInode.find(e.inode);
                it != byInode.end() && e.fileType != 2 && src < it->second->nameSource) {
                ExtFoundFile& r = *it->second;
                copyToField(r.name, sizeof r.name, ShownName(e.name));
                r.nameSource = src;
                r.parentInode = f.inode;
            }
            if (folderInodes.count(e.inode) && (e.fileType == 2 || e.fileType == 0) && e.name != "." &&
                e.name != "..") {
                FolderName& fn = folderNames[e.inode];
                if (src < fn.source) fn = {ShownName(e.name), f.inode, src};
            }
        };
        WalkBlocks(f.bytes, length, [&](const ExtRun& run) -> ErrorCode {
            if (run.zero) return kSuccess;
            for (uint64_t b = 0; b < run.count;) {
                if (budget == 0) return kErrCancelled;
                const uint64_t n = std::min({run.count - b, budget, kTableRequest / B});
                budget -= n;
                buf.resize(static_cast<size_t>(n * B));
                if (ReadBlocks(run.physical + b, n, buf) == kSuccess)
                    for (uint64_t k = 0; k < n; ++k)
                        DecodeExtDirBlock(ByteSpan(buf).subspan(static_cast<size_t>(k * B), B),
                                          superblock().inodesCount, indexed, entry);
                b += n;
            }
            return kSuccess;
        });
    }

    for (auto& r : found_) {
        if (r->nameSource == ExtNameSource::None) {
            copyToField(r->name, sizeof r->name, ExtInodeFileName(r->inodeNumber));
            r->extension[0] = '\0';
            continue;
        }
        copyToField(r->extension, sizeof r->extension, ExtensionOf(r->nameText()));
        // The folder path up to the root, if every folder on the way is named.
        std::vector<const std::string*> up;
        std::unordered_set<uint32_t> seen;
        uint32_t p = r->parentInode;
        bool known = true;
        while (p != kExtRootInode) {
            auto it = folderNames.find(p);
            if (it == folderNames.end() || !seen.insert(p).second || up.size() >= kMaxFolderDepth) {
                known = false;
                break;
            }
            up.push_back(&it->second.name);
            p = it->second.parent;
        }
        r->folderKnown = known;
        r->folderPath.clear();
        if (!known) continue;
        for (size_t i = up.size(); i-- > 0;) {
            if (!r->folderPath.empty()) r->folderPath += '/';
            r->folderPath += *up[i];
        }
    }
}

}  // namespace vantor
