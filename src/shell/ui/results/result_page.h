#pragma once
// The result page of every engine with a folder tree and a file list: the
// scan under the progress dialog (the tree grows while found items arrive),
// the tree beside the list, the page filter, details and thumbnails,
// preview, and the recovery into a chosen folder with the overwrite
// question. The engine's session does the reading and writing on workers;
// its page model holds the texts and rules.
#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "dialogs/result_page_model.h"
#include "platform/error_codes.h"
#include "recovery/engine_session.h"

class QCheckBox;
class QDialog;
class QLabel;
class QSplitter;

namespace vantor::ui {

class CProgressDlg;
class CQtUserPrompt;
class CResultListView;
class CResultTreeView;
class CSkinButton;
class CTolamApp;

class CResultPage : public QWidget, private ResultPageListener {
    Q_OBJECT
public:
    // Control ids of the page.
    enum : int {
        kHome = 1038, kProperties = 10381, kHelp = 1037, kAbout = 10371, kPane = 1030, kFilterSwitch = 1031,
        kFilter = 1032, kViewMode = 1033, kBack = 1034, kNext = 1035, kRecovery = 1036,
        kFolderTotalsAnchor = 1039, kSelectionTotalsAnchor = 10310
    };
    static constexpr int kStartTimerMs = 300;  // timer 1000

    // The window class names the page's views carry.
    struct ClassNames {
        QString page, tree, list;
    };
    // mode 10000 or 10002; the session scans the selected partition.
    CResultPage(CTolamApp& app, int mode, std::unique_ptr<EngineSession> session, const ClassNames& names,
                QWidget* parent);
    ~CResultPage() override;

    int mode() const { return mode_; }
    EngineSession& session() { return *session_; }
    const EngineSession& session() const { return *session_; }
    ResultPageModel& model() { return *model_; }
    CResultTreeView* treeView() const { return tree_; }
    CResultListView* listView() const { return list_; }
    CProgressDlg* progressDialog() const { return progress_; }
    CSkinButton* button(int id) const;
    QCheckBox* filterSwitch() const { return filterSwitch_; }
    bool scanDone() const { return scanDone_; }
    ErrorCode scanError() const { return scanError_; }
    // Cancel was pressed while the scan ran.
    bool scanCancelled() const { return scanCancelled_; }
    const RecoveryOutcome& lastRecovery() const { return lastRecovery_; }
    bool recoveryRan() const { return recoveryRan_; }
    // Where the last recovery's report went; empty when it could not be written.
    QString reportPath() const { return reportPath_; }
    QString destination() const { return destination_; }
    // Where the folder chooser starts: the last destination, else home.
    QString startFolder() const;
    // The two summary lines as painted.
    QString folderTotalsLine() const;
    QString selectionTotalsLine() const;
    // The line over the tree when a scan found nothing or was cancelled.
    QString scanNote() const { return scanNote_; }

    // The first tick of timer 1000: the scan under the progress dialog.
    void startScan();
    // The filter switch, the Filter button and the View Mode menu's choices.
    void setFilterSwitch(bool on);
    void openFilterDialog();
    void chooseViewMode(ResultViewMode mode);
    // Double click on a row (or no row selected: the notice).
    void previewSelected();
    // The Recovery button.
    void recover();

    // Where "Recovery" asks for the folder; by default the folder browser
    // titled "Save the recovered files in:". Empty: the user cancelled.
    using FolderChooser = std::function<QString(QWidget* parent)>;
    void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    // How preview dialogs are shown; by default exec().
    void setDialogPresenter(std::function<void(QDialog&)> presenter) { present_ = std::move(presenter); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Found items while the scan runs (on this thread, from the session).
    void nodeAdded(FolderNode& node) override;
    void totalsChanged() override;

    void makeControls();
    void stop();
    void runThumbnails();
    void showViewModeMenu();
    void showScanNote();
    void showRecoverySummary();
    // recovery-report.json in the destination; on the worker after the run.
    void writeReport(const std::string& destination);
    QRect anchorRect(int id) const;

    CTolamApp& app_;
    int mode_;
    std::unique_ptr<EngineSession> session_;
    ResultPageModel* model_;
    std::atomic<bool> running_{false};    // the engine's m_bRunning
    std::atomic<bool> continue_{false};   // the page's continue flag
    bool scanStarted_ = false;
    bool scanning_ = false;
    bool scanDone_ = false;
    bool scanCancelled_ = false;
    ErrorCode scanError_ = kSuccess;
    RecoveryOutcome lastRecovery_;
    bool recoveryRan_ = false;
    std::chrono::system_clock::time_point scanStartedAt_;
    QString reportPath_;
    QString destination_;
    QString scanNote_;
    FolderChooser chooseFolder_;
    std::function<void(QDialog&)> present_;

    CProgressDlg* progress_ = nullptr;
    CQtUserPrompt* prompt_ = nullptr;
    QSplitter* pane_ = nullptr;
    QLabel* note_ = nullptr;
    CResultTreeView* tree_ = nullptr;
    CResultListView* list_ = nullptr;
    QCheckBox* filterSwitch_ = nullptr;
    CSkinButton* home_ = nullptr;
    CSkinButton* properties_ = nullptr;
    CSkinButton* help_ = nullptr;
    CSkinButton* about_ = nullptr;
    CSkinButton* filter_ = nullptr;
    CSkinButton* viewMode_ = nullptr;
    CSkinButton* back_ = nullptr;
    CSkinButton* next_ = nullptr;
    CSkinButton* recovery_ = nullptr;
};

}  // namespace vantor::ui
