#pragma once
// The undo file a restore leaves before its first write: for every sector it
// writes, the LBA, the old contents and the new ones, then a partition
// backup (.pbf) of the table as it was. Undo writes the old contents back,
// but only while every sector still holds what the restore wrote.
#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "partition/partition_restore.h"
#include "platform/block_device.h"

namespace vantor {

struct UndoFile {
    uint64_t deviceBytes = 0;
    std::vector<SectorWrite> writes;
    std::vector<std::byte> tableBackup;
};

inline constexpr size_t kMaxUndoSectors = 64;

std::vector<std::byte> SerializeUndo(const UndoFile& undo);
bool ParseUndo(ByteSpan bytes, UndoFile& out);
bool WriteUndoFile(const std::string& path, const UndoFile& undo);
bool ReadUndoFile(const std::string& path, UndoFile& out, std::string& error);

inline constexpr const char* kUndoConfirmText = "Undo the last restore on this drive?";

// A fresh name in the user's backup folder, after the drive's model and the time.
std::string DefaultUndoPath(const PhysicalDriveInfo& drive);

// Checks every sector first; writes nothing when one of them changed since.
bool ApplyUndo(BlockDevice& device, const UndoFile& undo, std::string& error);

}  // namespace vantor
