#include "raw/raw_format_end.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cstring>

#include "platform/crc32.h"

namespace vantor {

bool RawReader::get(uint64_t pos, void* dst, size_t n) {
    auto* out = static_cast<uint8_t*>(dst);
    while (n > 0) {
        const uint8_t* p = nullptr;
        const size_t got = view(pos, p);
        if (got == 0) return false;
        const size_t take = std::min(got, n);
        std::memcpy(out, p, take);
        out += take;
        pos += take;
        n -= take;
    }
    return true;
}

size_t RawReader::view(uint64_t pos, const uint8_t*& p) {
    if (pos >= limit_) return 0;
    if (blockPos_ == UINT64_MAX || pos < blockPos_ || pos >= blockPos_ + block_.size()) {
        if (fetched_ >= kReadBudget) return 0;
        const uint64_t start = pos - pos % kBlock;
        fetched_ += kBlock;
        block_.resize(static_cast<size_t>(std::min<uint64_t>(kBlock, limit_ - start)));
        const size_t got = fill_(start, MutableByteSpan(reinterpret_cast<std::byte*>(block_.data()), block_.size()));
        block_.resize(std::min(got, block_.size()));
        blockPos_ = start;
        if (pos >= blockPos_ + block_.size()) return 0;
    }
    const size_t at = static_cast<size_t>(pos - blockPos_);
    p = block_.data() + at;
    return block_.size() - at;
}

bool RawReader::be16(uint64_t pos, uint32_t& v) {
    uint8_t b[2];
    if (!get(pos, b, 2)) return false;
    v = uint32_t{b[0]} << 8 | b[1];
    return true;
}
bool RawReader::le16(uint64_t pos, uint32_t& v) {
    uint8_t b[2];
    if (!get(pos, b, 2)) return false;
    v = uint32_t{b[1]} << 8 | b[0];
    return true;
}
bool RawReader::be32(uint64_t pos, uint32_t& v) {
    uint8_t b[4];
    if (!get(pos, b, 4)) return false;
    v = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
    return true;
}
bool RawReader::le32(uint64_t pos, uint32_t& v) {
    uint8_t b[4];
    if (!get(pos, b, 4)) return false;
    v = uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
    return true;
}
bool RawReader::be64(uint64_t pos, uint64_t& v) {
    uint32_t hi = 0, lo = 0;
    if (!be32(pos, hi) || !be32(pos + 4, lo)) return false;
    v = uint64_t{hi} << 32 | lo;
    return true;
}
bool RawReader::le64(uint64_t pos, uint64_t& v) {
    uint32_t hi = 0, lo = 0;
    if (!le32(pos, lo) || !le32(pos + 4, hi)) return false;
    v = uint64_t{hi} << 32 | lo;
    return true;
}

uint64_t RawReader::find(uint64_t from, const void* needle, size_t n) {
    const auto* nd = static_cast<const uint8_t*>(needle);
    uint64_t pos = from;
    std::vector<uint8_t> cand(n);
    while (true) {
        const uint8_t* p = nullptr;
        const size_t got = view(pos, p);
        if (got == 0) return UINT64_MAX;
        const void* hit = std::memchr(p, nd[0], got);
        if (!hit) {
            pos += got;
            continue;
        }
        pos += static_cast<size_t>(static_cast<const uint8_t*>(hit) - p);
        if (get(pos, cand.data(), n) && std::memcmp(cand.data(), nd, n) == 0) return pos;
        if (pos + n > limit_) return UINT64_MAX;
        ++pos;
    }
}

namespace {

constexpr RawFormatEnd kUnknown{RawEndKind::Unknown, 0};
constexpr RawFormatEnd kBroken{RawEndKind::Broken, 0};
RawFormatEnd Known(uint64_t size) { return {RawEndKind::Known, size}; }
// A size a header declares: usable only when it lies within the limit.
RawFormatEnd KnownWithin(RawReader& r, uint64_t size, uint64_t least) {
    if (size < least) return kBroken;
    if (size > r.limit()) return kUnknown;
    return Known(size);
}

RawFormatEnd JpegEnd(RawReader& r) {
    uint64_t pos = 2;
    bool sawScan = false;  // past the first scan: damage from here on is no longer at the start
    bool sawFrame = false;
    while (true) {
        uint8_t m = 0;
        if (!r.u8(pos, m)) return kUnknown;
        if (m != 0xFF) return sawScan ? kUnknown : kBroken;
        // Fill bytes before a marker.
        while (m == 0xFF) {
            if (!r.u8(++pos, m)) return kUnknown;
        }
        ++pos;
        if (m == 0xD9) return sawFrame ? Known(pos) : kUnknown;
        if (m == 0x00 || m == 0xD8) return sawScan ? kUnknown : kBroken;
        if ((m >= 0xD0 && m <= 0xD7) || m == 0x01) continue;
        uint32_t len = 0;
        if (!r.be16(pos, len)) return kUnknown;
        if (len < 2) return sawScan ? kUnknown : kBroken;
        if ((m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC)) sawFrame = true;
        pos += len;
        if (m != 0xDA) continue;
        sawScan = true;
        // Entropy-coded data runs to the next marker that is not a stuffed
        // zero or a restart.
        while (true) {
            const uint8_t* p = nullptr;
            const size_t got = r.view(pos, p);
            if (got == 0) return kUnknown;
            const void* ff = std::memchr(p, 0xFF, got);
            if (!ff) {
                // Wiped space after a cut-off scan is not entropy data.
                if (got >= 4096 && p[0] == 0 && std::memcmp(p, p + 1, got - 1) == 0) return kUnknown;
                pos += got;
                continue;
            }
            pos += static_cast<size_t>(static_cast<const uint8_t*>(ff) - p);
            uint8_t next = 0;
            if (!r.u8(pos + 1, next)) return kUnknown;
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) {
                pos += next == 0xFF ? 1 : 2;
                continue;
            }
            break;
        }
    }
}

RawFormatEnd PngEnd(RawReader& r) {
    uint8_t ihdr[25];
    if (!r.get(8, ihdr, sizeof ihdr)) return kUnknown;
    if (std::memcmp(ihdr, "\0\0\0\x0dIHDR", 8) != 0) return kBroken;
    const uint32_t crc = uint32_t{ihdr[21]} << 24 | uint32_t{ihdr[22]} << 16 | uint32_t{ihdr[23]} << 8 | ihdr[24];
    if (Crc32(ByteSpan(reinterpret_cast<const std::byte*>(ihdr + 4), 17)) != crc) return kBroken;
    uint64_t pos = 33;
    while (true) {
        uint32_t len = 0;
        uint8_t type[4];
        if (!r.be32(pos, len) || !r.get(pos + 4, type, 4)) return kUnknown;
        if (len > 0x7FFFFFFF) return kUnknown;
        for (uint8_t c : type)
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return kUnknown;
        pos += 12 + uint64_t{len};
        if (std::memcmp(type, "IEND", 4) == 0) return pos <= r.limit() ? Known(pos) : kUnknown;
    }
}

bool SkipGifSubBlocks(RawReader& r, uint64_t& pos) {
    while (true) {
        uint8_t n = 0;
        if (!r.u8(pos++, n)) return false;
        if (n == 0) return true;
        pos += n;
    }
}

RawFormatEnd GifEnd(RawReader& r) {
    uint8_t lsd[7];
    if (!r.get(6, lsd, 7)) return kUnknown;
    uint64_t pos = 13;
    if (lsd[4] & 0x80) pos += 3u * (2u << (lsd[4] & 7));
    bool first = true;
    while (true) {
        uint8_t b = 0;
        if (!r.u8(pos++, b)) return kUnknown;
        if (b == 0x3B) return first ? kBroken : Known(pos);
        if (b == 0x21) {
            ++pos;  // label
            if (!SkipGifSubBlocks(r, pos)) return kUnknown;
        } else if (b == 0x2C) {
            uint8_t d[9];
            if (!r.get(pos, d, 9)) return kUnknown;
            pos += 9;
            if (d[8] & 0x80) pos += 3u * (2u << (d[8] & 7));
            ++pos;  // LZW minimum code size
            if (!SkipGifSubBlocks(r, pos)) return kUnknown;
        } else {
            return first ? kBroken : kUnknown;
        }
        first = false;
    }
}

RawFormatEnd BmpEnd(RawReader& r) {
    uint32_t size = 0, dataAt = 0, dib = 0;
    if (!r.le32(2, size) || !r.le32(10, dataAt) || !r.le32(14, dib)) return kUnknown;
    if (dib != 12 && dib != 40 && dib != 52 && dib != 56 && dib != 64 && dib != 108 && dib != 124) return kBroken;
    if (dataAt < 14 + dib || dataAt > size) return kBroken;
    return KnownWithin(r, size, 26);
}

RawFormatEnd RiffEnd(RawReader& r) {
    uint32_t size = 0;
    if (!r.le32(4, size)) return kUnknown;
    uint64_t end = 8 + uint64_t{size} + (size & 1);
    if (size < 4) return kBroken;
    // An AVI past 1 GiB continues in "AVIX" RIFF lists.
    while (end < r.limit()) {
        uint8_t h[12];
        uint32_t more = 0;
        if (!r.get(end, h, 12) || std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "AVIX", 4) != 0 ||
            !r.le32(end + 4, more))
            break;
        end += 8 + uint64_t{more} + (more & 1);
    }
    // A RIFF whose odd size was not padded ends one byte sooner.
    if (end > r.limit() && (size & 1) && end - 1 <= r.limit()) --end;
    return KnownWithin(r, end, 12);
}

RawFormatEnd AiffEnd(RawReader& r) {
    uint32_t size = 0;
    if (!r.be32(4, size)) return kUnknown;
    return KnownWithin(r, 8 + uint64_t{size}, 12);
}

RawFormatEnd ZipEnd(RawReader& r) {
    // The first local header must look like one.
    uint32_t version = 0, nameLen = 0;
    if (!r.le16(4, version) || !r.le16(26, nameLen)) return kUnknown;
    if ((version & 0xFF) > 90 || nameLen == 0 || nameLen > 4096) return kBroken;
    static const uint8_t eocd[4] = {'P', 'K', 5, 6};
    uint64_t pos = 30;
    while ((pos = r.find(pos, eocd, 4)) != UINT64_MAX) {
        uint32_t cdSize = 0, cdAt = 0, comment = 0;
        if (!r.le32(pos + 12, cdSize) || !r.le32(pos + 16, cdAt) || !r.le16(pos + 20, comment)) return kUnknown;
        // The end record of this archive, not of one stored inside it.
        bool ours = uint64_t{cdAt} + cdSize == pos;
        if (cdAt == 0xFFFFFFFF || cdSize == 0xFFFFFFFF) {
            uint8_t loc[4];
            ours = pos >= 20 && r.get(pos - 20, loc, 4) && std::memcmp(loc, "PK\x06\x07", 4) == 0;
        }
        if (ours) {
            uint8_t cd[4];
            if (cdAt != 0xFFFFFFFF && cdSize > 0 && (!r.get(cdAt, cd, 4) || std::memcmp(cd, "PK\x01\x02", 4) != 0)) {
                ++pos;
                continue;
            }
            const uint64_t end = pos + 22 + comment;
            return end <= r.limit() ? Known(end) : kUnknown;
        }
        ++pos;
    }
    return kUnknown;
}

bool BoxType(const uint8_t* t) {
    static const char* const kTypes[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "uuid", "meta", "moof",
                                         "mfra", "pdin", "styp", "sidx", "pnot", "PICT", "junk", "prfl", "beam",
                                         "idat", "iinf", "iloc", "emsg", "prft", "ssix", "jumb", "Xtra", "udta"};
    for (const char* k : kTypes)
        if (std::memcmp(t, k, 4) == 0) return true;
    return false;
}

RawFormatEnd IsoBoxEnd(RawReader& r) {
    uint64_t pos = 0;
    bool moov = false, media = false;
    while (pos < r.limit()) {
        uint32_t size32 = 0;
        uint8_t type[4];
        if (!r.be32(pos, size32) || !r.get(pos + 4, type, 4)) break;
        if (!BoxType(type) || (pos > 0 && std::memcmp(type, "ftyp", 4) == 0)) break;
        uint64_t size = size32;
        if (size32 == 1 && !r.be64(pos + 8, size)) return kUnknown;
        if (size32 == 0) return kUnknown;  // runs to the end of a file we cannot see
        if (size < 8 || size > r.limit() - pos) return pos == 0 ? kBroken : kUnknown;
        if (std::memcmp(type, "moov", 4) == 0 || std::memcmp(type, "meta", 4) == 0) moov = true;
        if (std::memcmp(type, "mdat", 4) == 0 || std::memcmp(type, "moof", 4) == 0 ||
            std::memcmp(type, "meta", 4) == 0)
            media = true;
        pos += size;
    }
    if (pos == 0) return kBroken;
    return moov && media ? Known(pos) : kUnknown;
}

// An EBML variable-length number: its length in bytes and value (all ones = unknown).
bool EbmlVint(RawReader& r, uint64_t pos, int& len, uint64_t& value, bool& unknown) {
    uint8_t b = 0;
    if (!r.u8(pos, b) || b == 0) return false;
    len = 1;
    while (!(b & (0x80 >> (len - 1)))) ++len;
    value = b & (0xFF >> len);
    bool ones = value == (0xFFu >> len);
    for (int i = 1; i < len; ++i) {
        uint8_t c = 0;
        if (!r.u8(pos + i, c)) return false;
        value = value << 8 | c;
        ones = ones && c == 0xFF;
    }
    unknown = ones;
    return true;
}

RawFormatEnd MkvEnd(RawReader& r) {
    int len = 0;
    uint64_t size = 0;
    bool unknown = false;
    if (!EbmlVint(r, 4, len, size, unknown) || unknown || size > 4096) return kBroken;
    const uint64_t seg = 4 + len + size;
    uint8_t id[4];
    if (!r.get(seg, id, 4)) return kUnknown;
    if (std::memcmp(id, "\x18\x53\x80\x67", 4) != 0) return kBroken;
    if (!EbmlVint(r, seg + 4, len, size, unknown)) return kUnknown;
    if (unknown) return kUnknown;
    const uint64_t end = seg + 4 + len + size;
    return end <= r.limit() ? Known(end) : kUnknown;
}

RawFormatEnd OggEnd(RawReader& r) {
    uint64_t pos = 0;
    while (true) {
        uint8_t h[27];
        if (!r.get(pos, h, 27) || std::memcmp(h, "OggS", 4) != 0 || h[4] != 0) return pos == 0 ? kBroken : Known(pos);
        uint8_t table[255];
        if (!r.get(pos + 27, table, h[26])) return kUnknown;
        uint64_t body = 0;
        for (int i = 0; i < h[26]; ++i) body += table[i];
        pos += 27 + h[26] + body;
        if (pos > r.limit()) return kUnknown;
    }
}

RawFormatEnd SqliteEnd(RawReader& r) {
    uint32_t pageSize = 0, change = 0, pages = 0, validFor = 0;
    if (!r.be16(16, pageSize) || !r.be32(24, change) || !r.be32(28, pages) || !r.be32(92, validFor)) return kUnknown;
    if (pageSize == 1) pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1))) return kBroken;
    if (pages == 0 || change != validFor) return kUnknown;
    return KnownWithin(r, uint64_t{pageSize} * pages, pageSize);
}

RawFormatEnd Ole2End(RawReader& r) {
    uint32_t order = 0, shift = 0, fatSectors = 0, difatStart = 0, difatCount = 0;
    if (!r.le16(28, order) || !r.le16(30, shift) || !r.le32(44, fatSectors) || !r.le32(68, difatStart) ||
        !r.le32(72, difatCount))
        return kUnknown;
    if (order != 0xFFFE || (shift != 9 && shift != 12)) return kBroken;
    const uint64_t ss = uint64_t{1} << shift;
    const uint64_t maxSectors = r.limit() / ss;
    if (fatSectors == 0 || fatSectors > maxSectors) return kUnknown;
    // The FAT's own sectors, from the header's 109 slots and the DIFAT chain.
    std::vector<uint32_t> fat;
    for (uint32_t i = 0; i < 109 && fat.size() < fatSectors; ++i) {
        uint32_t s = 0;
        if (!r.le32(76 + 4 * i, s)) return kUnknown;
        fat.push_back(s);
    }
    uint32_t next = difatStart;
    const uint32_t perSector = static_cast<uint32_t>(ss / 4);
    for (uint32_t hops = 0; fat.size() < fatSectors && hops <= difatCount && next < 0xFFFFFFFA; ++hops) {
        const uint64_t at = (uint64_t{next} + 1) * ss;
        for (uint32_t i = 0; i + 1 < perSector && fat.size() < fatSectors; ++i) {
            uint32_t s = 0;
            if (!r.le32(at + 4 * i, s)) return kUnknown;
            fat.push_back(s);
        }
        if (!r.le32(at + ss - 4, next)) return kUnknown;
    }
    if (fat.size() < fatSectors) return kUnknown;
    // The last sector any FAT entry marks as used ends the file.
    uint64_t last = 0;
    bool any = false;
    std::vector<uint8_t> buf(static_cast<size_t>(ss));
    for (size_t f = 0; f < fat.size(); ++f) {
        if (fat[f] >= maxSectors) return kUnknown;
        if (!r.get((uint64_t{fat[f]} + 1) * ss, buf.data(), buf.size())) return kUnknown;
        for (uint32_t i = 0; i < perSector; ++i) {
            uint32_t e = 0;
            std::memcpy(&e, buf.data() + 4 * i, 4);  // little-endian hosts only
            if (e != 0xFFFFFFFF) {
                last = f * perSector + i;
                any = true;
            }
        }
    }
    if (!any) return kBroken;
    return KnownWithin(r, (last + 2) * ss, ss);
}

// Walks a deflate stream, counting what it would produce; pos ends past the
// last block's final byte.
class Inflate {
public:
    Inflate(RawReader& r, uint64_t pos) : r_(r), pos_(pos) {}

    bool run(uint64_t& produced) {
        produced = 0;
        bool last = false;
        while (!last) {
            last = bits(1) == 1;
            const uint32_t type = bits(2);
            if (!ok_) return false;
            if (type == 0) {
                bitCount_ = 0;  // to the byte boundary
                uint32_t len = 0, nlen = 0;
                if (!r_.le16(pos_, len) || !r_.le16(pos_ + 2, nlen) || (len ^ 0xFFFF) != nlen) return false;
                pos_ += 4 + len;
                produced += len;
                if (pos_ > r_.limit()) return false;
            } else if (type == 1) {
                if (!fixedTables() || !codes(produced)) return false;
            } else if (type == 2) {
                if (!dynamicTables() || !codes(produced)) return false;
            } else {
                return false;
            }
        }
        return ok_;
    }
    uint64_t end() const { return pos_; }

private:
    struct Huffman {
        uint16_t count[16] = {};
        uint16_t symbol[320] = {};
    };

    uint32_t bits(int need) {
        while (bitCount_ < need) {
            uint8_t b = 0;
            if (!r_.u8(pos_++, b)) {
                ok_ = false;
                return 0;
            }
            bitBuf_ |= uint32_t{b} << bitCount_;
            bitCount_ += 8;
        }
        const uint32_t v = bitBuf_ & ((1u << need) - 1);
        bitBuf_ >>= need;
        bitCount_ -= need;
        return v;
    }

    // Builds a canonical code; false when it is over-subscribed.
    static bool build(Huffman& h, const uint8_t* lengths, int n) {
        std::fill(std::begin(h.count), std::end(h.count), 0);
        for (int i = 0; i < n; ++i) h.count[lengths[i]]++;
        if (h.count[0] == n) return true;
        int left = 1;
        for (int len = 1; len < 16; ++len) {
            left <<= 1;
            left -= h.count[len];
            if (left < 0) return false;
        }
        uint16_t offs[16] = {};
        for (int len = 1; len < 15; ++len) offs[len + 1] = static_cast<uint16_t>(offs[len] + h.count[len]);
        for (int i = 0; i < n; ++i)
            if (lengths[i]) h.symbol[offs[lengths[i]]++] = static_cast<uint16_t>(i);
        return true;
    }

    int decode(const Huffman& h) {
        int code = 0, first = 0, index = 0;
        for (int len = 1; len < 16; ++len) {
            code |= static_cast<int>(bits(1));
            if (!ok_) return -1;
            const int count = h.count[len];
            if (code - count < first) return h.symbol[index + (code - first)];
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        return -1;
    }

    bool fixedTables() {
        uint8_t l[320];
        int i = 0;
        for (; i < 144; ++i) l[i] = 8;
        for (; i < 256; ++i) l[i] = 9;
        for (; i < 280; ++i) l[i] = 7;
        for (; i < 288; ++i) l[i] = 8;
        build(lit_, l, 288);
        for (i = 0; i < 30; ++i) l[i] = 5;
        build(dist_, l, 30);
        return true;
    }

    bool dynamicTables() {
        static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        const int nlen = static_cast<int>(bits(5)) + 257, ndist = static_cast<int>(bits(5)) + 1;
        const int ncode = static_cast<int>(bits(4)) + 4;
        if (!ok_ || nlen > 286 || ndist > 30) return false;
        uint8_t l[320] = {};
        for (int i = 0; i < ncode; ++i) l[order[i]] = static_cast<uint8_t>(bits(3));
        Huffman lencode;
        if (!ok_ || !build(lencode, l, 19)) return false;
        int i = 0;
        while (i < nlen + ndist) {
            const int sym = decode(lencode);
            if (sym < 0) return false;
            if (sym < 16) {
                l[i++] = static_cast<uint8_t>(sym);
                continue;
            }
            uint8_t val = 0;
            int rep = 0;
            if (sym == 16) {
                if (i == 0) return false;
                val = l[i - 1];
                rep = 3 + static_cast<int>(bits(2));
            } else if (sym == 17) {
                rep = 3 + static_cast<int>(bits(3));
            } else {
                rep = 11 + static_cast<int>(bits(7));
            }
            if (!ok_ || i + rep > nlen + ndist) return false;
            while (rep--) l[i++] = val;
        }
        if (l[256] == 0) return false;
        return build(lit_, l, nlen) && build(dist_, l + nlen, ndist);
    }

    bool codes(uint64_t& produced) {
        static const uint16_t lbase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const uint8_t lext[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const uint16_t dbase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
                                           193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
        static const uint8_t dext[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        while (true) {
            const int sym = decode(lit_);
            if (sym < 0) return false;
            if (sym < 256) {
                ++produced;
                continue;
            }
            if (sym == 256) return true;
            const int li = sym - 257;
            if (li >= 29) return false;
            const uint32_t len = lbase[li] + bits(lext[li]);
            const int ds = decode(dist_);
            if (ds < 0 || ds >= 30) return false;
            const uint32_t dist = dbase[ds] + bits(dext[ds]);
            if (!ok_ || dist > produced) return false;
            produced += len;
        }
    }

    RawReader& r_;
    uint64_t pos_;
    uint32_t bitBuf_ = 0;
    int bitCount_ = 0;
    bool ok_ = true;
    Huffman lit_, dist_;
};

RawFormatEnd GzipEnd(RawReader& r) {
    uint8_t h[10];
    if (!r.get(0, h, 10)) return kUnknown;
    const uint8_t flags = h[3];
    if (flags & 0xE0) return kBroken;
    uint64_t pos = 10;
    if (flags & 4) {
        uint32_t xlen = 0;
        if (!r.le16(pos, xlen)) return kUnknown;
        pos += 2 + xlen;
    }
    for (uint8_t bit : {uint8_t{8}, uint8_t{16}}) {
        if (!(flags & bit)) continue;
        static const uint8_t zero = 0;
        const uint64_t nul = r.find(pos, &zero, 1);
        if (nul == UINT64_MAX || nul - pos > 65536) return kBroken;
        pos = nul + 1;
    }
    if (flags & 2) pos += 2;
    Inflate inflate(r, pos);
    uint64_t produced = 0;
    if (!inflate.run(produced)) return pos + 64 < r.limit() && produced == 0 ? kBroken : kUnknown;
    uint32_t isize = 0;
    if (!r.le32(inflate.end() + 4, isize)) return kUnknown;
    if (isize != static_cast<uint32_t>(produced)) return kUnknown;
    return Known(inflate.end() + 8);
}

RawFormatEnd XzEnd(RawReader& r) {
    uint8_t h[12];
    if (!r.get(0, h, 12)) return kUnknown;
    if (Crc32(ByteSpan(reinterpret_cast<const std::byte*>(h + 6), 2)) != readLe32(ByteSpan(reinterpret_cast<const std::byte*>(h), 12), 8))
        return kBroken;
    // Stream footers sit on 4-byte boundaries: CRC32, backward size, the
    // header's flags and "YZ".
    static const uint8_t yz[2] = {'Y', 'Z'};
    uint64_t pos = 12;
    while ((pos = r.find(pos, yz, 2)) != UINT64_MAX) {
        if ((pos + 2) % 4 == 0 && pos >= 22) {
            uint8_t f[12];
            if (r.get(pos - 10, f, 12) && f[8] == h[6] && f[9] == h[7]) {
                const ByteSpan fs(reinterpret_cast<const std::byte*>(f), 12);
                if (Crc32(fs.subspan(4, 6)) == readLe32(fs, 0)) return Known(pos + 2);
            }
        }
        ++pos;
    }
    return kUnknown;
}

RawFormatEnd Bzip2End(RawReader& r) {
    // The end-of-stream mark (0x177245385090, then a 32-bit CRC) lies on any
    // bit; the stream is padded to a whole byte after it.
    uint64_t window = 0;
    uint64_t pos = 4;
    const uint64_t kMark = 0x177245385090ull;
    int filled = 0;
    while (true) {
        const uint8_t* p = nullptr;
        const size_t got = r.view(pos, p);
        if (got == 0) return kUnknown;
        for (size_t i = 0; i < got; ++i) {
            for (int b = 7; b >= 0; --b) {
                window = (window << 1 | ((p[i] >> b) & 1)) & 0xFFFFFFFFFFFFull;
                if (++filled >= 48 && window == kMark) {
                    // 32 CRC bits follow the mark; the byte holding the last one ends the file.
                    const uint64_t bitsDone = (pos + i) * 8 + (7 - b) + 1;
                    const uint64_t end = (bitsDone + 32 + 7) / 8;
                    return end <= r.limit() ? Known(end) : kUnknown;
                }
            }
        }
        pos += got;
    }
}

RawFormatEnd ElfEnd(RawReader& r) {
    uint8_t id[6];
    if (!r.get(0, id, 6)) return kUnknown;
    const bool is64 = id[4] == 2, le = id[5] == 1;
    auto u16 = [&](uint64_t at, uint64_t& v) {
        uint32_t x = 0;
        const bool ok = le ? r.le16(at, x) : r.be16(at, x);
        v = x;
        return ok;
    };
    auto word = [&](uint64_t at, uint64_t& v) {
        if (is64) return le ? r.le64(at, v) : r.be64(at, v);
        uint32_t x = 0;
        const bool ok = le ? r.le32(at, x) : r.be32(at, x);
        v = x;
        return ok;
    };
    uint64_t phoff = 0, shoff = 0, phentsize = 0, phnum = 0, shentsize = 0, shnum = 0;
    const uint64_t b = is64 ? 0x20 : 0x1C;
    const uint64_t w = is64 ? 8 : 4;
    if (!word(b, phoff) || !word(b + w, shoff) || !u16(b + 2 * w + 6, phentsize) || !u16(b + 2 * w + 8, phnum) ||
        !u16(b + 2 * w + 10, shentsize) || !u16(b + 2 * w + 12, shnum))
        return kUnknown;
    const uint64_t hdr = is64 ? 64 : 52;
    if ((phnum && phentsize < (is64 ? 56u : 32u)) || (shnum && shentsize < (is64 ? 64u : 40u))) return kBroken;
    uint64_t end = std::max(hdr, phnum ? phoff + phnum * phentsize : 0);
    if (shnum) end = std::max(end, shoff + shnum * shentsize);
    if (end > r.limit()) return kUnknown;
    for (uint64_t i = 0; i < phnum; ++i) {
        uint64_t off = 0, fsz = 0;
        const uint64_t e = phoff + i * phentsize;
        if (!word(e + (is64 ? 8 : 4), off) || !word(e + (is64 ? 32 : 16), fsz)) return kUnknown;
        end = std::max(end, off + fsz);
    }
    for (uint64_t i = 0; i < shnum; ++i) {
        uint64_t type = 0, off = 0, sz = 0;
        const uint64_t e = shoff + i * shentsize;
        uint32_t t32 = 0;
        if (!(le ? r.le32(e + 4, t32) : r.be32(e + 4, t32))) return kUnknown;
        type = t32;
        if (!word(e + (is64 ? 24 : 16), off) || !word(e + (is64 ? 32 : 20), sz)) return kUnknown;
        if (type != 8) end = std::max(end, off + sz);  // SHT_NOBITS holds no bytes
    }
    return end <= r.limit() ? Known(end) : kUnknown;
}

RawFormatEnd PeEnd(RawReader& r) {
    uint32_t lfanew = 0, sig = 0, nsec = 0, optSize = 0, magic = 0;
    if (!r.le32(0x3C, lfanew)) return kUnknown;
    if (lfanew < 0x40 || lfanew > 0x10000) return kBroken;
    if (!r.le32(lfanew, sig)) return kUnknown;
    if (sig != 0x00004550) return kBroken;
    if (!r.le16(lfanew + 6, nsec) || !r.le16(lfanew + 20, optSize) || !r.le16(lfanew + 24, magic)) return kUnknown;
    const uint64_t table = lfanew + 24 + uint64_t{optSize};
    uint64_t end = table + 40 * uint64_t{nsec};
    for (uint32_t i = 0; i < nsec; ++i) {
        uint32_t raw = 0, at = 0;
        if (!r.le32(table + 40 * i + 16, raw) || !r.le32(table + 40 * i + 20, at)) return kUnknown;
        if (raw) end = std::max(end, uint64_t{at} + raw);
    }
    // The certificate table (data directory 4) lies past the sections, by file offset.
    const uint64_t dirs = lfanew + 24 + (magic == 0x20B ? 112 : 96);
    uint32_t certAt = 0, certSize = 0;
    if (optSize >= (magic == 0x20B ? 112u : 96u) + 40 && r.le32(dirs + 32, certAt) && r.le32(dirs + 36, certSize) &&
        certAt && certSize)
        end = std::max(end, uint64_t{certAt} + certSize);
    return end <= r.limit() ? Known(end) : kUnknown;
}


// TIFF and the camera raws built on it: the furthest byte any IFD, entry
// value, strip or tile reaches.
RawFormatEnd TiffEnd(RawReader& r) {
    uint8_t h[8];
    if (!r.get(0, h, 8)) return kUnknown;
    const bool le = h[0] == 'I';
    auto u16 = [&](uint64_t at, uint32_t& v) { return le ? r.le16(at, v) : r.be16(at, v); };
    auto u32 = [&](uint64_t at, uint32_t& v) { return le ? r.le32(at, v) : r.be32(at, v); };
    uint32_t first = 0;
    if (!u32(4, first)) return kUnknown;
    if (first < 8 || first >= r.limit()) return kBroken;
    static const uint32_t kTypeSize[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
    uint64_t end = 8;
    std::vector<uint32_t> todo{first};
    std::vector<uint32_t> seen;
    // Offsets and byte counts of strips or tiles, paired by tag.
    auto values = [&](uint32_t type, uint32_t count, uint64_t at, std::vector<uint32_t>& out) {
        out.clear();
        if (count > 1u << 20) return false;
        const uint32_t size = type == 3 ? 2 : 4;
        const uint64_t base = uint64_t{count} * size <= 4 ? at : 0;
        uint32_t ptr = 0;
        if (!base && !u32(at, ptr)) return false;
        const uint64_t from = base ? base : ptr;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t v = 0;
            if (!(size == 2 ? u16(from + 2 * i, v) : u32(from + 4 * i, v))) return false;
            out.push_back(v);
        }
        return true;
    };
    while (!todo.empty()) {
        const uint32_t ifd = todo.back();
        todo.pop_back();
        if (std::find(seen.begin(), seen.end(), ifd) != seen.end() || seen.size() > 256) continue;
        seen.push_back(ifd);
        uint32_t n = 0;
        if (!u16(ifd, n)) return kUnknown;
        if (n == 0 || n > 1000) return seen.size() == 1 ? kBroken : kUnknown;
        end = std::max(end, uint64_t{ifd} + 2 + uint64_t{12} * n + 4);
        std::vector<uint32_t> offs[3], counts[3];  // strips, tiles, JPEG thumbnail
        for (uint32_t e = 0; e < n; ++e) {
            const uint64_t at = ifd + 2 + uint64_t{12} * e;
            uint32_t tag = 0, type = 0, count = 0, value = 0;
            if (!u16(at, tag) || !u16(at + 2, type) || !u32(at + 4, count) || !u32(at + 8, value)) return kUnknown;
            if (type == 0 || type >= std::size(kTypeSize)) continue;
            const uint64_t bytes = uint64_t{count} * kTypeSize[type];
            if (bytes > 4) end = std::max(end, uint64_t{value} + bytes);
            std::vector<uint32_t> v;
            if (tag == 273 || tag == 279 || tag == 324 || tag == 325) {
                if (!values(type, count, at + 8, v)) return kUnknown;
                const int k = tag == 273 || tag == 279 ? 0 : 1;
                (tag == 273 || tag == 324 ? offs[k] : counts[k]) = v;
            } else if (tag == 513) {
                offs[2] = {value};
            } else if (tag == 514) {
                counts[2] = {value};
            } else if (tag == 330 || tag == 34665 || tag == 34853) {
                if (!values(type == 3 ? 4 : type, count, at + 8, v)) return kUnknown;
                for (uint32_t x : v)
                    if (todo.size() < 1024) todo.push_back(x);
            }
        }
        for (int k = 0; k < 3; ++k)
            for (size_t i = 0; i < offs[k].size() && i < counts[k].size(); ++i)
                end = std::max(end, uint64_t{offs[k][i]} + counts[k][i]);
        uint32_t next = 0;
        if (!u32(ifd + 2 + uint64_t{12} * n, next)) return kUnknown;
        if (next && todo.size() < 1024) todo.push_back(next);
    }
    return end <= r.limit() ? Known(end) : kUnknown;
}

RawFormatEnd MidiEnd(RawReader& r) {
    uint32_t len = 0, tracks = 0;
    if (!r.be32(4, len) || !r.be16(10, tracks)) return kUnknown;
    if (len < 6 || tracks == 0) return kBroken;
    uint64_t pos = 8 + uint64_t{len};
    for (uint32_t t = 0; t < tracks; ++t) {
        uint8_t id[4];
        uint32_t size = 0;
        if (!r.get(pos, id, 4) || !r.be32(pos + 4, size)) return kUnknown;
        for (uint8_t c : id)
            if (c < 0x20 || c > 0x7E) return kUnknown;
        pos += 8 + uint64_t{size};
    }
    return pos <= r.limit() ? Known(pos) : kUnknown;
}

// The length of the MPEG audio frame whose header is h (Layer III only);
// 0 when h is not one, or not of the same stream as `like`.
uint32_t Mp3FrameLength(uint32_t h, uint32_t like) {
    if ((h & 0xFFE00000) != 0xFFE00000) return 0;
    const uint32_t version = (h >> 19) & 3, layer = (h >> 17) & 3, br = (h >> 12) & 15, sr = (h >> 10) & 3;
    if (version == 1 || layer != 1 || br == 0 || br == 15 || sr == 3) return 0;
    if (like && (h & 0xFFFE0C00) != (like & 0xFFFE0C00)) return 0;
    static const uint16_t kV1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const uint16_t kV2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const uint32_t kRate[3][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}};
    static const uint32_t kRate1[] = {44100, 48000, 32000};
    const bool v1 = version == 3;
    const uint32_t rate = v1 ? kRate1[sr] : kRate[version][sr];
    const uint32_t kbps = v1 ? kV1[br] : kV2[br];
    return (v1 ? 144000 : 72000) * kbps / rate + ((h >> 9) & 1);
}

RawFormatEnd Mp3End(RawReader& r) {
    uint8_t id3[10];
    if (!r.get(0, id3, 10)) return kUnknown;
    if ((id3[6] | id3[7] | id3[8] | id3[9]) & 0x80) return kBroken;
    uint64_t pos = 10 + (uint64_t{id3[6]} << 21 | uint64_t{id3[7]} << 14 | uint64_t{id3[8]} << 7 | id3[9]);
    if (id3[5] & 0x10) pos += 10;
    uint32_t first = 0;
    uint64_t frames = 0;
    while (true) {
        uint32_t h = 0;
        if (!r.be32(pos, h)) break;
        const uint32_t len = Mp3FrameLength(h, first);
        if (len < 4) break;
        if (!first) first = h;
        pos += len;
        ++frames;
    }
    if (frames == 0) return kUnknown;
    if (pos > r.limit()) return kUnknown;
    uint8_t tag[3];
    if (r.get(pos, tag, 3) && std::memcmp(tag, "TAG", 3) == 0 && pos + 128 <= r.limit()) pos += 128;
    return Known(pos);
}

uint8_t Crc8(const uint8_t* p, size_t n) {
    uint8_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int b = 0; b < 8; ++b) c = static_cast<uint8_t>(c & 0x80 ? (c << 1) ^ 0x07 : c << 1);
    }
    return c;
}

// A FLAC frame header at pos: its block size in samples, 0 when none is there.
uint32_t FlacFrameHeader(RawReader& r, uint64_t pos) {
    uint8_t h[16];
    if (!r.get(pos, h, 4) || h[0] != 0xFF || (h[1] & 0xFE) != 0xF8) return 0;
    const uint32_t bs = h[2] >> 4, srCode = h[2] & 15;
    if (bs == 0 || srCode == 15 || (h[3] & 1) || ((h[3] >> 1) & 7) == 3 || ((h[3] >> 1) & 7) == 7 || (h[3] >> 4) > 10)
        return 0;
    size_t n = 4;
    uint8_t lead = 0;
    if (!r.u8(pos + 4, lead)) return 0;
    int extra = 0;
    while (extra < 7 && (lead & (0x80 >> extra))) ++extra;
    const size_t utf = extra == 0 ? 1 : static_cast<size_t>(extra);
    if (extra == 1 || extra > 7) return 0;
    n += utf;
    const size_t bsBytes = bs == 6 ? 1 : bs == 7 ? 2 : 0;
    const size_t srBytes = srCode == 12 ? 1 : (srCode == 13 || srCode == 14) ? 2 : 0;
    const size_t total = n + bsBytes + srBytes + 1;
    if (!r.get(pos, h, total)) return 0;
    if (Crc8(h, total - 1) != h[total - 1]) return 0;
    if (bs == 1) return 192;
    if (bs <= 5) return 576u << (bs - 2);
    if (bs == 6) return h[n] + 1u;
    if (bs == 7) return (uint32_t{h[n]} << 8 | h[n + 1]) + 1u;
    return 256u << (bs - 8);
}

RawFormatEnd FlacEnd(RawReader& r) {
    uint64_t pos = 4;
    uint64_t totalSamples = 0;
    for (int blocks = 0;; ++blocks) {
        uint8_t h[4];
        if (!r.get(pos, h, 4)) return kUnknown;
        const uint32_t len = uint32_t{h[1]} << 16 | uint32_t{h[2]} << 8 | h[3];
        if (blocks == 0) {
            uint8_t si[18];
            if ((h[0] & 0x7F) != 0 || len != 34 || !r.get(pos + 4, si, 18)) return kBroken;
            totalSamples = uint64_t{si[13] & 15u} << 32 | uint64_t{si[14]} << 24 | uint64_t{si[15]} << 16 |
                           uint64_t{si[16]} << 8 | si[17];
        }
        pos += 4 + uint64_t{len};
        if (h[0] & 0x80) break;
        if (blocks > 1000) return kUnknown;
    }
    if (totalSamples == 0) return kUnknown;
    // Each frame ends where the CRC-16 over it comes to zero and the next
    // frame header (or, after the last sample, the end) follows.
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i << 8);
            for (int b = 0; b < 8; ++b) c = static_cast<uint16_t>(c & 0x8000 ? (c << 1) ^ 0x8005 : c << 1);
            t[i] = c;
        }
        return t;
    }();
    uint64_t samples = 0;
    while (true) {
        const uint32_t block = FlacFrameHeader(r, pos);
        if (block == 0) return kUnknown;
        const bool last = samples + block >= totalSamples;
        uint16_t crc = 0;
        uint64_t p = pos;
        uint64_t next = 0;
        while (!next) {
            const uint8_t* bytes = nullptr;
            const size_t got = r.view(p, bytes);
            if (got == 0) return kUnknown;
            for (size_t i = 0; i < got; ++i) {
                crc = static_cast<uint16_t>((crc << 8) ^ table[((crc >> 8) ^ bytes[i]) & 0xFF]);
                const uint64_t at = p + i + 1;
                if (crc != 0 || at - pos < 8) continue;
                if (last || FlacFrameHeader(r, at)) {
                    next = at;
                    break;
                }
            }
            if (!next) p += got;
        }
        samples += block;
        pos = next;
        if (last) return Known(pos);
    }
}

using Parser = RawFormatEnd (*)(RawReader&);

struct EndFormat {
    const char* extensions;  // space-separated
    Parser parse;
};

const EndFormat kFormats[] = {
    {"jpg jpeg", JpegEnd},
    {"png", PngEnd},
    {"gif", GifEnd},
    {"bmp", BmpEnd},
    {"wav avi webp", RiffEnd},
    {"aif aiff", AiffEnd},
    {"zip docx xlsx pptx odt ods odp epub jar apk", ZipEnd},
    {"mp4 mov 3gp m4a heic", IsoBoxEnd},
    {"mkv webm", MkvEnd},
    {"ogg", OggEnd},
    {"sqlite db", SqliteEnd},
    {"doc xls ppt msg", Ole2End},
    {"gz", GzipEnd},
    {"xz", XzEnd},
    {"bz2", Bzip2End},
    {"elf", ElfEnd},
    {"exe dll", PeEnd},
    {"tif tiff cr2 orf rw2 nef arw dng", TiffEnd},
    {"mid", MidiEnd},
    {"mp3", Mp3End},
    {"flac", FlacEnd},
};

Parser ParserFor(const std::string& ext) {
    for (const EndFormat& f : kFormats) {
        const std::string list = std::string(" ") + f.extensions + " ";
        if (list.find(" " + ext + " ") != std::string::npos) return f.parse;
    }
    return nullptr;
}

}  // namespace

RawFormatEnd FindFormatEnd(const std::string& extension, RawReader& file) {
    if (extension == "pdf") return {RawEndKind::Trim, 0};
    const Parser p = ParserFor(extension);
    return p ? p(file) : kUnknown;
}

uint64_t RawTrimEnd(const std::string& extension, RawReader& file, uint64_t closed) {
    if (extension != "pdf" || closed < 5) return closed;
    // Backwards in blocks for the last "%%EOF", then its line end.
    constexpr uint64_t kStep = 64 * 1024;
    uint64_t hi = closed;
    std::vector<uint8_t> buf;
    while (hi > 0) {
        const uint64_t lo = hi > kStep ? hi - kStep : 0;
        const uint64_t readEnd = std::min(closed, hi + 4);
        buf.resize(static_cast<size_t>(readEnd - lo));
        if (!file.get(lo, buf.data(), buf.size())) return closed;
        for (size_t i = buf.size(); i >= 5; --i) {
            if (std::memcmp(buf.data() + i - 5, "%%EOF", 5) != 0) continue;
            uint64_t end = lo + i;
            uint8_t c = 0;
            if (end < closed && file.u8(end, c) && c == '\r') ++end;
            if (end < closed && file.u8(end, c) && c == '\n') ++end;
            return end;
        }
        hi = lo;
    }
    return closed;
}

bool HasFormatEnd(const std::string& extension) { return extension == "pdf" || ParserFor(extension) != nullptr; }

}  // namespace vantor
