#include "partition/boot_probe.h"

#include <algorithm>
#include <cstring>

namespace vantor {

namespace {

constexpr uint64_t kSector = 512;

bool IsPowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool ValidBytesPerSector(uint32_t bps) { return bps == 512 || bps == 1024 || bps == 2048 || bps == 4096; }

bool HasSignature(ByteSpan s) { return readU8(s, 510) == 0x55 && readU8(s, 511) == 0xAA; }

struct FatFields {
    uint32_t bps = 0, spc = 0, reserved = 0, fats = 0, rootEntries = 0, fatSectors = 0, media = 0;
    uint64_t total = 0;
    bool fat32Layout = false;
};

// The BPB checks every FAT formatter satisfies; the FAT type then follows
// from the cluster count, as the file-system drivers decide it.
std::string FatKind(ByteSpan s, FatFields& f) {
    uint8_t jump = readU8(s, 0);
    if (!(jump == 0xEB && readU8(s, 2) == 0x90) && jump != 0xE9) return {};
    if (!HasSignature(s)) return {};
    f.bps = readLe16(s, 11);
    f.spc = readU8(s, 13);
    f.reserved = readLe16(s, 14);
    f.fats = readU8(s, 16);
    f.rootEntries = readLe16(s, 17);
    f.media = readU8(s, 21);
    uint32_t fat16 = readLe16(s, 22);
    f.fat32Layout = fat16 == 0;
    f.fatSectors = f.fat32Layout ? readLe32(s, 36) : fat16;
    uint32_t tot16 = readLe16(s, 19);
    f.total = tot16 != 0 ? tot16 : readLe32(s, 32);
    if (!ValidBytesPerSector(f.bps) || !IsPowerOfTwo(f.spc) || f.spc > 128) return {};
    if (f.reserved == 0 || f.fats == 0 || f.fats > 2 || f.fatSectors == 0 || f.total == 0) return {};
    if (f.media != 0xF0 && f.media < 0xF8) return {};
    if (f.fat32Layout && (f.rootEntries != 0 || readLe32(s, 44) < 2)) return {};
    if (!f.fat32Layout && f.rootEntries == 0) return {};
    uint64_t rootSectors = (uint64_t{f.rootEntries} * 32 + f.bps - 1) / f.bps;
    uint64_t dataStart = f.reserved + uint64_t{f.fats} * f.fatSectors + rootSectors;
    if (dataStart >= f.total) return {};
    uint64_t clusters = (f.total - dataStart) / f.spc;
    if (clusters == 0) return {};
    std::string kind = f.fat32Layout ? "FAT32" : clusters < 4085 ? "FAT12" : "FAT16";
    // The FAT must have room for every cluster: 12, 16 or 32 bits an entry.
    uint64_t bits = kind == "FAT12" ? 12 : kind == "FAT16" ? 16 : 32;
    if (uint64_t{f.fatSectors} * f.bps * 8 / bits < clusters + 2) return {};
    return kind;
}

struct NtfsFields {
    uint32_t bps = 0;
    uint64_t clusterBytes = 0, total = 0, mftCluster = 0;
};

bool NtfsFieldsOf(ByteSpan s, NtfsFields& f) {
    if (!bytesEqual(s, 3, "NTFS    ") || !HasSignature(s)) return false;
    f.bps = readLe16(s, 11);
    uint32_t spc = readU8(s, 13);
    if (!ValidBytesPerSector(f.bps)) return false;
    // Clusters above 64 KiB are written as a negative shift.
    if (spc >= 0xF4) f.clusterBytes = uint64_t{1} << (256 - spc);
    else if (IsPowerOfTwo(spc) && spc <= 0x80) f.clusterBytes = uint64_t{spc} * f.bps;
    else return false;
    f.total = readLe64(s, 40);
    f.mftCluster = readLe64(s, 48);
    uint64_t mirror = readLe64(s, 56);
    uint64_t clusters = f.total * f.bps / f.clusterBytes;
    if (f.total == 0 || f.total > (uint64_t{1} << 48) || f.mftCluster >= clusters || mirror >= clusters) return false;
    int8_t rec = static_cast<int8_t>(readU8(s, 64));
    if (rec == 0 || (rec < 0 && (rec < -31 || -rec < 9))) return false;
    return true;
}

struct ReadBuf {
    std::array<std::byte, 2048> bytes{};
    ByteSpan span(size_t n = 2048) const { return ByteSpan(bytes.data(), n); }
};

bool CheckFatMedia(SectorSource& src, uint64_t start, const FatFields& f) {
    uint64_t lba = start + uint64_t{f.reserved} * (f.bps / kSector);
    if (lba >= src.sectorCount()) return false;
    ReadBuf b;
    if (!src.read(lba, 1, b.bytes.data())) return false;
    return readU8(b.span(), 0) == f.media && readU8(b.span(), 1) == 0xFF;
}

bool CheckMftRecord(SectorSource& src, uint64_t start, const NtfsFields& f) {
    uint64_t lba = start + f.mftCluster * f.clusterBytes / kSector;
    if (lba >= src.sectorCount()) return false;
    ReadBuf b;
    if (!src.read(lba, 1, b.bytes.data())) return false;
    return bytesEqual(b.span(), 0, "FILE");
}

struct ExtFields {
    uint64_t blockSize = 0, blocks = 0, firstData = 0, descSize = 32;
};

std::string ExtKind(ByteSpan s, ExtFields& f) {
    if (readLe16(s, 56) != 0xEF53) return {};
    uint32_t logSize = readLe32(s, 24);
    if (logSize > 6) return {};
    f.blockSize = uint64_t{1024} << logSize;
    uint32_t incompat = readLe32(s, 96);
    f.blocks = readLe32(s, 4);
    if (incompat & 0x80) {
        f.blocks |= uint64_t{readLe32(s, 336)} << 32;
        f.descSize = readLe16(s, 254);
        if (f.descSize < 32 || f.descSize > 1024 || !IsPowerOfTwo(f.descSize)) return {};
    }
    f.firstData = readLe32(s, 20);
    uint32_t perGroup = readLe32(s, 32);
    if (f.blocks == 0 || f.firstData != (f.blockSize == 1024 ? 1u : 0u)) return {};
    if (perGroup == 0 || perGroup > 8 * f.blockSize) return {};
    if (readLe32(s, 0) == 0 || readLe32(s, 40) == 0 || readLe32(s, 0) > uint64_t{readLe32(s, 40)} * (f.blocks / perGroup + 1))
        return {};
    // A backup superblock copies the primary but names its own group.
    if (readLe16(s, 90) != 0) return {};
    if (f.blocks > (uint64_t{1} << 40) / f.blockSize * 512) return {};
    if (incompat & 0xC0) return "EXT4";
    return readLe32(s, 224) != 0 ? "EXT3" : "EXT2";
}

bool CheckGroupDescriptor(SectorSource& src, uint64_t start, const ExtFields& f) {
    uint64_t lba = start + (f.firstData + 1) * f.blockSize / kSector;
    if (lba >= src.sectorCount()) return false;
    ReadBuf b;
    if (!src.read(lba, 1, b.bytes.data())) return false;
    ByteSpan d = b.span(512);
    uint64_t blockBitmap = readLe32(d, 0), inodeBitmap = readLe32(d, 4), inodeTable = readLe32(d, 8);
    if (f.descSize >= 64) {
        blockBitmap |= uint64_t{readLe32(d, 32)} << 32;
        inodeBitmap |= uint64_t{readLe32(d, 36)} << 32;
        inodeTable |= uint64_t{readLe32(d, 40)} << 32;
    }
    auto inside = [&](uint64_t blk) { return blk > f.firstData && blk < f.blocks; };
    return inside(blockBitmap) && inside(inodeBitmap) && inside(inodeTable) && blockBitmap != inodeBitmap &&
           inodeTable != blockBitmap && inodeTable != inodeBitmap;
}

Candidate MakeCandidate(uint64_t start, uint64_t sectors, std::string fs, bool backup, ByteSpan boot) {
    Candidate c;
    c.start = start;
    c.sectors = sectors;
    c.fileSystem = std::move(fs);
    c.fromBackup = backup;
    std::copy_n(boot.begin(), std::min<size_t>(boot.size(), 512), c.bootSector.begin());
    return c;
}

}  // namespace

std::string FatBootSectorKind(ByteSpan s, uint64_t& sectors) {
    FatFields f;
    std::string kind = FatKind(s, f);
    if (!kind.empty()) sectors = f.total * (f.bps / kSector);
    return kind;
}

bool NtfsBootSectorFields(ByteSpan s, uint64_t& sectors) {
    NtfsFields f;
    if (!NtfsFieldsOf(s, f)) return false;
    // The backup boot sector sits in the one sector past the stated total.
    sectors = (f.total + 1) * (f.bps / kSector);
    return true;
}

bool ExfatBootSectorFields(ByteSpan s, uint64_t& sectors) {
    if (!bytesEqual(s, 3, "EXFAT   ") || !HasSignature(s)) return false;
    for (size_t i = 11; i < 64; ++i)
        if (readU8(s, i) != 0) return false;
    uint32_t bpsShift = readU8(s, 108), spcShift = readU8(s, 109);
    if (bpsShift < 9 || bpsShift > 12 || spcShift > 25 - bpsShift) return false;
    uint64_t length = readLe64(s, 72);
    uint64_t fatOffset = readLe32(s, 80), fatLength = readLe32(s, 84);
    uint64_t heap = readLe32(s, 88), clusters = readLe32(s, 92);
    if (length == 0 || length > (uint64_t{1} << 40) || fatOffset < 24 || fatLength == 0 || readLe32(s, 96) < 2)
        return false;
    if (fatOffset + fatLength > heap || heap + (clusters << spcShift) > length) return false;
    sectors = length << (bpsShift - 9);
    return true;
}

std::string ExtSuperblockKind(ByteSpan s, uint64_t& sectors) {
    ExtFields f;
    std::string kind = ExtKind(s, f);
    if (!kind.empty()) sectors = f.blocks * (f.blockSize / kSector);
    return kind;
}

std::vector<Candidate> ProbeAt(SectorSource& src, uint64_t lba) {
    std::vector<Candidate> out;
    const uint64_t n = src.sectorCount();
    ReadBuf b;
    if (lba < n && src.read(lba, 1, b.bytes.data())) {
        ByteSpan s = b.span(512);
        FatFields ff;
        NtfsFields nf;
        uint64_t sectors = 0;
        std::string kind = FatKind(s, ff);
        if (!kind.empty() && CheckFatMedia(src, lba, ff))
            out.push_back(MakeCandidate(lba, ff.total * (ff.bps / kSector), kind, false, s));
        else if (NtfsFieldsOf(s, nf) && CheckMftRecord(src, lba, nf))
            out.push_back(MakeCandidate(lba, (nf.total + 1) * (nf.bps / kSector), "NTFS", false, s));
        else if (ExfatBootSectorFields(s, sectors))
            out.push_back(MakeCandidate(lba, sectors, "exFAT", false, s));
    }
    if (lba + 4 <= n && src.read(lba + 2, 2, b.bytes.data())) {
        ExtFields ef;
        std::string kind = ExtKind(b.span(1024), ef);
        if (!kind.empty() && CheckGroupDescriptor(src, lba, ef)) {
            // An EXT volume's first sector is boot code (usually zero); it is left as it is.
            std::array<std::byte, 512> first{};
            if (src.read(lba, 1, first.data()))
                out.push_back(MakeCandidate(lba, ef.blocks * (ef.blockSize / kSector), kind, false, first));
        }
    }
    // FAT32 keeps a copy of its boot sector at sector 6 (the BPB says where).
    if (lba + 7 <= n && src.read(lba + 6, 1, b.bytes.data())) {
        ByteSpan s = b.span(512);
        FatFields ff;
        if (FatKind(s, ff) == "FAT32" && readLe16(s, 50) == 6 && ff.bps == 512 && CheckFatMedia(src, lba, ff))
            out.push_back(MakeCandidate(lba, ff.total, "FAT32", true, s));
    }
    // NTFS keeps its copy in the volume's last sector: lba - 1 ends a volume.
    if (lba >= 1 && lba - 1 < n && src.read(lba - 1, 1, b.bytes.data())) {
        ByteSpan s = b.span(512);
        NtfsFields nf;
        if (NtfsFieldsOf(s, nf)) {
            uint64_t span = nf.total * (nf.bps / kSector);
            if (span <= lba - 1) {
                uint64_t start = lba - 1 - span;
                if (CheckMftRecord(src, start, nf))
                    out.push_back(MakeCandidate(start, span + nf.bps / kSector, "NTFS", true, s));
            }
        }
    }
    return out;
}

}  // namespace vantor
