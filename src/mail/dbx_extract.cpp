#include "mail/dbx_extract.h"

#include "dialogs/recovered_file.h"
#include "mail/dbx_store.h"
#include "platform/block_device.h"
#include "platform/output_file.h"

namespace vantor {

std::string DbxMessageFolderName(const std::string& storeFileName) {
    const size_t n = storeFileName.size();
    if (n > 4) {
        std::string ext = storeFileName.substr(n - 4);
        for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (ext == ".dbx") return storeFileName.substr(0, n - 4);
    }
    return storeFileName + " messages";
}

ErrorCode ExtractDbxMessages(const std::string& source, const std::string& folder, DbxExtraction& out) {
    out = {};
    std::shared_ptr<FileDevice> file;
    if (ErrorCode rc = FileDevice::open(source, false, file)) return rc;
    std::vector<DbxMessage> messages;
    if (!DbxMessagesByIndex(*file, messages)) {
        messages = DbxMessagesByScan(*file);
        out.byScan = true;
    }
    if (messages.empty()) return kSuccess;
    if (ErrorCode rc = CreateFolderPath(folder)) return rc;
    int number = 0;
    for (const DbxMessage& m : messages) {
        RecoveredFile eml(nullptr, nullptr, false);
        bool whole = eml.create(JoinPath(folder, std::to_string(++number) + ".eml")) == kSuccess;
        whole = whole && ReadDbxMessage(*file, m, eml) == kSuccess;
        if (eml.finish(whole) == kSuccess && whole) ++out.messages;
        else ++out.failed;
    }
    return kSuccess;
}

}  // namespace vantor
