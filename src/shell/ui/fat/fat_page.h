#pragma once
// The FAT result page: the shared result page over a FAT session, whose
// views carry the FAT window classes.
#include "fat/fat_scan.h"
#include "shell/ui/page_host.h"
#include "shell/ui/results/result_page.h"

namespace vantor::ui {

class CFatResultPage : public CResultPage {
    Q_OBJECT
public:
    // mode 10000 or 10002; fatKind 2 for FAT32, anything else FAT16.
    CFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent);

    int fatKind() const { return fatKind_; }
    // The last scan's result (stopped, error).
    const FatScanResult& lastScan() const;

private:
    int fatKind_;
};

// The shell's factory for page 103 on a FAT partition.
QWidget* CreateFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent);

}  // namespace vantor::ui
