#include <gtest/gtest.h>

#include "fat/fat_dirent.h"
#include "fat/fat_scan.h"
#include "fat_test_util.h"

namespace vantor {
namespace {

using fattest::Entry;
using fattest::EncodeYmd;

FatDirEntry View(const std::array<std::byte, 32>& raw) { return FatDirEntry{ByteSpan(raw)}; }

FatEntryRules Rules16(int year = 2026) {
    FatEntryRules r;
    r.kind = FatKind::Fat16;
    r.totalSectors = 100000;
    r.sectorsPerCluster = 4;
    r.sectorsPerFat = 100;
    r.currentYear = year;
    return r;
}

TEST(FatDirentNames, DeletedShortNameAndLongNameSplit) {
    Entry report{"REPORT  DOC", 0x20, 5, 100};
    report.deleted = true;
    const auto raw = report.bytes();
    auto rec = MakeFatFoundFile(View(raw), "", FatKind::Fat16);
    EXPECT_EQ(rec->nameText(), "#EPORT.doc");
    EXPECT_EQ(rec->extText(), "doc");
    EXPECT_TRUE(rec->deleted);

    std::string lowerName, lowerExt;
    rec = MakeFatFoundFile(View(raw), "Quarterly Report.DOCX", FatKind::Fat16, &lowerName, &lowerExt);
    EXPECT_EQ(rec->nameText(), "Quarterly Report.docx");
    EXPECT_EQ(rec->extText(), "docx");
    EXPECT_EQ(lowerName, "quarterly report");
    EXPECT_EQ(lowerExt, "docx");

    // Only the first 4 characters of a longer extension go to ext.
    rec = MakeFatFoundFile(View(raw), "page.shtml", FatKind::Fat16);
    EXPECT_EQ(rec->nameText(), "page.shtml");
    EXPECT_EQ(rec->extText(), "shtm");

    // A leading dot does not split; the short entry's extension stays.
    Entry profile{"PROFILE    ", 0x20, 5, 10};
    const auto praw = profile.bytes();
    rec = MakeFatFoundFile(View(praw), ".profile", FatKind::Fat16);
    EXPECT_EQ(rec->nameText(), ".profile");
    EXPECT_EQ(rec->extText(), "");
}

TEST(FatDirentNames, UnprintableShortNameBecomesUnderscore) {
    Entry junk{std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8) + "TXT", 0x20, 5, 10};
    const auto raw = junk.bytes();
    auto rec = MakeFatFoundFile(View(raw), "", FatKind::Fat16);
    EXPECT_EQ(rec->nameText(), "_.txt");
}

TEST(FatDirentNames, LongNamePiecesAreJoinedLastFirst) {
    const auto pieces = fattest::LongNameEntries("A rather long file name.txt", 0x5A);
    ASSERT_EQ(pieces.size(), 3u);
    FatLongNameAccumulator acc;
    for (const auto& p : pieces) acc.add(View(p));
    EXPECT_EQ(acc.text(), "A rather long file name.txt");
    // A piece with another checksum starts a new name.
    const auto other = fattest::LongNameEntries("x", 0x11);
    acc.add(View(other[0]));
    EXPECT_EQ(acc.text(), "x");
}

TEST(FatDirentNames, AttributeTexts) {
    EXPECT_EQ(FatAttributeText(0x20), "RW");
    EXPECT_EQ(FatAttributeText(0x01), "R");
    EXPECT_EQ(FatAttributeText(0x02), "H-RW");
    EXPECT_EQ(FatAttributeText(0x03), "H-R");
    EXPECT_EQ(FatAttributeText(0x04), "RW-S");
    EXPECT_EQ(FatAttributeText(0x05), "R-S");
    EXPECT_EQ(FatAttributeText(0x06), "H-RW-S");
    EXPECT_EQ(FatAttributeText(0x07), "H-R-S");
}

TEST(FatDirentRules, DateWindowAcceptsOldFilesUpToNextYear) {
    // 2019 is seven years before 2026: accepted (the old five-year window dropped it).
    EXPECT_TRUE(FatDateOk(EncodeYmd(2019, 6, 1), 2026));
    EXPECT_TRUE(FatDateOk(EncodeYmd(1980, 1, 1), 2026));
    EXPECT_TRUE(FatDateOk(EncodeYmd(2027, 12, 31), 2026));
    EXPECT_FALSE(FatDateOk(EncodeYmd(2028, 1, 1), 2026));
    EXPECT_FALSE(FatDateOk(static_cast<uint16_t>((46u << 9) | (13u << 5) | 1u), 2026));  // month 13
    EXPECT_TRUE(FatDateOk(0, 2026));
}

TEST(FatDirentRules, Fat16ShortEntryValidation) {
    const auto rules = Rules16();
    Entry ok{"FILE    TXT", 0x20, 10, 100};
    EXPECT_TRUE(FatShortEntryValid(View(ok.bytes()), false, rules));
    Entry bigCluster{"FILE    TXT", 0x20, 25001, 100};  // above 100000 / 4
    EXPECT_FALSE(FatShortEntryValid(View(bigCluster.bytes()), false, rules));
    Entry star{"FI*E    TXT", 0x20, 10, 100};
    EXPECT_FALSE(FatShortEntryValid(View(star.bytes()), false, rules));
    EXPECT_TRUE(FatShortEntryValid(View(star.bytes()), true, rules));  // a long name excuses the characters
    Entry future = ok;
    future.date = EncodeYmd(2030, 1, 1);
    EXPECT_FALSE(FatShortEntryValid(View(future.bytes()), true, rules));
    Entry old = ok;
    old.date = EncodeYmd(2015, 1, 1);
    EXPECT_TRUE(FatShortEntryValid(View(old.bytes()), false, rules));
    Entry empty{"EMPTY   TXT", 0x20, 0, 0};  // an empty file has no cluster
    EXPECT_TRUE(FatShortEntryValid(View(empty.bytes()), false, rules));
}

TEST(FatDirentRules, Fat32ChecksOnlyHighWordAndCharacters) {
    FatEntryRules r = Rules16();
    r.kind = FatKind::Fat32;
    r.sectorsPerFat = 1024;  // 512 x 1024 / 262144 = 2
    Entry e{"FILE    TXT", 0x20, (2u << 16) | 5, 10};
    e.date = EncodeYmd(2040, 1, 1);  // no date rule on FAT32
    EXPECT_TRUE(FatShortEntryValid(View(e.bytes()), false, r));
    e.cluster = (3u << 16) | 5;
    EXPECT_FALSE(FatShortEntryValid(View(e.bytes()), true, r));
}

TEST(FatDirentSectorTest, RecognisesDirectoriesAndRefusesData) {
    const auto rules = Rules16();
    std::array<std::byte, 512> s{};
    auto put = [&](size_t slot, const std::array<std::byte, 32>& e) {
        std::memcpy(s.data() + slot * 32, e.data(), 32);
    };
    // Dot entries: yes at once.
    put(0, Entry{".", 0x10, 5}.bytes());
    put(1, Entry{"..", 0x10, 0}.bytes());
    EXPECT_TRUE(FatIsDirectorySector(s, rules));

    s.fill(std::byte{0});
    EXPECT_FALSE(FatIsDirectorySector(s, rules));  // byte 0 of entry 0 is 0

    size_t slot = 0;
    for (const auto& p : fattest::LongNameEntries("Some long name.txt", 0x33)) put(slot++, p);
    put(slot++, Entry{"SOMELO~1TXT", 0x20, 7, 100}.bytes());
    put(slot++, Entry{"OTHER   TXT", 0x20, 8, 100}.bytes());
    EXPECT_TRUE(FatIsDirectorySector(s, rules));

    // An old (2016) entry no longer makes the sector fail.
    auto oldEntry = Entry{"OLDFILE TXT", 0x20, 9, 100};
    oldEntry.date = EncodeYmd(2016, 3, 3);
    put(slot, oldEntry.bytes());
    EXPECT_TRUE(FatIsDirectorySector(s, rules));

    // The same live name twice is not a directory.
    put(slot, Entry{"OTHER   TXT", 0x20, 8, 100}.bytes());
    EXPECT_FALSE(FatIsDirectorySector(s, rules));

    // Random bytes are not a directory.
    const auto noise = fattest::XorshiftBytes(99, 512);
    EXPECT_FALSE(FatIsDirectorySector(noise, rules));
}

TEST(FatDirentSectorTest, BrokenEntryAfterTheEndMarkStillCounts) {
    const auto rules = Rules16();
    std::array<std::byte, 512> s{};
    std::memcpy(s.data(), Entry{"ONE     TXT", 0x20, 7, 1}.bytes().data(), 32);
    std::memcpy(s.data() + 32, Entry{"TWO     TXT", 0x20, 8, 1}.bytes().data(), 32);
    // entry 2 zero: end seen; entry 3 invalid attribute
    s[3 * 32 + 0] = std::byte{'X'};
    s[3 * 32 + 11] = std::byte{0x40};
    EXPECT_TRUE(FatIsDirectorySector(s, rules));
}

TEST(FatMasks, MaskTextsAndPathFilter) {
    const auto jpgGif = ParseFatMaskText("*.jpg;*.gif");
    ASSERT_EQ(jpgGif.size(), 2u);
    EXPECT_TRUE(FatMasksMatch(jpgGif, "holiday", "jpg"));
    EXPECT_TRUE(FatMasksMatch(jpgGif, "x", "gif"));
    EXPECT_FALSE(FatMasksMatch(jpgGif, "x", "png"));

    const auto rep = ParseFatMaskText("rep*");
    ASSERT_EQ(rep.size(), 1u);
    EXPECT_EQ(rep[0].name, "rep*");
    EXPECT_FALSE(FatMasksMatch(rep, "report", "doc"));
    EXPECT_TRUE(FatMasksMatch(rep, "my rep* file", "doc"));

    const auto all = ParseFatMaskText("");
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(FatMasksMatch(all, "anything", "at"));

    const auto picture = ParseFatMaskText(kFatPictureMaskText);
    EXPECT_EQ(picture.size(), 18u);
    EXPECT_TRUE(FatMasksMatch(picture, "a", "wbmp"));

    EXPECT_EQ(ParseFatPathFilter("C:\\Docs\\\\Old Reports\\"),
              (std::vector<std::string>{"docs", "old reports"}));
    EXPECT_TRUE(ParseFatPathFilter("C:\\").empty());
    EXPECT_EQ(FatMaskTextForType(6, FatKind::Fat32, "x"), kFat32MailMaskText);
    EXPECT_EQ(FatMaskTextForType(6, FatKind::Fat16, "x"), kFat16MailMaskText);
    EXPECT_EQ(FatMaskTextForType(0, FatKind::Fat16, "x"), "x");
}

}  // namespace
}  // namespace vantor
