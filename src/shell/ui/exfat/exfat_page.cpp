#include "shell/ui/exfat/exfat_page.h"

#include "recovery/exfat_session.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {

std::unique_ptr<EngineSession> SessionFor(CTolamApp& app, int mode) {
    auto session = std::make_unique<ExfatSession>(app.state().currentPartition);
    // The page's texts follow the mode before the scan starts.
    session->model().restart(mode == kFatPageModeFormatted ? kFatPageModeFormatted : kFatPageModeDeleted);
    return session;
}

}  // namespace

CExfatResultPage::CExfatResultPage(CTolamApp& app, int mode, QWidget* parent)
    : CResultPage(app, mode, SessionFor(app, mode),
                  {QStringLiteral("CExfatResultPage"), QStringLiteral("TTreeView_EXFAT"),
                   QStringLiteral("TListView_EXFAT")},
                  parent) {}

ExfatPageModel& CExfatResultPage::exfatModel() { return static_cast<ExfatSession&>(session()).model(); }

QWidget* CreateExfatResultPage(CTolamApp& app, int mode, QWidget* parent) {
    return new CExfatResultPage(app, mode, parent);
}

}  // namespace vantor::ui
