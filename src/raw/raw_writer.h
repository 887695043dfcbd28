#pragma once
// The RAW page's tree (one folder per type description under the root
// "RAW - Logical Disk (%c:)") and its writer, which sorts the ticked files
// into one folder per extension below the destination.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/folder_tree.h"
#include "dialogs/progress_fields.h"
#include "dialogs/recovered_file.h"
#include "dialogs/user_prompt.h"
#include "raw/raw_scanner.h"

namespace vantor {

// A type folder's items, as indices into the scanner's list.
struct RawNodeItems final : FolderNodeData {
    std::vector<uint32_t> items;
};

// Places every item: the first child of the root whose text contains its
// description, else a new child named by it.
void BuildRawTree(FolderTree& tree, char driveLetter, const std::vector<std::unique_ptr<RawFoundItem>>& items);

struct RawRecoveryResult {
    uint32_t total = 0;
    uint32_t written = 0;
    uint32_t skipped = 0;
    uint32_t failed = 0;
    bool cancelled = false;
    std::vector<std::string> failures;  // "Can not create file '...'." lines
    std::vector<RecoveredFileRecord> files;
};

// Writes every item whose selected is 1 to destination/<extension>/<name>.
// The failure summary goes to prompt in one box captioned "Error".
RawRecoveryResult RecoverRawFiles(const CRawScanner& scanner, const std::string& destination, UserPrompt& prompt,
                                  ProgressFields& progress, std::atomic<bool>& running, bool hash);

}  // namespace vantor
