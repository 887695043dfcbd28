#include "shell/ui/drive_browser.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>

#include "platform/device_table.h"
#if __has_include("shell/ui/dialogs/criteria_dialog.h")
#include "shell/ui/dialogs/criteria_dialog.h"
#define VANTOR_HAVE_QUICK_SEARCH 1
#endif
#include "recovery/raw_session.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/raw_options_dialog.h"
#include "shell/ui/drive_browser_model.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "shell/ui/tree_style.h"
#include "shell/ui/usage_chart.h"

namespace vantor::ui {

namespace {

enum ItemKind { kRootItem = 0, kDriveItem = 1, kPartitionItem = 2 };
constexpr int kKindRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;

const QRect kPanelRect = WinRect(448, 130, 744, 220);
const QRect kChartRect = WinRect(470, 210, 699, 310);

QIcon TreeImage(int index) {
    const QPixmap strip = SkinPixmap(165);
    const qreal ratio = strip.devicePixelRatio();
    QPixmap image = strip.copy(QRectF(index * 16 * ratio, 0, 16 * ratio, 16 * ratio).toRect());
    image.setDevicePixelRatio(ratio);
    return QIcon(image);
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CDriveBrowser::CDriveBrowser(CTolamApp& app, int mode, QWidget* parent) : QWidget(parent), app_(app), mode_(mode) {
    setObjectName(QStringLiteral("DriveBrowser"));
    home_ = new CSkinButton(QStringLiteral("Home"), this, WinRect(13, 9, 143, 103), 1021);
    home_->SetFaces(156, 140, 294, 156);
    help_ = new CSkinButton(QStringLiteral("Help"), this, WinRect(468, 9, 598, 103), 1022);
    help_->SetFaces(139, 138, 293, 139);
    about_ = new CSkinButton(QStringLiteral("About"), this, WinRect(623, 9, 753, 103), 10221);
    about_->SetFaces(220, 219, 292, 220);
    properties_ = new CSkinButton(QStringLiteral("Properties"), this, WinRect(120, 17, 120, 17), 10211);
    properties_->SetFaces(218, 221, 262, 218);
    option_ = new CSkinButton(QStringLiteral("Option"), this, WinRect(15, 415, 130, 447), 1023);
    option_->SetFaces(164, 163, 211, 166);
    back_ = new CSkinButton(QStringLiteral("Back"), this, WinRect(470, 420, 562, 452), 1024);
    back_->SetFaces(160, 159, 210, 159);
    next_ = new CSkinButton(QStringLiteral("Next"), this, WinRect(630, 420, 722, 452), 1025);
    next_->SetFaces(162, 161, 209, 167);
    openImage_ = new CSkinButton(QStringLiteral("Open disk image..."), this, WinRect(145, 415, 305, 447), 1027);
    openImage_->SetFaces(417, 418, 419, 420);
    next_->setEnabled(false);
    option_->setEnabled(false);

    connect(home_, &QAbstractButton::clicked, this, [this] { GoHome(this); });
    connect(help_, &QAbstractButton::clicked, this, [] { ShowHelp(); });
    connect(about_, &QAbstractButton::clicked, this, [this] { ShowProductPage(this); });
    connect(back_, &QAbstractButton::clicked, this, [this] { GoBackToStart(this); });
    connect(next_, &QAbstractButton::clicked, this, [this] { GoNext(this, mode_); });
    connect(option_, &QAbstractButton::clicked, this, [this] { OnOption(); });
    connect(openImage_, &QAbstractButton::clicked, this, [this] { OnOpenImage(); });

    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("DriveTree"));
    tree_->setGeometry(WinRect(39, 147, 356, 390));
    tree_->setHeaderHidden(true);
    tree_->setStyle(TreeLineStyle());
    tree_->setRootIsDecorated(true);
    tree_->setDragDropMode(QAbstractItemView::NoDragDrop);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setFrameShape(QFrame::NoFrame);
    tree_->setFont(SkinFont(8));
    tree_->setIconSize(QSize(16, 16));
    tree_->setIndentation(18);
    tree_->setFocusPolicy(Qt::StrongFocus);
    // Long model names scroll sideways rather than being cut off.
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree_->setTextElideMode(Qt::ElideNone);
    tree_->setStyleSheet(QStringLiteral(
        "QTreeWidget { background: #FFFFFF; color: #12263F; outline: 0; }"
        "QTreeWidget::item { height: 22px; padding-left: 2px; }"
        "QTreeWidget::item:selected { background: #D4F1EE; color: #0A1A33; }"
        "QTreeWidget::item:selected:!active { background: #D4F1EE; color: #0A1A33; }"
        "QTreeWidget::item:hover:!selected { background: #EEF5FA; }"
        "QScrollBar:horizontal { height: 8px; background: #F0F4F8; margin: 0; }"
        "QScrollBar:vertical { width: 8px; background: #F0F4F8; margin: 0; }"
        "QScrollBar::handle { background: #B9C9D9; border-radius: 4px; min-width: 24px; min-height: 24px; }"
        "QScrollBar::handle:hover { background: #12A5A0; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }"));
    emptyHint_ = new QLabel(QStringLiteral("No drive could be read here.\nRun the program as administrator, or attach\na disk image with \"Open disk image...\"."),
                            tree_->viewport());
    emptyHint_->setAlignment(Qt::AlignCenter);
    emptyHint_->setFont(SkinFont(8));
    emptyHint_->setStyleSheet(QStringLiteral("color: #5B7088; background: transparent;"));
    emptyHint_->setGeometry(0, 60, tree_->width(), 60);
    emptyHint_->hide();
    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) { OnSelectionChanged(item); });

    FillTree();
    // After the page is up, as the window's creation does it.
    QTimer::singleShot(0, this, [this] { AdministratorCheck(this, ProbeDriveZero()); });
}

// The count is stopped and joined before the tree and inventory go.
CDriveBrowser::~CDriveBrowser() { freeCounter_.reset(); }

void CDriveBrowser::FillTree() {
    freeCounter_.reset();
    ++freeGeneration_;
    inventory_.Refresh();
    selectedPartition_ = nullptr;
    selectedIndex_ = -1;
    selectedDrive_ = nullptr;
    selectedDriveItem_ = nullptr;
    {
        const QSignalBlocker block(tree_);
        tree_->clear();
    }
    auto* root = new QTreeWidgetItem(QStringList{QStringLiteral("My Computer")});
    root->setIcon(0, TreeImage(0));
    root->setData(0, kKindRole, kRootItem);
    tree_->addTopLevelItem(root);
    int items = 1;
    for (const BrowserDrive& d : BuildBrowserTree(inventory_, mode_)) {
        auto* driveItem = new QTreeWidgetItem(root, QStringList{Q(DriveItemText(inventory_.drive(d.drive)))});
        driveItem->setIcon(0, TreeImage(1));
        driveItem->setData(0, kKindRole, kDriveItem);
        driveItem->setData(0, kIndexRole, d.drive);
        ++items;
        for (int p : d.partitions) {
            auto* part = new QTreeWidgetItem(driveItem, QStringList{Q(PartitionItemText(inventory_.partition(p)))});
            part->setIcon(0, TreeImage(2));
            part->setData(0, kKindRole, kPartitionItem);
            part->setData(0, kIndexRole, p);
            ++items;
        }
    }
    emptyHint_->setVisible(root->childCount() == 0);
    if (items >= 2) {
        tree_->setCurrentItem(root);
        root->setExpanded(true);
        for (int i = 0; i < root->childCount(); ++i) root->child(i)->setExpanded(true);
    }
    OnSelectionChanged(tree_->currentItem());
    StartFreeSpaceCount();
}

void CDriveBrowser::StartFreeSpaceCount() {
    auto jobs = inventory_.freeSpaceJobs();
    if (jobs.empty()) return;
    const int generation = freeGeneration_;
    // Posted, not sent: the worker never waits on the interface thread, so
    // joining it from here cannot dead-lock.
    freeCounter_ = std::make_unique<FreeSpaceCounter>(std::move(jobs), [this, generation](int p, uint64_t bytes) {
        QMetaObject::invokeMethod(
            this, [this, generation, p, bytes] { OnFreeSpaceCounted(generation, p, bytes); }, Qt::QueuedConnection);
    });
}

void CDriveBrowser::OnFreeSpaceCounted(int generation, int partition, uint64_t freeBytes) {
    if (generation != freeGeneration_) return;
    inventory_.setFreeBytes(partition, freeBytes);
    if (partition == selectedIndex_) update(kPanelRect.united(kChartRect).adjusted(-4, -4, 4, 4));
}

int CDriveBrowser::ChildCount(const QTreeWidgetItem* driveItem) const {
    return driveItem ? driveItem->childCount() : 0;
}

void CDriveBrowser::OnSelectionChanged(QTreeWidgetItem* item) {
    const int kind = item ? item->data(0, kKindRole).toInt() : kRootItem;
    selectedPartition_ = nullptr;
    selectedIndex_ = -1;
    selectedDrive_ = nullptr;
    selectedDriveItem_ = nullptr;
    wholeDrive_ = false;
    if (item && kind == kPartitionItem) {
        selectedIndex_ = item->data(0, kIndexRole).toInt();
        const PartitionRecord& r = inventory_.partition(selectedIndex_);
        selectedPartition_ = &r;
        selStart_ = r.startSector;
        selEnd_ = static_cast<uint32_t>(r.endSector());
        app_.state().selectPartition(r);
        next_->setEnabled(true);
        option_->setEnabled(true);
    } else {
        if (item && kind == kDriveItem) {
            selectedDrive_ = &inventory_.drive(item->data(0, kIndexRole).toInt());
            selectedDriveItem_ = item;
            // A raw scan may read a whole drive.
            wholeDrive_ = mode_ == kModeRaw;
            if (wholeDrive_) app_.state().selectPartition(RawWholeDriveRecord(*selectedDrive_));
        }
        next_->setEnabled(wholeDrive_);
        option_->setEnabled(wholeDrive_);
    }
    update(kPanelRect.united(kChartRect).adjusted(-4, -4, 4, 4));
}

QStringList CDriveBrowser::panelTexts() const {
    std::vector<PanelLine> lines;
    if (selectedPartition_) {
        lines = PartitionPanelLines(*selectedPartition_, inventory_.freeKnown(selectedIndex_));
    } else if (selectedDrive_) {
        lines = DrivePanelLines(*selectedDrive_, ChildCount(selectedDriveItem_));
    }
    QStringList out;
    for (const PanelLine& l : lines) out << Q(l.text);
    return out;
}

void CDriveBrowser::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(-1, 0, SkinPixmap(213, QSize(772, 107)));
    p.drawPixmap(-1, 107, SkinPixmap(151, QSize(772, 371)));

    std::vector<PanelLine> lines;
    std::vector<ChartSlice> slices;
    if (selectedPartition_) {
        const bool freeKnown = inventory_.freeKnown(selectedIndex_);
        lines = PartitionPanelLines(*selectedPartition_, freeKnown);
        slices = PartitionChart(*selectedPartition_, freeKnown);
    } else if (selectedDrive_) {
        const int children = ChildCount(selectedDriveItem_);
        lines = DrivePanelLines(*selectedDrive_, children);
        std::vector<const PartitionRecord*> records;
        for (int i = 0; i < children; ++i) {
            records.push_back(&inventory_.partition(selectedDriveItem_->child(i)->data(0, kIndexRole).toInt()));
        }
        slices = DriveChart(*selectedDrive_, records);
    }
    p.setFont(SkinFont(8));
    p.setPen(kSkinInk);
    const QFontMetrics fm(p.font());
    const bool twoColumns = selectedPartition_ != nullptr;
    for (const PanelLine& l : lines) {
        const int right = twoColumns && l.x < 160 ? kPanelRect.left() + 156 : kPanelRect.right();
        const QRect box(kPanelRect.left() + l.x, kPanelRect.top() + l.y, right - kPanelRect.left() - l.x, fm.height());
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, fm.elidedText(Q(l.text), Qt::ElideRight, box.width()));
    }
    if (!slices.empty()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(kChartRect, RenderUsageChart(slices, kChartRect.size()));
    } else {
        p.setPen(kSkinMuted);
        p.drawText(kPanelRect.united(kChartRect), Qt::AlignCenter | Qt::TextWordWrap,
                   QStringLiteral("Select a drive or a partition\nto see its properties."));
    }
}

void CDriveBrowser::OnOption() {
    if (!selectedPartition_ && !wholeDrive_) return;
    if (mode_ == kModeRaw) {
        CRawOptionsDlg dialog(app_.rawTable(), app_.state(), this);
        dialog.exec();
        return;
    }
    if (mode_ != kModeDeleted && mode_ != kModeFormatted) return;
#ifdef VANTOR_HAVE_QUICK_SEARCH
    CQuickSearchDlg dialog(app_.state().criteria, this);
    dialog.exec();
#endif
}

void CDriveBrowser::OnOpenImage() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open disk image"), QString(),
                                                      QStringLiteral("Disk images (*.img *.dd *.raw *.bin *.iso);;All files (*)"));
    if (path.isEmpty()) return;
    OpenDiskImage(path);
}

bool CDriveBrowser::OpenDiskImage(const QString& path) {
    QString error;
    int driveNumber = -1;
    if (!app_.AttachImage(path, error, &driveNumber)) {
        ShowMessage(this, error, QStringLiteral("Error"), MessageIcon::Error);
        return false;
    }
    FillTree();
    SelectDrive(driveNumber);
    update();
    return true;
}

void CDriveBrowser::SelectDrive(int driveNumber) {
    QTreeWidgetItem* root = tree_->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        QTreeWidgetItem* item = root->child(i);
        if (inventory_.drive(item->data(0, kIndexRole).toInt()).driveIndex != static_cast<uint32_t>(driveNumber))
            continue;
        tree_->setCurrentItem(item);
        // Its partitions too, as far as they fit below it.
        if (item->childCount() > 0) tree_->scrollToItem(item->child(item->childCount() - 1));
        tree_->scrollToItem(item);
        return;
    }
}

namespace {
std::function<ErrorCode()>& DriveZeroProbe() {
    static std::function<ErrorCode()> probe;
    return probe;
}
}  // namespace

void CDriveBrowser::SetDriveZeroProbe(std::function<ErrorCode()> probe) { DriveZeroProbe() = std::move(probe); }

ErrorCode CDriveBrowser::ProbeDriveZero() {
    if (DriveZeroProbe()) return DriveZeroProbe()();
    return ProbeDriveAccess(0);
}

void CDriveBrowser::AdministratorCheck(QWidget* parent, ErrorCode probeResult) {
    if (probeResult != kErrAccessDenied) return;
    ShowMessage(parent, QStringLiteral("Please run this product as Administrator!"), QStringLiteral("Information"),
                MessageIcon::Information);
}

}  // namespace vantor::ui
