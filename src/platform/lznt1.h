#pragma once
// LZNT1, the LZ77 variant of NTFS compressed files (COMPRESSION_FORMAT_LZNT1),
// in place of ntdll's RtlDecompressBuffer / RtlCompressBuffer.
//
// A stream is a run of chunks, each standing for up to 4096 bytes of output:
// a 16-bit header (bits 0-11 = body size - 1, bits 12-14 = signature 3,
// bit 15 = compressed) and its body. A compressed body is groups of one flag
// byte and up to eight tokens (bit clear: a literal byte; bit set: a 16-bit
// back-reference into the chunk decoded so far). A zero header, or fewer than
// two bytes left, ends the stream.
#include <cstddef>
#include <vector>

#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace vantor {

inline constexpr size_t kLznt1ChunkSize = 4096;

// Decodes into out, at most out.size() bytes: a full output buffer ends the
// decoding with kSuccess (as Windows does for a partial decompression).
// Corrupt data (a chunk running past the input, a back-reference before the
// chunk start or a chunk decoding to more than 4096 bytes) gives
// kErrInvalidParameter; produced then counts the bytes written before it.
ErrorCode Lznt1Decompress(ByteSpan in, MutableByteSpan out, size_t& produced);

// Greedy compressor. Chunks that do not shrink are stored raw; the stream
// ends with a zero header.
std::vector<std::byte> Lznt1Compress(ByteSpan in);

}  // namespace vantor
