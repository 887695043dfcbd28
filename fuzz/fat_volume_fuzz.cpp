// Boot sector + FAT open over hostile bytes: both engines must refuse or
// open cleanly, and every chain walk and data location must stay in bounds.
#include <cstdlib>
#include <vector>

#include "fat/fat_volume.h"
#include "fat/fat_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data), reinterpret_cast<const std::byte*>(data) + size);
    auto dev = std::make_shared<MemoryDevice>(std::move(bytes));
    for (int kind : {1, 2}) {
        auto vol = OpenFatVolume(dev, 0, 'F', kind);
        if (!vol->opened()) continue;
        if (vol->fatEntryCount() > vol->lastCluster() + 1) std::abort();
        const uint32_t top = vol->lastCluster() < 64 ? vol->lastCluster() : 64;
        for (uint32_t c = 0; c <= top + 1; ++c) {
            const auto ch = vol->chain(c, 1u << 16);
            for (uint32_t x : ch)
                if (x > vol->lastCluster()) std::abort();
        }
        FatFoundFile rec;
        rec.size = 1u << 20;
        for (uint32_t c : {2u, 3u, vol->lastCluster(), vol->lastCluster() + 1}) {
            rec.firstCluster = c;
            for (auto origin : {FatRecordOrigin::DeletedScan, FatRecordOrigin::LostFolderScan}) {
                rec.origin = origin;
                const auto layout = LocateFatFileData(*vol, rec);
                if (layout.bytes > rec.size) std::abort();
                std::vector<std::byte> head;
                ReadFatFileHead(*vol, rec, 4096, head);
                if (head.size() > 4096) std::abort();
            }
        }
    }
    return 0;
}
