// Window messages between widgets and the worker-to-UI call: a sent message
// is handled before Send returns, a posted one later; a worker's call runs
// on the UI thread while the worker waits for it. And the word at the end of
// a piece of work, with its Open Folder button.
#include <QCoreApplication>
#include <QMessageBox>
#include <QTest>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

#include "shell/ui/page_commands.h"
#include "shell/ui/ui_thread.h"
#include "shell/ui/window_message.h"
#include "dialogs_modal_answerer.h"

using namespace vantor::ui;

namespace {

class Receiver : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != WindowMessageEvent::eventType()) return QObject::event(e);
        auto* m = static_cast<WindowMessageEvent*>(e);
        last = {m->message, m->wParam, m->lParam};
        ++count;
        m->result = m->wParam + m->lParam;
        return true;
    }
    struct {
        uint32_t message = 0;
        intptr_t w = 0, l = 0;
    } last;
    int count = 0;
};

}  // namespace

TEST(WindowMessages, SendIsHandledAtOnceAndPostLater) {
    Receiver r;
    EXPECT_EQ(SendWindowMessage(&r, 1025, 102, 10000), 10102);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(r.last.message, 1025u);
    EXPECT_EQ(r.last.l, 10000);
    PostWindowMessage(&r, 1026, 1, 7);
    EXPECT_EQ(r.count, 1);
    QCoreApplication::sendPostedEvents(&r);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.last.message, 1026u);
    EXPECT_EQ(SendWindowMessage(nullptr, 1025, 1, 1), 0);
}

TEST(BlockingCall, WorkerWaitsForTheUiThread) {
    QObject context;
    std::atomic<bool> ranOnUi{false};
    std::atomic<bool> workerSawResult{false};
    int value = 0;
    QEventLoop loop;
    std::thread worker([&] {
        BlockingCall(&context, [&] {
            ranOnUi = QThread::currentThread() == context.thread();
            value = 42;
        });
        // The call has run by the time BlockingCall returns.
        workerSawResult = value == 42;
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    QTimer::singleShot(5000, &loop, [&loop] { loop.quit(); });
    loop.exec();
    worker.join();
    EXPECT_TRUE(ranOnUi);
    EXPECT_TRUE(workerSawResult);

    // On the UI thread itself it runs in place instead of dead-locking.
    bool direct = false;
    BlockingCall(&context, [&] { direct = true; });
    EXPECT_TRUE(direct);
}

TEST(WorkSummary, OpenFolderOpensItAndEscapeJustCloses) {
    std::vector<QUrl> opened;
    SetOpenDocumentHook([&](const QUrl& url) { opened.push_back(url); });
    QString text;
    bool escape = false;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        text = box->text();
        QTimer::singleShot(0, box, [box, escape] {
            if (escape) {
                QTest::keyClick(box, Qt::Key_Escape);
                return;
            }
            for (QAbstractButton* b : box->buttons())
                if (b->text() == QStringLiteral("Open Folder")) b->click();
        });
    });
    ShowWorkSummary(nullptr, QStringLiteral("3 files recovered to /tmp/saved"), QStringLiteral("Recovery"),
                    QStringLiteral("/tmp/saved"));
    EXPECT_EQ(text, QStringLiteral("3 files recovered to /tmp/saved"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QStringLiteral("/tmp/saved")));
    escape = true;
    ShowWorkSummary(nullptr, QStringLiteral("1 files recovered to /tmp/saved"), QStringLiteral("Recovery"),
                    QStringLiteral("/tmp/saved"));
    EXPECT_EQ(opened.size(), 1u);
    SetOpenDocumentHook({});
}
