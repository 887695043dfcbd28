// The formatted scan over a hostile cluster heap: entry sets anywhere,
// folders naming each other in cycles or past the heap, then extraction of
// what it found. Ends, stays bounded, every record under the root.
#include <atomic>
#include <cstdlib>
#include <vector>

#include "exfat/exfat_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data), reinterpret_cast<const std::byte*>(data) + size);
    CExfatVolume vol(std::make_shared<MemoryDevice>(std::move(bytes)), 0, 0);
    if (!vol.opened()) return 0;
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const ExfatScanResult r = ScanExfatFormatted(vol, tree, nullptr, progress, running, 'C');
    size_t files = 0, n = 0;
    tree.walk([&](FolderNode& node) {
        if (node.depth() > 130) std::abort();
        if (auto* list = node.dataAs<ExfatFolderFiles>())
            for (const auto& f : list->files) {
                ++files;
                if (n++ >= 16) continue;
                std::vector<std::byte> out;
                ReadExfatFileHead(vol, *f, 4096, out);
                if (out.size() > 4096) std::abort();
            }
        return true;
    });
    if (files != r.files) std::abort();
    return 0;
}
