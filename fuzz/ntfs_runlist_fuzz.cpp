// Run-list (mapping pairs) decoding, then reading the described stream from
// a small disk, plain and as compression units: bounded output, no loop.
#include <cstdlib>
#include <memory>
#include <vector>

#include "ntfs/mft_record_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    if (size < 2) return 0;
    const ByteSpan all(reinterpret_cast<const std::byte*>(data), size);
    NtfsDataStream stream;
    stream.present = true;
    const bool ok = DecodeRunList(all.subspan(1), data[0] & 0x0F, stream.runs, 512);
    if (stream.runs.size() > 512) std::abort();
    for (size_t i = 1; i < stream.runs.size(); ++i)
        if (stream.runs[i].vcn != stream.runs[i - 1].vcn + stream.runs[i - 1].length) std::abort();
    (void)ok;

    auto disk = std::make_shared<MemoryDevice>(std::vector<std::byte>(all.begin(), all.end()));
    constexpr uint32_t kCluster = 512;
    stream.realSize = 64 * 1024;
    stream.initializedSize = (data[0] & 0x10) ? stream.realSize / 2 : stream.realSize;
    stream.compressed = (data[0] & 0x20) != 0;
    stream.compressionUnitClusters = 16;
    uint64_t produced = 0;
    ReadNtfsStream(*disk, 0, kCluster, stream, stream.realSize, [&](ByteSpan piece) {
        produced += piece.size();
        return kSuccess;
    });
    if (produced > stream.realSize) std::abort();
    return 0;
}
