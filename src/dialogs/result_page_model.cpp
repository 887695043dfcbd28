#include "dialogs/result_page_model.h"

#include <unordered_map>
#include <vector>

namespace vantor {

void ResultPageModel::forEachMark(const std::function<void(const FolderNode&, CheckMark)>& visit) const {
    const FolderNode* root = tree().root();
    if (!root) return;
    // Post-order with a work stack (trees from hostile images nest deeply):
    // a node is whole when its own files are all ticked and so are its children's.
    std::unordered_map<const FolderNode*, bool> whole;
    std::vector<std::pair<const FolderNode*, bool>> stack{{root, false}};
    while (!stack.empty()) {
        auto [node, childrenDone] = stack.back();
        if (!childrenDone) {
            stack.back().second = true;
            for (const auto& c : node->children()) stack.push_back({c.get(), false});
            continue;
        }
        stack.pop_back();
        const FileTicks t = ownTicks(*node);
        bool all = t.ticked == t.files;
        for (const auto& c : node->children())
            if (!whole[c.get()]) {
                all = false;
                break;
            }
        whole[node] = all;
        visit(*node, !node->checked ? CheckMark::Unchecked : all ? CheckMark::Checked : CheckMark::Partly);
    }
}

}  // namespace vantor
