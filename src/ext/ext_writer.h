#pragma once
// Copies the ticked EXT records of checked nodes below a destination,
// rebuilding the folder paths of the tree, asking before replacing files, and
// reporting the files that did not come back whole once at the end.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/folder_tree.h"
#include "dialogs/progress_fields.h"
#include "dialogs/recovered_file.h"
#include "dialogs/user_prompt.h"
#include "ext/ext_volume.h"

namespace vantor {

struct ExtRecoveryResult {
    uint32_t total = 0;
    uint32_t written = 0;
    uint32_t skipped = 0;   // "No" to the overwrite question
    uint32_t failed = 0;
    bool cancelled = false;
    std::vector<std::string> failures;  // "Can not ... '<path>'..." one per file
    std::vector<RecoveredFileRecord> files;  // every ticked file reached, in writing order
};

// The root and folder nodes contribute their paths below the root; "Lost
// files" is a folder of its own. The summary goes to prompt.message
// (caption "Notice"). A file that does not come back whole stays as
// NAME.partial; hash: the records carry the SHA-256 of what was written.
// listed, when given, says which ticked files the page's filter still shows:
// a file filtered out of the list is not written although it was ticked.
ExtRecoveryResult RecoverExtFiles(CExtVolume& volume, const FolderTree& tree, const std::string& destination,
                                  UserPrompt& prompt, ProgressFields& progress, std::atomic<bool>& running,
                                  bool hash = false,
                                  const std::function<bool(const ExtFoundFile&)>& listed = {});

}  // namespace vantor
