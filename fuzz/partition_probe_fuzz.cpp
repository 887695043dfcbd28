// A hostile disk for the partition search: the input is the disk. The probe
// at its first sectors, the whole search (table read, probes, selection) and
// the restore plan of whatever it finds must stay in bounds and terminate.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "partition/boot_probe.h"
#include "partition/partition_restore.h"
#include "partition/partition_search.h"
#include "platform/block_device.h"

namespace {

class MemorySource final : public vantor::SectorSource {
public:
    explicit MemorySource(const std::vector<std::byte>& b) : b_(b) {}
    uint64_t sectorCount() const override { return b_.size() / 512; }
    bool read(uint64_t lba, uint32_t count, std::byte* out) override {
        if (lba >= sectorCount() || count > sectorCount() - lba) return false;
        std::copy_n(b_.begin() + static_cast<std::ptrdiff_t>(lba * 512), size_t{count} * 512, out);
        return true;
    }

private:
    const std::vector<std::byte>& b_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    if (size > (1u << 20)) return 0;
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    MemorySource src(bytes);
    for (uint64_t lba : {uint64_t{0}, uint64_t{1}, src.sectorCount()}) (void)ProbeAt(src, lba);
    MemoryDevice dev(bytes, false);
    SearchResult res = SearchPartitions(dev, 0);
    for (const auto& r : res.records)
        if (!r.isGap()) (void)BuildRestorePlan(dev, r);
    return 0;
}
