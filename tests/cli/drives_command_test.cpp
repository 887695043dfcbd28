#include <gtest/gtest.h>

#include <string>

#include "support/cli_runner.h"

namespace {

using vantor::test::CliRun;
using vantor::test::RunCli;

const std::string kSample = std::string(VANTOR_FIXTURE_DIR) + "/sample-disk.img";

TEST(DrivesCommand, ListsDriveLabelEveryPartitionAndTheListLabels) {
    CliRun r = RunCli("drives --image " + kSample);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("sample-disk.img (  BusType :  Unknown ,    Size :  96.00 MB  )"), std::string::npos)
        << r.out;
    for (const char* line : {"C:  FAT32      Start Sector : 2048          End Sector : 83967",
                             "D:  NTFS       Start Sector : 83968         End Sector : 116735",
                             "E:  FAT        Start Sector : 126976        End Sector : 159743",
                             "*:  Deleted    Start Sector : 63            End Sector : 2047",
                             "*:  EXT3       Start Sector : 161792        End Sector : 186367",
                             "*:  Deleted    Start Sector : 186431        End Sector : 196607"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

// sfdisk writes the extended partition as type 05h: its logical drives, the
// free stretch between them and the one after them are all listed, and the
// FAT16 logical gets a letter.
TEST(DrivesCommand, ExtendedPartitionOfType05ListsItsLogicalDrivesAndGaps) {
    CliRun r = RunCli("drives --image " + std::string(VANTOR_FIXTURE_DIR) + "/extended-05.img");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* line : {"C:  FAT        Start Sector : 4096          End Sector : 20479",
                             "*:  Deleted    Start Sector : 63            End Sector : 2047",
                             "*:  Deleted    Start Sector : 20543         End Sector : 38911",
                             "*:  EXTX       Start Sector : 40960         End Sector : 57343",
                             "*:  Deleted    Start Sector : 57407         End Sector : 65535"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.out.find("LOGICAL05"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("*:  Unknown"), std::string::npos) << "the 05h entry is no partition of its own\n"
                                                            << r.out;
}

TEST(DrivesCommand, JsonCarriesTheSameRecordsAndBadImagesExitWithDeviceError) {
    CliRun r = RunCli("--image " + kSample + " drives --json");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"fileSystem\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("SAMPLENTFS"), std::string::npos);
    EXPECT_NE(r.out.find("sampleext3"), std::string::npos);

    CliRun bad = RunCli("drives --image /nonexistent/vantor-none.img");
    EXPECT_EQ(bad.status, 3);
    EXPECT_NE(bad.out.find("cannot open disk image '/nonexistent/vantor-none.img': The system cannot find the file "
                           "specified. (error 2)"),
              std::string::npos)
        << bad.out;
}

}  // namespace
