#pragma once
// The application-wide progress of the one running operation: written by the
// worker, read by the progress dialog on its timers (and by the CLI). The two
// counters are read and written whole; the contents text is handed over under
// a lock so a reader never sees a half-replaced string.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace vantor {

class ProgressFields {
public:
    void reset() {
        m_nProgressTotal.store(0);
        m_nProgressPos.store(0);
        setText({});
    }
    void setText(std::string text) {
        std::lock_guard lock(mutex_);
        m_strProgressText = std::move(text);
    }
    std::string text() const {
        std::lock_guard lock(mutex_);
        return m_strProgressText;
    }

    std::atomic<uint32_t> m_nProgressTotal{0};  // 0 while unknown
    std::atomic<uint32_t> m_nProgressPos{0};

private:
    mutable std::mutex mutex_;
    std::string m_strProgressText;
};

}  // namespace vantor
