#include "exfat/exfat_data.h"

#include <algorithm>

namespace vantor {

namespace {

constexpr size_t kCopyChunk = 4u << 20;

void Take(const CExfatVolume& v, uint32_t c, ExfatDataLayout& layout) {
    const uint64_t off = v.clusterOffset(c);
    if (!layout.extents.empty() && layout.extents.back().offset + layout.extents.back().length == off)
        layout.extents.back().length += v.clusterBytes();
    else
        layout.extents.push_back({off, v.clusterBytes()});
}

// Contiguous and chain layouts: judged cluster by cluster.
DataCondition JudgeEach(const CExfatVolume& v, const std::vector<uint32_t>& clusters) {
    size_t used = 0;
    for (uint32_t c : clusters) used += v.inUse(c) ? 1 : 0;
    if (used == 0) return DataCondition::Intact;
    if (used == clusters.size() || v.inUse(clusters.front())) return DataCondition::Overwritten;
    return DataCondition::PartlyOverwritten;
}

}  // namespace

ExfatDataLayout LocateExfatData(const CExfatVolume& v, const ExfatEntrySet& set, bool fatKnown, uint64_t maxBytes) {
    ExfatDataLayout layout;
    const uint64_t length = std::min(set.dataLength, maxBytes);
    if (length == 0) {
        layout.condition = DataCondition::Intact;
        return layout;
    }
    if (!v.validCluster(set.firstCluster)) {
        layout.badFirstCluster = true;
        return layout;
    }
    const uint64_t cb = v.clusterBytes();
    const uint64_t need = (length + cb - 1) / cb;
    std::vector<uint32_t> clusters;
    if (!set.noFatChain() && fatKnown) {
        const ExfatChainEnd end = v.walkChain(set.firstCluster, need, clusters);
        const bool intact = clusters.size() == need && (end == ExfatChainEnd::EndMark || end == ExfatChainEnd::Limit) &&
                            v.fatEntry(clusters.back()) == kExfatEndOfChain;
        if (intact) {
            layout.rule = ExfatRule::FatChain;
        } else {
            // The FAT rule: only clusters no live file holds can have been its own.
            layout.rule = ExfatRule::FreeAfterFirst;
            clusters.assign(1, set.firstCluster);
            for (uint32_t c = set.firstCluster; clusters.size() < need;) {
                c = v.nextFree(c);
                if (c == 0) break;
                clusters.push_back(c);
            }
        }
    } else {
        // One run; no list of its clusters, which a hostile length would make huge.
        const uint64_t count = std::min<uint64_t>(need, uint64_t{v.lastCluster()} - set.firstCluster + 1);
        layout.extents.push_back({v.clusterOffset(set.firstCluster), count * cb});
        layout.bytes = std::min(length, count * cb);
        layout.cutAtVolumeEnd = layout.bytes < length;
        layout.extents.back().length = layout.bytes;
        uint64_t used = 0;
        for (uint64_t i = 0; i < count; ++i) used += v.inUse(set.firstCluster + static_cast<uint32_t>(i)) ? 1 : 0;
        layout.condition = used == 0 ? DataCondition::Intact
                           : used == count || v.inUse(set.firstCluster) ? DataCondition::Overwritten
                                                                       : DataCondition::PartlyOverwritten;
        return layout;
    }
    for (uint32_t c : clusters) Take(v, c, layout);
    layout.bytes = std::min<uint64_t>(length, uint64_t{clusters.size()} * cb);
    layout.cutAtVolumeEnd = layout.bytes < length;
    if (!layout.extents.empty()) {
        // The last extent ends with the data.
        const uint64_t over = uint64_t{clusters.size()} * cb - layout.bytes;
        layout.extents.back().length -= over;
    }
    layout.condition = layout.rule == ExfatRule::FreeAfterFirst
                           ? (v.inUse(set.firstCluster) ? DataCondition::Overwritten : DataCondition::Intact)
                           : JudgeEach(v, clusters);
    return layout;
}

ErrorCode ReadExfatData(const CExfatVolume& v, const ExfatDataLayout& layout, uint64_t validLength, uint64_t limit,
                        const std::atomic<bool>* running, std::vector<std::byte>& buf,
                        const std::function<ErrorCode(ByteSpan)>& sink) {
    limit = std::min(limit, layout.bytes);
    uint64_t done = 0;
    for (const ExfatExtent& x : layout.extents) {
        for (uint64_t pos = 0; pos < x.length && done < limit;) {
            if (running && !running->load()) return kErrCancelled;
            uint64_t n = std::min<uint64_t>({x.length - pos, limit - done, kCopyChunk});
            buf.resize(static_cast<size_t>(n));
            if (done >= validLength) {
                std::fill(buf.begin(), buf.end(), std::byte{0});
            } else {
                n = std::min(n, validLength - done);
                buf.resize(static_cast<size_t>(n));
                if (ErrorCode err = v.readVolume(x.offset + pos, buf); err != kSuccess) return err;
            }
            if (ErrorCode err = sink(ByteSpan(buf)); err != kSuccess) return err;
            pos += n;
            done += n;
        }
    }
    return kSuccess;
}

}  // namespace vantor
