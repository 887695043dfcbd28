// The carving scan over a hostile table and disk: the input's first line is
// rp.dat markup, the rest the disk. Every file must lie within the range,
// and the scan must end.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "raw/raw_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    const uint8_t* nl = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    if (!nl) return 0;
    const size_t tableLen = static_cast<size_t>(nl - data);
    RawSignatureTable table;
    std::string error;
    if (!ParseSignatures(ByteSpan(reinterpret_cast<const std::byte*>(data), tableLen), table, error)) return 0;
    std::vector<std::byte> disk(reinterpret_cast<const std::byte*>(nl + 1), reinterpret_cast<const std::byte*>(data + size));
    const uint64_t sectors = disk.size() / 512;
    for (bool ends : {true, false}) {
        table.formatEnds = ends;
        CRawScanner scanner;
        scanner.Attach(std::make_shared<MemoryDevice>(disk));
        scanner.SetPartitionStart(0, 512);
        scanner.SetScanRange(0, sectors + 3);  // past the end: cut at the device
        scanner.SetMaxSize(4);
        scanner.SetTable(&table);
        ProgressFields progress;
        if (scanner.Scan(progress) != 0) std::abort();
        for (const auto& it : scanner.items())
            if (it->size == 0 || it->startSector * 512 + it->size > sectors * 512 || it->size > 4096) std::abort();
    }
    return 0;
}
