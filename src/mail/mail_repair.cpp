#include "mail/mail_repair.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "dialogs/recovered_file.h"
#include "mail/dbx_store.h"
#include "mail/pst_header.h"
#include "platform/block_device.h"
#include "platform/output_file.h"

namespace vantor {

namespace {

constexpr size_t kCopyChunk = size_t{1} << 20;

// Copies source to destination with the patches laid over the bytes they
// cover, through destination's temporary name.
int CopyPatched(BlockDevice& source, const std::string& destination, const std::vector<BytePatch>& patches) {
    const std::string temp = destination + kPartialSuffix;
    OutputFile out;
    if (out.create(temp) != kSuccess) return kRepairFailed;
    std::vector<std::byte> buf;
    bool ok = true;
    for (uint64_t at = 0; ok && at < source.size();) {
        buf.resize(static_cast<size_t>(std::min<uint64_t>(kCopyChunk, source.size() - at)));
        ok = source.readAt(at, buf) == kSuccess;
        for (const BytePatch& p : patches)
            for (size_t i = 0; ok && i < p.bytes.size(); ++i)
                if (p.offset + i >= at && p.offset + i - at < buf.size()) buf[p.offset + i - at] = p.bytes[i];
        ok = ok && out.write(buf) == kSuccess;
        at += buf.size();
    }
    ok = out.close() == kSuccess && ok;
    if (ok && std::rename(temp.c_str(), destination.c_str()) == 0) return kRepairOk;
    std::remove(temp.c_str());
    return kRepairFailed;
}

// A destination folder that is the source's own would have the copy replace
// the very file it is read from.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

int RepairDbx(const std::string& source, const std::string& destination, RepairNotes* notes) {
    (void)notes;
    std::shared_ptr<FileDevice> file;
    if (SameFile(source, destination) || FileDevice::open(source, false, file) != kSuccess) return kRepairFailed;
    const DbxHeaderCheck check = CheckDbxHeader(*file);
    if (!check.isDbx()) return kRepairUnsupported;
    return CopyPatched(*file, destination, check.patches);
}

int RepairPst(const std::string& source, const std::string& destination, RepairNotes* notes) {
    std::shared_ptr<FileDevice> file;
    if (SameFile(source, destination) || FileDevice::open(source, false, file) != kSuccess) return kRepairFailed;
    std::vector<std::byte> header(static_cast<size_t>(std::min<uint64_t>(kPstHeaderBytes, file->size())));
    if (file->readAt(0, header) != kSuccess) return kRepairFailed;
    const PstHeaderCheck check = CheckPstHeader(header, file->size());
    if (!check.isPst) return kRepairUnsupported;
    const int rc = CopyPatched(*file, destination, check.patches);
    if (rc != kRepairOk || !notes) return rc;
    if (check.checksumsFixed) notes->push_back(kChecksumsRewrittenText);
    // The roots lie past the header, so the source's pages are the copy's.
    if (CheckPstRoot(*file, check, true) != PstRootState::Ok) notes->push_back(kNodeRootDamagedText);
    if (CheckPstRoot(*file, check, false) != PstRootState::Ok) notes->push_back(kBlockRootDamagedText);
    return rc;
}

}  // namespace vantor
