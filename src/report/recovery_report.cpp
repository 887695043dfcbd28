#include "report/recovery_report.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/block_device.h"
#include "platform/device_table.h"
#include "platform/sha256.h"

#ifndef VANTOR_VERSION
#define VANTOR_VERSION "unknown"
#endif

namespace vantor {

namespace {

std::string UtcText(std::chrono::system_clock::time_point t) {
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    std::tm tm{};
    ::gmtime_r(&secs, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

// The image file's SHA-256, read in large pieces; empty when it cannot be read.
std::string HashImage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    Sha256 sha;
    std::vector<char> buf(size_t{4} << 20);
    while (in) {
        in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
        const auto n = static_cast<size_t>(in.gcount());
        if (n == 0) break;
        sha.update(ByteSpan(reinterpret_cast<const std::byte*>(buf.data()), n));
    }
    if (in.bad()) return {};
    return sha.finishHex();
}

nlohmann::json FileJson(const RecoveredFileRecord& f) {
    nlohmann::json j{{"path", f.path},
                     {"id", f.id},
                     {"source", f.sourcePath},
                     {"size", f.size},
                     {"bytesWritten", f.bytesWritten},
                     {"status", RecoveredStatusName(f.status)},
                     {"condition", DataConditionText(f.condition)}};
    if (!f.keptAs.empty()) j["keptAs"] = f.keptAs;
    if (!f.sha256.empty()) j["sha256"] = f.sha256;
    if (!f.reason.empty()) j["reason"] = f.reason;
    nlohmann::json runs = nlohmann::json::array();
    for (const DeviceRun& r : f.runs) runs.push_back({{"offset", r.offset}, {"length", r.length}});
    j["runs"] = std::move(runs);
    if (f.resident) j["resident"] = true;
    return j;
}

}  // namespace

bool WriteRecoveryReport(const std::string& path, const RecoveryRun& run, const RecoveryOutcome& outcome) {
    const PartitionRecord& rec = *run.record;
    nlohmann::json drive{{"number", rec.diskIndex}};
    if (auto entry = DeviceTable::Global().drive(rec.diskIndex)) {
        drive["path"] = entry->path;
        drive["image"] = entry->isImage;
        const StorageDescriptor& d = entry->descriptor;
        drive["model"] = d.hasVendor && !d.vendorId.empty() ? d.vendorId + " " + d.productId : d.productId;
        if (entry->isImage && run.hashImage) drive["sha256"] = HashImage(entry->path);
    }
    nlohmann::json files = nlohmann::json::array();
    for (const RecoveredFileRecord& f : outcome.files) files.push_back(FileJson(f));
    nlohmann::json partition{{"fileSystem", rec.fileSystemName()},
                             {"startByte", uint64_t{rec.startSector} * 512},
                             {"sizeBytes", rec.totalBytes}};
    if (run.partitionIndex >= 0) partition["number"] = run.partitionIndex;
    const nlohmann::json report{
        {"program", "vantor"},
        {"version", VANTOR_VERSION},
        {"drive", std::move(drive)},
        {"partition", std::move(partition)},
        {"scan", run.scanKind},
        {"destination", run.destination},
        {"started", UtcText(run.started)},
        {"finished", UtcText(run.finished)},
        {"written", outcome.written},
        {"skipped", outcome.skipped},
        {"failed", outcome.failed},
        {"cancelled", outcome.cancelled},
        {"files", std::move(files)}};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out << report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    out.close();
    return static_cast<bool>(out);
}

std::string FreeReportPath(const std::string& folder, const RecoveryOutcome& outcome) {
    const std::filesystem::path dir(folder);
    for (int n = 1;; ++n) {
        const std::string name =
            n == 1 ? std::string(kRecoveryReportName) : "recovery-report (" + std::to_string(n) + ").json";
        bool taken = false;
        for (const RecoveredFileRecord& f : outcome.files) taken = taken || f.path == name || f.keptAs == name;
        std::error_code ec;  // a folder that cannot be looked at fails the write, which is told
        if (!taken && !std::filesystem::exists(dir / name, ec)) return (dir / name).string();
    }
}

}  // namespace vantor
