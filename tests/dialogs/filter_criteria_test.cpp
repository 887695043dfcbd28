#include "dialogs/filter_criteria.h"

#include <gtest/gtest.h>

#include "platform/time_util.h"

namespace vantor {
namespace {

FilterCriteria Size(int mode, double a, double b = 0) {
    FilterCriteria c;
    c.sizeMode = mode;
    c.minSizeKB = a;
    c.maxSizeKB = b;
    return c;
}

TEST(FilterSizeTest, EqualComparesTwoDecimals) {
    FilterCriteria c = Size(kSizeEqual, 1.5);
    EXPECT_TRUE(SizePasses(c, 1536));
    EXPECT_TRUE(SizePasses(c, 1540));
    EXPECT_FALSE(SizePasses(c, 1550));
}

TEST(FilterSizeTest, SmallerLargerAtZero) {
    EXPECT_FALSE(SizePasses(Size(kSizeSmaller, 0), 0));
    EXPECT_FALSE(SizePasses(Size(kSizeSmaller, 0), 1));
    EXPECT_FALSE(SizePasses(Size(kSizeLarger, 0), 0));
    EXPECT_TRUE(SizePasses(Size(kSizeLarger, 0), 1));
}

TEST(FilterSizeTest, BetweenIsExclusive) {
    FilterCriteria c = Size(kSizeBetween, 10, 20);
    EXPECT_TRUE(SizePasses(c, 15000));
    EXPECT_FALSE(SizePasses(c, 10240));
    EXPECT_FALSE(SizePasses(c, 20480));
    EXPECT_TRUE(SizePasses(Size(kSizeIgnore, 5), 1));
}

TEST(FilterSizeTest, LargeFilesDoNotWrap) {
    EXPECT_TRUE(SizePasses(Size(kSizeLarger, 4194304), 5000000000ull));
}

TEST(FilterDateTest, BeforeAfterOn) {
    FilterCriteria c;
    c.date = EncodeDosDate(2009, 5, 1);
    c.dateMode = kDateOn;
    EXPECT_TRUE(DatePasses(c, EncodeDosDate(2009, 5, 1)));
    EXPECT_FALSE(DatePasses(c, EncodeDosDate(2009, 5, 2)));
    c.dateMode = kDateBefore;
    EXPECT_TRUE(DatePasses(c, EncodeDosDate(2009, 4, 30)));
    EXPECT_TRUE(DatePasses(c, EncodeDosDate(1999, 12, 31)));
    EXPECT_FALSE(DatePasses(c, EncodeDosDate(2009, 5, 1)));
    c.dateMode = kDateAfter;
    EXPECT_TRUE(DatePasses(c, EncodeDosDate(2009, 5, 2)));
    EXPECT_FALSE(DatePasses(c, EncodeDosDate(2009, 5, 1)));
    // Compared unsigned: years past 2043 set the top bit.
    EXPECT_TRUE(DatePasses(c, EncodeDosDate(2050, 1, 1)));
}

TEST(FilterNameTest, CaseInsensitiveContains) {
    FilterCriteria c;
    c.namePart = "REP";
    EXPECT_TRUE(NamePasses(c, "report.doc"));
    EXPECT_TRUE(NamePasses(c, "Prepare.txt"));
    EXPECT_FALSE(NamePasses(c, "notes.txt"));
    c.namePart.clear();
    EXPECT_TRUE(NamePasses(c, ""));
}

TEST(FilterExtensionTest, ExactEntriesLowered) {
    FilterCriteria c;
    ChooseExtensionGroup(c, 1);
    EXPECT_TRUE(ExtensionPassesExact(c, "DOC"));
    EXPECT_TRUE(ExtensionPassesExact(c, "mdb"));  // the last entry counts
    EXPECT_FALSE(ExtensionPassesExact(c, "do"));
    EXPECT_FALSE(ExtensionPassesExact(c, "docx2"));
    EXPECT_FALSE(ExtensionPassesExact(c, ""));
    EXPECT_TRUE(MatchesCriteria(c, "DOC", "letter.DOC", 10, 0));
    // The image group's list, not its combo text, decides: no jpe, no html.
    ChooseExtensionGroup(c, 3);
    EXPECT_FALSE(ExtensionPassesExact(c, "jpe"));
    EXPECT_TRUE(ExtensionPassesExact(c, "wbmp"));
    ChooseExtensionGroup(c, 2);
    EXPECT_FALSE(ExtensionPassesExact(c, "html"));
}

TEST(FilterExtensionTest, AllFilesKeepsListAndPassesEverything) {
    FilterCriteria c;
    ChooseExtensionGroup(c, 4);
    ChooseExtensionGroup(c, 0);
    EXPECT_EQ(c.extList, "wav.mp3.mid.asf.wmv");
    EXPECT_TRUE(ExtensionPassesExact(c, "anything"));
    EXPECT_TRUE(ExtensionPassesSubstring(c, ""));
}

TEST(FilterExtensionTest, MailListKeepsItsCase) {
    FilterCriteria c;
    ChooseExtensionGroup(c, 6);
    EXPECT_EQ(c.extList, "dbx.pst.box.stg.bak.ADC.INDX.uidl");
    // The file's extension is lowered, the list is not: "adc" never matches.
    EXPECT_FALSE(ExtensionPassesExact(c, "ADC"));
    EXPECT_TRUE(ExtensionPassesExact(c, "UIDL"));
}

TEST(FilterExtensionTest, SubstringAndNtfsScanRules) {
    FilterCriteria c;
    ChooseExtensionGroup(c, 5);
    EXPECT_TRUE(ExtensionPassesSubstring(c, "vi"));  // a substring of "avi"
    EXPECT_FALSE(ExtensionPassesSubstring(c, ""));
    EXPECT_TRUE(ExtensionPassesNtfsScan(c, "clip.avi"));
    EXPECT_FALSE(ExtensionPassesNtfsScan(c, "clip.mov"));  // the last entry has no dot after it
}

TEST(FilterDialogTest, SizeFieldValidation) {
    double a = 0, b = 0;
    EXPECT_EQ(ValidateSizeFields("abc", "0", false, a, b), CriteriaValidation::StayOpenSilently);
    EXPECT_EQ(ValidateSizeFields("5", "0.5", false, a, b), CriteriaValidation::StayOpenSilently);
    EXPECT_EQ(ValidateSizeFields("30", "20", true, a, b), CriteriaValidation::StartLargerThanEnd);
    EXPECT_EQ(ValidateSizeFields("30", "20", false, a, b), CriteriaValidation::Ok);
    EXPECT_EQ(ValidateSizeFields("0", "0", true, a, b), CriteriaValidation::Ok);
    EXPECT_EQ(ValidateSizeFields("10", "20", true, a, b), CriteriaValidation::Ok);
    EXPECT_DOUBLE_EQ(a, 10);
    EXPECT_DOUBLE_EQ(b, 20);
    EXPECT_STREQ(kStartLargerThanEndText, "Start size can't larger then end size!");
}

TEST(FilterDialogTest, QuickSearchResetKeepsListAndName) {
    FilterCriteria c;
    ChooseExtensionGroup(c, 3);
    c.namePart = "x";
    c.dateMode = kDateOn;
    c.sizeMode = kSizeBetween;
    c.minSizeKB = 1;
    c.maxSizeKB = 2;
    ResetForQuickSearch(c, 0x5A21);
    EXPECT_EQ(c.extGroup, 0);
    EXPECT_EQ(c.dateMode, kDateIgnore);
    EXPECT_EQ(c.sizeMode, kSizeIgnore);
    EXPECT_EQ(c.minSizeKB, 0);
    EXPECT_EQ(c.date, 0x5A21);
    EXPECT_EQ(c.namePart, "x");
    EXPECT_EQ(c.extList, ExtensionGroupList(3));
}

}  // namespace
}  // namespace vantor
