#include "shell/ui/page_host.h"

#include "shell/page_ids.h"
#include "shell/ui/drive_browser.h"
#ifdef VANTOR_HAVE_FAT_PAGE
#include "shell/ui/fat/fat_page.h"
#endif

namespace vantor::ui {

PageKind ResolvePage(int page, int mode, const std::string& fileSystem, int* fatKind) {
    switch (page) {
        case kPageDriveBrowser:
            if (mode == kModeDeleted || mode == kModeFormatted || mode == kModeRaw) return PageKind::DriveBrowser;
            return PageKind::None;
        case kPageResult:
            if (mode == kModePartition) return PageKind::PartitionRecovery;
            if (mode == kModeRaw) return PageKind::RawResult;
            if (fileSystem == "FAT32" || fileSystem == "FAT16" || fileSystem == "FAT") {
                if (fatKind) *fatKind = fileSystem == "FAT32" ? 2 : 1;
                return PageKind::FatResult;
            }
            if (fileSystem == "NTFS") return PageKind::NtfsResult;
            if (fileSystem == "EXT2" || fileSystem == "EXT3") return PageKind::ExtResult;
            return PageKind::None;
        case kPageOutlookRepair: return PageKind::OutlookRepair;
        case kPageOutlookExpressRepair: return PageKind::OutlookExpressRepair;
        case kPageEmailReport: return PageKind::EmailReport;
        default: return PageKind::None;
    }
}

QWidget* CreatePage(PageKind kind, const PageRequest& request, bool& hasFactory) {
    hasFactory = false;
    switch (kind) {
        case PageKind::DriveBrowser:
            hasFactory = true;
            return new CDriveBrowser(request.app, request.mode, request.parent);
        case PageKind::FatResult:
#ifdef VANTOR_HAVE_FAT_PAGE
            hasFactory = true;
            return CreateFatResultPage(request.app, request.mode, request.fatKind, request.parent);
#else
            return nullptr;
#endif
        default:
            // NTFS, EXT, RAW, partition and mail pages come with their engines.
            return nullptr;
    }
}

}  // namespace vantor::ui
