#include "cli/progress_printer.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "dialogs/progress_text.h"

namespace vantor::cli {

ProgressPrinter::ProgressPrinter(ProgressFields& fields, bool enabled)
    : fields_(fields), enabled_(enabled), tty_(::isatty(2) != 0), start_(std::chrono::steady_clock::now()) {
    // The dialog zeroes the fields when it opens; here that happens before
    // the worker starts, so its first total is never lost.
    fields_.reset();
    if (enabled_) thread_ = std::thread([this] { run(); });
}

ProgressPrinter::~ProgressPrinter() {
    if (!enabled_) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    printOnce(true);
}

void ProgressPrinter::run() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(tty_ ? 300 : 1000), [this] { return stop_; })) {
        lock.unlock();
        printOnce(false);
        lock.lock();
    }
}

void ProgressPrinter::printOnce(bool last) {
    const auto elapsed = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_).count());
    const ProgressTexts t = ProgressTick(fields_, elapsed);
    const uint32_t total = fields_.m_nProgressTotal.load();
    const uint32_t pos = fields_.m_nProgressPos.load();
    std::string line = t.contents;
    if (total > 0) line += "  [" + std::to_string(pos) + "/" + std::to_string(total) + "]";
    line += "  " + t.elapsed + "  " + t.remaining;
    if (tty_) {
        std::fprintf(stderr, "\r\033[K%s%s", line.c_str(), last ? "\n" : "");
    } else if (line != lastLine_ || last) {
        // Not a terminal: one line per change, without the ever-moving clocks.
        std::string plain = t.contents;
        if (total > 0) plain += "  [" + std::to_string(pos) + "/" + std::to_string(total) + "]";
        if (plain != lastLine_) std::fprintf(stderr, "%s\n", plain.c_str());
        line = plain;
    }
    lastLine_ = line;
    std::fflush(stderr);
}

}  // namespace vantor::cli
