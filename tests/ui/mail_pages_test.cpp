// Email Repair by mouse: the start page's category leads to the PST and DBX
// pages; three stores, Next, and the log page repairs them in row order.
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "mail/ui/mail_pages.h"
#include "shell/page_ids.h"
#include "shell/ui/home_view.h"
#include "shell/ui/main_frame.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

TEST(MailPages, ThreeStoresNextAndTheLogListsThemInOrder) {
    uitest::ShellRecorder recorder;
    CTolamApp app;
    StartOptions options;
    options.images << uitest::FixturePath(QStringLiteral("sample-disk.img"));
    ASSERT_TRUE(app.StartUp(options));
    CHomeView* view = app.mainFrame()->view();
    QTemporaryDir dir;
    QStringList stores;
    for (const char* name : {"c.pst", "a.pst", "b.pst"}) {
        stores << dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QFile::copy(uitest::FixturePath(QStringLiteral("dist-list.pst")), stores.back()));
    }
    QDir(dir.path()).mkdir(QStringLiteral("out"));

    // Outlook Express first: its own page, with the messages tick.
    view->SelectCategory(1);
    QTest::mouseClick(view->taskButton(601), Qt::LeftButton);
    auto* dbx = qobject_cast<CMailRepairPage*>(view->currentPage());
    ASSERT_NE(dbx, nullptr);
    EXPECT_EQ(view->currentPageId(), kPageOutlookExpressRepair);
    EXPECT_NE(dbx->extractBox(), nullptr);
    EXPECT_FALSE(dbx->destinationEdit()->text().isEmpty());  // the documents folder
    QTest::mouseClick(dbx->backButton(), Qt::LeftButton);

    view->SelectCategory(1);
    QTest::mouseClick(view->taskButton(600), Qt::LeftButton);
    auto* pst = qobject_cast<CMailRepairPage*>(view->currentPage());
    ASSERT_NE(pst, nullptr);
    EXPECT_EQ(pst->extractBox(), nullptr);
    QTreeWidget* list = pst->fileList();
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("File"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Folder"));
    EXPECT_EQ(list->header()->sectionSize(0), 150);
    EXPECT_EQ(list->header()->sectionSize(1), 180);
    EXPECT_FALSE(pst->nextButton()->isEnabled());
    pst->setFileChooser([&](QWidget*) { return stores; });
    QTest::mouseClick(pst->addButton(), Qt::LeftButton);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("c.pst"));
    EXPECT_EQ(list->topLevelItem(0)->text(1), QDir::toNativeSeparators(dir.path()));
    pst->destinationEdit()->setText(dir.filePath(QStringLiteral("out")));
    ASSERT_TRUE(pst->nextButton()->isEnabled());
    QElapsedTimer sinceNext;
    sinceNext.start();
    QTest::mouseClick(pst->nextButton(), Qt::LeftButton);

    auto* log = qobject_cast<CRepairLogPage*>(view->currentPage());
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(view->currentPageId(), kPageEmailReport);
    EXPECT_TRUE(log->logText()->toPlainText().isEmpty());  // the run starts on the timer
    EXPECT_FALSE(log->nextButton()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(log->done(), 10000);
    EXPECT_GE(sinceNext.elapsed(), 300);
    const QString sep(43, QLatin1Char('-'));
    QString want;
    for (const char* name : {"c.pst", "a.pst", "b.pst"})
        want += QStringLiteral("Selected file: %1\nRepaired\n%2\n").arg(QString::fromLatin1(name), sep);
    EXPECT_EQ(log->logText()->toPlainText().toStdString(), want.toStdString());
    EXPECT_EQ(uitest::ReadAll(dir.filePath(QStringLiteral("out/a.pst"))),
              uitest::ReadAll(uitest::FixturePath(QStringLiteral("dist-list.pst"))));

    // Back leads to the page the log came from.
    QTest::mouseClick(log->backButton(), Qt::LeftButton);
    EXPECT_EQ(view->currentPageId(), kPageOutlookRepair);
}
