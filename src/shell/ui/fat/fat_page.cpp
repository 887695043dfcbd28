#include "shell/ui/fat/fat_page.h"

#include "recovery/fat_session.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {

std::unique_ptr<EngineSession> SessionFor(CTolamApp& app, int mode, int fatKind) {
    auto session = std::make_unique<FatSession>(app.state().currentPartition, fatKind);
    // The page's texts follow the mode before the scan starts.
    session->model().restart(mode == kFatPageModeFormatted ? kFatPageModeFormatted : kFatPageModeDeleted);
    return session;
}

}  // namespace

CFatResultPage::CFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent)
    : CResultPage(app, mode, SessionFor(app, mode, fatKind),
                  {QStringLiteral("CFatResultPage"), QStringLiteral("TTreeView_FAT"), QStringLiteral("TListView_FAT")},
                  parent),
      fatKind_(fatKind) {}

const FatScanResult& CFatResultPage::lastScan() const {
    return static_cast<const FatSession&>(session()).lastScan();
}

QWidget* CreateFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent) {
    return new CFatResultPage(app, mode, fatKind, parent);
}

}  // namespace vantor::ui
