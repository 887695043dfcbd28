#pragma once
// The EXT result page: the shared result page over an EXT session, whose
// views carry the EXT window classes. The tree holds the partition's root,
// the folders whose names survived and "Lost files".
#include "shell/ui/results/result_page.h"

namespace vantor {
class ExtPageModel;
}

namespace vantor::ui {

class CExtResultPage : public CResultPage {
    Q_OBJECT
public:
    // Only mode 10000 (deleted files) runs a scan.
    CExtResultPage(CTolamApp& app, int mode, QWidget* parent);

    ExtPageModel& extModel();
};

// The shell's factory for page 103 on an EXT2, EXT3 or EXT4 partition.
QWidget* CreateExtResultPage(CTolamApp& app, int mode, QWidget* parent);

}  // namespace vantor::ui
