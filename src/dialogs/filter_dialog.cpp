#include "dialogs/filter_dialog.h"

#include <cstdio>

#include "platform/time_util.h"

namespace vantor {

namespace {

bool IsCalendarDay(uint16_t dosDate) {
    int y = 0, m = 0, d = 0;
    if (!DecodeDosDate(dosDate, y, m, d)) return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= (m == 2 && !leap ? 28 : kDays[m - 1]);
}

}  // namespace

std::string SizeFieldText(double kb) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", kb);
    return buf;
}

FilterDialogState::FilterDialogState(FilterCriteria& target, FilterDialogKind kind, uint16_t todayDosDate)
    : target_(target), values_(target) {
    if (kind == FilterDialogKind::QuickSearch) {
        if (values_.extGroup == 6) values_.extList = kQuickSearchMailList;
        ResetForQuickSearch(target_, todayDosDate);
    }
    // A record with no valid day yet shows today, and keeps it: On, Before
    // and After without a pick compare with the day shown.
    if (!IsCalendarDay(values_.date)) values_.date = todayDosDate;
    firstText_ = SizeFieldText(values_.minSizeKB);
    secondText_ = SizeFieldText(values_.maxSizeKB);
}

void FilterDialogState::chooseSizeMode(int mode) {
    values_.sizeMode = mode;
    if (mode == kSizeIgnore) {
        values_.minSizeKB = 0;
        values_.maxSizeKB = 0;
        firstText_ = "0";
        secondText_ = "0";
    }
}

CriteriaValidation FilterDialogState::ok() {
    double first = 0, second = 0;
    const CriteriaValidation v = ValidateSizeFields(firstText_, secondText_, secondSizeShown(), first, second);
    if (v != CriteriaValidation::Ok) return v;
    values_.minSizeKB = first;
    values_.maxSizeKB = second;
    target_ = values_;
    return v;
}

}  // namespace vantor
