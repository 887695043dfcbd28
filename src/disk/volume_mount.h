#pragma once
// Plays the part of the Windows mount manager: every FAT, exFAT or NTFS partition of
// the attached drives gets a volume letter from C on, in drive and partition
// order, with its label and cluster figures read from the file system itself.
// Free space is counted apart (CountFreeBytes): it reads a whole FAT or
// $Bitmap, seconds on a large or failing disk.
#include <atomic>
#include <optional>

#include "platform/block_device.h"
#include "platform/device_table.h"

namespace vantor {

// What a volume's boot sector says, or nullopt when it is not FAT or NTFS.
std::optional<VolumeEntry> ProbeVolume(BlockDevice& device, uint64_t startByte, uint64_t lengthBytes);

// Walks every drive's partition table and registers the recognised volumes.
void MountVolumes(DeviceTable& table);

// Free bytes of the FAT, exFAT or NTFS volume whose boot sector is at startByte:
// FAT32's FSInfo count when it is plausible, else counted in the FAT or
// the allocation bitmap ($Bitmap). Nothing when it is neither, or once `stop` is set (checked
// between reads of at most 1 MiB).
std::optional<uint64_t> CountFreeBytes(BlockDevice& device, uint64_t startByte,
                                       const std::atomic<bool>* stop = nullptr);

}  // namespace vantor
