#include "recovery/engine_session.h"

#include <fnmatch.h>

#include <unordered_set>
#include <vector>

namespace vantor {

std::vector<std::string> ChildPathPieces(const FolderNode& node) {
    std::vector<std::string> pieces;
    pieces.reserve(node.childCount());
    std::unordered_map<std::string, int> seen;
    for (const auto& c : node.children()) {
        std::string piece = c->text;
        for (char& ch : piece)
            if (ch == '/') ch = '_';
        // Counted by the raw text: "a/b" and "a_b" are different folders.
        const int same = seen[c->text]++;
        if (same > 0) piece += " (" + std::to_string(same + 1) + ")";
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

void FolderPaths::number(const FolderNode* parent) {
    if (byPiece_.count(parent)) return;
    auto& byPiece = byPiece_[parent];
    std::vector<std::string> pieces = ChildPathPieces(*parent);
    for (size_t i = 0; i < pieces.size(); ++i) {
        FolderNode* c = parent->child(i);
        byPiece.emplace(pieces[i], c);  // a literal "x (2)" before the second "x" wins, as the first match did
        pieces_[c] = std::move(pieces[i]);
    }
}

std::string FolderPaths::pathOf(const FolderNode* node) {
    std::vector<const std::string*> up;
    for (const FolderNode* n = node; n && n->parent(); n = n->parent()) {
        number(n->parent());
        up.push_back(&pieces_[n]);
    }
    std::string path;
    for (size_t i = up.size(); i-- > 0;) {
        if (!path.empty()) path += '/';
        path += *up[i];
    }
    return path;
}

FolderNode* FolderPaths::find(const std::string& path) {
    FolderNode* node = tree_.root();
    size_t start = 0;
    while (node && start < path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        number(node);
        const auto& byPiece = byPiece_[node];
        auto it = byPiece.find(path.substr(start, slash - start));
        node = it == byPiece.end() ? nullptr : it->second;
        start = slash + 1;
    }
    return node;
}

namespace {

// One node's piece by the rule of ChildPathPieces, without numbering all of
// its siblings.
std::string PathPiece(const FolderNode* node) {
    std::string piece = node->text;
    for (char& c : piece)
        if (c == '/') c = '_';
    int same = 0;
    for (const auto& sibling : node->parent()->children()) {
        if (sibling.get() == node) break;
        if (sibling->text == node->text) ++same;
    }
    if (same > 0) piece += " (" + std::to_string(same + 1) + ")";
    return piece;
}

}  // namespace

std::string FolderPathOf(const FolderNode* node) {
    std::vector<std::string> pieces;
    for (const FolderNode* n = node; n && n->parent(); n = n->parent()) pieces.push_back(PathPiece(n));
    std::string path;
    for (size_t i = pieces.size(); i-- > 0;) {
        if (!path.empty()) path += '/';
        path += pieces[i];
    }
    return path;
}

FolderNode* FindFolderByPath(const FolderTree& tree, const std::string& path) {
    return FolderPaths(tree).find(path);
}

void WalkFolderPaths(const FolderTree& tree, const std::function<bool(FolderNode&, const std::string&)>& visit) {
    if (!tree.root()) return;
    struct Frame {
        FolderNode* node;
        size_t parentLength;
        std::string piece;
    };
    std::vector<Frame> stack;
    stack.push_back({tree.root(), 0, {}});
    std::string path;
    while (!stack.empty()) {
        Frame f = std::move(stack.back());
        stack.pop_back();
        path.resize(f.parentLength);
        if (f.node->parent()) {
            if (!path.empty()) path += '/';
            path += f.piece;
        }
        if (!visit(*f.node, path)) continue;
        std::vector<std::string> pieces = ChildPathPieces(*f.node);
        for (size_t i = pieces.size(); i-- > 0;)
            stack.push_back({f.node->child(i), path.size(), std::move(pieces[i])});
    }
}

std::vector<std::string> ApplySelection(EngineSession& session, const std::vector<std::string>& select) {
    std::vector<std::string> unmatched;
    if (select.empty()) {
        session.checkAll(true);
        return unmatched;
    }
    const std::vector<FoundEntry> entries = session.entries();
    std::unordered_set<std::string> ids;
    for (const auto& e : entries) ids.insert(e.id);
    std::vector<bool> matched(select.size(), false);
    std::vector<size_t> globs;
    for (size_t i = 0; i < select.size(); ++i) {
        if (ids.count(select[i]) || (select[i].empty() && session.tree().root())) {
            session.setChecked(select[i], true);
            matched[i] = true;
        } else {
            globs.push_back(i);
        }
    }
    if (!globs.empty()) {
        // Ticking only switches things on, so the order of the ticks does not
        // matter, and a folder below one already ticked adds nothing.
        FolderPaths paths(session.tree());
        std::unordered_set<const FolderNode*> covered;
        std::vector<FolderNode*> ticks;
        WalkFolderPaths(session.tree(), [&](FolderNode& n, const std::string& path) {
            if (!n.parent()) return true;
            bool hit = false;
            for (size_t g : globs)
                if (path == select[g] || ::fnmatch(select[g].c_str(), path.c_str(), 0) == 0) {
                    matched[g] = true;
                    hit = true;
                }
            const bool below = covered.count(n.parent()) > 0;
            // Two folders can share a path ("a/b" and "a_b"): the path names
            // the first, which the walk has already met; the other is not
            // ticked by it.
            const bool tick = hit && !below && paths.find(path) == &n;
            if (tick || below) covered.insert(&n);
            if (tick) ticks.push_back(&n);
            return true;
        });
        for (FolderNode* n : ticks) session.setFolderChecked(n, true);
        for (const auto& e : entries) {
            const std::string full = e.folderPath.empty() ? e.name : e.folderPath + "/" + e.name;
            bool hit = false;
            for (size_t g : globs)
                if (::fnmatch(select[g].c_str(), full.c_str(), 0) == 0 ||
                    ::fnmatch(select[g].c_str(), e.name.c_str(), 0) == 0) {
                    matched[g] = true;
                    hit = true;
                }
            if (hit) session.setChecked(e.id, true);
        }
    }
    for (size_t i = 0; i < select.size(); ++i)
        if (!matched[i]) unmatched.push_back(select[i]);
    return unmatched;
}

}  // namespace vantor
