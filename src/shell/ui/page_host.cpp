#include "shell/ui/page_host.h"

#include <map>

#include "mail/ui/mail_pages.h"
#include "shell/page_ids.h"
#include "shell/ui/drive_browser.h"
#include "shell/ui/exfat/exfat_page.h"
#include "shell/ui/ext/ext_page.h"
#include "shell/ui/ntfs/ntfs_page.h"
#include "shell/ui/raw/raw_page.h"
#include "shell/ui/partition/partition_page.h"
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
            if (fileSystem == "exFAT") return PageKind::ExfatResult;
            if (fileSystem == "EXT2" || fileSystem == "EXT3" || fileSystem == "EXT4") return PageKind::ExtResult;
            return PageKind::None;
        case kPageOutlookRepair: return PageKind::OutlookRepair;
        case kPageOutlookExpressRepair: return PageKind::OutlookExpressRepair;
        case kPageEmailReport: return PageKind::EmailReport;
        default: return PageKind::None;
    }
}

namespace {
std::map<PageKind, PageFactory>& Overrides() {
    static std::map<PageKind, PageFactory> factories;
    return factories;
}
}  // namespace

void SetPageFactory(PageKind kind, PageFactory factory) {
    if (factory) {
        Overrides()[kind] = std::move(factory);
    } else {
        Overrides().erase(kind);
    }
}

QWidget* CreatePage(PageKind kind, const PageRequest& request, bool& hasFactory) {
    hasFactory = false;
    if (auto it = Overrides().find(kind); it != Overrides().end()) {
        hasFactory = true;
        return it->second(request);
    }
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
        case PageKind::NtfsResult:
            hasFactory = true;
            return CreateNtfsResultPage(request.app, request.mode, request.parent);
        case PageKind::ExfatResult:
            hasFactory = true;
            return CreateExfatResultPage(request.app, request.mode, request.parent);
        case PageKind::ExtResult:
            // EXT has a deleted-file scan only.
            if (request.mode != kModeDeleted) return nullptr;
            hasFactory = true;
            return CreateExtResultPage(request.app, request.mode, request.parent);
        case PageKind::OutlookRepair:
        case PageKind::OutlookExpressRepair:
            hasFactory = true;
            return CreateMailRepairPage(request.app, request.page, request.parent);
        case PageKind::EmailReport:
            hasFactory = true;
            return CreateRepairLogPage(request.app, request.mode, request.parent);
        case PageKind::RawResult:
            hasFactory = true;
            return CreateRawResultPage(request.app, request.mode, request.parent);
        case PageKind::PartitionRecovery:
            hasFactory = true;
            return CreatePartitionPage(request.app, request.parent);
        default:
            // PageKind::None: there is no page.
            return nullptr;
    }
}

}  // namespace vantor::ui
