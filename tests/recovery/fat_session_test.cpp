// The FAT engine behind the generic front ends: selection by id, folder and
// glob, folder paths, and the session on the sample image.
#include <gtest/gtest.h>
#include <fnmatch.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "disk/volume_mount.h"
#include "fat/fat_records.h"
#include "platform/device_table.h"
#include "recovery/engine_registry.h"
#include "recovery/fat_session.h"
#include "shell/app_state.h"

namespace vantor {
namespace {

const std::string kSample = std::string(VANTOR_FIXTURE_DIR) + "/sample-disk.img";

// An engine session over a tree built here that counts how folders get
// ticked: by path (a lookup through the tree) or by the node itself.
class CountingSession final : public EngineSession {
public:
    FatPageModel model{kFatPageModeDeleted, FatKind::Fat32};
    std::vector<std::pair<FolderNode*, FatFoundFile*>> found;
    int pathTicks = 0;
    int nodeTicks = 0;

    FolderNode* folder(FolderNode* parent, const std::string& text) {
        FolderNode* n = parent->appendChild(text);
        n->data = std::make_unique<FatFolderFiles>();
        return n;
    }
    void file(FolderNode* node, const std::string& name) {
        auto rec = std::make_unique<FatFoundFile>();
        std::snprintf(rec->name, sizeof rec->name, "%s", name.c_str());
        rec->size = 100;
        found.emplace_back(node, node->dataAs<FatFolderFiles>()->append(std::move(rec)));
    }

    std::string engineName() const override { return "counting"; }
    ErrorCode scan(ScanKind, AppState&, std::atomic<bool>&) override { return kSuccess; }
    const FolderTree& tree() const override { return model.tree(); }
    FilterCriteria& pageFilter() override { return model.pageFilter(); }
    void setFilterEnabled(bool) override {}
    std::vector<FoundEntry> entries() const override {
        std::vector<FoundEntry> out;
        for (size_t i = 0; i < found.size(); ++i) {
            FoundEntry e;
            e.id = "f" + std::to_string(i + 1);
            e.folderPath = FolderPathOf(found[i].first);
            e.name = found[i].second->nameText();
            out.push_back(e);
        }
        return out;
    }
    bool setChecked(const std::string& idOrPath, bool on) override {
        if (idOrPath.size() > 1 && idOrPath[0] == 'f' && idOrPath.find_first_not_of("0123456789", 1) == std::string::npos) {
            const size_t i = std::stoul(idOrPath.substr(1)) - 1;
            if (i >= found.size()) return false;
            model.setFileChecked(found[i].first, found[i].second, on);
            return true;
        }
        ++pathTicks;
        FolderNode* n = FindFolderByPath(model.tree(), idOrPath);
        if (n) model.setFolderChecked(n, on);
        return n != nullptr;
    }
    void setFolderChecked(FolderNode* node, bool on) override {
        ++nodeTicks;
        model.setFolderChecked(node, on);
    }
    void checkAll(bool on) override { model.checkAll(on); }
    RecoveryOutcome recover(const std::string&, UserPrompt&, AppState&, std::atomic<bool>&) override { return {}; }

    // Every check box of the tree and its files, in tree order.
    std::vector<int> state() const {
        std::vector<int> s;
        model.tree().walk([&](FolderNode& n) {
            s.push_back(n.checked);
            if (auto* files = n.dataAs<FatFolderFiles>())
                for (const auto& f : files->files) s.push_back(f->selected);
            return true;
        });
        return s;
    }
};

// The selection as it was first written: every folder by its path.
std::vector<std::string> SelectOneByOne(EngineSession& session, const std::vector<std::string>& select) {
    std::vector<std::string> unmatched;
    if (select.empty()) {
        session.checkAll(true);
        return unmatched;
    }
    const std::vector<FoundEntry> entries = session.entries();
    std::vector<std::string> folders;
    session.tree().walk([&](FolderNode& n) {
        if (n.parent()) folders.push_back(FolderPathOf(&n));
        return true;
    });
    for (const std::string& arg : select) {
        bool isId = arg.empty();
        for (const auto& e : entries) isId = isId || e.id == arg;
        if (isId) {
            session.setChecked(arg, true);
            continue;
        }
        bool any = false;
        for (const std::string& f : folders)
            if (f == arg || ::fnmatch(arg.c_str(), f.c_str(), 0) == 0) {
                session.setChecked(f, true);
                any = true;
            }
        for (const auto& e : entries) {
            const std::string full = e.folderPath.empty() ? e.name : e.folderPath + "/" + e.name;
            if (::fnmatch(arg.c_str(), full.c_str(), 0) == 0 || ::fnmatch(arg.c_str(), e.name.c_str(), 0) == 0) {
                session.setChecked(e.id, true);
                any = true;
            }
        }
        if (!any) unmatched.push_back(arg);
    }
    return unmatched;
}

// Same-named folders, a "/" in a name, a literal "x (2)" before a second "x".
void BuildAwkwardTree(CountingSession& s) {
    FolderNode* root = s.model.tree().setRoot("root");
    root->data = std::make_unique<FatFolderFiles>();
    s.file(root, "top.jpg");
    FolderNode* docs = s.folder(root, "Docs");
    s.file(docs, "a.txt");
    FolderNode* sub = s.folder(docs, "Sub");
    s.file(s.folder(sub, "Deep"), "deep.jpg");
    FolderNode* docs2 = s.folder(root, "Docs");
    s.file(docs2, "b.txt");
    s.file(s.folder(docs2, "Sub"), "c.txt");
    s.file(s.folder(root, "a/b"), "slash.txt");
    s.file(s.folder(root, "a_b"), "under.txt");
    s.file(s.folder(root, "x (2)"), "lit.txt");
    s.file(s.folder(root, "x"), "x1.txt");
    s.file(s.folder(root, "x"), "x2.txt");
    s.folder(root, "empty");
}

TEST(FatSelectionTest, TicksWhatTheOneByOneSelectionTicks) {
    const std::vector<std::vector<std::string>> cases = {
        {"*"},         {"Docs*"},        {"*/Sub"},    {"Docs (2)"},     {"x (2)"},  {"*.jpg"},
        {"f2", "Docs/Sub"}, {""},        {"nothing", "Docs"}, {"a_b", "a_b (2)"}, {"Docs/*"}, {"x*", "*x*"},
        {"f99"},       {"Docs/Sub/Deep/deep.jpg"}, {"*.txt", "Docs (2)/Sub"}, {}};
    for (const auto& select : cases) {
        CountingSession fast, slow;
        BuildAwkwardTree(fast);
        BuildAwkwardTree(slow);
        const auto unmatched = ApplySelection(fast, select);
        EXPECT_EQ(unmatched, SelectOneByOne(slow, select)) << ::testing::PrintToString(select);
        EXPECT_EQ(fast.state(), slow.state()) << ::testing::PrintToString(select);
        EXPECT_EQ(fast.model.selectionTotals().files, slow.model.selectionTotals().files);
    }
}

// Thousands of sibling folders: no folder is looked up by its path, and a
// folder inside one already ticked is not ticked again.
TEST(FatSelectionTest, FoldersAreTickedInHandNotLookedUp) {
    CountingSession s;
    FolderNode* root = s.model.tree().setRoot("root");
    for (int i = 0; i < 3000; ++i) {
        FolderNode* d = s.folder(root, "D" + std::to_string(i));
        s.file(s.folder(d, "Sub"), "f.txt");
    }
    EXPECT_TRUE(ApplySelection(s, {"*"}).empty());
    EXPECT_EQ(s.pathTicks, 0);
    EXPECT_EQ(s.nodeTicks, 3000);
    EXPECT_EQ(s.model.selectionTotals().files, 3000u);

    CountingSession inner;
    root = inner.model.tree().setRoot("root");
    for (int i = 0; i < 3000; ++i) inner.file(inner.folder(inner.folder(root, "D" + std::to_string(i)), "Sub"), "f.txt");
    EXPECT_TRUE(ApplySelection(inner, {"*/Sub", "D1*"}).empty());
    EXPECT_EQ(inner.pathTicks, 0);
    // D1, D10.., D1000..: 1 + 10 + 100 + 1000 folders; the other Subs on their own.
    EXPECT_EQ(inner.nodeTicks, 1111 + (3000 - 1111));
    EXPECT_EQ(inner.model.selectionTotals().files, 3000u);
}

TEST(FolderPathTest, OneWalkGivesEveryPathAndFindsItsNode) {
    CountingSession s;
    BuildAwkwardTree(s);
    FolderPaths paths(s.tree());
    std::vector<std::string> seen;
    WalkFolderPaths(s.tree(), [&](FolderNode& n, const std::string& path) {
        seen.push_back(path);
        EXPECT_EQ(path, FolderPathOf(&n));
        EXPECT_EQ(paths.pathOf(&n), path);
        return n.text != "Docs";  // skips both Docs subtrees
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"", "Docs", "Docs (2)", "a_b", "a_b", "x (2)", "x", "x (2)", "empty"}));
    const FolderNode* root = s.tree().root();
    EXPECT_EQ(paths.find(""), root);
    EXPECT_EQ(paths.find("Docs (2)/Sub"), root->child(1)->child(0));
    EXPECT_EQ(paths.find("Docs/Sub/Deep"), root->child(0)->child(0)->child(0));
    // A shared path names the first folder that has it.
    EXPECT_EQ(paths.find("a_b"), root->child(2));
    EXPECT_EQ(paths.find("x (2)"), root->child(4));
    EXPECT_EQ(paths.find("Docs/none"), nullptr);
    EXPECT_EQ(paths.find("Docs (3)"), nullptr);
}

// The session in-process: stable ids, folder paths, check propagation.
TEST(FatSessionTest, IdsAreStableAndTicksPropagate) {
    DeviceTable& table = DeviceTable::Global();
    table.attachImages({kSample});
    MountVolumes(table);
    CDiskInventory inv;
    inv.Refresh();
    ASSERT_GT(inv.partitionCount(), 2);
    const PartitionRecord record = inv.partition(2);
    ASSERT_EQ(record.fileSystemName(), "FAT");
    auto session = CreateEngineSession(record);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->engineName(), "FAT16");
    AppState state;
    state.selectPartition(record);
    std::atomic<bool> running{true};
    ASSERT_EQ(session->scan(ScanKind::Formatted, state, running), kSuccess);
    const auto first = session->entries();
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(session->scan(ScanKind::Formatted, state, running), kSuccess);
    const auto second = session->entries();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].id, second[i].id);
        EXPECT_EQ(first[i].folderPath + "/" + first[i].name, second[i].folderPath + "/" + second[i].name);
    }
    auto* fat = dynamic_cast<FatSession*>(session.get());
    ASSERT_NE(fat, nullptr);
    const FoundEntry& last = second.back();
    EXPECT_TRUE(session->setChecked(last.id, true));
    EXPECT_TRUE(fat->model().canRecover());
    EXPECT_EQ(fat->model().selectionTotals().files, 1u);
    const FolderNode* node = FindFolderByPath(session->tree(), last.folderPath);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->checked);
    EXPECT_EQ(FolderPathOf(node), last.folderPath);
    EXPECT_TRUE(session->setChecked(last.id, false));
    EXPECT_FALSE(fat->model().canRecover());
    EXPECT_FALSE(session->setChecked("f0", true));
    EXPECT_FALSE(session->setChecked("f999999", true));
    EXPECT_FALSE(session->setChecked("no/such/folder", true));
    EXPECT_TRUE(session->setChecked("", true));  // the root: everything
    EXPECT_EQ(fat->model().selectionTotals().files, second.size());
    // The page filter narrows entries() but not the ids.
    // Preview reads through the drive, by the same rule as recovery.
    std::vector<std::byte> head;
    const FatFoundFile* rec = nullptr;
    session->tree().walk([&](FolderNode& n) {
        if (auto* files = n.dataAs<FatFolderFiles>())
            for (auto& f : files->files)
                if (f->nameText() == "#ONE.txt") rec = f.get();
        return true;
    });
    ASSERT_NE(rec, nullptr);
    ASSERT_EQ(fat->readHead(*rec, 1024, head), kSuccess);
    ASSERT_EQ(head.size(), 1024u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(head.data()), 23), "deleted-fat16 line 0001");
    session->pageFilter().namePart = last.name;
    session->setFilterEnabled(true);
    const auto filtered = session->entries();
    ASSERT_FALSE(filtered.empty());
    EXPECT_EQ(filtered.back().id, last.id);
    table.clear();
}

TEST(FolderPathTest, DuplicateSiblingsGetNumbers) {
    FolderTree tree;
    FolderNode* root = tree.setRoot("root");
    FolderNode* a1 = root->appendChild("#OLDER");
    FolderNode* a2 = root->appendChild("#OLDER");
    FolderNode* slash = root->appendChild("a/b");
    FolderNode* inner = a2->appendChild("X");
    EXPECT_EQ(FolderPathOf(root), "");
    EXPECT_EQ(FolderPathOf(a1), "#OLDER");
    EXPECT_EQ(FolderPathOf(a2), "#OLDER (2)");
    EXPECT_EQ(FolderPathOf(inner), "#OLDER (2)/X");
    EXPECT_EQ(FolderPathOf(slash), "a_b");
    EXPECT_EQ(FindFolderByPath(tree, "#OLDER (2)/X"), inner);
    EXPECT_EQ(FindFolderByPath(tree, "#OLDER"), a1);
    EXPECT_EQ(FindFolderByPath(tree, "a_b"), slash);
    EXPECT_EQ(FindFolderByPath(tree, ""), root);
    EXPECT_EQ(FindFolderByPath(tree, "nope"), nullptr);
}

}  // namespace
}  // namespace vantor
