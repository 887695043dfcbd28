#include "dialogs/destination.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/output_file.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text << "\n";
}

// A fake sysfs in which the file system holding the test's destination
// folder sits on partition 1 (from sector 2048, 81920 sectors) of loop7,
// and loop7 is backed by the test's image file.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        top = fs::temp_directory_path() / ("vantor-dest-" + std::to_string(::getpid()));
        fs::remove_all(top);
        dest = top / "out";
        fs::create_directories(dest);
        image = top / "disk.img";
        std::ofstream(image) << "image";
        sys = top / "sys";
        const fs::path disk = sys / "devices/virtual/block/loop7";
        Write(disk / "size", "196608");
        Write(disk / "loop/backing_file", fs::canonical(image).string());
        Write(disk / "loop/offset", "0");
        Write(disk / "loop7p1/partition", "1");
        Write(disk / "loop7p1/start", "2048");
        Write(disk / "loop7p1/size", "81920");
        fs::create_directories(sys / "block");
        fs::create_directory_symlink(disk, sys / "block/loop7");
        struct stat st {};
        ASSERT_EQ(::stat(dest.c_str(), &st), 0);
        fs::create_directories(sys / "dev/block");
        fs::create_directory_symlink(disk / "loop7p1", sys / "dev/block" /
                                                          (std::to_string(major(st.st_dev)) + ":" +
                                                           std::to_string(minor(st.st_dev))));
    }
    void TearDown() override { fs::remove_all(top); }

    fs::path top, dest, image, sys;
};

TEST_F(FakeSysfs, DestinationOnAPartitionOfTheScannedImage) {
    EXPECT_TRUE(SameFileSystemDevice(dest.string(), image.string(), 2048ull * 512, 81920ull * 512, sys.string()));
    // A folder that does not exist yet is judged by its nearest existing parent.
    EXPECT_TRUE(SameFileSystemDevice((dest / "new/sub").string(), image.string(), 2048ull * 512, 512,
                                     sys.string()));
    // Another partition of the same image is a different volume.
    EXPECT_FALSE(SameFileSystemDevice(dest.string(), image.string(), 83968ull * 512, 32768ull * 512,
                                      sys.string()));
    // Another image file is not backed by loop7.
    const fs::path other = top / "other.img";
    std::ofstream(other) << "x";
    EXPECT_FALSE(SameFileSystemDevice(dest.string(), other.string(), 2048ull * 512, 512, sys.string()));
}

TEST_F(FakeSysfs, LoopOffsetShiftsThePartition) {
    // The loop device shows the image from 1 MiB on: partition 1 of it is
    // image bytes (2048 + 2048) x 512.
    Write(sys / "devices/virtual/block/loop7/loop/offset", std::to_string(2048 * 512));
    EXPECT_TRUE(SameFileSystemDevice(dest.string(), image.string(), 4096ull * 512, 512, sys.string()));
    EXPECT_FALSE(SameFileSystemDevice(dest.string(), image.string(), 2048ull * 512, 512, sys.string()));
}

TEST_F(FakeSysfs, NoSysfsEntryMeansNotTheSameVolume) {
    EXPECT_FALSE(SameFileSystemDevice(dest.string(), image.string(), 2048ull * 512, 512,
                                      (top / "missing").string()));
    EXPECT_FALSE(SameFileSystemDevice(dest.string(), (top / "no-such.img").string(), 0, 512, sys.string()));
}

TEST(DestinationLetterTest, LetterAndColon) {
    EXPECT_TRUE(DestinationOnDriveLetter("D:\\", 'D'));
    EXPECT_TRUE(DestinationOnDriveLetter("d:", 'D'));
    EXPECT_TRUE(DestinationOnDriveLetter("D:\\x", 'd'));
    EXPECT_FALSE(DestinationOnDriveLetter("E:\\", 'D'));
    EXPECT_FALSE(DestinationOnDriveLetter("D", 'D'));
    EXPECT_FALSE(DestinationOnDriveLetter("Data/x", 'D'));
    EXPECT_FALSE(DestinationOnDriveLetter("*:", '*'));
}

}  // namespace
}  // namespace vantor
