#include "shell/ui/fat/fat_page.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QTimer>
#include <algorithm>

#include "dialogs/destination.h"
#include "dialogs/preview.h"
#include "fat/fat_scan.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/criteria_dialog.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/file_icons.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "shell/ui/dialogs/preview_dialogs.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/fat/fat_list_view.h"
#include "shell/ui/fat/fat_tree_view.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "shell/ui/ui_thread.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

constexpr int kPageWidth = 770;
constexpr int kFooterTop = 407;  // the dark band of the page background
const QColor kSummaryColour(0xF0, 0xF0, 0xF0);

FatKind KindOf(int fatKind) { return fatKind == 2 ? FatKind::Fat32 : FatKind::Fat16; }

}  // namespace

CFatResultPage::CFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent)
    : QWidget(parent), app_(app), mode_(mode), fatKind_(fatKind), model_(mode, KindOf(fatKind)) {
    setObjectName(QStringLiteral("CFatResultPage"));
    resize(kPageWidth, 469);
    model_.setTypeNameProvider([](const std::string& name) { return S(FileTypeNameFor(Q(name))); });
    progress_ = new CProgressDlg(app_.state().progress, this);
    connect(progress_, &CProgressDlg::stopRequested, this,
            [this] { SendWindowMessage(this, kMsgStop, 0, 0); });
    prompt_ = new CQtUserPrompt(this, this);
    makeControls();
    // The scan starts from the first tick of a timer, once the page is up.
    QTimer::singleShot(kStartTimerMs, this, [this] { startScan(); });
}

CFatResultPage::~CFatResultPage() {
    // Every worker runs inside a modal loop of this page and is joined there;
    // nothing can still be running here. Clear the flags all the same.
    running_ = false;
    continue_ = false;
    // The views read the model, a member, which goes before the base class
    // deletes its children: take them down while the model is still whole.
    delete pane_;
    pane_ = nullptr;
}

void CFatResultPage::makeControls() {
    home_ = new CSkinButton(QStringLiteral("Home"), this, WinRect(13, 9, 143, 103), kHome);
    home_->SetFaces(156, 140, 294, 156);
    properties_ = new CSkinButton(QStringLiteral("Properties"), this, WinRect(120, 17, 120, 17), kProperties);
    properties_->SetFaces(218, 221, 262, 218);
    help_ = new CSkinButton(QStringLiteral("Help"), this, WinRect(468, 9, 598, 103), kHelp);
    help_->SetFaces(139, 138, 293, 139);
    about_ = new CSkinButton(QStringLiteral("About"), this, WinRect(623, 9, 753, 103), kAbout);
    about_->SetFaces(220, 219, 292, 220);

    pane_ = new QSplitter(Qt::Horizontal, this);
    NameControl(pane_, kPane);
    pane_->setGeometry(WinRect(10, 116, 760, 398));
    pane_->setChildrenCollapsible(false);
    pane_->setHandleWidth(5);
    pane_->setStyleSheet(QStringLiteral(
        "QSplitter::handle { background: #D8E3EE; }"
        "QTreeView, QListView { background: #FFFFFF; border: 1px solid #AFC0D1;"
        " selection-background-color: #12A5A0; selection-color: #FFFFFF; }"
        "QTreeView { alternate-background-color: #F3F7FA; }"
        "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #E6EDF4);"
        " color: #12263F; border: none; border-right: 1px solid #C7D5E3; border-bottom: 1px solid #AFC0D1;"
        " padding: 3px 6px; }"));
    tree_ = new TTreeView_FAT(model_, pane_);
    tree_->setMinimumWidth(20);
    list_ = new TListView_FAT(model_, pane_);
    tree_->setListView(list_);
    tree_->setPage(this);
    list_->setTreeView(tree_);
    list_->setPage(this);
    pane_->addWidget(tree_);
    pane_->addWidget(list_);
    pane_->setSizes({200, pane_->width() - 200 - pane_->handleWidth()});
    pane_->setStretchFactor(1, 1);
    connect(list_, &TListView_FAT::previewRequested, this, &CFatResultPage::previewSelected);

    filterSwitch_ = new QCheckBox(this);
    NameControl(filterSwitch_, kFilterSwitch);
    filterSwitch_->setGeometry(WinRect(14, 430, 32, 448));
    filterSwitch_->setToolTip(QStringLiteral("Filter the file list"));
    filterSwitch_->setStyleSheet(QStringLiteral(
        "QCheckBox::indicator { width: 14px; height: 14px; border: 1px solid #5EE1D2; border-radius: 3px;"
        " background: #143459; }"
        "QCheckBox::indicator:checked { background: #12A5A0; image: none; }"
        "QCheckBox::indicator:hover { border-color: #FFFFFF; }"));
    connect(filterSwitch_, &QCheckBox::toggled, this, &CFatResultPage::setFilterSwitch);

    filter_ = new CSkinButton(QStringLiteral("Filter"), this, WinRect(36, 423, 128, 455), kFilter);
    filter_->SetFaces(405, 406, 407, 408);
    filter_->setEnabled(false);
    viewMode_ = new CSkinButton(QStringLiteral("View Mode"), this, WinRect(136, 423, 246, 455), kViewMode);
    viewMode_->SetFaces(409, 410, 411, 412);
    back_ = new CSkinButton(QStringLiteral("Back"), this, WinRect(452, 423, 544, 455), kBack);
    back_->SetFaces(413, 414, 415, 416);
    next_ = new CSkinButton(QStringLiteral("Next"), this, WinRect(552, 423, 644, 455), kNext);
    next_->SetFaces(162, 161, 209, 167);
    next_->setEnabled(false);
    recovery_ = new CSkinButton(QStringLiteral("Recovery"), this, WinRect(652, 423, 762, 455), kRecovery);
    recovery_->SetFaces(401, 402, 403, 404);

    connect(home_, &QAbstractButton::clicked, this, [this] { GoHome(this); });
    connect(help_, &QAbstractButton::clicked, this, [] { ShowHelp(); });
    connect(about_, &QAbstractButton::clicked, this, [this] { ShowProductPage(this); });
    connect(back_, &QAbstractButton::clicked, this, [this] { GoBackToBrowser(this, mode_); });
    connect(filter_, &QAbstractButton::clicked, this, &CFatResultPage::openFilterDialog);
    connect(viewMode_, &QAbstractButton::clicked, this, &CFatResultPage::showViewModeMenu);
    connect(recovery_, &QAbstractButton::clicked, this, &CFatResultPage::recover);
}

CSkinButton* CFatResultPage::button(int id) const {
    for (CSkinButton* b : {home_, properties_, help_, about_, filter_, viewMode_, back_, next_, recovery_})
        if (b && b->commandId() == id) return b;
    return nullptr;
}

void CFatResultPage::startScan() {
    if (scanStarted_) return;
    scanStarted_ = true;
    const AppState& st = app_.state();
    const PartitionRecord record = st.currentPartition;
    const FatScanOptions options = model_.scanOptions(st.currentRoot, st.currentFolder, st.fileTypeGroup,
                                                      st.rangeStart, st.rangeEnd, record.startSector);
    const FilterCriteria criteria = st.criteria;
    progress_->setTitle(QString::fromLatin1(model_.scanTitle()));
    // Raised before the worker starts so a Cancel during the FAT read is not lost.
    running_ = true;
    progress_->runWorker([this, record, options, criteria] {
        std::unique_ptr<CFatVolume> volume = OpenFatVolume(record, fatKind_);
        if (!volume->opened()) {
            // A partition the engine cannot open leaves the tree empty.
            scanError_ = volume->openError();
            running_ = false;
            return;
        }
        ProgressFields& progress = app_.state().progress;
        lastScan_ = mode_ == kModeFormatted
                        ? ScanLostFolders(*volume, model_.tree(), &criteria, progress, running_, options)
                        : ScanDeleted(*volume, model_.tree(), &criteria, progress, running_, options);
        running_ = false;
    });
    model_.scanFinished();
    tree_->rebuild();
    list_->reload();
    scanDone_ = true;
    update();
}

void CFatResultPage::stop() {
    continue_ = false;
    running_ = false;
}

bool CFatResultPage::event(QEvent* e) {
    if (e->type() == WindowMessageEvent::eventType()) {
        auto* msg = static_cast<WindowMessageEvent*>(e);
        switch (msg->message) {
            case kMsgStop:
                stop();
                msg->result = 1;
                return true;
            case kMsgCheckPropagation:  // selection totals from the tree
            case kMsgFolderTotals:      // folder totals from the tree
                update(anchorRect(msg->message == kMsgFolderTotals ? kFolderTotalsAnchor : kSelectionTotalsAnchor)
                           .adjusted(-80, -4, 4, 4));
                msg->result = 1;
                return true;
            default:
                break;
        }
    }
    return QWidget::event(e);
}

QRect CFatResultPage::anchorRect(int id) const {
    return id == kFolderTotalsAnchor ? WinRect(314, 416, 446, 436) : WinRect(314, 440, 446, 460);
}

QString CFatResultPage::folderTotalsLine() const { return Q(model_.folderTotalsText()); }
QString CFatResultPage::selectionTotalsLine() const { return Q(model_.selectionTotalsText()); }

void CFatResultPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, SkinPixmap(213, QSize(772, 107)), 0, 0, kPageWidth, 107);
    p.drawPixmap(0, 107, SkinPixmap(172, QSize(kPageWidth, 362)));

    // The two summary lines over the footer, each with a small caption.
    QFont caption = DialogFont(7, true);
    caption.setLetterSpacing(QFont::PercentageSpacing, 108);
    const struct {
        int id;
        const char* label;
        QString line;
    } lines[] = {{kFolderTotalsAnchor, "FOLDER", folderTotalsLine()},
                 {kSelectionTotalsAnchor, "CHECKED", selectionTotalsLine()}};
    for (const auto& l : lines) {
        const QRect r = anchorRect(l.id);
        p.setFont(caption);
        p.setPen(QColor(0x5E, 0xE1, 0xD2));
        p.drawText(QRect(258, r.top(), r.left() - 258, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromLatin1(l.label));
        p.setFont(DialogFont(8));
        p.setPen(kSummaryColour);
        p.drawText(QRect(r.left() + 4, r.top() + 5, r.width() - 4, r.height() - 5), Qt::AlignLeft | Qt::AlignTop,
                   l.line);
    }
    // Where the filter switch sits, say what it does.
    p.setFont(caption);
    p.setPen(QColor(0x5E, 0xE1, 0xD2));
    p.drawText(QRect(8, 411, 60, 12), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("FILTER"));
}

void CFatResultPage::setFilterSwitch(bool on) {
    if (filterSwitch_->isChecked() != on) {
        filterSwitch_->setChecked(on);  // comes back here through toggled()
        return;
    }
    filter_->setEnabled(on);
    if (model_.setFilterEnabled(on)) list_->reload();
    list_->applyViewMode();
}

void CFatResultPage::openFilterDialog() {
    CSearchFilesDlg dlg(model_.pageFilter(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    model_.filterEdited();
    list_->reload();
    list_->applyViewMode();
}

void CFatResultPage::showViewModeMenu() {
    QMenu menu(QStringLiteral("ViewMode"), this);
    menu.setObjectName(QStringLiteral("ViewMode"));
    QAction* thumbs = menu.addAction(QStringLiteral("Thumbnails"));
    thumbs->setData(static_cast<int>(FatViewMode::Thumbnails));
    QAction* details = menu.addAction(QStringLiteral("Details"));
    details->setData(static_cast<int>(FatViewMode::Details));
    for (QAction* a : {thumbs, details}) {
        a->setCheckable(true);
        a->setChecked(a->data().toInt() == static_cast<int>(model_.viewMode()));
    }
    const QPoint above = viewMode_->mapToGlobal(QPoint(0, -menu.sizeHint().height()));
    if (QAction* chosen = menu.exec(above)) chooseViewMode(static_cast<FatViewMode>(chosen->data().toInt()));
}

void CFatResultPage::chooseViewMode(FatViewMode mode) {
    if (model_.setViewMode(mode))
        runThumbnails();
    else
        list_->applyViewMode();
}

void CFatResultPage::runThumbnails() {
    struct Item {
        size_t image;
        const FatFoundFile* record;
    };
    std::vector<Item> items;
    for (size_t row = 0; row < model_.rowCount(); ++row) items.push_back({model_.rowImageIndex(row), model_.rowRecord(row)});
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.image < b.image; });
    FatListModel* listModel = list_->listModel();
    listModel->resetThumbnails(items.size());

    continue_ = true;
    const PartitionRecord record = app_.state().currentPartition;
    progress_->setTitle(QString::fromLatin1(kFatThumbnailTitle));
    progress_->runWorker([this, items, record, listModel] {
        ProgressFields& progress = app_.state().progress;
        progress.m_nProgressTotal = static_cast<uint32_t>(items.size());
        progress.setText({});
        std::unique_ptr<CFatVolume> volume = OpenFatVolume(record, fatKind_);
        for (size_t i = 0; i < items.size(); ++i) {
            progress.m_nProgressPos = static_cast<uint32_t>(i);
            const FatFoundFile& r = *items[i].record;
            const std::string name = r.nameText();
            QImage picture;
            const int type = ImageTypeForName(name);
            if (type != kImageNone && continue_ && volume->opened() && r.size <= kMaxPicturePreviewBytes) {
                std::vector<std::byte> bytes;
                if (ReadFatFileHead(*volume, r, r.size, bytes) == kSuccess && !bytes.empty())
                    picture = DecodePicture(bytes.data(), bytes.size(), type);
            }
            BlockingCall(listModel, [&] {
                listModel->setThumbnail(items[i].image, ComposeThumbnail(picture, LargeFileIconImage(Q(name))));
            });
        }
        BlockingCall(list_, [this] { SendWindowMessage(list_, kMsgThumbnailsDone, 0, 0); });
    });
}

void CFatResultPage::previewSelected() {
    const int row = list_->currentRow();
    const FatFoundFile* record = row >= 0 ? model_.rowRecord(static_cast<size_t>(row)) : nullptr;
    if (!record) {
        ShowMessage(this, QString::fromLatin1(kSelectFileToPreviewText), QString::fromLatin1(kNoticeCaption),
                    MessageIcon::Information);
        return;
    }
    if (!previewVolume_) previewVolume_ = OpenFatVolume(app_.state().currentPartition, fatKind_);
    const FileReader read = [&](uint64_t n, std::vector<std::byte>& out) {
        if (!previewVolume_->opened()) return false;
        return ReadFatFileHead(*previewVolume_, *record, n, out) == kSuccess && !out.empty();
    };
    PreviewFoundFile(Q(record->nameText()), record->size, kFatDumpBytes, read, this, present_);
}

void CFatResultPage::recover() {
    if (!model_.canRecover()) {
        ShowMessage(this, QString::fromLatin1(kCheckFilesText), QString::fromLatin1(kNoticeCaption),
                    MessageIcon::Information);
        return;
    }
    QString chosen;
    if (chooseFolder_) {
        chosen = chooseFolder_(this);
    } else {
        chosen = QFileDialog::getExistingDirectory(this, QString::fromLatin1(kSaveRecoveredTitle), QString(),
                                                   QFileDialog::ShowDirsOnly);
    }
    if (chosen.isEmpty()) return;
    const PartitionRecord record = app_.state().currentPartition;
    const DestinationCheck check = model_.checkDestination(S(chosen), record);
    if (check != DestinationCheck::Ok) {
        ShowMessage(this, QString::fromLatin1(DestinationMessage(check)), QString::fromLatin1(kNoticeCaption),
                    MessageIcon::Information);
        return;
    }
    continue_ = true;
    destination_ = Q(StoredDestination(S(chosen)));
    const std::string destination = S(destination_);
    progress_->setTitle(QString::fromLatin1(kFatRecoveryTitle));
    running_ = true;
    progress_->runWorker([this, record, destination] {
        lastRecovery_ = RecoverFatFiles(record, fatKind_, model_.tree(), destination, *prompt_,
                                        app_.state().progress, running_);
        running_ = false;
    });
    recoveryRan_ = true;
}

QWidget* CreateFatResultPage(CTolamApp& app, int mode, int fatKind, QWidget* parent) {
    return new CFatResultPage(app, mode, fatKind, parent);
}

QWidget* CreateFatResultPage(const PageRequest& request) {
    return CreateFatResultPage(request.app, request.mode, request.fatKind, request.parent);
}

}  // namespace vantor::ui
