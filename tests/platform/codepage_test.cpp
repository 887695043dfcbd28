#include <gtest/gtest.h>

#include <vector>

#include "platform/codepage.h"

namespace vantor {
namespace {

std::vector<std::byte> le(std::initializer_list<int> v) {
    std::vector<std::byte> b;
    for (int x : v) b.push_back(std::byte(x));
    return b;
}

TEST(Codepage, Utf16LeBytesBecomeUtf8) {
    EXPECT_EQ(Utf16LeToUtf8(le({'H', 0, 'i', 0, '.', 0})), "Hi.");
    EXPECT_EQ(Utf16LeToUtf8(le({0xE9, 0x00, 0xAC, 0x20})), "\xC3\xA9\xE2\x82\xAC");  // é €
    EXPECT_EQ(Utf16LeToUtf8(le({0x3D, 0xD8, 0x00, 0xDE})), "\xF0\x9F\x98\x80");    // U+1F600
    EXPECT_EQ(Utf16LeToUtf8(le({'a', 0, 'b'})), "a");                               // odd tail
    EXPECT_EQ(Utf16LeToUtf8({}), "");
}

TEST(Codepage, UnpairedSurrogatesBecomeReplacement) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(WideToUtf8(std::u16string{0xD83D}), fffd);
    EXPECT_EQ(WideToUtf8(std::u16string{0xDE00, u'x'}), fffd + "x");
    EXPECT_EQ(WideToUtf8(std::u16string{0xD83D, u'x', 0xDE00}), fffd + "x" + fffd);
    EXPECT_EQ(WideToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), fffd + "\xF0\x9F\x98\x80");
}

TEST(Codepage, Utf8ToWideHandlesEveryLength) {
    EXPECT_EQ(Utf8ToWide("Caf\xC3\xA9 \xC3\x9C"), u"Café Ü");
    EXPECT_EQ(Utf8ToWide("\xE2\x82\xAC\xEF\xBF\xBF"), u"\u20AC\uFFFF");
    EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
    EXPECT_EQ(Utf8ToWide("\xF4\x8F\xBF\xBF"), (std::u16string{0xDBFF, 0xDFFF}));  // U+10FFFF
    const std::u16string mixed = u"Grüße, Ελλάδα, 日本 \U0001F600";
    EXPECT_EQ(MultiByteToWide(WideToMultiByte(mixed)), mixed);
}

TEST(Codepage, InvalidUtf8BecomesReplacementPerBadSequence) {
    const char16_t r = 0xFFFD;
    EXPECT_EQ(Utf8ToWide("a\x80z"), (std::u16string{u'a', r, u'z'}));              // stray continuation
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), (std::u16string{r, r}));                     // overlong '/'
    EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), (std::u16string{r, r, r}));              // overlong, 3 bytes
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), (std::u16string{r, r, r}));              // encoded surrogate
    EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), (std::u16string{r, r, r, r}));       // past U+10FFFF
    EXPECT_EQ(Utf8ToWide("\xE2\x82" "A"), (std::u16string{r, u'A'}));              // cut sequence
    EXPECT_EQ(Utf8ToWide("x\xF0\x9F\x98"), (std::u16string{u'x', r}));             // cut at the end
    EXPECT_EQ(Utf8ToWide("\xFF\xFE"), (std::u16string{r, r}));
}

TEST(Codepage, AsciiLowerTouchesOnlyAsciiLetters) {
    EXPECT_EQ(AsciiLower("PHOTO.JPG"), "photo.jpg");
    EXPECT_EQ(AsciiLower("\xC3\x84" "Bc[@]"), "\xC3\x84" "bc[@]");  // Ä stays
}

}  // namespace
}  // namespace vantor
