#pragma once
// The exFAT result page without a window: the FAT page's rules and columns
// over the exFAT scans' records (sizes past 4 GiB, stamps with their 10 ms
// counts). The shared Qt view draws it; the CLI session ticks through it.
#include <string>

#include "exfat/exfat_scan.h"
#include "fat/fat_page_base.h"

namespace vantor {

class ExfatPageModel final : public FatPageBase<ExfatFoundFile, ExfatFolderFiles> {
public:
    explicit ExfatPageModel(int mode = kFatPageModeDeleted) : FatPageBase(mode) {}

    std::string cellText(size_t row, int column) const override;
    // The FAT page's test: exact extension, name, size and creation date.
    bool passesFilter(const ExfatFoundFile& record) const override;

private:
    int compareRecords(const ExfatFoundFile& a, const ExfatFoundFile& b, int column, const std::string& typeA,
                       const std::string& typeB) const override;
};

}  // namespace vantor
