// Volumes whose file systems count 4096-byte sectors on a disk whose table
// counts 512-byte ones (sector-4k.img): each is lettered at its true start
// and its deleted file is found and comes back byte-exact.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fat/fat_test_util.h"
#include "support/cli_runner.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::RunCli;

TEST(FourKiBSectors, VolumesAreLetteredAndTheirDeletedFilesComeBackByteExact) {
    const std::string image = "--image '" + fattest::FixturePath("sector-4k.img") + "' ";
    CliRun drives = RunCli(image + "drives");
    ASSERT_EQ(drives.status, 0) << drives.out;
    EXPECT_NE(drives.out.find("C:  FAT        Start Sector : 2048          End Sector : 51199"), std::string::npos)
        << drives.out;
    EXPECT_NE(drives.out.find("D:  NTFS       Start Sector : 51200         End Sector : 83967"), std::string::npos)
        << drives.out;
    EXPECT_EQ(drives.out.find("#FAT16#"), std::string::npos) << "the volumes merge with their table entries";

    test::ScratchDir scratch;
    const fs::path& dir = scratch.path();
    struct Case {
        int partition;
        const char* select;
        const char* row;  // the NTFS id is the MFT record number, counted in 4 KiB records
        const char* file;
        uint32_t seed;
    };
    for (const Case& c : {Case{0, "#ONE*", "f1     #ONE.bin", "#ONE.bin", 4096},
                          Case{1, "gone.bin", "65     gone.bin", "gone.bin", 4097}}) {
        CliRun scan = RunCli(image + "scan deleted --partition " + std::to_string(c.partition));
        EXPECT_EQ(scan.status, 0) << scan.out;
        EXPECT_NE(scan.out.find(c.row), std::string::npos) << scan.out;
        const fs::path to = dir / std::to_string(c.partition);
        CliRun rec = RunCli(image + "recover deleted --partition " + std::to_string(c.partition) + " --select '" +
                            c.select + "' --to '" + to.string() + "'");
        ASSERT_EQ(rec.status, 0) << rec.out;
        EXPECT_EQ(fattest::ReadWholeFile((to / c.file).string()), fattest::XorshiftBytes(c.seed, 9000)) << c.file;
    }
    // A resident file longer than a 1 KiB record: only a 4 KiB record holds it.
    const fs::path to = dir / "formatted";
    CliRun rec = RunCli(image + "recover formatted --partition 1 --select keep.txt --to '" + to.string() + "'");
    ASSERT_EQ(rec.status, 0) << rec.out;
    EXPECT_EQ(fattest::ReadWholeFile((to / "keep.txt").string()), fattest::NumberedLines("ntfs4k-keep", 20));
}

}  // namespace
}  // namespace vantor
