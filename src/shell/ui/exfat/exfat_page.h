#pragma once
// The exFAT result page: the shared result page over an exFAT session, whose
// views carry the exFAT window classes; the FAT page's columns and texts.
#include "shell/ui/results/result_page.h"

namespace vantor {
class ExfatPageModel;
}

namespace vantor::ui {

class CExfatResultPage : public CResultPage {
    Q_OBJECT
public:
    // mode 10000 (deleted files) or 10002 (formatted drive).
    CExfatResultPage(CTolamApp& app, int mode, QWidget* parent);

    ExfatPageModel& exfatModel();
};

// The shell's factory for page 103 on an exFAT partition.
QWidget* CreateExfatResultPage(CTolamApp& app, int mode, QWidget* parent);

}  // namespace vantor::ui
