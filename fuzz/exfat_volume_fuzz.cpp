// Boot sector, FAT, bitmap and up-case open over hostile bytes, then the
// deleted scan's tree walk and the extraction of what it found: refuse or
// open cleanly, stay bounded.
#include <atomic>
#include <cstdlib>
#include <vector>

#include "exfat/exfat_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data), reinterpret_cast<const std::byte*>(data) + size);
    CExfatVolume vol(std::make_shared<MemoryDevice>(std::move(bytes)), 0, 0);
    if (!vol.opened()) {
        if (vol.openReason().empty()) std::abort();
        return 0;
    }
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    ScanExfatDeleted(vol, tree, nullptr, progress, running, 'C');
    size_t n = 0;
    tree.walk([&](FolderNode& node) {
        if (auto* files = node.dataAs<ExfatFolderFiles>())
            for (const auto& f : files->files) {
                if (n++ == 16) return false;
                std::vector<std::byte> out;
                ReadExfatFileHead(vol, *f, 4096, out);
                if (out.size() > 4096 || out.size() > f->size()) std::abort();
            }
        return true;
    });
    return 0;
}
