#include "shell/ui/drive_browser_model.h"

#include <cstdio>

#include "shell/page_ids.h"

namespace vantor::ui {

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

uint64_t DriveBytes(const PhysicalDriveInfo& drive) {
    return drive.sizeBytes < 0 ? 0 : static_cast<uint64_t>(drive.sizeBytes);
}

}  // namespace

bool PassesModeFilter(int mode, const std::string& fs) {
    if (mode == kModeRaw) return true;
    const bool fatOrNtfs = fs == "NTFS" || fs == "FAT32" || fs == "FAT" || fs == "FAT16" || fs == "exFAT";
    if (mode == kModeFormatted) return fatOrNtfs;
    if (mode == kModeDeleted) return fatOrNtfs || fs == "EXT4" || fs == "EXT3" || fs == "EXT2";
    return false;
}

std::string DriveItemText(const PhysicalDriveInfo& drive) {
    const uint64_t bytes = DriveBytes(drive);
    if (bytes < 1024) return Format("%s (%d Byte)", drive.model().c_str(), static_cast<int>(bytes));
    return drive.model() + " (" + FormatSize(bytes) + ")";
}

std::string PartitionItemText(const PartitionRecord& record) {
    return Format("(%c:\\) %s (%s)", record.driveLetter ? record.driveLetter : '*', record.fileSystemName().c_str(),
                  FormatSize(record.totalBytes).c_str());
}

std::vector<BrowserDrive> BuildBrowserTree(const CDiskInventory& inventory, int mode) {
    std::vector<BrowserDrive> out;
    if (inventory.driveCount() < 1 || inventory.partitionCount() < 1) return out;
    for (int d = 0; d < inventory.driveCount(); ++d) {
        BrowserDrive item;
        item.drive = d;
        const auto driveIndex = static_cast<int64_t>(inventory.drive(d).driveIndex);
        for (int p = 0; p < inventory.partitionCount(); ++p) {
            const PartitionRecord& r = inventory.partition(p);
            if (r.diskIndex == driveIndex && PassesModeFilter(mode, r.fileSystemName())) item.partitions.push_back(p);
        }
        out.push_back(std::move(item));
    }
    return out;
}

std::vector<PanelLine> DrivePanelLines(const PhysicalDriveInfo& drive, int childCount) {
    if (childCount <= 0) return {{12, 15, kDeviceNotAccessibleText}};
    return {
        {12, 15, "Model : " + drive.model()},
        {12, 39, "Drive Size : " + FormatSize(DriveBytes(drive))},
        {12, 62, Format("Count of partitions : %d", childCount)},
    };
}

std::vector<PanelLine> PartitionPanelLines(const PartitionRecord& r, bool freeKnown) {
    return {
        {12, 15, "Volume : " + r.label()},
        {12, 39, Format("Start Sector : %d", static_cast<int>(r.startSector))},
        {12, 62, Format("Sectors / Cluster : %d", static_cast<int>(r.sectorsPerCluster))},
        {160, 15, Format("Byte/Sector : %d", static_cast<int>(r.bytesPerSector))},
        {160, 39, "Free Size : " + (freeKnown ? FormatSize(r.freeBytes) : std::string("..."))},
        {160, 62, "Total Size : " + FormatSize(r.totalBytes)},
    };
}

uint32_t FileSystemColour(const std::string& fs) {
    if (fs == "FAT32") return 0x0000FF;
    if (fs == "FAT12") return 0xFFFF00;
    if (fs == "FAT16" || fs == "FAT") return 0x00FF00;
    if (fs == "NTFS") return 0x9E3FFF;
    if (fs == "exFAT") return 0xFF8000;
    if (fs == "EXT2") return 0x00FFFF;
    if (fs == "EXT3") return 0x787800;
    if (fs == "EXT4") return 0x3C8C3C;
    return kChartRestColour;
}

std::vector<ChartSlice> DriveChart(const PhysicalDriveInfo& drive, const std::vector<const PartitionRecord*>& children) {
    const double size = static_cast<double>(DriveBytes(drive));
    if (size <= 0) return {{1.0, kChartRestColour}};
    std::vector<ChartSlice> out;
    double used = 0;
    for (const PartitionRecord* r : children) {
        const double share = static_cast<double>(r->totalBytes) / size;
        used += share;
        if (share > 0.01) out.push_back({share, FileSystemColour(r->fileSystemName())});
    }
    if (children.size() == 1 && out.empty()) return {{1.0, FileSystemColour(children[0]->fileSystemName())}};
    const double rest = 1.0 - used;
    if (rest > 0.01) out.push_back({rest, kChartRestColour});
    return out;
}

std::vector<ChartSlice> PartitionChart(const PartitionRecord& r, bool freeKnown) {
    if (!freeKnown) return {{1.0, kChartRestColour}};
    const uint32_t colour = FileSystemColour(r.fileSystemName());
    if (r.totalBytes == 0) return {{1.0, kChartFreeColour}};
    const double free = static_cast<double>(r.freeBytes) / static_cast<double>(r.totalBytes);
    const double used = 1.0 - free;
    if (used < 0.005) return {{1.0, kChartFreeColour}};
    if (used > 0.995) return {{1.0, colour}};
    return {{used, colour}, {free, kChartFreeColour}};
}

}  // namespace vantor::ui
