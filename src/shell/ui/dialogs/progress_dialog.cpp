#include "shell/ui/dialogs/progress_dialog.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <climits>
#include <thread>

#include "shell/ui/dialogs/dialog_common.h"

namespace vantor::ui {

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 168;
constexpr int kMargin = 15;

uint64_t WallSeconds() { return static_cast<uint64_t>(QDateTime::currentSecsSinceEpoch()); }

}  // namespace

CProgressDlg::CProgressDlg(ProgressFields& fields, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), fields_(fields), clock_(WallSeconds) {
    setModal(true);
    setFixedSize(kWidth, kHeight);
    setFont(DialogFont(8));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0xF3, 0xF6, 0xF9));
    setPalette(pal);

    title_ = new QLabel(QStringLiteral("str Title"), this);
    NameControl(title_, 1004);
    title_->setFont(DialogFont(9, true));
    title_->setStyleSheet(QStringLiteral("color: #12263F;"));
    title_->setGeometry(kMargin, 10, kWidth - 2 * kMargin, 20);

    contents_ = new QLabel(QStringLiteral("str Contents"), this);
    NameControl(contents_, 1005);
    contents_->setGeometry(kMargin, 46, kWidth - 2 * kMargin, 18);
    contents_->setStyleSheet(QStringLiteral("color: #12263F;"));

    progress_ = new QProgressBar(this);
    NameControl(progress_, 1036);
    progress_->setGeometry(kMargin, 68, kWidth - 2 * kMargin, 18);
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #AFC0D1; border-radius: 3px; background: #FFFFFF; }"
        "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #22C3BC, stop:1 #0B7C7A);"
        " border-radius: 2px; }"));

    elapsed_ = new QLabel(QStringLiteral("Elapsed Time:99:99:99"), this);
    NameControl(elapsed_, 1006);
    elapsed_->setGeometry(kMargin, 94, 190, 18);
    elapsed_->setStyleSheet(QStringLiteral("color: #5B7088;"));

    remaining_ = new QLabel(QStringLiteral("Remaining Time:99:99:99"), this);
    NameControl(remaining_, 1007);
    remaining_->setGeometry(kWidth - kMargin - 200, 94, 200, 18);
    remaining_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    remaining_->setStyleSheet(QStringLiteral("color: #5B7088;"));

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    NameControl(cancel_, 1037);
    cancel_->setGeometry(kWidth - kMargin - 88, kHeight - 14 - 26, 88, 26);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CProgressDlg::requestStop);

    barTimer_ = new QTimer(this);
    barTimer_->setInterval(kBarTimerMs);
    connect(barTimer_, &QTimer::timeout, this, &CProgressDlg::barTick);
    textTimer_ = new QTimer(this);
    textTimer_->setInterval(kTextTimerMs);
    connect(textTimer_, &QTimer::timeout, this, &CProgressDlg::textTick);
}

CProgressDlg::~CProgressDlg() = default;

void CProgressDlg::setTitle(const QString& title) { title_->setText(title); }
QString CProgressDlg::title() const { return title_->text(); }

void CProgressDlg::setClock(std::function<uint64_t()> secondsNow) { clock_ = std::move(secondsNow); }

void CProgressDlg::showEvent(QShowEvent* event) {
    // Centred on the main window at every showing, the first one included.
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect frame = owner->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    // Each showing starts from zero; the fields were zeroed before the worker
    // started (runWorker), so they are not touched again here.
    startSeconds_ = clock_();
    bar_ = ProgressBar{};
    progress_->setRange(0, 100);
    progress_->setValue(0);
    closing_ = false;
    textTick();
    barTimer_->start();
    textTimer_->start();
    QDialog::showEvent(event);
}

void CProgressDlg::hideEvent(QHideEvent* event) {
    barTimer_->stop();
    textTimer_->stop();
    QDialog::hideEvent(event);
}

void CProgressDlg::barTick() {
    if (bar_.update(fields_.m_nProgressTotal.load(), fields_.m_nProgressPos.load())) pushBar();
}

void CProgressDlg::pushBar() {
    // The bar takes int; a 32-bit total above INT_MAX is scaled down whole.
    uint32_t max = bar_.rangeMax;
    uint32_t pos = bar_.pos < max ? bar_.pos : max;
    const uint32_t scale = max / static_cast<uint32_t>(INT_MAX) + 1;
    progress_->setRange(0, static_cast<int>(max / scale));
    progress_->setValue(static_cast<int>(pos / scale));
}

void CProgressDlg::textTick() {
    const uint64_t now = clock_();
    const uint64_t elapsed = now > startSeconds_ ? now - startSeconds_ : 0;
    const ProgressTexts t = ProgressTick(fields_, elapsed);
    const QFontMetrics fm(contents_->font());
    contents_->setText(fm.elidedText(Q(t.contents), Qt::ElideMiddle, contents_->width()));
    contents_->setToolTip(Q(t.contents));
    elapsed_->setText(Q(t.elapsed));
    remaining_->setText(Q(t.remaining));
}

void CProgressDlg::requestStop() {
    ++cancelRequests_;
    emit stopRequested();
}

void CProgressDlg::reject() { requestStop(); }

void CProgressDlg::closeEvent(QCloseEvent* event) {
    if (closing_) {
        QDialog::closeEvent(event);
        return;
    }
    // Closing the window is a cancel request; the worker ends the dialog.
    event->ignore();
    requestStop();
}

void CProgressDlg::workerDone() {
    closing_ = true;
    barTick();
    textTick();
    done(QDialog::Accepted);
}

void CProgressDlg::closeFromWorker() {
    if (QThread::currentThread() == thread())
        workerDone();
    else
        QMetaObject::invokeMethod(this, "workerDone", Qt::BlockingQueuedConnection);
}

void CProgressDlg::runWorker(std::function<void()> work) {
    fields_.reset();
    std::thread worker([this, work = std::move(work)] {
        work();
        closeFromWorker();
    });
    exec();
    worker.join();
}

void CProgressDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawLine(kMargin, 36, width() - kMargin, 36);
    p.setPen(Qt::white);
    p.drawLine(kMargin, 37, width() - kMargin, 37);
    // A frameless window needs an edge of its own.
    p.setPen(QColor(0x7F, 0x93, 0xA8));
    p.drawRect(0, 0, width() - 1, height() - 1);
}

}  // namespace vantor::ui
