#pragma once
// The machine's storage as the engines see it: numbered physical drives
// ("\\.\PhysicalDrive%d") and lettered volumes ("\\.\%c:"). On Linux the
// drives are the whole-disk block devices of /sys/block, or the disk images
// the user attached (which then take numbers 0, 1, ... instead). Volumes are
// registered by the mount step of the disk layer, which plays the part of the
// Windows mount manager. One table per process: Windows' device namespace is
// global too.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/block_device.h"
#include "platform/error_codes.h"

namespace vantor {

inline constexpr int kMaxDrives = 26;

// The standard storage device descriptor fields the system uses.
struct StorageDescriptor {
    uint8_t deviceType = 0;  // 0 = direct-access disk; 5 = CD/DVD
    bool removable = false;
    uint32_t busType = 0;
    bool hasVendor = false;  // vendor identification offset != 0
    std::string vendorId;
    std::string productId;
};

struct DiskGeometry {
    uint64_t cylinders = 0;
    uint32_t tracksPerCylinder = 0;
    uint32_t sectorsPerTrack = 0;
    uint32_t bytesPerSector = 0;
};

// One mounted volume, as GetVolumeInformation / GetDiskFreeSpace /
// IOCTL_DISK_GET_PARTITION_INFO report it.
struct VolumeEntry {
    char letter = 0;
    int driveNumber = -1;
    uint64_t startByte = 0;
    uint64_t lengthBytes = 0;
    std::string fileSystem;  // "FAT", "FAT32", "NTFS"
    std::string label;
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint64_t totalClusters = 0;
};

struct DriveEntry {
    std::string path;  // image file or /dev node
    bool isImage = false;
    StorageDescriptor descriptor;
    DevicePtr memory;  // in-memory drive (tests, fuzzers); path is then empty
};

enum class Access { Read, ReadWrite };

class DeviceTable {
public:
    static DeviceTable& Global();

    // Attached images replace the system's drives and take numbers 0, 1, ...
    void attachImages(const std::vector<std::string>& paths);
    // Drives from /sys/block (the default when nothing was attached).
    void useSystemDrives(const std::string& sysBlock = "/sys/block");
    void setDrives(std::vector<DriveEntry> drives);
    // An in-memory drive at the next number (tests and fuzzers).
    int addMemoryDrive(DevicePtr device, const std::string& model = "Memory Disk");
    void clear();

    std::optional<DriveEntry> drive(int number) const;
    int driveSlots() const;

    // Opens "\\.\PhysicalDrive%d", "\\.\%c:" or a plain path. Only
    // Access::ReadWrite (the partition writer) opens for writing.
    ErrorCode open(const std::string& name, Access access, DevicePtr& out) const;
    ErrorCode openDrive(int number, Access access, DevicePtr& out) const;
    ErrorCode openVolume(char letter, Access access, DevicePtr& out) const;

    // IOCTL_STORAGE_QUERY_PROPERTY: false when the drive does not answer.
    bool queryStorageProperty(int number, StorageDescriptor& out) const;
    // IOCTL_DISK_GET_DRIVE_GEOMETRY; the product of its four figures is the
    // device's exact size in whole 512-byte sectors.
    bool queryGeometry(int number, DiskGeometry& out) const;

    void setVolumes(std::vector<VolumeEntry> volumes);
    std::optional<VolumeEntry> volume(char letter) const;
    std::vector<VolumeEntry> volumes() const;

private:
    mutable std::mutex mutex_;
    std::vector<DriveEntry> drives_;
    std::map<char, VolumeEntry> volumes_;
};

// Parses "\\.\PhysicalDrive%d" (returns the number) or "\\.\%c:" (letter).
std::optional<int> ParsePhysicalDriveName(const std::string& name);
std::optional<char> ParseVolumeName(const std::string& name);
std::string PhysicalDriveName(int number);
std::string VolumeName(char letter);

// Images named by the VANTOR_IMAGES environment variable (':'-separated).
std::vector<std::string> ImagesFromEnvironment();

}  // namespace vantor
