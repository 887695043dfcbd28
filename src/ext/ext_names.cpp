#include "ext/ext_names.h"

#include <algorithm>
#include <unordered_set>

#include "ext/ext_layout.h"
#include "ext/ext_volume.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

constexpr uint8_t kTypeUnknown = 0;
constexpr uint8_t kTypeFolder = 2;
constexpr size_t kMaxFolderDepth = 4096;

}  // namespace

std::string ExtShownName(const std::string& raw) {
    // Ill-formed UTF-8 comes back as U+FFFD; a "?" (what a code page without
    // the character would give) is shown as "_".
    std::string name = WideToMultiByte(MultiByteToWide(raw));
    std::replace(name.begin(), name.end(), '?', '_');
    return name;
}

std::string ExtExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return AsciiLower(name.substr(dot + 1, 19));
}

void ExtNameBook::keep(std::unordered_map<uint32_t, Offer>& map, uint32_t inode, Offer o) {
    map[inode] = std::move(o);
}

void ExtNameBook::offer(uint32_t inode, uint32_t folder, const std::string& rawName, uint8_t fileType,
                        uint64_t rank, ExtNameSource source) {
    if (rawName.empty() || rawName == "." || rawName == "..") return;
    // Without the filetype feature every entry has type 0 and may be either.
    if (fileType == kTypeFolder || fileType == kTypeUnknown) {
        auto it = folders_.find(inode);
        if (it == folders_.end() || rank > it->second.rank)
            keep(folders_, inode, {ExtShownName(rawName), folder, rank, source});
    }
    if (fileType == kTypeFolder) return;
    auto want = wanted_.find(inode);
    if (want == wanted_.end()) return;
    if (want->second && source == ExtNameSource::LiveEntry) return;
    auto it = files_.find(inode);
    if (it == files_.end() || rank > it->second.rank) keep(files_, inode, {ExtShownName(rawName), folder, rank, source});
}

void ExtNameBook::offerParent(uint32_t folder, uint32_t parent, uint64_t rank) {
    if (folder == 0 || parent == 0 || folder == parent) return;
    auto [it, fresh] = parents_.try_emplace(folder);
    if (fresh || rank > it->second.rank) it->second = {parent, rank};
}

bool ExtNameBook::folderPath(uint32_t folder, std::string& path) const {
    std::vector<const std::string*> up;
    std::unordered_set<uint32_t> seen;
    for (uint32_t p = folder; p != kExtRootInode;) {
        if (p == 0 || !seen.insert(p).second || up.size() >= kMaxFolderDepth) return false;
        auto it = folders_.find(p);
        if (it == folders_.end()) return false;
        up.push_back(&it->second.name);
        uint32_t next = it->second.folder;
        if (next == 0)
            if (auto pt = parents_.find(p); pt != parents_.end()) next = pt->second.parent;
        p = next;
    }
    path.clear();
    for (size_t i = up.size(); i-- > 0;) {
        if (!path.empty()) path += '/';
        path += *up[i];
    }
    return true;
}

void ExtNameBook::apply(std::vector<std::unique_ptr<ExtFoundFile>>& found) const {
    for (auto& r : found) {
        r->folderKnown = false;
        r->folderPath.clear();
        auto it = files_.find(r->inodeNumber);
        if (it == files_.end()) {
            copyToField(r->name, sizeof r->name, ExtInodeFileName(r->inodeNumber));
            r->extension[0] = '\0';
            r->nameSource = ExtNameSource::None;
            r->parentInode = 0;
            continue;
        }
        const Offer& o = it->second;
        copyToField(r->name, sizeof r->name, o.name);
        copyToField(r->extension, sizeof r->extension, ExtExtensionOf(r->nameText()));
        r->nameSource = o.source;
        r->parentInode = o.folder;
        r->folderKnown = folderPath(o.folder, r->folderPath);
    }
}

}  // namespace vantor
