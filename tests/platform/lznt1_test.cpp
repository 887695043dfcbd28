#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/lznt1.h"

namespace vantor {
namespace {

std::vector<std::byte> bytes(std::initializer_list<int> v) {
    std::vector<std::byte> b;
    for (int x : v) b.push_back(std::byte(x));
    return b;
}

std::vector<std::byte> text(const std::string& s) {
    std::vector<std::byte> b(s.size());
    std::memcpy(b.data(), s.data(), s.size());
    return b;
}

// Decodes into a buffer of `cap` bytes; the result is cut to what was produced.
std::vector<std::byte> decode(const std::vector<std::byte>& in, size_t cap, ErrorCode& rc) {
    std::vector<std::byte> out(cap, std::byte{0xEE});
    size_t produced = 12345;
    rc = Lznt1Decompress(in, out, produced);
    EXPECT_LE(produced, cap);
    out.resize(produced);
    return out;
}

void expectRoundTrip(const std::vector<std::byte>& data) {
    const auto packed = Lznt1Compress(data);
    ErrorCode rc = 1;
    // Room to spare: the stream's end must stop the decoder, not the buffer.
    const auto back = decode(packed, data.size() + 8192, rc);
    EXPECT_EQ(rc, kSuccess);
    EXPECT_EQ(back, data);
}

// Hand-worked streams: 'a' 'b' 'c' literals, then at position 3 a reference
// with a 4-bit offset field: offset 3 -> 2, length 9 -> 6, token 0x2006.
TEST(Lznt1Vectors, CompressorEmitsTheHandWorkedStream) {
    EXPECT_EQ(Lznt1Compress(text("abcabcabcabc")),
              bytes({0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x06, 0x20, 0x00, 0x00}));
    // One literal and a length-4095 self-overlapping reference (offset 1).
    EXPECT_EQ(Lznt1Compress(std::vector<std::byte>(4096, std::byte{'a'})),
              bytes({0x03, 0xB0, 0x02, 'a', 0xFC, 0x0F, 0x00, 0x00}));
    // Too short to shrink: stored raw, compressed bit clear.
    EXPECT_EQ(Lznt1Compress(text("abc")), bytes({0x02, 0x30, 'a', 'b', 'c', 0x00, 0x00}));
    EXPECT_EQ(Lznt1Compress({}), bytes({0x00, 0x00}));
}

TEST(Lznt1Vectors, DecoderReadsHandWorkedStreams) {
    ErrorCode rc = 1;
    EXPECT_EQ(decode(bytes({0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x06, 0x20}), 100, rc), text("abcabcabcabc"));
    EXPECT_EQ(rc, kSuccess);
    // Literal-only compressed chunk.
    EXPECT_EQ(decode(bytes({0x03, 0xB0, 0x00, 'a', 'b', 'c'}), 100, rc), text("abc"));
    EXPECT_EQ(rc, kSuccess);
    // At position 17 the offset field has 5 bits: token 0x8001 is offset 17,
    // length 4 (read with a 4-bit split it would be offset 9, length 4).
    const auto split = bytes({0x00, '0', '1', '2', '3', '4', '5', '6', '7', 0x00, '8', '9', 'A', 'B', 'C', 'D',
                              'E', 'F', 0x02, 'G', 0x01, 0x80});
    std::vector<std::byte> stream = bytes({static_cast<int>(split.size() - 1), 0xB0});
    stream.insert(stream.end(), split.begin(), split.end());
    EXPECT_EQ(decode(stream, 100, rc), text("0123456789ABCDEFG0123"));
    EXPECT_EQ(rc, kSuccess);
}

TEST(Lznt1Vectors, ShortChunkBeforeAnotherStandsForAFullChunk) {
    ErrorCode rc = 1;
    const auto out = decode(bytes({0x02, 0x30, 'a', 'b', 'c', 0x00, 0x30, 'x'}), 8192, rc);
    EXPECT_EQ(rc, kSuccess);
    ASSERT_EQ(out.size(), 4097u);
    EXPECT_EQ(out[2], std::byte{'c'});
    EXPECT_EQ(out[3], std::byte{0});
    EXPECT_EQ(out[4095], std::byte{0});
    EXPECT_EQ(out[4096], std::byte{'x'});
}

TEST(Lznt1RoundTrip, RandomRepetitiveAndBoundarySizes) {
    std::mt19937 rng(7);
    auto random = [&](size_t n) {
        std::vector<std::byte> v(n);
        for (auto& b : v) b = std::byte(rng() & 0xFF);
        return v;
    };
    auto pattern = [](size_t n) {
        std::vector<std::byte> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = std::byte("The quick brown fox. "[i % 21]);
        return v;
    };
    for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{17}, size_t{4095}, size_t{4096},
                     size_t{4097}, size_t{8192}, size_t{3 * 4096 + 17}, size_t{70000}}) {
        SCOPED_TRACE(n);
        expectRoundTrip(random(n));
        expectRoundTrip(pattern(n));
        expectRoundTrip(std::vector<std::byte>(n, std::byte{0}));
    }
    // Mixed: compressible text with random bursts, so chunks of both kinds
    // alternate and matches span every offset/length split.
    std::vector<std::byte> mixed;
    for (int i = 0; i < 20; ++i) {
        auto a = pattern(1000 + static_cast<size_t>(i) * 37);
        auto b = random(static_cast<size_t>(i) * 211);
        mixed.insert(mixed.end(), a.begin(), a.end());
        mixed.insert(mixed.end(), b.begin(), b.end());
    }
    expectRoundTrip(mixed);
}

TEST(Lznt1RoundTrip, IncompressibleChunksAreStoredRawAndTextShrinks) {
    std::mt19937 rng(11);
    std::vector<std::byte> noise(2 * 4096 + 100);
    for (auto& b : noise) b = std::byte(rng() & 0xFF);
    const auto packed = Lznt1Compress(noise);
    ASSERT_EQ(packed.size(), noise.size() + 3 * 2 + 2);
    EXPECT_EQ(readLe16(packed, 0), 0x3FFF);
    EXPECT_EQ(readLe16(packed, 4098), 0x3FFF);
    EXPECT_EQ(readLe16(packed, 8196), 0x3000 | 99);

    std::vector<std::byte> prose(50000);
    for (size_t i = 0; i < prose.size(); ++i) prose[i] = std::byte("lorem ipsum dolor sit amet "[i % 27]);
    EXPECT_LT(Lznt1Compress(prose).size(), prose.size() / 8);
}

TEST(Lznt1Corrupt, BadStreamsAreRejected) {
    ErrorCode rc = 0;
    // Header claims 16 body bytes, 3 present.
    decode(bytes({0x0F, 0xB0, 0x00, 'a', 'b'}), 100, rc);
    EXPECT_EQ(rc, kErrInvalidParameter);
    decode(bytes({0x0F, 0x30, 'a', 'b', 'c'}), 100, rc);
    EXPECT_EQ(rc, kErrInvalidParameter);
    // Reference to offset 2 when one byte is out.
    decode(bytes({0x03, 0xB0, 0x02, 'a', 0x00, 0x10}), 100, rc);
    EXPECT_EQ(rc, kErrInvalidParameter);
    // Reference as the very first token.
    decode(bytes({0x02, 0xB0, 0x01, 0x00, 0x10}), 100, rc);
    EXPECT_EQ(rc, kErrInvalidParameter);
    // Length 4098 after one byte would overflow the 4096-byte chunk.
    decode(bytes({0x03, 0xB0, 0x02, 'a', 0xFF, 0x0F}), 8192, rc);
    EXPECT_EQ(rc, kErrInvalidParameter);
    // Token cut in half by the chunk end.
    decode(bytes({0x02, 0xB0, 0x02, 'a', 0xFC}), 100, rc);
    EXPECT_EQ(rc, kErrInvalidParameter);
    // Corruption in a later chunk keeps the good chunk's bytes counted.
    std::vector<std::byte> two = Lznt1Compress(std::vector<std::byte>(4096, std::byte{'z'}));
    two.resize(two.size() - 2);
    two.insert(two.end(), {std::byte{0x03}, std::byte{0xB0}, std::byte{0x02}, std::byte{'a'}});
    EXPECT_EQ(decode(two, 9000, rc).size(), 4096u);
    EXPECT_EQ(rc, kErrInvalidParameter);
}

TEST(Lznt1Corrupt, EndMarkersAndTrailingBytesEndTheStream) {
    ErrorCode rc = 1;
    EXPECT_TRUE(decode({}, 100, rc).empty());
    EXPECT_EQ(rc, kSuccess);
    EXPECT_TRUE(decode(bytes({0x05}), 100, rc).empty());  // lone byte: no header
    EXPECT_EQ(rc, kSuccess);
    // Anything after a zero header is not looked at.
    EXPECT_EQ(decode(bytes({0x00, 0x30, 'q', 0x00, 0x00, 0xFF, 0xFF}), 100, rc), text("q"));
    EXPECT_EQ(rc, kSuccess);
}

TEST(Lznt1OutputLimit, SmallBufferStopsCleanlyWithAPrefix) {
    std::vector<std::byte> data(3 * 4096 + 500);
    for (size_t i = 0; i < data.size(); ++i) data[i] = std::byte((i * 7 / 5) & 0xFF);
    const auto packed = Lznt1Compress(data);
    // Cuts inside a literal run, inside a reference, at a chunk edge, at zero.
    for (size_t cap : {size_t{0}, size_t{1}, size_t{5}, size_t{100}, size_t{4095}, size_t{4096}, size_t{4097},
                       size_t{9000}}) {
        SCOPED_TRACE(cap);
        ErrorCode rc = 1;
        const auto out = decode(packed, cap, rc);
        EXPECT_EQ(rc, kSuccess);
        ASSERT_EQ(out.size(), cap);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
    }
    // Raw chunks are cut too.
    ErrorCode rc = 1;
    EXPECT_EQ(decode(bytes({0x02, 0x30, 'a', 'b', 'c'}), 2, rc), text("ab"));
    EXPECT_EQ(rc, kSuccess);
}

}  // namespace
}  // namespace vantor
