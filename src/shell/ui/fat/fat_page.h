#pragma once
// The FAT result page: the scan under the progress dialog, the folder tree
// beside the file list, the page filter, details and thumbnails, preview,
// and the recovery into a chosen folder with the overwrite question.
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

#include "fat/fat_page_model.h"
#include "fat/fat_writer.h"
#include "platform/error_codes.h"
#include "shell/ui/page_host.h"

class QCheckBox;
class QDialog;
class QSplitter;

namespace vantor::ui {

class CProgressDlg;
class CQtUserPrompt;
class CSkinButton;
class CTolamApp;
class TListView_FAT;
class TTreeView_FAT;

class CFatResultPage : public QWidget {
    Q_OBJECT
public:
    // Control ids of the page.
    enum : int {
        kHome = 1038, kProperties = 10381, kHelp = 1037, kAbout = 10371, kPane = 1030, kFilterSwitch = 1031,
        kFilter = 1032, kViewMode = 1033, kBack = 1034, kNext = 1035, kRecovery = 1036,
        kFolderTotalsAnchor = 1039, kSelectionTotalsAnchor = 10310
    };
    static constexpr int kStartTimerMs = 300;  // timer 1000

    // mode 10000 or 10002; fatKind 2 for FAT32, anything else FAT16.
    CFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent);
    ~CFatResultPage() override;

    int mode() const { return mode_; }
    int fatKind() const { return fatKind_; }
    FatPageModel& model() { return model_; }
    TTreeView_FAT* treeView() const { return tree_; }
    TListView_FAT* listView() const { return list_; }
    CProgressDlg* progressDialog() const { return progress_; }
    CSkinButton* button(int id) const;
    QCheckBox* filterSwitch() const { return filterSwitch_; }
    bool scanDone() const { return scanDone_; }
    ErrorCode scanError() const { return scanError_; }
    const FatScanResult& lastScan() const { return lastScan_; }
    const FatRecoveryResult& lastRecovery() const { return lastRecovery_; }
    bool recoveryRan() const { return recoveryRan_; }
    QString destination() const { return destination_; }
    // The two summary lines as painted.
    QString folderTotalsLine() const;
    QString selectionTotalsLine() const;

    // The first tick of timer 1000: the scan under the progress dialog.
    void startScan();
    // The filter switch, the Filter button and the View Mode menu's choices.
    void setFilterSwitch(bool on);
    void openFilterDialog();
    void chooseViewMode(FatViewMode mode);
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
    void makeControls();
    void stop();
    void runThumbnails();
    void showViewModeMenu();
    QRect anchorRect(int id) const;

    CTolamApp& app_;
    int mode_;
    int fatKind_;
    FatPageModel model_;
    std::atomic<bool> running_{false};    // the engine's m_bRunning
    std::atomic<bool> continue_{false};   // the page's continue flag
    bool scanStarted_ = false;
    bool scanDone_ = false;
    ErrorCode scanError_ = kSuccess;
    FatScanResult lastScan_;
    FatRecoveryResult lastRecovery_;
    bool recoveryRan_ = false;
    QString destination_;
    FolderChooser chooseFolder_;
    std::function<void(QDialog&)> present_;
    // Opened on the first preview and kept: opening reads the whole FAT.
    std::unique_ptr<CFatVolume> previewVolume_;

    CProgressDlg* progress_ = nullptr;
    CQtUserPrompt* prompt_ = nullptr;
    QSplitter* pane_ = nullptr;
    TTreeView_FAT* tree_ = nullptr;
    TListView_FAT* list_ = nullptr;
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

// The shell's factory for page 103 on a FAT partition.
QWidget* CreateFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent);

}  // namespace vantor::ui
