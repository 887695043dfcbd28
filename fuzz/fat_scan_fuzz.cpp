// Directory clusters of both scans over hostile bytes: a small FAT16 and a
// small FAT32 volume with valid boot figures (the FAT16 one small
// enough to take the FAT12 path) whose FAT, root and data area
// come from the input. Scans must end, stay in bounds and build a sane tree.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fat/fat_scan.h"
#include "platform/byte_order.h"

namespace {

using namespace vantor;

std::vector<std::byte> Volume(bool fat32, const uint8_t* data, size_t size) {
    const uint32_t total = fat32 ? 600 : 1200;  // the FAT16 engine then reads 12-bit entries
    std::vector<std::byte> img(size_t{total} * 512);
    MutableByteSpan b(img);
    writeU8(b, 0, 0xEB);
    writeU8(b, 1, fat32 ? 0x58 : 0x3C);
    writeLe16(b, 11, 512);
    writeU8(b, 13, 1);
    writeLe16(b, 14, fat32 ? 4 : 1);
    writeU8(b, 16, 1);
    if (fat32) {
        writeLe32(b, 32, total);
        writeLe32(b, 36, 5);
        writeLe32(b, 44, 2);
    } else {
        writeLe16(b, 17, 32);  // two sectors of root
        writeLe16(b, 19, static_cast<uint16_t>(total));
        writeLe16(b, 22, 18);
    }
    const size_t from = fat32 ? 4 * 512 : 512;  // input overlays the FAT onwards
    const size_t n = size < img.size() - from ? size : img.size() - from;
    std::memcpy(img.data() + from, data, n);
    return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (bool fat32 : {false, true}) {
        auto dev = std::make_shared<MemoryDevice>(Volume(fat32, data, size));
        auto vol = OpenFatVolume(dev, 0, 'F', fat32 ? 2 : 1);
        if (!vol->opened()) std::abort();  // the figures above are valid
        ProgressFields progress;
        std::atomic<bool> running{true};
        FilterCriteria criteria;
        for (int pass = 0; pass < 2; ++pass) {
            FolderTree tree;
            FatScanOptions o;
            o.currentYear = 2026;
            const auto r = pass == 0 ? ScanDeleted(*vol, tree, &criteria, progress, running, o)
                                     : ScanLostFolders(*vol, tree, &criteria, progress, running, o);
            if (r.recordsListed > r.recordsMade) std::abort();
            size_t nodes = 0;
            tree.walk([&](FolderNode&) { return ++nodes < 10'000'000; });
            if (!tree.root()) std::abort();
        }
    }
    return 0;
}
