#pragma once
// How the host view turns a page number and mode into a page. The table of
// numbers is the shell's; each page kind is made by the factory function of
// its own folder, handed one PageRequest. A kind whose factory does not exist
// yet creates no page.
//
// A page is a QWidget made as a child of request.parent; the host sizes it
// to the view and owns it from then on, deleting it at the next switch (the
// page's destructor must stop and join any worker of its own). A page asks
// for the next page with RequestPage / GoHome / GoBack* (page_commands.h),
// and must not touch its members after that call returns.
#include <functional>
#include <string>

class QWidget;

namespace vantor::ui {

class CHomeView;
class CTolamApp;

enum class PageKind {
    None,
    DriveBrowser,
    FatResult,
    NtfsResult,
    ExtResult,
    ExfatResult,
    RawResult,
    PartitionRecovery,
    OutlookRepair,
    OutlookExpressRepair,
    EmailReport,
};

struct PageRequest {
    CTolamApp& app;
    CHomeView& host;
    QWidget* parent;   // the view; the page is created as its child
    int page = 0;      // 102, 103, 107, 108, 109
    int mode = 0;      // scan mode, or for 109 the page number to return to
    int fatKind = 0;   // FAT result page: 2 for FAT32, 1 for FAT16 and FAT
};

// The page kind for (page, mode) given the selected partition's file-system
// name, and the FAT kind when it is a FAT page.
PageKind ResolvePage(int page, int mode, const std::string& fileSystem, int* fatKind = nullptr);

// Makes the page. Null with `hasFactory` false: the kind has no page yet;
// null with `hasFactory` true: its creation failed.
QWidget* CreatePage(PageKind kind, const PageRequest& request, bool& hasFactory);

// Puts `factory` in place of the built-in one for `kind` (tests, and pages
// that are not built into the table yet); an empty factory restores it.
using PageFactory = std::function<QWidget*(const PageRequest&)>;
void SetPageFactory(PageKind kind, PageFactory factory);

// The FAT result page comes from fat/fat_page.h:
//   QWidget* CreateFatResultPage(CTolamApp&, int mode, int fatKind, QWidget* parent);
// the build routes to it once a file in fat/ defines it.

}  // namespace vantor::ui
