#include "disk/exfat_layout.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <set>
#include <vector>

#include "platform/codepage.h"

namespace vantor {

namespace {

constexpr uint32_t kMaxRootClusters = 256;

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(std::memory_order_relaxed); }

bool Fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

}  // namespace

std::optional<ExfatBoot> DecodeExfatBoot(ByteSpan s, uint64_t lengthBytes, std::string* why) {
    if (s.size() < 512 || !IsExfatBootSector(s)) {
        Fail(why, "no exFAT boot sector");
        return std::nullopt;
    }
    ExfatBoot b;
    b.volumeSectors = readLe64(s, 72);
    b.fatOffset = readLe32(s, 80);
    b.fatLength = readLe32(s, 84);
    b.heapOffset = readLe32(s, 88);
    b.clusterCount = readLe32(s, 92);
    b.rootCluster = readLe32(s, 96);
    b.serial = readLe32(s, 100);
    b.revision = readLe16(s, 104);
    b.flags = readLe16(s, 106);
    b.sectorShift = readU8(s, 108);
    b.clusterShift = readU8(s, 109);
    b.fatCount = readU8(s, 110);
    const auto bad = [&](const char* text) -> std::optional<ExfatBoot> {
        Fail(why, text);
        return std::nullopt;
    };
    for (size_t i = 11; i < 64; ++i)
        if (readU8(s, i) != 0) return bad("the legacy BIOS fields are not zero");
    if (b.sectorShift < 9 || b.sectorShift > 12) return bad("bad bytes-per-sector shift");
    if (b.clusterShift > 25 - b.sectorShift) return bad("bad sectors-per-cluster shift");
    if (b.fatCount != 1 && b.fatCount != 2) return bad("bad number of FATs");
    if (b.volumeSectors == 0 || b.volumeSectors > (uint64_t{1} << (63 - b.sectorShift)))
        return bad("bad volume length");
    if (lengthBytes != 0 && b.volumeSectors > lengthBytes >> b.sectorShift)
        b.volumeSectors = lengthBytes >> b.sectorShift;  // a cut image: read what is there
    if (b.fatOffset < 24 || b.fatLength == 0) return bad("bad FAT position");
    if (b.clusterCount == 0 || b.clusterCount > 0xFFFFFFF5u) return bad("bad cluster count");
    if (uint64_t{b.fatLength} << b.sectorShift < (uint64_t{b.clusterCount} + 2) * 4)
        return bad("the FAT is too short for the cluster count");
    const uint64_t fatEnd = uint64_t{b.fatOffset} + uint64_t{b.fatLength} * b.fatCount;
    if (b.heapOffset < fatEnd) return bad("the cluster heap overlaps the FAT");
    // The heap may run past a cut image; reads there fail one by one.
    const uint64_t heapEnd = uint64_t{b.heapOffset} + (uint64_t{b.clusterCount} << b.clusterShift);
    if (lengthBytes == 0 && heapEnd > b.volumeSectors) return bad("the cluster heap runs past the volume");
    if (!b.validCluster(b.rootCluster)) return bad("the root directory lies outside the cluster heap");
    return b;
}

uint32_t ExfatBootChecksum(ByteSpan region, uint32_t sectorBytes) {
    uint32_t sum = 0;
    const size_t n = std::min<size_t>(region.size(), size_t{sectorBytes} * 11);
    for (size_t i = 0; i < n; ++i) {
        if (i == 106 || i == 107 || i == 112) continue;
        sum = ((sum & 1) ? 0x80000000u : 0) + (sum >> 1) + static_cast<uint8_t>(region[i]);
    }
    return sum;
}

uint32_t ReadExfatFatEntry(BlockDevice& dev, uint64_t startByte, const ExfatBoot& boot, uint32_t c) {
    std::byte e[4];
    if (dev.readAt(startByte + boot.activeFatOffset() + uint64_t{c} * 4, e) != kSuccess) return 0;
    return readLe32(ByteSpan(e, 4), 0);
}

std::optional<ExfatRootInfo> ReadExfatRootInfo(BlockDevice& dev, uint64_t startByte, const ExfatBoot& boot) {
    ExfatRootInfo info;
    const uint64_t cb = boot.clusterBytes();
    std::vector<std::byte> buf(static_cast<size_t>(std::min<uint64_t>(cb, 1u << 20)));
    std::set<uint32_t> seen;
    const uint32_t wantBitmap = (boot.fatCount == 2 && (boot.flags & 1)) ? 1 : 0;
    bool found = false;
    for (uint32_t c = boot.rootCluster; boot.validCluster(c) && seen.size() < kMaxRootClusters;
         c = ReadExfatFatEntry(dev, startByte, boot, c)) {
        if (!seen.insert(c).second) break;
        if (dev.readAt(startByte + boot.clusterOffset(c), buf) != kSuccess) break;
        for (size_t off = 0; off + 32 <= buf.size(); off += 32) {
            const ByteSpan e = ByteSpan(buf).subspan(off, 32);
            const uint8_t type = readU8(e, 0);
            if (type == 0) return found ? std::optional(info) : std::nullopt;
            if (type == kExfatTypeBitmap && (readU8(e, 1) & 1) == wantBitmap) {
                info.bitmapCluster = readLe32(e, 20);
                info.bitmapBytes = readLe64(e, 24);
                found = true;
            } else if (type == kExfatTypeUpcase) {
                info.upcaseChecksum = readLe32(e, 4);
                info.upcaseCluster = readLe32(e, 20);
                info.upcaseBytes = readLe64(e, 24);
            } else if (type == kExfatTypeLabel) {
                const size_t n = std::min<size_t>(readU8(e, 1), 11);
                info.label = Utf16LeToUtf8(e.subspan(2, n * 2));
            }
        }
    }
    return found ? std::optional(info) : std::nullopt;
}

std::optional<uint64_t> CountExfatFreeBytes(BlockDevice& dev, uint64_t startByte, const ExfatBoot& boot,
                                            const std::atomic<bool>* stop) {
    const auto root = ReadExfatRootInfo(dev, startByte, boot);
    if (!root || !boot.validCluster(root->bitmapCluster)) return std::nullopt;
    const uint64_t bytes = (uint64_t{boot.clusterCount} + 7) / 8;
    if (root->bitmapBytes < bytes) return std::nullopt;
    const uint64_t cb = boot.clusterBytes();
    std::vector<std::byte> chunk;
    uint64_t used = 0, done = 0;
    uint32_t c = root->bitmapCluster;
    std::set<uint32_t> seen;
    while (done < bytes) {
        if (Stopped(stop)) return std::nullopt;
        if (!boot.validCluster(c) || !seen.insert(c).second) return std::nullopt;
        // Clusters the FAT chains one after the other are read together.
        uint32_t run = 1;
        uint32_t next = ReadExfatFatEntry(dev, startByte, boot, c);
        while (next == c + run && uint64_t{run} * cb < (1u << 20) && done + run * cb < bytes) {
            seen.insert(next);
            ++run;
            next = ReadExfatFatEntry(dev, startByte, boot, next);
        }
        const size_t n = static_cast<size_t>(std::min<uint64_t>(uint64_t{run} * cb, bytes - done));
        chunk.resize(n);
        if (dev.readAt(startByte + boot.clusterOffset(c), chunk) != kSuccess) return std::nullopt;
        for (size_t i = 0; i < n; ++i) {
            unsigned v = std::to_integer<unsigned>(chunk[i]);
            const uint64_t bitBase = (done + i) * 8;
            if (bitBase + 8 > boot.clusterCount) v &= (1u << (boot.clusterCount - bitBase)) - 1;
            used += static_cast<uint64_t>(std::popcount(v));
        }
        done += n;
        // A bitmap whose FAT entries were never written lies contiguous.
        c = boot.validCluster(next) ? next : c + run;
    }
    if (used > boot.clusterCount) return std::nullopt;
    return (boot.clusterCount - used) * cb;
}

}  // namespace vantor
