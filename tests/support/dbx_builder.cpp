#include "support/dbx_builder.h"

#include <cstring>

namespace vantor::test {

namespace {

constexpr uint32_t kHeaderBytes = 0x24BC;
constexpr uint32_t kBlockBody = 0x200;

void Put32(std::vector<std::byte>& b, size_t at, uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = std::byte((v >> (8 * i)) & 0xFF);
}
void PutText(std::vector<std::byte>& b, size_t at, const std::string& s) {
    if (b.size() < at + s.size() + 1) b.resize(at + s.size() + 1);
    std::memcpy(b.data() + at, s.data(), s.size());
    b[at + s.size()] = std::byte{0};
}
uint32_t Align4(size_t n) { return static_cast<uint32_t>((n + 3) & ~size_t{3}); }

// An indexed info object: direct values sit in their entry, others in the
// data area behind the entries.
struct Index {
    uint8_t tag;
    bool direct;
    uint32_t value;      // direct, or a 4-byte value in the data area
    std::string text;    // a c-string in the data area when not empty
};

uint32_t PutInfo(std::vector<std::byte>& b, const std::vector<Index>& indexes) {
    const uint32_t at = Align4(b.size());
    std::vector<std::byte> data;
    std::vector<uint32_t> entries;
    for (const Index& ix : indexes) {
        if (ix.direct) {
            entries.push_back(0x80u | ix.tag | (ix.value << 8));
            continue;
        }
        entries.push_back(ix.tag | (static_cast<uint32_t>(data.size()) << 8));
        if (ix.text.empty()) Put32(data, data.size(), ix.value);
        else PutText(data, data.size(), ix.text);
    }
    const uint32_t body = Align4(entries.size() * 4 + data.size());
    Put32(b, at, at);
    Put32(b, at + 4, body);
    Put32(b, at + 8, (body & 0xFFFF) | (static_cast<uint32_t>(entries.size()) << 16));
    for (size_t i = 0; i < entries.size(); ++i) Put32(b, at + 12 + 4 * i, entries[i]);
    b.resize(at + 12 + body);
    std::memcpy(b.data() + at + 12 + 4 * entries.size(), data.data(), data.size());
    return at;
}

uint32_t PutChain(std::vector<std::byte>& b, const std::string& text) {
    uint32_t first = 0, previous = 0;
    size_t done = 0;
    do {
        const uint32_t at = Align4(b.size());
        const size_t n = std::min<size_t>(kBlockBody, text.size() - done);
        Put32(b, at, at);
        Put32(b, at + 4, kBlockBody);
        Put32(b, at + 8, static_cast<uint32_t>(n));
        Put32(b, at + 12, 0);
        b.resize(at + 16 + kBlockBody);
        std::memcpy(b.data() + at + 16, text.data() + done, n);
        if (previous) Put32(b, previous + 12, at);
        else first = at;
        previous = at;
        done += n;
    } while (done < text.size());
    return first;
}

}  // namespace

DbxStore BuildDbx(const DbxPlan& plan) {
    DbxStore out;
    std::vector<std::byte>& b = out.bytes;
    b.resize(kHeaderBytes);
    Put32(b, 0, 0xFE12ADCF);
    Put32(b, 4, plan.folderStore ? 0x6F74FDC6 : 0x6F74FDC5);
    static const uint8_t kClassRest[] = {0x66, 0xe3, 0xd1, 0x11, 0x9a, 0x4e, 0x00, 0xc0, 0x4f, 0xa3,
                                         0x09, 0xd4, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    std::memcpy(b.data() + 8, kClassRest, sizeof kClassRest);
    // The file info object.
    const uint32_t infoLength = plan.folderStore ? 0x108 : 0x618;
    Put32(b, 0x1C, infoLength);
    b.resize(kHeaderBytes + infoLength);
    if (plan.folderStore) {
        Put32(b, kHeaderBytes, 0xD53E8000);  // a FILETIME, low word
        Put32(b, kHeaderBytes + 4, 0x01C0A8C0);
        Put32(b, kHeaderBytes + 8, 1);
    } else {
        Put32(b, kHeaderBytes, 1);
        b[kHeaderBytes + 4] = std::byte{3};  // source type: local folder
        PutText(b, kHeaderBytes + 5, "LocalStore");
        PutText(b, kHeaderBytes + 0x105, "Inbox");
    }

    std::vector<uint32_t> infos;
    for (size_t i = 0; i < plan.items.size(); ++i) {
        const uint32_t id = static_cast<uint32_t>(i + 1);
        if (plan.folderStore) {
            infos.push_back(PutInfo(b, {{0x00, true, id, {}}, {0x01, true, 0, {}},
                                        {0x02, false, 0, plan.items[i]}, {0x03, false, 0, plan.items[i] + ".dbx"}}));
            continue;
        }
        const uint32_t first = PutChain(b, plan.items[i]);
        out.firstBlocks.push_back(first);
        infos.push_back(PutInfo(b, {{0x00, true, id, {}}, {0x04, false, first, {}}, {0x08, false, 0, "message"}}));
    }

    // Nodes, each hung below the last entry of the one before.
    const size_t per = plan.entriesPerNode ? plan.entriesPerNode : 1;
    uint32_t previousLastEntry = 0;
    for (size_t i = 0; i < infos.size(); i += per) {
        const size_t n = std::min(per, infos.size() - i);
        const uint32_t at = Align4(b.size());
        Put32(b, at, at);
        Put32(b, at + 12, out.treeNodes.empty() ? 0 : out.treeNodes.back());
        b.resize(at + 0x18 + 12 * n);
        b[at + 0x11] = std::byte(n);
        Put32(b, at + 0x14, static_cast<uint32_t>(infos.size() - i));
        for (size_t k = 0; k < n; ++k) Put32(b, at + 0x18 + 12 * k, infos[i + k]);
        if (previousLastEntry) Put32(b, previousLastEntry + 4, at);
        previousLastEntry = at + 0x18 + static_cast<uint32_t>(12 * (n - 1));
        out.treeNodes.push_back(at);
    }
    Put32(b, 0xC4, static_cast<uint32_t>(plan.items.size()));
    Put32(b, 0xE4, out.treeNodes.empty() ? 0 : out.treeNodes.front());
    Put32(b, 0x7C, static_cast<uint32_t>(b.size()));
    return out;
}

}  // namespace vantor::test
