#include "ntfs/mft_record_parser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "ntfs/ntfs_image_writer.h"
#include "platform/lznt1.h"

namespace vantor {
namespace {

using namespace ntfstest;

constexpr uint32_t kRs = 1024;
constexpr uint32_t kCs = 4096;

Bytes Numbered(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = std::byte(static_cast<uint8_t>('a' + i % 26));
    return b;
}

struct Disk {
    std::shared_ptr<MemoryDevice> dev = std::make_shared<MemoryDevice>(Bytes(kCs * 64), true);
    void put(uint64_t lcn, const Bytes& data) { dev->writeAt(lcn * kCs, data); }
};

CMftRecordParser Parser(BlockDevice* dev = nullptr) {
    CMftRecordParser p;
    p.Attach(dev, nullptr);
    EXPECT_EQ(p.SetGeometry(0, kRs, kCs), kSuccess);
    return p;
}

TEST(NtfsLayout, RecordSizeByteIsAPowerOfTwoOrClustersCappedAt4KiB) {
    struct Case {
        uint8_t byte;
        uint32_t clusterSize;
        uint32_t size;
    };
    for (const Case& c : {Case{0xF6, 4096, 1024}, Case{0xF5, 4096, 2048}, Case{0xF4, 512, 4096},
                          Case{0xF7, 4096, 512}, Case{0xF3, 4096, 4096}, Case{0x80, 4096, 4096},
                          Case{0x01, 4096, 4096}, Case{0x02, 512, 1024}, Case{0x01, 65536, 4096},
                          Case{0x7F, 0xFFFFFFFFu, 4096}, Case{0x01, 0, 0}, Case{0x00, 4096, 1}})
        EXPECT_EQ(NtfsRecordSizeFromByte(c.byte, c.clusterSize), c.size) << int{c.byte} << " " << c.clusterSize;
    CMftRecordParser p;
    EXPECT_EQ(p.SetGeometry(0, 1, kCs), kErrInvalidParameter);
    EXPECT_EQ(p.SetGeometry(0, 1024, 0), kErrInvalidParameter);
}

TEST(NtfsLayout, RunListNegativeOffsetsAndSparseRuns) {
    // 0x11: one length byte, one offset byte. 0x20 then 0xF0 = -16.
    const Bytes runs = {std::byte{0x11}, std::byte{0x02}, std::byte{0x20}, std::byte{0x11}, std::byte{0x01},
                        std::byte{0xF0}, std::byte{0x01}, std::byte{0x03}, std::byte{0x11}, std::byte{0x01},
                        std::byte{0x05}, std::byte{0x00}};
    std::vector<NtfsRun> out;
    ASSERT_TRUE(DecodeRunList(runs, 0, out, 100));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].lcn, 32u);
    EXPECT_EQ(out[1].lcn, 16u);  // moved back by 16
    EXPECT_EQ(out[1].vcn, 2u);
    EXPECT_TRUE(out[2].sparse);
    EXPECT_EQ(out[2].length, 3u);
    EXPECT_EQ(out[3].vcn, 6u);
    EXPECT_EQ(out[3].lcn, 21u);  // relative to the last real run, not the sparse one
}

TEST(NtfsLayout, RunListRejectsMalformedBytes) {
    std::vector<NtfsRun> out;
    // Offset bytes running past the buffer.
    EXPECT_FALSE(DecodeRunList(Bytes{std::byte{0x81}, std::byte{0x01}, std::byte{0x02}}, 0, out, 10));
    // An LCN going below zero.
    out.clear();
    EXPECT_FALSE(DecodeRunList(Bytes{std::byte{0x11}, std::byte{0x01}, std::byte{0xF0}, std::byte{0}}, 0, out, 10));
    // A zero-length run, and more runs than allowed.
    out.clear();
    EXPECT_FALSE(DecodeRunList(Bytes{std::byte{0x11}, std::byte{0x00}, std::byte{0x05}, std::byte{0}}, 0, out, 10));
    out.clear();
    const Bytes many = EncodeRuns({{10, 1}, {20, 1}, {30, 1}});
    EXPECT_FALSE(DecodeRunList(many, 0, out, 2));
    EXPECT_EQ(out.size(), 2u);
    // No terminator.
    out.clear();
    EXPECT_FALSE(DecodeRunList(Bytes{std::byte{0x11}, std::byte{0x01}, std::byte{0x05}}, 0, out, 10));
}

TEST(NtfsRecord, FixupsRestoreSectorTailsAndAMismatchDecodesAsItLies) {
    // 700 resident bytes cross the first sector's last two bytes.
    const Bytes content = Numbered(700);
    RecordBuilder b(kRs, 40, false);
    b.usn(0x4242).standardInfo(1, 2, 3, 0x20).fileName(5, u"cross.txt", 0x20).residentData(content);
    Bytes rec = b.build();
    CMftRecordParser p = Parser();
    ASSERT_EQ(p.ParseRecord(rec, true), kSuccess);
    EXPECT_TRUE(p.fixupApplied());
    EXPECT_EQ(p.data(), content);
    EXPECT_EQ(p.ownRecordNumber(), 40u);

    // A torn second sector: nothing is replaced, the bytes stay as stored.
    writeLe16(rec, 1022, 0x1111);
    ASSERT_EQ(p.ParseRecord(rec, true), kSuccess);
    EXPECT_FALSE(p.fixupApplied());
    ASSERT_EQ(p.data().size(), content.size());
    EXPECT_EQ(readLe16(p.data(), 510 - 0x120), 0x4242)
        << "sector tail inside the value keeps the sequence number";
}

TEST(NtfsRecord, LongNameWinsOverTheDosNameInEitherOrder) {
    const std::u16string dos = u"LONGFI~1.TXT";          // 12 characters
    const std::u16string longName = u"Long file name 1.txt";  // 20 characters
    ASSERT_EQ(dos.size(), 12u);
    ASSERT_EQ(longName.size(), 20u);
    for (bool dosFirst : {true, false}) {
        RecordBuilder b(kRs, 41, true);
        b.standardInfo(0, 0, 0, 0);
        if (dosFirst) b.fileName(5, dos, 0x20, 2).fileName(77, longName, 0x20, 1);
        else b.fileName(77, longName, 0x20, 1).fileName(5, dos, 0x20, 2);
        CMftRecordParser p = Parser();
        ASSERT_EQ(p.ParseRecord(b.build(), false), kSuccess);
        EXPECT_EQ(p.fileNameText(), "Long file name 1.txt");
        EXPECT_EQ(p.fileName().parentRecord(), 77u);
    }
}

TEST(NtfsRecord, SurrogatePairsInNamesBecomeOneUtf8Character) {
    std::u16string name = u"smile-";
    name += static_cast<char16_t>(0xD83D);
    name += static_cast<char16_t>(0xDE00);  // U+1F600
    name += u".txt";
    RecordBuilder b(kRs, 52, false);
    b.standardInfo(0, 0, 0, 0).fileName(5, name, 0x20);
    CMftRecordParser p = Parser();
    ASSERT_EQ(p.ParseRecord(b.build(), false), kSuccess);
    EXPECT_EQ(p.fileNameText(), "smile-\xF0\x9F\x98\x80.txt");
}

TEST(NtfsRecord, BadMagicShortBufferAndNameOnlyMagic) {
    RecordBuilder b(kRs, 42, true);
    b.standardInfo(0, 0, 0, 0).fileName(5, u"x.txt", 0x20);
    Bytes rec = b.build();
    CMftRecordParser p = Parser();
    EXPECT_EQ(p.ParseRecord(ByteSpan(rec).first(512), false), kErrInvalidParameter);
    EXPECT_EQ(p.ParseRecordName(ByteSpan(rec).first(1023), nullptr), kErrInvalidParameter);
    std::string name;
    EXPECT_EQ(p.ParseRecordName(rec, &name), kSuccess);
    EXPECT_EQ(name, "x.txt");
    Bytes bad = rec;
    std::memcpy(bad.data(), "BAAD", 4);
    EXPECT_EQ(p.ParseRecord(bad, false), kErrInvalidParameter);
    // An update-sequence offset other than 0x30 is not "FILE0".
    Bytes old = rec;
    writeLe16(old, 0x04, 0x2A);
    EXPECT_EQ(p.ParseRecordName(old, &name), kErrInvalidParameter);
    EXPECT_EQ(p.ParseRecord(old, false), kSuccess);
}

TEST(NtfsRecord, NonResidentSizeIsTheRealSizeAndTwoClustersAreRead) {
    Disk disk;
    const Bytes content = Pattern(5000, 9);
    Bytes padded = content;
    padded.resize(2 * kCs, std::byte{0x77});  // slack bytes must not come back
    disk.put(10, padded);
    RecordBuilder b(kRs, 43, false);
    b.standardInfo(0, 0, 0, 0).fileName(5, u"five.bin", 0x20).nonResidentData({{10, 2}}, 5000, kCs);
    CMftRecordParser p = Parser(disk.dev.get());
    ASSERT_EQ(p.ParseRecord(b.build(), false), kSuccess);
    EXPECT_EQ(p.dataLength(), 5000u);
    EXPECT_TRUE(p.data().empty());
    ASSERT_EQ(p.ParseRecord(b.build(), true), kSuccess);
    EXPECT_EQ(p.data(), content);
}

TEST(NtfsRecord, SparseRunReadsAsZerosAndTheListGoesOn) {
    Disk disk;
    const Bytes first = Pattern(kCs, 1);
    const Bytes third = Pattern(kCs, 3);
    disk.put(20, first);
    disk.put(30, third);
    RecordBuilder b(kRs, 44, false);
    b.standardInfo(0, 0, 0, 0).fileName(5, u"sparse.bin", 0x20)
        .nonResidentData({{20, 1}, {0, 2, true}, {30, 1}}, 4 * kCs, kCs);
    CMftRecordParser p = Parser(disk.dev.get());
    ASSERT_EQ(p.ParseRecord(b.build(), true), kSuccess);
    ASSERT_EQ(p.data().size(), 4u * kCs);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), p.data().begin()));
    EXPECT_TRUE(std::all_of(p.data().begin() + kCs, p.data().begin() + 3 * kCs, [](std::byte x) { return x == std::byte{0}; }));
    EXPECT_TRUE(std::equal(third.begin(), third.end(), p.data().begin() + 3 * kCs));
}

// A deleted virtual disk that is mostly sparse comes back with holes: its
// size and bytes are exact, but the zeros take no room on the destination.
TEST(NtfsRecord, SparseRunsBecomeHolesInTheWrittenFile) {
    Disk disk;
    const Bytes first = Pattern(kCs, 1);
    const Bytes third = Pattern(kCs, 3);
    disk.put(20, first);
    disk.put(30, third);
    constexpr uint64_t kHole = (uint64_t{64} << 20) / kCs;
    struct Case {
        std::vector<ntfstest::Run> runs;
        uint64_t clusters;
    };
    const std::vector<Case> cases = {
        {{{20, 1}, {0, kHole, true}, {30, 1}}, kHole + 2},  // a hole inside
        {{{20, 1}, {0, kHole, true}}, kHole + 1},           // a hole at the end
    };
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("ntfs-hole-" + std::to_string(::getpid()) + ".bin");
    for (const Case& c : cases) {
        RecordBuilder b(kRs, 44, false);
        b.standardInfo(0, 0, 0, 0).fileName(5, u"disk.vhd", 0x20).nonResidentData(c.runs, c.clusters * kCs, kCs);
        OutputFile out;
        ASSERT_EQ(out.create(path.string()), kSuccess);
        CMftRecordParser p = Parser(disk.dev.get());
        p.Attach(disk.dev.get(), &out);
        ASSERT_EQ(p.ParseRecord(b.build(), true), kSuccess);
        ASSERT_EQ(out.close(), kSuccess);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(static_cast<uint64_t>(st.st_size), c.clusters * kCs);
        EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, uint64_t{1} << 20);
        std::ifstream in(path, std::ios::binary);
        Bytes got(static_cast<size_t>(c.clusters * kCs));
        in.read(reinterpret_cast<char*>(got.data()), static_cast<std::streamsize>(got.size()));
        ASSERT_EQ(static_cast<size_t>(in.gcount()), got.size());
        EXPECT_TRUE(std::equal(first.begin(), first.end(), got.begin()));
        EXPECT_TRUE(std::all_of(got.begin() + kCs, got.begin() + static_cast<std::ptrdiff_t>((kHole + 1) * kCs),
                                [](std::byte x) { return x == std::byte{0}; }));
        if (c.clusters == kHole + 2) {
            EXPECT_TRUE(std::equal(third.begin(), third.end(), got.end() - kCs));
        }
    }
    std::filesystem::remove(path);
}

TEST(NtfsRecord, ACopyCutShortByTheCapIsReportedIncomplete) {
    Disk disk;
    const Bytes content = Pattern(3 * kCs, 9);
    disk.put(10, content);
    RecordBuilder b(kRs, 52, false);
    b.standardInfo(0, 0, 0, 0).fileName(5, u"huge.bin", 0x20).nonResidentData({{10, 3}}, content.size(), kCs);
    const Bytes rec = b.build();
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("ntfs-cap-" + std::to_string(::getpid()) + ".bin");
    auto copyWithCap = [&](uint64_t cap) {
        OutputFile out;
        EXPECT_EQ(out.create(path.string()), kSuccess);
        CMftRecordParser p;
        p.Attach(disk.dev.get(), &out);
        p.SetGeometry(0, kRs, kCs);
        p.SetCopyLimit(cap);
        const ErrorCode rc = p.ParseRecord(rec, true);
        out.close();
        return rc;
    };
    EXPECT_EQ(copyWithCap(content.size()), kSuccess);
    EXPECT_EQ(std::filesystem::file_size(path), content.size());
    EXPECT_EQ(copyWithCap(2 * kCs), kErrHandleEof);
    EXPECT_EQ(std::filesystem::file_size(path), 2 * kCs);
    // A preview's memory cap cuts quietly.
    CMftRecordParser q = Parser(disk.dev.get());
    q.SetMemoryLimit(100);
    EXPECT_EQ(q.ParseRecord(rec, true), kSuccess);
    EXPECT_EQ(q.data().size(), 100u);
    std::filesystem::remove(path);
}

TEST(NtfsRecord, NamedStreamIsNotPartOfTheFile) {
    const Bytes main = Numbered(300);
    RecordBuilder b(kRs, 45, false);
    b.standardInfo(0, 0, 0, 0).fileName(5, u"ads.txt", 0x20).residentData(main)
        .residentData(ToBytes("[ZoneTransfer]\r\nZoneId=3\r\n"), u"Zone.Identifier");
    CMftRecordParser p = Parser();
    ASSERT_EQ(p.ParseRecord(b.build(), false), kSuccess);
    EXPECT_EQ(p.dataLength(), 300u);
    ASSERT_EQ(p.ParseRecord(b.build(), true), kSuccess);
    EXPECT_EQ(p.data(), main);
    EXPECT_EQ(p.namedStreamCount(), 1u);
}

TEST(NtfsRecord, SizesAreSixtyFourBit) {
    const uint64_t big = (uint64_t{5} << 30) + 123;
    RecordBuilder b(kRs, 46, false);
    b.standardInfo(0, 0, 0, 0).fileName(5, u"big.vhd", 0x20)
        .nonResidentData({{0, (big + kCs - 1) / kCs, true}}, big, kCs);
    CMftRecordParser p = Parser();
    ASSERT_EQ(p.ParseRecord(b.build(), false), kSuccess);
    EXPECT_EQ(p.dataLength(), big);
}

TEST(NtfsRecord, AttributeListBringsDataFromExtensionRecords) {
    Disk disk;
    const Bytes content = Pattern(5 * kCs - 100, 5);
    disk.put(40, Bytes(content.begin(), content.begin() + 2 * kCs));
    disk.put(50, Bytes(content.begin() + 2 * kCs, content.end()));
    RecordBuilder base(kRs, 47, false);
    base.standardInfo(0, 0, 0, 0).fileName(5, u"split.bin", 0x20)
        .attributeList({{0x10, 47, 0}, {0x30, 47, 0}, {0x80, 48, 0}, {0x80, 49, 2}});
    RecordBuilder ext1(kRs, 48, false);
    ext1.baseReference(47).nonResidentData({{40, 2}}, content.size(), kCs, 0);
    RecordBuilder ext2(kRs, 49, false);
    ext2.baseReference(47).nonResidentData({{50, 3}}, content.size(), kCs, 2);
    const Bytes e1 = ext1.build(), e2 = ext2.build();
    int fetches = 0;
    CMftRecordParser p = Parser(disk.dev.get());
    p.SetRecordFetcher([&](uint64_t n, std::vector<std::byte>& out) {
        ++fetches;
        if (n == 48) out = e1;
        else if (n == 49) out = e2;
        else return false;
        return true;
    });
    ASSERT_EQ(p.ParseRecord(base.build(), true), kSuccess);
    EXPECT_EQ(fetches, 2);  // the base record itself is not fetched again
    EXPECT_EQ(p.dataLength(), content.size());
    EXPECT_EQ(p.data(), content);

    // Without the extension records the file is known to be incomplete.
    CMftRecordParser q = Parser(disk.dev.get());
    q.SetRecordFetcher([&](uint64_t n, std::vector<std::byte>& out) {
        if (n != 48) return false;
        out = e1;
        return true;
    });
    EXPECT_EQ(q.ParseRecord(base.build(), true), kErrHandleEof);
    ASSERT_EQ(q.data().size(), content.size());
}

// A stream's bytes through the piecewise sink, and read into one buffer
// that starts out full of junk.
struct BothReads {
    Bytes pieces;
    Bytes direct;
    ErrorCode piecesRc = 0;
    ErrorCode directRc = 0;
};
BothReads ReadBothWays(BlockDevice& dev, const NtfsDataStream& s, uint64_t length) {
    BothReads r;
    r.piecesRc = ReadNtfsStream(dev, 0, kCs, s, length, [&](ByteSpan piece) {
        r.pieces.insert(r.pieces.end(), piece.begin(), piece.end());
        return kSuccess;
    });
    r.direct.assign(length, std::byte{0xEE});
    r.directRc = ReadNtfsStreamInto(dev, 0, kCs, s, r.direct);
    return r;
}

TEST(NtfsStream, ReadingIntoABufferGivesTheSameBytesAsThePiecewiseRead) {
    Disk disk;
    const Bytes first = Pattern(2 * kCs, 3), second = Pattern(2 * kCs, 4);
    disk.put(10, first);
    disk.put(20, second);
    // Two clusters, a sparse one, an unmapped one, then two clusters of which
    // only the first 100 bytes are initialized.
    NtfsDataStream s;
    s.present = true;
    s.runs = {{0, 10, 2, false}, {2, 0, 1, true}, {4, 20, 2, false}};
    s.realSize = 6 * kCs - 50;
    s.initializedSize = 4 * kCs + 100;
    Bytes expected(s.realSize);
    std::copy(first.begin(), first.end(), expected.begin());
    std::copy(second.begin(), second.begin() + 100, expected.begin() + 4 * kCs);

    BothReads r = ReadBothWays(*disk.dev, s, s.realSize);
    EXPECT_EQ(r.piecesRc, kErrHandleEof);  // VCN 3 is mapped by no run
    EXPECT_EQ(r.directRc, kErrHandleEof);
    EXPECT_EQ(r.pieces, expected);
    EXPECT_EQ(r.direct, expected);

    // A run on an unreadable sector fails both ways with the device's error.
    auto bad = std::make_shared<BadSectorDevice>(disk.dev, 21 * kCs, 21 * kCs + 512);
    s.initializedSize = s.realSize;
    r = ReadBothWays(*bad, s, s.realSize);
    EXPECT_EQ(r.piecesRc, kErrCrc);
    EXPECT_EQ(r.directRc, kErrCrc);
    // What could not be read is zeros, not what the buffer held before.
    Bytes readable(s.realSize);
    std::copy(expected.begin(), expected.begin() + 4 * kCs, readable.begin());
    EXPECT_EQ(r.direct, readable);
}

// A base record 47 (sequence 5) whose data lies in extension record 48.
struct SplitFile {
    Disk disk;
    const Bytes content = Pattern(2 * kCs - 10, 8);
    Bytes base;
    SplitFile(bool inUse) {
        disk.put(40, content);
        RecordBuilder b(kRs, 47, inUse);
        b.standardInfo(0, 0, 0, 0).fileName(5, u"split.bin", 0x20).attributeList({{0x80, 48, 0}});
        base = b.build();
        writeLe16(base, 0x10, 5);
    }
    Bytes extension(uint64_t baseReference) const {
        RecordBuilder e(kRs, 48, false);
        e.baseReference(baseReference).nonResidentData({{40, 2}}, content.size(), kCs, 0);
        return e.build();
    }
    // The size the base decodes to with ext as record 48.
    uint64_t sizeWith(const Bytes& ext, Bytes record = {}) {
        CMftRecordParser p = Parser(disk.dev.get());
        p.SetRecordFetcher([&](uint64_t n, std::vector<std::byte>& out) {
            if (n != 48) return false;
            out = ext;
            return true;
        });
        EXPECT_EQ(p.ParseRecord(record.empty() ? base : record, false), kSuccess);
        return p.dataLength();
    }
};

constexpr uint64_t Ref(uint64_t number, uint16_t sequence) { return number | (uint64_t{sequence} << 48); }

TEST(NtfsRecord, AnExtensionRecordCountsOnlyWhenItNamesItsBase) {
    SplitFile live(true);
    EXPECT_EQ(live.sizeWith(live.extension(Ref(47, 5))), live.content.size());
    EXPECT_EQ(live.sizeWith(live.extension(Ref(47, 0))), live.content.size());  // no sequence to compare
    // Another file's extension, a free record, and a slot reused since.
    EXPECT_EQ(live.sizeWith(live.extension(Ref(46, 5))), 0u);
    EXPECT_EQ(live.sizeWith(live.extension(0)), 0u);
    EXPECT_EQ(live.sizeWith(live.extension(Ref(47, 4))), 0u);
    EXPECT_EQ(live.sizeWith(live.extension(Ref(47, 6))), 0u);
}

TEST(NtfsRecord, ADeletedBaseIsOneSequenceAheadOfItsExtensions) {
    SplitFile gone(false);
    EXPECT_EQ(gone.sizeWith(gone.extension(Ref(47, 4))), gone.content.size());
    EXPECT_EQ(gone.sizeWith(gone.extension(Ref(47, 5))), gone.content.size());
    EXPECT_EQ(gone.sizeWith(gone.extension(Ref(47, 3))), 0u);
    // The sequence skips 0 when it wraps.
    Bytes wrapped = gone.base;
    writeLe16(wrapped, 0x10, 1);
    EXPECT_EQ(gone.sizeWith(gone.extension(Ref(47, 0xFFFF)), wrapped), gone.content.size());
}

TEST(NtfsRecord, TheGivenRecordNumberIsTheBaseForOldRecordHeaders) {
    // An NTFS 3.0 header carries no record number; the caller's place in the
    // MFT is what extensions must name.
    SplitFile old(true);
    Bytes base = old.base;
    writeLe16(base, 0x04, 0x2A);
    writeLe32(base, 0x2C, 0);
    // The update sequence moves to 0x2A: rebuild it there.
    for (size_t i = 0; i <= kRs / 512; ++i) writeLe16(base, 0x2A + 2 * i, readLe16(base, 0x30 + 2 * i));
    const Bytes ext = old.extension(Ref(47, 5));
    auto sizeAs = [&](uint64_t number) {
        CMftRecordParser p = Parser(old.disk.dev.get());
        p.SetRecordNumber(number);
        p.SetRecordFetcher([&](uint64_t n, std::vector<std::byte>& out) {
            if (n != 48) return false;
            out = ext;
            return true;
        });
        EXPECT_EQ(p.ParseRecord(base, false), kSuccess);
        EXPECT_TRUE(p.fixupApplied());
        return p.dataLength();
    };
    EXPECT_EQ(sizeAs(47), old.content.size());
    EXPECT_EQ(sizeAs(46), 0u);
}

TEST(NtfsRecord, CompressedStreamIsExpandedPerUnit) {
    Disk disk;
    // Unit 0 compresses well, unit 1 is random (stored raw), unit 2 is a short tail.
    Bytes plain = Numbered(16 * kCs);
    const Bytes noise = Pattern(16 * kCs, 77);
    plain.insert(plain.end(), noise.begin(), noise.end());
    const Bytes tail = Numbered(3000);
    plain.insert(plain.end(), tail.begin(), tail.end());
    const Bytes packed0 = Lznt1Compress(ByteSpan(plain).first(16 * kCs));
    const Bytes packed2 = Lznt1Compress(ByteSpan(plain).subspan(32 * kCs));
    const uint64_t c0 = (packed0.size() + kCs - 1) / kCs;
    const uint64_t c2 = (packed2.size() + kCs - 1) / kCs;
    ASSERT_LT(c0, 16u);
    ASSERT_LT(c2, 16u);
    disk.dev->bytes().resize(kCs * 200);
    disk.put(60, packed0);
    disk.put(100, noise);
    disk.put(130, packed2);
    RecordBuilder b(kRs, 50, false);
    b.standardInfo(0, 0, 0, 0x800).fileName(5, u"packed.txt", 0x20)
        .nonResidentData({{60, c0}, {0, 16 - c0, true}, {100, 16}, {130, c2}, {0, 16 - c2, true}}, plain.size(), kCs,
                         0, true);
    CMftRecordParser p = Parser(disk.dev.get());
    ASSERT_EQ(p.ParseRecord(b.build(), true), kSuccess);
    EXPECT_TRUE(p.dataStream().compressed);
    ASSERT_EQ(p.data().size(), plain.size());
    EXPECT_EQ(p.data(), plain);
    const BothReads r = ReadBothWays(*disk.dev, p.dataStream(), plain.size());
    EXPECT_EQ(r.directRc, kSuccess);
    EXPECT_EQ(r.direct, plain);
}

TEST(NtfsRecord, HostileAttributeLengthsEndTheWalk) {
    RecordBuilder b(kRs, 51, false);
    b.standardInfo(0, 0, 0, 0).fileName(5, u"a.txt", 0x20).residentData(Numbered(10));
    Bytes rec = b.build();
    CMftRecordParser p = Parser();
    // The second attribute ($FILE_NAME at 0x38 + 0x60) claims a length past the record.
    Bytes longLen = rec;
    writeLe32(longLen, 0x38 + 0x60 + 4, 0x10000);
    ASSERT_EQ(p.ParseRecord(longLen, true), kSuccess);
    EXPECT_TRUE(p.hasStandardInfo());
    EXPECT_FALSE(p.hasFileName());
    // A first-attribute offset past the end, and a value offset past its attribute.
    Bytes farStart = rec;
    writeLe16(farStart, 0x14, 0xFFF0);
    EXPECT_EQ(p.ParseRecord(farStart, true), kSuccess);
    EXPECT_FALSE(p.hasFileName());
    Bytes badValue = rec;
    writeLe16(badValue, 0x38 + 0x14, 0x7FFF);
    EXPECT_EQ(p.ParseRecord(badValue, true), kSuccess);
    EXPECT_EQ(p.fileNameText(), "a.txt");
}

TEST(NtfsRecord, WholeBufferLznt1) {
    const Bytes plain = Numbered(9000);
    std::vector<std::byte> out;
    ASSERT_TRUE(CMftRecordParser::DecompressLznt1(Lznt1Compress(plain), out));
    EXPECT_EQ(out, plain);
    EXPECT_FALSE(CMftRecordParser::DecompressLznt1(Bytes{std::byte{0xFF}, std::byte{0xBF}, std::byte{1}}, out));
}

}  // namespace
}  // namespace vantor
