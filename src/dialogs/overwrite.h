#pragma once
// The overwrite question every writer asks before it replaces a file: one
// ask flag per run, the existence probe, and what each answer does.
#include <string>

#include "dialogs/user_prompt.h"

namespace vantor {

inline constexpr const char* kOverwriteCaption = "Confirm File Overwrite";
inline constexpr const char* kOverwriteSecondLine = "Would you like to overwrite the exsisting file?";
// "This folder already contains a file named '<name>'".
std::string OverwriteMessageText(const std::string& name);

enum class OverwriteDecision {
    Write,  // nothing there, Yes, or Yes to All (now or earlier in the run)
    Skip,   // No: leave the existing file, go on with the next one
    Stop,   // Cancel: write nothing more in this run
};

class OverwriteGuard {
public:
    explicit OverwriteGuard(UserPrompt& prompt) : prompt_(prompt) {}

    // Start of a run: ask again.
    void startRun() { ask_ = true; }
    bool asking() const { return ask_; }

    // destinationPath is probed; shownName is what the question names (the
    // file name, or the whole path for the mail writer).
    OverwriteDecision check(const std::string& destinationPath, const std::string& shownName);
    // The same decision for an answer already given (the GUI's dialog result).
    OverwriteDecision apply(OverwriteAnswer answer);

private:
    UserPrompt& prompt_;
    bool ask_ = true;
};

}  // namespace vantor
