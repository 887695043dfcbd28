#include "dialogs/progress_text.h"

#include <cstdio>

namespace vantor {

namespace {

std::string Clock(const char* label, uint64_t hours, uint64_t minutes, uint64_t seconds) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s%.2llu:%.2llu:%.2llu", label,
                  static_cast<unsigned long long>(hours), static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(seconds));
    return buf;
}

}  // namespace

std::string ElapsedTimeText(uint64_t e) {
    return Clock("Elapsed Time : ", (e / 3600) % 24, (e / 60) % 60, e % 60);
}

uint64_t RemainingSeconds(uint64_t elapsedSeconds, uint32_t total, uint32_t pos) {
    const uint64_t left = total > pos ? total - pos : 0;
    const uint64_t done = pos > 0 ? pos : 1;
    // E stays far below 2^32 for any real run, so E * left fits in 64 bits;
    // guard anyway so a clock jump cannot wrap the product.
    if (left != 0 && elapsedSeconds > UINT64_MAX / left) return UINT64_MAX / done;
    return elapsedSeconds * left / done + 1;
}

std::string RemainingTimeText(uint64_t r) {
    return Clock("Remaining Time : ", r / 3600, (r % 3600) / 60, (r % 3600) % 60);
}

ProgressTexts ProgressTick(const ProgressFields& fields, uint64_t elapsedSeconds) {
    ProgressTexts t;
    t.contents = fields.text();
    t.elapsed = ElapsedTimeText(elapsedSeconds);
    t.remaining = RemainingTimeText(
        RemainingSeconds(elapsedSeconds, fields.m_nProgressTotal.load(), fields.m_nProgressPos.load()));
    return t;
}

}  // namespace vantor
