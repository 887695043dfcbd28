#pragma once
// Restoring into a GUID partition table: a new entry (type GUID by file
// system, a fresh unique GUID) in the first free slot of both the primary
// and the backup entry arrays, their CRCs, and both headers with theirs.
// The protective MBR stays as it is.
#include "disk/partition_record.h"
#include "partition/partition_restore.h"

namespace vantor {

// p.startSector and p.totalBytes give the sectors, already known to be unallocated.
RestorePlan BuildGptRestorePlan(BlockDevice& device, const PartitionRecord& p);

}  // namespace vantor
