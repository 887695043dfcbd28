#include "dialogs/filter_dialog.h"

#include <cstdio>

namespace vantor {

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
