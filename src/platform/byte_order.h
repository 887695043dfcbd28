#pragma once
// Little-endian field access over byte spans. On-disk structures are always
// decoded through these, never by casting a packed struct over the bytes.
// Reads outside the span return 0, so a decoder over a short buffer degrades
// instead of reading past it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace vantor {

using ByteSpan = std::span<const std::byte>;
using MutableByteSpan = std::span<std::byte>;

inline uint8_t readU8(ByteSpan b, size_t off) {
    return off < b.size() ? static_cast<uint8_t>(b[off]) : 0;
}
inline uint16_t readLe16(ByteSpan b, size_t off) {
    if (off > b.size() || b.size() - off < 2) return 0;
    return static_cast<uint16_t>(static_cast<uint16_t>(b[off]) |
                                 (static_cast<uint16_t>(b[off + 1]) << 8));
}
inline uint32_t readLe32(ByteSpan b, size_t off) {
    if (off > b.size() || b.size() - off < 4) return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[off + static_cast<size_t>(i)]);
    return v;
}
inline uint64_t readLe64(ByteSpan b, size_t off) {
    if (off > b.size() || b.size() - off < 8) return 0;
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[off + static_cast<size_t>(i)]);
    return v;
}

inline void writeU8(MutableByteSpan b, size_t off, uint8_t v) {
    if (off < b.size()) b[off] = std::byte{v};
}
inline void writeLe16(MutableByteSpan b, size_t off, uint16_t v) {
    if (off > b.size() || b.size() - off < 2) return;
    b[off] = std::byte(v & 0xFF);
    b[off + 1] = std::byte(v >> 8);
}
inline void writeLe32(MutableByteSpan b, size_t off, uint32_t v) {
    if (off > b.size() || b.size() - off < 4) return;
    for (size_t i = 0; i < 4; ++i) b[off + i] = std::byte((v >> (8 * i)) & 0xFF);
}
inline void writeLe64(MutableByteSpan b, size_t off, uint64_t v) {
    if (off > b.size() || b.size() - off < 8) return;
    for (size_t i = 0; i < 8; ++i) b[off + i] = std::byte((v >> (8 * i)) & 0xFF);
}

// True when the bytes at off equal the ASCII text (no terminator compared).
inline bool bytesEqual(ByteSpan b, size_t off, const char* text) {
    size_t n = std::strlen(text);
    if (off > b.size() || b.size() - off < n) return false;
    return std::memcmp(b.data() + off, text, n) == 0;
}

// A zero-terminated text of at most maxLen bytes starting at off.
inline std::string readCString(ByteSpan b, size_t off, size_t maxLen) {
    std::string s;
    for (size_t i = 0; i < maxLen && off + i < b.size(); ++i) {
        char c = static_cast<char>(b[off + i]);
        if (c == '\0') break;
        s.push_back(c);
    }
    return s;
}

// Copies text into a fixed char field, always zero-terminated, rest zero.
inline void copyToField(char* field, size_t fieldSize, const std::string& text) {
    std::memset(field, 0, fieldSize);
    if (fieldSize == 0) return;
    std::memcpy(field, text.data(), text.size() < fieldSize ? text.size() : fieldSize - 1);
}

}  // namespace vantor
