// The signature table and the carving scan at byte level: rp.dat in both
// stored forms, the pattern rules, and how the scan cuts sectors into files.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "platform/lznt1.h"
#include "raw/raw_scanner.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

struct Pat {
    int offset;
    std::string text;
};
struct Row {
    std::string ext;
    std::vector<Pat> patterns;
    bool enabled = true;
};

std::string Markup(const std::vector<Row>& rows) {
    std::string m = "<?xml version=\"1.0\"?>\n<rp v=\"1\">\n";
    for (const Row& r : rows) {
        m += "<type><e>" + r.ext + "</e><d>" + r.ext + " file</d><s n=\"" + std::to_string(r.patterns.size()) + "\">";
        for (const Pat& p : r.patterns) m += "<p o=\"" + std::to_string(p.offset) + "\">" + p.text + "</p>";
        m += "</s></type>\n";
    }
    return m + "</rp>\n";
}

ByteSpan Span(const std::string& s) { return ByteSpan(reinterpret_cast<const std::byte*>(s.data()), s.size()); }

struct Put {
    uint64_t byte;  // position in the image
    std::vector<uint8_t> bytes;
};
struct Carved {
    std::string name;
    uint64_t startSector;
    uint64_t size;
    bool operator==(const Carved&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Carved& c) {
    return o << c.name << "@" << c.startSector << "+" << c.size;
}

struct Case {
    const char* what;
    std::vector<Row> rows;
    std::vector<Put> puts;
    uint64_t sectors;            // image and range size
    std::vector<Carved> expect;
    uint32_t maxKB = 0;
};

std::vector<Carved> Carve(const Case& c, bool formatEnds = false) {
    RawSignatureTable table;
    std::string error;
    EXPECT_TRUE(ParseSignatures(Span(Markup(c.rows)), table, error)) << error;
    for (size_t i = 0; i < c.rows.size() && i < table.rows.size(); ++i) table.rows[i]->enabled = c.rows[i].enabled;
    table.formatEnds = formatEnds;
    std::vector<std::byte> img(c.sectors * 512, std::byte{0x55});
    for (const Put& p : c.puts)
        for (size_t i = 0; i < p.bytes.size(); ++i) img[p.byte + i] = std::byte{p.bytes[i]};
    CRawScanner scanner;
    scanner.Attach(std::make_shared<MemoryDevice>(std::move(img)));
    scanner.SetPartitionStart(0, 512);
    scanner.SetScanRange(0, c.sectors);
    scanner.SetMaxSize(c.maxKB);
    scanner.SetTable(&table);
    ProgressFields progress;
    EXPECT_EQ(scanner.Scan(progress), 0);
    std::vector<Carved> out;
    for (const auto& it : scanner.items()) out.push_back({it->name, it->startSector, it->size});
    return out;
}

const std::vector<uint8_t> kJpeg{0xFF, 0xD8, 0xFF};

TEST(RawMatcher, ByteRulesAndCuts) {
    const Row jpg{"jpg", {{0, "ffd8ff"}}};
    const Case cases[] = {
        {"lower-case digits match the bytes", {jpg}, {{1024, kJpeg}}, 8, {{"File0.jpg", 2, 6 * 512}}},
        {"upper-case digits match nothing", {{"jpg", {{0, "FFD8FF"}}}}, {{1024, kJpeg}}, 8, {}},
        {"either alternative matches",
         {{"img", {{0, "424d|89504e47"}}}},
         {{512, {0x42, 0x4D}}, {2048, {0x89, 0x50, 0x4E, 0x47}}},
         8,
         {{"File0.img", 1, 3 * 512}, {"File1.img", 4, 4 * 512}}},
        {"an odd final digit compares the high nibble",
         {{"n", {{3, "4"}}}},
         {{3, {0x4A}}, {512 + 3, {0x5A}}, {1024 + 3, {0x40}}},
         4,
         {{"File0.n", 0, 1024}, {"File1.n", 2, 1024}}},
        {"a pattern one sector in completes a pending match",
         {jpg, {"iso", {{0, "aabb"}, {512, "ccdd"}}}},
         {{512, kJpeg}, {1536, {0xAA, 0xBB}}, {2048, {0xCC, 0xDD}}},
         8,
         {{"File0.jpg", 1, 1024}, {"File1.iso", 3, 5 * 512}}},
        {"a pending match that fails leaves no file open",
         {jpg, {"iso", {{0, "aabb"}, {512, "ccdd"}}}},
         {{512, kJpeg}, {1536, {0xAA, 0xBB}}},
         8,
         {{"File0.jpg", 1, 1024}}},
        {"a first pattern past the first sector moves the start back",
         {{"iso", {{32768, "0143443030"}}}},
         {{70 * 512, {0x01, 0x43, 0x44, 0x30, 0x30}}},
         80,
         {{"File0.iso", 6, 74 * 512}}},
        {"the earlier row names the file", {{"aaa", {{0, "ffd8"}}}, jpg}, {{0, kJpeg}}, 2, {{"File0.aaa", 0, 1024}}},
        {"a disabled row starts nothing", {{"aaa", {{0, "ffd8"}}, false}, jpg}, {{0, kJpeg}}, 2, {{"File0.jpg", 0, 1024}}},
        {"two headers 100 sectors apart", {jpg}, {{0, kJpeg}, {100 * 512, kJpeg}}, 101,
         {{"File0.jpg", 0, 100 * 512}, {"File1.jpg", 100, 512}}},
        {"the size cap closes at the first sector that reaches it", {jpg}, {{0, kJpeg}}, 10,
         {{"File0.jpg", 0, 2048}}, 2},
        {"the tail after the last whole window is tested, its last sector too", {jpg},
         {{4002 * 512, kJpeg}}, 4003, {{"File0.jpg", 4002, 512}}},
        {"numbers count every file before, whatever its type",
         {jpg, {"png", {{0, "89504e47"}}}},
         {{0, kJpeg}, {512, {0x89, 0x50, 0x4E, 0x47}}, {1024, kJpeg}},
         4,
         {{"File0.jpg", 0, 512}, {"File1.png", 1, 512}, {"File2.jpg", 2, 1024}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Carve(c), c.expect) << c.what;
}

TEST(RawMatcher, FormatEndsCutAtTheFileAndDropBrokenHeaders) {
    // A PNG of one IHDR and IEND, then filler up to the next header; and a
    // JPEG header whose first segment is not one.
    const std::vector<uint8_t> png{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                   0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 0, 0x90, 0x77, 0x53, 0xDE,
                                   0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    const Case c{"png", {{"png", {{0, "89504e47"}}}, {"jpg", {{0, "ffd8ff"}}}},
                 {{512, png}, {2048, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}}}, 8, {}};
    EXPECT_EQ(Carve(c, true), (std::vector<Carved>{{"File0.png", 1, png.size()}}));
    EXPECT_EQ(Carve(c, false), (std::vector<Carved>{{"File0.png", 1, 3 * 512}, {"File1.jpg", 4, 4 * 512}}));
    // A back offset reaching to the open file's first sector replaces it
    // instead of leaving an empty file.
    const Case back{"back", {{"aaa", {{0, "ffd8"}}}, {"iso", {{32768, "0143443030"}}}},
                    {{512, {0xFF, 0xD8}}, {65 * 512, {0x01, 0x43, 0x44, 0x30, 0x30}}}, 70, {}};
    EXPECT_EQ(Carve(back, true), (std::vector<Carved>{{"File0.iso", 1, 69 * 512}}));
}

TEST(RawSignatures, BothStoredFormsGiveTheSameTable) {
    const std::string markup = Markup({{"jpg", {{0, "ffd8ff"}}}, {"iso", {{0, "aa"}, {32768, "0143"}}}});
    RawSignatureTable plain, packed;
    std::string error;
    ASSERT_TRUE(ParseSignatures(Span(markup), plain, error)) << error;
    const auto file = EncodeSignatureFile(markup);
    ASSERT_NE(static_cast<char>(file[0]), '<');
    ASSERT_TRUE(ParseSignatures(file, packed, error)) << error;
    ASSERT_EQ(packed.rows.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(packed.rows[i]->extension, plain.rows[i]->extension);
        EXPECT_EQ(packed.rows[i]->description, plain.rows[i]->description);
        ASSERT_EQ(packed.rows[i]->patterns.size(), plain.rows[i]->patterns.size());
        EXPECT_EQ(packed.rows[i]->patterns.back().offset, plain.rows[i]->patterns.back().offset);
    }
    EXPECT_EQ(packed.rows[1]->patterns[1].offset, 32768);
    // From a file, even when the compressed bytes hold what a text-mode read changes.
    test::ScratchDir scratch;
    const auto path = scratch.path() / "rp.dat";
    std::string spaced = markup;
    spaced.insert(spaced.find('\n'), "\f\t\x19");  // shifted up: CR LF 0x1A
    const auto withCr = EncodeSignatureFile(spaced);
    ASSERT_LT(TextModeBytes(withCr).size(), withCr.size());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(withCr.data()), static_cast<std::streamsize>(withCr.size()));
    RawSignatureTable loaded;
    ASSERT_TRUE(LoadSignatures(path.string(), loaded, error)) << error;
    EXPECT_EQ(loaded.rows.size(), 2u);
}

TEST(RawSignatures, BadTablesSayWhyAndOutOfLimitEntriesAreSkipped) {
    struct Bad {
        std::string text;
        std::string says;
    };
    const Bad bad[] = {
        {"<rp v='1'><type><e>jpg</e><d>JPEG</d><s n='1'><p o='0'>ffd8</p></s></type>", "no end tag for <rp>"},
        {"<rp v='1'><type><e>jpg</e><d>JPEG</d></typ></rp>", "where </type> belongs"},
        {"<rp v='1'></rp>", "no usable signature"},
        {"", "empty"},
    };
    for (const Bad& b : bad) {
        RawSignatureTable t;
        std::string error;
        EXPECT_FALSE(ParseSignatures(Span(b.text), t, error)) << b.text;
        EXPECT_NE(error.find(b.says), std::string::npos) << error;
        EXPECT_TRUE(t.empty());
    }
    // Four patterns, a count above the patterns given, a 12-character
    // extension, a path in the extension: each entry is left out, the rest loads.
    const std::string mixed =
        "<rp v='1'><type><e>a</e><d>A</d><s n='4'><p o='0'>01</p><p o='0'>01</p><p o='0'>01</p><p o='0'>01</p></s>"
        "<s n='2'><p o='0'>02</p></s></type><type><e>abcdefghijkl</e><d>B</d><s n='1'><p o='0'>03</p></s></type>"
        "<type><e>../x</e><d>C</d><s n='1'><p o='0'>04</p></s></type>"
        "<type><e>ok</e><d>D</d><s n='1'><p o='0'>05</p></s></type></rp>";
    RawSignatureTable t;
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(ParseSignatures(Span(mixed), t, error, &warnings)) << error;
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0]->extension, "ok");
    EXPECT_EQ(warnings.size(), 4u);

    test::ScratchDir scratch;
    EXPECT_FALSE(LoadSignatures((scratch.path() / "rp.dat").string(), t, error));
    EXPECT_NE(error.find("cannot open the signature table"), std::string::npos);
}

TEST(RawSignatures, TheShippedTableLoadsInTextModeWithItsTypes) {
    RawSignatureTable t;
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(LoadSignatures(VANTOR_RP_DAT, t, error, &warnings)) << error;
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    std::set<std::string> types;
    for (const auto& r : t.rows) types.insert(r->extension);
    EXPECT_GE(types.size(), 40u);
    // CR LF arrives as LF and 0x1A ends the file.
    const std::string dos = "<rp v='1'>\r\n<type><e>jpg</e><d>J</d><s n='1'><p o='0'>ffd8</p></s></type></rp>\x1Agarbage<";
    const auto bytes = TextModeBytes(Span(dos));
    RawSignatureTable d;
    ASSERT_TRUE(ParseSignatures(bytes, d, error)) << error;
    EXPECT_EQ(d.rows.size(), 1u);
}

}  // namespace
}  // namespace vantor
