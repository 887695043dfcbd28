#pragma once
// CRC-32 (IEEE 802.3, reflected, as GPT headers and entry arrays use it).
#include <cstdint>

#include "platform/byte_order.h"

namespace vantor {

uint32_t Crc32(ByteSpan bytes, uint32_t crc = 0);

}  // namespace vantor
