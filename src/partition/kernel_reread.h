#pragma once
// After a restore on a real drive the kernel still has the old table: ask it
// to read the new one (BLKRRPART), or, while a partition of the drive is in
// use, to add the restored partition alone (BLKPG). The machine is never
// restarted; the text says what took.
#include <string>

#include "disk/partition_record.h"
#include "partition/partition_restore.h"

namespace vantor {

std::string AskKernelToReread(const std::string& devicePath, const RestorePlan& plan, const PartitionRecord& p);

}  // namespace vantor
