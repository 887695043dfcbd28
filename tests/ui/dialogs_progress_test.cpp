// The progress dialog: what its two timers show from the progress fields,
// that Cancel only asks the owner to stop, and that only the worker ends it.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/progress_dialog.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

QString Text(CProgressDlg& dlg, int id) { return dlg.findChild<QLabel*>(ControlName(id))->text(); }
QProgressBar* Bar(CProgressDlg& dlg) { return dlg.findChild<QProgressBar*>(ControlName(1036)); }

struct FakeClock {
    uint64_t now = 1000;
    std::function<uint64_t()> fn() {
        return [this] { return now; };
    }
};

}  // namespace

TEST(ProgressDialog, TextsFollowTheFieldsAndTheClock) {
    ProgressFields fields;
    FakeClock clock;
    CProgressDlg dlg(fields);
    dlg.setClock(clock.fn());
    dlg.setTitle(QStringLiteral("Scanning Deleted Files ..."));
    EXPECT_EQ(Text(dlg, 1004), QStringLiteral("Scanning Deleted Files ..."));
    EXPECT_EQ(Text(dlg, 1005), QStringLiteral("str Contents"));
    dlg.show();  // opening takes the start time

    fields.m_nProgressTotal = 100;
    fields.setText("Found Deleted Files : 7");
    clock.now += 10;
    dlg.textTick();
    EXPECT_EQ(Text(dlg, 1005), QStringLiteral("Found Deleted Files : 7"));
    EXPECT_EQ(Text(dlg, 1006), QStringLiteral("Elapsed Time : 00:00:10"));
    // P = 0 counts as 1: 10 x 100 / 1 + 1 = 1001 s.
    EXPECT_EQ(Text(dlg, 1007), QStringLiteral("Remaining Time : 00:16:41"));

    fields.m_nProgressPos = 50;
    clock.now += 10;  // E = 20: 20 x 50 / 50 + 1
    dlg.textTick();
    EXPECT_EQ(Text(dlg, 1007), QStringLiteral("Remaining Time : 00:00:21"));

    clock.now = 1000 + 90000;  // hours wrap at 24 only in the elapsed line
    fields.m_nProgressTotal = 2;
    fields.m_nProgressPos = 1;
    dlg.textTick();
    EXPECT_EQ(Text(dlg, 1006), QStringLiteral("Elapsed Time : 01:00:00"));
    EXPECT_EQ(Text(dlg, 1007), QStringLiteral("Remaining Time : 25:00:01"));
    dlg.closeFromWorker();
}

TEST(ProgressDialog, BarMovesOnlyOnceATotalIsKnown) {
    ProgressFields fields;
    CProgressDlg dlg(fields);
    dlg.show();
    fields.m_nProgressPos = 40;
    dlg.barTick();
    EXPECT_EQ(Bar(dlg)->value(), 0);
    EXPECT_EQ(Bar(dlg)->maximum(), 100);

    fields.m_nProgressTotal = 80;
    dlg.barTick();
    EXPECT_EQ(Bar(dlg)->maximum(), 80);
    EXPECT_EQ(Bar(dlg)->value(), 40);

    // A 32-bit total past the int range is scaled, not wrapped negative.
    fields.m_nProgressTotal = 4000000000u;
    fields.m_nProgressPos = 3000000000u;
    dlg.barTick();
    EXPECT_GT(Bar(dlg)->maximum(), 0);
    EXPECT_NEAR(double(Bar(dlg)->value()) / Bar(dlg)->maximum(), 0.75, 0.001);
    dlg.closeFromWorker();
}

TEST(ProgressDialog, CancelAsksTheOwnerAndOnlyTheWorkerCloses) {
    ProgressFields fields;
    CProgressDlg dlg(fields);
    std::atomic<bool> running{true};
    int stops = 0;
    QObject::connect(&dlg, &CProgressDlg::stopRequested, [&] {
        ++stops;
        if (stops == 2) running = false;  // the owner clears the engine's flag
    });
    auto* cancel = dlg.findChild<QPushButton*>(ControlName(1037));
    ASSERT_NE(cancel, nullptr);
    bool stillOpenAfterFirst = false;
    QTimer::singleShot(50, &dlg, [&] {
        cancel->click();
        stillOpenAfterFirst = dlg.isVisible();
        QTest::keyClick(&dlg, Qt::Key_Escape);  // Esc is Cancel, not close
        cancel->click();
    });
    dlg.runWorker([&] {
        while (running) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    EXPECT_TRUE(stillOpenAfterFirst);
    EXPECT_EQ(stops, 3);
    EXPECT_EQ(dlg.cancelRequests(), 3);
    EXPECT_FALSE(dlg.isVisible());
}

TEST(ProgressDialog, FieldsAreZeroedBeforeTheWorkerStarts) {
    ProgressFields fields;
    fields.m_nProgressTotal = 999;
    fields.m_nProgressPos = 998;
    fields.setText("left over");
    CProgressDlg dlg(fields);
    uint32_t seenAtStart = 1;
    std::string textAtStart = "x";
    int barMaxDuringRun = 0;
    dlg.runWorker([&] {
        seenAtStart = fields.m_nProgressTotal.load();
        textAtStart = fields.text();
        // The worker sets its total once, at its start; the dialog opening
        // later must not wipe it.
        fields.m_nProgressTotal = 10;
        fields.m_nProgressPos = 5;
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        QMetaObject::invokeMethod(&dlg, [&] { barMaxDuringRun = Bar(dlg)->maximum(); },
                                  Qt::BlockingQueuedConnection);
    });
    EXPECT_EQ(seenAtStart, 0u);
    EXPECT_EQ(textAtStart, "");
    EXPECT_EQ(barMaxDuringRun, 10);
    EXPECT_EQ(Bar(dlg)->value(), 5);
}

TEST(ProgressDialog, AWorkerThatEndsAtOnceStillClosesTheDialog) {
    ProgressFields fields;
    CProgressDlg dlg(fields);
    for (int i = 0; i < 3; ++i) dlg.runWorker([] {});
    EXPECT_FALSE(dlg.isVisible());
}
