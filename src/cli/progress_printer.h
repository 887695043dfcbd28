#pragma once
// The progress dialog of the command line: while a scan or recovery runs,
// a thread reads the progress fields and prints the contents line, the
// position and the remaining-time estimate on stderr.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "dialogs/progress_fields.h"

namespace vantor::cli {

class ProgressPrinter {
public:
    // Does nothing when enabled is false (--quiet, or stderr not a terminal
    // without --progress).
    ProgressPrinter(ProgressFields& fields, bool enabled);
    ~ProgressPrinter();
    ProgressPrinter(const ProgressPrinter&) = delete;
    ProgressPrinter& operator=(const ProgressPrinter&) = delete;

private:
    void run();
    void printOnce(bool last);

    ProgressFields& fields_;
    bool enabled_;
    bool tty_;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
    std::string lastLine_;
};

}  // namespace vantor::cli
