#pragma once
// Repairing one mail store: the source is read, never written; its copy is
// made under a temporary name in the destination folder, mended, and takes
// its own name only when whole, so a failed run leaves nothing that looks
// repaired.
#include <string>
#include <vector>

namespace vantor {

inline constexpr int kRepairOk = 0;
inline constexpr int kRepairFailed = -1;
inline constexpr int kRepairUnsupported = -2;

// What a repair found worth saying beyond its result (log lines of their own).
using RepairNotes = std::vector<std::string>;

inline constexpr const char* kChecksumsRewrittenText = "Header checksums rewritten";
inline constexpr const char* kNodeRootDamagedText =
    "The node B-tree root is not a node page: the store needs a deeper repair";
inline constexpr const char* kBlockRootDamagedText =
    "The block B-tree root is not a block page: the store needs a deeper repair";

// 0 when repaired, -1 when the copy failed, -2 when the file is not a store
// of the kind (then no copy is left).
int RepairDbx(const std::string& source, const std::string& destination, RepairNotes* notes = nullptr);
int RepairPst(const std::string& source, const std::string& destination, RepairNotes* notes = nullptr);

}  // namespace vantor
