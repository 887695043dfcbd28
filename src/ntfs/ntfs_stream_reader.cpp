// Reading a non-resident $DATA stream: runs in VCN order, sparse runs and
// unmapped stretches as zeros, compressed streams one compression unit at a
// time.
#include <algorithm>

#include "ntfs/mft_record_parser.h"
#include "platform/lznt1.h"

namespace vantor {

namespace {

constexpr uint64_t kChunk = 1u << 20;
// Reads straight into a caller's buffer go in larger requests.
constexpr uint64_t kDirectChunk = uint64_t{8} << 20;
constexpr uint64_t kMax = ~uint64_t{0};

uint64_t MulSat(uint64_t a, uint64_t b) { return (b != 0 && a > kMax / b) ? kMax : a * b; }
uint64_t AddSat(uint64_t a, uint64_t b) { return a > kMax - b ? kMax : a + b; }

class StreamReader {
public:
    StreamReader(BlockDevice& device, uint64_t base, uint32_t cs, const NtfsDataStream& s,
                 const std::function<ErrorCode(ByteSpan)>* sink, MutableByteSpan target,
                 const std::function<ErrorCode(uint64_t)>* hole = nullptr, const std::atomic<bool>* keepGoing = nullptr)
        : device_(device), base_(base), cs_(cs), stream_(s), sink_(sink), hole_(hole), target_(target),
          keepGoing_(keepGoing) {}

    ErrorCode plain(uint64_t length) {
        uint64_t produced = 0;
        size_t run = 0;
        const std::vector<NtfsRun>& runs = stream_.runs;
        while (produced < length) {
            while (run < runs.size() && MulSat(AddSat(runs[run].vcn, runs[run].length), cs_) <= produced) ++run;
            uint64_t end = length;
            if (run >= runs.size() || MulSat(runs[run].vcn, cs_) > produced) {
                // Not mapped by any run: zeros up to the next run.
                if (run < runs.size()) end = std::min(end, MulSat(runs[run].vcn, cs_));
                status_ = kErrHandleEof;
                if (ErrorCode rc = zeros(end - produced)) return rc;
                produced = end;
                continue;
            }
            const NtfsRun& r = runs[run];
            end = std::min(end, MulSat(AddSat(r.vcn, r.length), cs_));
            if (r.sparse) {
                if (ErrorCode rc = zeros(end - produced)) return rc;
                produced = end;
                continue;
            }
            // Past the initialized size the stream reads as zeros.
            const uint64_t valid = std::min(end, std::max(produced, stream_.initializedSize));
            if (valid > produced) {
                const uint64_t into = produced - MulSat(r.vcn, cs_);
                const uint64_t pos = AddSat(base_, AddSat(MulSat(r.lcn, cs_), into));
                if (ErrorCode rc = copy(pos, valid - produced)) return rc;
            }
            if (end > valid)
                if (ErrorCode rc = zeros(end - valid)) return rc;
            produced = end;
        }
        return status_;
    }

    ErrorCode compressed(uint64_t length) {
        const uint64_t unitClusters = stream_.compressionUnitClusters;
        const uint64_t unitBytes = unitClusters * cs_;
        std::vector<std::byte> packed;
        std::vector<std::byte> unit(static_cast<size_t>(unitBytes));
        size_t run = 0;
        const std::vector<NtfsRun>& runs = stream_.runs;
        for (uint64_t produced = 0, vcn0 = 0; produced < length; vcn0 += unitClusters) {
            const uint64_t vcnEnd = vcn0 + unitClusters;
            while (run < runs.size() && AddSat(runs[run].vcn, runs[run].length) <= vcn0) ++run;
            // Allocated clusters of this unit, in VCN order.
            packed.clear();
            uint64_t allocated = 0;
            uint64_t mapped = 0;
            for (size_t i = run; i < runs.size() && runs[i].vcn < vcnEnd; ++i) {
                const uint64_t from = std::max(runs[i].vcn, vcn0);
                const uint64_t to = std::min(AddSat(runs[i].vcn, runs[i].length), vcnEnd);
                mapped += to - from;
                if (runs[i].sparse) continue;
                const size_t at = packed.size();
                packed.resize(at + static_cast<size_t>((to - from) * cs_));
                const uint64_t pos = AddSat(base_, MulSat(AddSat(runs[i].lcn, from - runs[i].vcn), cs_));
                if (ErrorCode rc = device_.readAt(pos, MutableByteSpan(packed).subspan(at))) return rc;
                allocated += to - from;
            }
            if (mapped < unitClusters) status_ = kErrHandleEof;
            const uint64_t n = std::min(unitBytes, length - produced);
            if (allocated == 0 && hole_ != nullptr) {
                // A unit with no clusters holds only zeros.
                if (ErrorCode rc = (*hole_)(n)) return rc;
                produced += n;
                continue;
            }
            std::fill(unit.begin(), unit.end(), std::byte{0});
            if (allocated == unitClusters) {
                std::copy(packed.begin(), packed.end(), unit.begin());  // stored raw
            } else if (allocated != 0) {
                size_t out = 0;
                if (Lznt1Decompress(packed, unit, out) != kSuccess) status_ = kErrInvalidParameter;
            }
            if (ErrorCode rc = emit(ByteSpan(unit).first(static_cast<size_t>(n)))) return rc;
            produced += n;
        }
        return status_;
    }

    void zeroRest() {
        if (sink_ == nullptr) std::fill(target_.begin() + static_cast<std::ptrdiff_t>(at_), target_.end(), std::byte{0});
    }

private:
    // With a target the bytes land at its write position; callers never
    // produce more than the target holds.
    ErrorCode emit(ByteSpan piece) {
        if (sink_ != nullptr) return (*sink_)(piece);
        std::copy(piece.begin(), piece.end(), target_.begin() + static_cast<std::ptrdiff_t>(at_));
        at_ += piece.size();
        return kSuccess;
    }
    ErrorCode zeros(uint64_t n) {
        if (hole_ != nullptr) return n == 0 ? kSuccess : (*hole_)(n);
        if (sink_ == nullptr) {
            std::fill_n(target_.begin() + static_cast<std::ptrdiff_t>(at_), static_cast<size_t>(n), std::byte{0});
            at_ += static_cast<size_t>(n);
            return kSuccess;
        }
        const size_t want = static_cast<size_t>(std::min(n, kChunk));
        if (zeroBuf_.size() < want) zeroBuf_.assign(want, std::byte{0});
        while (n > 0) {
            const size_t step = static_cast<size_t>(std::min(n, kChunk));
            if (ErrorCode rc = emit(ByteSpan(zeroBuf_).first(step))) return rc;
            n -= step;
        }
        return kSuccess;
    }
    ErrorCode copy(uint64_t pos, uint64_t n) {
        if (sink_ == nullptr) {
            while (n > 0) {
                if (keepGoing_ && !keepGoing_->load()) return kErrCancelled;
                const size_t step = static_cast<size_t>(std::min(n, kDirectChunk));
                if (ErrorCode rc = device_.readAt(pos, target_.subspan(at_, step))) return rc;
                at_ += step;
                pos += step;
                n -= step;
            }
            return kSuccess;
        }
        if (buf_.empty()) buf_.resize(static_cast<size_t>(std::min(n, kChunk)));
        while (n > 0) {
            const size_t step = static_cast<size_t>(std::min<uint64_t>(n, kChunk));
            if (buf_.size() < step) buf_.resize(step);
            MutableByteSpan piece = MutableByteSpan(buf_).first(step);
            if (ErrorCode rc = device_.readAt(pos, piece)) return rc;
            if (ErrorCode rc = emit(piece)) return rc;
            pos += step;
            n -= step;
        }
        return kSuccess;
    }

    BlockDevice& device_;
    uint64_t base_;
    uint64_t cs_;
    const NtfsDataStream& stream_;
    const std::function<ErrorCode(ByteSpan)>* sink_;
    const std::function<ErrorCode(uint64_t)>* hole_;
    MutableByteSpan target_;
    const std::atomic<bool>* keepGoing_;
    size_t at_ = 0;
    std::vector<std::byte> buf_;
    std::vector<std::byte> zeroBuf_;
    ErrorCode status_ = kSuccess;
};

}  // namespace

namespace {

ErrorCode Read(StreamReader& reader, uint32_t clusterSize, const NtfsDataStream& stream, uint64_t length) {
    // NTFS compresses only with clusters up to 4 KiB, in units of 16 clusters.
    if (stream.compressed && stream.compressionUnitClusters != 0 && clusterSize <= 4096 &&
        stream.compressionUnitClusters <= 16)
        return reader.compressed(length);
    return reader.plain(length);
}

}  // namespace

ErrorCode ReadNtfsStream(BlockDevice& device, uint64_t partitionOffset, uint32_t clusterSize,
                         const NtfsDataStream& stream, uint64_t length,
                         const std::function<ErrorCode(ByteSpan)>& sink,
                         const std::function<ErrorCode(uint64_t)>* hole) {
    if (clusterSize == 0) return kErrInvalidParameter;
    StreamReader reader(device, partitionOffset, clusterSize, stream, &sink, {}, hole);
    return Read(reader, clusterSize, stream, length);
}

ErrorCode ReadNtfsStreamInto(BlockDevice& device, uint64_t partitionOffset, uint32_t clusterSize,
                             const NtfsDataStream& stream, MutableByteSpan out,
                             const std::atomic<bool>* keepGoing) {
    if (clusterSize == 0) {
        std::fill(out.begin(), out.end(), std::byte{0});
        return kErrInvalidParameter;
    }
    StreamReader reader(device, partitionOffset, clusterSize, stream, nullptr, out, nullptr, keepGoing);
    const ErrorCode rc = Read(reader, clusterSize, stream, out.size());
    // After a failed read the rest is zeros, never what the buffer held.
    reader.zeroRest();
    return rc;
}

}  // namespace vantor
