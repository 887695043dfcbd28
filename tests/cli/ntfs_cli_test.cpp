// The `vantor` command on the NTFS real-tool fixtures.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using TempDir = test::ScratchDir;
using test::ReadWholeFile;


struct ToolRun {
    std::string out;
    std::string err;
    int status = -1;
};

ToolRun Vantor(const std::string& image, const std::string& args, const fs::path& scratch) {
    ToolRun r;
    const fs::path errFile = scratch / "stderr.txt";
    const std::string cmd = std::string(VANTOR_CLI_PATH) + " --quiet --image '" + std::string(VANTOR_FIXTURE_DIR) +
                            "/" + image + "' " + args + " </dev/null 2>'" + errFile.string() + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = ReadWholeFile(errFile);
    return r;
}

// Every file object of the scan's JSON tree.
void CollectFiles(const nlohmann::json& folder, std::vector<nlohmann::json>& out) {
    for (const auto& f : folder.value("files", nlohmann::json::array())) out.push_back(f);
    for (const auto& sub : folder.value("folders", nlohmann::json::array())) CollectFiles(sub, out);
}

std::string Xorshift(uint32_t seed, size_t n) {
    std::string out;
    uint32_t x = seed;
    while (out.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        for (int i = 0; i < 4 && out.size() < n; ++i) out.push_back(static_cast<char>((x >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string NumberedLines(const std::string& tag, int lines) {
    std::string s;
    char line[160];
    for (int i = 1; i <= lines; ++i) {
        std::snprintf(line, sizeof line, "%s line %04d: the quick brown fox jumps over the lazy dog\n", tag.c_str(), i);
        s += line;
    }
    return s;
}

// Partition 1 of sample-disk.img is its NTFS volume (D:).
constexpr const char* kSample = "sample-disk.img";

TEST(NtfsCli, FormattedScanListsTheSampleVolumeInJson) {
    TempDir scratch;
    ToolRun r = Vantor(kSample, "scan formatted --partition 1 --json", scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["engine"], "NTFS");
    EXPECT_EQ(j["fileCount"], 3);
    EXPECT_EQ(j["totalBytes"], 28 + 3900 + 20000);
    EXPECT_EQ(j["tree"]["name"], "NTFS - Logical Disk (D:)");
    std::vector<nlohmann::json> files;
    CollectFiles(j["tree"], files);
    ASSERT_EQ(files.size(), 3u);
    std::map<std::string, nlohmann::json> byName;
    for (const auto& f : files) byName[f["name"]] = f;
    const auto& blob = byName["blob.bin"];
    EXPECT_EQ(blob["id"], "66");
    EXPECT_EQ(blob["size"], 20000);
    EXPECT_EQ(blob["sizeText"], "19.5KB");
    EXPECT_EQ(blob["deleted"], false);
    EXPECT_EQ(blob["extra"]["record"], "66");
    EXPECT_EQ(blob["extra"]["path"], "blob.bin");
    EXPECT_EQ(blob["extra"]["deleted"], "false");
    EXPECT_EQ(byName["readme.txt"]["extra"]["record"], "64");
    EXPECT_EQ(byName["NTFS long name file.txt"]["size"], 3900);
}

TEST(NtfsCli, RecoverWritesTheSampleFilesByteExact) {
    TempDir scratch;
    const fs::path to = scratch.path() / "out";
    ToolRun r = Vantor(kSample, "recover formatted --partition 1 --to '" + to.string() + "'", scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadWholeFile(to / "readme.txt"), "Vantor sample NTFS volume.\r\n");
    EXPECT_EQ(ReadWholeFile(to / "NTFS long name file.txt"), NumberedLines("ntfs-long", 60));
    EXPECT_EQ(ReadWholeFile(to / "blob.bin"), Xorshift(4242, 20000));

    // One file by its id.
    const fs::path one = scratch.path() / "one";
    r = Vantor(kSample, "recover formatted --partition 1 --select 65 --to '" + one.string() + "'", scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(one / "NTFS long name file.txt"));
    EXPECT_FALSE(fs::exists(one / "blob.bin"));
    EXPECT_FALSE(fs::exists(one / "readme.txt"));
}

TEST(NtfsCli, NothingDeletedOnTheSampleVolume) {
    TempDir scratch;
    ToolRun r = Vantor(kSample, "scan deleted --partition 1 --json", scratch.path());
    EXPECT_EQ(r.status, 1) << "nothing found";
    EXPECT_EQ(nlohmann::json::parse(r.out)["fileCount"], 0);

    const fs::path to = scratch.path() / "out";
    r = Vantor(kSample, "recover deleted --partition 1 --to '" + to.string() + "'", scratch.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE((r.out + r.err).find("Please select file to recover!"), std::string::npos) << r.out << r.err;
    EXPECT_TRUE(!fs::exists(to) || fs::is_empty(to));
}

// ntfs-deleted.img: one NTFS partition (0) with deleted files in live and
// deleted folders, resident, compressed and fragmented ones among them.
constexpr const char* kDeleted = "ntfs-deleted.img";
constexpr const char* kFormatted = "ntfs-formatted.img";

TEST(NtfsCli, DeletedScanListsEveryDeletedFileWithItsPath) {
    TempDir scratch;
    ToolRun r = Vantor(kDeleted, "scan deleted --partition 0 --json", scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    std::vector<nlohmann::json> files;
    CollectFiles(j["tree"], files);
    std::map<std::string, nlohmann::json> byPath;
    for (const auto& f : files) byPath[f["extra"]["path"]] = f;
    EXPECT_EQ(files.size(), 13u);
    ASSERT_TRUE(byPath.count("docs/nested/deeper/gone-deep.txt"));
    ASSERT_TRUE(byPath.count("olddir/b.bin"));
    ASSERT_TRUE(byPath.count("packed/compressed-gone.txt"));
    const auto& deep = byPath["docs/nested/deeper/gone-deep.txt"];
    EXPECT_EQ(deep["folder"], "docs/nested/deeper");
    EXPECT_EQ(deep["extra"]["record"], "71");
    EXPECT_EQ(deep["id"], "71");
    EXPECT_EQ(deep["deleted"], true);
    EXPECT_EQ(deep["extra"]["deleted"], "true");
    EXPECT_EQ(deep["size"], 6500);
    EXPECT_EQ(byPath["packed/compressed-gone.txt"]["attributes"], "A-C-Del-");
    EXPECT_EQ(byPath["big-gone.txt"]["size"], 4540001);
}

TEST(NtfsCli, DeletedFilesComeBackByteExact) {
    TempDir scratch;
    const fs::path to = scratch.path() / "out";
    ToolRun r = Vantor(kDeleted, "recover deleted --partition 0 --to '" + to.string() + "'", scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadWholeFile(to / "docs" / "nested" / "deeper" / "gone-deep.txt"), NumberedLines("deep-gone", 100));
    EXPECT_EQ(ReadWholeFile(to / "small-gone.txt"), NumberedLines("small-gone", 6));
    EXPECT_EQ(ReadWholeFile(to / "big-gone.txt"), NumberedLines("big-gone", 70000));
    EXPECT_EQ(ReadWholeFile(to / "packed" / "compressed-gone.txt"), NumberedLines("packed-gone", 4000));
    EXPECT_EQ(ReadWholeFile(to / "olddir" / "a.txt"), NumberedLines("olddir-a", 4));
    EXPECT_EQ(ReadWholeFile(to / "olddir" / "b.bin"), Xorshift(2024, 20000));
    EXPECT_EQ(ReadWholeFile(to / "frag-gone.txt"), NumberedLines("frag-gone", 6000));
    // Pads whose clusters were reused still come back at their full size.
    EXPECT_EQ(fs::file_size(to / "pad-02.bin"), 65536u);
    EXPECT_EQ(fs::file_size(to / "filler.bin"), 21893120u);
}

TEST(NtfsCli, SelectionByFolderAndIdOnTheDeletedVolume) {
    TempDir scratch;
    const fs::path to = scratch.path() / "out";
    ToolRun r = Vantor(kDeleted, "recover deleted --partition 0 --select olddir --select 72 --to '" + to.string() + "'",
                       scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadWholeFile(to / "olddir" / "a.txt"), NumberedLines("olddir-a", 4));
    EXPECT_TRUE(fs::exists(to / "olddir" / "b.bin"));
    EXPECT_EQ(ReadWholeFile(to / "small-gone.txt"), NumberedLines("small-gone", 6));
    EXPECT_FALSE(fs::exists(to / "big-gone.txt"));
    EXPECT_FALSE(fs::exists(to / "docs"));

    // A second run with --overwrite never leaves the file as it is.
    r = Vantor(kDeleted, "recover deleted --partition 0 --select 72 --overwrite never --to '" + to.string() + "'",
               scratch.path());
    EXPECT_EQ(ReadWholeFile(to / "small-gone.txt"), NumberedLines("small-gone", 6));
}

TEST(NtfsCli, FormattedScanBringsBackTheOldMftsFiles) {
    TempDir scratch;
    ToolRun r = Vantor(kFormatted, "scan formatted --partition 0 --json", scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<nlohmann::json> files;
    CollectFiles(nlohmann::json::parse(r.out)["tree"], files);
    std::map<std::string, nlohmann::json> byFolderName;
    for (const auto& f : files) byFolderName[f["path"].get<std::string>()] = f;
    ASSERT_TRUE(byFolderName.count("Lost Files1/docs/nested/deeper/gone-deep.txt")) << r.out.substr(0, 2000);
    ASSERT_TRUE(byFolderName.count("Lost Files1/olddir/b.bin"));

    const fs::path to = scratch.path() / "out";
    r = Vantor(kFormatted,
               "recover formatted --partition 0 --select 'Lost Files1/olddir' --select 'Lost Files1/docs/nested' "
               "--select '*compressed-gone.txt' --to '" + to.string() + "'",
               scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const fs::path lost = to / "Lost Files1";
    EXPECT_EQ(ReadWholeFile(lost / "docs" / "nested" / "deeper" / "gone-deep.txt"), NumberedLines("deep-gone", 100));
    EXPECT_EQ(ReadWholeFile(lost / "olddir" / "a.txt"), NumberedLines("olddir-a", 4));
    EXPECT_EQ(ReadWholeFile(lost / "olddir" / "b.bin"), Xorshift(2024, 20000));
    EXPECT_EQ(ReadWholeFile(lost / "packed" / "compressed-gone.txt"), NumberedLines("packed-gone", 4000));
    EXPECT_FALSE(fs::exists(lost / "big-gone.txt"));
}

}  // namespace
}  // namespace vantor
