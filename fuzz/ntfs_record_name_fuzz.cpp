// Name-only decoding, as the formatted scan runs it on every record-sized
// piece of a disk, and as path building runs it on parent records.
#include <cstdlib>
#include <string>

#include "ntfs/mft_record_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    const ByteSpan all(reinterpret_cast<const std::byte*>(data), size);
    CMftRecordParser parser;
    for (uint32_t recordSize : {1024u, 512u, 4096u}) {
        if (parser.SetGeometry(0, recordSize, 4096) != kSuccess) std::abort();
        std::string name;
        const ErrorCode rc = parser.ParseRecordName(all, &name);
        if (rc != kSuccess && !name.empty()) std::abort();
        if (rc == kSuccess && parser.fileName().name.size() > parser.fileName().nameLength) std::abort();
    }
    return 0;
}
