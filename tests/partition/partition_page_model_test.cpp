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

}  // namespace
}  // namespace vantor
