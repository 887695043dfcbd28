// `vantor recover --report` on real-tool fixtures of both engines: every hash
// in the report matches the file written, and the drive runs it lists hold
// exactly the bytes of each file that was copied from them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/sha256.h"
#include "support/cli_runner.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;

std::string Hex(const std::string& bytes) {
    Sha256 sha;
    sha.update(ByteSpan(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()));
    return sha.finishHex();
}

struct ReportCase {
    const char* image;
    const char* kind;
    const char* engine;
    int partition = 0;
    bool someOverwritten = false;  // live files took clusters of some found files
};

class ReportCli : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportCli, EveryHashAndRunMatchesTheWrittenFiles) {
    const ReportCase& c = GetParam();
    test::ScratchDir dir("vantor-report-");
    const fs::path to = dir.path() / "out", reportPath = dir.path() / "report.json";
    const std::string image = std::string(VANTOR_FIXTURE_DIR) + "/" + c.image;
    const test::CliRun r = test::RunCli("--quiet --image '" + image + "' recover " + c.kind + " --partition " +
                                        std::to_string(c.partition) + " --to '" +
                                        to.string() + "' --overwrite never --report '" + reportPath.string() +
                                        "' --hash-image </dev/null");
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.out;
    const nlohmann::json report = nlohmann::json::parse(ReadWholeFile(reportPath));

    const std::string imageBytes = ReadWholeFile(image);
    EXPECT_EQ(report["drive"]["sha256"], Hex(imageBytes));
    EXPECT_EQ(report["drive"]["image"], true);
    EXPECT_EQ(report["partition"]["fileSystem"], c.engine);
    EXPECT_GT(report["partition"]["sizeBytes"].get<uint64_t>(), 0u);
    EXPECT_EQ(report["scan"], c.kind);
    EXPECT_FALSE(report["version"].get<std::string>().empty());
    EXPECT_LE(report["started"].get<std::string>(), report["finished"].get<std::string>());

    std::set<std::string> listed;
    int checkedRuns = 0, overwritten = 0;
    ASSERT_FALSE(report["files"].empty());
    for (const auto& f : report["files"]) {
        const std::string status = f["status"], condition = f["condition"];
        if (condition == "overwritten" || condition == "partly overwritten") {
            ++overwritten;
            if (status != "skipped") {
                EXPECT_EQ(status, "overwritten") << f["path"];
            }
        } else {
            EXPECT_EQ(condition, "intact") << f["path"];
        }
        if (status == "skipped") continue;
        const std::string onDisk = f.value("keptAs", f["path"].get<std::string>());
        listed.insert(onDisk);
        const std::string bytes = ReadWholeFile(to / onDisk);
        ASSERT_TRUE(fs::is_regular_file(to / onDisk)) << onDisk;
        EXPECT_EQ(bytes.size(), f["bytesWritten"].get<uint64_t>()) << onDisk;
        if (status == "written") {
            EXPECT_EQ(bytes.size(), f["size"].get<uint64_t>()) << onDisk;
        }
        if (!bytes.empty()) {
            EXPECT_EQ(f["sha256"], Hex(bytes)) << onDisk;
        }
        // Where the runs cover the file byte for byte (not compressed, not
        // sparse), the drive holds exactly its bytes there.
        uint64_t covered = 0;
        std::string fromRuns;
        for (const auto& run : f["runs"]) {
            const uint64_t off = run["offset"], len = run["length"];
            ASSERT_LE(off + len, imageBytes.size()) << onDisk;
            fromRuns += imageBytes.substr(off, len);
            covered += len;
        }
        if (covered == bytes.size() && !f.value("resident", false) && covered > 0) {
            EXPECT_EQ(fromRuns, bytes) << onDisk;
            ++checkedRuns;
        }
    }
    EXPECT_GT(checkedRuns, 0);
    EXPECT_EQ(overwritten > 0, c.someOverwritten);
    // Nothing was written that the report does not list.
    for (const auto& e : fs::recursive_directory_iterator(to)) {
        if (e.is_regular_file()) {
            EXPECT_TRUE(listed.count(fs::relative(e.path(), to).string())) << e.path();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ReportCli,
                         ::testing::Values(ReportCase{"ntfs-deleted.img", "deleted", "NTFS"},
                                           ReportCase{"ntfs-formatted.img", "formatted", "NTFS"},
                                           ReportCase{"fat-fragment.img", "deleted", "FAT", 0, true},
                                           ReportCase{"ntfs-overwritten.img", "deleted", "NTFS", 0, true},
                                           ReportCase{"fat-fat32.img", "deleted", "FAT32"},
                                           ReportCase{"exfat-deleted.img", "deleted", "exFAT"},
                                           ReportCase{"exfat-formatted.img", "formatted", "exFAT"},
                                           // Runs are the drive's bytes, not the partition's.
                                           ReportCase{"sector-4k.img", "deleted", "NTFS", 1}));

}  // namespace
}  // namespace vantor
