// A hostile disk: the input is its first sectors. The MBR/EBR walk, the GPT
// reader and the volume probe must stay in bounds and terminate, also when
// the drive claims to be far larger than what can be read.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "disk/gpt.h"
#include "disk/partition_table.h"
#include "disk/volume_mount.h"
#include "platform/block_device.h"
#include "platform/byte_order.h"
#include "platform/crc32.h"

namespace {

// Random bytes almost never carry two matching CRCs, so an odd first byte
// asks for the primary header's CRCs to be made right: the entry decoding
// behind them gets exercised too.
void SealPrimaryGpt(std::vector<std::byte>& bytes) {
    using namespace vantor;
    if (bytes.size() < 1024 || (static_cast<uint8_t>(bytes[0]) & 1) == 0) return;
    MutableByteSpan header(bytes.data() + 512, 512);
    uint64_t entriesLba = readLe64(header, 72);
    uint64_t entriesBytes = uint64_t{readLe32(header, 80)} * readLe32(header, 84);
    if (entriesLba < bytes.size() / 512 && entriesBytes <= bytes.size() - entriesLba * 512)
        writeLe32(header, 88, Crc32(ByteSpan(bytes.data() + entriesLba * 512, entriesBytes)));
    uint32_t headerSize = readLe32(header, 12);
    if (headerSize < 92 || headerSize > 512) return;
    writeLe32(header, 16, 0);
    writeLe32(header, 16, Crc32(ByteSpan(header.data(), headerSize)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    if (size > (1u << 20)) return 0;
    std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data),
                                 reinterpret_cast<const std::byte*>(data) + size);
    bytes.resize((size + 511) / 512 * 512);
    SealPrimaryGpt(bytes);
    MemoryDevice dev(std::move(bytes));

    for (uint64_t diskSize : {dev.size(), uint64_t{1} << 40}) {
        PartitionList list;
        uint32_t lastEbr = 0;
        ReadPartitionTable(dev, diskSize, 0, list, &lastEbr);
        PartitionList gpt;
        ReadGptTable(dev, diskSize, 0, gpt);
        if (list.records().size() > 4096 || gpt.records().size() > 4096) std::abort();
        for (const auto& r : list.records()) {
            uint64_t start = uint64_t{r.startSector} * 512;
            if (start < dev.size()) ProbeVolume(dev, start, dev.size() - start);
        }
    }
    return 0;
}
