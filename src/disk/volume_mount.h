#pragma once
// Plays the part of the Windows mount manager: every FAT or NTFS partition of
// the attached drives gets a volume letter from C on, in drive and partition
// order, with its label, cluster figures and free space read from the file
// system itself.
#include <optional>

#include "platform/block_device.h"
#include "platform/device_table.h"

namespace vantor {

// What a volume's boot sector says, or nullopt when it is not FAT or NTFS.
std::optional<VolumeEntry> ProbeVolume(BlockDevice& device, uint64_t startByte, uint64_t lengthBytes);

// Walks every drive's partition table and registers the recognised volumes.
void MountVolumes(DeviceTable& table);

}  // namespace vantor
