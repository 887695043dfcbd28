#include "platform/lznt1.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vantor {
namespace {

constexpr uint16_t kCompressedFlag = 0x8000;
constexpr uint16_t kSignature = 0x3000;
constexpr uint16_t kSizeMask = 0x0FFF;

// Offset bits of a back-reference made when `pos` bytes of the chunk are
// already out: just enough to reach the chunk start, never fewer than 4.
// The other 16 - n bits hold length - 3.
unsigned offsetBits(size_t pos) {
    unsigned n = 4;
    while ((size_t{1} << n) < pos) ++n;
    return n;
}

// Decodes one compressed chunk body into dst. `decoded` is the number of
// bytes written; `outFull` tells that dst ran out before the body did.
ErrorCode decodeChunk(ByteSpan src, MutableByteSpan dst, size_t& decoded, bool& outFull) {
    size_t s = 0;
    size_t d = 0;
    outFull = false;
    while (s < src.size()) {
        const unsigned flags = static_cast<uint8_t>(src[s++]);
        for (unsigned bit = 0; bit < 8 && s < src.size(); ++bit) {
            if (d >= kLznt1ChunkSize) {
                decoded = d;
                return kErrInvalidParameter;  // tokens past a full chunk
            }
            if (d == dst.size()) {
                decoded = d;
                outFull = true;
                return kSuccess;
            }
            if ((flags & (1u << bit)) == 0) {
                dst[d++] = src[s++];
                continue;
            }
            if (src.size() - s < 2 || d == 0) {
                decoded = d;
                return kErrInvalidParameter;
            }
            const uint16_t token = readLe16(src, s);
            s += 2;
            const unsigned lengthBits = 16 - offsetBits(d);
            const size_t offset = (size_t{token} >> lengthBits) + 1;
            const size_t length = (size_t{token} & ((size_t{1} << lengthBits) - 1)) + 3;
            if (offset > d || length > kLznt1ChunkSize - d) {
                decoded = d;
                return kErrInvalidParameter;
            }
            const size_t n = std::min(length, dst.size() - d);
            // Byte by byte: the source may overlap what is being written.
            for (size_t i = 0; i < n; ++i, ++d) dst[d] = dst[d - offset];
            if (n < length) {
                decoded = d;
                outFull = true;
                return kSuccess;
            }
        }
    }
    decoded = d;
    return kSuccess;
}

constexpr size_t kHashSize = 4096;
constexpr int kMaxChain = 128;  // bounds the match search per position

size_t hash3(ByteSpan c, size_t p) {
    const auto v = (static_cast<uint32_t>(c[p]) << 16) | (static_cast<uint32_t>(c[p + 1]) << 8) |
                   static_cast<uint32_t>(c[p + 2]);
    return ((v * 2654435761u) >> 20) & (kHashSize - 1);
}

// Greedy LZ77 over one chunk (at most 4096 bytes), with hash chains of
// earlier positions sharing their first three bytes.
void compressChunk(ByteSpan c, std::vector<std::byte>& body) {
    body.clear();
    std::array<int16_t, kHashSize> head;
    std::array<int16_t, kLznt1ChunkSize> prev;
    head.fill(-1);
    auto insert = [&](size_t p) {
        if (c.size() - p < 3) return;
        const size_t h = hash3(c, p);
        prev[p] = head[h];
        head[h] = static_cast<int16_t>(p);
    };

    size_t flagPos = 0;
    unsigned tokens = 8;
    size_t d = 0;
    while (d < c.size()) {
        if (tokens == 8) {
            flagPos = body.size();
            body.push_back(std::byte{0});
            tokens = 0;
        }
        size_t bestLen = 0;
        size_t bestOff = 0;
        const unsigned lengthBits = 16 - offsetBits(d);
        if (d > 0 && c.size() - d >= 3) {
            const size_t maxOff = size_t{1} << (16 - lengthBits);
            const size_t maxLen = std::min((size_t{1} << lengthBits) + 2, c.size() - d);
            int cand = head[hash3(c, d)];
            for (int depth = 0; cand >= 0 && depth < kMaxChain; ++depth) {
                const size_t off = d - static_cast<size_t>(cand);
                if (off > maxOff) break;  // chains run towards older positions
                size_t len = 0;
                while (len < maxLen && c[static_cast<size_t>(cand) + len] == c[d + len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestOff = off;
                    if (len == maxLen) break;
                }
                cand = prev[static_cast<size_t>(cand)];
            }
        }
        if (bestLen >= 3) {
            const auto token = static_cast<uint16_t>(((bestOff - 1) << lengthBits) | (bestLen - 3));
            body[flagPos] |= std::byte(1u << tokens);
            body.push_back(std::byte(token & 0xFF));
            body.push_back(std::byte(token >> 8));
            for (size_t i = 0; i < bestLen; ++i) insert(d + i);
            d += bestLen;
        } else {
            body.push_back(c[d]);
            insert(d);
            ++d;
        }
        ++tokens;
    }
}

void appendHeader(std::vector<std::byte>& out, uint16_t header) {
    out.push_back(std::byte(header & 0xFF));
    out.push_back(std::byte(header >> 8));
}

}  // namespace

ErrorCode Lznt1Decompress(ByteSpan in, MutableByteSpan out, size_t& produced) {
    size_t pos = 0;
    size_t o = 0;
    size_t lastChunk = kLznt1ChunkSize;
    ErrorCode result = kSuccess;
    while (in.size() - pos >= 2 && o < out.size()) {
        const uint16_t header = readLe16(in, pos);
        if (header == 0) break;
        pos += 2;
        // The signature bits are not checked: only size and flag carry meaning.
        const size_t bodySize = static_cast<size_t>(header & kSizeMask) + 1;
        if (bodySize > in.size() - pos) {
            result = kErrInvalidParameter;
            break;
        }
        // Every chunk but the last stands for 4096 bytes; a short one before
        // another chunk leaves zeros behind it.
        if (lastChunk < kLznt1ChunkSize) {
            const size_t pad = std::min(kLznt1ChunkSize - lastChunk, out.size() - o);
            std::memset(out.data() + o, 0, pad);
            o += pad;
            if (o == out.size()) break;
        }
        const ByteSpan body = in.subspan(pos, bodySize);
        pos += bodySize;
        if (header & kCompressedFlag) {
            size_t decoded = 0;
            bool outFull = false;
            result = decodeChunk(body, out.subspan(o), decoded, outFull);
            o += decoded;
            if (result != kSuccess || outFull) break;
            lastChunk = decoded;
        } else {
            const size_t n = std::min(bodySize, out.size() - o);
            std::memcpy(out.data() + o, body.data(), n);
            o += n;
            lastChunk = bodySize;
        }
    }
    produced = o;
    return result;
}

std::vector<std::byte> Lznt1Compress(ByteSpan in) {
    std::vector<std::byte> out;
    out.reserve(in.size() + (in.size() / kLznt1ChunkSize + 2) * 2);
    std::vector<std::byte> body;
    body.reserve(kLznt1ChunkSize + kLznt1ChunkSize / 8 + 1);
    for (size_t start = 0; start < in.size(); start += kLznt1ChunkSize) {
        const ByteSpan chunk = in.subspan(start, std::min(kLznt1ChunkSize, in.size() - start));
        compressChunk(chunk, body);
        if (body.size() < chunk.size()) {
            appendHeader(out, static_cast<uint16_t>(kCompressedFlag | kSignature | (body.size() - 1)));
            out.insert(out.end(), body.begin(), body.end());
        } else {
            appendHeader(out, static_cast<uint16_t>(kSignature | (chunk.size() - 1)));
            out.insert(out.end(), chunk.begin(), chunk.end());
        }
    }
    appendHeader(out, 0);
    return out;
}

}  // namespace vantor
