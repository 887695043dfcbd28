// One hostile directory block of unknown origin (a journal copy, a freed
// folder's block): the shape test, "." and "..", and the entry walk with its
// gap search must stay inside the block and agree with each other.
#include <cstdlib>
#include <vector>

#include "ext/ext_dirent.h"
#include "ext/ext_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    if (size < 1) return 0;
    const size_t blockSize = (data[0] & 1) ? 4096 : 1024;
    std::vector<std::byte> block(blockSize, std::byte{0});
    for (size_t i = 1; i < size && i - 1 < blockSize; ++i) block[i - 1] = std::byte{data[i]};
    constexpr uint32_t kMaxInode = 4096;
    const ExtDirBlockKind kind = ClassifyExtDirBlock(block, kMaxInode);
    const ExtDirSelf self = DecodeExtDirSelf(block);
    if (kind == ExtDirBlockKind::IndexRoot && self.self == 0) std::abort();
    size_t live = 0;
    ExtNameBook book;
    book.wantFile(12, false);
    DecodeExtDirBlock(block, kMaxInode, kind == ExtDirBlockKind::IndexRoot, [&](const ExtDirEntry& e) {
        if (e.inode == 0 || e.inode > kMaxInode || e.name.empty() || e.name.size() > 255) std::abort();
        live += !e.fromGap;
        book.offer(e.inode, self.self, e.name, e.fileType, live, ExtNameSource::Journal);
    });
    if (kind != ExtDirBlockKind::None && live == 0) std::abort();
    return 0;
}
