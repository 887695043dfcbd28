// The two criteria dialogs: which controls show for which modes, the OK
// checks on the size fields, and what each dialog writes back or resets.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/time_util.h"
#include "shell/ui/dialogs/criteria_dialog.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

template <typename T>
T* Ctl(QWidget& dlg, int id) {
    T* w = dlg.findChild<T*>(ControlName(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

void Choose(QWidget& dlg, int comboId, int row) {
    auto* combo = Ctl<QComboBox>(dlg, comboId);
    combo->setCurrentIndex(row);
    emit combo->activated(row);
}

void Type(QWidget& dlg, int editId, const QString& text) {
    auto* edit = Ctl<QLineEdit>(dlg, editId);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void PressOk(QWidget& dlg) { Ctl<QPushButton>(dlg, 1)->click(); }

}  // namespace

TEST(SearchFilesDialog, OpensWithTheRecordAndShowsFieldsByMode) {
    FilterCriteria c;
    ChooseExtensionGroup(c, 3);
    c.dateMode = kDateBefore;
    c.date = EncodeDosDate(2009, 5, 1);
    c.sizeMode = kSizeBetween;
    c.minSizeKB = 10;
    c.maxSizeKB = 20.5;
    c.namePart = "rep";
    CSearchFilesDlg dlg(c);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Search files..."));
    EXPECT_EQ(Ctl<QComboBox>(dlg, 1027)->currentIndex(), 3);
    EXPECT_EQ(Ctl<QComboBox>(dlg, 1027)->count(), 7);
    EXPECT_EQ(Ctl<QComboBox>(dlg, 1028)->currentText(), QStringLiteral("Before"));
    EXPECT_EQ(Ctl<QDateEdit>(dlg, 1029)->date(), QDate(2009, 5, 1));
    EXPECT_TRUE(Ctl<QDateEdit>(dlg, 1029)->isVisible());
    EXPECT_EQ(Ctl<QLineEdit>(dlg, 1031)->text(), QStringLiteral("10"));
    EXPECT_EQ(Ctl<QLineEdit>(dlg, 1032)->text(), QStringLiteral("20.5"));
    EXPECT_TRUE(Ctl<QLineEdit>(dlg, 1032)->isVisible());
    EXPECT_EQ(Ctl<QLabel>(dlg, 1033)->text(), QStringLiteral(" -"));
    EXPECT_EQ(Ctl<QLineEdit>(dlg, 1034)->text(), QStringLiteral("rep"));

    Choose(dlg, 1028, kDateIgnore);
    EXPECT_FALSE(Ctl<QDateEdit>(dlg, 1029)->isVisible());
    Choose(dlg, 1030, kSizeLarger);  // first field only, value kept
    EXPECT_TRUE(Ctl<QLineEdit>(dlg, 1031)->isVisible());
    EXPECT_FALSE(Ctl<QLineEdit>(dlg, 1032)->isVisible());
    EXPECT_FALSE(Ctl<QLabel>(dlg, 1033)->isVisible());
    EXPECT_EQ(Ctl<QLineEdit>(dlg, 1031)->text(), QStringLiteral("10"));
    Choose(dlg, 1030, kSizeIgnore);  // hides both and shows 0 in both
    EXPECT_FALSE(Ctl<QLineEdit>(dlg, 1031)->isVisible());
    EXPECT_EQ(Ctl<QLineEdit>(dlg, 1031)->text(), QStringLiteral("0"));
    EXPECT_EQ(Ctl<QLineEdit>(dlg, 1032)->text(), QStringLiteral("0"));
}

TEST(SearchFilesDialog, OkChecksTheSizeFields) {
    uitest::ShellRecorder recorder;
    FilterCriteria c;
    CSearchFilesDlg dlg(c);
    dlg.show();
    Choose(dlg, 1030, kSizeSmaller);
    Type(dlg, 1031, QStringLiteral("abc"));
    PressOk(dlg);  // not a number: stays open, says nothing
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(c.sizeMode, kSizeIgnore);

    Choose(dlg, 1030, kSizeBetween);
    Type(dlg, 1031, QStringLiteral("30"));
    Type(dlg, 1032, QStringLiteral("20"));
    PressOk(dlg);
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Start size can't larger then end size!"));
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Notice"));
    EXPECT_EQ(dlg.focusWidget(), Ctl<QLineEdit>(dlg, 1031));
    EXPECT_EQ(c.sizeMode, kSizeIgnore);

    Type(dlg, 1032, QStringLiteral("40"));
    Choose(dlg, 1027, 1);
    Type(dlg, 1034, QStringLiteral("Report"));
    PressOk(dlg);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
    EXPECT_EQ(c.sizeMode, kSizeBetween);
    EXPECT_DOUBLE_EQ(c.minSizeKB, 30);
    EXPECT_DOUBLE_EQ(c.maxSizeKB, 40);
    EXPECT_EQ(c.extGroup, 1);
    EXPECT_EQ(c.extList, "doc.dot.xls.xlw.ppt.docx.xlsx.pptx.mdb");
    EXPECT_EQ(c.namePart, "Report");
}

TEST(SearchFilesDialog, CancelLeavesTheRecord) {
    FilterCriteria c;
    c.namePart = "keep";
    CSearchFilesDlg dlg(c);
    dlg.show();
    Choose(dlg, 1027, 4);
    Choose(dlg, 1028, kDateOn);
    Type(dlg, 1034, QStringLiteral("other"));
    Ctl<QPushButton>(dlg, 2)->click();
    EXPECT_EQ(dlg.result(), int(QDialog::Rejected));
    EXPECT_EQ(c.extGroup, 0);
    EXPECT_EQ(c.dateMode, kDateIgnore);
    EXPECT_EQ(c.namePart, "keep");
}

TEST(SearchFilesDialog, PickingADayStoresItAsADosDate) {
    FilterCriteria c;
    CSearchFilesDlg dlg(c);
    dlg.show();
    Choose(dlg, 1028, kDateAfter);
    Ctl<QDateEdit>(dlg, 1029)->setDate(QDate(2023, 11, 14));
    PressOk(dlg);
    EXPECT_EQ(c.dateMode, kDateAfter);
    EXPECT_EQ(c.date, EncodeDosDate(2023, 11, 14));
}

TEST(SearchFilesDialog, ARecordWithoutADayKeepsTheDayThePickerShows) {
    FilterCriteria c;  // date 0: no valid DOS date
    CSearchFilesDlg dlg(c);
    dlg.show();
    Choose(dlg, 1028, kDateOn);
    PressOk(dlg);
    const QDate shown = Ctl<QDateEdit>(dlg, 1029)->date();
    EXPECT_EQ(c.date, EncodeDosDate(shown.year(), shown.month(), shown.day()));
    EXPECT_NE(c.date, 0);
}

TEST(QuickSearchDialog, OpeningResetsTheRecordButShowsItsOldValues) {
    FilterCriteria app;
    ChooseExtensionGroup(app, 6);
    app.dateMode = kDateOn;
    app.date = EncodeDosDate(2009, 5, 1);
    app.sizeMode = kSizeLarger;
    app.minSizeKB = 5;
    app.namePart = "mail";
    const uint16_t today = EncodeDosDate(2026, 12, 9);
    {
        CQuickSearchDlg dlg(app, today, nullptr);
        dlg.show();
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Set Quick Search..."));
        // The record is reset at once; extList and the name stay.
        EXPECT_EQ(app.extGroup, 0);
        EXPECT_EQ(app.dateMode, kDateIgnore);
        EXPECT_EQ(app.sizeMode, kSizeIgnore);
        EXPECT_EQ(app.minSizeKB, 0);
        EXPECT_EQ(app.date, today);
        EXPECT_EQ(app.namePart, "mail");
        EXPECT_EQ(app.extList, "dbx.pst.box.stg.bak.ADC.INDX.uidl");
        // The controls show what it held before.
        EXPECT_EQ(Ctl<QComboBox>(dlg, 1027)->currentIndex(), 6);
        EXPECT_EQ(Ctl<QComboBox>(dlg, 1028)->currentText(), QStringLiteral("On"));
        EXPECT_EQ(Ctl<QLineEdit>(dlg, 1031)->text(), QStringLiteral("5"));
        Ctl<QPushButton>(dlg, 2)->click();  // Cancel leaves the reset record
    }
    EXPECT_EQ(app.extGroup, 0);
    EXPECT_EQ(app.sizeMode, kSizeIgnore);

    ChooseExtensionGroup(app, 6);
    app.sizeMode = kSizeLarger;
    app.minSizeKB = 5;
    {
        CQuickSearchDlg dlg(app, today, nullptr);
        dlg.show();
        PressOk(dlg);
    }
    // OK writes the shown values back, the mail row narrowed to three stores.
    EXPECT_EQ(app.extGroup, 6);
    EXPECT_EQ(app.extList, "dbx.pst.box");
    EXPECT_EQ(app.sizeMode, kSizeLarger);
    EXPECT_DOUBLE_EQ(app.minSizeKB, 5);

    {
        CQuickSearchDlg dlg(app, today, nullptr);
        dlg.show();
        Choose(dlg, 1027, 6);  // picking the row again gives its whole list
        PressOk(dlg);
    }
    EXPECT_EQ(app.extList, "dbx.pst.box.stg.bak.ADC.INDX.uidl");
}
