// The exFAT engine on what no tool writes: damaged boot regions, entry sets
// with a bad checksum or a count that runs past the data, FAT chains that
// loop, a valid data length short of the data. Starts from the partition of
// exfat-deleted.img and damages it in memory.
#include <gtest/gtest.h>

#include <map>

#include "exfat/exfat_data.h"
#include "exfat/exfat_scan.h"
#include "fat/fat_test_util.h"

namespace vantor {
namespace {

std::vector<std::byte> PartitionBytes() {
    std::vector<std::byte> disk = fattest::ReadWholeFile(fattest::FixturePath("exfat-deleted.img"));
    return std::vector<std::byte>(disk.begin() + 2048 * 512, disk.end());
}

std::unique_ptr<CExfatVolume> Open(std::vector<std::byte> bytes) {
    return std::make_unique<CExfatVolume>(std::make_shared<MemoryDevice>(std::move(bytes)), 0, 0);
}

struct Scan {
    FolderTree tree;
    ExfatScanResult result;
    std::map<std::string, const ExfatFoundFile*> byName;
};

std::unique_ptr<Scan> ScanOf(const CExfatVolume& v, bool formatted = false) {
    auto s = std::make_unique<Scan>();
    ProgressFields progress;
    std::atomic<bool> running{true};
    s->result = formatted ? ScanExfatFormatted(v, s->tree, nullptr, progress, running, 'C')
                          : ScanExfatDeleted(v, s->tree, nullptr, progress, running, 'C');
    s->tree.walk([&](FolderNode& n) {
        if (auto* files = n.dataAs<ExfatFolderFiles>())
            for (const auto& f : files->files) s->byName[f->name] = f.get();
        return true;
    });
    return s;
}

void Put32(std::vector<std::byte>& b, uint64_t at, uint32_t v) { writeLe32(b, static_cast<size_t>(at), v); }

// Rewrites the set checksum of the set at offset after a deliberate change.
void Reseal(std::vector<std::byte>& b, uint64_t at) {
    const size_t n = (size_t{static_cast<uint8_t>(b[at + 1])} + 1) * 32;
    writeLe16(b, static_cast<size_t>(at + 2), ExfatSetChecksum(ByteSpan(b).subspan(static_cast<size_t>(at), n)));
}

uint64_t FatEntryAt(const CExfatVolume& v, uint32_t c) { return v.boot().activeFatOffset() + uint64_t{c} * 4; }

TEST(ExfatHostile, BootRegionChecks) {
    const std::vector<std::byte> good = PartitionBytes();
    struct Row {
        size_t offset;
        uint8_t value;
        bool opens, mismatch;
    };
    for (const Row& r : {Row{100, 0x11, true, true},    // the serial: covered by the checksum
                         Row{106, 0x02, true, false},   // the flags are left out of it
                         Row{11 * 512, 0, true, true},  // the checksum sector itself
                         Row{108, 8, false, false},     // 256-byte sectors
                         Row{110, 3, false, false},     // three FATs
                         Row{96, 0xFF, false, false},   // root cluster far outside the heap
                         Row{20, 1, false, false}}) {   // legacy BIOS fields must stay zero
        std::vector<std::byte> b = good;
        b[r.offset] = std::byte{r.value};
        const auto v = Open(b);
        EXPECT_EQ(v->opened(), r.opens) << r.offset;
        if (r.opens) EXPECT_EQ(v->bootChecksumMismatch(), r.mismatch) << r.offset;
        else EXPECT_FALSE(v->openReason().empty()) << r.offset;
    }
    EXPECT_FALSE(Open(good)->bootChecksumMismatch());
    EXPECT_FALSE(Open(good)->upcaseDamaged());
}

TEST(ExfatHostile, EntrySetDecoding) {
    const std::vector<std::byte> b = PartitionBytes();
    const auto v = Open(b);
    const auto scan = ScanOf(*v);
    const ExfatFoundFile* f = scan->byName.at("Übersicht café.txt");
    const ByteSpan set = ByteSpan(b).subspan(static_cast<size_t>(f->entryOffset), f->set.bytes());
    ExfatEntrySet out;
    ASSERT_EQ(DecodeExfatEntrySet(set, out), ExfatSetStatus::Ok);
    EXPECT_EQ(ExfatNameHash(*v, out.name), out.nameHash);
    // Cut before its last name entry: the count runs past the data.
    EXPECT_EQ(DecodeExfatEntrySet(set.first(set.size() - 32), out), ExfatSetStatus::RunsPast);
    struct Row {
        size_t offset;
        uint8_t value;
        ExfatSetStatus status;
    };
    for (const Row& r : {Row{70, 0x58, ExfatSetStatus::BadChecksum},  // a name unit changed
                         Row{1, 1, ExfatSetStatus::BadSet},           // one secondary only
                         Row{1, 19, ExfatSetStatus::BadSet},          // more than 18
                         Row{32, 0x41, ExfatSetStatus::BadSet},       // no stream extension
                         Row{35, 0, ExfatSetStatus::BadSet},          // empty name
                         Row{0, 0x81, ExfatSetStatus::NotAFileEntry}}) {
        std::vector<std::byte> s(set.begin(), set.end());
        s[r.offset] = std::byte{r.value};
        if (r.status != ExfatSetStatus::BadChecksum) writeLe16(s, 2, ExfatSetChecksum(s));
        EXPECT_EQ(DecodeExfatEntrySet(s, out), r.status) << r.offset;
    }
}

TEST(ExfatHostile, ABadSetChecksumDropsOnlyThatFile) {
    std::vector<std::byte> b = PartitionBytes();
    const auto before = ScanOf(*Open(b));
    b[before->byName.at("Übersicht café.txt")->entryOffset + 66] ^= std::byte{1};
    const auto after = ScanOf(*Open(b));
    EXPECT_EQ(after->byName.size(), before->byName.size() - 1);
    EXPECT_FALSE(after->byName.count("Übersicht café.txt"));
}

// exfat-fuse clears a deleted file's FAT entries; the chain written here is
// the one other drivers leave.
TEST(ExfatHostile, IntactChainsAreFollowedAndLoopsEnd) {
    std::vector<std::byte> b = PartitionBytes();
    auto v = Open(b);
    const ExfatEntrySet frag = ScanOf(*v)->byName.at("fragmented.bin")->set;
    const ExfatDataLayout freeRule = LocateExfatData(*v, frag, true);
    ASSERT_EQ(freeRule.rule, ExfatRule::FreeAfterFirst);
    ASSERT_GT(freeRule.extents.size(), 1u);
    std::vector<uint32_t> clusters;
    for (const ExfatExtent& x : freeRule.extents)
        for (uint64_t at = x.offset; at < x.offset + x.length; at += v->clusterBytes())
            clusters.push_back(static_cast<uint32_t>((at - v->clusterOffset(2)) / v->clusterBytes() + 2));
    for (size_t i = 0; i + 1 < clusters.size(); ++i) Put32(b, FatEntryAt(*v, clusters[i]), clusters[i + 1]);
    Put32(b, FatEntryAt(*v, clusters.back()), kExfatEndOfChain);
    v = Open(b);
    const ExfatDataLayout chained = LocateExfatData(*v, frag, true);
    EXPECT_EQ(chained.rule, ExfatRule::FatChain);
    EXPECT_EQ(chained.extents.size(), freeRule.extents.size());
    EXPECT_EQ(chained.condition, DataCondition::Intact);

    // The last cluster points back at the first; the root at itself.
    Put32(b, FatEntryAt(*v, clusters.back()), clusters.front());
    Put32(b, FatEntryAt(*v, v->boot().rootCluster), v->boot().rootCluster);
    v = Open(b);
    ASSERT_TRUE(v->opened());
    std::vector<uint32_t> chain;
    EXPECT_EQ(v->walkChain(frag.firstCluster, UINT64_MAX, chain), ExfatChainEnd::Loop);
    const ExfatDataLayout looped = LocateExfatData(*v, frag, true);
    EXPECT_EQ(looped.rule, ExfatRule::FreeAfterFirst);
    EXPECT_EQ(looped.bytes, frag.dataLength);
    EXPECT_FALSE(ScanOf(*v)->byName.empty());
}

TEST(ExfatHostile, BytesPastTheValidDataLengthAreZeros) {
    std::vector<std::byte> b = PartitionBytes();
    auto v = Open(b);
    const auto first = ScanOf(*v);
    const ExfatFoundFile* f = first->byName.at("short.bin");
    ASSERT_TRUE(f->set.noFatChain());
    writeLe64(b, static_cast<size_t>(f->entryOffset + 32 + 8), 10000);
    Reseal(b, f->entryOffset);
    const uint64_t data = v->clusterOffset(f->set.firstCluster);
    std::fill(b.begin() + static_cast<ptrdiff_t>(data + 10000), b.begin() + static_cast<ptrdiff_t>(data + 50000),
              std::byte{0xAA});
    v = Open(b);
    const auto scan = ScanOf(*v);
    const ExfatFoundFile* g = scan->byName.at("short.bin");
    EXPECT_EQ(g->set.validLength, 10000u);
    std::vector<std::byte> out, buf;
    ASSERT_EQ(ReadExfatData(*v, LocateExfatData(*v, g->set, true), g->set.validLength, UINT64_MAX, nullptr, buf,
                            [&](ByteSpan p) {
                                out.insert(out.end(), p.begin(), p.end());
                                return kSuccess;
                            }),
              kSuccess);
    std::vector<std::byte> want = fattest::XorshiftBytes(1008, 10000);
    want.resize(50000, std::byte{0});
    EXPECT_EQ(out, want);
}

TEST(ExfatHostile, FormattedScanOverHostileClusters) {
    std::vector<std::byte> b = PartitionBytes();
    auto v = Open(b);
    // A set whose count runs past the heap's end.
    const uint64_t heapEnd = v->clusterOffset(v->lastCluster()) + v->clusterBytes();
    b[heapEnd - 32] = std::byte{0x85};
    b[heapEnd - 31] = std::byte{18};
    v = Open(b);
    const auto scan = ScanOf(*v, true);
    EXPECT_EQ(scan->result.error, kSuccess);
    // Every set the deleted scan lists is found again, with the live ones.
    for (const char* name : {"Berg.txt", "fragmented.bin", "IMG_0002.JPG", "README.txt", "A.bin"})
        EXPECT_TRUE(scan->byName.count(name)) << name;
    // A live file of the current volume holds its own clusters.
    EXPECT_EQ(scan->byName.at("README.txt")->condition, DataCondition::Intact);
    EXPECT_EQ(scan->byName.at("IMG_0002.JPG")->condition, DataCondition::Intact);
}

}  // namespace
}  // namespace vantor
