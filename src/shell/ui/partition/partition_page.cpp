#include "shell/ui/partition/partition_page.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

#include "partition/backup_file.h"
#include "partition/partition_restore.h"
#include "partition/partition_search.h"
#include "partition/undo_file.h"
#include "platform/device_table.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/drive_browser.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QColor Colour(const Rgb& c) { return {c.r, c.g, c.b}; }

constexpr int kMapTextLane = 13;  // label height at the top of a map block
const QString kBackupFilter = QStringLiteral("Partition backup files (*.pbf)");

const char* const kListStyle =
    "background: #FFFFFF; color: #12263F; outline: 0; border: 1px solid #B9C9D9;";

// A partition row: the file system's colour, then "C:  FAT32", the start and the end sector.
class PartitionRowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const auto* page = static_cast<const CPartitionPage*>(parent());
        const auto& records = page->model().partitions();
        const int row = index.row();
        if (row < 0 || row >= static_cast<int>(records.size())) return;
        const PartitionRecord& r = records[static_cast<size_t>(row)];
        const QRect box = option.rect;
        const bool selected = option.state & QStyle::State_Selected;
        p->save();
        p->fillRect(box, selected ? QColor(0xD4, 0xF1, 0xEE) : QColor(Qt::white));
        const QRect swatch(box.left() + 6, box.top() + (box.height() - 12) / 2, 16, 12);
        p->fillRect(swatch, Colour(DiskMapColour(r.fileSystemName())));
        p->setPen(Qt::black);
        p->drawRect(swatch.adjusted(0, 0, -1, -1));
        p->setPen(r.isGap() ? kSkinMuted : kSkinInk);
        const PartitionListLabel label = MakePartitionListLabel(r);
        const int flags = Qt::AlignLeft | Qt::AlignVCenter;
        p->setFont(SkinFont(8, page->model().isFound(row)));  // what the search found stands out
        p->drawText(QRect(box.left() + 30, box.top(), 108, box.height()), flags,
                    Q(label.letterAndFileSystem));
        p->setFont(SkinFont(8));
        p->drawText(QRect(box.left() + 140, box.top(), 138, box.height()), flags,
                    Q(label.startText));
        p->drawText(QRect(box.left() + 280, box.top(), box.width() - 280, box.height()), flags,
                    Q(label.endText));
        p->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {400, 20};
    }
};

}  // namespace

CPartitionPage::CPartitionPage(CTolamApp& app, QWidget* parent) : QWidget(parent), app_(app) {
    setObjectName(QStringLiteral("PartitionPage"));
    home_ = new CSkinButton(QStringLiteral("Home"), this, WinRect(13, 9, 143, 103), 10604);
    home_->SetFaces(156, 140, 294, 156);
    help_ = new CSkinButton(QStringLiteral("Help"), this, WinRect(468, 9, 598, 103), 10603);
    help_->SetFaces(139, 138, 293, 139);
    about_ = new CSkinButton(QStringLiteral("About"), this, WinRect(623, 9, 753, 103), 10612);
    about_->SetFaces(220, 219, 292, 220);
    properties_ =
        new CSkinButton(QStringLiteral("Properties"), this, WinRect(120, 17, 120, 17), 10611);
    properties_->SetFaces(218, 221, 262, 218);
    back_ = new CSkinButton(QStringLiteral("Back"), this, WinRect(600, 420, 692, 452), 10605);
    back_->SetFaces(160, 159, 210, 160);
    next_ = new CSkinButton(QStringLiteral("Next"), this, WinRect(0, 0, 0, 0), 10606);
    next_->SetFaces(162, 161, 209, 167);
    next_->setEnabled(false);
    backup_ = new CSkinButton(QStringLiteral("Backup"), this, {}, 10608);
    backup_->SetFaces(203, 202, 203, 201);
    recovery_ = new CSkinButton(QStringLiteral("Recovery"), this, {}, 10607);
    recovery_->SetFaces(179, 178, 297, 180);
    undo_ = new QPushButton(QStringLiteral("Undo last restore"), this);
    undo_->setObjectName(QStringLiteral("UndoLastRestore"));
    undo_->setGeometry(WinRect(338, 420, 498, 452));
    undo_->setFont(SkinFont(8, true));
    undo_->setStyleSheet(
        QStringLiteral("QPushButton { background: #FFFFFF; color: #0A1A33; border: 1px solid "
                       "#12A5A0; border-radius: 4px; }"
                       "QPushButton:hover { background: #D4F1EE; }"
                       "QPushButton:disabled { color: #9AAABB; border-color: #C9D5E0; }"));
    undo_->setEnabled(false);

    connect(home_, &QAbstractButton::clicked, this, [this] { GoHome(this); });
    connect(help_, &QAbstractButton::clicked, this, [] { ShowHelp(); });
    connect(about_, &QAbstractButton::clicked, this, [this] { ShowProductPage(this); });
    connect(back_, &QAbstractButton::clicked, this, [this] { GoBackToStart(this); });
    connect(backup_, &QAbstractButton::clicked, this, [this] { Backup(); });
    connect(recovery_, &QAbstractButton::clicked, this, [this] { Recover(); });
    connect(undo_, &QAbstractButton::clicked, this, [this] { UndoLastRestore(); });

    drives_ = new QComboBox(this);
    drives_->setObjectName(QStringLiteral("DriveList"));
    drives_->setFont(SkinFont(8));

    sources_ = new QTreeWidget(this);
    sources_->setObjectName(QStringLiteral("SourceList"));
    sources_->setGeometry(WinRect(30, 222, 330, 407));
    sources_->setColumnCount(2);
    sources_->setHeaderLabels({QStringLiteral("Date Created"), QStringLiteral("File Path")});
    sources_->header()->resizeSection(0, 140);
    sources_->header()->resizeSection(1, 160);
    sources_->setRootIsDecorated(false);
    sources_->setSelectionMode(QAbstractItemView::SingleSelection);
    sources_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sources_->setFont(SkinFont(8));
    sources_->setIconSize(QSize(16, 16));
    sources_->setTextElideMode(Qt::ElideMiddle);
    sources_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sources_->setStyleSheet(
        QString::fromLatin1("QTreeWidget { %1 }").arg(QLatin1String(kListStyle)));
    connect(sources_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        OpenSource(sources_->indexOfTopLevelItem(item));
    });

    partitions_ = new QListWidget(this);
    partitions_->setObjectName(QStringLiteral("PartitionList"));
    partitions_->setSelectionMode(QAbstractItemView::SingleSelection);
    partitions_->setItemDelegate(new PartitionRowDelegate(this));
    partitions_->setStyleSheet(
        QString::fromLatin1("QListWidget { %1 }").arg(QLatin1String(kListStyle)));
    connect(partitions_, &QListWidget::currentRowChanged, this, [this](int row) {
        model_.selectPartition(row);
        update();
    });

    progress_ = new CProgressDlg(app_.state().progress, this);
    connect(progress_, &CProgressDlg::stopRequested, this, [this] { cancel_ = true; });

    inventory_.Refresh();
    FillDrives();
    QTimer::singleShot(0, this, [this] {
        CDriveBrowser::AdministratorCheck(this, CDriveBrowser::ProbeDriveZero());
    });
}

// Every worker ran inside a modal call that has returned: nothing to join.
CPartitionPage::~CPartitionPage() = default;

MapRect CPartitionPage::mapRect() const { return {29, 163, width() - 150, 211}; }

void CPartitionPage::resizeEvent(QResizeEvent*) {
    const int w = width();
    backup_->setGeometry(WinRect(w - 120, 125, w - 28, 154));
    recovery_->setGeometry(WinRect(w - 145, 169, w - 28, 203));
    drives_->setGeometry(WinRect(29, 120, w - 126, 142));
    partitions_->setGeometry(WinRect(338, 222, w - 28, 407));
}

void CPartitionPage::FillDrives() {
    std::vector<PhysicalDriveInfo> drives = inventory_.drives();
    QSignalBlocker block(drives_);
    drives_->clear();
    for (const auto& d : drives) drives_->addItem(Q(DriveListLabel(d)));
    model_.setDrives(std::move(drives));
    connect(drives_, &QComboBox::currentIndexChanged, this, &CPartitionPage::OnDriveChanged,
            Qt::UniqueConnection);
    if (!model_.drives().empty()) {
        drives_->setCurrentIndex(0);
        OnDriveChanged(0);
    } else {
        FillSources();
    }
}

void CPartitionPage::OnDriveChanged(int index) {
    if (!model_.selectDrive(index, BackupFolders())) return;
    FillSources();
    FillPartitions();
    update();
}

std::vector<std::string> CPartitionPage::BackupFolders() const {
    return {UserBackupFolder(), ProgramBackupFolder()};
}

const PhysicalDriveInfo* CPartitionPage::SelectedDrive() const {
    const int i = model_.selectedDrive();
    if (i < 0 || i >= static_cast<int>(model_.drives().size())) return nullptr;
    return &model_.drives()[static_cast<size_t>(i)];
}

void CPartitionPage::FillSources() {
    sources_->clear();
    for (const SourceRow& row : model_.sources()) {
        auto* item = new QTreeWidgetItem(sources_, QStringList{Q(row.dateText), Q(row.pathText)});
        static const int kIcons[] = {197, 196, 195};
        item->setIcon(0, QIcon(SkinPixmap(kIcons[row.image], QSize(16, 16))));
        item->setToolTip(1, Q(row.pathText));
    }
}

void CPartitionPage::FillPartitions() {
    QSignalBlocker block(partitions_);
    partitions_->clear();
    for (size_t i = 0; i < model_.partitions().size(); ++i) {
        auto* item = new QListWidgetItem(partitions_);
        item->setText(Q(MakePartitionListLabel(model_.partitions()[i]).letterAndFileSystem));
    }
    model_.selectPartition(-1);
}

void CPartitionPage::OpenSource(int row) {
    if (row < 0 || row >= static_cast<int>(model_.sources().size())) return;
    const SourceRow& source = model_.sources()[static_cast<size_t>(row)];
    switch (source.kind) {
        case SourceKind::AutoScan:
            if (!SearchSelectedDrive())
                ShowMessage(this, QString::fromLatin1(kBackupLoadFailedText),
                            QString::fromLatin1(kAppTitle));
            return;
        case SourceKind::AddBackup: {
            const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"),
                                                              Q(UserBackupFolder()), kBackupFilter);
            if (path.isEmpty()) return;
            model_.addBackupFile(path.toStdString());
            FillSources();
            return;
        }
        case SourceKind::Backup:
            if (!LoadBackup(source.pathText))
                ShowMessage(this, QString::fromLatin1(kBackupLoadFailedText),
                            QString::fromLatin1(kAppTitle));
            return;
    }
}

bool CPartitionPage::SearchSelectedDrive() {
    const PhysicalDriveInfo* drive = SelectedDrive();
    if (!drive) return true;
    const int driveIndex = static_cast<int>(drive->driveIndex);
    model_.setPartitions({});
    FillPartitions();
    cancel_ = false;
    SearchResult result;
    progress_->setTitle(QStringLiteral("Searching for lost partitions..."));
    progress_->runWorker([&] {
        result = SearchDrive(driveIndex, {&cancel_, &app_.state().progress});
    });
    if (result.cancelled) return true;
    if (!result.completed) return false;
    model_.setSearchResult(std::move(result.records), DriveRecords(inventory_, drive->driveIndex));
    FillPartitions();
    update();
    return true;
}

bool CPartitionPage::LoadBackup(const std::string& path) {
    const PhysicalDriveInfo* drive = SelectedDrive();
    BackupContents backup;
    std::string error;
    if (!drive || !ReadBackupFile(path, backup, error) || !BackupBelongsTo(backup, *drive))
        return false;
    model_.setPartitions(std::move(backup.records));
    FillPartitions();
    update();
    return true;
}

bool CPartitionPage::Ask(const QString& text, const QString& caption, bool warning) {
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, caption, text,
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void CPartitionPage::Recover() {
    if (!Ask(QString::fromLatin1(kRecoverConfirmText), QStringLiteral("Warning"), true)) return;
    const PhysicalDriveInfo* drive = SelectedDrive();
    const PartitionRecord* selected = model_.selectedPartition();
    const PartitionRecord partition = selected ? *selected : PartitionRecord{};
    RestoreRequest request;
    request.driveIndex = drive ? static_cast<int>(drive->driveIndex) : -1;
    request.partition = selected ? &partition : nullptr;
    if (drive) {
        EnsureFolder(UserBackupFolder());
        request.undoPath = DefaultUndoPath(*drive);
        request.tableBackup = SerializeBackup(*drive, DriveRecords(inventory_, drive->driveIndex));
    }
    // Nothing cancels a restore: once it writes, it writes every sector.
    RestoreOutcome outcome;
    progress_->setTitle(QStringLiteral("Restoring the partition..."));
    progress_->runWorker([&] {
        app_.state().progress.setText("Writing the partition table");
        outcome = RestorePartition(request);
    });
    std::string text, caption;
    const bool ok = RestoreOutcomeMessage(outcome, text, caption);
    if (ok) {
        model_.setLastUndo(request.undoPath);
        undoDrive_ = request.driveIndex;
        undo_->setEnabled(true);
        undo_->setToolTip(Q(request.undoPath));
        inventory_.Refresh();
        update();
    }
    ShowMessage(this, Q(text), Q(caption), ok ? MessageIcon::Information : MessageIcon::Error);
}

void CPartitionPage::UndoLastRestore() {
    if (model_.lastUndo().empty()) return;
    if (!Ask(QString::fromLatin1(kUndoConfirmText), QStringLiteral("Confirm"), true)) return;
    UndoFile undo;
    std::string error;
    bool done = false;
    if (ReadUndoFile(model_.lastUndo(), undo, error)) {
        progress_->setTitle(QStringLiteral("Undoing the last restore..."));
        progress_->runWorker([&] {
            DevicePtr device;
            if (DeviceTable::Global().openDrive(undoDrive_, Access::ReadWrite, device) !=
                kSuccess) {
                error = "cannot open the drive for writing";
                return;
            }
            done = ApplyUndo(*device, undo, error);
        });
    }
    if (!done) {
        ShowMessage(this, QStringLiteral("The restore could not be undone: %1").arg(Q(error)),
                    QStringLiteral("Error"), MessageIcon::Error);
        return;
    }
    model_.setLastUndo({});
    undoDrive_ = -1;
    undo_->setEnabled(false);
    undo_->setToolTip({});
    inventory_.Refresh();
    update();
    ShowMessage(this,
                QStringLiteral("The last restore was undone: %1 sector(s) written back.")
                    .arg(undo.writes.size()),
                QStringLiteral("Success"));
}

void CPartitionPage::Backup() {
    if (!Ask(QString::fromLatin1(kBackupConfirmText), QStringLiteral("Confirm"), false)) return;
    const PhysicalDriveInfo* drive = SelectedDrive();
    EnsureFolder(UserBackupFolder());
    // Named after the drive, so the list of this drive's backups finds it.
    const QString proposed =
        drive ? Q(UserBackupFolder() + "/" + drive->model() + ".pbf") : Q(UserBackupFolder());
    QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), proposed, kBackupFilter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pbf");
    if (!drive ||
        !WriteBackupFile(path.toStdString(), *drive, DriveRecords(inventory_, drive->driveIndex))) {
        ShowMessage(this, QString::fromLatin1(kBackupFailedText), QStringLiteral("Error"),
                    MessageIcon::Error);
        return;
    }
    for (const auto& listed : ListBackups(drive->model(), BackupFolders())) {
        if (QFileInfo(Q(listed.path)) == QFileInfo(path)) {
            model_.addBackupFile(listed.path);
            FillSources();
            break;
        }
    }
    ShowMessage(this, QString::fromLatin1(kBackupDoneText), QStringLiteral("Success"));
}

void CPartitionPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, SkinPixmap(213, QSize(772, 107)));
    p.drawPixmap(0, 107, SkinPixmap(204, QSize(772, 362)));

    const MapRect m = mapRect();
    const QRect frame = WinRect(m.left, m.top, m.right, m.bottom);
    p.fillRect(frame, QColor(115, 145, 175));
    p.setPen(Qt::black);
    p.setBrush(QColor(180, 200, 210));
    p.drawRect(frame.adjusted(3, 3, -4, -4));
    p.setBrush(Qt::NoBrush);
    p.setFont(SkinFont(8));

    const PhysicalDriveInfo* drive = SelectedDrive();
    if (!drive) return;
    const int64_t size = drive->sizeBytes;
    for (const DiskMapStrip& s :
         DiskMapStrips(DriveRecords(inventory_, drive->driveIndex), size, m)) {
        if (s.right <= s.left + 1) continue;
        p.fillRect(WinRect(s.left + 1, m.top + 8, s.right, m.top + 18), Colour(s.colour));
        const QRect box = WinRect(s.left + 1, m.top + 21, s.right, m.bottom - 8);
        p.fillRect(box, Qt::white);
        p.setPen(Qt::black);
        p.drawRect(box.adjusted(0, 0, -1, -1));
        p.drawText(QRect(box.left() + 5, box.top(), box.width() - 7, kMapTextLane),
                   Qt::AlignLeft | Qt::AlignVCenter, Q(s.text));
    }
    // The bar keeps to the space under the labels, so it never covers them.
    if (const PartitionRecord* r = model_.selectedPartition()) {
        const DiskMapStrip bar = SelectionBar(*r, size, m);
        p.fillRect(WinRect(bar.left + 1, m.top + 21 + kMapTextLane, bar.right - 1, m.bottom - 8),
                   Colour(bar.colour));
    }
}

QWidget* CreatePartitionPage(CTolamApp& app, QWidget* parent) {
    return new CPartitionPage(app, parent);
}

}  // namespace vantor::ui
