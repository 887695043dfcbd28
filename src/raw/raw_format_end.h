#pragma once
// Where a carved file ends by its own format: the JPEG marker walk to EOI,
// PNG IEND, GIF trailer, the size fields of BMP, RIFF and AIFF, the ZIP end
// record, MP4/MOV boxes, Matroska's segment, OGG pages, SQLite pages, OLE2
// sectors, GZIP/BZIP2/XZ stream ends, ELF and PE extents, and PDF's last
// "%%EOF" (known only once the next header closes the file). Every field
// read is untrusted: walks are bounded by the limit they are given.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace vantor {

// Bytes of a file being carved, from its first byte, read through a small
// cache; nothing at or past the limit is read.
class RawReader {
public:
    // fill(offset, buf) reads from the file's first byte + offset and
    // returns how many bytes arrived (fewer only at the end of the range).
    using Fill = std::function<size_t(uint64_t offset, MutableByteSpan buf)>;
    RawReader(Fill fill, uint64_t limit) : fill_(std::move(fill)), limit_(limit) {}

    // A walk that searches (entropy data, end records, bit marks) reads at
    // most this much per file: a header on a damaged disk cannot cost a
    // read to the size cap; its end is then not known.
    static constexpr uint64_t kReadBudget = 128ull << 20;

    uint64_t limit() const { return limit_; }
    // Copies n bytes at pos; false when any of them is missing.
    bool get(uint64_t pos, void* dst, size_t n);
    // Bytes available from pos in one piece (at least one unless past the end).
    size_t view(uint64_t pos, const uint8_t*& p);
    bool u8(uint64_t pos, uint8_t& v) { return get(pos, &v, 1); }
    bool be16(uint64_t pos, uint32_t& v);
    bool be32(uint64_t pos, uint32_t& v);
    bool le16(uint64_t pos, uint32_t& v);
    bool le32(uint64_t pos, uint32_t& v);
    bool be64(uint64_t pos, uint64_t& v);
    bool le64(uint64_t pos, uint64_t& v);
    // The first pos >= from where needle starts, below the limit; UINT64_MAX when none.
    uint64_t find(uint64_t from, const void* needle, size_t n);

private:
    static constexpr size_t kBlock = 64 * 1024;
    Fill fill_;
    uint64_t limit_;
    std::vector<uint8_t> block_;
    uint64_t blockPos_ = UINT64_MAX;
    uint64_t fetched_ = 0;
};

enum class RawEndKind {
    Unknown,  // the format does not tell (or is damaged past its start): next header or size cap
    Broken,   // the header match is not a file of this format: no file starts here
    Known,    // the file ends at size
    Trim,     // ends at the last end mark before the next header (RawTrimEnd)
};

struct RawFormatEnd {
    RawEndKind kind = RawEndKind::Unknown;
    uint64_t size = 0;
};

// The end a file of this extension declares; Unknown for formats without a
// parser.
RawFormatEnd FindFormatEnd(const std::string& extension, RawReader& file);
// For a Trim format closed at `closed` bytes: the size to keep (closed when
// no end mark is found).
uint64_t RawTrimEnd(const std::string& extension, RawReader& file, uint64_t closed);
// Whether the extension has an end parser.
bool HasFormatEnd(const std::string& extension);

}  // namespace vantor
