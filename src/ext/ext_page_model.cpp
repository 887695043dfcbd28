#include "ext/ext_page_model.h"

#include <cstdio>
#include <unordered_map>

#include "platform/time_util.h"

namespace vantor {

std::string ExtSizeText(uint64_t size) {
    char text[48];
    const double v = static_cast<double>(size);
    if (size < 1024) std::snprintf(text, sizeof text, "%u B", static_cast<unsigned>(size));
    else if (size <= 0xFFFFF) std::snprintf(text, sizeof text, "%5.2f KB", v / 1024.0);
    else if (size > 0x3FFFFFFF) std::snprintf(text, sizeof text, "%5.2f GB", v / 1073741824.0);
    else std::snprintf(text, sizeof text, "%5.2f MB", v / 1048576.0);
    return text;
}

std::string ExtAttributesText(uint16_t mode) {
    std::string s = "------";
    const char letters[] = "rwxrwx";
    for (int i = 0; i < 6; ++i)
        if (mode & (0x100 >> i)) s[static_cast<size_t>(i)] = letters[i];
    return s;
}

std::string ExtTimeText(uint32_t unixTime) {
    if (unixTime == 0) return {};
    SystemTime t{};
    if (!FileTimeToSystemTime(FileTimeToLocalFileTime(UnixToFileTime(unixTime)), t)) return {};
    char text[48];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

void ExtPageModel::build(const std::string& fileSystem, const std::string& label,
                         const std::vector<std::unique_ptr<ExtFoundFile>>& records) {
    tree_.clear();
    FolderNode* root = tree_.setRoot(fileSystem + "( " + label + " )", 1, 1);
    root->data = std::make_unique<ExtNodeFiles>();
    std::unordered_map<std::string, FolderNode*> folders{{"", root}};
    std::vector<ExtFoundFile*> lost;
    for (const auto& r : records) {
        if (!r->folderKnown) {
            lost.push_back(r.get());
            continue;
        }
        auto it = folders.find(r->folderPath);
        if (it == folders.end()) {
            // Make each missing folder of the path, top down.
            FolderNode* node = root;
            size_t start = 0;
            while (start <= r->folderPath.size()) {
                size_t slash = r->folderPath.find('/', start);
                if (slash == std::string::npos) slash = r->folderPath.size();
                const std::string prefix = r->folderPath.substr(0, slash);
                auto [at, fresh] = folders.try_emplace(prefix, nullptr);
                if (fresh) {
                    at->second = node->appendChild(r->folderPath.substr(start, slash - start), 2, 3);
                    at->second->data = std::make_unique<ExtNodeFiles>();
                }
                node = at->second;
                start = slash + 1;
            }
            it = folders.find(r->folderPath);
        }
        it->second->dataAs<ExtNodeFiles>()->files.push_back(r.get());
    }
    FolderNode* lostNode = root->appendChild(kExtLostFilesText, 0, 0);
    auto lostFiles = std::make_unique<ExtNodeFiles>();
    lostFiles->files = std::move(lost);
    lostNode->data = std::move(lostFiles);
    root->expanded = true;
    tree_.select(lostNode);
}

void ExtPageModel::setFileChecked(FolderNode* node, ExtFoundFile* record, bool on) {
    if (!node || !record) return;
    record->selected = on ? 1 : 0;
    updateAncestors(node);
}

void ExtPageModel::setFolderChecked(FolderNode* node, bool on) {
    if (!node) return;
    std::vector<FolderNode*> stack{node};
    while (!stack.empty()) {
        FolderNode* n = stack.back();
        stack.pop_back();
        n->checked = on;
        if (auto* files = n->dataAs<ExtNodeFiles>())
            for (ExtFoundFile* f : files->files) f->selected = on ? 1 : 0;
        for (const auto& c : n->children()) stack.push_back(c.get());
    }
    updateAncestors(node->parent());
}

void ExtPageModel::updateAncestors(FolderNode* node) {
    // A node is checked while any file at or below it is ticked.
    for (FolderNode* n = node; n; n = n->parent()) {
        bool any = false;
        if (auto* files = n->dataAs<ExtNodeFiles>())
            for (const ExtFoundFile* f : files->files) any = any || f->selected != 0;
        for (const auto& c : n->children()) any = any || c->checked;
        n->checked = any;
    }
}

}  // namespace vantor
