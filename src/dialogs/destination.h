#pragma once
// The Recovery button's rules shared by the FAT, NTFS and RAW pages: nothing
// to do until a file is ticked, and never a destination on the volume being
// scanned (the writer would overwrite the very clusters it reads).
#include <string>

#include "disk/partition_record.h"

namespace vantor {

enum class DestinationCheck { Ok, NothingChecked, SameVolume };

inline constexpr const char* kCheckFilesText = "Please check files for recovering";
inline constexpr const char* kSelectOtherDriveText = "Select anoter drive folder.";
inline constexpr const char* kNoticeCaption = "Notice";
inline constexpr const char* kSaveRecoveredTitle = "Save the recovered files in:";

// The message of a refusal; empty for Ok.
const char* DestinationMessage(DestinationCheck check);

// "D:\..." while D: is scanned (case-insensitive, the letter and a colon).
bool DestinationOnDriveLetter(const std::string& destination, char letter);
// The letter rule, then the device identity of the destination's file
// system against the scanned partition of its drive (images and disks).
bool DestinationOnScannedVolume(const std::string& destination, const PartitionRecord& scanned);

// What the page stores: a drive root such as "D:\" loses its backslash.
std::string StoredDestination(const std::string& destination);

}  // namespace vantor
