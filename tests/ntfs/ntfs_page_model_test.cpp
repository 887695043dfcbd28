#include "ntfs/ntfs_page_model.h"

#include <gtest/gtest.h>

#include <map>

#include <cstdlib>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

#include "platform/time_util.h"

namespace vantor {
namespace {

constexpr uint64_t kMiB = 1ull << 20;
constexpr uint64_t kGiB = 1ull << 30;

// Items the way the scan hands them over: owned elsewhere, indexed in order.
class NtfsPageModelTest : public ::testing::Test {
protected:
    void SetUp() override { model.begin('E'); }

    // path: nearest folder first, as the engine builds it.
    NtfsFoundItem& add(const std::string& name, uint64_t size,
                       std::vector<std::pair<std::string, uint32_t>> path = {}) {
        NtfsFoundItem& it = items.emplace_back();
        it.setName(name);
        it.size = size;
        it.deleted = 1;
        it.recordIndex = static_cast<uint32_t>(64 + items.size());
        for (auto& [n, r] : path) {
            it.pathNames.push_back(n);
            it.pathRecords.push_back(r);
        }
        NtfsItemSink& sink = model;
        sink.onFoundItem(&it, static_cast<uint32_t>(items.size() - 1));
        return it;
    }
    uint32_t indexOf(const NtfsFoundItem& it) const {
        for (size_t i = 0; i < items.size(); ++i)
            if (&items[i] == &it) return static_cast<uint32_t>(i);
        return ~0u;
    }
    FolderNode* child(FolderNode* n, const std::string& text, size_t nth = 0) {
        for (const auto& c : n->children())
            if (c->text == text && nth-- == 0) return c.get();
        return nullptr;
    }
    std::vector<uint32_t> listed(const FolderNode* n) { return NtfsPageModel::nodeData(n)->items; }
    std::vector<std::string> rowNames() {
        std::vector<std::string> names;
        for (const auto& r : model.rows()) names.push_back(r.item->nameText());
        return names;
    }

    std::deque<NtfsFoundItem> items;  // stable addresses, like the volume's list
    NtfsPageModel model;
};

TEST_F(NtfsPageModelTest, ItemsWithoutPathGoToTheNamedRoot) {
    add("top.txt", 10);
    FolderNode* root = model.root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text, "NTFS - Logical Disk (E:)");
    EXPECT_EQ(root->childCount(), 0u);
    EXPECT_EQ(listed(root), (std::vector<uint32_t>{0}));
    EXPECT_TRUE(NtfsPageModel::nodeData(root)->isRoot);
}

TEST_F(NtfsPageModelTest, FoldersAreMatchedByNameAndRecordNumber) {
    // Two files in one deleted folder share a node.
    add("a.txt", 1, {{"Docs", 40}});
    add("b.txt", 2, {{"Docs", 40}});
    // Same name, other record: a sibling.
    add("c.txt", 3, {{"Docs", 41}});
    // Same record, other name: a sibling too.
    add("d.txt", 4, {{"Papers", 40}});

    FolderNode* root = model.root();
    ASSERT_EQ(root->childCount(), 3u);
    FolderNode* docs40 = child(root, "Docs", 0);
    FolderNode* docs41 = child(root, "Docs", 1);
    ASSERT_TRUE(docs40 && docs41);
    EXPECT_EQ(NtfsPageModel::nodeData(docs40)->key, 40u);
    EXPECT_EQ(NtfsPageModel::nodeData(docs41)->key, 41u);
    EXPECT_EQ(listed(docs40), (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(listed(docs41), (std::vector<uint32_t>{2}));
    EXPECT_EQ(docs40->image, kNtfsFolderImage);
    EXPECT_EQ(docs40->selectedImage, kNtfsFolderOpenImage);
    EXPECT_EQ(model.allTotals(), (NtfsTotals{4, 10}));
}

TEST_F(NtfsPageModelTest, DeepPathsReuseExistingFoldersAndCreateTheRest) {
    // The deeper file arrives first: A and B are made from its path alone.
    add("deep.txt", 5, {{"B", 41}, {"A", 40}});
    // A later file in A finds it; one in A/C grows a second child of A.
    add("mid.txt", 6, {{"A", 40}});
    add("other.txt", 7, {{"C", 50}, {"A", 40}});
    // A path whose top folder differs in record number starts a new branch,
    // even when a lower entry would match.
    add("split.txt", 8, {{"B", 41}, {"A", 99}});

    FolderNode* root = model.root();
    ASSERT_EQ(root->childCount(), 2u);
    FolderNode* a = child(root, "A", 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(listed(a), (std::vector<uint32_t>{1}));
    ASSERT_EQ(a->childCount(), 2u);
    EXPECT_EQ(a->child(0)->text, "B");
    EXPECT_EQ(a->child(1)->text, "C");
    EXPECT_EQ(listed(a->child(0)), (std::vector<uint32_t>{0}));
    EXPECT_EQ(listed(a->child(1)), (std::vector<uint32_t>{2}));
    FolderNode* a99 = child(root, "A", 1);
    ASSERT_NE(a99, nullptr);
    EXPECT_EQ(NtfsPageModel::nodeData(a99)->key, 99u);
    ASSERT_EQ(a99->childCount(), 1u);
    EXPECT_EQ(listed(a99->child(0)), (std::vector<uint32_t>{3}));
    EXPECT_EQ(model.nodeOfItem(3), a99->child(0));
    EXPECT_EQ(NtfsPageModel::folderPath(a99->child(0)), "A/B");
}

TEST_F(NtfsPageModelTest, OrphansLandInLostFilesAndFolderItemsAreNotPlaced) {
    // A parent that never shows up as a folder: the engine's made-up entries.
    add("orphan1.txt", 1, {{"Dir0", 77}, {"Lost Files0", 1}});
    add("orphan2.txt", 1, {{"Dir1", 77}, {"Lost Files0", 1}});
    // The folder record itself arrives later and is not a list entry.
    NtfsFoundItem& folder = items.emplace_back();
    folder.setName("Docs");
    folder.attributes = kNtfsAttrFolder;
    model.onFoundItem(&folder, static_cast<uint32_t>(items.size() - 1));

    FolderNode* root = model.root();
    ASSERT_EQ(root->childCount(), 1u);
    FolderNode* lost = child(root, "Lost Files0");
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->childCount(), 2u);
    EXPECT_EQ(listed(lost).size(), 0u);
    EXPECT_EQ(model.nodeOfItem(2), nullptr);
    EXPECT_EQ(model.allTotals().count, 2u);
}

TEST_F(NtfsPageModelTest, RepeatedDeliveryAndUnevenPathListsAreHarmless) {
    NtfsFoundItem& it = add("x.txt", 100, {{"A", 40}});
    model.onFoundItem(&it, 0);
    model.onFoundItem(nullptr, 5);
    EXPECT_EQ(listed(child(model.root(), "A")).size(), 1u);
    EXPECT_EQ(model.allTotals(), (NtfsTotals{1, 100}));

    NtfsFoundItem& uneven = items.emplace_back();
    uneven.setName("y.txt");
    uneven.pathNames = {"B", "A"};
    uneven.pathRecords = {41};
    FolderNode* placed = model.placeItem(uneven, 1);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(NtfsPageModel::folderPath(placed), "B");
}

TEST(NtfsPageTexts, SizeColumn) {
    EXPECT_EQ(NtfsSizeText(0), "0B");
    EXPECT_EQ(NtfsSizeText(1000), "1000B");
    EXPECT_EQ(NtfsSizeText(1023), "1023B");
    EXPECT_EQ(NtfsSizeText(1024), "1.0KB");
    EXPECT_EQ(NtfsSizeText(1536), "1.5KB");
    EXPECT_EQ(NtfsSizeText(kMiB - 1), "1024.0KB");
    EXPECT_EQ(NtfsSizeText(5 * kMiB), "5.0MB");
    EXPECT_EQ(NtfsSizeText(3 * kGiB), "3.0GB");
    // Sizes are 64-bit: a 6 GiB file is not shown by its low 32 bits.
    EXPECT_EQ(NtfsSizeText(6 * kGiB + kGiB / 2), "6.5GB");
}

TEST(NtfsPageTexts, AttributeLettersInTheirOrder) {
    EXPECT_EQ(NtfsAttributesText(0x2 | 0x800, true), "H-C-Del-");
    EXPECT_EQ(NtfsAttributesText(0, false), "");
    EXPECT_EQ(NtfsAttributesText(0x20, false), "A-");
    EXPECT_EQ(NtfsAttributesText(0x7FF7 | kNtfsAttrFolder, true),
              "R-H-S-D-A-E-N-T-Sp-ReSp-C-O-I-En-Dir-In-Del-");
    // Bits without a letter (0x8 and the high ones) add nothing.
    EXPECT_EQ(NtfsAttributesText(0x8 | 0x20000000, false), "");
}

// Sets TZ for one test and puts the previous value back.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (had_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

TEST(NtfsPageTexts, TimesInLocalTime) {
    const uint64_t t = UnixToFileTime(1700000000);  // 2023-11-14 22:13:20 UTC
    {
        ScopedTz utc("UTC");
        EXPECT_EQ(NtfsTimeText(t), "2023-11-14 22:13:20");
        EXPECT_EQ(NtfsTimeText(UnixToFileTime(946684800)), "2000-01-01 00:00:00");
    }
    {
        ScopedTz berlin("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(NtfsTimeText(t), "2023-11-14 23:13:20");
    }
    EXPECT_EQ(NtfsTimeText(0), "");
    EXPECT_EQ(NtfsTimeText(0x8000000000000000ull), "");
}

TEST(NtfsPageTexts, SummaryLines) {
    EXPECT_EQ(NtfsSummaryText({0, 0}), "0 files - 0.00 Byte");
    EXPECT_EQ(NtfsSummaryText({2, 1023}), "2 files - 1023.00 Byte");
    EXPECT_EQ(NtfsSummaryText({1, 1536}), "1 files - 1.50 KB");
    EXPECT_EQ(NtfsSummaryText({7, 2 * kMiB}), "7 files - 2.00 MB");
    EXPECT_EQ(NtfsSummaryText({3, 3 * kGiB}), "3 files - 3.00 GB");
    // GB is the last unit, and totals are not cut at 32 bits.
    EXPECT_EQ(NtfsSummaryText({9, 5000 * kGiB}), "9 files - 5000.00 GB");
}

TEST(NtfsPageTexts, ColumnsAndTypeNames) {
    EXPECT_STREQ(kNtfsColumns[0].title, "Name");
    EXPECT_EQ(kNtfsColumns[0].width, 200);
    EXPECT_TRUE(kNtfsColumns[1].rightAligned);
    EXPECT_STREQ(kNtfsColumns[6].title, "Date Accessed");
    EXPECT_EQ(NtfsRootText('*'), "NTFS - Logical Disk (*:)");
    EXPECT_EQ(NtfsDefaultTypeText("a.txt"), "TXT File");
    EXPECT_EQ(NtfsDefaultTypeText("archive.tar.Gz"), "GZ File");
    EXPECT_EQ(NtfsDefaultTypeText("README"), "File");
}

TEST_F(NtfsPageModelTest, RowTexts) {
    NtfsFoundItem& it = add("Report.DOC", 1536);
    it.attributes = 0x2 | 0x800;
    it.creationTime = UnixToFileTime(1700000000);
    model.finishScan();
    EXPECT_TRUE(model.root()->expanded);
    EXPECT_EQ(model.selectedNode(), model.root());
    ASSERT_EQ(model.rows().size(), 1u);
    ScopedTz utc("UTC");
    auto texts = model.rowTexts(*model.rows()[0].item);
    EXPECT_EQ(texts[0], "Report.DOC");
    EXPECT_EQ(texts[1], "1.5KB");
    EXPECT_EQ(texts[2], "DOC File");
    EXPECT_EQ(texts[3], "H-C-Del-");
    EXPECT_EQ(texts[4], "");
    EXPECT_EQ(texts[5], "2023-11-14 22:13:20");
    EXPECT_EQ(texts[6], "");
    model.setTypeNamer([](const std::string&) { return std::string("Microsoft Word Document"); });
    EXPECT_EQ(model.cellText(it, NtfsColumn::Type), "Microsoft Word Document");
}

// Records what the page's messages would have carried.
struct RecordingListener : NtfsPageListener {
    std::vector<NtfsTotals> checked, all, list;
    int nodes = 0;
    void checkedTotalsChanged(const NtfsTotals& t) override { checked.push_back(t); }
    void allTotalsChanged(const NtfsTotals& t) override { all.push_back(t); }
    void listTotalsChanged(const NtfsTotals& t) override { list.push_back(t); }
    void nodeAdded(FolderNode&) override { ++nodes; }
};

class NtfsPageChecks : public NtfsPageModelTest {
protected:
    void SetUp() override {
        model.setListener(&listener);
        NtfsPageModelTest::SetUp();
        // root: top.txt; A: a1, a2; A/B: b1 (deep); A/C: c1; D: d1
        add("top.txt", 1);
        add("a1.txt", 10, {{"A", 40}});
        add("a2.txt", 20, {{"A", 40}});
        add("b1.txt", 100, {{"B", 41}, {"A", 40}});
        add("c1.txt", 1000, {{"C", 42}, {"A", 40}});
        add("d1.txt", 10000, {{"D", 43}});
        a = child(model.root(), "A");
        b = child(a, "B");
        c = child(a, "C");
        d = child(model.root(), "D");
    }
    bool sel(size_t i) const { return items[i].selected != 0; }
    RecordingListener listener;
    FolderNode *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
};

TEST_F(NtfsPageChecks, TickingAFileMarksEveryFolderAboveIt) {
    EXPECT_EQ(listener.nodes, 4);
    EXPECT_EQ(listener.all.back(), (NtfsTotals{6, 11131}));
    model.selectNode(b);
    ASSERT_EQ(model.rows().size(), 1u);
    ASSERT_TRUE(model.setRowChecked(0, true));
    EXPECT_TRUE(sel(3));
    EXPECT_TRUE(model.rowChecked(0));
    EXPECT_TRUE(b->checked && a->checked && model.root()->checked);
    EXPECT_FALSE(c->checked || d->checked);
    EXPECT_EQ(model.checkedTotals(), (NtfsTotals{1, 100}));
    EXPECT_EQ(listener.checked.back(), (NtfsTotals{1, 100}));
    EXPECT_EQ(model.checkedSummaryText(), "1 files - 100.00 Byte");

    // Clearing the last ticked file clears the folders that hold nothing else.
    ASSERT_TRUE(model.setRowChecked(0, false));
    EXPECT_FALSE(sel(3));
    EXPECT_FALSE(b->checked || a->checked || model.root()->checked);
    EXPECT_EQ(listener.checked.back(), (NtfsTotals{0, 0}));
    EXPECT_FALSE(model.setRowChecked(5, true));
}

TEST_F(NtfsPageChecks, MarksArePartlyWhereFilesBelowAreNotAllTicked) {
    auto marks = [this] {
        std::map<const FolderNode*, CheckMark> m;
        model.forEachMark([&](const FolderNode& n, CheckMark mark) { m[&n] = mark; });
        return m;
    };
    model.selectNode(b);
    ASSERT_TRUE(model.setRowChecked(0, true));  // b1, the only file of A/B
    auto m = marks();
    EXPECT_EQ(m.size(), 5u);
    EXPECT_EQ(m[b], CheckMark::Checked);
    EXPECT_EQ(m[a], CheckMark::Partly);
    EXPECT_EQ(m[model.root()], CheckMark::Partly);
    EXPECT_EQ(m[c], CheckMark::Unchecked);
    model.checkAll(true);
    for (const auto& [node, mark] : marks()) EXPECT_EQ(mark, CheckMark::Checked) << node->text;
    model.selectNode(d);
    ASSERT_TRUE(model.setRowChecked(0, false));
    m = marks();
    EXPECT_EQ(m[d], CheckMark::Unchecked);
    EXPECT_EQ(m[a], CheckMark::Checked);
    EXPECT_EQ(m[model.root()], CheckMark::Partly);
}

TEST_F(NtfsPageModelTest, MarksOfAVeryDeepTreeAreFoundWithoutRecursion) {
    std::vector<std::pair<std::string, uint32_t>> path;
    for (uint32_t i = 0; i < 100000; ++i) path.emplace_back("d", 100000 - i);
    add("deep.txt", 1, path);
    size_t seen = 0;
    model.forEachMark([&](const FolderNode&, CheckMark mark) {
        ++seen;
        EXPECT_EQ(mark, CheckMark::Unchecked);
    });
    EXPECT_EQ(seen, 100001u);
}

TEST_F(NtfsPageChecks, AFolderKeepsItsMarkWhileItHoldsATickedFileOrFolder) {
    model.setItemChecked(1, true);  // a1 in A
    model.setItemChecked(3, true);  // b1 in A/B
    model.setItemChecked(3, false);
    EXPECT_FALSE(b->checked);
    EXPECT_TRUE(a->checked) << "A still has its own ticked file";
    model.setNodeChecked(c, true);
    model.setItemChecked(1, false);
    EXPECT_TRUE(a->checked) << "A still has a ticked child";
    EXPECT_TRUE(model.root()->checked);
    model.setNodeChecked(c, false);
    EXPECT_FALSE(a->checked || model.root()->checked);
}

TEST_F(NtfsPageChecks, TickingAFolderTicksEverythingBelowIt) {
    model.selectNode(b);
    model.setNodeChecked(a, true);
    EXPECT_TRUE(a->checked && b->checked && c->checked);
    EXPECT_TRUE(sel(1) && sel(2) && sel(3) && sel(4));
    EXPECT_FALSE(sel(0) || sel(5) || d->checked);
    EXPECT_TRUE(model.rowChecked(0)) << "the shown list follows its node";
    EXPECT_TRUE(model.root()->checked);
    EXPECT_EQ(model.checkedTotals(), (NtfsTotals{4, 1130}));

    model.setNodeChecked(d, true);
    model.setNodeChecked(a, false);
    EXPECT_FALSE(a->checked || b->checked || c->checked || sel(1) || sel(4));
    EXPECT_TRUE(model.root()->checked) << "D is still ticked";
    EXPECT_EQ(model.checkedTotals(), (NtfsTotals{1, 10000}));

    model.checkAll(true);
    EXPECT_EQ(model.checkedTotals(), model.allTotals());
    model.checkAll(false);
    EXPECT_EQ(model.checkedTotals(), (NtfsTotals{}));
    for (size_t i = 0; i < items.size(); ++i) EXPECT_FALSE(sel(i));
}

TEST_F(NtfsPageChecks, SelectionIsCollectedInTreeOrderOnce) {
    model.setItemChecked(5, true);
    model.setItemChecked(4, true);
    model.setItemChecked(0, true);
    model.setItemChecked(2, true);
    std::vector<std::string> names;
    for (NtfsFoundItem* it : model.collectSelection()) names.push_back(it->nameText());
    EXPECT_EQ(names, (std::vector<std::string>{"top.txt", "a2.txt", "c1.txt", "d1.txt"}));
}

TEST_F(NtfsPageChecks, ListTotalsFollowThePageFilter) {
    model.selectNode(a);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"a1.txt", "a2.txt"}));
    EXPECT_EQ(model.listTotals(), (NtfsTotals{2, 30}));
    EXPECT_EQ(listener.list.back(), (NtfsTotals{2, 30}));

    FilterCriteria f;
    f.sizeMode = kSizeLarger;
    f.minSizeKB = 0.015;  // 15.36 bytes
    model.setPageFilter(f);
    EXPECT_EQ(rowNames().size(), 2u) << "the switch is still off";
    model.setFilterEnabled(true);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"a2.txt"}));
    EXPECT_EQ(model.listTotals(), (NtfsTotals{1, 20}));
    EXPECT_EQ(model.allTotals(), (NtfsTotals{6, 11131}));
    model.setFilterEnabled(false);
    EXPECT_EQ(rowNames().size(), 2u);
}

TEST_F(NtfsPageModelTest, PageFilterUsesTheScanRules) {
    add("letter.DOC", 1);
    add("notes.txt", 1);
    add("db.mdb", 1);  // the group list's last entry is never compared
    NtfsFoundItem& dated = add("report.doc", 1536);
    dated.creationTime = UnixToFileTime(1241179200);  // 2009-05-01 12:00 UTC
    ScopedTz utc("UTC");
    FilterCriteria f;
    ChooseExtensionGroup(f, 1);
    model.setPageFilter(f);
    model.setFilterEnabled(true);
    model.selectNode(model.root());
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"letter.DOC", "report.doc"}));

    f.dateMode = kDateOn;
    f.date = EncodeDosDate(2009, 5, 1);
    f.sizeMode = kSizeEqual;
    f.minSizeKB = 1.5;
    f.namePart = "REP";
    model.setPageFilter(f);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"report.doc"}));
}

TEST_F(NtfsPageModelTest, HeaderClicksAlternateTheOrder) {
    add("beta.txt", 900);
    add("Alpha.txt", 10000);
    add("gamma.bin", 50);
    model.selectNode(model.root());
    model.clickColumn(NtfsColumn::Name);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"Alpha.txt", "beta.txt", "gamma.bin"}));
    model.clickColumn(NtfsColumn::Name);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"gamma.bin", "beta.txt", "Alpha.txt"}));
    // Sizes as numbers: 900 < 10000 although "900B" > "9.8KB" as text.
    model.clickColumn(NtfsColumn::Size);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"gamma.bin", "beta.txt", "Alpha.txt"}));
    model.clickColumn(NtfsColumn::Size);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"Alpha.txt", "beta.txt", "gamma.bin"}));
    model.clickColumn(NtfsColumn::Type);
    EXPECT_EQ(rowNames().front(), "gamma.bin");
    // Row ticks follow the sorted rows.
    model.setRowChecked(0, true);
    EXPECT_EQ(items[2].selected, 1);
}

TEST_F(NtfsPageModelTest, AnItemThatArrivesTickedMarksItsFolders) {
    NtfsFoundItem& it = items.emplace_back();
    it.setName("pre.txt");
    it.size = 7;
    it.selected = 1;
    it.pathNames = {"B", "A"};
    it.pathRecords = {41, 40};
    FolderNode* node = model.placeItem(it, 0);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->checked && node->parent()->checked && model.root()->checked);
    EXPECT_EQ(model.checkedTotals(), (NtfsTotals{1, 7}));
    model.setItemChecked(0, false);
    EXPECT_FALSE(model.root()->checked);
    EXPECT_EQ(model.checkedTotals(), (NtfsTotals{}));
}

TEST_F(NtfsPageModelTest, BeginStartsAFreshPage) {
    add("a.txt", 5, {{"A", 40}});
    model.setItemChecked(0, true);
    model.begin('F');
    EXPECT_EQ(model.root()->text, "NTFS - Logical Disk (F:)");
    EXPECT_EQ(model.root()->childCount(), 0u);
    EXPECT_EQ(model.allTotals(), (NtfsTotals{}));
    EXPECT_EQ(model.checkedTotals(), (NtfsTotals{}));
    EXPECT_EQ(model.item(0), nullptr);
}

}  // namespace
}  // namespace vantor
