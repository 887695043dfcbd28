#pragma once
// What the user narrows a result list by: file-type group, DOS date, size in
// KB and a piece of the name. One record per result page, and one
// application-wide record applied during deleted-file scans.
#include <cstdint>
#include <string>

namespace vantor {

enum DateMode : int32_t { kDateIgnore = 0, kDateBefore = 1, kDateAfter = 2, kDateOn = 3 };
enum SizeMode : int32_t {
    kSizeIgnore = 0, kSizeEqual = 1, kSizeSmaller = 2, kSizeLarger = 3, kSizeBetween = 4
};

struct FilterCriteria {
    std::string extList;   // the group's extensions separated by "."
    int32_t extGroup = 0;  // row of the group table; 0 = all files
    uint16_t date = 0;     // DOS date
    int32_t dateMode = kDateIgnore;
    double minSizeKB = 0;
    double maxSizeKB = 0;
    int32_t sizeMode = kSizeIgnore;
    std::string namePart;

    bool anySet() const {
        return extGroup != 0 || dateMode != kDateIgnore || sizeMode != kSizeIgnore || !namePart.empty();
    }
};

inline constexpr int kExtensionGroupCount = 7;
// Combo text and extension list of a group row (0..6); empty for other rows.
const char* ExtensionGroupText(int group);
const char* ExtensionGroupList(int group);
// The mail row's list while "Set Quick Search..." opens with it chosen.
inline constexpr const char* kQuickSearchMailList = "dbx.pst.box";

// Choosing a row of the extension combo: sets extGroup, and extList unless row 0.
void ChooseExtensionGroup(FilterCriteria& c, int group);

// "Set Quick Search..." resets the application-wide record when it opens:
// group, modes and sizes become 0 and the date today; extList and namePart stay.
void ResetForQuickSearch(FilterCriteria& c, uint16_t todayDosDate);

// The OK button's checks on the two size fields' texts.
enum class CriteriaValidation { Ok, StayOpenSilently, StartLargerThanEnd };
inline constexpr const char* kStartLargerThanEndText = "Start size can't larger then end size!";
CriteriaValidation ValidateSizeFields(const std::string& firstText, const std::string& secondText,
                                      bool secondShown, double& first, double& second);

// The three extension tests: exact entry (FAT and the FAT/NTFS pages), the
// NTFS scan's "pieces followed by a dot", and the EXT page's substring test.
bool ExtensionPassesExact(const FilterCriteria& c, const std::string& extension);
bool ExtensionPassesNtfsScan(const FilterCriteria& c, const std::string& name);
bool ExtensionPassesSubstring(const FilterCriteria& c, const std::string& extension);

bool DatePasses(const FilterCriteria& c, uint16_t dosDate);
bool SizePasses(const FilterCriteria& c, uint64_t sizeBytes);
bool NamePasses(const FilterCriteria& c, const std::string& name);

// All four tests with the exact extension rule.
bool MatchesCriteria(const FilterCriteria& c, const std::string& extension, const std::string& name,
                     uint64_t sizeBytes, uint16_t dosDate);

}  // namespace vantor
