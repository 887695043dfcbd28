#include "fat/fat_scan.h"

#include "platform/codepage.h"

namespace vantor {

std::string FatMaskTextForType(int fileTypeGroup, FatKind kind, const std::string& ownMask) {
    if (fileTypeGroup == kFatTypePictures) return kFatPictureMaskText;
    if (fileTypeGroup == kFatTypeMail) return kind == FatKind::Fat32 ? kFat32MailMaskText : kFat16MailMaskText;
    return ownMask;
}

std::vector<std::string> ParseFatPathFilter(const std::string& pathFilter) {
    std::vector<std::string> parts;
    if (pathFilter.size() <= 3) return parts;
    const std::string rest = AsciiLower(pathFilter.substr(3));
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        if (end > start) parts.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::vector<FatNameMask> ParseFatMaskText(const std::string& maskText) {
    std::vector<FatNameMask> masks;
    const std::string text = AsciiLower(maskText);
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == ';')) ++i;
        size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != ',' && text[j] != ';') ++j;
        if (j > i) {
            const std::string token = text.substr(i, j - i);
            FatNameMask m;
            const size_t dot = token.rfind('.');
            if (dot == std::string::npos) {
                m.name = token;
            } else {
                const std::string after = token.substr(dot + 1);
                const std::string before = token.substr(0, dot);
                if (!after.empty() && after != "*") m.ext = after;
                if (dot != 0 && before != "*") m.name = before;
            }
            if (m.name == "*") m.name.clear();
            masks.push_back(std::move(m));
        }
        i = j;
    }
    if (masks.empty()) masks.emplace_back();
    return masks;
}

bool FatMasksMatch(const std::vector<FatNameMask>& masks, const std::string& lowerName,
                   const std::string& lowerExt) {
    for (const auto& m : masks) {
        const bool nameOk = m.name.empty() || lowerName.find(m.name) != std::string::npos;
        const bool extOk = m.ext.empty() || lowerExt == m.ext;
        if (nameOk && extOk) return true;
    }
    return false;
}

void FinishFatTree(FolderTree& tree) {
    FolderNode* root = tree.root();
    if (!root) return;
    tree.prune([](const FolderNode& node) {
        const auto* files = node.dataAs<FatFolderFiles>();
        return files && files->count() > 0;
    });
    if (root->childCount() > 0) {
        tree.select(root);
        root->expanded = true;
    }
}

}  // namespace vantor
