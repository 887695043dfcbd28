#include "mail/dbx_store.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

namespace vantor {

namespace {

constexpr uint32_t kMaxBlockBody = 0x10000;  // blocks hold 0x200; anything far above is not one
constexpr uint32_t kMaxTreeEntries = 0xFF;   // the count is one byte
constexpr uint64_t kMaxScanBlocks = uint64_t{1} << 22;
constexpr size_t kScanChunk = size_t{1} << 20;

struct BlockHeader {
    uint32_t body = 0;
    uint32_t used = 0;
    uint32_t next = 0;
};

bool BlockAt(ByteSpan h, uint64_t offset, uint64_t fileSize, BlockHeader& out) {
    if (offset < kDbxHeaderBytes || offset % 4 != 0 || readLe32(h, 0) != offset) return false;
    out.body = readLe32(h, 4);
    out.used = readLe32(h, 8);
    out.next = readLe32(h, 12);
    if (out.body == 0 || out.body > kMaxBlockBody || out.used > out.body) return false;
    return fileSize - offset >= kDbxBlockHeaderBytes + uint64_t{out.body};
}

bool ReadBlock(BlockDevice& file, uint64_t offset, BlockHeader& out) {
    std::array<std::byte, kDbxBlockHeaderBytes> h{};
    if (offset > file.size() || file.size() - offset < h.size()) return false;
    if (file.readAt(offset, h) != kSuccess) return false;
    return BlockAt(h, offset, file.size(), out);
}

// The value of index `which` of the indexed object at offset (the message
// info an index entry points at); false when the object or value is not there.
bool IndexedValue(BlockDevice& file, uint64_t offset, uint8_t which, uint32_t& value) {
    std::array<std::byte, 12> h{};
    if (offset < kDbxHeaderBytes || offset > file.size() || file.size() - offset < h.size()) return false;
    if (file.readAt(offset, h) != kSuccess || readLe32(h, 0) != offset) return false;
    const uint32_t body = readLe32(h, 4);
    const uint8_t count = readU8(h, 10);
    if (body > kMaxBlockBody || file.size() - offset - h.size() < body || size_t{count} * 4 > body) return false;
    std::vector<std::byte> b(body);
    if (file.readAt(offset + h.size(), b) != kSuccess) return false;
    const size_t dataAt = size_t{count} * 4;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t tag = readU8(b, i * 4);
        const uint32_t v = readLe32(b, i * 4) >> 8;
        if ((tag & 0x7F) != which) continue;
        if (tag & 0x80) {  // the value itself, in the entry's three bytes
            value = v;
            return true;
        }
        if (v > body - dataAt || body - dataAt - v < 4) return false;
        value = readLe32(b, dataAt + v);
        return true;
    }
    return false;
}

struct TreeWalk {
    BlockDevice& file;
    const DbxLimits& limits;
    std::vector<DbxMessage>& out;
    std::unordered_set<uint64_t> nodes;

    bool node(uint64_t offset, uint32_t depth) {
        if (offset == 0) return true;
        // A node seen before is a loop (or a shared subtree): the tree is not sound.
        if (depth > limits.maxTreeDepth || !nodes.insert(offset).second) return false;
        std::array<std::byte, kDbxTreeHeaderBytes> h{};
        if (offset < kDbxHeaderBytes || offset > file.size() || file.size() - offset < h.size()) return false;
        if (file.readAt(offset, h) != kSuccess || readLe32(h, 0) != offset) return false;
        const uint32_t count = readU8(h, 0x11);
        if (count > kMaxTreeEntries) return false;
        std::vector<std::byte> entries(size_t{count} * kDbxTreeEntryBytes);
        if (file.size() - offset - h.size() < entries.size()) return false;
        if (!entries.empty() && file.readAt(offset + h.size(), entries) != kSuccess) return false;
        if (!node(readLe32(h, 8), depth + 1)) return false;
        for (uint32_t i = 0; i < count; ++i) {
            if (out.size() >= limits.maxMessages) return true;
            const uint32_t info = readLe32(entries, i * kDbxTreeEntryBytes);
            uint32_t first = 0;
            // Folder entries name no message; a message whose first block is
            // gone is left to the scan.
            if (IndexedValue(file, info, kDbxMessageAddressIndex, first)) {
                DbxMessage m = WalkDbxChain(file, first, limits);
                if (!m.blocks.empty()) out.push_back(std::move(m));
            }
            if (!node(readLe32(entries, i * kDbxTreeEntryBytes + 4), depth + 1)) return false;
        }
        return true;
    }
};

bool HeaderAgrees(BlockDevice& file, ByteSpan header) {
    const uint64_t size = file.size();
    const uint32_t recorded = readLe32(header, kDbxFileSizeAt);
    if (recorded < kDbxHeaderBytes || recorded > size) return false;
    const uint32_t root = readLe32(header, kDbxIndexRootAt);
    if (root == 0) return readLe32(header, kDbxItemCountAt) == 0;
    std::array<std::byte, 4> self{};
    return root >= kDbxHeaderBytes && root < size && file.readAt(root, self) == kSuccess && readLe32(self, 0) == root;
}

}  // namespace

DbxHeaderCheck CheckDbxHeader(BlockDevice& file) {
    DbxHeaderCheck out;
    if (file.size() < kDbxHeaderBytes) return out;
    std::vector<std::byte> header(kDbxLocalStoreAt + 11 <= file.size() ? kDbxLocalStoreAt + 11 : kDbxHeaderBytes);
    if (file.readAt(0, header) != kSuccess) return out;
    const uint32_t cls = readLe32(header, 4);
    const bool knownClass = cls == kDbxMessageClass || cls == kDbxFolderClass;
    static constexpr char kLocalStore[] = "LocalStore";
    if (header.size() >= kDbxLocalStoreAt + 11 &&
        std::memcmp(header.data() + kDbxLocalStoreAt, kLocalStore, sizeof kLocalStore) == 0)
        out.verdict = DbxVerdict::LocalStoreText;
    else if (knownClass && HeaderAgrees(file, header))
        out.verdict = DbxVerdict::Structure;
    else
        return out;
    out.storeClass = knownClass ? cls : kDbxMessageClass;
    if (readLe32(header, 0) != kDbxSignature) out.patches.push_back(Le32Patch(0, kDbxSignature));
    if (cls != out.storeClass) out.patches.push_back(Le32Patch(4, out.storeClass));
    return out;
}

DbxMessage WalkDbxChain(BlockDevice& file, uint64_t first, const DbxLimits& limits) {
    DbxMessage m;
    std::unordered_set<uint64_t> seen;
    for (uint64_t at = first; at != 0;) {
        BlockHeader b;
        if (!seen.insert(at).second || !ReadBlock(file, at, b)) break;
        if (m.bytes + b.used > limits.maxMessageBytes) break;
        m.blocks.push_back({at, b.used});
        m.bytes += b.used;
        at = b.next;
    }
    return m;
}

bool DbxMessagesByIndex(BlockDevice& file, std::vector<DbxMessage>& out, const DbxLimits& limits) {
    out.clear();
    std::array<std::byte, 4> root{};
    if (file.size() < kDbxHeaderBytes || file.readAt(kDbxIndexRootAt, root) != kSuccess) return false;
    TreeWalk walk{file, limits, out, {}};
    if (readLe32(root, 0) == 0) return false;
    if (!walk.node(readLe32(root, 0), 0)) {
        out.clear();
        return false;
    }
    return true;
}

std::vector<DbxMessage> DbxMessagesByScan(BlockDevice& file, const DbxLimits& limits) {
    // Plain sorted arrays: a 2 GiB store holds millions of blocks.
    std::vector<uint64_t> heads;
    std::vector<uint32_t> pointedAt;
    const uint64_t size = file.size();
    std::vector<std::byte> chunk;
    uint64_t found = 0;
    for (uint64_t base = kDbxHeaderBytes; base + kDbxBlockHeaderBytes <= size && found < kMaxScanBlocks;) {
        // Each chunk reaches one header past its end, so no block straddles unseen.
        const uint64_t len = std::min<uint64_t>(kScanChunk + kDbxBlockHeaderBytes, size - base);
        chunk.resize(static_cast<size_t>(len));
        if (file.readAt(base, chunk) != kSuccess) break;
        for (size_t i = 0; i + kDbxBlockHeaderBytes <= chunk.size() && i < kScanChunk; i += 4) {
            BlockHeader b;
            if (!BlockAt(ByteSpan(chunk).subspan(i, kDbxBlockHeaderBytes), base + i, size, b)) continue;
            ++found;
            if (b.used > 0) heads.push_back(base + i);
            if (b.next != 0) pointedAt.push_back(b.next);
        }
        base += kScanChunk;
    }
    std::sort(pointedAt.begin(), pointedAt.end());
    std::vector<DbxMessage> out;
    for (uint64_t h : heads) {  // in offset order already
        if (out.size() >= limits.maxMessages) break;
        if (std::binary_search(pointedAt.begin(), pointedAt.end(), static_cast<uint32_t>(h))) continue;
        out.push_back(WalkDbxChain(file, h, limits));
    }
    return out;
}

ErrorCode ReadDbxMessage(BlockDevice& file, const DbxMessage& message, ByteSink& sink) {
    std::vector<std::byte> buf;
    for (const DbxBlock& b : message.blocks) {
        buf.resize(b.used);
        if (ErrorCode rc = file.readAt(b.offset + kDbxBlockHeaderBytes, buf)) return rc;
        if (ErrorCode rc = sink.write(buf)) return rc;
    }
    return kSuccess;
}

}  // namespace vantor
