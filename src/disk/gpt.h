#pragma once
// GUID partition tables behind a protective MBR: header at LBA 1 (the backup
// at the disk's last LBA when the primary fails its CRC), one record per used
// entry named from its contents, and "Deleted" records for the free stretches
// between the first and last usable LBA.
#include <cstdint>

#include "disk/partition_table.h"

namespace vantor {

bool ReadGptTable(BlockDevice& device, uint64_t diskSize, int driveIndex, PartitionList& list);

// Names a record from its boot sector and superblock, as the MBR walk would
// from the type byte: "#FAT16#", "#FAT32#", "#NTFS#", "EXT2"/"EXT3"/"EXTX",
// "SWAP" or "Unknown"; sets partitionType to the matching MBR type byte.
// linuxData says the entry's type GUID is a Linux file system.
bool NameByContents(BlockDevice& device, PartitionRecord& r, bool linuxData, bool linuxSwap);

}  // namespace vantor
