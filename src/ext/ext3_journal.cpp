// The journal engine: block classification over the group descriptors, and
// the walk over the journal that keeps the newest copy of every inode-table
// slot and every directory block the journal still holds. The journal is
// read in large runs, not block by block.
#include <algorithm>

#include "ext/ext_journal.h"
#include "ext/ext_scan_state.h"

namespace vantor {

namespace {

constexpr uint64_t kJournalChunk = 1u << 20;

// Journal blocks by their place in the journal file, read a chunk at a time.
class JournalReader {
public:
    JournalReader(const CExtVolume& v, std::vector<ExtRun> runs, uint64_t blocks)
        : v_(v), runs_(std::move(runs)), blocks_(blocks),
          chunk_(std::max<uint64_t>(1, kJournalChunk / v.blockSize())) {}

    // Block j of the journal; empty when it cannot be read.
    ByteSpan get(uint64_t j) {
        const uint64_t B = v_.blockSize();
        if (j >= blocks_) return {};
        if (j < first_ || j >= first_ + count_) {
            count_ = 0;
            if (!load(j, std::min(chunk_, blocks_ - j))) return {};
        }
        return ByteSpan(buf_).subspan(static_cast<size_t>((j - first_) * B), static_cast<size_t>(B));
    }

private:
    bool load(uint64_t j, uint64_t n) {
        const uint64_t B = v_.blockSize();
        buf_.assign(static_cast<size_t>(n * B), std::byte{0});
        auto it = std::upper_bound(runs_.begin(), runs_.end(), j,
                                   [](uint64_t x, const ExtRun& r) { return x < r.logical; });
        if (it != runs_.begin()) --it;
        for (uint64_t at = j; at < j + n && it != runs_.end(); ++it) {
            if (at < it->logical || at >= it->logical + it->count) continue;
            const uint64_t take = std::min(j + n, it->logical + it->count) - at;
            if (!it->zero) {
                MutableByteSpan piece = MutableByteSpan(buf_).subspan(static_cast<size_t>((at - j) * B),
                                                                      static_cast<size_t>(take * B));
                if (v_.ReadBlocks(it->physical + (at - it->logical), take, piece) != kSuccess) return false;
            }
            at += take;
        }
        first_ = j;
        count_ = n;
        return true;
    }

    const CExtVolume& v_;
    std::vector<ExtRun> runs_;
    uint64_t blocks_;
    uint64_t chunk_;
    std::vector<std::byte> buf_;
    uint64_t first_ = 0;
    uint64_t count_ = 0;
};

}  // namespace

CExt3Volume::CExt3Volume(const PartitionRecord& record)
    : CExtVolume(ExtOpenRecordDrive(record), uint64_t{record.startSector} * 512, record.totalBytes, record.label()) {
    open();
    finishOpen();
}

CExt3Volume::CExt3Volume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes, std::string label)
    : CExtVolume(std::move(device), startByte, lengthBytes, std::move(label)) {
    open();
    finishOpen();
}

void CExt3Volume::finishOpen() {
    if (!opened()) return;
    const ExtSuperblock& sb = superblock();
    if (sb.journalInode == 0) {
        refuseOpen("the volume has no journal inode");
        return;
    }
    const uint64_t tableLen = (uint64_t{sb.inodesPerGroup} * sb.inodeSize + sb.blockSize - 1) / sb.blockSize;
    for (uint32_t g = 0; g < groupCount(); ++g) {
        const ExtGroupDesc& d = group(g);
        if (d.inodeTable < sb.blocksCount) tables_.push_back({d.inodeTable, d.inodeTable + tableLen, g});
        bitmapsBlock_.push_back(d.blockBitmap);
        bitmapsInode_.push_back(d.inodeBitmap);
    }
    std::sort(tables_.begin(), tables_.end(), [](const Table& a, const Table& b) { return a.first < b.first; });
    std::sort(bitmapsBlock_.begin(), bitmapsBlock_.end());
    std::sort(bitmapsInode_.begin(), bitmapsInode_.end());
}

const CExt3Volume::Table* CExt3Volume::tableOf(uint64_t block) const {
    auto it = std::upper_bound(tables_.begin(), tables_.end(), block,
                               [](uint64_t b, const Table& t) { return b < t.first; });
    if (it == tables_.begin()) return nullptr;
    --it;
    return block < it->end ? &*it : nullptr;
}

ExtBlockKind CExt3Volume::ClassifyBlock(uint64_t block) const {
    const ExtSuperblock& sb = superblock();
    if (block >= sb.blocksCount) return ExtBlockKind::OutOfRange;
    if (block < sb.firstDataBlock) return ExtBlockKind::Superblock;
    const uint64_t rel = block - sb.firstDataBlock;
    const uint32_t g = static_cast<uint32_t>(rel / sb.blocksPerGroup);
    const uint64_t r = rel % sb.blocksPerGroup;
    if (g < groupCount() && sb.groupHasSuperblock(g)) {
        const uint64_t gdt = (uint64_t{groupCount()} * sb.descSize + sb.blockSize - 1) / sb.blockSize;
        if (r == 0) return ExtBlockKind::Superblock;
        if (r <= gdt + sb.reservedGdtBlocks) return ExtBlockKind::Descriptors;
    }
    if (std::binary_search(bitmapsBlock_.begin(), bitmapsBlock_.end(), block)) return ExtBlockKind::BlockBitmap;
    if (std::binary_search(bitmapsInode_.begin(), bitmapsInode_.end(), block)) return ExtBlockKind::InodeBitmap;
    if (tableOf(block)) return ExtBlockKind::InodeTable;
    return ExtBlockKind::Data;
}

uint32_t CExt3Volume::FirstInodeOfBlock(uint64_t block) const {
    const Table* t = tableOf(block);
    if (!t) return 0;
    const ExtSuperblock& sb = superblock();
    const uint64_t n = (block - t->first) * (sb.blockSize / sb.inodeSize) + uint64_t{t->group} * sb.inodesPerGroup + 1;
    return n <= sb.inodesCount ? static_cast<uint32_t>(n) : 0;
}

void CExt3Volume::collectJournal(ScanState& st, ProgressFields& progress, uint64_t firstBlock, uint64_t lastBlock) {
    const ExtSuperblock& sb = superblock();
    const uint64_t B = sb.blockSize;
    std::vector<std::byte> jraw;
    if (ReadInode(sb.journalInode, jraw) != kSuccess) {
        journalNote_ = "the journal inode cannot be read";
        return;
    }
    // A journal lies inside its volume and has no holes; anything else would
    // only make the walk read zeros for as long as a hostile size says.
    const uint64_t blocks = std::min<uint64_t>(ExtInodeView{jraw}.size() / B, sb.blocksCount);
    std::vector<ExtRun> runs;
    const ErrorCode mapErr = WalkBlocks(jraw, blocks * B, [&](const ExtRun& r) {
        if (r.zero) return kErrInvalidParameter;
        runs.push_back(r);
        return kSuccess;
    });
    if (blocks < 2 || mapErr != kSuccess) {
        journalNote_ = "the journal's block map is damaged";
        return;
    }
    JournalReader rd(*this, std::move(runs), blocks);
    JbdSuperblock jsb;
    const ByteSpan head = rd.get(0);
    if (head.empty()) {
        journalNote_ = "the journal cannot be read";
        return;
    }
    if (ParseJbdSuperblock(head, jsb, journalNote_) != kSuccess) return;
    if (jsb.blockSize != B) {
        journalNote_ = "the journal's block size is not the volume's";
        return;
    }
    const uint64_t end = std::min<uint64_t>(jsb.maxLen, blocks);
    progress.m_nProgressTotal.store(end * B);
    progress.m_nProgressPos.store(0);

    std::vector<JbdTag> tags;
    std::vector<std::byte> copy;
    uint32_t found = 0;
    auto take = [&](uint64_t target, uint64_t order) {
        const ExtBlockKind kind = ClassifyBlock(target);
        if (kind == ExtBlockKind::InodeTable) {
            if (target < firstBlock || target > lastBlock) return;
            const uint32_t i0 = FirstInodeOfBlock(target);
            const uint32_t isz = sb.inodeSize;
            for (uint32_t k = 0; i0 != 0 && k < B / isz && i0 + k <= sb.inodesCount; ++k) {
                const ByteSpan slot = ByteSpan(copy).subspan(size_t{k} * isz, isz);
                const ExtInodeView v{slot};
                if (!ExtLiveLookingCopy(v, st.now)) continue;
                auto& map = v.isDirectory() ? st.folderCopies : st.fileCopies;
                auto [it, fresh] = map.try_emplace(i0 + k);
                if (!fresh && it->second.order > order) continue;
                it->second.order = order;
                it->second.bytes.assign(slot.begin(), slot.end());
                if (fresh && !v.isDirectory()) ++found;
            }
        } else if (kind == ExtBlockKind::Data) {
            const ExtDirBlockKind dk = ClassifyExtDirBlock(copy, sb.inodesCount);
            if (dk == ExtDirBlockKind::None) return;
            ScanState::DirCopy& c = st.dirCopies.emplace_back();
            c.block = target;
            c.order = order;
            c.self = DecodeExtDirSelf(copy);
            DecodeExtDirBlock(copy, sb.inodesCount, dk == ExtDirBlockKind::IndexRoot,
                              [&](const ExtDirEntry& e) { c.entries.push_back(e); });
            st.dirCopyBlocks.insert(target);
        }
    };

    for (uint64_t j = jsb.first; j < end && running();) {
        progress.m_nProgressPos.store(j * B);
        const ByteSpan blk = rd.get(j);
        if (blk.empty()) {
            journalNote_ = "the journal cannot be read past block " + std::to_string(j);
            break;
        }
        const JbdHeader h = DecodeJbdHeader(blk);
        // Data copies are consumed with their descriptor; commit, revoke and
        // stray blocks carry nothing to take (an older copy of a block
        // revoked since still shows what it held).
        if (h.magic != kJbdMagic || h.type != kJbdDescriptor) {
            ++j;
            continue;
        }
        DecodeJbdTags(blk, jsb, tags);
        uint64_t at = j + 1;
        uint64_t used = 0;
        for (size_t t = 0; t < tags.size() && running(); ++t) {
            if (at >= end) at = jsb.first;  // the log wraps
            const ByteSpan d = rd.get(at);
            // A metadata block where a copy should be: a later transaction
            // overwrote the rest of this one.
            if (d.empty() || DecodeJbdHeader(d).valid()) break;
            copy.assign(d.begin(), d.end());
            if (tags[t].escaped) {
                copy[0] = std::byte{0xC0}, copy[1] = std::byte{0x3B}, copy[2] = std::byte{0x39}, copy[3] = std::byte{0x98};
            }
            take(tags[t].block, (uint64_t{h.sequence} << 20) | std::min<uint64_t>(t, 0xFFFFF));
            ++at;
            ++used;
        }
        progress.setText(ExtFoundProgressText(found));
        j += 1 + used;
    }
}

std::unique_ptr<CExtVolume> OpenExtVolume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes,
                                          std::string label) {
    auto plain = std::make_unique<CExt2Volume>(device, startByte, lengthBytes, label);
    if (!plain->opened() || !plain->superblock().hasJournal()) return plain;
    return std::make_unique<CExt3Volume>(std::move(device), startByte, lengthBytes, std::move(label));
}

std::unique_ptr<CExtVolume> OpenExtVolume(const PartitionRecord& record) {
    return OpenExtVolume(ExtOpenRecordDrive(record), uint64_t{record.startSector} * 512, record.totalBytes,
                         record.label());
}

}  // namespace vantor
