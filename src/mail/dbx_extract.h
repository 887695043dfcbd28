#pragma once
// Messages back out of an Outlook Express store: every message chain the
// index names (or, when the index is damaged, every chain a scan finds) is
// written as it is stored, one .eml file each, into a folder named after
// the store.
#include <string>

#include "platform/error_codes.h"

namespace vantor {

struct DbxExtraction {
    int messages = 0;   // written whole
    int failed = 0;     // could not be written
    bool byScan = false;
};

inline constexpr const char* kMessagesExtractedText = "Messages extracted: ";
inline constexpr const char* kMessagesNotWrittenText = "Messages that could not be written: ";
inline constexpr const char* kMessagesByScanText = "The index is damaged: messages were found by a scan of the store";

// "Inbox.dbx" -> "Inbox"; a name without the extension gets " messages",
// so the folder never takes the repaired copy's name.
std::string DbxMessageFolderName(const std::string& storeFileName);

// Writes 1.eml, 2.eml, ... into folder (created when missing).
ErrorCode ExtractDbxMessages(const std::string& source, const std::string& folder, DbxExtraction& out);

}  // namespace vantor
