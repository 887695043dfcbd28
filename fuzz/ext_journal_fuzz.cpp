// The journal walk over hostile journal contents: a small sound ext3 volume
// (1 KiB blocks, 128-byte inodes, the journal in inode 8 through direct and
// single indirect blocks) whose 64 journal blocks are the input. The scan
// must stay bounded, take copies only of blocks inside the volume, and name
// and extract what it found without reading outside it.
#include <cstdlib>
#include <vector>

#include "ext/ext_volume.h"

namespace {

constexpr size_t kBlock = 1024;
constexpr size_t kBlocks = 512;
constexpr uint32_t kInodes = 64;
constexpr size_t kTable = 5;       // inode table: blocks 5..12
constexpr size_t kRootDir = 20;
constexpr size_t kIndirect = 99;
constexpr size_t kJournal = 100;   // journal: blocks 100..163
constexpr size_t kJournalBlocks = 64;

std::vector<std::byte> Volume(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> v(kBlocks * kBlock, std::byte{0});
    MutableByteSpan sb(v.data() + 1024, 1024);
    writeLe32(sb, 0, kInodes);
    writeLe32(sb, 4, kBlocks);
    writeLe32(sb, 20, 1);
    writeLe32(sb, 32, 8192);
    writeLe32(sb, 40, kInodes);
    writeLe16(sb, 56, kExtMagic);
    writeLe32(sb, 76, 1);
    writeLe16(sb, 88, 128);
    writeLe32(sb, 92, kExtCompatHasJournal);
    writeLe32(sb, 224, 8);
    MutableByteSpan gd(v.data() + 2 * kBlock, 32);
    writeLe32(gd, 0, 3);
    writeLe32(gd, 4, 4);
    writeLe32(gd, 8, kTable);
    MutableByteSpan ibm(v.data() + 4 * kBlock, kBlock);
    writeLe16(ibm, 0, 0x07FF);  // inodes 1..11 in use
    auto inode = [&](uint32_t n) { return MutableByteSpan(v.data() + kTable * kBlock + (n - 1) * 128, 128); };
    MutableByteSpan root = inode(2);
    writeLe16(root, 0, 0x41ED);
    writeLe32(root, 4, kBlock);
    writeLe32(root, 12, 1700000000);
    writeLe16(root, 26, 3);
    writeLe32(root, 40, kRootDir);
    MutableByteSpan dir(v.data() + kRootDir * kBlock, kBlock);
    writeLe32(dir, 0, 2), writeLe16(dir, 4, 12), writeU8(dir, 6, 1), writeU8(dir, 7, 2), writeU8(dir, 8, '.');
    writeLe32(dir, 12, 2), writeLe16(dir, 16, kBlock - 12), writeU8(dir, 18, 2), writeU8(dir, 19, 2);
    writeU8(dir, 20, '.'), writeU8(dir, 21, '.');
    MutableByteSpan j = inode(8);
    writeLe16(j, 0, 0x8180);
    writeLe32(j, 4, kJournalBlocks * kBlock);
    writeLe16(j, 26, 1);
    for (uint32_t i = 0; i < 12; ++i) writeLe32(j, 40 + 4 * i, static_cast<uint32_t>(kJournal + i));
    writeLe32(j, 88, kIndirect);
    MutableByteSpan ind(v.data() + kIndirect * kBlock, kBlock);
    for (uint32_t i = 12; i < kJournalBlocks; ++i) writeLe32(ind, 4 * (i - 12), static_cast<uint32_t>(kJournal + i));
    for (size_t i = 0; i < size && i < kJournalBlocks * kBlock; ++i) v[kJournal * kBlock + i] = std::byte{data[i]};
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    CExt3Volume vol(std::make_shared<MemoryDevice>(Volume(data, size)), 0, kBlocks * kBlock);
    if (!vol.opened()) std::abort();
    for (uint64_t b = 0; b <= kBlocks; ++b) {
        const ExtBlockKind kind = vol.ClassifyBlock(b);
        if ((kind == ExtBlockKind::OutOfRange) != (b == kBlocks)) std::abort();
        const uint32_t first = vol.FirstInodeOfBlock(b);
        if ((kind == ExtBlockKind::InodeTable) != (first != 0) || first > kInodes) std::abort();
    }
    ProgressFields progress;
    vol.m_bRunning = true;
    vol.ScanDeleted(progress, 0, UINT64_MAX, 1700000000);
    for (const auto& rec : vol.found()) {
        if (rec->inode.size() != 128 || rec->inodeNumber == 0 || rec->inodeNumber > kInodes) std::abort();
        if (rec->folderKnown && rec->folderPath.size() > 64 * 256) std::abort();
        std::vector<std::byte> out;
        vol.ReadToBuffer(*rec, 8192, out);
        if (out.size() > 8192) std::abort();
    }
    return 0;
}
