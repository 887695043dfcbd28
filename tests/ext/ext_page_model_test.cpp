// The EXT page model: the tree from found records with and without folder
// paths, column texts, sorting keys, check marks with their totals, and the
// page filter.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "ext/ext_page_model.h"

namespace vantor {
namespace {

struct Rec {
    uint32_t inode;
    const char* name;    // nullptr: no entry named it
    const char* folder;  // nullptr: folder unknown
    uint16_t mode;
    uint32_t size, mtime;
};

std::vector<std::unique_ptr<ExtFoundFile>> Records(const std::vector<Rec>& rows) {
    std::vector<std::unique_ptr<ExtFoundFile>> out;
    for (const Rec& r : rows) {
        auto f = std::make_unique<ExtFoundFile>();
        f->inode.assign(256, std::byte{0});
        auto put = [&](size_t at, uint32_t v, int n) {
            for (int i = 0; i < n; ++i) f->inode[at + size_t(i)] = std::byte((v >> (8 * i)) & 0xFF);
        };
        put(0, r.mode, 2);
        put(4, r.size, 4);
        put(8, r.mtime + 2, 4);  // atime
        put(12, r.mtime + 1, 4);  // ctime
        put(16, r.mtime, 4);
        f->inodeNumber = r.inode;
        if (r.name) {
            std::snprintf(f->name, sizeof f->name, "%s", r.name);
            f->nameSource = ExtNameSource::LiveEntry;
        } else {
            std::snprintf(f->name, sizeof f->name, "inode_%08X.tmp", r.inode);
        }
        const char* dot = std::strrchr(f->name, '.');
        if (dot) std::snprintf(f->extension, sizeof f->extension, "%s", dot + 1);
        f->folderKnown = r.folder != nullptr;
        if (r.folder) f->folderPath = r.folder;
        f->selected = 1;  // the model starts every row unticked
        out.push_back(std::move(f));
    }
    return out;
}

const std::vector<Rec> kRows = {
    {12, "a.txt", "", 0x81A4, 1048575, 1000},
    {13, "deep.bin", "docs/nested", 0x81ED, 1048576, 3000},
    {14, nullptr, nullptr, 0x8180, 10, 2000},
    {15, "B.txt", nullptr, 0x8100, 5, 500},
    {16, "c.txt", "docs", 0x81B6, 700, 4000},
};

std::vector<std::string> Column(const ExtPageModel& m, int column) {
    std::vector<std::string> out;
    for (size_t r = 0; r < m.rowCount(); ++r) out.push_back(m.cellText(r, column));
    return out;
}

FolderNode* Child(FolderNode* node, const std::string& text) {
    for (const auto& c : node->children())
        if (c->text == text) return c.get();
    return nullptr;
}

TEST(ExtPageModel, TreeRowsAndSortKeys) {
    auto recs = Records(kRows);
    recs[4]->nameSource = ExtNameSource::DeletedFolder;  // c.txt: "docs" was deleted
    ExtPageModel m;
    m.build("EXT3", "vol", recs);
    FolderNode* root = m.tree().root();
    ASSERT_EQ(root->text, "EXT3( vol )");
    ASSERT_EQ(root->childCount(), 2u);
    EXPECT_EQ(root->child(0)->text, "docs");
    EXPECT_EQ(root->child(0)->image, kExtDeletedFolderImage);
    ASSERT_NE(Child(root->child(0), "nested"), nullptr);
    EXPECT_EQ(Child(root->child(0), "nested")->image, kExtFolderImage);
    EXPECT_EQ(root->child(1)->text, "Lost files");
    EXPECT_EQ(m.foundFiles(), 5u);
    EXPECT_EQ(m.ownTicks(*root).files, 1u);

    // "Lost files" is listed first, in found order.
    EXPECT_EQ(m.selectedFolder(), root->child(1));
    EXPECT_EQ(Column(m, 0), (std::vector<std::string>{"inode(0000000E)", "B.txt"}));
    EXPECT_EQ(m.rowName(0), "inode_0000000E.tmp");  // the name it is written as
    m.selectFolder(root);
    EXPECT_EQ(Column(m, 1), (std::vector<std::string>{"1024.00 KB"}));
    // Nothing lost: the root is listed first.
    auto named = Records({kRows[0]});
    ExtPageModel n;
    n.build("EXT4", "", named);
    EXPECT_EQ(n.selectedFolder(), n.tree().root());
    EXPECT_EQ(Column(m, 3), (std::vector<std::string>{"rw-r--"}));
    EXPECT_EQ(m.summaryText(0), "1 files - 1024.00 KB");

    // All five in one list for the keys: a node's files are one list.
    ExtPageModel flat;
    auto lost = Records({{1, "b.TXT", nullptr, 0x8100, 30, 300}, {2, "A.txt", nullptr, 0x81FF, 10, 100},
                         {3, "c.txt", nullptr, 0x8000, 20, 200}});
    flat.build("EXT2", "", lost);
    struct Sort {
        int column;
        std::vector<std::string> names;  // after the first click: descending
    };
    for (const Sort& s : {Sort{0, {"c.txt", "b.TXT", "A.txt"}}, Sort{1, {"b.TXT", "c.txt", "A.txt"}},
                          Sort{3, {"A.txt", "b.TXT", "c.txt"}}, Sort{4, {"b.TXT", "c.txt", "A.txt"}},
                          Sort{5, {"b.TXT", "c.txt", "A.txt"}}}) {
        flat.sortByHeader(s.column);
        EXPECT_TRUE(flat.sortDescending());
        EXPECT_EQ(Column(flat, 0), s.names) << s.column;
        flat.sortByHeader(s.column);
        EXPECT_EQ(Column(flat, 0), std::vector<std::string>(s.names.rbegin(), s.names.rend())) << s.column;
    }
    // Sorting moves rows, not their thumbnails.
    EXPECT_EQ(flat.rowImageIndex(0), 1u);
}

TEST(ExtPageModel, TicksMarkTheFoldersAboveAndCountTheSelection) {
    auto recs = Records(kRows);
    ExtPageModel m;
    m.build("EXT3", "vol", recs);
    FolderNode* root = m.tree().root();
    FolderNode* lost = root->child(1);
    FolderNode* nested = Child(root->child(0), "nested");
    EXPECT_FALSE(m.canRecover());
    EXPECT_EQ(m.selectionTotals().files, 0u);  // what the scan left ticked does not count

    // One row of "Lost files": it and the root are checked, the totals read one file.
    ASSERT_TRUE(m.setRowChecked(1, true));
    EXPECT_TRUE(lost->checked && root->checked && m.canRecover());
    EXPECT_EQ(m.summaryText(1), "1 files - 5.00 Byte");
    ASSERT_TRUE(m.setRowChecked(1, false));
    EXPECT_FALSE(lost->checked || root->checked);
    EXPECT_FALSE(m.setRowChecked(2, true));

    // A deep folder's box marks the folders above; the root's box takes everything.
    m.setFolderChecked(nested, true);
    EXPECT_TRUE(root->child(0)->checked && root->checked);
    EXPECT_FALSE(lost->checked);
    EXPECT_EQ(m.selectionTotals().bytes, 1048576u);
    m.checkAll(true);
    EXPECT_EQ(m.selectionTotals().files, 5u);
    m.setFolderChecked(root, false);
    EXPECT_EQ(m.selectionTotals().files, 0u);
    m.tree().walk([](FolderNode& n) {
        EXPECT_FALSE(n.checked) << n.text;
        return true;
    });
}

TEST(ExtPageModel, FilterListsOnlyWhatPasses) {
    auto recs = Records(kRows);
    ExtPageModel m;
    m.build("EXT3", "vol", recs);
    m.pageFilter() = FilterCriteria{};
    m.pageFilter().extGroup = 1;
    m.pageFilter().extList = "doc.txt";  // holds "txt", not "tmp"
    m.setFilterEnabled(true);
    EXPECT_EQ(Column(m, 0), (std::vector<std::string>{"B.txt"}));
    m.pageFilter().extGroup = 0;
    m.pageFilter().namePart = "zzz";
    m.filterEdited();
    EXPECT_EQ(m.rowCount(), 0u);
    m.setFilterEnabled(false);
    EXPECT_EQ(m.rowCount(), 2u);
}

}  // namespace
}  // namespace vantor
