#include "dialogs/progress_text.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(ProgressTextTest, ElapsedHoursWrapAtTwentyFour) {
    EXPECT_EQ(ElapsedTimeText(0), "Elapsed Time : 00:00:00");
    EXPECT_EQ(ElapsedTimeText(90000), "Elapsed Time : 01:00:00");
    EXPECT_EQ(ElapsedTimeText(3600 * 23 + 59 * 60 + 59), "Elapsed Time : 23:59:59");
}

TEST(ProgressTextTest, RemainingHoursDoNotWrap) {
    EXPECT_EQ(RemainingTimeText(90000), "Remaining Time : 25:00:00");
    EXPECT_EQ(RemainingTimeText(1001), "Remaining Time : 00:16:41");
    EXPECT_EQ(RemainingTimeText(360000), "Remaining Time : 100:00:00");
}

TEST(ProgressTextTest, RemainingEstimate) {
    // Nothing done yet: P counts as 1.
    EXPECT_EQ(RemainingSeconds(10, 100, 0), 1001u);
    EXPECT_EQ(RemainingSeconds(10, 0, 0), 1u);
    EXPECT_EQ(RemainingSeconds(30, 100, 50), 31u);
    // Truncated before the 1 is added: 7 * 2 / 3 = 4.
    EXPECT_EQ(RemainingSeconds(7, 5, 3), 5u);
}

TEST(ProgressTextTest, RemainingEstimateDoesNotWrap) {
    // Byte totals near 4 GiB: a 32-bit product would wrap.
    EXPECT_EQ(RemainingSeconds(100000, 4000000000u, 1), 100000ull * 3999999999ull + 1);
    // A position beyond the estimate means nothing is left, not 4 billion.
    EXPECT_EQ(RemainingSeconds(50, 10, 20), 1u);
    // A clock jump cannot overflow the product.
    EXPECT_GT(RemainingSeconds(UINT64_MAX / 2, 4000000000u, 0), 0u);
}

TEST(ProgressTextTest, BarIgnoresUnknownTotal) {
    ProgressBar bar;
    EXPECT_FALSE(bar.update(0, 5));
    EXPECT_EQ(bar.rangeMax, 0u);
    EXPECT_EQ(bar.pos, 0u);
    EXPECT_TRUE(bar.update(200, 50));
    EXPECT_FALSE(bar.update(0, 70));  // a total dropping to 0 leaves the bar where it was
    EXPECT_EQ(bar.rangeMax, 200u);
    EXPECT_EQ(bar.pos, 50u);
}

TEST(ProgressTextTest, TickReadsTheFields) {
    ProgressFields f;
    f.setText("Found Deleted Files : 3");
    f.m_nProgressTotal = 100;
    f.m_nProgressPos = 0;
    ProgressTexts t = ProgressTick(f, 10);
    EXPECT_EQ(t.contents, "Found Deleted Files : 3");
    EXPECT_EQ(t.elapsed, "Elapsed Time : 00:00:10");
    EXPECT_EQ(t.remaining, "Remaining Time : 00:16:41");
}

}  // namespace
}  // namespace vantor
