// Superblock + group descriptors open over hostile bytes (the journal engine
// when the superblock has a journal), then the deleted-inode scan with its naming walk and extraction of what it found: refuse or
// open cleanly, stay bounded.
#include <cstdlib>
#include <vector>

#include "ext/ext_volume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data), reinterpret_cast<const std::byte*>(data) + size);
    auto volume = OpenExtVolume(std::make_shared<MemoryDevice>(std::move(bytes)), 0, size);
    CExtVolume& vol = *volume;
    if (!vol.opened()) {
        if (vol.openReason().empty()) std::abort();
        return 0;
    }
    if (vol.blocksCount() * vol.blockSize() > size) std::abort();
    ProgressFields progress;
    vol.m_bRunning = true;
    vol.ScanDeleted(progress);
    size_t n = 0;
    for (const auto& rec : vol.found()) {
        if (rec->inode.size() != vol.inodeSize()) std::abort();
        std::vector<std::byte> out;
        vol.ReadToBuffer(*rec, 4096, out);
        if (out.size() > 4096) std::abort();
        if (++n == 16) break;
    }
    return 0;
}
