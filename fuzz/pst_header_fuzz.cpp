// The PST header check and the B-tree root check over a hostile file: the
// input is the whole file, so its size is what the end-of-file clue is
// measured against. A mended header must pass its own check.
#include <cstdlib>

#include "mail/pst_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    std::vector<std::byte> file(reinterpret_cast<const std::byte*>(data), reinterpret_cast<const std::byte*>(data) + size);
    const size_t head = size < kPstHeaderBytes ? size : kPstHeaderBytes;
    const PstHeaderCheck check = CheckPstHeader(ByteSpan(file).first(head), size);
    if (!check.isPst) return 0;
    for (const BytePatch& p : check.patches) {
        if (p.offset + p.bytes.size() > head) std::abort();
        std::copy(p.bytes.begin(), p.bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(p.offset));
    }
    const PstHeaderCheck again = CheckPstHeader(ByteSpan(file).first(head), size);
    if (!again.isPst || !again.patches.empty()) std::abort();
    MemoryDevice dev(std::move(file));
    (void)CheckPstRoot(dev, check, true);
    (void)CheckPstRoot(dev, check, false);
    return 0;
}
