#include "platform/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantor {
namespace {

ByteSpan Span(const std::string& s) { return ByteSpan(reinterpret_cast<const std::byte*>(s.data()), s.size()); }

// FIPS 180-4 examples, fed whole and in uneven pieces that cross the 64-byte
// blocks and the padding boundary.
TEST(Sha256Test, KnownValue) {
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
    };
    for (const auto& [text, hex] : vectors) {
        Sha256 whole;
        whole.update(Span(text));
        EXPECT_EQ(whole.finishHex(), hex) << text.size();
        Sha256 pieces;
        for (size_t at = 0, step = 1; at < text.size(); at += step, step = step % 97 + 7)
            pieces.update(Span(text.substr(at, step)));
        EXPECT_EQ(pieces.finishHex(), hex) << text.size();
    }
    Sha256 zeros, holes;
    zeros.update(Span(std::string(10000, '\0')));
    holes.update(Span("a"));
    holes.updateZeros(9999);
    Sha256 ref;
    ref.update(Span("a" + std::string(9999, '\0')));
    EXPECT_EQ(holes.finishHex(), ref.finishHex());
    zeros.reset();
    zeros.updateZeros(0);
    EXPECT_EQ(zeros.finishHex(), vectors[0].second);
}

}  // namespace
}  // namespace vantor
