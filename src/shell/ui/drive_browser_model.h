#pragma once
// What the drive browser shows, without any drawing: which partitions a mode
// offers, the tree's texts, the property panel's lines and the usage chart's
// slices. Kept free of Qt so the rules can be checked on their own.
#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "disk/partition_record.h"

namespace vantor::ui {

// Mode 10003 offers every record, 10002 the FAT, exFAT and NTFS names, 10000
// those and EXT2/EXT3/EXT4; any other mode offers nothing.
bool PassesModeFilter(int mode, const std::string& fileSystem);

std::string DriveItemText(const PhysicalDriveInfo& drive);
std::string PartitionItemText(const PartitionRecord& record);

struct BrowserDrive {
    int drive = 0;                 // index into the inventory's drive table
    std::vector<int> partitions;   // indices into its partition table, table order
};

// The tree below "My Computer": empty unless the inventory has at least one
// drive and one partition-table entry.
std::vector<BrowserDrive> BuildBrowserTree(const CDiskInventory& inventory, int mode);

struct PanelLine {
    int x = 0;  // offset from the panel's left
    int y = 0;  // offset from the panel's top
    std::string text;
};

std::vector<PanelLine> DrivePanelLines(const PhysicalDriveInfo& drive, int childCount);
// While the free space is still being counted its line reads "Free Size : ...".
std::vector<PanelLine> PartitionPanelLines(const PartitionRecord& record, bool freeKnown = true);

struct ChartSlice {
    double share = 0;   // of the whole disc, 0..1
    uint32_t rgb = 0;   // 0xRRGGBB
};

uint32_t FileSystemColour(const std::string& fileSystem);
inline constexpr uint32_t kChartRestColour = 0xBEBEBE;
inline constexpr uint32_t kChartFreeColour = 0xFF00FF;

// One slice per child partition that has more than 1 % of the drive, then
// the rest in grey when it has more than 1 %.
std::vector<ChartSlice> DriveChart(const PhysicalDriveInfo& drive, const std::vector<const PartitionRecord*>& children);
// The used share in the file-system colour, the free share in magenta; all
// grey while the free space is not known.
std::vector<ChartSlice> PartitionChart(const PartitionRecord& record, bool freeKnown = true);

}  // namespace vantor::ui
