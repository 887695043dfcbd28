#include "mail/ui/mail_pages.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeWidget>

#include "dialogs/destination.h"
#include "mail/repair_run.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

constexpr int kLogTimerMs = 300;

const char* kListStyle =
    "QTreeWidget, QPlainTextEdit { background: #FFFFFF; color: #12263F; border: 1px solid #B9C9D9; }"
    "QTreeWidget::item { height: 20px; }"
    "QTreeWidget::item:selected { background: #D4F1EE; color: #0A1A33; }";

// The top bar every page has: Home, Help, About.
void AddTopBar(QWidget* page) {
    auto* home = new CSkinButton(QStringLiteral("Home"), page, WinRect(13, 9, 143, 103), 1021);
    home->SetFaces(156, 140, 294, 156);
    auto* help = new CSkinButton(QStringLiteral("Help"), page, WinRect(468, 9, 598, 103), 1022);
    help->SetFaces(139, 138, 293, 139);
    auto* about = new CSkinButton(QStringLiteral("About"), page, WinRect(623, 9, 753, 103), 10221);
    about->SetFaces(220, 219, 292, 220);
    QObject::connect(home, &QAbstractButton::clicked, page, [page] { GoHome(page); });
    QObject::connect(help, &QAbstractButton::clicked, page, [] { ShowHelp(); });
    QObject::connect(about, &QAbstractButton::clicked, page, [page] { ShowProductPage(page); });
}

void PaintBackground(QWidget* page, const QString& title) {
    QPainter p(page);
    p.drawPixmap(-1, 0, SkinPixmap(213, QSize(772, 107)));
    // The body is a plain panel: the browser's body image carries its own captions.
    const QRect panel(0, 107, page->width(), page->height() - 107);
    QLinearGradient fill(panel.topLeft(), panel.bottomLeft());
    fill.setColorAt(0, QColor(0xF4, 0xF8, 0xFB));
    fill.setColorAt(1, QColor(0xE1, 0xEA, 0xF3));
    p.fillRect(panel, fill);
    p.setFont(SkinFont(10, true));
    p.setPen(kSkinInk);
    p.drawText(WinRect(39, 118, 730, 140), Qt::AlignLeft | Qt::AlignVCenter, title);
}

QLabel* Label(QWidget* parent, const QString& text, const QRect& at) {
    auto* l = new QLabel(text, parent);
    l->setFont(SkinFont(8));
    l->setStyleSheet(QStringLiteral("color: #12263F; background: transparent;"));
    l->setGeometry(at);
    return l;
}

}  // namespace

QString DocumentsFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath() + QStringLiteral("/Documents");
    QDir().mkpath(folder);
    return folder;
}

CMailRepairPage::CMailRepairPage(CTolamApp& app, int repairMode, QWidget* parent)
    : QWidget(parent), app_(app), mode_(repairMode) {
    setObjectName(mode_ == kRepairModeDbx ? QStringLiteral("OutlookExpressRepair") : QStringLiteral("OutlookRepair"));
    AddTopBar(this);
    Label(this, mode_ == kRepairModeDbx ? QStringLiteral("Outlook Express stores to repair:")
                                        : QStringLiteral("Outlook personal folders files to repair:"),
          WinRect(39, 146, 500, 164));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("FileList"));
    list_->setGeometry(WinRect(39, 166, 600, 330));
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Folder")});
    list_->header()->setStretchLastSection(false);
    list_->header()->resizeSection(0, 150);
    list_->header()->resizeSection(1, 180);
    list_->setRootIsDecorated(false);
    list_->setFont(SkinFont(8));
    list_->setStyleSheet(QString::fromLatin1(kListStyle));
    auto* add = new QPushButton(QStringLiteral("Add files..."), this);
    add->setGeometry(WinRect(650, 166, 744, 192));
    add_ = add;
    connect(add, &QPushButton::clicked, this, [this] { onAdd(); });

    Label(this, QStringLiteral("Save the repaired files in:"), WinRect(39, 340, 300, 358));
    destination_ = new QLineEdit(this);
    destination_->setObjectName(QStringLiteral("Destination"));
    destination_->setGeometry(WinRect(39, 360, 600, 384));
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setGeometry(WinRect(650, 359, 744, 385));
    browse_ = browse;
    connect(browse, &QPushButton::clicked, this, [this] { onBrowse(); });
    RepairSettings& settings = app_.state().repair;
    if (settings.destination.empty()) settings.destination = S(DocumentsFolder());
    destination_->setText(Q(settings.destination));
    if (mode_ == kRepairModeDbx) {
        extract_ = new QCheckBox(QStringLiteral("Also save every message as an .eml file"), this);
        extract_->setGeometry(WinRect(39, 392, 400, 412));
        extract_->setFont(SkinFont(8));
        extract_->setChecked(settings.extractMessages);
    }

    back_ = new CSkinButton(QStringLiteral("Back"), this, WinRect(470, 420, 562, 452), 1024);
    back_->SetFaces(160, 159, 210, 159);
    next_ = new CSkinButton(QStringLiteral("Next"), this, WinRect(630, 420, 722, 452), 1025);
    next_->SetFaces(162, 161, 209, 167);
    next_->setEnabled(false);
    connect(back_, &QAbstractButton::clicked, this, [this] { GoBackToStart(this); });
    connect(next_, &QAbstractButton::clicked, this, [this] { onNext(); });
}

void CMailRepairPage::addFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        const QFileInfo info(path);
        auto* row = new QTreeWidgetItem(list_, {info.fileName(), QDir::toNativeSeparators(info.absolutePath())});
        row->setData(0, Qt::UserRole, info.absoluteFilePath());
    }
    next_->setEnabled(list_->topLevelItemCount() > 0);
}

void CMailRepairPage::onAdd() {
    const QString filter = mode_ == kRepairModeDbx ? QStringLiteral("Outlook Express files (*.dbx)")
                                                   : QStringLiteral("Outlook files (*.pst)");
    addFiles(chooseFiles_ ? chooseFiles_(this) : QFileDialog::getOpenFileNames(this, QString(), QString(), filter));
}

void CMailRepairPage::onBrowse() {
    const QString chosen = chooseFolder_ ? chooseFolder_(this)
                                         : QFileDialog::getExistingDirectory(this, QString::fromLatin1(kSaveRecoveredTitle),
                                                                             destination_->text(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) destination_->setText(chosen);
}

void CMailRepairPage::onNext() {
    RepairSettings& settings = app_.state().repair;
    settings.mode = mode_;
    settings.destination = S(destination_->text());
    settings.extractMessages = extract_ && extract_->isChecked();
    settings.sources.clear();
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        settings.sources.push_back(S(list_->topLevelItem(i)->data(0, Qt::UserRole).toString()));
    RequestPage(this, kPageEmailReport, mode_ == kRepairModeDbx ? kPageOutlookExpressRepair : kPageOutlookRepair);
}

void CMailRepairPage::paintEvent(QPaintEvent*) {
    PaintBackground(this, mode_ == kRepairModeDbx ? QStringLiteral("Outlook Express Repair")
                                                  : QStringLiteral("Outlook Repair"));
}

CRepairLogPage::CRepairLogPage(CTolamApp& app, int returnPage, QWidget* parent)
    : QWidget(parent), app_(app), returnPage_(returnPage) {
    setObjectName(QStringLiteral("RepairLog"));
    AddTopBar(this);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("10715"));
    log_->setGeometry(WinRect(39, 146, 730, 410));
    log_->setReadOnly(true);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setFont(SkinFont(8));
    log_->setStyleSheet(QString::fromLatin1(kListStyle));
    back_ = new CSkinButton(QStringLiteral("Back"), this, WinRect(470, 420, 562, 452), 1024);
    back_->SetFaces(160, 159, 210, 159);
    next_ = new CSkinButton(QStringLiteral("Next"), this, WinRect(630, 420, 722, 452), 1025);
    next_->SetFaces(162, 161, 209, 167);
    // Both wait for the end of the run.
    back_->setEnabled(false);
    next_->setEnabled(false);
    connect(back_, &QAbstractButton::clicked, this, [this] { RequestPage(this, returnPage_, 0); });
    connect(next_, &QAbstractButton::clicked, this, [this] { GoBackToStart(this); });
    prompt_ = std::make_unique<CQtUserPrompt>(this);
    // Timer 1001: its first tick stops it and starts the run.
    auto* timer = new QTimer(this);
    timer->setInterval(kLogTimerMs);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        timer->stop();
        start();
    });
    timer->start();
}

CRepairLogPage::~CRepairLogPage() {
    continue_ = false;
    // The worker may wait on a blocking call to this thread (a question, the
    // log): serve them until it has ended.
    while (running_.load()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (worker_.joinable()) worker_.join();
}

void CRepairLogPage::start() {
    const RepairSettings settings = app_.state().repair;
    running_ = true;
    QPointer<CRepairLogPage> self(this);
    worker_ = std::thread([this, settings, self] {
        auto shown = [this, self](const std::string& log) {
            QMetaObject::invokeMethod(this, [self, text = Q(log)] {
                if (self) self->log_->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            }, Qt::QueuedConnection);
        };
        RunRepair(settings, *prompt_, shown, &continue_);
        QMetaObject::invokeMethod(this, [self] { if (self) self->finished(); }, Qt::QueuedConnection);
        running_ = false;
    });
}

void CRepairLogPage::finished() {
    if (worker_.joinable()) worker_.join();
    done_ = true;
    back_->setEnabled(true);
    next_->setEnabled(true);
}

void CRepairLogPage::paintEvent(QPaintEvent*) { PaintBackground(this, QStringLiteral("Repair log")); }

QWidget* CreateMailRepairPage(CTolamApp& app, int page, QWidget* parent) {
    return new CMailRepairPage(app, page == kPageOutlookExpressRepair ? kRepairModeDbx : kRepairModePst, parent);
}

QWidget* CreateRepairLogPage(CTolamApp& app, int returnPage, QWidget* parent) {
    return new CRepairLogPage(app, returnPage, parent);
}

}  // namespace vantor::ui
