#pragma once
// What `vantor scan` prints: the pruned folder tree with every found file,
// as text or JSON, and the summary of `vantor recover`.
#include <string>

#include "disk/partition_record.h"
#include "platform/error_codes.h"
#include "recovery/engine_session.h"

namespace vantor::cli {

struct ScanReport {
    int partitionIndex = 0;
    const PartitionRecord* record = nullptr;
    std::string kind;  // "deleted" / "formatted"
    const EngineSession* session = nullptr;
    ErrorCode scanError = kSuccess;
};

void PrintScanText(const ScanReport& report);
void PrintScanJson(const ScanReport& report);
void PrintRecoverySummary(const RecoveryOutcome& out, const std::string& destination, bool json);

// "%u files - %.2f Byte|KB|MB|GB", as the result pages' summary lines.
std::string TotalsText(uint64_t files, uint64_t bytes);

}  // namespace vantor::cli
