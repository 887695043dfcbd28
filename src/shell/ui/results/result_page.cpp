#include "shell/ui/results/result_page.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QTimer>
#include <algorithm>

#include "dialogs/destination.h"
#include "dialogs/preview.h"
#include "report/recovery_report.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/criteria_dialog.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/file_icons.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "shell/ui/dialogs/preview_dialogs.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/results/result_tree_view.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "shell/ui/ui_thread.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

constexpr int kPageWidth = 770;
const QColor kSummaryColour(0xF0, 0xF0, 0xF0);
const QRect kPaneRect = WinRect(10, 116, 760, 398);
constexpr int kNoteHeight = 22;

// What a reader hands back that is still worth showing: the whole data, or
// data with unmapped parts read as zeros.
bool Usable(ErrorCode rc, const std::vector<std::byte>& out) {
    return (rc == kSuccess || rc == kErrHandleEof) && !out.empty();
}

}  // namespace

CResultPage::CResultPage(CTolamApp& app, int mode, std::unique_ptr<EngineSession> session,
                         const ClassNames& names, QWidget* parent)
    : QWidget(parent), app_(app), mode_(mode), session_(std::move(session)), model_(session_->pageModel()) {
    setObjectName(names.page);
    resize(kPageWidth, 469);
    model_->setTypeNamer([](const std::string& name) { return S(FileTypeNameFor(Q(name))); });
    model_->setListener(this);
    // Found items, and the model's start and end of a scan, are placed here.
    session_->setModelThread([this](const std::function<void()>& fn) { BlockingCall(this, fn); });
    progress_ = new CProgressDlg(app_.state().progress, this);
    connect(progress_, &CProgressDlg::stopRequested, this, [this] { SendWindowMessage(this, kMsgStop, 0, 0); });
    prompt_ = new CQtUserPrompt(this, this);
    makeControls();
    tree_->setObjectName(names.tree);
    list_->setObjectName(names.list);
    // The scan starts from the first tick of a timer, once the page is up.
    QTimer::singleShot(kStartTimerMs, this, [this] { startScan(); });
}

CResultPage::~CResultPage() {
    // Every worker runs inside a modal loop of this page and is joined there;
    // nothing can still be running here. Clear the flags all the same.
    running_ = false;
    continue_ = false;
    model_->setListener(nullptr);
    session_->setModelThread({});
    // The views read the model, which the session owns; take them down first.
    delete pane_;
    pane_ = nullptr;
}

void CResultPage::makeControls() {
    home_ = new CSkinButton(QStringLiteral("Home"), this, WinRect(13, 9, 143, 103), kHome);
    home_->SetFaces(156, 140, 294, 156);
    properties_ = new CSkinButton(QStringLiteral("Properties"), this, WinRect(120, 17, 120, 17), kProperties);
    properties_->SetFaces(218, 221, 262, 218);
    properties_->setFocusPolicy(Qt::NoFocus);  // no size, nothing to reach
    help_ = new CSkinButton(QStringLiteral("Help"), this, WinRect(468, 9, 598, 103), kHelp);
    help_->SetFaces(139, 138, 293, 139);
    about_ = new CSkinButton(QStringLiteral("About"), this, WinRect(623, 9, 753, 103), kAbout);
    about_->SetFaces(220, 219, 292, 220);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("scanNote"));
    note_->setGeometry(kPaneRect.left(), kPaneRect.top(), kPaneRect.width(), kNoteHeight - 2);
    note_->setFont(DialogFont(8, true));
    note_->setStyleSheet(QStringLiteral(
        "QLabel { background: #FFF6D6; color: #5A4300; border: 1px solid #E3C766; padding-left: 6px; }"));
    note_->hide();

    pane_ = new QSplitter(Qt::Horizontal, this);
    NameControl(pane_, kPane);
    pane_->setGeometry(kPaneRect);
    pane_->setChildrenCollapsible(false);
    pane_->setHandleWidth(5);
    pane_->setStyleSheet(QStringLiteral(
        "QSplitter::handle { background: #D8E3EE; }"
        "QTreeView, QListView { background: #FFFFFF; border: 1px solid #AFC0D1;"
        " selection-background-color: #12A5A0; selection-color: #FFFFFF; }"
        "QTreeView:focus, QListView:focus { border: 1px solid #12A5A0; }"
        "QTreeView { alternate-background-color: #F3F7FA; }"
        "QHeaderView::section { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:1 #E6EDF4);"
        " color: #12263F; border: none; border-right: 1px solid #C7D5E3; border-bottom: 1px solid #AFC0D1;"
        " padding: 3px 6px; }"));
    tree_ = new CResultTreeView(QString(), pane_);
    tree_->setMinimumWidth(20);
    list_ = new CResultListView(QString(), pane_);
    tree_->setModel(model_);
    list_->setModel(model_);
    tree_->setListView(list_);
    tree_->setPage(this);
    list_->setTreeView(tree_);
    pane_->addWidget(tree_);
    pane_->addWidget(list_);
    pane_->setSizes({200, pane_->width() - 200 - pane_->handleWidth()});
    pane_->setStretchFactor(1, 1);
    connect(list_, &CResultListView::previewRequested, this, &CResultPage::previewSelected);

    filterSwitch_ = new QCheckBox(this);
    NameControl(filterSwitch_, kFilterSwitch);
    filterSwitch_->setGeometry(WinRect(14, 430, 32, 448));
    filterSwitch_->setToolTip(QStringLiteral("Filter the file list"));
    filterSwitch_->setStyleSheet(QStringLiteral(
        "QCheckBox::indicator { width: 14px; height: 14px; border: 1px solid #5EE1D2; border-radius: 3px;"
        " background: #143459; }"
        "QCheckBox::indicator:checked { background: #12A5A0; image: none; }"
        "QCheckBox::indicator:hover, QCheckBox::indicator:focus { border-color: #FFFFFF; }"));
    connect(filterSwitch_, &QCheckBox::toggled, this, &CResultPage::setFilterSwitch);

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

    // Tab walks the page as it reads: top bar, tree, list, then the footer.
    QWidget* order[] = {home_, help_, about_, tree_, list_, filterSwitch_, filter_, viewMode_, back_, next_, recovery_};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    connect(home_, &QAbstractButton::clicked, this, [this] { GoHome(this); });
    connect(help_, &QAbstractButton::clicked, this, [] { ShowHelp(); });
    connect(about_, &QAbstractButton::clicked, this, [this] { ShowProductPage(this); });
    connect(back_, &QAbstractButton::clicked, this, [this] { GoBackToBrowser(this, mode_); });
    connect(filter_, &QAbstractButton::clicked, this, &CResultPage::openFilterDialog);
    connect(viewMode_, &QAbstractButton::clicked, this, &CResultPage::showViewModeMenu);
    connect(recovery_, &QAbstractButton::clicked, this, &CResultPage::recover);
}

CSkinButton* CResultPage::button(int id) const {
    for (CSkinButton* b : {home_, properties_, help_, about_, filter_, viewMode_, back_, next_, recovery_})
        if (b && b->commandId() == id) return b;
    return nullptr;
}

void CResultPage::startScan() {
    if (scanStarted_) return;
    scanStarted_ = true;
    progress_->setTitle(QString::fromLatin1(model_->scanTitle()));
    // Raised before the worker starts so a Cancel while the volume opens is not lost.
    running_ = true;
    scanning_ = true;
    scanStartedAt_ = std::chrono::system_clock::now();
    tree_->clear();
    const ScanKind kind = mode_ == kModeFormatted ? ScanKind::Formatted : ScanKind::Deleted;
    progress_->runWorker([this, kind] {
        scanError_ = session_->scan(kind, app_.state(), running_);
        running_ = false;
    });
    scanning_ = false;
    tree_->rebuild();
    list_->reload();
    scanDone_ = true;
    showScanNote();
    update();
}

void CResultPage::nodeAdded(FolderNode& node) {
    if (scanning_) tree_->addNode(node);
}

void CResultPage::totalsChanged() { update(anchorRect(kFolderTotalsAnchor).adjusted(-80, -4, 4, 4)); }

void CResultPage::showScanNote() {
    const bool deleted = mode_ != kModeFormatted;
    if (scanCancelled_)
        scanNote_ = QStringLiteral("The scan was cancelled: the list holds what was found until Cancel.");
    else if (scanError_ != kSuccess && !session_->scanErrorText().empty())
        scanNote_ = QStringLiteral("Nothing was found: %1.").arg(QString::fromStdString(session_->scanErrorText()));
    else if (scanError_ != kSuccess)
        scanNote_ = QStringLiteral("Nothing was found: the partition could not be read.");
    else if (const std::string engineNote = session_->scanNote(); !engineNote.empty())
        scanNote_ = QString::fromStdString(engineNote);  // e.g. found records cut at the memory limit
    else if (model_->foundFiles() == 0)
        scanNote_ = mode_ == kModeRaw ? QStringLiteral("The scan found no files of the chosen types here.")
                    : deleted ? QStringLiteral("The scan found no deleted files on this partition.")
                            : QStringLiteral("The scan found no files on this partition.");
    else
        scanNote_.clear();
    note_->setText(scanNote_);
    note_->setVisible(!scanNote_.isEmpty());
    pane_->setGeometry(scanNote_.isEmpty() ? kPaneRect : kPaneRect.adjusted(0, kNoteHeight, 0, 0));
}

void CResultPage::stop() {
    if (scanning_ && running_) scanCancelled_ = true;
    continue_ = false;
    running_ = false;
}

bool CResultPage::event(QEvent* e) {
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

QRect CResultPage::anchorRect(int id) const {
    return id == kFolderTotalsAnchor ? WinRect(314, 416, 446, 436) : WinRect(314, 440, 446, 460);
}

QString CResultPage::folderTotalsLine() const { return Q(model_->summaryText(0)); }
QString CResultPage::selectionTotalsLine() const { return Q(model_->summaryText(1)); }

void CResultPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, SkinPixmap(213, QSize(772, 107)), 0, 0, kPageWidth, 107);
    p.drawPixmap(0, 107, SkinPixmap(172, QSize(kPageWidth, 362)));

    // The two summary lines over the footer, each with a small caption.
    QFont caption = DialogFont(7, true);
    caption.setLetterSpacing(QFont::PercentageSpacing, 108);
    for (int line = 0; line < 2; ++line) {
        const QRect r = anchorRect(line == 0 ? kFolderTotalsAnchor : kSelectionTotalsAnchor);
        p.setFont(caption);
        p.setPen(QColor(0x5E, 0xE1, 0xD2));
        p.drawText(QRect(258, r.top(), r.left() - 258, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromLatin1(model_->summaryCaption(line)));
        p.setFont(DialogFont(8));
        p.setPen(kSummaryColour);
        p.drawText(QRect(r.left() + 4, r.top() + 5, r.width() - 4, r.height() - 5), Qt::AlignLeft | Qt::AlignTop,
                   line == 0 ? folderTotalsLine() : selectionTotalsLine());
    }
    // Where the filter switch sits, say what it does.
    p.setFont(caption);
    p.setPen(QColor(0x5E, 0xE1, 0xD2));
    p.drawText(QRect(8, 411, 60, 12), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("FILTER"));
}

void CResultPage::setFilterSwitch(bool on) {
    if (filterSwitch_->isChecked() != on) {
        filterSwitch_->setChecked(on);  // comes back here through toggled()
        return;
    }
    filter_->setEnabled(on);
    if (model_->setFilterEnabled(on)) list_->reload();
    list_->applyViewMode();
}

void CResultPage::openFilterDialog() {
    CSearchFilesDlg dlg(model_->pageFilter(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    model_->filterEdited();
    list_->reload();
    list_->applyViewMode();
}

void CResultPage::showViewModeMenu() {
    QMenu menu(QStringLiteral("ViewMode"), this);
    menu.setObjectName(QStringLiteral("ViewMode"));
    QAction* thumbs = menu.addAction(QStringLiteral("Thumbnails"));
    thumbs->setData(static_cast<int>(ResultViewMode::Thumbnails));
    QAction* details = menu.addAction(QStringLiteral("Details"));
    details->setData(static_cast<int>(ResultViewMode::Details));
    for (QAction* a : {thumbs, details}) {
        a->setCheckable(true);
        a->setChecked(a->data().toInt() == static_cast<int>(model_->viewMode()));
    }
    const QPoint above = viewMode_->mapToGlobal(QPoint(0, -menu.sizeHint().height()));
    if (QAction* chosen = menu.exec(above)) chooseViewMode(static_cast<ResultViewMode>(chosen->data().toInt()));
}

void CResultPage::chooseViewMode(ResultViewMode mode) {
    if (model_->setViewMode(mode))
        runThumbnails();
    else
        list_->applyViewMode();
}

void CResultPage::runThumbnails() {
    struct Item {
        size_t image;
        size_t row;
        std::string name;
        uint64_t size;
    };
    std::vector<Item> items;
    for (size_t row = 0; row < model_->rowCount(); ++row)
        items.push_back({model_->rowImageIndex(row), row, model_->rowName(row), model_->rowSize(row)});
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.image < b.image; });
    ResultListModel* listModel = list_->listModel();
    listModel->resetThumbnails(items.size());

    continue_ = true;
    progress_->setTitle(QString::fromLatin1(kThumbnailTitle));
    // The rows stay as they are while the modal dialog is up.
    progress_->runWorker([this, items, listModel] {
        ProgressFields& progress = app_.state().progress;
        progress.m_nProgressTotal = static_cast<uint32_t>(items.size());
        progress.setText({});
        for (size_t i = 0; i < items.size(); ++i) {
            progress.m_nProgressPos = static_cast<uint32_t>(i);
            const Item& item = items[i];
            QImage picture;
            const int type = ImageTypeForName(item.name);
            if (type != kImageNone && continue_ && item.size <= kMaxPicturePreviewBytes) {
                std::vector<std::byte> bytes;
                if (Usable(session_->readRow(item.row, item.size, bytes), bytes))
                    picture = DecodePicture(bytes.data(), bytes.size(), type);
            }
            BlockingCall(listModel, [&] {
                listModel->setThumbnail(item.image, ComposeThumbnail(picture, LargeFileIconImage(Q(item.name))));
            });
        }
        BlockingCall(list_, [this] { SendWindowMessage(list_, kMsgThumbnailsDone, 0, 0); });
    });
}

void CResultPage::previewSelected() {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= model_->rowCount()) {
        ShowMessage(this, QString::fromLatin1(kSelectFileToPreviewText), QString::fromLatin1(kNoticeCaption),
                    MessageIcon::Information);
        return;
    }
    const auto r = static_cast<size_t>(row);
    // Bounded: a picture up to the preview cap, else the dump's head.
    const FileReader read = [&](uint64_t n, std::vector<std::byte>& out) {
        return Usable(session_->readRow(r, n, out), out);
    };
    PreviewFoundFile(Q(model_->rowName(r)), model_->rowSize(r), model_->dumpBytes(), read, this, present_);
}

QString CResultPage::startFolder() const {
    const QString last = Q(app_.state().lastDestination);
    if (!last.isEmpty() && QDir(last).exists()) return last;
    return QDir::homePath();
}

void CResultPage::recover() {
    if (!model_->canRecover()) {
        ShowMessage(this, QString::fromLatin1(model_->nothingCheckedText()), QString::fromLatin1(kNoticeCaption),
                    MessageIcon::Information);
        return;
    }
    const QString chosen = chooseFolder_ ? chooseFolder_(this)
                                         : QFileDialog::getExistingDirectory(
                                               this, QString::fromLatin1(kSaveRecoveredTitle), startFolder(),
                                               QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return;
    if (session_->checkDestination(S(chosen)) != DestinationCheck::Ok) {
        ShowMessage(this, QString::fromLatin1(kSelectOtherDriveText), QString::fromLatin1(kNoticeCaption),
                    MessageIcon::Information);
        return;
    }
    continue_ = true;
    destination_ = Q(StoredDestination(S(chosen)));
    app_.state().lastDestination = S(chosen);
    const std::string destination = S(destination_);
    progress_->setTitle(QString::fromLatin1(model_->recoveryTitle()));
    running_ = true;
    session_->setHashWritten(true);  // for the report
    reportPath_.clear();
    progress_->runWorker([this, destination] {
        lastRecovery_ = session_->recover(destination, *prompt_, app_.state(), running_);
        running_ = false;
        writeReport(destination);
    });
    recoveryRan_ = true;
    showRecoverySummary();
}

void CResultPage::writeReport(const std::string& destination) {
    const RecoveryOutcome& r = lastRecovery_;
    if (r.refused || r.deviceError != kSuccess) return;
    // No image hash here: it would read the whole drive once more.
    const RecoveryRun run{&app_.state().currentPartition, -1, mode_ == kModeFormatted ? "formatted" : mode_ == kModeRaw ? "raw" : "deleted",
                          destination, scanStartedAt_, std::chrono::system_clock::now(), false};
    const std::string path = FreeReportPath(destination, r);
    if (WriteRecoveryReport(path, run, r)) reportPath_ = Q(path);
}

void CResultPage::showRecoverySummary() {
    const RecoveryOutcome& r = lastRecovery_;
    // A run that could not start has told why already.
    if (r.refused || r.deviceError != kSuccess) return;
    QString text = QStringLiteral("%1 files recovered to %2").arg(r.written).arg(QDir::toNativeSeparators(destination_));
    if (r.failed) text += QStringLiteral("\n%1 files could not be recovered.").arg(r.failed);
    if (r.skipped) text += QStringLiteral("\n%1 files were skipped.").arg(r.skipped);
    if (r.cancelled) text += QStringLiteral("\nThe recovery was stopped before the end.");
    if (reportPath_.isEmpty()) text += QStringLiteral("\nThe recovery report could not be written.");
    ShowWorkSummary(this, text, QStringLiteral("Recovery"), destination_);
}

}  // namespace vantor::ui
