#pragma once
// Shared by the FAT tests: the fixtures' content generators and a small
// in-memory FAT16/FAT32 image builder for precise directory layouts.
#include <cstdint>
#include <cstdio>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/user_prompt.h"
#include "support/scripted_prompt.h"
#include "fat/fat_volume.h"
#include "platform/block_device.h"
#include "platform/byte_order.h"
#include "platform/time_util.h"

namespace vantor::fattest {

inline uint16_t EncodeYmd(int y, int m, int d) { return EncodeDosDate(y, m, d); }

// xorshift32 words, little-endian, cut to n (tests/fixtures/README.md).
inline std::vector<std::byte> XorshiftBytes(uint32_t seed, size_t n) {
    std::vector<std::byte> out;
    out.reserve(n + 4);
    uint32_t x = seed ? seed : 1;
    while (out.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        for (int i = 0; i < 4; ++i) out.push_back(std::byte((x >> (8 * i)) & 0xFF));
    }
    out.resize(n);
    return out;
}

inline std::vector<std::byte> NumberedLines(const std::string& tag, int lines) {
    std::string s;
    char buf[160];
    for (int i = 1; i <= lines; ++i) {
        std::snprintf(buf, sizeof(buf), "%s line %04d: the quick brown fox jumps over the lazy dog\n", tag.c_str(), i);
        s += buf;
    }
    std::vector<std::byte> out(s.size());
    std::memcpy(out.data(), s.data(), s.size());
    return out;
}

inline std::string FixturePath(const std::string& name) { return std::string(VANTOR_FIXTURE_DIR) + "/" + name; }

inline std::vector<std::byte> ReadWholeFile(const std::string& path) {
    std::vector<std::byte> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) {
        const size_t at = out.size();
        out.resize(at + n);
        std::memcpy(out.data() + at, buf, n);
    }
    std::fclose(f);
    return out;
}

// A 32-byte short entry. name11 is the 8+3 name as stored (blank padded).
struct Entry {
    std::string name11;
    uint8_t attr = 0x20;
    uint32_t cluster = 0;
    uint32_t size = 0;
    uint16_t date = 0x576E;  // 2023-11-14
    uint16_t time = 0x6000;
    bool deleted = false;

    std::array<std::byte, 32> bytes() const {
        std::array<std::byte, 32> e{};
        MutableByteSpan s(e);
        for (size_t i = 0; i < 11; ++i) s[i] = std::byte(i < name11.size() ? name11[i] : ' ');
        if (deleted) s[0] = std::byte{0xE5};
        writeU8(s, 11, attr);
        writeLe16(s, 14, time);
        writeLe16(s, 16, date);
        writeLe16(s, 18, date);
        writeLe16(s, 20, static_cast<uint16_t>(cluster >> 16));
        writeLe16(s, 22, time);
        writeLe16(s, 24, date);
        writeLe16(s, 26, static_cast<uint16_t>(cluster & 0xFFFF));
        writeLe32(s, 28, size);
        return e;
    }
};

// Long-name entries for name (ASCII), last piece first, as stored on disk.
inline std::vector<std::array<std::byte, 32>> LongNameEntries(const std::string& name, uint8_t checksum,
                                                              bool deleted = false) {
    std::vector<char16_t> units(name.begin(), name.end());
    units.push_back(0);
    while (units.size() % 13) units.push_back(0xFFFF);
    const size_t pieces = units.size() / 13;
    static constexpr size_t kOff[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::vector<std::array<std::byte, 32>> out;
    for (size_t p = pieces; p-- > 0;) {
        std::array<std::byte, 32> e{};
        MutableByteSpan s(e);
        uint8_t ord = static_cast<uint8_t>(p + 1);
        if (p + 1 == pieces) ord |= 0x40;
        writeU8(s, 0, deleted ? 0xE5 : ord);
        writeU8(s, 11, 0x0F);
        writeU8(s, 13, checksum);
        for (size_t i = 0; i < 13; ++i) writeLe16(s, kOff[i], units[p * 13 + i]);
        out.push_back(e);
    }
    return out;
}

// A blank FAT volume in memory with valid boot figures.
class MiniFat {
public:
    // FAT16: 512-byte sectors, spc sectors per cluster, rootEntries entries.
    static MiniFat Fat16(uint8_t spc, uint16_t rootEntries, uint32_t totalSectors, uint16_t fatSectors = 64) {
        MiniFat m;
        m.kind_ = FatKind::Fat16;
        m.spc_ = spc;
        m.rootEntries_ = rootEntries;
        m.total_ = totalSectors;
        m.fatSectors_ = fatSectors;
        m.build();
        return m;
    }
    static MiniFat Fat32(uint8_t spc, uint32_t totalSectors, uint32_t fatSectors, uint32_t rootCluster = 2) {
        MiniFat m;
        m.kind_ = FatKind::Fat32;
        m.spc_ = spc;
        m.total_ = totalSectors;
        m.fatSectors_ = fatSectors;
        m.rootCluster_ = rootCluster;
        m.rsvd_ = 32;
        m.build();
        m.setFat(rootCluster, 0x0FFFFFFF);
        return m;
    }

    std::vector<std::byte>& bytes() { return img_; }
    MutableByteSpan boot() { return MutableByteSpan(img_).first(512); }
    uint32_t clusterBytes() const { return 512u * spc_; }
    uint64_t metaEnd() const { return uint64_t{rsvd_} + 2ull * fatSectors_; }
    uint64_t rootSectors() const { return (uint64_t{rootEntries_} * 32 + 511) / 512; }
    uint64_t clusterOffset(uint32_t c) const {
        if (kind_ == FatKind::Fat16) {
            if (c <= 1) return metaEnd() * 512;
            return (metaEnd() + rootSectors() + uint64_t{spc_} * (c - 2)) * 512;
        }
        return (metaEnd() + uint64_t{spc_} * (c - 2)) * 512;
    }
    void setFat(uint32_t c, uint32_t v) {
        MutableByteSpan s(img_);
        const size_t base = size_t{rsvd_} * 512;
        if (kind_ == FatKind::Fat16) writeLe16(s, base + c * 2, static_cast<uint16_t>(v));
        else writeLe32(s, base + c * 4, v);
    }
    void chain(std::initializer_list<uint32_t> clusters) {
        std::vector<uint32_t> v(clusters);
        for (size_t i = 0; i < v.size(); ++i)
            setFat(v[i], i + 1 < v.size() ? v[i + 1] : (kind_ == FatKind::Fat16 ? 0xFFFF : 0x0FFFFFFF));
    }
    // Entry slot i of directory cluster c (FAT16: cluster 1 = root).
    void put(uint32_t c, size_t slot, const std::array<std::byte, 32>& e) {
        std::memcpy(img_.data() + clusterOffset(c) + slot * 32, e.data(), 32);
    }
    size_t putAll(uint32_t c, size_t slot, const std::vector<std::array<std::byte, 32>>& es) {
        for (const auto& e : es) put(c, slot++, e);
        return slot;
    }
    // "." and ".." at the start of directory cluster c.
    void dots(uint32_t c, uint32_t parent) {
        Entry d{".", 0x10, c};
        Entry dd{"..", 0x10, parent};
        put(c, 0, d.bytes());
        put(c, 1, dd.bytes());
    }
    void fill(uint32_t c, const std::vector<std::byte>& data) {
        std::memcpy(img_.data() + clusterOffset(c), data.data(), data.size());
    }
    std::shared_ptr<MemoryDevice> device() const { return std::make_shared<MemoryDevice>(img_); }
    std::unique_ptr<CFatVolume> open() const {
        return OpenFatVolume(device(), 0, 'F', kind_ == FatKind::Fat32 ? 2 : 1);
    }

private:
    void build() {
        img_.assign(size_t{total_} * 512, std::byte{0});
        MutableByteSpan b = boot();
        writeU8(b, 0, 0xEB);
        writeU8(b, 1, kind_ == FatKind::Fat32 ? 0x58 : 0x3C);
        writeU8(b, 2, 0x90);
        writeLe16(b, 11, 512);
        writeU8(b, 13, spc_);
        writeLe16(b, 14, rsvd_);
        writeU8(b, 16, 2);
        if (kind_ == FatKind::Fat16) {
            writeLe16(b, 17, rootEntries_);
            if (total_ < 65536) writeLe16(b, 19, static_cast<uint16_t>(total_));
            else writeLe32(b, 32, total_);
            writeLe16(b, 22, static_cast<uint16_t>(fatSectors_));
            setFat(0, 0xFFF8);
            setFat(1, 0xFFFF);
        } else {
            writeLe32(b, 32, total_);
            writeLe32(b, 36, fatSectors_);
            writeLe32(b, 44, rootCluster_);
            setFat(0, 0x0FFFFFF8);
            setFat(1, 0x0FFFFFFF);
        }
        writeU8(b, 510, 0x55);
        writeU8(b, 511, 0xAA);
    }

    FatKind kind_ = FatKind::Fat16;
    uint8_t spc_ = 1;
    uint16_t rsvd_ = 1;
    uint16_t rootEntries_ = 512;
    uint32_t total_ = 0;
    uint32_t fatSectors_ = 0;
    uint32_t rootCluster_ = 2;
    std::vector<std::byte> img_;
};

// Live FAT16 folders D0000000/D0000001/... nested from the root, folder k
// at cluster 10 + k with its dot entries; slot 3 of each is left free.
inline void NestFolders(MiniFat& m, size_t levels) {
    char name[32];
    for (size_t k = 0; k < levels; ++k) {
        const auto c = static_cast<uint32_t>(10 + k);
        std::snprintf(name, sizeof name, "D%07zu   ", k);
        m.put(k == 0 ? 1 : c - 1, k == 0 ? 0 : 2, Entry{name, 0x10, c}.bytes());
        m.setFat(c, 0xFFFF);
        m.dots(c, k == 0 ? 0 : c - 1);
    }
}

}  // namespace vantor::fattest

namespace vantor::fattest {

using ScriptedPrompt = test::ScriptedPrompt;

}  // namespace vantor::fattest
