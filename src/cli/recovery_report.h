#pragma once
// `vantor recover --report FILE`: what the run wrote, file by file, with the
// hash of every file's bytes and where on the drive they were read from.
#include <chrono>
#include <string>

#include "disk/partition_record.h"
#include "recovery/engine_session.h"

namespace vantor::cli {

struct RecoveryRun {
    const PartitionRecord* record = nullptr;
    int partitionIndex = 0;
    std::string scanKind;  // "deleted" / "formatted"
    std::string destination;
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point finished;
    bool hashImage = false;
};

// Writes the report as JSON to path; false (with the reason on stderr) when
// it cannot be written.
bool WriteRecoveryReport(const std::string& path, const RecoveryRun& run, const RecoveryOutcome& outcome);

}  // namespace vantor::cli
