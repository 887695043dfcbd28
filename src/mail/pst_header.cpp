#include "mail/pst_header.h"

#include <array>

#include "platform/crc32.h"

namespace vantor {

namespace {

// Where the fields of each layout lie.
constexpr size_t kCrcPartialAt = 4;
constexpr size_t kClientMagicAt = 8;
constexpr size_t kVersionAt = 10;
constexpr size_t kClientVersionAt = 12;
constexpr size_t kPlatformAt = 14;
constexpr size_t kCrcPartialFrom = 8;
constexpr size_t kCrcPartialBytes = 471;
constexpr size_t kCrcFullAt = 524;
constexpr size_t kCrcFullBytes = 516;
constexpr size_t kAnsiHeaderBytes = 512;
constexpr size_t kAnsiEofAt = 168;
constexpr size_t kAnsiNbtRootAt = 188;  // the ib of BREFNBT
constexpr size_t kAnsiBbtRootAt = 196;
constexpr size_t kUnicodeEofAt = 184;
constexpr size_t kUnicodeNbtRootAt = 224;
constexpr size_t kUnicodeBbtRootAt = 240;
constexpr uint16_t kLastUnicodeVersion = 39;  // 23 and the 4 KiB-page 36, with room after

PstFormat FormatOfVersion(uint16_t v) {
    if (v == 14 || v == 15) return PstFormat::Ansi;
    if (v >= 23 && v <= kLastUnicodeVersion) return PstFormat::Unicode;
    return PstFormat::Unknown;
}

bool EofMatches(ByteSpan h, PstFormat f, uint64_t fileSize) {
    if (f == PstFormat::Ansi) return h.size() >= kAnsiHeaderBytes && readLe32(h, kAnsiEofAt) == fileSize;
    if (f == PstFormat::Unicode) return h.size() >= kPstHeaderBytes && readLe64(h, kUnicodeEofAt) == fileSize;
    return false;
}

bool PartialCrcMatches(ByteSpan h) {
    return h.size() >= kCrcPartialFrom + kCrcPartialBytes &&
           PstCrc(h.subspan(kCrcPartialFrom, kCrcPartialBytes)) == readLe32(h, kCrcPartialAt);
}

bool FullCrcMatches(ByteSpan h) {
    return h.size() >= kPstHeaderBytes &&
           PstCrc(h.subspan(kCrcPartialFrom, kCrcFullBytes)) == readLe32(h, kCrcFullAt);
}

}  // namespace

// The IEEE CRC inverts on the way in and out; undoing both leaves the bare
// table-driven register the format uses.
uint32_t PstCrc(ByteSpan bytes, uint32_t crc) { return ~Crc32(bytes, ~crc); }

PstHeaderCheck CheckPstHeader(ByteSpan header, uint64_t fileSize) {
    PstHeaderCheck out;
    if (header.size() < kAnsiHeaderBytes) return out;
    const uint16_t version = readLe16(header, kVersionAt);
    PstFormat format = FormatOfVersion(version);
    const bool versionKnown = format != PstFormat::Unknown;
    // A damaged version still leaves the layout to be read off the end-of-file field.
    if (!versionKnown) {
        if (EofMatches(header, PstFormat::Unicode, fileSize)) format = PstFormat::Unicode;
        else if (EofMatches(header, PstFormat::Ansi, fileSize)) format = PstFormat::Ansi;
    }
    if (format == PstFormat::Unicode && header.size() < kPstHeaderBytes) return out;
    out.format = format;

    const bool clientMagic = readLe16(header, kClientMagicAt) == kPstClientMagic;
    const bool crc = PartialCrcMatches(header) || (format == PstFormat::Unicode && FullCrcMatches(header));
    const bool clues[kPstClueCount] = {
        clientMagic,
        versionKnown,
        readLe16(header, kClientVersionAt) == kPstClientVersion,
        readU8(header, kPlatformAt) == 1 && readU8(header, kPlatformAt + 1) == 1,
        EofMatches(header, format, fileSize),
        crc,
    };
    for (bool c : clues) out.clues += c ? 1 : 0;
    out.isPst = format != PstFormat::Unknown && out.clues >= kPstCluesNeeded;
    if (!out.isPst) return out;

    const bool ansi = format == PstFormat::Ansi;
    out.nbtRoot = ansi ? readLe32(header, kAnsiNbtRootAt) : readLe64(header, kUnicodeNbtRootAt);
    out.bbtRoot = ansi ? readLe32(header, kAnsiBbtRootAt) : readLe64(header, kUnicodeBbtRootAt);
    out.bigPages = version >= 36 && version <= kLastUnicodeVersion;

    std::vector<std::byte> fixed(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(
                                                                     ansi ? kAnsiHeaderBytes : kPstHeaderBytes));
    if (readLe32(fixed, 0) != kPstMagic) {
        out.signatureFixed = true;
        out.patches.push_back(Le32Patch(0, kPstMagic));
        writeLe32(fixed, 0, kPstMagic);
    }
    BytePatch crcPatch;
    if (!clientMagic) {
        out.clientMagicFixed = true;
        writeLe16(fixed, kClientMagicAt, kPstClientMagic);
        BytePatch p{kClientMagicAt, std::vector<std::byte>(2)};
        writeLe16(p.bytes, 0, kPstClientMagic);
        out.patches.push_back(std::move(p));
    }
    // The checksums are taken over the mended fields, so a mended client
    // magic whose CRCs were right before the damage needs nothing more.
    if (!PartialCrcMatches(fixed)) {
        out.checksumsFixed = true;
        out.patches.push_back(Le32Patch(kCrcPartialAt, PstCrc(ByteSpan(fixed).subspan(kCrcPartialFrom, kCrcPartialBytes))));
    }
    if (!ansi && !FullCrcMatches(fixed)) {
        out.checksumsFixed = true;
        out.patches.push_back(Le32Patch(kCrcFullAt, PstCrc(ByteSpan(fixed).subspan(kCrcPartialFrom, kCrcFullBytes))));
    }
    return out;
}

PstRootState CheckPstRoot(BlockDevice& file, const PstHeaderCheck& header, bool nodeTree) {
    constexpr uint64_t kPage = 512;
    const uint64_t root = nodeTree ? header.nbtRoot : header.bbtRoot;
    const uint64_t pageBytes = header.bigPages ? 4096 : kPage;
    if (root < kPage || root > file.size() || file.size() - root < pageBytes) return PstRootState::OutsideFile;
    if (header.bigPages) return PstRootState::Ok;
    std::array<std::byte, kPage> page{};
    if (file.readAt(root, page) != kSuccess) return PstRootState::Unreadable;
    // The page trailer: ptype and its repeat, 16 bytes from the end (12 in the 32-bit format).
    const size_t typeAt = header.format == PstFormat::Ansi ? 500 : 496;
    const uint8_t want = nodeTree ? 0x81 : 0x80;
    if (readU8(page, typeAt) != want || readU8(page, typeAt + 1) != want) return PstRootState::WrongPageType;
    return PstRootState::Ok;
}

}  // namespace vantor
