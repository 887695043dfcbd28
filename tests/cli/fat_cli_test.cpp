// `vantor scan` / `vantor recover` on the FAT partitions of the real-tool
// sample disk and on FAT fixture images.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "disk/volume_mount.h"
#include "platform/device_table.h"
#include "platform/sha256.h"
#include "shell/app_state.h"
#include "fat/fat_records.h"
#include "fat/fat_test_util.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(VANTOR_FIXTURE_DIR) + "/sample-disk.img";

struct CliRun {
    std::string out;
    std::string err;
    int status = -1;
};

// Runs vantor with args; stdin from /dev/null unless input is given.
CliRun Vantor(const std::string& args, const fs::path& scratch, const std::string* input = nullptr,
              const std::string& image = kSample) {
    CliRun r;
    const fs::path errFile = scratch / "stderr.txt";
    std::string in = "/dev/null";
    if (input) {
        in = (scratch / "stdin.txt").string();
        std::ofstream(in) << *input;
    }
    const std::string cmd = std::string(VANTOR_CLI_PATH) + " --image '" + image + "' " + args + " <'" + in +
                            "' 2>'" + errFile.string() + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(errFile);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The first 16 hex digits of the SHA-256, as the fixtures' checksum table has them.
std::string Sha256Prefix(const std::string& data) {
    Sha256 sha;
    sha.update(ByteSpan(reinterpret_cast<const std::byte*>(data.data()), data.size()));
    return sha.finishHex().substr(0, 16);
}

class FatCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("vantor-fatcli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        out = dir / "out";
    }
    void TearDown() override { fs::remove_all(dir); }
    CliRun Run(const std::string& args, const std::string* input = nullptr) { return Vantor(args, dir, input); }

    fs::path dir, out;
};

TEST_F(FatCliTest, ScanDeletedListsTheDeletedFat32File) {
    CliRun r = Run("scan deleted --partition 0");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("FAT32 - Logical Disk (C:)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("f1     #ELETED.txt  [3.37 KB, RW, modified 2023-11-14   22:13:20, created "
                         "2023-11-14   22:13:20, accessed 2023-11-14   12:00:00, deleted]"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Found 1 files - 3.37 KB"), std::string::npos) << r.out;
    // Live files of live folders are not listed, and --quiet is not needed off a terminal.
    EXPECT_EQ(r.out.find("README"), std::string::npos);
    EXPECT_EQ(r.err, "");
}

TEST_F(FatCliTest, RecoverWritesTheDeletedFilesByteExact) {
    CliRun r = Run("recover deleted --partition 0 --to '" + out.string() + "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Recovered 1 files"), std::string::npos) << r.out;
    const std::string data = ReadAll(out / "#ELETED.txt");
    EXPECT_EQ(data.size(), 3450u);
    EXPECT_EQ(Sha256Prefix(data), "577651e897459482");

    CliRun g = Run("recover deleted --partition 2 --select '#ONE*' --to '" + (dir / "g").string() + "'");
    ASSERT_EQ(g.status, 0) << g.out << g.err;
    const std::string gone = ReadAll(dir / "g" / "#ONE.txt");
    EXPECT_EQ(gone.size(), 2070u);
    EXPECT_EQ(Sha256Prefix(gone), "3cb7584ec66f0c8e");
}

TEST_F(FatCliTest, JsonShape) {
    CliRun r = Run("scan deleted --partition 0 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["engine"], "FAT32");
    EXPECT_EQ(j["scan"], "deleted");
    EXPECT_EQ(j["partition"]["index"], 0);
    EXPECT_EQ(j["partition"]["fileSystem"], "FAT32");
    EXPECT_EQ(j["partition"]["letter"], "C");
    EXPECT_EQ(j["partition"]["startSector"], 2048);
    EXPECT_EQ(j["fileCount"], 1);
    EXPECT_EQ(j["totalBytes"], 3450);
    const auto& tree = j["tree"];
    EXPECT_EQ(tree["name"], "FAT32 - Logical Disk (C:)");
    EXPECT_EQ(tree["path"], "");
    EXPECT_TRUE(tree["folders"].is_array());
    ASSERT_EQ(tree["files"].size(), 1u);
    const auto& f = tree["files"][0];
    EXPECT_EQ(f["id"], "f1");
    EXPECT_EQ(f["name"], "#ELETED.txt");
    EXPECT_EQ(f["path"], "#ELETED.txt");
    EXPECT_EQ(f["size"], 3450);
    EXPECT_EQ(f["sizeText"], "3.37 KB");
    EXPECT_EQ(f["attributes"], "RW");
    EXPECT_EQ(f["modified"], "2023-11-14   22:13:20");
    EXPECT_EQ(f["accessed"], "2023-11-14   12:00:00");
    EXPECT_EQ(f["deleted"], true);
    EXPECT_EQ(f["extra"]["firstCluster"], "431");
    EXPECT_EQ(f["extra"]["ext"], "txt");
}

TEST_F(FatCliTest, FiltersNarrowTheScan) {
    CliRun nothing = Run("scan deleted --partition 0 --name zzz");
    EXPECT_NE(nothing.out.find("Found 0 files"), std::string::npos);
    EXPECT_EQ(nothing.status, 1);  // nothing found
    EXPECT_NE(Run("scan deleted --partition 0 --name elet").out.find("Found 1 files"), std::string::npos);
    EXPECT_NE(Run("scan deleted --partition 0 --size smaller:3").out.find("Found 0 files"), std::string::npos);
    EXPECT_NE(Run("scan deleted --partition 0 --size between:3,4").out.find("Found 1 files"), std::string::npos);
    EXPECT_NE(Run("scan deleted --partition 0 --date on:2023-11-14").out.find("Found 1 files"), std::string::npos);
    EXPECT_NE(Run("scan deleted --partition 0 --date before:2023-11-14").out.find("Found 0 files"),
              std::string::npos);
    EXPECT_NE(Run("scan deleted --partition 0 --ext-group 1").out.find("Found 0 files"), std::string::npos);
    EXPECT_NE(Run("scan deleted --partition 0 --type pictures").out.find("Found 0 files"), std::string::npos);
}

TEST_F(FatCliTest, UsageAndDeviceErrors) {
    CliRun r = Run("scan deleted --partition 0 --size between:30,20");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Start size can't larger then end size!"), std::string::npos) << r.err;
    EXPECT_EQ(Run("scan deleted --partition 0 --size equal:abc").status, 2);
    EXPECT_EQ(Run("scan deleted --partition 0 --date on:2023-13-01").status, 2);
    EXPECT_EQ(Run("scan deleted --partition 0 --ext-group 7").status, 2);
    EXPECT_EQ(Run("scan deleted --partition 99").status, 2);
    EXPECT_EQ(Run("scan deleted --partition 3").status, 2);  // an unallocated gap: no engine
    EXPECT_EQ(Run("scan sideways --partition 0").status, 2);
    EXPECT_EQ(Run("recover deleted --partition 0").status, 2);  // no --to
    CliRun missing = Vantor("--image /nonexistent.img scan deleted --partition 0", dir);
    EXPECT_EQ(missing.status, 3);
}

TEST_F(FatCliTest, RefusesADestinationOnTheScannedDrive) {
    // C: is the scanned FAT32 partition's letter.
    CliRun r = Run("recover deleted --partition 0 --to 'C:\\saved'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Select anoter drive folder."), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists("C:\\saved"));
    EXPECT_EQ(Run("recover deleted --partition 0 --to 'c:'").status, 2);
}

TEST_F(FatCliTest, OverwritePolicies) {
    fs::create_directories(out);
    const fs::path target = out / "#ELETED.txt";
    std::ofstream(target) << "older and longer text that must be replaced or kept";
    const std::string older = ReadAll(target);

    CliRun never = Run("recover deleted --partition 0 --overwrite never --to '" + out.string() + "'");
    EXPECT_EQ(never.status, 0) << never.err;
    EXPECT_NE(never.out.find("skipped 1"), std::string::npos) << never.out;
    EXPECT_EQ(ReadAll(target), older);

    // ask with no input answers Cancel: nothing is written, the run reports it.
    CliRun ask = Run("recover deleted --partition 0 --to '" + out.string() + "'");
    EXPECT_EQ(ask.status, 1);
    EXPECT_NE(ask.err.find("This folder already contains a file named '#ELETED.txt'"), std::string::npos) << ask.err;
    EXPECT_EQ(ReadAll(target), older);

    CliRun all = Run("recover deleted --partition 0 --overwrite all --to '" + out.string() + "'");
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(Sha256Prefix(ReadAll(target)), "577651e897459482");
}

// A target that cannot be created is a reported failure, not a success.
TEST_F(FatCliTest, UnwritableTargetIsReported) {
    fs::create_directories(out / "#ELETED.txt");  // a folder where the file should go
    CliRun r = Run("recover deleted --partition 0 --to '" + out.string() + "'");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("failed 1"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("#ELETED.txt"), std::string::npos) << r.err;
}

// Answers typed at the question: No keeps one file, Yes to All replaces the
// next without asking again.
TEST_F(FatCliTest, TypedOverwriteAnswers) {
    CliRun first = Run("recover formatted --partition 2 --to '" + out.string() + "'");
    ASSERT_EQ(first.status, 0) << first.err;
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(out))
        if (e.is_regular_file()) files.push_back(e.path());
    ASSERT_GE(files.size(), 3u);
    for (const auto& f : files) std::ofstream(f) << "stale";
    const std::string answers = "n\na\n";
    CliRun again = Run("recover formatted --partition 2 --to '" + out.string() + "'", &answers);
    EXPECT_EQ(again.status, 0) << again.err;
    size_t asked = 0;
    for (size_t p = again.err.find("already contains"); p != std::string::npos; p = again.err.find("already contains", p + 1))
        ++asked;
    EXPECT_EQ(asked, 2u) << again.err;
    EXPECT_NE(again.out.find("skipped 1"), std::string::npos) << again.out;
    size_t stale = 0;
    for (const auto& f : files) stale += ReadAll(f) == "stale";
    EXPECT_EQ(stale, 1u);
}

TEST_F(FatCliTest, SelectionByIdFolderAndGlob) {
    CliRun none = Run("recover deleted --partition 0 --select nothing-like-this --to '" + out.string() + "'");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("--select 'nothing-like-this' matches nothing"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("Please check files for recovering"), std::string::npos) << none.err;
    EXPECT_FALSE(fs::exists(out / "#ELETED.txt"));

    CliRun byId = Run("recover deleted --partition 0 --select f1 --to '" + out.string() + "'");
    EXPECT_EQ(byId.status, 0) << byId.err;
    EXPECT_TRUE(fs::exists(out / "#ELETED.txt"));

    // The formatted scan of the FAT16 volume rebuilds folders; a folder path
    // ticks everything below it.
    CliRun scan = Run("scan formatted --partition 2 --json");
    ASSERT_EQ(scan.status, 0) << scan.err;
    const nlohmann::json j = nlohmann::json::parse(scan.out);
    ASSERT_FALSE(j["tree"]["folders"].empty());
    const std::string folder = j["tree"]["folders"][0]["path"];
    const fs::path fout = dir / "formatted";
    CliRun rec = Run("recover formatted --partition 2 --select '" + folder + "' --to '" + fout.string() + "'");
    EXPECT_EQ(rec.status, 0) << rec.out << rec.err;
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(fout))
        if (e.is_regular_file()) ++files;
    std::function<size_t(const nlohmann::json&)> below = [&](const nlohmann::json& f) {
        size_t n = f["files"].size();
        for (const auto& c : f["folders"]) n += below(c);
        return n;
    };
    EXPECT_EQ(files, below(j["tree"]["folders"][0]));
    EXPECT_GT(files, 0u);
}

std::string AsString(const std::vector<std::byte>& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// Beta's parent folder was overwritten by a file after a re-format: Beta is
// listed under LostDIR with a made-up name, its own subfolder by its name.
TEST_F(FatCliTest, FormattedScanRebuildsAnOrphanedFolderUnderLostDir) {
    const std::string image = fattest::FixturePath("fat-lostdir.img");
    CliRun r = Vantor("scan formatted --partition 0", dir, nullptr, image);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\n  LostDIR/\n    DIR1/\n      f1     beta file.txt  [1.76 KB, RW,"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\n      Gamma/\n        f2     GAMMA.bin  [2.93 KB, RW,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  DIR0/\n    f3     SMALL.txt  [122 Byte,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Found 3 files"), std::string::npos) << r.out;
}

// FRAG's clusters are interrupted by a live file: it comes back exact. A and
// B (both "#.bin" in the root) lost their first cluster to a live file.
TEST_F(FatCliTest, RecoverFollowsFreeClustersAndReportsOverwrittenFiles) {
    const std::string image = fattest::FixturePath("fat-fragment.img");
    CliRun r = Vantor("recover deleted --partition 0 --overwrite all --to '" + out.string() + "'", dir, nullptr, image);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("Recovered 2 files to " + out.string() + " (skipped 0, failed 2)"), std::string::npos) << r.out;
    EXPECT_EQ(Count(r.err, "Can not recovery file '#.bin': overwritten."), 2u) << r.err;
    EXPECT_EQ(ReadAll(out / "LIVE" / "#RAG.bin"), AsString(fattest::XorshiftBytes(509, 3500)));
}

TEST_F(FatCliTest, TextOutputCapsTheIndentationOfDeepFolders) {
    auto m = fattest::MiniFat::Fat16(1, 512, 4400, 20);
    fattest::NestFolders(m, 70);
    fattest::Entry f{"IN      TXT", 0x20, 3000, 5};
    f.deleted = true;
    m.put(10 + 69, 3, f.bytes());
    // What makes a bare volume image one partition of its own.
    MutableByteSpan boot = m.boot();
    writeU8(boot, 21, 0xF8);
    writeU8(boot, 38, 0x29);
    for (size_t i = 0; i < 19; ++i) writeU8(boot, 43 + i, static_cast<uint8_t>("DEEP       FAT16   "[i]));
    const fs::path image = dir / "deep.img";
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(m.bytes().data()), static_cast<std::streamsize>(m.bytes().size()));

    CliRun r = Vantor("scan deleted --partition 0", dir, nullptr, image.string());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string cap(128, ' ');
    EXPECT_NE(r.out.find("\n" + cap + "D0000063/\n" + cap + "(depth 65) D0000064/\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n" + cap + "(depth 70) D0000069/\n" + cap + "  f1     #N.txt  [5 Byte,"), std::string::npos)
        << r.out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.find_first_not_of(' '), cap.size() + 2) << line;
}

}  // namespace
}  // namespace vantor
