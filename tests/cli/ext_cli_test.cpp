// The `vantor` command on EXT partitions: ext-deleted.img (ext2 and ext4
// made by debugfs) and the EXT3 partition of sample-disk.img.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "fat/fat_test_util.h"
#include "support/cli_runner.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

std::string Fixture(const std::string& name) { return std::string(VANTOR_FIXTURE_DIR) + "/" + name; }

std::string Text(const std::vector<std::byte>& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

void CollectFiles(const nlohmann::json& folder, std::map<std::string, nlohmann::json>& out) {
    for (const auto& f : folder.value("files", nlohmann::json::array())) out[f["path"]] = f;
    for (const auto& sub : folder.value("folders", nlohmann::json::array())) CollectFiles(sub, out);
}

TEST(ExtCli, ScanListsTheExt4VolumeInJson) {
    const auto r = test::RunCli("--quiet --image '" + Fixture("ext-deleted.img") + "' scan deleted --partition 2 --json 2>/dev/null");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["engine"], "EXT4");
    EXPECT_EQ(j["fileCount"], 6);
    EXPECT_EQ(j["tree"]["name"], "EXT4( vantorext4 )");
    std::map<std::string, nlohmann::json> files;
    CollectFiles(j["tree"], files);
    ASSERT_TRUE(files.count("music/frag.bin"));
    EXPECT_EQ(files["music/frag.bin"]["id"], "14");
    EXPECT_EQ(files["music/frag.bin"]["size"], 195000);
    EXPECT_EQ(files["music/frag.bin"]["extra"]["nameFrom"], "slack");
    EXPECT_EQ(files["notes.txt"]["attributes"], "rw-r--");
}

// Kernel-deleted files of a journalled ext4: found through the journal, with
// their folder paths, and a whole removed folder rebuilt.
TEST(ExtCli, TheJournalGivesKernelDeletedExt4FilesTheirFolders) {
    const auto r = test::RunCli("--quiet --image '" + Fixture("ext-journal.img") + "' scan deleted --partition 3 --json 2>/dev/null");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["engine"], "EXT4");
    EXPECT_EQ(j["fileCount"], 20);
    std::map<std::string, nlohmann::json> files;
    CollectFiles(j["tree"], files);
    for (const char* path : {"docs/reports/2023/q6.txt", "docs/frag.bin", "photos/img3.jpg", "big.log"})
        EXPECT_TRUE(files.count(path)) << path;
}

TEST(ExtCli, RecoverBringsBackTheSampleExt3FileByName) {
    test::ScratchDir scratch;
    const fs::path to = scratch.path() / "out";
    const auto r = test::RunCli("--quiet --image '" + Fixture("sample-disk.img") + "' recover deleted --partition 5 --to '" +
                                to.string() + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(test::ReadWholeFile(to / "removed.txt"), Text(fattest::NumberedLines("deleted-ext3", 40)));
}

TEST(ExtCli, ABrokenSuperblockSaysWhy) {
    test::ScratchDir scratch;
    const fs::path image = scratch.path() / "broken.img";
    fs::copy_file(Fixture("ext-deleted.img"), image);
    {
        std::fstream f(image, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(2048 * 512 + 1024 + 24);  // s_log_block_size of the ext2 volume
        f.put(9);
    }
    const auto r = test::RunCli("--quiet --image '" + image.string() + "' scan deleted --partition 1");
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_NE(r.out.find("block size beyond 64 KiB"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vantor
