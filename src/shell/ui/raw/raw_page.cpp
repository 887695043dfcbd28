#include "shell/ui/raw/raw_page.h"

#include "recovery/raw_session.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {
std::unique_ptr<EngineSession> SessionFor(CTolamApp& app) {
    RawSessionOptions options;
    options.sharedTable = &app.rawTable();
    return std::make_unique<RawSession>(app.state().currentPartition, std::move(options));
}
}  // namespace

CRawResultPage::CRawResultPage(CTolamApp& app, int mode, QWidget* parent)
    : CResultPage(app, mode, SessionFor(app),
                  {QStringLiteral("CRawResultPage"), QStringLiteral("TTreeView_RAW"), QStringLiteral("TListView_RAW")},
                  parent) {}

RawPageModel& CRawResultPage::rawModel() { return static_cast<RawSession&>(session()).model(); }

QWidget* CreateRawResultPage(CTolamApp& app, int mode, QWidget* parent) {
    return new CRawResultPage(app, mode, parent);
}

}  // namespace vantor::ui
