// Full MFT record decoding over hostile bytes: the first 1024 bytes are the
// record, the rest is the disk its runs point into and the pool its
// attribute list draws extension records from.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "ntfs/mft_record_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    constexpr size_t kRecord = 1024;
    if (size < kRecord) return 0;
    const ByteSpan all(reinterpret_cast<const std::byte*>(data), size);
    const ByteSpan record = all.first(kRecord);
    auto disk = std::make_shared<MemoryDevice>(std::vector<std::byte>(all.begin() + kRecord, all.end()));
    const uint32_t cluster = 512u << (data[0] & 3);

    CMftRecordParser parser;
    parser.Attach(disk.get(), nullptr);
    if (parser.SetGeometry(0, kRecord, cluster) != kSuccess) std::abort();
    parser.SetMemoryLimit(1u << 20);
    parser.SetRecordFetcher([&](uint64_t n, std::vector<std::byte>& out) {
        const uint64_t at = (n % 64) * kRecord;
        if (at + kRecord > disk->size()) return false;
        out.assign(disk->bytes().begin() + static_cast<std::ptrdiff_t>(at),
                   disk->bytes().begin() + static_cast<std::ptrdiff_t>(at + kRecord));
        return true;
    });
    // Half the inputs decode as an MFT record of known place.
    if (data[1] & 1) parser.SetRecordNumber(data[2]);
    parser.ParseRecord(record, false);
    const uint64_t length = parser.dataLength();
    // Reading straight into a buffer gives what the piecewise read gives.
    if (parser.dataStream().present && !parser.dataStream().resident) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(length, 1u << 20));
        std::vector<std::byte> pieces;
        std::vector<std::byte> direct(n);
        const ErrorCode a = ReadNtfsStream(*disk, 0, cluster, parser.dataStream(), n, [&](ByteSpan piece) {
            pieces.insert(pieces.end(), piece.begin(), piece.end());
            return kSuccess;
        });
        const ErrorCode b = ReadNtfsStreamInto(*disk, 0, cluster, parser.dataStream(), direct);
        if (a != b || (a == kSuccess && pieces != direct)) std::abort();
    }
    if (parser.ParseRecord(record, true) == kSuccess && !parser.dataStream().resident &&
        parser.data().size() != std::min<uint64_t>(std::min(length, parser.dataStream().allocatedSize ? parser.dataStream().allocatedSize : length), 1u << 20))
        std::abort();
    if (parser.data().size() > (1u << 20)) std::abort();
    return 0;
}
