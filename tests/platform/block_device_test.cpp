#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "platform/block_device.h"
#include "platform/device_table.h"
#include "platform/error_codes.h"

namespace vantor {
namespace {

// A sparse image file of the given size with a marker byte at markAt.
class TempImage {
public:
    TempImage(uint64_t size, uint64_t markAt) {
        char tmpl[] = "/tmp/vantor-dev-XXXXXX";
        int fd = mkstemp(tmpl);
        path_ = tmpl;
        EXPECT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
        const char m = 'M';
        EXPECT_EQ(pwrite(fd, &m, 1, static_cast<off_t>(markAt)), 1);
        close(fd);
    }
    ~TempImage() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

TEST(FileDevice, ReadsAtOffsetsPast4GiBAndRefusesShortReadsAndWrites) {
    const uint64_t big = (uint64_t{5} << 30) + 512;  // sparse, costs no disk space
    TempImage img(big, big - 100);
    std::shared_ptr<FileDevice> dev;
    ASSERT_EQ(FileDevice::open(img.path(), false, dev), kSuccess);
    EXPECT_EQ(dev->size(), big);
    EXPECT_FALSE(dev->writable());

    std::vector<std::byte> buf(512);
    ASSERT_EQ(dev->readAt(big - 512, buf), kSuccess);
    EXPECT_EQ(buf[512 - 100], std::byte{'M'});
    // Any read that cannot be filled whole fails; nothing partial is handed out.
    EXPECT_NE(dev->readAt(big - 100, buf), kSuccess);
    EXPECT_NE(dev->readAt(big + 4096, buf), kSuccess);
    EXPECT_NE(dev->readAt(~uint64_t{0} - 10, buf), kSuccess);
    // Read-only means read-only: the scanned image is never written.
    EXPECT_EQ(dev->writeAt(0, buf), kErrAccessDenied);

    std::shared_ptr<FileDevice> missing;
    EXPECT_EQ(FileDevice::open("/nonexistent/vantor.img", false, missing), kErrFileNotFound);
}

TEST(SliceDevice, KeepsReadsInsideItsWindow) {
    std::vector<std::byte> bytes(4096);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::byte(i / 512);
    auto base = std::make_shared<MemoryDevice>(bytes);
    SliceDevice slice(base, 1024, 2048);
    EXPECT_EQ(slice.size(), 2048u);
    std::vector<std::byte> buf(512);
    ASSERT_EQ(slice.readAt(0, buf), kSuccess);
    EXPECT_EQ(buf[0], std::byte{2});
    ASSERT_EQ(slice.readAt(1536, buf), kSuccess);
    EXPECT_EQ(buf[0], std::byte{5});
    EXPECT_NE(slice.readAt(1537, buf), kSuccess) << "one byte past the window";
    EXPECT_NE(slice.readAt(~uint64_t{0}, buf), kSuccess) << "offset overflow";
    EXPECT_EQ(slice.writeAt(0, buf), kErrAccessDenied);

    // A window that reaches past its base is cut by the base's own checks.
    SliceDevice past(base, 3584, 4096);
    EXPECT_NE(past.readAt(512, buf), kSuccess);
}

TEST(DeviceNames, ParseTheWindowsNamespace) {
    EXPECT_EQ(ParsePhysicalDriveName("\\\\.\\PhysicalDrive0"), 0);
    EXPECT_EQ(ParsePhysicalDriveName("\\\\.\\PhysicalDrive25"), 25);
    EXPECT_FALSE(ParsePhysicalDriveName("\\\\.\\PhysicalDrive"));
    EXPECT_FALSE(ParsePhysicalDriveName("\\\\.\\PhysicalDrive1x"));
    EXPECT_FALSE(ParsePhysicalDriveName("\\\\.\\PhysicalDrive99999999999999"));
    EXPECT_EQ(ParseVolumeName("\\\\.\\C:"), 'C');
    EXPECT_EQ(ParseVolumeName("\\\\.\\c:"), 'C');
    EXPECT_FALSE(ParseVolumeName("\\\\.\\CC:"));
    EXPECT_EQ(PhysicalDriveName(3), "\\\\.\\PhysicalDrive3");
    EXPECT_EQ(VolumeName('D'), "\\\\.\\D:");
}

TEST(DeviceTableTest, AttachedImagesAreNumberedInOrderAndOpenReadOnly) {
    TempImage a(1 << 20, 0), b(2 << 20, 0);
    DeviceTable& table = DeviceTable::Global();
    table.attachImages({a.path(), b.path()});
    // 2 MiB is no whole number of 255 x 63 cylinders: the size is the exact one.
    EXPECT_EQ(CDiskInventory::QueryDiskSize(1), 2u << 20);
    DevicePtr dev;
    ASSERT_EQ(table.open("\\\\.\\PhysicalDrive1", Access::Read, dev), kSuccess);
    EXPECT_EQ(dev->size(), 2u << 20);
    EXPECT_FALSE(dev->writable());
    EXPECT_EQ(table.open("\\\\.\\PhysicalDrive2", Access::Read, dev), kErrFileNotFound);
    EXPECT_EQ(table.open("\\\\.\\Q:", Access::Read, dev), kErrFileNotFound);

    setenv("VANTOR_IMAGES", (a.path() + ":" + b.path() + "::").c_str(), 1);
    EXPECT_EQ(ImagesFromEnvironment(), (std::vector<std::string>{a.path(), b.path()}));
    unsetenv("VANTOR_IMAGES");
    table.clear();
}

TEST(DeviceTableTest, ImagesOfOneNameGetModelTextsOfTheirOwn) {
    // Volumes are tied to their drive by model text: a.img twice must stay two drives.
    TempImage a(1 << 20, 0);
    DeviceTable& table = DeviceTable::Global();
    table.attachImages({a.path(), a.path(), a.path()});
    std::string base = a.path().substr(a.path().find_last_of('/') + 1);
    EXPECT_EQ(table.drive(0)->descriptor.productId, "Disk Image " + base);
    EXPECT_EQ(table.drive(1)->descriptor.productId, "Disk Image " + base + " (2)");
    EXPECT_EQ(table.drive(2)->descriptor.productId, "Disk Image " + base + " (3)");
    table.clear();
}

TEST(DeviceTableTest, SystemDrivesComeInKernelOrderWithoutEmmcBootAreasOrIdleLoops) {
    char tmpl[] = "/tmp/vantor-sysblock-XXXXXX";
    std::string root = mkdtemp(tmpl);
    auto put = [&](const std::string& dev, const std::string& file, const std::string& text) {
        std::string dir = root + "/" + dev + (file.find('/') != std::string::npos ? "/" + file.substr(0, file.rfind('/')) : "");
        std::string cmd = "mkdir -p '" + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        FILE* f = std::fopen((root + "/" + dev + "/" + file).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text.c_str(), f);
        std::fclose(f);
    };
    for (const char* n : {"sdaa", "sdb", "sda", "mmcblk0", "mmcblk0boot0", "mmcblk0rpmb", "ram0"})
        put(n, "removable", "0\n");
    put("vda", "device/vendor", "0x1af4\n");
    put("vda", "device/model", "\n");
    put("sda", "device/vendor", "ATA     \n");
    put("sda", "device/model", "Disk One  \n");
    put("loop10", "loop/backing_file", "/x.img\n");
    put("loop2", "loop/backing_file", "/y.img\n");
    put("loop3", "removable", "0\n");  // no backing file: idle

    DeviceTable table;
    table.useSystemDrives(root);
    std::vector<std::string> paths;
    for (int i = 0; i < table.driveSlots(); ++i) paths.push_back(table.drive(i)->path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/dev/sda", "/dev/sdb", "/dev/sdaa", "/dev/vda", "/dev/mmcblk0",
                                               "/dev/loop2", "/dev/loop10"}));
    EXPECT_EQ(table.drive(0)->descriptor.vendorId, "ATA");
    EXPECT_EQ(table.drive(0)->descriptor.productId, "Disk One");
    EXPECT_FALSE(table.drive(3)->descriptor.hasVendor);
    EXPECT_EQ(table.drive(3)->descriptor.productId, "vda");
    std::system(("rm -rf '" + root + "'").c_str());
}

TEST(ErrorCodes, ErrnoMapsToTheWin32Codes) {
    EXPECT_EQ(ErrorFromErrno(ENOENT), kErrFileNotFound);
    EXPECT_EQ(ErrorFromErrno(EACCES), kErrAccessDenied);
    EXPECT_EQ(ErrorFromErrno(EPERM), kErrAccessDenied);
    EXPECT_EQ(ErrorFromErrno(ENOSPC), kErrDiskFull);
}

}  // namespace
}  // namespace vantor
