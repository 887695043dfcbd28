#pragma once
// The RAW result page: the shared result page over a raw carving session,
// whose views carry the RAW window classes. The tree holds one folder per
// file type under the root; the scan uses the raw options the drive
// browser's Option set.
#include "shell/ui/results/result_page.h"

namespace vantor {
class RawPageModel;
}

namespace vantor::ui {

class CRawResultPage : public CResultPage {
    Q_OBJECT
public:
    CRawResultPage(CTolamApp& app, int mode, QWidget* parent);

    RawPageModel& rawModel();
};

// The shell's factory for page 103 in mode 10003.
QWidget* CreateRawResultPage(CTolamApp& app, int mode, QWidget* parent);

}  // namespace vantor::ui
