#include "dialogs/folder_tree.h"

#include <algorithm>

namespace vantor {

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

namespace {

// Iterative post-order so a hostile, very deep tree cannot overflow the stack.
bool pruneBelow(FolderNode* top, const std::function<bool(const FolderNode&)>& keep,
                FolderNode*& selected) {
    struct Frame {
        FolderNode* node;
        size_t next;
    };
    std::vector<Frame> stack{{top, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next < f.node->childCount()) {
            FolderNode* c = f.node->child(f.next++);
            stack.push_back({c, 0});
            continue;
        }
        FolderNode* node = f.node;
        stack.pop_back();
        if (node == top) break;
        if (node->childCount() == 0 && !keep(*node)) {
            FolderNode* parent = node->parent();
            for (FolderNode* s = selected; s; s = s->parent())
                if (s == node) {
                    selected = nullptr;
                    break;
                }
            // Removing shifts the parent's later children down by one.
            stack.back().next--;
            parent->removeChild(node);
        }
    }
    return true;
}

}  // namespace

void FolderTree::prune(const std::function<bool(const FolderNode&)>& keep) {
    if (root_) pruneBelow(root_.get(), keep, selected_);
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
