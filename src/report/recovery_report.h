#pragma once
// The recovery report both front ends write: what a run wrote, file by file,
// with the hash of every file's bytes and where on the drive they were read
// from, and what the run was (drive, partition, scan, times, version).
#include <chrono>
#include <string>

#include "disk/partition_record.h"
#include "recovery/engine_session.h"

namespace vantor {

struct RecoveryRun {
    const PartitionRecord* record = nullptr;
    int partitionIndex = -1;  // as `vantor drives` numbers it; -1 leaves it out
    std::string scanKind;     // "deleted" / "formatted"
    std::string destination;
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point finished;
    bool hashImage = false;
};

// The name the GUI saves its report under.
inline constexpr const char* kRecoveryReportName = "recovery-report.json";

// Writes the report as JSON to path; false when it cannot be written.
bool WriteRecoveryReport(const std::string& path, const RecoveryRun& run, const RecoveryOutcome& outcome);

// A path in folder for the report that neither a file there nor one the run
// meant to write already has: "recovery-report.json", else
// "recovery-report (2).json" and on.
std::string FreeReportPath(const std::string& folder, const RecoveryOutcome& outcome);

}  // namespace vantor
