#include "cli/scan_output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantor::cli {

namespace {

using EntriesByNode = std::unordered_map<const FolderNode*, std::vector<const FoundEntry*>>;

// Text output indents one step a level up to here; deeper folders say their
// depth instead, or a hostile tree would print depth-squared spaces.
constexpr int kMaxIndentLevels = 64;

// Each entry under the node its folder path names, every path resolved once
// (asking every node for its path is quadratic in a deep tree).
EntriesByNode GroupByNode(FolderPaths& paths, const std::vector<FoundEntry>& entries) {
    std::unordered_map<std::string, const FolderNode*> nodes;
    EntriesByNode out;
    for (const auto& e : entries) {
        auto [it, fresh] = nodes.try_emplace(e.folderPath, nullptr);
        if (fresh) it->second = paths.find(e.folderPath);
        if (it->second) out[it->second].push_back(&e);
    }
    return out;
}

std::string LetterText(char l) { return std::string(1, l); }

// Names come from the scanned disk: control characters would reach the
// terminal as escape sequences or fake lines, so text output shows them as "?".
std::string Printable(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

// Only a condition that warns is printed in the text listing.
const char* ConditionSuffix(DataCondition c) {
    switch (c) {
        case DataCondition::Overwritten: return ", overwritten";
        case DataCondition::PartlyOverwritten: return ", partly overwritten";
        default: return "";
    }
}

nlohmann::json EntryJson(const FoundEntry& e) {
    nlohmann::json j{{"id", e.id},
                     {"name", e.name},
                     {"folder", e.folderPath},
                     {"path", e.folderPath.empty() ? e.name : e.folderPath + "/" + e.name},
                     {"size", e.size},
                     {"sizeText", e.sizeText},
                     {"attributes", e.attributes},
                     {"modified", e.modified},
                     {"created", e.created},
                     {"accessed", e.accessed},
                     {"deleted", e.deleted},
                     {"condition", DataConditionText(e.condition)}};
    if (!e.extra.empty()) j["extra"] = e.extra;
    return j;
}

nlohmann::json FolderJson(const FolderNode& node, const EntriesByNode& byNode, FolderPaths& paths, int depth) {
    nlohmann::json j{{"name", node.text}, {"path", paths.pathOf(&node)}, {"files", nlohmann::json::array()},
                     {"folders", nlohmann::json::array()}};
    auto it = byNode.find(&node);
    if (it != byNode.end())
        for (const FoundEntry* e : it->second) j["files"].push_back(EntryJson(*e));
    // Nesting is capped so a hostile, very deep tree cannot exhaust the stack.
    if (depth >= 200 && node.childCount() > 0) j["truncated"] = true;
    else
        for (const auto& c : node.children()) j["folders"].push_back(FolderJson(*c, byNode, paths, depth + 1));
    return j;
}

}  // namespace

std::string TotalsText(uint64_t files, uint64_t bytes) {
    static const char* const kUnits[] = {"Byte", "KB", "MB", "GB"};
    double v = static_cast<double>(bytes);
    int unit = 0;
    while (v >= 1024.0 && unit < 3) {
        v /= 1024.0;
        ++unit;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "%llu files - %.2f %s", static_cast<unsigned long long>(files), v, kUnits[unit]);
    return buf;
}

void PrintScanText(const ScanReport& r) {
    const std::vector<FoundEntry> entries = r.session->entries();
    FolderPaths paths(r.session->tree());
    const EntriesByNode byNode = GroupByNode(paths, entries);
    std::printf("Partition %d: %s %s: \"%s\" from sector %u, %s scan (%s engine)\n", r.partitionIndex,
                r.record->fileSystemName().c_str(), LetterText(r.record->driveLetter).c_str(),
                Printable(r.record->label()).c_str(), r.record->startSector, r.kind.c_str(),
                r.session->engineName().c_str());
    uint64_t bytes = 0;
    for (const auto& e : entries) bytes += e.size;
    std::vector<std::pair<const FolderNode*, int>> stack;
    if (r.session->tree().root()) stack.push_back({r.session->tree().root(), 0});
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        const std::string indent(static_cast<size_t>(std::min(depth, kMaxIndentLevels)) * 2, ' ');
        const std::string deeper = depth > kMaxIndentLevels ? "(depth " + std::to_string(depth) + ") " : "";
        std::printf("%s%s%s%s\n", indent.c_str(), deeper.c_str(), Printable(node->text).c_str(),
                    node->parent() ? "/" : "");
        auto it = byNode.find(node);
        if (it != byNode.end())
            for (const FoundEntry* e : it->second)
                std::printf("%s  %-6s %s  [%s, %s, modified %s, created %s, accessed %s%s%s]\n", indent.c_str(),
                            e->id.c_str(), Printable(e->name).c_str(), e->sizeText.c_str(), e->attributes.c_str(),
                            e->modified.c_str(), e->created.c_str(), e->accessed.c_str(),
                            e->deleted ? ", deleted" : "", ConditionSuffix(e->condition));
        const auto& kids = node->children();
        for (size_t i = kids.size(); i-- > 0;) stack.push_back({kids[i].get(), depth + 1});
    }
    std::printf("Found %s\n", TotalsText(entries.size(), bytes).c_str());
}

void PrintScanJson(const ScanReport& r) {
    const std::vector<FoundEntry> entries = r.session->entries();
    FolderPaths paths(r.session->tree());
    const EntriesByNode byNode = GroupByNode(paths, entries);
    uint64_t bytes = 0;
    for (const auto& e : entries) bytes += e.size;
    nlohmann::json out{{"partition",
                        {{"index", r.partitionIndex},
                         {"diskIndex", r.record->diskIndex},
                         {"letter", LetterText(r.record->driveLetter)},
                         {"fileSystem", r.record->fileSystemName()},
                         {"label", r.record->label()},
                         {"startSector", r.record->startSector}}},
                       {"scan", r.kind},
                       {"engine", r.session->engineName()},
                       {"error", r.scanError},
                       {"fileCount", entries.size()},
                       {"totalBytes", bytes}};
    if (const std::string note = r.session->scanNote(); !note.empty()) out["note"] = note;
    out["tree"] = r.session->tree().root() ? FolderJson(*r.session->tree().root(), byNode, paths, 0) : nlohmann::json();
    std::printf("%s\n", out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

void PrintRecoverySummary(const RecoveryOutcome& out, const std::string& destination, bool json) {
    if (json) {
        nlohmann::json j{{"destination", destination}, {"written", out.written}, {"skipped", out.skipped},
                         {"failed", out.failed},       {"cancelled", out.cancelled}, {"refused", out.refused},
                         {"deviceError", out.deviceError}, {"failures", out.failures}};
        std::printf("%s\n", j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return;
    }
    if (out.refused) return;  // the prompt said why
    std::printf("Recovered %u files to %s (skipped %u, failed %u)%s\n", out.written, destination.c_str(),
                out.skipped, out.failed, out.cancelled ? ", cancelled" : "");
    // The failures themselves were told once through the prompt by the writer.
}

}  // namespace vantor::cli
