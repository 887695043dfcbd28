#pragma once
// What every engine offers the front ends: a session wraps one engine and
// its result-page model (scan, the found tree, selection by check
// propagation, recovery). engine_registry.h picks the session for a
// partition.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dialogs/data_condition.h"
#include "dialogs/destination.h"
#include "dialogs/filter_criteria.h"
#include "dialogs/folder_tree.h"
#include "dialogs/recovered_file.h"
#include "dialogs/result_page_model.h"
#include "dialogs/user_prompt.h"
#include "disk/partition_record.h"
#include "platform/error_codes.h"
#include "shell/app_state.h"

namespace vantor {

enum class ScanKind { Deleted, Formatted };

// One found file as the front ends list it (the page's column texts).
struct FoundEntry {
    std::string id;          // stable for the same image and scan
    std::string folderPath;  // tree path below the root, "/"-separated, "" at the root
    std::string name;
    uint64_t size = 0;
    std::string sizeText;
    std::string attributes;
    std::string modified;
    std::string created;
    std::string accessed;
    bool deleted = false;
    bool selected = false;
    DataCondition condition = DataCondition::Unknown;  // what the current allocation left of the data
    std::map<std::string, std::string> extra;  // engine-specific fields (JSON only)
};

struct RecoveryOutcome {
    uint32_t written = 0;
    uint32_t skipped = 0;
    uint32_t failed = 0;
    bool cancelled = false;
    std::vector<std::string> failures;  // one line per file that did not come back whole
    // Every selected file the run reached, with its id and found-tree path.
    std::vector<RecoveredFileRecord> files;
    // The run could not start: the drive would not open or read (the
    // writer's message was shown), or the destination was refused.
    ErrorCode deviceError = kSuccess;
    bool refused = false;
};

// A folder node's path as FoundEntry::folderPath gives it: the node texts
// below the root joined by "/" ("" for the root). A "/" inside a text
// becomes "_", and a text that an earlier sibling already carries gets
// " (2)", " (3)", ... so that every folder has a path of its own.
std::string FolderPathOf(const FolderNode* node);
// The node FolderPathOf would name path; null when there is none.
FolderNode* FindFolderByPath(const FolderTree& tree, const std::string& path);
// The path pieces of node's children, in order (one pass over them).
std::vector<std::string> ChildPathPieces(const FolderNode& node);

// FolderPathOf and FindFolderByPath for many nodes of one tree that does not
// change meanwhile: each parent's children are numbered once, not per call.
class FolderPaths {
public:
    explicit FolderPaths(const FolderTree& tree) : tree_(tree) {}
    std::string pathOf(const FolderNode* node);
    FolderNode* find(const std::string& path);

private:
    void number(const FolderNode* parent);

    const FolderTree& tree_;
    std::unordered_map<const FolderNode*, std::string> pieces_;
    std::unordered_map<const FolderNode*, std::unordered_map<std::string, FolderNode*>> byPiece_;
};

// Pre-order walk from the root handing each node its FolderPathOf path, built
// from its parent's (the string is valid during the call only). visit returns
// false to skip a node's subtree.
void WalkFolderPaths(const FolderTree& tree, const std::function<bool(FolderNode&, const std::string&)>& visit);

class EngineSession {
public:
    virtual ~EngineSession() = default;
    virtual std::string engineName() const = 0;
    // Runs the scan on the calling thread; progress goes to state.progress.
    virtual ErrorCode scan(ScanKind kind, AppState& state, std::atomic<bool>& running) = 0;
    // Why the last scan could not start, when the engine can say more than its error code.
    virtual std::string scanErrorText() const { return {}; }
    virtual const FolderTree& tree() const = 0;
    // A limit the last scan hit that the user should hear of; "" when none.
    virtual std::string scanNote() const { return {}; }
    // The page filter and its switch, as the result page applies them.
    virtual FilterCriteria& pageFilter() = 0;
    virtual void setFilterEnabled(bool on) = 0;
    // Every found file in tree order, passing the page filter while it is on.
    virtual std::vector<FoundEntry> entries() const = 0;
    // Ticks or unticks one file (by id) or a folder (by its path), through the
    // page's check propagation. False when nothing has that id or path.
    virtual bool setChecked(const std::string& idOrFolderPath, bool on) = 0;
    // The same for a folder node of tree() already in hand.
    virtual void setFolderChecked(FolderNode* node, bool on) {
        if (node) setChecked(FolderPathOf(node), on);
    }
    virtual void checkAll(bool on) = 0;
    // Copies every ticked file below destination, asking prompt on conflicts.
    virtual RecoveryOutcome recover(const std::string& destination, UserPrompt& prompt,
                                    AppState& state, std::atomic<bool>& running) = 0;
    // Whether recover() hashes what it writes (a report asks for it; the
    // hash costs time on fast drives).
    void setHashWritten(bool on) { hashWritten_ = on; }
    bool hashWritten() const { return hashWritten_; }

    // What a result-page view needs beyond the front ends' calls.
    // The page model the view draws; the same object for the session's life.
    virtual ResultPageModel* pageModel() { return nullptr; }
    // The Recovery button's rule for a destination: Ok, or SameVolume.
    virtual DestinationCheck checkDestination(const std::string&) { return DestinationCheck::SameVolume; }
    // At most maxBytes of the data of the model's list row, read as the
    // recovery reads it (decompressed, sparse parts as zeros).
    virtual ErrorCode readRow(size_t, uint64_t, std::vector<std::byte>& out) {
        out.clear();
        return kErrNotSupported;
    }
    // Runs a call on the thread that owns the page model and waits for it.
    // A scan hands the model's changes through it (the GUI places found items
    // on its own thread); without one they run on the scan's thread.
    using ModelThread = std::function<void(const std::function<void()>&)>;
    void setModelThread(ModelThread run) { modelThread_ = std::move(run); }

protected:
    void onModelThread(const std::function<void()>& fn) {
        if (modelThread_) modelThread_(fn);
        else fn();
    }

private:
    ModelThread modelThread_;
    bool hashWritten_ = false;
};

// Takes a writer's counts and failure lines into the outcome (every engine's
// writer result has these fields).
template <typename WriterResult>
void TakeWriterCounts(RecoveryOutcome& out, WriterResult& r) {
    out.written = r.written;
    out.skipped = r.skipped;
    out.failed = r.failed;
    out.cancelled = r.cancelled;
    out.failures = std::move(r.failures);
}

// Ticks what a recovery's selection names: a file id, a folder path, or a
// glob (fnmatch) over folder paths, "folder/name" or the bare file name. No
// selection ticks everything. Returns the arguments that matched nothing.
std::vector<std::string> ApplySelection(EngineSession& session, const std::vector<std::string>& select);

}  // namespace vantor
