#pragma once
// Page 103 in the partition mode: a drive, its partitions as a map, where
// partitions to restore come from (the search, backup files) and what that
// source holds, with Backup, Recovery and "Undo last restore". The search,
// the restore and the undo run on a worker under the progress dialog.
#include <QWidget>
#include <atomic>
#include <string>

#include "disk/disk_inventory.h"
#include "partition/partition_page_model.h"

class QComboBox;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace vantor::ui {

class CProgressDlg;
class CSkinButton;
class CTolamApp;

class CPartitionPage : public QWidget {
    Q_OBJECT
  public:
    CPartitionPage(CTolamApp& app, QWidget* parent);
    ~CPartitionPage() override;

    PartitionPageModel& model() { return model_; }
    const PartitionPageModel& model() const { return model_; }
    const CDiskInventory& inventory() const { return inventory_; }
    QComboBox* driveList() const { return drives_; }
    QTreeWidget* sourceList() const { return sources_; }
    QListWidget* partitionList() const { return partitions_; }
    CSkinButton* backupButton() const { return backup_; }
    CSkinButton* recoveryButton() const { return recovery_; }
    QPushButton* undoButton() const { return undo_; }
    CProgressDlg* progressDialog() const { return progress_; }
    // The map's rectangle for the present width.
    MapRect mapRect() const;

    // What a double click on source row `row` does.
    void OpenSource(int row);
    // "Auto Scan": false when the drive could not be searched (a cancel is no failure).
    bool SearchSelectedDrive();
    bool LoadBackup(const std::string& path);
    void Recover();
    void Backup();
    void UndoLastRestore();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void FillDrives();
    void OnDriveChanged(int index);
    void FillSources();
    void FillPartitions();
    const PhysicalDriveInfo* SelectedDrive() const;
    std::vector<std::string> BackupFolders() const;
    bool Ask(const QString& text, const QString& caption, bool warning);

    CTolamApp& app_;
    CDiskInventory inventory_;
    PartitionPageModel model_;
    std::atomic<bool> cancel_{false};
    int undoDrive_ = -1;  // the drive the last restore wrote to
    CProgressDlg* progress_ = nullptr;
    QComboBox* drives_ = nullptr;
    QTreeWidget* sources_ = nullptr;
    QListWidget* partitions_ = nullptr;
    CSkinButton* home_ = nullptr;
    CSkinButton* help_ = nullptr;
    CSkinButton* about_ = nullptr;
    CSkinButton* properties_ = nullptr;
    CSkinButton* back_ = nullptr;
    CSkinButton* next_ = nullptr;
    CSkinButton* backup_ = nullptr;
    CSkinButton* recovery_ = nullptr;
    QPushButton* undo_ = nullptr;
};

// The shell's factory for (103, 10001).
QWidget* CreatePartitionPage(CTolamApp& app, QWidget* parent);

}  // namespace vantor::ui
