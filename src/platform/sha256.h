#pragma once
// SHA-256 (FIPS 180-4), fed in pieces, for the hashes a recovery report
// gives of the files it wrote and of the image it read.
#include <array>
#include <cstdint>
#include <string>

#include "platform/byte_order.h"

namespace vantor {

class Sha256 {
public:
    Sha256() { reset(); }
    void reset();
    void update(ByteSpan bytes);
    // n zero bytes, as a hole in a written file holds.
    void updateZeros(uint64_t n);
    // The digest; the hash starts over afterwards.
    std::array<uint8_t, 32> finish();
    // finish() as 64 lower-case hex digits.
    std::string finishHex();

private:
    void block(const uint8_t* p);

    uint32_t h_[8];
    uint8_t buf_[64];
    size_t used_ = 0;
    uint64_t length_ = 0;
};

}  // namespace vantor
