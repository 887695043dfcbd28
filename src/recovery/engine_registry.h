#pragma once
// One table maps a partition's file-system name to the engine session that
// scans it. The CLI and the GUI both go through it; a new engine adds its
// session's row here.
#include <memory>
#include <string>

#include "disk/partition_record.h"
#include "recovery/engine_session.h"

namespace vantor {

// The engine for a record's file-system name ("FAT", "FAT16", "FAT32",
// "NTFS", ...), or null when no engine handles it.
std::unique_ptr<EngineSession> CreateEngineSession(const PartitionRecord& record);
bool HasEngineFor(const std::string& fileSystemName);

}  // namespace vantor
