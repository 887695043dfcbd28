#pragma once
// The two search dialogs ("Search files..." on a page's filter, "Set Quick
// Search..." on the application-wide record) without their windows: what
// each control shows, which controls are visible, and what OK writes back.
#include <array>
#include <cstdint>
#include <string>

#include "dialogs/filter_criteria.h"

namespace vantor {

enum class FilterDialogKind { SearchFiles, QuickSearch };
inline constexpr const char* kSearchFilesTitle = "Search files...";
inline constexpr const char* kQuickSearchTitle = "Set Quick Search...";
inline constexpr std::array<const char*, 4> kDateModeTexts{"Ignore", "Before", "After", "On"};
inline constexpr std::array<const char*, 5> kSizeModeTexts{"Ignore", "Equal", "Smaller", "Larger", "Between"};
inline constexpr const char* kSizeSeparatorText = " -";

// A size field's text for a value, as the dialog shows it ("0", "1.5").
std::string SizeFieldText(double kb);

class FilterDialogState {
public:
    // Opening. "Set Quick Search..." resets target at once (ResetForQuickSearch
    // with today) while its controls show what target held before; with the
    // mail row chosen its list is "dbx.pst.box" until a row is picked again.
    // A record without a valid day shows todayDosDate.
    FilterDialogState(FilterCriteria& target, FilterDialogKind kind, uint16_t todayDosDate);

    const FilterCriteria& shown() const { return values_; }
    const std::string& firstSizeText() const { return firstText_; }
    const std::string& secondSizeText() const { return secondText_; }

    bool datePickerShown() const { return values_.dateMode != kDateIgnore; }
    bool firstSizeShown() const { return values_.sizeMode != kSizeIgnore; }
    bool secondSizeShown() const { return values_.sizeMode == kSizeBetween; }

    void chooseGroup(int row) { ChooseExtensionGroup(values_, row); }
    void chooseDateMode(int mode) { values_.dateMode = mode; }
    void pickDate(uint16_t dosDate) { values_.date = dosDate; }
    // Ignore hides both fields and puts 0 in both; the others keep the values.
    void chooseSizeMode(int mode);
    void setFirstSizeText(std::string text) { firstText_ = std::move(text); }
    void setSecondSizeText(std::string text) { secondText_ = std::move(text); }
    void setNameText(std::string text) { values_.namePart = std::move(text); }

    // OK: Ok writes every value into the target and the dialog closes;
    // StayOpenSilently keeps it open; StartLargerThanEnd keeps it open after
    // the notice kStartLargerThanEndText, focus on the first size field.
    CriteriaValidation ok();
    // Cancel leaves the target as it is now (a quick search stays reset).

private:
    FilterCriteria& target_;
    FilterCriteria values_;
    std::string firstText_;
    std::string secondText_;
};

}  // namespace vantor
