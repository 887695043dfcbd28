#pragma once
// Copies the ticked exFAT records of checked folders below a destination,
// rebuilding the tree's folder paths, asking before replacing files, writing
// each file as NAME.partial until it is whole, and reporting the files that
// did not come back whole once at the end (caption "Notice").
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/folder_tree.h"
#include "dialogs/progress_fields.h"
#include "dialogs/recovered_file.h"
#include "dialogs/user_prompt.h"
#include "exfat/exfat_scan.h"
#include "exfat/exfat_volume.h"

namespace vantor {

struct ExfatRecoveryResult {
    ErrorCode deviceError = kSuccess;
    uint32_t total = 0;
    uint32_t written = 0;
    uint32_t skipped = 0;
    uint32_t failed = 0;
    bool cancelled = false;
    std::vector<std::string> failures;
    std::vector<RecoveredFileRecord> files;
};

ExfatRecoveryResult RecoverExfatFiles(const CExfatVolume& volume, const FolderTree& tree,
                                      const std::string& destination, UserPrompt& prompt, ProgressFields& progress,
                                      std::atomic<bool>& running, bool hash = false);

// The first min(size, maxBytes) bytes of a record, read as recovery reads them.
ErrorCode ReadExfatFileHead(const CExfatVolume& volume, const ExfatFoundFile& record, uint64_t maxBytes,
                            std::vector<std::byte>& out);

}  // namespace vantor
