#pragma once
// The application-wide selection and settings that pages hand on to each
// other (the application object's fields), and the running operation's
// progress. Owned once by the GUI's application object or by a CLI run.
#include <cstdint>
#include <string>

#include "dialogs/filter_criteria.h"
#include "dialogs/progress_fields.h"
#include "disk/partition_record.h"
#include "mail/repair_run.h"

namespace vantor {

struct AppState {
    PartitionRecord currentPartition;
    std::string currentRoot;    // "%c:\" of the selected record
    std::string currentFolder;  // name-mask text; empty lets every name through
    uint32_t rangeStart = 0;    // sectors of the selected record, for the scan pages
    uint32_t rangeEnd = 0;
    uint32_t rawRangeStart = 0;  // the same pair for the RAW sector range
    uint32_t rawRangeEnd = 0;
    int fileTypeGroup = 0;       // 0 none, 3 pictures, 6 mail
    FilterCriteria criteria;     // applied during deleted-file scans
    std::string lastDestination; // where the last recovery wrote; the folder chooser starts there
    RepairSettings repair;       // the mail pages' stores, destination and kind, for the log page
    ProgressFields progress;

    // What the drive browser does when the user picks a record.
    void selectPartition(const PartitionRecord& record) {
        currentPartition = record;
        currentRoot = std::string(1, record.driveLetter) + ":\\";
        currentFolder.clear();
        rangeStart = record.startSector;
        rangeEnd = static_cast<uint32_t>(record.endSector());
        rawRangeStart = rangeStart;
        rawRangeEnd = rangeEnd;
    }
};

}  // namespace vantor
