#include "dialogs/folder_tree.h"

#include <algorithm>
#include <unordered_set>

namespace vantor {

FolderNode::~FolderNode() {
    std::vector<std::unique_ptr<FolderNode>> pending = std::move(children_);
    while (!pending.empty()) {
        std::unique_ptr<FolderNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& c : node->children_) pending.push_back(std::move(c));
        node->children_.clear();  // node now dies without descending
    }
}

size_t FolderNode::indexInParent() const {
    if (!parent_) return 0;
    const auto& siblings = parent_->children_;
    for (size_t i = 0; i < siblings.size(); ++i)
        if (siblings[i].get() == this) return i;
    return 0;
}

int FolderNode::depth() const {
    int d = 0;
    for (const FolderNode* p = parent_; p; p = p->parent_) ++d;
    return d;
}

FolderNode* FolderNode::appendChild(std::string childText, int img, int selImg) {
    auto node = std::make_unique<FolderNode>();
    node->text = std::move(childText);
    node->image = img;
    node->selectedImage = selImg;
    node->parent_ = this;
    children_.push_back(std::move(node));
    return children_.back().get();
}

void FolderNode::removeChild(FolderNode* node) {
    auto it = std::find_if(children_.begin(), children_.end(),
                           [node](const auto& c) { return c.get() == node; });
    if (it != children_.end()) children_.erase(it);
}

void FolderNode::removeChildren(const std::function<bool(const FolderNode&)>& doomed) {
    children_.erase(std::remove_if(children_.begin(), children_.end(),
                                   [&](const auto& c) { return doomed(*c); }),
                    children_.end());
}

FolderNode* FolderTree::setRoot(std::string text, int img, int selImg) {
    root_ = std::make_unique<FolderNode>();
    root_->text = std::move(text);
    root_->image = img;
    root_->selectedImage = selImg;
    selected_ = nullptr;
    return root_.get();
}

void FolderTree::clear() {
    root_.reset();
    selected_ = nullptr;
}

// Iterative post-order so a hostile, very deep tree cannot overflow the
// stack. A folder's doomed children go in one pass once its subtree is done:
// removing them one at a time is quadratic in a folder of a million.
void FolderTree::prune(const std::function<bool(const FolderNode&)>& keep) {
    if (!root_) return;
    struct Frame {
        FolderNode* node;
        size_t next;
    };
    std::unordered_set<const FolderNode*> doomed;
    std::vector<Frame> stack{{root_.get(), 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < f.node->childCount()) {
            FolderNode* c = f.node->child(f.next++);
            stack.push_back({c, 0});
            continue;
        }
        FolderNode* node = f.node;
        stack.pop_back();
        // Its doomed children go now; the set also holds those of folders
        // still open, which go when they are done.
        if (!doomed.empty()) node->removeChildren([&](const FolderNode& c) { return doomed.erase(&c) > 0; });
        if (node == root_.get()) break;
        if (node->childCount() == 0 && !keep(*node)) {
            // Bottom-up, a selected node goes before any of its ancestors.
            if (node == selected_) selected_ = nullptr;
            doomed.insert(node);
        }
    }
}

void FolderTree::walk(const std::function<bool(FolderNode&)>& visit) const {
    if (!root_) return;
    std::vector<FolderNode*> stack{root_.get()};
    while (!stack.empty()) {
        FolderNode* n = stack.back();
        stack.pop_back();
        if (!visit(*n)) continue;
        for (size_t i = n->childCount(); i-- > 0;) stack.push_back(n->child(i));
    }
}

}  // namespace vantor
