// The overwrite question: its text and answer codes, and the GUI prompt
// asked from a worker thread, which waits for the dialog's answer.
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

#include "dialogs/overwrite.h"
#include "dialogs_modal_answerer.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

TEST(OverwriteDialog, EachButtonStoresItsCode) {
    const struct {
        int id;
        OverwriteAnswer answer;
    } buttons[] = {{6, OverwriteAnswer::Yes},
                   {1039, OverwriteAnswer::YesToAll},
                   {7, OverwriteAnswer::No},
                   {2, OverwriteAnswer::Cancel}};
    for (const auto& b : buttons) {
        COverwriteDlg dlg(QStringLiteral("GONE.TXT"));
        EXPECT_EQ(dlg.answerCode(), 0);
        dlg.show();
        dlg.findChild<QPushButton*>(ControlName(b.id))->click();
        EXPECT_EQ(dlg.answer(), b.answer) << b.id;
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST(OverwriteDialog, TextsAndEscape) {
    COverwriteDlg dlg(QStringLiteral("report.doc"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Confirm File Overwrite"));
    EXPECT_EQ(dlg.findChild<QLabel*>(ControlName(1041))->text(),
              QStringLiteral("This folder already contains a file named 'report.doc'"));
    bool secondLine = false;
    for (QLabel* l : dlg.findChildren<QLabel*>())
        secondLine |= l->text() == QStringLiteral("Would you like to overwrite the exsisting file?");
    EXPECT_TRUE(secondLine);
    EXPECT_TRUE(dlg.findChild<QPushButton*>(ControlName(6))->isDefault());
    dlg.show();
    dlg.findChild<QPushButton*>(ControlName(1039))->click();
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);  // Esc is Cancel: stop the run
    EXPECT_EQ(dlg.answer(), OverwriteAnswer::Cancel);
}

TEST(QtUserPrompt, AWorkerWaitsForTheAnswerGivenOnTheInterfaceThread) {
    uitest::ShellRecorder recorder;
    CQtUserPrompt prompt(nullptr);
    std::vector<QString> asked;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        if (auto* dlg = qobject_cast<COverwriteDlg*>(modal)) {
            asked.push_back(dlg->findChild<QLabel*>(ControlName(1041))->text());
            uitest::ClickLater(dlg, ControlName(asked.size() == 1 ? 1039 : 7));
        }
    });
    OverwriteAnswer first = OverwriteAnswer::Cancel, second = OverwriteAnswer::Cancel;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        first = prompt.confirmOverwrite("a.txt");
        second = prompt.confirmOverwrite("b.txt");
        prompt.message("2 files could not be written", "Error", ::vantor::MessageIcon::Error);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    worker.join();
    EXPECT_EQ(first, OverwriteAnswer::YesToAll);
    EXPECT_EQ(second, OverwriteAnswer::No);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], QStringLiteral("This folder already contains a file named 'b.txt'"));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Error"));
}

TEST(QtUserPrompt, DrivesTheOverwriteGuardOnTheInterfaceThreadToo) {
    CQtUserPrompt prompt(nullptr);
    OverwriteGuard guard(prompt);
    uitest::ModalAnswerer answerer([](QWidget* modal) {
        if (qobject_cast<COverwriteDlg*>(modal)) uitest::ClickLater(modal, ControlName(2));
    });
    const QString existing = QCoreApplication::applicationFilePath();
    EXPECT_EQ(guard.check(existing.toStdString(), "ui_tests"), OverwriteDecision::Stop);
    EXPECT_EQ(guard.check("/nonexistent/dir/x.txt", "x.txt"), OverwriteDecision::Write);
    EXPECT_EQ(answerer.answered(), 1);
}
