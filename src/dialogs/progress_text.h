#pragma once
// What the progress dialog shows, computed from the progress fields and the
// seconds since it opened: the elapsed and remaining lines and the bar.
// Kept free of any window so the GUI dialog and the CLI print the same.
#include <cstdint>
#include <string>

#include "dialogs/progress_fields.h"

namespace vantor {

// "Elapsed Time : hh:mm:ss"; the hours wrap at 24.
std::string ElapsedTimeText(uint64_t elapsedSeconds);

// R = E * (T - P) / max(P, 1) + 1, in 64 bits. A position past the total
// (a worker that counts more than it estimated) gives T - P = 0, not a wrap.
uint64_t RemainingSeconds(uint64_t elapsedSeconds, uint32_t total, uint32_t pos);

// "Remaining Time : hh:mm:ss"; the hours do not wrap.
std::string RemainingTimeText(uint64_t remainingSeconds);

// The bar's range and position; it moves only once a total is known.
struct ProgressBar {
    uint32_t rangeMax = 0;
    uint32_t pos = 0;
    // The 300 ms tick: true when the bar took the new values.
    bool update(uint32_t total, uint32_t position) {
        if (total == 0) return false;
        rangeMax = total;
        pos = position;
        return true;
    }
};

// One second tick of the dialog: the three texts it pushes to its controls.
struct ProgressTexts {
    std::string contents;
    std::string elapsed;
    std::string remaining;
};
ProgressTexts ProgressTick(const ProgressFields& fields, uint64_t elapsedSeconds);

}  // namespace vantor
