#pragma once
// A drive held in memory whose reads can be made slow (a cost per KiB, as a
// worn disk reads) or stalled (every read waits), for tests that the
// interface never waits on a device. The switches may flip while a worker reads.
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/block_device.h"

namespace vantor::test {

class SlowDevice final : public BlockDevice {
public:
    explicit SlowDevice(std::vector<std::byte> bytes) : inner_(std::move(bytes)) {}
    static std::shared_ptr<SlowDevice> FromFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        std::vector<std::byte> bytes(in ? static_cast<size_t>(in.tellg()) : 0);
        in.seekg(0);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return std::make_shared<SlowDevice>(std::move(bytes));
    }

    uint64_t size() const override { return inner_.size(); }
    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override {
        if (slow) std::this_thread::sleep_for(std::chrono::microseconds(microsPerKiB * (buf.size() / 1024 + 1)));
        if (stalled) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (offset < holdEnd && offset + buf.size() > holdBegin) {
            ++waiting;
            while (held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            --waiting;
        }
        ++reads;
        bytesRead += buf.size();
        return inner_.readAt(offset, buf);
    }
    ErrorCode writeAt(uint64_t, ByteSpan) override { return kErrAccessDenied; }
    bool writable() const override { return false; }

    std::atomic<bool> slow{false};      // every KiB read costs microsPerKiB
    std::atomic<int> microsPerKiB{60};
    std::atomic<bool> stalled{false};   // every read takes 300 ms
    std::atomic<int> reads{0};
    std::atomic<uint64_t> bytesRead{0};

    // Reads that touch [begin, end) wait until release(), as on a disk that
    // hangs in one bad stretch.
    void holdReadsIn(uint64_t begin, uint64_t end) {
        holdBegin = begin;
        holdEnd = end;
        held = true;
    }
    void release() { held = false; }
    std::atomic<int> waiting{0};  // reads waiting in the held stretch now

private:
    std::atomic<uint64_t> holdBegin{0};
    std::atomic<uint64_t> holdEnd{0};
    std::atomic<bool> held{false};
    MemoryDevice inner_;
};

}  // namespace vantor::test
