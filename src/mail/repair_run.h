#pragma once
// The mail pages' repair run: each chosen store in list order, the overwrite
// question for a destination that exists, the repair of the kind, and the
// log the page shows after every file.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/user_prompt.h"

namespace vantor {

inline constexpr int kRepairModeDbx = 1;
inline constexpr int kRepairModePst = 2;

// What the mail pages hand to the log page (the application's settings).
struct RepairSettings {
    int mode = kRepairModeDbx;
    std::vector<std::string> sources;  // full paths, in row order
    std::string destination;           // folder
    bool extractMessages = false;      // DBX: messages as .eml files too
};

inline constexpr const char* kSelectedFileText = "Selected file: ";
inline constexpr const char* kRepairedText = "Repaired";
inline constexpr const char* kRepairFailedText = "Repair failed";
inline constexpr const char* kUnsupportedFormatText = "Unsupported format";
inline constexpr const char* kLogSeparator = "-------------------------------------------";

struct RepairRunResult {
    int repaired = 0;
    int failed = 0;       // copy failures and unsupported files
    int skipped = 0;      // No to the overwrite question
    bool cancelled = false;
};

// The text after the last '/' (the whole path when there is none).
std::string FileNameOf(const std::string& path);

// Runs the repairs; after every file that was handled, shown(log) gets the
// whole log so far (lines ending in CR LF). running, when given, is polled
// between files.
RepairRunResult RunRepair(const RepairSettings& settings, UserPrompt& prompt,
                          const std::function<void(const std::string& log)>& shown,
                          const std::atomic<bool>* running = nullptr);

}  // namespace vantor
