#include "shell/ui/ext/ext_page.h"

#include "recovery/ext_session.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

CExtResultPage::CExtResultPage(CTolamApp& app, int mode, QWidget* parent)
    : CResultPage(app, mode, std::make_unique<ExtSession>(app.state().currentPartition),
                  {QStringLiteral("CExtResultPage"), QStringLiteral("TTreeView_EXT"), QStringLiteral("TListView_EXT")},
                  parent) {}

ExtPageModel& CExtResultPage::extModel() { return static_cast<ExtSession&>(session()).model(); }

QWidget* CreateExtResultPage(CTolamApp& app, int mode, QWidget* parent) {
    return new CExtResultPage(app, mode, parent);
}

}  // namespace vantor::ui
