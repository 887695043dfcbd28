#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialogs/folder_tree.h"

namespace vantor {
namespace {

// Deep enough that one stack frame per level would overflow a default stack.
constexpr size_t kDeep = size_t{1} << 20;

// A chain of kDeep folders below the root; returns the deepest.
FolderNode* Chain(FolderNode* top, size_t levels) {
    FolderNode* n = top;
    for (size_t i = 0; i < levels; ++i) n = n->appendChild("d");
    return n;
}

std::vector<std::string> Texts(const FolderNode* n) {
    std::vector<std::string> out;
    for (const auto& c : n->children()) out.push_back(c->text);
    return out;
}

TEST(FolderTreeDeep, AMillionLevelsAreFreedByEveryWayOut) {
    FolderTree tree;
    Chain(tree.setRoot("r"), kDeep);
    tree.clear();
    EXPECT_EQ(tree.root(), nullptr);

    Chain(tree.setRoot("r"), kDeep);
    FolderNode* root = tree.setRoot("again");  // replaces the deep tree
    EXPECT_EQ(root->childCount(), 0u);

    FolderNode* keep = root->appendChild("keep");
    FolderNode* deep = root->appendChild("deep");
    Chain(deep, kDeep);
    root->removeChild(deep);
    EXPECT_EQ(Texts(root), std::vector<std::string>{"keep"});
    keep->appendChild("x");

    {
        FolderTree scoped;
        Chain(scoped.setRoot("r"), kDeep);
    }  // the tree's own destructor
    SUCCEED();
}

TEST(FolderTreeDeep, PruneAndWalkOnAMillionLevels) {
    FolderTree tree;
    FolderNode* bottom = Chain(tree.setRoot("r"), kDeep);
    bottom->text = "kept";
    size_t visited = 0;
    tree.walk([&](FolderNode&) {
        ++visited;
        return true;
    });
    EXPECT_EQ(visited, kDeep + 1);

    // The kept leaf holds the whole chain up.
    tree.prune([](const FolderNode& n) { return n.text == "kept"; });
    EXPECT_EQ(bottom->depth(), static_cast<int>(kDeep));

    tree.select(bottom);
    tree.prune([](const FolderNode&) { return false; });
    EXPECT_EQ(tree.root()->childCount(), 0u);
    EXPECT_EQ(tree.selected(), nullptr);
}

TEST(FolderTreePrune, EmptyFoldersGoBottomUpAndKeptOnesKeepTheirOrder) {
    FolderTree tree;
    FolderNode* root = tree.setRoot("r");
    for (int i = 0; i < 5000; ++i) root->appendChild(i % 1000 == 0 ? "keep" + std::to_string(i) : "empty");
    FolderNode* holder = root->appendChild("holder");
    holder->appendChild("empty")->appendChild("empty");
    holder->appendChild("keep-inner");
    FolderNode* gone = root->appendChild("gone");
    gone->appendChild("empty");
    tree.select(gone->child(0));

    std::vector<std::string> asked;
    tree.prune([&](const FolderNode& n) {
        asked.push_back(n.text);
        return n.text.rfind("keep", 0) == 0;
    });
    EXPECT_EQ(Texts(root), (std::vector<std::string>{"keep0", "keep1000", "keep2000", "keep3000", "keep4000", "holder"}));
    EXPECT_EQ(Texts(holder), std::vector<std::string>{"keep-inner"});
    EXPECT_EQ(tree.selected(), nullptr);
    // Only folders left without children are asked; holder never is.
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "holder"), 0);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "gone"), 1);
}

TEST(FolderTreePrune, ASelectedKeptFolderStaysSelected) {
    FolderTree tree;
    FolderNode* root = tree.setRoot("r");
    FolderNode* kept = root->appendChild("keep")->appendChild("keep");
    root->appendChild("drop");
    tree.select(kept);
    tree.prune([](const FolderNode& n) { return n.text == "keep"; });
    EXPECT_EQ(tree.selected(), kept);
    EXPECT_EQ(Texts(root), std::vector<std::string>{"keep"});
}

}  // namespace
}  // namespace vantor
