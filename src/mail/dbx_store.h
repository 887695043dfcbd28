#pragma once
// An Outlook Express store (.dbx): what says a file is one, the signature a
// repair puts back, and the message chains inside it. Every object in the
// file starts with its own offset, which is how the structures are told
// apart from data when the index is gone.
#include <cstdint>
#include <vector>

#include "mail/pst_header.h"
#include "platform/block_device.h"
#include "platform/output_file.h"

namespace vantor {

inline constexpr uint32_t kDbxSignature = 0xFE12ADCF;
inline constexpr uint32_t kDbxMessageClass = 0x6F74FDC5;
inline constexpr uint32_t kDbxFolderClass = 0x6F74FDC6;
inline constexpr uint64_t kDbxHeaderBytes = 0x24BC;
inline constexpr uint64_t kDbxLocalStoreAt = 9409;
inline constexpr uint64_t kDbxFileSizeAt = 0x7C;
inline constexpr uint64_t kDbxItemCountAt = 0xC4;
inline constexpr uint64_t kDbxIndexRootAt = 0xE4;
inline constexpr size_t kDbxTreeHeaderBytes = 0x18;
inline constexpr size_t kDbxTreeEntryBytes = 12;
inline constexpr size_t kDbxBlockHeaderBytes = 16;
inline constexpr uint8_t kDbxMessageAddressIndex = 0x04;

enum class DbxVerdict { NotDbx, LocalStoreText, Structure };

struct DbxHeaderCheck {
    DbxVerdict verdict = DbxVerdict::NotDbx;
    bool isDbx() const { return verdict != DbxVerdict::NotDbx; }
    uint32_t storeClass = kDbxMessageClass;  // the class word the copy gets
    std::vector<BytePatch> patches;          // the two signature words, when they differ
};

// The "LocalStore" text at 9409, or failing that a message or folder class
// at offset 4 with header fields that agree with the file (size, index
// root). A store's own class is kept; a lost one becomes the message class.
DbxHeaderCheck CheckDbxHeader(BlockDevice& file);

// One message chain: its blocks in order, each with the text bytes it holds.
struct DbxBlock {
    uint64_t offset = 0;
    uint32_t used = 0;
};
struct DbxMessage {
    std::vector<DbxBlock> blocks;
    uint64_t bytes = 0;
};

// Bounds every walk: hostile counts, loops and sizes stop here.
struct DbxLimits {
    uint64_t maxMessages = 1u << 20;
    uint64_t maxMessageBytes = uint64_t{1} << 31;
    uint32_t maxTreeDepth = 64;
};

// The blocks of the chain starting at `first`, stopping at a block whose
// header does not name its own offset, a loop, or the limits. Empty when
// `first` is no block.
DbxMessage WalkDbxChain(BlockDevice& file, uint64_t first, const DbxLimits& limits = {});

// The messages the index tree names, in tree order. False when the root or
// a node of the tree is damaged (then nothing is trusted from it).
bool DbxMessagesByIndex(BlockDevice& file, std::vector<DbxMessage>& out, const DbxLimits& limits = {});
// The messages found by a scan of the file for blocks that name their own
// offset: every chain head (a block no other block points at), by offset.
std::vector<DbxMessage> DbxMessagesByScan(BlockDevice& file, const DbxLimits& limits = {});

// Writes the text a chain holds (the message as stored) to sink.
ErrorCode ReadDbxMessage(BlockDevice& file, const DbxMessage& message, ByteSink& sink);

}  // namespace vantor
