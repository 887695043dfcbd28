#pragma once
// The FAT result page without its windows: the folder tree the scan filled,
// the rows of the selected folder with their seven column texts, the page
// filter, sorting, check propagation between files and folders, the folder
// and selection totals with their summary lines, and the rules of the
// Recovery button. The Qt view and the CLI session sit on this one model;
// the view only draws it and forwards clicks.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dialogs/result_list.h"
#include "fat/fat_page_base.h"
#include "fat/fat_records.h"
#include "fat/fat_scan.h"
#include "fat/fat_volume.h"

namespace vantor {

enum FatColumn : int {
    kFatColName = 0,
    kFatColSize = 1,
    kFatColType = 2,
    kFatColAttributes = 3,
    kFatColModified = 4,
    kFatColCreated = 5,
    kFatColAccessed = 6,
};
inline constexpr int kFatColumnCount = static_cast<int>(kResultColumnCount);

using FatColumnSpec = ResultColumn;
inline constexpr const auto& kFatColumns = kResultColumns;

using FatViewMode = ResultViewMode;

// Size column: "%d Byte" below 1024, else "%.2f KB", or "%.2f MB" once the
// KB figure exceeds 1024.
std::string FatSizeText(uint64_t size);
// "%d-%.2d-%.2d   %.2d:%.2d:%.2d" of a raw FAT date and time.
std::string FatDateTimeText(uint16_t date, uint16_t time);
// The access date carries no time: "%d-%.2d-%.2d   12:00:00".
std::string FatAccessDateText(uint16_t date);
// Summary line: "%d files - %.2f Byte|KB|MB|GB", dividing by 1024 while the
// figure is at least 1024, at most three times.
std::string FatTotalsText(uint64_t files, uint64_t bytes);

// One column's sort key comparison (<0, 0, >0), ascending.
int CompareFatRecords(const FatFoundFile& a, const FatFoundFile& b, int column,
                      const std::string& typeA = {}, const std::string& typeB = {});

// The FAT records' columns and filter; the rules are FatPageBase's.
class FatPageModel : public FatPageBase<FatFoundFile, FatFolderFiles> {
public:
    // mode: kModeDeleted (10000) or kModeFormatted (10002).
    explicit FatPageModel(int mode = kFatPageModeDeleted, FatKind kind = FatKind::Fat32);

    FatKind kind() const { return kind_; }
    // The scan's inputs from the application state: path filter, mask text
    // chosen by the file-type group, the sector range relative to the
    // partition start (0/0 when the state holds no range).
    FatScanOptions scanOptions(const std::string& pathFilter, const std::string& ownMask,
                               int fileTypeGroup, uint32_t rangeStart, uint32_t rangeEnd,
                               uint32_t partitionStart) const;
    std::string cellText(size_t row, int column) const override;
    bool passesFilter(const FatFoundFile& record) const override;

private:
    int compareRecords(const FatFoundFile& a, const FatFoundFile& b, int column, const std::string& typeA,
                       const std::string& typeB) const override {
        return CompareFatRecords(a, b, column, typeA, typeB);
    }

    FatKind kind_;
};

}  // namespace vantor
