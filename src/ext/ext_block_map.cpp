// An inode's data in file order, through its block map (12 direct pointers,
// then single, double and triple indirect blocks) or its extent tree.
#include <unordered_set>

#include "ext/ext_volume.h"

namespace vantor {

namespace {

// Collects blocks into runs and hands each run on once it cannot grow.
class RunBuilder {
public:
    RunBuilder(const ExtRunVisitor& visit, uint64_t endBlock, uint64_t maxMapped)
        : visit_(visit), end_(endBlock), maxMapped_(maxMapped) {}

    uint64_t cursor() const { return cursor_; }
    bool full() const { return cursor_ >= end_; }

    ErrorCode zeros(uint64_t count) { return add(0, count, true); }
    ErrorCode blocks(uint64_t physical, uint64_t count) { return add(physical, count, false); }

    ErrorCode finish() {
        if (ErrorCode err = zeros(end_ - std::min(cursor_, end_)); err != kSuccess) return err;
        return flush();
    }

private:
    ErrorCode add(uint64_t physical, uint64_t count, bool zero) {
        count = std::min(count, end_ - std::min(cursor_, end_));
        if (count == 0) return kSuccess;
        if (!zero) {
            // A file cannot own more blocks than the volume has.
            mapped_ += count;
            if (mapped_ > maxMapped_) return kErrInvalidParameter;
        }
        if (pending_.count > 0 && pending_.zero == zero &&
            (zero || pending_.physical + pending_.count == physical)) {
            pending_.count += count;
        } else {
            if (ErrorCode err = flush(); err != kSuccess) return err;
            pending_ = {cursor_, zero ? 0 : physical, count, zero};
        }
        cursor_ += count;
        return kSuccess;
    }
    ErrorCode flush() {
        if (pending_.count == 0) return kSuccess;
        const ExtRun run = pending_;
        pending_ = {};
        return visit_(run);
    }

    const ExtRunVisitor& visit_;
    uint64_t end_;
    uint64_t maxMapped_;
    uint64_t mapped_ = 0;
    uint64_t cursor_ = 0;
    ExtRun pending_;
};

class MapWalker {
public:
    MapWalker(const CExtVolume& v, RunBuilder& out) : v_(v), out_(out), perBlock_(v.blockSize() / 4) {}

    // Pointer p covers perBlock^level blocks (level 0: a data block).
    ErrorCode pointer(uint32_t p, int level) {
        uint64_t span = 1;
        for (int i = 0; i < level; ++i) span *= perBlock_;
        if (p == 0) return out_.zeros(span);
        if (p >= v_.blocksCount()) return kErrInvalidParameter;
        if (level == 0) return out_.blocks(p, 1);
        // In a sound map every indirect block is met once; a repeat is a loop
        // or a cross-link, and following it would re-read the same blocks.
        if (!seen_.insert(p).second) return kErrInvalidParameter;
        std::vector<std::byte> block;
        if (ErrorCode err = v_.ReadBlock(p, block); err != kSuccess) return err;
        for (uint32_t i = 0; i < perBlock_ && !out_.full(); ++i)
            if (ErrorCode err = pointer(readLe32(block, size_t{i} * 4), level - 1); err != kSuccess) return err;
        return kSuccess;
    }

    ErrorCode walk(const ExtInodeView& inode) {
        for (size_t i = 0; i < 12 && !out_.full(); ++i)
            if (ErrorCode err = pointer(inode.block(i), 0); err != kSuccess) return err;
        for (int level = 1; level <= 3 && !out_.full(); ++level)
            if (ErrorCode err = pointer(inode.block(11 + static_cast<size_t>(level)), level); err != kSuccess)
                return err;
        return kSuccess;
    }

private:
    const CExtVolume& v_;
    RunBuilder& out_;
    uint32_t perBlock_;
    std::unordered_set<uint32_t> seen_;
};

class ExtentWalker {
public:
    ExtentWalker(const CExtVolume& v, RunBuilder& out) : v_(v), out_(out) {}

    // expectDepth < 0 for the root, which sets the depth.
    ErrorCode node(ByteSpan bytes, int expectDepth) {
        const ExtExtentHeader h = DecodeExtExtentHeader(bytes);
        if (h.magic != kExtExtentMagic || h.depth > kExtMaxExtentDepth) return kErrInvalidParameter;
        if (expectDepth >= 0 && h.depth != expectDepth) return kErrInvalidParameter;
        if (h.entries > h.max || 12 + size_t{h.entries} * 12 > bytes.size()) return kErrInvalidParameter;
        for (uint16_t i = 0; i < h.entries && !out_.full(); ++i) {
            const ByteSpan e = bytes.subspan(12 + size_t{i} * 12, 12);
            const uint32_t logical = readLe32(e, 0);
            if (h.depth == 0) {
                uint32_t len = readLe16(e, 4);
                const bool uninit = len > 32768;
                if (uninit) len -= 32768;
                const uint64_t start = readLe32(e, 8) | (uint64_t{readLe16(e, 6)} << 32);
                // Extents are sorted and never overlap.
                if (logical < out_.cursor()) return kErrInvalidParameter;
                if (len == 0 || start >= v_.blocksCount() || len > v_.blocksCount() - start)
                    return kErrInvalidParameter;
                if (ErrorCode err = out_.zeros(logical - out_.cursor()); err != kSuccess) return err;
                ErrorCode err = uninit ? out_.zeros(len) : out_.blocks(start, len);
                if (err != kSuccess) return err;
            } else {
                const uint64_t child = readLe32(e, 4) | (uint64_t{readLe16(e, 8)} << 32);
                if (child >= v_.blocksCount()) return kErrInvalidParameter;
                // Each tree node is its own block: a repeat is a loop.
                if (!seen_.insert(child).second) return kErrInvalidParameter;
                std::vector<std::byte> block;
                if (ErrorCode err = v_.ReadBlock(child, block); err != kSuccess) return err;
                if (ErrorCode err = node(block, h.depth - 1); err != kSuccess) return err;
            }
        }
        return kSuccess;
    }

private:
    const CExtVolume& v_;
    RunBuilder& out_;
    std::unordered_set<uint64_t> seen_;
};

}  // namespace

ErrorCode CExtVolume::WalkBlocks(ByteSpan inode, uint64_t length, const ExtRunVisitor& visit) const {
    if (!opened_) return kErrNoImage;
    if (inode.size() < 128) return kErrInvalidParameter;
    const uint64_t B = sb_.blockSize;
    const uint64_t endBlock = length / B + (length % B != 0);
    RunBuilder out(visit, endBlock, sb_.blocksCount);
    const ExtInodeView view{inode};
    ErrorCode err;
    if (view.usesExtents()) {
        ExtentWalker w(*this, out);
        err = w.node(view.blockArea(), -1);
    } else {
        MapWalker w(*this, out);
        err = w.walk(view);
    }
    if (err != kSuccess) return err;
    return out.finish();
}

}  // namespace vantor
