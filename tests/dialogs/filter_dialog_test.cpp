#include "dialogs/filter_dialog.h"

#include <gtest/gtest.h>

#include "platform/time_util.h"

namespace vantor {
namespace {

FilterCriteria Prepared() {
    FilterCriteria c;
    ChooseExtensionGroup(c, 6);
    c.dateMode = kDateBefore;
    c.date = EncodeDosDate(2009, 5, 1);
    c.sizeMode = kSizeBetween;
    c.minSizeKB = 1.5;
    c.maxSizeKB = 20;
    c.namePart = "rep";
    return c;
}

TEST(FilterDialogStateTest, QuickSearchResetsTheRecordButShowsOldValues) {
    FilterCriteria app = Prepared();
    const uint16_t today = EncodeDosDate(2026, 12, 9);
    FilterDialogState dlg(app, FilterDialogKind::QuickSearch, today);
    // The record is reset at once; Cancel would leave it so.
    EXPECT_EQ(app.extGroup, 0);
    EXPECT_EQ(app.dateMode, kDateIgnore);
    EXPECT_EQ(app.sizeMode, kSizeIgnore);
    EXPECT_EQ(app.minSizeKB, 0);
    EXPECT_EQ(app.date, today);
    EXPECT_EQ(app.namePart, "rep");
    // The controls show what it held, the mail row with its short list.
    EXPECT_EQ(dlg.shown().extGroup, 6);
    EXPECT_EQ(dlg.shown().extList, "dbx.pst.box");
    EXPECT_EQ(dlg.shown().dateMode, kDateBefore);
    EXPECT_EQ(dlg.firstSizeText(), "1.5");
    EXPECT_EQ(dlg.secondSizeText(), "20");
    EXPECT_TRUE(dlg.datePickerShown());
    EXPECT_TRUE(dlg.secondSizeShown());
    ASSERT_EQ(dlg.ok(), CriteriaValidation::Ok);
    EXPECT_EQ(app.extGroup, 6);
    EXPECT_EQ(app.extList, "dbx.pst.box");
    EXPECT_EQ(app.sizeMode, kSizeBetween);
    EXPECT_DOUBLE_EQ(app.minSizeKB, 1.5);
    EXPECT_EQ(app.date, EncodeDosDate(2009, 5, 1));
}

TEST(FilterDialogStateTest, PickingTheMailRowAgainGivesTheFullList) {
    FilterCriteria app = Prepared();
    FilterDialogState dlg(app, FilterDialogKind::QuickSearch, 0);
    dlg.chooseGroup(6);
    ASSERT_EQ(dlg.ok(), CriteriaValidation::Ok);
    EXPECT_EQ(app.extList, ExtensionGroupList(6));
}

TEST(FilterDialogStateTest, SearchFilesEditsInPlaceAndValidates) {
    FilterCriteria page = Prepared();
    FilterDialogState dlg(page, FilterDialogKind::SearchFiles, 0);
    EXPECT_EQ(page.sizeMode, kSizeBetween);  // nothing reset
    EXPECT_EQ(dlg.shown().extList, ExtensionGroupList(6));
    dlg.setFirstSizeText("30");
    dlg.setSecondSizeText("20");
    EXPECT_EQ(dlg.ok(), CriteriaValidation::StartLargerThanEnd);
    EXPECT_DOUBLE_EQ(page.minSizeKB, 1.5);  // not written
    dlg.setFirstSizeText("abc");
    EXPECT_EQ(dlg.ok(), CriteriaValidation::StayOpenSilently);
    dlg.setFirstSizeText("1e400");  // out of range must not crash
    dlg.setSecondSizeText("1e400");
    dlg.ok();
    // Smaller shows only the first field: a larger first size is fine then.
    dlg.chooseSizeMode(kSizeSmaller);
    dlg.setFirstSizeText("30");
    dlg.setSecondSizeText("20");
    EXPECT_FALSE(dlg.secondSizeShown());
    ASSERT_EQ(dlg.ok(), CriteriaValidation::Ok);
    EXPECT_EQ(page.sizeMode, kSizeSmaller);
    EXPECT_DOUBLE_EQ(page.minSizeKB, 30);
}

TEST(FilterDialogStateTest, IgnoreZeroesBothSizes) {
    FilterCriteria page = Prepared();
    FilterDialogState dlg(page, FilterDialogKind::SearchFiles, 0);
    dlg.chooseSizeMode(kSizeIgnore);
    EXPECT_FALSE(dlg.firstSizeShown());
    EXPECT_EQ(dlg.firstSizeText(), "0");
    EXPECT_EQ(dlg.secondSizeText(), "0");
    dlg.chooseDateMode(kDateIgnore);
    EXPECT_FALSE(dlg.datePickerShown());
    dlg.setNameText("");
    ASSERT_EQ(dlg.ok(), CriteriaValidation::Ok);
    EXPECT_EQ(page.minSizeKB, 0);
    EXPECT_EQ(page.maxSizeKB, 0);
    EXPECT_FALSE(page.anySet() && page.extGroup == 0);
}

TEST(FilterDialogStateTest, ARecordWithoutAValidDayShowsToday) {
    const uint16_t today = EncodeDosDate(2026, 12, 9);
    for (uint16_t day : {uint16_t{0}, static_cast<uint16_t>(EncodeDosDate(2023, 2, 1) + 29)}) {  // none; 30 Feb
        FilterCriteria page;
        page.date = day;
        FilterDialogState dlg(page, FilterDialogKind::SearchFiles, today);
        EXPECT_EQ(dlg.shown().date, today) << day;
    }
    FilterCriteria page = Prepared();
    EXPECT_EQ(FilterDialogState(page, FilterDialogKind::SearchFiles, today).shown().date, EncodeDosDate(2009, 5, 1));
}

}  // namespace
}  // namespace vantor
