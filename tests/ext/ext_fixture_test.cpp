// The EXT engine on ext-deleted.img (mke2fs + debugfs): geometry, the
// deleted-inode scan with names and folders, byte-exact extraction, and the
// writer's contract.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "ext/ext_page_model.h"
#include "ext/ext_test_util.h"
#include "ext/ext_writer.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

using exttest::kExt2;
using exttest::kExt4;
using fattest::NumberedLines;
using fattest::XorshiftBytes;

std::vector<std::byte> SparseContent() {
    std::vector<std::byte> out(16384, std::byte{0});
    for (size_t i = 0; i < 4096; ++i) {
        out[i] = std::byte((i * 7 + 3) & 0xFF);
        out[16383 - i] = out[i];
    }
    return out;
}

std::vector<std::byte> PreallocContent() {
    std::vector<std::byte> out = XorshiftBytes(4402, 5000);
    out.resize(16384, std::byte{0});  // the block's tail, then two uninitialised blocks
    return out;
}

struct Expected {
    uint32_t inode;
    const char* name;
    const char* folder;     // nullptr: under "Lost files"
    std::vector<std::byte> content;  // empty: the data was overwritten since
};

TEST(ExtFixture, VolumesOpenWithTheirGeometry) {
    struct Row {
        exttest::FixtureVolume v;
        uint32_t blockSize, groups, inodeSize, descSize;
        uint64_t blocks;
    };
    for (const Row& r : {Row{kExt2, 1024, 4, 256, 32, 8192}, Row{kExt4, 4096, 4, 256, 64, 4096}}) {
        auto vol = exttest::OpenBytes(exttest::VolumeBytes(r.v));
        ASSERT_TRUE(vol->opened()) << r.v.name << ": " << vol->openReason();
        EXPECT_EQ(vol->blockSize(), r.blockSize) << r.v.name;
        EXPECT_EQ(vol->groupCount(), r.groups) << r.v.name;
        EXPECT_EQ(vol->inodeSize(), r.inodeSize) << r.v.name;
        EXPECT_EQ(vol->superblock().descSize, r.descSize) << r.v.name;
        EXPECT_EQ(vol->blocksCount(), r.blocks) << r.v.name;
        std::vector<std::byte> root;
        ASSERT_EQ(vol->ReadInode(kExtRootInode, root), kSuccess);
        EXPECT_EQ(root.size(), r.inodeSize);
        EXPECT_TRUE(ExtInodeView{root}.isDirectory()) << r.v.name;
    }
}

TEST(ExtFixture, DeletedFilesComeBackByteExactWithNamesAndFolders) {
    struct Case {
        exttest::FixtureVolume v;
        std::vector<Expected> files;
    };
    const std::vector<Case> cases = {
        {kExt2,
         {{15, "report.txt", "docs", NumberedLines("ext2-report", 300)},              // single indirect
          {16, "deep.bin", "docs/nested", NumberedLines("ext2-deep", 4700)},          // double indirect
          {17, "small.txt", "", NumberedLines("ext2-small", 3)},
          {19, "sparse.bin", "", SparseContent()},                                    // holes
          {20, "inner.txt", "olddir", NumberedLines("ext2-inner", 20)}}},             // in a deleted folder
        {kExt4,
         {{14, "frag.bin", "music", NumberedLines("ext4-frag", 3000)},                // extent tree of depth 1
          {16, "notes.txt", "", NumberedLines("ext4-notes", 2000)},
          {20, "prealloc.bin", "", PreallocContent()},                                // uninitialised extent
          {22, "pad09.bin", "", {}},                                                  // blocks taken by frag.bin
          {24, "pad11.bin", "", {}},
          {1025, "far.txt", "", NumberedLines("ext4-far", 50)}}},                   // group 1: 64-byte descriptors
    };
    for (const Case& c : cases) {
        auto vol = exttest::OpenBytes(exttest::VolumeBytes(c.v));
        ASSERT_TRUE(vol->opened()) << vol->openReason();
        ProgressFields progress;
        vol->m_bRunning = true;
        ASSERT_EQ(vol->ScanDeleted(progress), kSuccess);
        EXPECT_EQ(progress.text(), "Found Deleted Files :  " + std::to_string(c.files.size())) << c.v.name;
        std::map<uint32_t, const ExtFoundFile*> byInode;
        for (const auto& r : vol->found()) byInode[r->inodeNumber] = r.get();
        ASSERT_EQ(byInode.size(), c.files.size()) << c.v.name;
        for (const Expected& e : c.files) {
            SCOPED_TRACE(std::string(c.v.name) + " inode " + std::to_string(e.inode));
            ASSERT_TRUE(byInode.count(e.inode));
            const ExtFoundFile& r = *byInode[e.inode];
            EXPECT_EQ(r.nameText(), e.name);
            EXPECT_EQ(r.inode.size(), 256u);
            ASSERT_TRUE(r.folderKnown);
            EXPECT_EQ(r.folderPath, e.folder);
            // Only live files count against a deleted one: the pads' blocks
            // went to frag.bin, which is deleted too, so they read as intact.
            EXPECT_EQ(r.condition, DataCondition::Intact);
            if (e.content.empty()) continue;
            std::vector<std::byte> data;
            ASSERT_EQ(vol->ReadToBuffer(r, UINT64_MAX, data), kSuccess);
            EXPECT_TRUE(data == e.content) << "size " << data.size() << " of " << e.content.size();
        }
    }
}

TEST(ExtFixture, ColumnTexts) {
    EXPECT_EQ(ExtSizeText(1023), "1023 B");
    EXPECT_EQ(ExtSizeText(1048575), "1024.00 KB");
    EXPECT_EQ(ExtSizeText(1048576), " 1.00 MB");
    EXPECT_EQ(ExtSizeText(uint64_t{3} << 30), " 3.00 GB");
    EXPECT_EQ(ExtAttributesText(0x81A4), "rw-r--");
    EXPECT_EQ(ExtAttributesText(0x41F8), "rwxrwx");
    // Local time, as the other pages show it (not UTC + 8 hours).
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "UTC-3", 1);
    ::tzset();
    EXPECT_EQ(ExtTimeText(1262300400), "2010-01-01 02:00:00");
    if (old) ::setenv("TZ", saved.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
    EXPECT_EQ(ExtTimeText(0), "");
}

TEST(ExtFixture, WriterRebuildsFoldersAsksBeforeReplacingAndReportsFailures) {
    test::ScratchDir scratch;
    auto vol = exttest::OpenBytes(exttest::VolumeBytes(kExt2));
    ProgressFields progress;
    vol->m_bRunning = true;
    ASSERT_EQ(vol->ScanDeleted(progress), kSuccess);
    ExtPageModel model;
    model.build("EXT2", vol->volumeLabel(), vol->found());
    EXPECT_EQ(model.tree().root()->text, "EXT2( vantorext2 )");
    EXPECT_EQ(model.tree().root()->children().back()->text, "Lost files");
    model.checkAll(true);

    fattest::ScriptedPrompt prompt;
    std::atomic<bool> running{true};
    const std::string to = (scratch.path() / "out").string();
    ExtRecoveryResult r = RecoverExtFiles(*vol, model.tree(), to, prompt, progress, running);
    EXPECT_EQ(r.written, 5u);
    EXPECT_EQ(r.failed, 0u);
    EXPECT_TRUE(fattest::ReadWholeFile(to + "/olddir/inner.txt") == NumberedLines("ext2-inner", 20));
    EXPECT_TRUE(fattest::ReadWholeFile(to + "/docs/nested/deep.bin") == NumberedLines("ext2-deep", 4700));
    EXPECT_TRUE(prompt.messages.empty());

    // Again: "No" keeps every file; a folder that cannot be made fails its file.
    std::filesystem::remove_all(to + "/olddir");
    std::ofstream(to + "/olddir") << "a file where the folder goes";
    prompt.answers = {OverwriteAnswer::No, OverwriteAnswer::No, OverwriteAnswer::No, OverwriteAnswer::No};
    r = RecoverExtFiles(*vol, model.tree(), to, prompt, progress, running);
    EXPECT_EQ(r.written, 0u);
    EXPECT_EQ(r.skipped, 4u);
    ASSERT_EQ(r.failures, (std::vector<std::string>{"Can not create file 'olddir/inner.txt'."}));
    EXPECT_EQ(prompt.messages, (std::vector<std::string>{"Can not create file 'olddir/inner.txt'.\n"}));
}

}  // namespace
}  // namespace vantor
