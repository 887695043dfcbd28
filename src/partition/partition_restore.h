#pragma once
// Writing a found or backed-up partition back into the drive's table. The
// sectors to write are computed first from a fresh read of the table
// (BuildRestorePlan writes nothing); every condition is checked there, so a
// refused restore leaves the drive untouched. ApplyRestore saves the undo
// file and only then writes.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/user_prompt.h"
#include "disk/partition_record.h"
#include "partition/disk_layout.h"
#include "platform/block_device.h"

namespace vantor {

inline constexpr int kRestoreOk = 0;
inline constexpr int kRestoreNoDrive = 1;
inline constexpr int kRestoreNoPartition = 2;
inline constexpr int kRestoreNoAccess = 3;
inline constexpr int kRestoreInvalid = 4;
inline constexpr int kRestoreNotRecoverable = 5;
inline constexpr int kRestoreTableFull = 6;

// The error message of results 1-6 (caption "Error").
const char* RestoreMessage(int result);

inline constexpr const char* kRecoverConfirmText = "This operation is very dangerous, Are you sure to continue?";
inline constexpr const char* kRecoverSuccessText = "  The partition has been recovered successfully.";
inline constexpr const char* kRecoverSuccessCaption = "Recovery Success!";

struct SectorWrite {
    uint64_t lba = 0;
    std::array<std::byte, 512> before{};
    std::array<std::byte, 512> after{};
    std::string what;  // "boot sector", "master boot record", "extended boot record"
};

struct RestorePlan {
    int result = kRestoreOk;
    std::string detail;  // why a restore is refused, in words
    std::vector<SectorWrite> writes;  // in the order they are written
    bool logical = false;
    int tableSlot = -1;  // the MBR entry used, for a primary partition
    int chainIndex = -1;  // the logical's place in the chain, from 0
};

// File systems a restore accepts.
bool RestorableFileSystem(const std::string& name);

// Reads the present table and computes what restoring p writes.
RestorePlan BuildRestorePlan(BlockDevice& device, const PartitionRecord& p);

// Writes the undo file (the old contents of every planned sector, and the
// given .pbf bytes of the current table), then the sectors. kRestoreNoAccess
// with detail on a failure; nothing is written when the undo file fails.
int ApplyRestore(BlockDevice& device, const RestorePlan& plan, const std::string& undoPath,
                 const std::vector<std::byte>& tableBackup, std::string& detail);

struct RestoreRequest {
    int driveIndex = -1;               // -1: no drive selected
    const PartitionRecord* partition = nullptr;
    bool dryRun = false;               // plan only; the drive is opened read-only
    std::string undoPath;              // where the undo file goes
    // .pbf bytes of the drive's current table; empty: made from the table as read now
    std::vector<std::byte> tableBackup;
};

struct RestoreOutcome {
    int result = kRestoreOk;
    RestorePlan plan;
    std::string detail;
    std::string rereadText;  // what the kernel said to the new table (empty for images)
};

RestoreOutcome RestorePartition(const RestoreRequest& request);

// What the "Recovery" button tells after a restore; true on success.
bool RestoreOutcomeMessage(const RestoreOutcome& outcome, std::string& text, std::string& caption);

// The "Recovery" button: asks, restores, tells. False when nothing was restored.
bool RecoverCommand(UserPrompt& prompt, const RestoreRequest& request, RestoreOutcome& outcome);

}  // namespace vantor
