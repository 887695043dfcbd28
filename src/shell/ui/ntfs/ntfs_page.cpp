#include "shell/ui/ntfs/ntfs_page.h"

#include "recovery/ntfs_session.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {

std::unique_ptr<EngineSession> SessionFor(CTolamApp& app, int mode) {
    auto session = std::make_unique<NtfsSession>(app.state().currentPartition);
    session->model().setScanKind(mode);
    return session;
}

}  // namespace

CNtfsResultPage::CNtfsResultPage(CTolamApp& app, int mode, QWidget* parent)
    : CResultPage(app, mode, SessionFor(app, mode),
                  {QStringLiteral("CNtfsResultPage"), QStringLiteral("TTreeView_NTFS"), QStringLiteral("TListView_NTFS")},
                  parent) {}

NtfsPageModel& CNtfsResultPage::ntfsModel() { return static_cast<NtfsSession&>(session()).model(); }
CNtfsVolume& CNtfsResultPage::volume() { return static_cast<NtfsSession&>(session()).volume(); }

QWidget* CreateNtfsResultPage(CTolamApp& app, int mode, QWidget* parent) {
    return new CNtfsResultPage(app, mode, parent);
}

}  // namespace vantor::ui
