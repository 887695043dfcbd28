// The journal engine on ext-journal.img (mke2fs, files written and removed
// through the kernel): every deleted file whose inode copy the journal
// keeps comes back byte-exact, with its name and folder path.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "ext/ext_journal.h"
#include "ext/ext_page_model.h"
#include "ext/ext_writer.h"
#include "ext/ext_test_util.h"
#include "platform/sha256.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

struct JournalVolume {
    const char* tag;
    uint64_t startSector, sectors;
    uint32_t blockSize, inodeSize;
};
constexpr JournalVolume kVolumes[] = {
    {"ext3k", 2048, 16384, 1024, 128},
    {"ext3f", 18432, 32768, 4096, 256},
    {"ext4j", 51200, 32768, 4096, 256},
};

struct ManifestFile {
    std::string path;
    bool deleted;
    uint64_t size;
    std::string sha256;
};

std::vector<ManifestFile> Manifest(const std::string& tag) {
    std::ifstream in(fattest::FixturePath("ext-journal.txt"));
    std::vector<ManifestFile> out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string t, path, state, sha;
        uint64_t size = 0;
        ls >> t >> path >> state >> size >> sha;
        if (t == tag) out.push_back({path, state == "deleted", size, sha});
    }
    return out;
}

std::vector<std::byte> VolumeBytes(const JournalVolume& v) {
    const std::vector<std::byte> disk = fattest::ReadWholeFile(fattest::FixturePath("ext-journal.img"));
    if (disk.size() < (v.startSector + v.sectors) * 512) return {};
    return {disk.begin() + static_cast<std::ptrdiff_t>(v.startSector * 512),
            disk.begin() + static_cast<std::ptrdiff_t>((v.startSector + v.sectors) * 512)};
}

std::unique_ptr<CExtVolume> Open(std::vector<std::byte> bytes) {
    if (bytes.empty()) return nullptr;
    const uint64_t n = bytes.size();
    return OpenExtVolume(std::make_shared<MemoryDevice>(std::move(bytes)), 0, n);
}
std::unique_ptr<CExtVolume> Open(const JournalVolume& v) { return Open(VolumeBytes(v)); }

TEST(ExtJournal, DeletedFilesComeBackByteExactWithNamesAndFolders) {
    for (const JournalVolume& jv : kVolumes) {
        SCOPED_TRACE(jv.tag);
        auto vol = Open(jv);
        ASSERT_TRUE(vol && vol->opened()) << (vol ? vol->openReason() : "no image");
        ASSERT_NE(dynamic_cast<CExt3Volume*>(vol.get()), nullptr);
        EXPECT_EQ(vol->blockSize(), jv.blockSize);
        EXPECT_EQ(vol->inodeSize(), jv.inodeSize);
        ProgressFields progress;
        vol->m_bRunning = true;
        ASSERT_EQ(vol->ScanDeleted(progress), kSuccess);
        EXPECT_EQ(vol->journalNote(), "");

        std::map<std::string, const ExtFoundFile*> byPath;
        size_t named = 0, withPath = 0;
        for (const auto& r : vol->found()) {
            named += r->nameSource != ExtNameSource::None;
            withPath += r->folderKnown;
            const std::string p = r->folderKnown ? (r->folderPath.empty() ? "" : r->folderPath + "/") + r->nameText()
                                                 : "?/" + r->nameText();
            byPath.emplace(p, r.get());
        }
        size_t deleted = 0, exact = 0;
        for (const ManifestFile& m : Manifest(jv.tag)) {
            auto it = byPath.find(m.path);
            if (!m.deleted) {
                EXPECT_EQ(it, byPath.end()) << "live file listed: " << m.path;
                continue;
            }
            ++deleted;
            if (it == byPath.end()) {
                ADD_FAILURE() << "not found with its path: " << m.path;
                continue;
            }
            std::vector<std::byte> data;
            ASSERT_EQ(vol->ReadToBuffer(*it->second, UINT64_MAX, data), kSuccess) << m.path;
            Sha256 sha;
            sha.update(data);
            const bool same = data.size() == m.size && sha.finishHex() == m.sha256;
            EXPECT_TRUE(same) << m.path;
            exact += same;
        }
        std::printf("[ journal ] %s: deleted %zu, found %zu, exact %zu, named %zu, with path %zu\n", jv.tag, deleted,
                    vol->found().size(), exact, named, withPath);
        EXPECT_EQ(vol->found().size(), deleted);
    }
}

// The writer's records: hashes of what it wrote, and a file whose block map
// is damaged kept as NAME.partial, reported once and counted as failed.
TEST(ExtJournal, WriterKeepsADamagedFileAsPartialAndRecordsEveryFile) {
    test::ScratchDir scratch;
    auto vol = Open(kVolumes[1]);
    ASSERT_TRUE(vol && vol->opened());
    ProgressFields progress;
    vol->m_bRunning = true;
    ASSERT_EQ(vol->ScanDeleted(progress), kSuccess);
    ExtFoundFile* broken = nullptr;
    for (auto& r : vol->found())
        if (r->nameText() == "doc1.txt") broken = r.get();
    ASSERT_NE(broken, nullptr);
    writeLe32(broken->inode, 40, 0xFFFFFFF0);  // i_block[0] past the volume
    ExtPageModel model;
    model.build("EXT3", vol->volumeLabel(), vol->found());
    model.checkAll(true);
    fattest::ScriptedPrompt prompt;
    std::atomic<bool> running{true};
    const std::string to = (scratch.path() / "out").string();
    const ExtRecoveryResult r = RecoverExtFiles(*vol, model.tree(), to, prompt, progress, running, true);
    EXPECT_EQ(r.written, 19u);
    EXPECT_EQ(r.failed, 1u);
    const std::string line =
        "Can not recovery file 'docs/doc1.txt': its block map is damaged. Kept as 'doc1.txt.partial'.";
    EXPECT_EQ(r.failures, std::vector<std::string>{line});
    EXPECT_EQ(prompt.messages, std::vector<std::string>{line + "\n"});
    EXPECT_TRUE(std::filesystem::exists(to + "/docs/doc1.txt.partial"));
    EXPECT_FALSE(std::filesystem::exists(to + "/docs/doc1.txt"));
    std::map<std::string, std::string> sha;
    for (const ManifestFile& m : Manifest(kVolumes[1].tag)) sha[m.path] = m.sha256;
    ASSERT_EQ(r.files.size(), 20u);
    for (const RecoveredFileRecord& f : r.files) {
        SCOPED_TRACE(f.path);
        if (f.path == "docs/doc1.txt") {
            EXPECT_EQ(f.status, RecoveredStatus::Failed);
            EXPECT_EQ(f.keptAs, "docs/doc1.txt.partial");
            continue;
        }
        EXPECT_EQ(f.status, RecoveredStatus::Written);
        EXPECT_EQ(f.sha256, sha[f.path]);
        EXPECT_FALSE(f.runs.empty());
    }
}

TEST(ExtJournal, BlockKindsAndFirstInodes) {
    struct Row {
        size_t volume;
        uint64_t block;
        ExtBlockKind kind;
        uint32_t firstInode;
    };
    using K = ExtBlockKind;
    const Row rows[] = {
        // ext3, 1 KiB blocks: boot block, superblock at 1, descriptors at 2,
        // reserved descriptors 3-33, bitmaps 34 and 35, inode table 36-291.
        {0, 0, K::Superblock, 0},   {0, 1, K::Superblock, 0},    {0, 2, K::Descriptors, 0},
        {0, 33, K::Descriptors, 0}, {0, 34, K::BlockBitmap, 0},  {0, 35, K::InodeBitmap, 0},
        {0, 36, K::InodeTable, 1},  {0, 291, K::InodeTable, 2041}, {0, 292, K::Data, 0},
        {0, 8191, K::Data, 0},      {0, 8192, K::OutOfRange, 0},
        // ext4 (flex_bg): bitmaps at 3 and 19, inode table 35-290 of 16 inodes each.
        {2, 3, K::BlockBitmap, 0},  {2, 19, K::InodeBitmap, 0},  {2, 163, K::InodeTable, 2049},
        {2, 291, K::Data, 0},
    };
    std::unique_ptr<CExtVolume> vols[3];
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(kVolumes[r.volume].tag) + " block " + std::to_string(r.block));
        if (!vols[r.volume]) vols[r.volume] = Open(kVolumes[r.volume]);
        auto* v3 = dynamic_cast<CExt3Volume*>(vols[r.volume].get());
        ASSERT_NE(v3, nullptr);
        EXPECT_EQ(v3->ClassifyBlock(r.block), r.kind);
        EXPECT_EQ(v3->FirstInodeOfBlock(r.block), r.firstInode);
    }
}

// A journal inode claiming a terabyte and a journal superblock claiming four
// billion blocks: the walk stops at the map's end instead of reading zeros;
// a first block that is no journal superblock gives nothing, with a reason.
TEST(ExtJournal, HostileJournalSizesEndTheWalkWithAReason) {
    struct Row {
        uint32_t sizeHigh;       // journal inode's i_size_high
        uint32_t maxLen;         // journal superblock's s_maxlen
        bool clearMagic;
        const char* note;
    };
    for (const Row& r : {Row{256, 0xFFFFFFFF, false, "the journal's block map is damaged"},
                         Row{0, 0xFFFFFFFF, false, ""},
                         Row{0, 1024, true, "the journal's first block is not a journal superblock"}}) {
        SCOPED_TRACE(r.note);
        std::vector<std::byte> bytes = VolumeBytes(kVolumes[0]);
        ASSERT_FALSE(bytes.empty());
        const size_t journalInode = 36 * 1024 + 7 * 128;  // inode 8, table at block 36
        writeLe32(MutableByteSpan(bytes), journalInode + 108, r.sizeHigh);
        const size_t jsb = size_t{readLe32(bytes, journalInode + 40)} * 1024;
        for (int i = 0; i < 4; ++i) bytes[jsb + 16 + static_cast<size_t>(i)] = std::byte((r.maxLen >> (24 - 8 * i)) & 0xFF);
        if (r.clearMagic) bytes[jsb] = std::byte{0};
        auto vol = Open(std::move(bytes));
        ASSERT_TRUE(vol && vol->opened());
        ProgressFields progress;
        vol->m_bRunning = true;
        ASSERT_EQ(vol->ScanDeleted(progress), kSuccess);
        EXPECT_EQ(vol->journalNote(), r.note);
        EXPECT_EQ(vol->found().size(), r.note[0] ? 0u : 20u);
    }
}

// Tag layouts the fixtures do not make (v2 and v3 checksums, old v1
// journals), the same-identifier flag and the escaped flag.
TEST(ExtJournal, DescriptorTagsOfEveryLayout) {
    auto be = [](std::vector<std::byte>& b, size_t at, uint32_t v, int bytes = 4) {
        for (int i = 0; i < bytes; ++i) b[at + static_cast<size_t>(i)] = std::byte((v >> (8 * (bytes - 1 - i))) & 0xFF);
    };
    struct Row {
        uint32_t type, incompat;
        size_t tagBytes, tail;
    };
    for (const Row& r : {Row{3, 0, 8, 0}, Row{4, 0, 8, 0}, Row{4, 0x2, 12, 0}, Row{4, 0x8, 10, 4}, Row{4, 0xA, 14, 4},
                         Row{4, 0x12, 16, 4}}) {
        SCOPED_TRACE("incompat " + std::to_string(r.incompat));
        std::vector<std::byte> sbBlock(1024), desc(1024);
        be(sbBlock, 0, kJbdMagic), be(sbBlock, 4, r.type), be(sbBlock, 12, 1024), be(sbBlock, 16, 1024);
        be(sbBlock, 20, 1), be(sbBlock, 40, r.incompat);
        JbdSuperblock jsb;
        std::string why;
        ASSERT_EQ(ParseJbdSuperblock(sbBlock, jsb, why), kSuccess) << why;
        EXPECT_EQ(jsb.tagBytes, r.tagBytes);
        EXPECT_EQ(jsb.tailBytes, r.tail);
        const bool v3 = r.tagBytes == 16;
        size_t at = 12;
        auto tag = [&](uint32_t block, uint32_t high, uint32_t flags) {
            be(desc, at, block);
            if (v3) be(desc, at + 4, flags);
            else be(desc, at + 6, flags, 2);
            if (jsb.is64Bit) be(desc, at + 8, high);
            at += r.tagBytes + ((flags & kJbdTagSameUuid) ? 0 : 16);
        };
        tag(100, 1, 0);                                   // identifier follows
        tag(200, 0, kJbdTagSameUuid | kJbdTagEscaped);
        tag(300, 0, kJbdTagSameUuid | kJbdTagLast);
        tag(400, 0, kJbdTagSameUuid);                     // past the last tag
        std::vector<JbdTag> tags;
        DecodeJbdTags(desc, jsb, tags);
        ASSERT_EQ(tags.size(), 3u);
        EXPECT_EQ(tags[0].block, jsb.is64Bit ? (uint64_t{1} << 32) + 100 : 100);
        EXPECT_EQ(tags[1].block, 200u);
        EXPECT_TRUE(tags[1].escaped);
        EXPECT_FALSE(tags[2].escaped);
    }
    std::vector<std::byte> junk(1024);
    JbdSuperblock jsb;
    std::string why;
    EXPECT_EQ(ParseJbdSuperblock(junk, jsb, why), kErrInvalidDrive);
    EXPECT_EQ(why, "the journal's first block is not a journal superblock");
}

}  // namespace
}  // namespace vantor
