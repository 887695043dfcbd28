// Both scans and item reads over a hostile volume image: boot sector, MFT,
// parent chains and attribute lists all come from the input.
#include <cstdlib>
#include <memory>
#include <vector>

#include "ntfs/ntfs_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    if (size < 512 || size > (1u << 20)) return 0;
    auto disk = std::make_shared<MemoryDevice>(
        std::vector<std::byte>(reinterpret_cast<const std::byte*>(data), reinterpret_cast<const std::byte*>(data) + size));
    for (int kind = 0; kind < 2; ++kind) {
        CNtfsVolume volume;
        volume.AttachDevice(disk);
        volume.SetPartitionStart(0, 512);
        volume.SetScanRange(0, static_cast<uint32_t>(size / 512));
        volume.m_bRunning = true;
        if (kind == 0) volume.ScanDeletedRecords();
        else volume.ScanFormatted();
        std::vector<std::byte> out;
        size_t n = 0;
        for (const auto& item : volume.foundItems()) {
            if (++n > 64) break;
            volume.ReadItemData(*item, out, 1u << 20);
            if (out.size() > (1u << 20)) std::abort();
        }
    }
    return 0;
}
