#include <gtest/gtest.h>

#include <array>

#include "platform/byte_order.h"

namespace vantor {
namespace {

TEST(ByteOrder, ReadsLittleEndianAndDegradesPastTheEnd) {
    std::array<std::byte, 9> b{std::byte{0x01}, std::byte{0x02}, std::byte{0x03}, std::byte{0x04},
                               std::byte{0x05}, std::byte{0x06}, std::byte{0x07}, std::byte{0x08},
                               std::byte{0xFF}};
    EXPECT_EQ(readLe16(b, 0), 0x0201);
    EXPECT_EQ(readLe32(b, 0), 0x04030201u);
    EXPECT_EQ(readLe64(b, 0), 0x0807060504030201ull);
    EXPECT_EQ(readLe32(b, 6), 0u);  // would cross the end
    EXPECT_EQ(readLe16(b, 100), 0);
    EXPECT_EQ(readU8(b, 8), 0xFF);
}

TEST(ByteOrder, WritesRoundTripAndFieldsAreTerminated) {
    std::array<std::byte, 8> b{};
    writeLe32(b, 2, 0xA1B2C3D4u);
    EXPECT_EQ(readLe32(b, 2), 0xA1B2C3D4u);
    writeLe64(b, 4, 1);  // would cross the end: ignored
    EXPECT_EQ(readLe32(b, 2), 0xA1B2C3D4u);
    char field[4];
    copyToField(field, sizeof field, "ABCDEFG");
    EXPECT_STREQ(field, "ABC");
}

}  // namespace
}  // namespace vantor
