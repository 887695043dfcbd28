// The inode-table scan: an inode that is free in its group's bitmap but still
// holds a block map, a size and a deletion time is a deleted file; so is a
// journal copy of an inode whose on-disk twin changed since. Names come
// afterwards from the directory entries (live ones, those left in the gaps
// of live entries, freed folders' blocks and journal copies) that still
// carry its number.
#include <algorithm>
#include <ctime>
#include <unordered_map>

#include "ext/ext_names.h"
#include "ext/ext_scan_state.h"

namespace vantor {

namespace {

constexpr uint64_t kTableRequest = 1u << 20;
// A clock one day fast still finds what was deleted just now.
constexpr int64_t kFutureSlack = 86400;
// Directory data read per folder while naming; real folders are far smaller.
constexpr uint64_t kMaxFolderBytes = 64ull << 20;
// Name ranks: every on-disk folder block outranks every journal copy.
constexpr uint64_t kOnDiskRank = uint64_t{1} << 62;

bool IsDeletedFile(const ExtInodeView& v, int64_t now) {
    return ExtHasBlocks(v) && v.size() != 0 && (v.mode() & 0x8000) != 0 && v.dtime() != 0 &&
           int64_t{v.dtime()} <= now + kFutureSlack && v.ctime() != 0 && v.mtime() != 0;
}

// The journal copy is of an earlier state than what the table holds now.
bool ChangedSince(const ExtInodeView& copy, const ExtInodeView& now) {
    return copy.ctime() != now.ctime() || copy.blocks() != now.blocks() || copy.dtime() != now.dtime() ||
           copy.size() != now.size();
}

bool BitSet(const std::vector<std::byte>& bitmap, uint32_t bit) {
    return (static_cast<uint8_t>(bitmap[bit / 8]) >> (bit % 8)) & 1;
}

}  // namespace

bool ExtHasBlocks(const ExtInodeView& v) {
    if (v.block(0) == 0) return false;
    // An emptied extent tree keeps its header but holds nothing.
    if (v.usesExtents()) {
        const ExtExtentHeader h = DecodeExtExtentHeader(v.blockArea());
        return h.magic == kExtExtentMagic && h.entries > 0;
    }
    return true;
}

bool ExtLiveLookingCopy(const ExtInodeView& v, int64_t now) {
    return ExtHasBlocks(v) && v.dtime() == 0 && v.ctime() != 0 && int64_t{v.ctime()} <= now + kFutureSlack &&
           ((v.isDirectory() && v.linksCount() > 0) || (v.isRegular() && v.size() != 0));
}

ErrorCode CExtVolume::ScanDeleted(ProgressFields& progress, uint64_t firstBlock, uint64_t lastBlock, int64_t now) {
    found_.clear();
    journalNote_.clear();
    if (!opened()) return openError();
    const ExtSuperblock& sb = superblock();
    if (firstBlock >= sb.blocksCount) firstBlock = 0;
    if (lastBlock >= sb.blocksCount) lastBlock = sb.blocksCount - 1;
    if (firstBlock > lastBlock) std::swap(firstBlock, lastBlock);
    if (now == 0) now = static_cast<int64_t>(std::time(nullptr));

    ScanState st;
    st.now = now;
    progress.setText(ExtFoundProgressText(0));
    collectJournal(st, progress, firstBlock, lastBlock);
    progress.m_nProgressTotal.store(sb.inodesCount);
    progress.m_nProgressPos.store(0);

    const uint32_t B = sb.blockSize;
    const uint32_t isz = sb.inodeSize;
    const uint32_t perBlock = B / isz;
    const uint32_t perRequest = std::max<uint32_t>(perBlock, static_cast<uint32_t>(kTableRequest / isz) / perBlock * perBlock);
    std::vector<std::byte> bitmap, table;

    auto add = [&](uint32_t n, ByteSpan raw) {
        auto rec = std::make_unique<ExtFoundFile>();
        rec->inode.assign(raw.begin(), raw.end());
        rec->inodeNumber = n;
        copyToField(rec->name, sizeof rec->name, "Unknown");
        found_.push_back(std::move(rec));
        progress.setText(ExtFoundProgressText(static_cast<uint32_t>(found_.size())));
    };
    auto look = [&](uint32_t n, ByteSpan raw, bool inUse) {
        const ExtInodeView v{raw};
        const bool liveFolder = inUse && v.isDirectory() && ExtHasBlocks(v) && v.linksCount() > 0;
        if (liveFolder) {
            st.folders.push_back({n, std::vector<std::byte>(raw.begin(), raw.end()), false});
        } else if (auto it = st.folderCopies.find(n); it != st.folderCopies.end()) {
            st.folders.push_back({n, std::move(it->second.bytes), true});
        } else if (!inUse && v.isDirectory() && ExtHasBlocks(v) && v.dtime() != 0) {
            st.folders.push_back({n, std::vector<std::byte>(raw.begin(), raw.end()), true});
        }
        if (!inUse && IsDeletedFile(v, now)) {
            add(n, raw);
            return;
        }
        auto it = st.fileCopies.find(n);
        if (it == st.fileCopies.end() || !ChangedSince(ExtInodeView{it->second.bytes}, v)) return;
        add(n, it->second.bytes);
        if (inUse) st.reused.insert(n);
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
                    // One bad block skips only its own inodes, as bad sectors do.
                    std::vector<std::byte> one;
                    if (ReadInodeRecords(g, static_cast<uint32_t>(i0 + k), inBlock, one) != kSuccess) continue;
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
    nameFound(st);
    return kSuccess;
}

void CExtVolume::judgeConditions() {
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

void CExtVolume::nameFound(ScanState& st) {
    ExtNameBook book;
    for (auto& r : found_) book.wantFile(r->inodeNumber, st.reused.count(r->inodeNumber) != 0);
    const uint32_t maxInode = superblock().inodesCount;
    // Journal copies of a folder's later blocks carry no "."; the folders'
    // block maps say whose they are.
    std::unordered_map<uint64_t, uint32_t> owner;

    const uint32_t B = blockSize();
    std::vector<std::byte> buf;
    // Folders of a sound volume own distinct blocks, so all of them together
    // hold fewer than the volume has; a hostile table could name one huge
    // folder thousands of times.
    uint64_t budget = blocksCount();
    for (const ScanState::Folder& f : st.folders) {
        if (budget == 0 || !running()) break;
        const ExtInodeView v{f.bytes};
        const bool indexed = (v.flags() & kExtIndexFlag) != 0;
        const uint64_t length = std::min<uint64_t>(v.size(), kMaxFolderBytes) / B * B;
        auto entry = [&](const ExtDirEntry& e) {
            const ExtNameSource src = f.deleted ? ExtNameSource::DeletedFolder
                                      : e.fromGap ? ExtNameSource::Slack : ExtNameSource::LiveEntry;
            const uint64_t rank = kOnDiskRank + (src == ExtNameSource::LiveEntry ? 3 : src == ExtNameSource::Slack ? 2 : 1);
            book.offer(e.inode, f.inode, e.name, e.fileType, rank, src);
        };
        auto decode = [&](uint64_t blockNo, ByteSpan block) {
            if (st.dirCopyBlocks.count(blockNo)) owner.emplace(blockNo, f.inode);
            bool blockIndexed = indexed;
            if (f.deleted) {
                // A freed folder's blocks may hold anything by now.
                const ExtDirBlockKind kind = ClassifyExtDirBlock(block, maxInode);
                if (kind == ExtDirBlockKind::None) return;
                blockIndexed = kind == ExtDirBlockKind::IndexRoot;
            }
            const ExtDirSelf self = DecodeExtDirSelf(block);
            if (self.self == f.inode) book.offerParent(self.self, self.parent, kOnDiskRank);
            DecodeExtDirBlock(block, maxInode, blockIndexed, entry);
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
                        decode(run.physical + b + k, ByteSpan(buf).subspan(static_cast<size_t>(k * B), B));
                b += n;
            }
            return kSuccess;
        });
    }

    for (const ScanState::DirCopy& c : st.dirCopies) {
        uint32_t folder = c.self.self;
        if (folder == 0)
            if (auto it = owner.find(c.block); it != owner.end()) folder = it->second;
        const uint64_t rank = c.order * 2;
        book.offerParent(c.self.self, c.self.parent, rank);
        for (const ExtDirEntry& e : c.entries)
            book.offer(e.inode, folder, e.name, e.fileType, rank + (e.fromGap ? 0 : 1), ExtNameSource::Journal);
    }
    book.apply(found_);
}

}  // namespace vantor
