#pragma once
// The modal progress dialog every long operation of a result page runs
// under. It learns the state of the work only from the progress fields, on
// two timers, and never talks to the worker: Cancel asks the owner page to
// stop, and the dialog closes when the worker says it is done.
#include <QDialog>
#include <cstdint>
#include <functional>

#include "dialogs/progress_fields.h"
#include "dialogs/progress_text.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vantor::ui {

class CProgressDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBarTimerMs = 300;    // timer 104
    static constexpr int kTextTimerMs = 1000;  // timer 105

    CProgressDlg(ProgressFields& fields, QWidget* parent = nullptr);
    ~CProgressDlg() override;

    void setTitle(const QString& title);
    QString title() const;

    // Runs work on a worker thread while the dialog is shown modally, and
    // returns when the worker has ended. The progress fields are zeroed
    // before the worker starts, so its first write cannot be lost to the
    // dialog's reset. Cancel only emits stopRequested(); the owner clears
    // the flags work() polls.
    void runWorker(std::function<void()> work);

    // The worker's "I am done": ends the modal loop. Safe to call from any
    // thread; from a worker it waits until the dialog has handled it.
    void closeFromWorker();

    // Seconds now, for the elapsed and remaining texts (tests give a clock).
    void setClock(std::function<uint64_t()> secondsNow);

    // One tick of each timer, as the timers run them.
    void barTick();
    void textTick();

    int cancelRequests() const { return cancelRequests_; }

signals:
    // Cancel pressed: the owner page's stop request. Sent once per press.
    void stopRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Esc behaves as Cancel; only the worker closes
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    Q_INVOKABLE void workerDone();
    void requestStop();
    void pushBar();

    ProgressFields& fields_;
    std::function<uint64_t()> clock_;
    uint64_t startSeconds_ = 0;
    bool closing_ = false;
    int cancelRequests_ = 0;
    ProgressBar bar_;
    QLabel* title_ = nullptr;
    QLabel* contents_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* remaining_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* barTimer_ = nullptr;
    QTimer* textTimer_ = nullptr;
};

}  // namespace vantor::ui
