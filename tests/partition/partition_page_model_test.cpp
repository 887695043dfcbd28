#include <gtest/gtest.h>

#include "partition/backup_file.h"
#include "partition/partition_page_model.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

TEST(PartitionPageModel, MapStripsSourceRowsAndDriveReselection) {
    const MapRect map{29, 163, 622, 211};
    PartitionRecord whole;
    whole.setFileSystem("NTFS");
    whole.driveLetter = 'C';
    whole.totalBytes = 1 << 30;
    auto strips = DiskMapStrips({whole}, 1 << 30, map);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0].left, 37);
    EXPECT_EQ(strips[0].right, 37 + 577 - 1);  // the map's width less 16
    EXPECT_EQ(strips[0].text, "C: NTFS");
    EXPECT_EQ(strips[0].colour, (Rgb{255, 0, 255}));
    EXPECT_EQ(DiskMapColour("#FAT32#"), (Rgb{190, 190, 190}));

    test::ScratchDir dir;
    PhysicalDriveInfo d;
    copyToField(d.modelText, sizeof d.modelText, "ACME");
    ASSERT_TRUE(WriteBackupFile((dir.path() / "ACME one.pbf").string(), d, {}));
    PartitionPageModel m;
    m.setDrives({d});
    ASSERT_TRUE(m.selectDrive(0, {dir.path().string()}));
    ASSERT_EQ(m.sources().size(), 3u);
    EXPECT_EQ(m.sources()[0].dateText, "  Auto Scan ...    ");
    EXPECT_EQ(m.sources()[2].pathText, "(If you have backup files)");
    m.addBackupFile("/x/ACME two.pbf");
    m.addBackupFile("/x/ACME two.pbf");
    EXPECT_EQ(m.sources().size(), 5u);
    EXPECT_EQ(m.sources()[3].pathText, "/x/ACME two.pbf");
    m.setPartitions({whole});
    EXPECT_FALSE(m.selectDrive(0, {}));  // the same drive again keeps the list
    EXPECT_EQ(m.partitions().size(), 1u);
}

// A search names table entries as the walk does; the list shows them as the
// inventory does, and only what the table lacks counts as found.
TEST(PartitionPageModel, SearchRowsTakeTheInventoryNamesAndMarkWhatWasFound) {
    auto rec = [](uint32_t start, uint64_t sectors, const char* fs, char letter) {
        PartitionRecord r;
        r.startSector = start;
        r.totalBytes = sectors * 512;
        r.setFileSystem(fs);
        r.driveLetter = letter;
        return r;
    };
    PartitionPageModel m;
    m.setSearchResult({rec(2048, 100, "FAT32", '*'), rec(4096, 100, "#NTFS#", '*'), rec(8192, 50, "Deleted", '*')},
                      {rec(0, 4096, "Deleted", '*'), rec(4096, 100, "NTFS", 'C'), rec(8192, 50, "Deleted", '*')});
    ASSERT_EQ(m.partitions().size(), 3u);
    EXPECT_TRUE(m.isFound(0));
    EXPECT_EQ(m.partitions()[1].fileSystemName(), "NTFS");
    EXPECT_EQ(m.partitions()[1].driveLetter, 'C');
    EXPECT_FALSE(m.isFound(1));
    EXPECT_FALSE(m.isFound(2));
    EXPECT_FALSE(m.isFound(3));
    m.setPartitions({rec(2048, 100, "FAT32", '*')});  // a backup: nothing was found
    EXPECT_FALSE(m.isFound(0));
}

}  // namespace
}  // namespace vantor
