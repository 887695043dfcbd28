// Each format-end parser over a hostile file: the first byte picks the
// parser, the rest is the file. An end must lie within the limit, and the
// walk must finish.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "raw/raw_format_end.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    static const char* const kExts[] = {"jpg", "png", "gif", "bmp", "wav", "aif", "zip", "mp4", "mkv", "ogg", "sqlite",
                                        "doc", "gz", "xz", "bz2", "elf", "exe", "tif", "mid", "mp3", "flac", "pdf"};
    if (size < 1) return 0;
    const std::string ext = kExts[data[0] % (sizeof kExts / sizeof kExts[0])];
    const uint8_t* file = data + 1;
    const size_t n = size - 1;
    // The limit is sometimes shorter than the bytes there are, as a size cap is.
    const uint64_t limit = (data[0] & 0x80) ? n / 2 : n;
    RawReader r(
        [&](uint64_t off, MutableByteSpan buf) -> size_t {
            if (off >= n) return 0;
            const size_t k = std::min<size_t>(buf.size(), n - off);
            std::memcpy(buf.data(), file + off, k);
            return k;
        },
        limit);
    const RawFormatEnd end = FindFormatEnd(ext, r);
    if (end.kind == RawEndKind::Known && end.size > limit) std::abort();
    if (end.kind == RawEndKind::Trim && RawTrimEnd(ext, r, limit) > limit) std::abort();
    return 0;
}
