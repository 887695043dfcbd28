// Hostile streams must decode within bounds, and whatever the compressor
// makes of the same bytes must come back exactly.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/lznt1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    const ByteSpan in(reinterpret_cast<const std::byte*>(data), size);

    // The NTFS preview's rule: 16 times the input, capped here.
    std::vector<std::byte> out(std::min<size_t>(size * 16, size_t{1} << 20));
    size_t produced = 0;
    Lznt1Decompress(in, out, produced);
    if (produced > out.size()) std::abort();

    const std::vector<std::byte> packed = Lznt1Compress(in);
    std::vector<std::byte> back(size + 4096);
    if (Lznt1Decompress(packed, back, produced) != kSuccess || produced != size ||
        (size != 0 && std::memcmp(back.data(), data, size) != 0))
        std::abort();
    // Exactly sized output must also stop cleanly.
    back.resize(size);
    if (Lznt1Decompress(packed, back, produced) != kSuccess || produced != size) std::abort();
    return 0;
}
