#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "disk/partition_record.h"
#include "disk/volume_mount.h"
#include "disk/sector_device.h"
#include "platform/device_table.h"
#include "support/slow_device.h"

namespace vantor {
namespace {

// The device table is process-wide; every test here leaves it empty.
class InventoryTest : public ::testing::Test {
protected:
    void TearDown() override { DeviceTable::Global().clear(); }
};

TEST(RecordLayout, PartitionRecordBytesSitWhereBackupFilesExpectThem) {
    PartitionRecord r;
    r.diskIndex = -1;
    r.driveLetter = 'E';
    r.slotKind = 2;
    r.tableSector = 0x11223344;
    r.extendedBase = 0x55667788;
    r.setFileSystem("FAT32");
    r.setLabel("LABEL");
    r.startSector = 0x01020304;
    r.sectorsPerCluster = 8;
    r.bytesPerSector = 512;
    r.freeBytes = 0x0102030405060708ull;
    r.totalBytes = 0x1112131415161718ull;
    r.bootSector[0] = 0xEB;
    r.bootSector[511] = 0xAA;
    r.partitionType = 0x0C;
    auto b = r.serialize();
    ASSERT_EQ(b.size(), 600u);
    auto u8 = [&](size_t i) { return static_cast<unsigned>(b[i]); };
    EXPECT_EQ(u8(0), 0xFFu);  // diskIndex -1, little-endian
    EXPECT_EQ(u8(3), 0xFFu);
    EXPECT_EQ(u8(4), unsigned('E'));
    EXPECT_EQ(u8(5), 2u);
    EXPECT_EQ(u8(8), 0x44u);
    EXPECT_EQ(u8(11), 0x11u);
    EXPECT_EQ(u8(12), 0x88u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[16])), "FAT32");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[28])), "LABEL");
    EXPECT_EQ(u8(52), 0x04u);
    EXPECT_EQ(u8(56), 8u);
    EXPECT_EQ(u8(61), 2u);  // 512 = 00 02
    EXPECT_EQ(u8(64), 0x08u);
    EXPECT_EQ(u8(71), 0x01u);
    EXPECT_EQ(u8(72), 0x18u);
    EXPECT_EQ(u8(80), 0xEBu);
    EXPECT_EQ(u8(591), 0xAAu);
    EXPECT_EQ(u8(592), 0x0Cu);

    PartitionRecord back = PartitionRecord::deserialize(ByteSpan(b.data(), b.size()));
    EXPECT_EQ(back.serialize(), b);
    EXPECT_EQ(back.fileSystemName(), "FAT32");
    EXPECT_EQ(back.diskIndex, -1);
}

TEST(RecordLayout, UnterminatedTextFieldsStayTerminated) {
    std::array<std::byte, 600> raw{};
    std::memset(raw.data() + 16, 'N', 12);
    std::memset(raw.data() + 28, 'L', 24);
    PartitionRecord r = PartitionRecord::deserialize(ByteSpan(raw.data(), raw.size()));
    EXPECT_EQ(r.fileSystemName(), std::string(11, 'N')) << "kept terminated";
    EXPECT_EQ(r.label(), std::string(23, 'L'));
}

TEST(RecordLayout, PhysicalDriveInfoIs288BytesWithTheFieldsAtTheirOffsets) {
    PhysicalDriveInfo d;
    std::strcpy(d.modelText, "ATA Disk");
    d.sizeBytes = 0x0000010000000000ll;  // 1 TiB
    d.removable = 1;
    d.driveIndex = 2;
    d.busType = 11;
    auto b = d.serialize();
    ASSERT_EQ(b.size(), 288u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data())), "ATA Disk");
    EXPECT_EQ(static_cast<unsigned>(b[264 + 5]), 0x01u);
    EXPECT_EQ(static_cast<unsigned>(b[272]), 1u);
    EXPECT_EQ(static_cast<unsigned>(b[276]), 2u);
    EXPECT_EQ(static_cast<unsigned>(b[280]), 11u);
    PhysicalDriveInfo back = PhysicalDriveInfo::deserialize(ByteSpan(b.data(), b.size()));
    EXPECT_EQ(back.model(), "ATA Disk");
    EXPECT_EQ(back.sizeBytes, d.sizeBytes);
    EXPECT_EQ(back.driveIndex, 2u);
}

TEST(SizeTexts, FormatSizeAndDriveLabelSwitchUnitsAtEachPowerOf1024) {
    EXPECT_EQ(FormatSize(0), "0.00 KB");
    EXPECT_EQ(FormatSize(1536), "1.50 KB");
    EXPECT_EQ(FormatSize(1048575), "1024.00 KB");  // 1023.999... rounds in print, not in the unit test
    EXPECT_EQ(FormatSize(1048576), "1.00 MB");
    EXPECT_EQ(FormatSize(1073741824), "1.00 GB");
    EXPECT_EQ(FormatSize(1ull << 40), "1024.00 GB");

    PhysicalDriveInfo d;
    std::strcpy(d.modelText, "Disk");
    d.busType = 7;  // USB
    auto label = [&](int64_t size) {
        d.sizeBytes = size;
        return DriveListLabel(d);
    };
    EXPECT_EQ(label(1023), "Disk (  BusType :  USB ,    Size :  1023 B  )");
    EXPECT_EQ(label(1024), "Disk(  BusType :   USB ,    Size :  1.00 KB  )");
    EXPECT_EQ(label(1048576), "Disk (  BusType :  USB ,    Size :  1.00 MB  )");
    EXPECT_EQ(label(1073741824), "Disk (  BusType :  USB ,    Size :  1.00 GB  )");
    EXPECT_EQ(label(int64_t{1} << 40), "Disk (  BusType :  USB ,    Size :  1024.00 GB  )");
    EXPECT_EQ(BusTypeText(11), "SATA");
    EXPECT_EQ(BusTypeText(12), "");
    EXPECT_EQ(BusTypeText(0xFFFFFFFFu), "");
}

TEST(SizeTexts, PartitionListLabelShowsLetterStartAndLastSector) {
    PartitionRecord r;
    r.driveLetter = 'D';
    r.setFileSystem("NTFS");
    r.startSector = 3000000000u;  // above INT_MAX: printed unsigned
    r.totalBytes = 1024 * 512;
    PartitionListLabel l = MakePartitionListLabel(r);
    EXPECT_EQ(l.letterAndFileSystem, "D:  NTFS");
    EXPECT_EQ(l.startText, "Start Sector : 3000000000");
    EXPECT_EQ(l.endText, "End Sector : 3000001023");
    r.startSector = 0;
    r.totalBytes = 0;
    EXPECT_EQ(MakePartitionListLabel(r).endText, "End Sector : -1");
}

PartitionRecord Rec(int disk, uint32_t start, const char* fs, char letter = '*') {
    PartitionRecord r;
    r.diskIndex = disk;
    r.startSector = start;
    r.driveLetter = letter;
    r.setFileSystem(fs);
    return r;
}

TEST(Merge, VolumeTakesTheTableFieldsWithinLessThan63Sectors) {
    std::vector<PartitionRecord> table{Rec(0, 2048 + 62, "FAT32", 'C'), Rec(0, 50000 + 63, "NTFS", 'D')};
    PartitionRecord near = Rec(0, 2048, "#FAT32#");
    near.tableSector = 2048;
    near.slotKind = 1;
    near.partitionType = 0x0C;
    near.bootSector[510] = 0x55;
    PartitionRecord far = Rec(0, 50000, "#NTFS#");
    far.partitionType = 0x07;
    PartitionRecord otherDisk = Rec(1, 2048, "#FAT32#");
    MergePartitionRecords(table, 2, {near, far, otherDisk});
    ASSERT_EQ(table.size(), 4u);
    EXPECT_EQ(table[0].driveLetter, 'C');
    EXPECT_EQ(table[0].fileSystemName(), "FAT32");
    EXPECT_EQ(table[0].partitionType, 0x0C);
    EXPECT_EQ(table[0].tableSector, 2048u);
    EXPECT_EQ(table[0].bootSector[510], 0x55);
    EXPECT_EQ(table[1].partitionType, 0) << "63 sectors apart is no match";
    EXPECT_EQ(table[2].fileSystemName(), "#NTFS#");
    EXPECT_EQ(table[2].driveLetter, '*');
    EXPECT_EQ(table[3].diskIndex, 1);
}

TEST(Merge, WithNoVolumesEveryRecordIsAppended) {
    std::vector<PartitionRecord> table;
    MergePartitionRecords(table, 0, {Rec(0, 63, "#FAT16#"), Rec(0, 63, "#FAT16#")});
    EXPECT_EQ(table.size(), 2u);
}

const std::string kSample = std::string(VANTOR_FIXTURE_DIR) + "/sample-disk.img";

// The sample image as drive entry: FAT32, NTFS and FAT16 volumes, an EXT3 partition.
DriveEntry SampleDrive(const std::string& model) {
    DriveEntry d;
    d.path = kSample;
    d.isImage = true;
    d.descriptor.productId = model;
    return d;
}

TEST_F(InventoryTest, DriveNumbersAreKeptAndNonDisksAreLeftOut) {
    DeviceTable& table = DeviceTable::Global();
    std::vector<DriveEntry> drives{SampleDrive("First"), SampleDrive("Missing"), SampleDrive("Second"),
                                   SampleDrive("Optical")};
    drives[1].path = "/nonexistent/vantor-missing.img";  // cannot be opened
    drives[2].descriptor.vendorId = "ACME";
    drives[2].descriptor.hasVendor = true;
    drives[3].descriptor.deviceType = 5;
    table.setDrives(drives);

    CDiskInventory inv;
    inv.Refresh();
    ASSERT_EQ(inv.driveCount(), 2);
    EXPECT_EQ(inv.drive(0).driveIndex, 0u);
    EXPECT_EQ(inv.drive(1).driveIndex, 2u);
    EXPECT_EQ(inv.drive(0).model(), "First");
    EXPECT_EQ(inv.drive(1).model(), "ACME Second");
    EXPECT_EQ(inv.drive(0).sizeBytes, 100663296);
    EXPECT_EQ(inv.FindDriveByModel("ACME Second"), 2);
    EXPECT_EQ(inv.FindDriveByModel("nothing"), -1);

    // C, D, E on drive 0 and F, G, H on drive 2; the optical drive gets none.
    std::string letters;
    for (const auto& p : inv.partitions()) {
        EXPECT_NE(p.diskIndex, 3);
        if (p.driveLetter != '*') letters += p.driveLetter;
    }
    EXPECT_EQ(letters, "CDEFGH");
    const PartitionRecord& c = inv.partition(0);
    EXPECT_EQ(c.fileSystemName(), "FAT32");
    EXPECT_EQ(c.startSector, 2048u);
    EXPECT_EQ(c.partitionType, 0x0C) << "the walk's table fields are merged into the volume";
    EXPECT_EQ(c.slotKind, 1);
}

// Two disks of one model: each volume belongs to the drive it was mounted
// from, and reading it reads that drive. The copy carries another label in
// its FAT32 boot sector, which only a read of the second drive can show.
TEST_F(InventoryTest, IdenticalModelsKeepEachVolumeOnItsOwnDrive) {
    char copy[] = "/tmp/vantor-same-model-XXXXXX";
    const int fd = ::mkstemp(copy);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(std::system(("cp '" + kSample + "' '" + copy + "'").c_str()), 0);
    {
        std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(2048 * 512 + 71);
        f.write("SECOND DISK", 11);
    }
    DriveEntry second = SampleDrive("Same");
    second.path = copy;
    DeviceTable::Global().setDrives({SampleDrive("Same"), second});
    CDiskInventory inv;
    inv.Refresh();
    ASSERT_EQ(inv.driveCount(), 2);
    std::string perDrive[2];
    for (const auto& p : inv.partitions()) {
        ASSERT_TRUE(p.diskIndex == 0 || p.diskIndex == 1) << p.driveLetter;
        perDrive[p.diskIndex] += p.driveLetter;
    }
    // The walk's records merge into the volumes of their own drive only.
    EXPECT_EQ(perDrive[0], "CDE****");
    EXPECT_EQ(perDrive[1], "FGH****");
    const PartitionRecord* f = nullptr;
    for (const auto& p : inv.partitions())
        if (p.driveLetter == 'F') f = &p;
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->partitionType, 0x0C);
    EXPECT_EQ(f->label(), "SECOND DISK");
    CSectorDevice dev;
    ASSERT_EQ(dev.openDrive(*f), kSuccess);
    std::vector<std::byte> boot(512);
    ASSERT_EQ(dev.readBytes(0, boot), kSuccess);
    EXPECT_EQ(std::memcmp(boot.data() + 71, "SECOND DISK", 11), 0) << "read from the first drive";
    ::unlink(copy);
}

// The administrator check on a read-only image (chmod 0444): reading is all
// a scan needs, so it passes. Root may open any file for writing, so the
// check runs in a child that gives root up, where writing is really refused.
TEST_F(InventoryTest, AdministratorCheckPassesOnAReadOnlyImage) {
    char path[] = "/tmp/vantor-readonly-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1 << 20), 0);
    ::close(fd);
    ASSERT_EQ(::chmod(path, 0444), 0);
    DeviceTable::Global().attachImages({path});
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
        DevicePtr dev;
        if (DeviceTable::Global().openDrive(0, Access::ReadWrite, dev) != kErrAccessDenied) ::_exit(11);
        ::_exit(ProbeDriveAccess(0) == kSuccess ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::unlink(path);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 10) << "could not give up root";
    EXPECT_NE(WEXITSTATUS(status), 11) << "the image was writable after all";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a read-only image failed the check";
}

TEST_F(InventoryTest, SampleImageListsItsVolumesGapsAndExtPartition) {
    DeviceTable::Global().attachImages({kSample});
    CDiskInventory inv;
    inv.Refresh();
    ASSERT_EQ(inv.driveCount(), 1);
    EXPECT_EQ(inv.drive(0).sizeBytes, 100663296);

    std::vector<std::string> rows;
    for (const auto& p : inv.partitions())
        rows.push_back(std::string(1, p.driveLetter) + " " + p.fileSystemName() + " " +
                       std::to_string(p.startSector));
    // Volumes first, then the unmatched records in table order.
    const std::vector<std::string> expected{"C FAT32 2048",     "D NTFS 83968",  "E FAT 126976",
                                            "* Deleted 63",     "* Deleted 116736", "* EXT3 161792",
                                            "* Deleted 186431"};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(inv.partition(0).label(), "SAMPLE32");
    EXPECT_EQ(inv.partition(1).label(), "SAMPLENTFS");
    EXPECT_EQ(inv.partition(2).label(), "SAMPLE16");
    EXPECT_EQ(inv.partition(0).totalBytes, 81920ull * 512);
    inv.CountFreeSpace();
    EXPECT_GT(inv.partition(0).freeBytes, 0u);
    EXPECT_LT(inv.partition(0).freeBytes, inv.partition(0).totalBytes);
    // Counted in $Bitmap: ntfsinfo -m reports 3452 free clusters of 4096 bytes.
    EXPECT_EQ(inv.partition(1).freeBytes, 3452ull * 4096);
}

TEST_F(InventoryTest, GptImageGetsItsVolumeLetteredAndItsGapsListed) {
    DeviceTable::Global().attachImages({std::string(VANTOR_FIXTURE_DIR) + "/gpt-disk.img"});
    CDiskInventory inv;
    inv.Refresh();
    std::vector<std::string> rows;
    for (const auto& p : inv.partitions())
        rows.push_back(std::string(1, p.driveLetter) + " " + p.fileSystemName() + " " +
                       std::to_string(p.startSector) + " " + p.label());
    const std::vector<std::string> expected{"C FAT 2048 GPTFAT16", "* Deleted 34 Unknown", "* Deleted 18432 Unknown",
                                            "* EXT2 22528 gptext2", "* Deleted 38912 Unknown"};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(inv.partition(0).totalBytes, 16384ull * 512);
}

TEST_F(InventoryTest, TableGrowsPastTwentySixEntriesAndLettersStopAtZ) {
    // Nine copies of the sample: 63 records and 27 volumes for 24 letters.
    std::vector<DriveEntry> drives;
    for (int i = 0; i < 9; ++i) drives.push_back(SampleDrive("Copy " + std::to_string(i)));
    DeviceTable::Global().setDrives(drives);
    CDiskInventory inv;
    inv.Refresh();
    ASSERT_EQ(inv.driveCount(), 9);
    EXPECT_EQ(inv.partitionCount(), 9 * 7);
    std::string letters;
    int perDrive[9] = {};
    for (const auto& p : inv.partitions()) {
        if (p.driveLetter != '*') letters += p.driveLetter;
        ASSERT_GE(p.diskIndex, 0);
        ASSERT_LT(p.diskIndex, 9);
        ++perDrive[p.diskIndex];
    }
    EXPECT_EQ(letters, "CDEFGHIJKLMNOPQRSTUVWXYZ");
    for (int n : perDrive) EXPECT_EQ(n, 7);
}

TEST_F(InventoryTest, MountingReadsNoFatOrBitmapAndTheFreeSpaceIsCountedOnce) {
    auto disk = test::SlowDevice::FromFile(kSample);
    DeviceTable& table = DeviceTable::Global();
    table.addMemoryDrive(disk, "Counted");
    // What `vantor drives` does: attach, refresh (which mounts), count.
    CDiskInventory inv;
    inv.Refresh();
    EXPECT_LT(disk->bytesRead, 64u * 1024) << "the FAT32 table alone is 315 KiB";
    ASSERT_GE(inv.partitionCount(), 4);
    for (int p = 0; p < 3; ++p) EXPECT_FALSE(inv.freeKnown(p)) << p;
    EXPECT_TRUE(inv.freeKnown(3)) << "a gap's free space comes with the table";
    EXPECT_FALSE(inv.freeSpaceCounted());

    const uint64_t before = disk->bytesRead;
    inv.CountFreeSpace();
    EXPECT_TRUE(inv.freeSpaceCounted());
    EXPECT_EQ(inv.partition(0).freeBytes, 80199ull * 512);  // FSInfo, equal to the FAT's count
    EXPECT_EQ(inv.partition(1).freeBytes, 3452ull * 4096);
    EXPECT_LT(disk->bytesRead - before, 64u * 1024) << "FSInfo spares reading the FAT32 table";
    inv.CountFreeSpace();  // nothing left to count
    EXPECT_EQ(inv.freeSpaceJobs().size(), 0u);
}

TEST(VolumeFreeSpace, Fat32FsInfoIsTakenOnlyWhenPlausible) {
    auto disk = test::SlowDevice::FromFile(kSample);
    ASSERT_GT(disk->size(), 0u);
    constexpr uint64_t kStart = 2048 * 512;  // C:, 80628 clusters of 512 bytes, FSInfo in sector 1
    std::vector<std::byte> bytes(static_cast<size_t>(disk->size()));
    ASSERT_EQ(disk->readAt(0, bytes), kSuccess);
    struct Case {
        uint32_t fsInfoFree;
        bool goodSignature;
        uint64_t expectedClusters;
    };
    const Case cases[] = {
        {1234, true, 1234},         {0, true, 0},
        {80628, true, 80628},       {80629, true, 80199},  // more than the volume has: counted
        {0xFFFFFFFF, true, 80199},  {1234, false, 80199},
    };
    for (const Case& c : cases) {
        std::vector<std::byte> image = bytes;
        writeLe32(image, kStart + 512 + 488, c.fsInfoFree);
        if (!c.goodSignature) writeLe32(image, kStart + 512, 0);
        MemoryDevice dev(std::move(image));
        EXPECT_EQ(CountFreeBytes(dev, kStart), c.expectedClusters * 512) << c.fsInfoFree << " " << c.goodSignature;
    }
    // A count asked to stop gives nothing; a sector that is no volume neither.
    MemoryDevice dev(bytes);
    const std::atomic<bool> stop{true};
    EXPECT_EQ(CountFreeBytes(dev, 126976 * 512, &stop), std::nullopt);
    EXPECT_EQ(CountFreeBytes(dev, 0), std::nullopt);
}

}  // namespace
}  // namespace vantor
