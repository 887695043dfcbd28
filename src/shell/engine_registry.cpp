#include "shell/engine_registry.h"

#include "shell/sessions/fat_session.h"
#include "shell/sessions/ntfs_session.h"

#include <vector>

namespace vantor {

namespace {

enum class EngineKind { None, Fat16, Fat32, Ntfs };

// Only the names a mounted volume carries; "#FAT32#" and the like are known
// from a type byte alone and are offered to the raw scan only.
EngineKind KindFor(const std::string& name) {
    if (name == "FAT32") return EngineKind::Fat32;
    if (name == "FAT" || name == "FAT16") return EngineKind::Fat16;
    if (name == "NTFS") return EngineKind::Ntfs;
    return EngineKind::None;
}

}  // namespace

std::unique_ptr<EngineSession> CreateEngineSession(const PartitionRecord& record) {
    switch (KindFor(record.fileSystemName())) {
        case EngineKind::Fat16: return CreateFatSession(record, 1);
        case EngineKind::Fat32: return CreateFatSession(record, 2);
        case EngineKind::Ntfs: return CreateNtfsSession(record);
        case EngineKind::None: break;
    }
    return nullptr;
}

bool HasEngineFor(const std::string& fileSystemName) {
    return KindFor(fileSystemName) != EngineKind::None;
}

namespace {

// The path piece of one node: its text with "/" replaced, numbered when an
// earlier sibling has the same text.
std::string PathPiece(const FolderNode* node) {
    std::string piece = node->text;
    for (char& c : piece)
        if (c == '/') c = '_';
    const FolderNode* parent = node->parent();
    if (!parent) return piece;
    int same = 0;
    for (const auto& sibling : parent->children()) {
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
    FolderNode* node = tree.root();
    size_t start = 0;
    while (node && start < path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        const std::string piece = path.substr(start, slash - start);
        FolderNode* next = nullptr;
        for (const auto& c : node->children())
            if (PathPiece(c.get()) == piece) {
                next = c.get();
                break;
            }
        node = next;
        start = slash + 1;
    }
    return node;
}

}  // namespace vantor
