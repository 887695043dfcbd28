#pragma once
// The folder tree a scan builds and a result page shows: what the system
// keeps in its tree control (text, images, check box, owned item data,
// children), without a window. Engines insert into it; page models walk it;
// the Qt tree view only renders it. Not thread-safe: one worker writes it
// while the page waits under the progress dialog.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantor {

// Per-node payload owned by the node (the FAT page's FatFolderFiles, ...).
struct FolderNodeData {
    virtual ~FolderNodeData() = default;
};

class FolderNode {
public:
    FolderNode() = default;
    // Frees the subtree with a work stack: a hostile image can nest folders
    // far deeper than one stack frame per level allows.
    ~FolderNode();
    FolderNode(const FolderNode&) = delete;
    FolderNode& operator=(const FolderNode&) = delete;

    std::string text;
    int image = 0;
    int selectedImage = 0;
    bool checked = false;
    bool expanded = false;
    std::unique_ptr<FolderNodeData> data;

    FolderNode* parent() const { return parent_; }
    const std::vector<std::unique_ptr<FolderNode>>& children() const { return children_; }
    size_t childCount() const { return children_.size(); }
    FolderNode* child(size_t i) const { return i < children_.size() ? children_[i].get() : nullptr; }
    // Index among the parent's children (0 for the root).
    size_t indexInParent() const;
    int depth() const;

    FolderNode* appendChild(std::string childText, int img = 0, int selImg = 0);
    // Removes and destroys a direct child with its subtree.
    void removeChild(FolderNode* node);
    // Removes and destroys, in one pass, every direct child doomed() names.
    void removeChildren(const std::function<bool(const FolderNode&)>& doomed);

    template <typename T>
    T* dataAs() const { return dynamic_cast<T*>(data.get()); }

private:
    FolderNode* parent_ = nullptr;
    std::vector<std::unique_ptr<FolderNode>> children_;
};

class FolderTree {
public:
    FolderTree() = default;
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // The tree holds at most one root, as the result pages use it.
    FolderNode* setRoot(std::string text, int img = 0, int selImg = 0);
    FolderNode* root() const { return root_.get(); }
    void clear();

    FolderNode* selected() const { return selected_; }
    void select(FolderNode* node) { selected_ = node; }

    // Removes, bottom-up, every node below the root for which keep() is false
    // and that has no kept child (the engines' pruning of empty folders).
    void prune(const std::function<bool(const FolderNode&)>& keep);

    // Pre-order walk; the visitor returns false to skip a node's subtree.
    void walk(const std::function<bool(FolderNode&)>& visit) const;

private:
    std::unique_ptr<FolderNode> root_;
    FolderNode* selected_ = nullptr;
};

}  // namespace vantor
