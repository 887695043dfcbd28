// The DBX structures over hostile bytes: the header check, the index tree,
// the chain walk and the block scan. The input's first four bytes are the
// index root; the rest follows a zero header, so offsets from 0x24BC land in
// the fuzzed bytes.
#include <cstdlib>

#include "mail/dbx_store.h"

namespace {

class CountingSink final : public vantor::ByteSink {
public:
    uint64_t n = 0;
    vantor::ErrorCode write(vantor::ByteSpan b) override {
        n += b.size();
        return vantor::kSuccess;
    }
    vantor::ErrorCode skip(uint64_t k) override {
        n += k;
        return vantor::kSuccess;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    if (size < 4) return 0;
    std::vector<std::byte> file(kDbxHeaderBytes);
    writeLe32(file, 0, kDbxSignature);
    writeLe32(file, 4, kDbxMessageClass);
    for (size_t i = 0; i < 4; ++i) file[kDbxIndexRootAt + i] = std::byte{data[i]};
    file.insert(file.end(), reinterpret_cast<const std::byte*>(data) + 4, reinterpret_cast<const std::byte*>(data) + size);
    writeLe32(file, kDbxFileSizeAt, static_cast<uint32_t>(file.size()));
    writeLe32(file, kDbxItemCountAt, 1);
    MemoryDevice dev(std::move(file));
    (void)CheckDbxHeader(dev);
    DbxLimits limits;
    limits.maxMessages = 4096;
    std::vector<DbxMessage> messages;
    (void)DbxMessagesByIndex(dev, messages, limits);
    const std::vector<DbxMessage> scanned = DbxMessagesByScan(dev, limits);
    messages.insert(messages.end(), scanned.begin(), scanned.end());
    for (const DbxMessage& m : messages) {
        CountingSink sink;
        if (ReadDbxMessage(dev, m, sink) != kSuccess || sink.n != m.bytes) std::abort();
        if (m.blocks.size() > dev.size() / kDbxBlockHeaderBytes) std::abort();
    }
    return 0;
}
