#pragma once
// Page 102: drives and their partitions under "My Computer", the property
// panel and usage chart of the selection, and the way on to the scan.
#include <QWidget>
#include <functional>
#include <memory>

#include "disk/disk_inventory.h"
#include "platform/error_codes.h"

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace vantor::ui {

class CSkinButton;
class CTolamApp;

class CDriveBrowser : public QWidget {
    Q_OBJECT
public:
    CDriveBrowser(CTolamApp& app, int mode, QWidget* parent);
    ~CDriveBrowser() override;

    int mode() const { return mode_; }
    QTreeWidget* tree() const { return tree_; }
    CSkinButton* nextButton() const { return next_; }
    CSkinButton* optionButton() const { return option_; }
    CSkinButton* backButton() const { return back_; }
    CSkinButton* openImageButton() const { return openImage_; }
    const PartitionRecord* selectedPartition() const { return selectedPartition_; }
    const PhysicalDriveInfo* selectedDrive() const { return selectedDrive_; }
    const CDiskInventory& inventory() const { return inventory_; }
    // The property panel's lines as painted now (tests and screenshots).
    QStringList panelTexts() const;
    // The hint shown in the tree while it lists no drive, or null.
    QLabel* emptyHint() const { return emptyHint_; }

    // Re-reads every drive and partition table and fills the tree again; the
    // volumes' free space is counted on a worker and filled in as it comes.
    void FillTree();
    bool freeSpaceCounted() const { return inventory_.freeSpaceCounted(); }
    // Attaches a disk image, as "Open disk image..." does after its file
    // dialog, and selects its drive.
    bool OpenDiskImage(const QString& path);

    // Opening drive 0 for reading and writing, as the administrator check
    // does; a test may put another probe in its place (empty: the real one).
    static ErrorCode ProbeDriveZero();
    static void SetDriveZeroProbe(std::function<ErrorCode()> probe);
    // Shows the administrator message when the probe was refused for rights.
    static void AdministratorCheck(QWidget* parent, ErrorCode probeResult);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnSelectionChanged(QTreeWidgetItem* item);
    void OnOption();
    void OnOpenImage();
    int ChildCount(const QTreeWidgetItem* driveItem) const;
    void StartFreeSpaceCount();
    void OnFreeSpaceCounted(int generation, int partition, uint64_t freeBytes);
    void SelectDrive(int driveNumber);

    CTolamApp& app_;
    int mode_;
    CDiskInventory inventory_;
    QTreeWidget* tree_ = nullptr;
    CSkinButton* home_ = nullptr;
    CSkinButton* help_ = nullptr;
    CSkinButton* about_ = nullptr;
    CSkinButton* properties_ = nullptr;
    CSkinButton* option_ = nullptr;
    CSkinButton* back_ = nullptr;
    CSkinButton* next_ = nullptr;
    CSkinButton* openImage_ = nullptr;
    QLabel* emptyHint_ = nullptr;
    std::unique_ptr<FreeSpaceCounter> freeCounter_;
    int freeGeneration_ = 0;  // results of an earlier fill are dropped
    const PartitionRecord* selectedPartition_ = nullptr;
    int selectedIndex_ = -1;
    const PhysicalDriveInfo* selectedDrive_ = nullptr;
    bool wholeDrive_ = false;  // raw mode: the selected drive is scanned whole
    QTreeWidgetItem* selectedDriveItem_ = nullptr;
    uint32_t selStart_ = 0;
    uint32_t selEnd_ = 0;
};

}  // namespace vantor::ui
