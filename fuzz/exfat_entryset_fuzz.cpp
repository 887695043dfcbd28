// Entry-set decoding at every 32-byte step of hostile directory bytes: a set
// is taken only whole, inside the bytes, with its name and lengths in bounds.
#include <cstdlib>

#include "exfat/exfat_dirent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    const ByteSpan bytes(reinterpret_cast<const std::byte*>(data), size);
    for (size_t off = 0; off + 32 <= size; off += 32) {
        ExfatEntrySet set;
        if (DecodeExfatEntrySet(bytes.subspan(off), set) != ExfatSetStatus::Ok) continue;
        if (set.bytes() > size - off || set.name.empty() || set.name.size() > 255 ||
            set.validLength > set.dataLength)
            std::abort();
        if (ExfatTimeText(set.modified).size() > 40 || ExfatTimeIso(set.created).size() > 40) std::abort();
    }
    return 0;
}
