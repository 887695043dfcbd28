// One hostile inode (the first 256 input bytes) over a small sound volume
// whose data blocks hold the rest of the input: the block-map and extent
// walks must cover the asked range exactly or fail, and directory decoding
// of the same bytes must stay inside its block.
#include <cstdlib>
#include <vector>

#include "ext/ext_dirent.h"
#include "ext/ext_volume.h"

namespace {

constexpr size_t kBlocks = 256;
constexpr size_t kBlock = 1024;
constexpr size_t kFirstData = 16;

std::vector<std::byte> SoundVolume(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> v(kBlocks * kBlock, std::byte{0});
    MutableByteSpan sb(v.data() + 1024, 1024);
    writeLe32(sb, 0, 64);        // inodes
    writeLe32(sb, 4, kBlocks);   // blocks
    writeLe32(sb, 20, 1);        // first data block
    writeLe32(sb, 32, 8192);     // blocks per group
    writeLe32(sb, 40, 64);       // inodes per group
    writeLe16(sb, 56, kExtMagic);
    writeLe32(sb, 76, 1);
    writeLe16(sb, 88, 256);
    MutableByteSpan gd(v.data() + 2048, 32);
    writeLe32(gd, 0, 3);
    writeLe32(gd, 4, 4);
    writeLe32(gd, 8, 5);         // inode table: blocks 5..20
    const size_t rest = size > 256 ? size - 256 : 0;
    const size_t room = v.size() - (kFirstData + 5) * kBlock;
    for (size_t i = 0; i < rest && i < room; ++i) v[(kFirstData + 5) * kBlock + i] = std::byte{data[256 + i]};
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> inode(256, std::byte{0});
    for (size_t i = 0; i < 256 && i < size; ++i) inode[i] = std::byte{data[i]};
    CExt2Volume vol(std::make_shared<MemoryDevice>(SoundVolume(data, size)), 0, kBlocks * kBlock);
    if (!vol.opened()) std::abort();
    const uint64_t length = ExtInodeView{inode}.size() % (uint64_t{1} << 30);
    uint64_t next = 0;
    const ErrorCode err = vol.WalkBlocks(inode, length, [&](const ExtRun& r) {
        if (r.logical != next || r.count == 0) std::abort();
        if (!r.zero && r.physical + r.count > kBlocks) std::abort();
        next += r.count;
        return kSuccess;
    });
    if (err == kSuccess && next != (length + kBlock - 1) / kBlock) std::abort();
    ExtFoundFile rec;
    rec.inode = inode;
    std::vector<std::byte> out;
    vol.ReadToBuffer(rec, 1 << 16, out);
    if (out.size() > (1 << 16)) std::abort();
    if (size > 256) {
        const ByteSpan block(reinterpret_cast<const std::byte*>(data) + 256, std::min<size_t>(size - 256, kBlock));
        DecodeExtDirBlock(block, 64, (data[0] & 1) != 0, [&](const ExtDirEntry& e) {
            if (e.inode == 0 || e.inode > 64 || e.name.size() > 255) std::abort();
        });
    }
    return 0;
}
