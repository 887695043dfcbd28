#pragma once
// The NTFS result page: the shared result page over an NTFS session, whose
// views carry the NTFS window classes. Found items fill the tree while the
// scan runs.
#include "shell/ui/results/result_page.h"

namespace vantor {
class CNtfsVolume;
class NtfsPageModel;
}

namespace vantor::ui {

class CNtfsResultPage : public CResultPage {
    Q_OBJECT
public:
    // mode 10000 (deleted files) or 10002 (formatted drive).
    CNtfsResultPage(CTolamApp& app, int mode, QWidget* parent);

    NtfsPageModel& ntfsModel();
    CNtfsVolume& volume();
};

// The shell's factory for page 103 on an NTFS partition.
QWidget* CreateNtfsResultPage(CTolamApp& app, int mode, QWidget* parent);

}  // namespace vantor::ui
