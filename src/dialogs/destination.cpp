#include "dialogs/destination.h"

#include "platform/device_table.h"
#include "platform/output_file.h"

namespace vantor {

const char* DestinationMessage(DestinationCheck check) {
    switch (check) {
        case DestinationCheck::NothingChecked: return kCheckFilesText;
        case DestinationCheck::SameVolume: return kSelectOtherDriveText;
        case DestinationCheck::Ok: break;
    }
    return "";
}

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool DestinationOnDriveLetter(const std::string& destination, char letter) {
    if (Upper(letter) < 'A' || Upper(letter) > 'Z') return false;
    return destination.size() >= 2 && Upper(destination[0]) == Upper(letter) && destination[1] == ':';
}

bool DestinationOnScannedVolume(const std::string& destination, const PartitionRecord& scanned) {
    if (DestinationOnDriveLetter(destination, scanned.driveLetter)) return true;
    if (scanned.diskIndex < 0) return false;
    auto drive = DeviceTable::Global().drive(scanned.diskIndex);
    if (!drive || drive->path.empty()) return false;  // in-memory drives hold no file system
    return SameFileSystemDevice(destination, drive->path, uint64_t{scanned.startSector} * 512,
                                scanned.totalBytes);
}

std::string StoredDestination(const std::string& destination) {
    if (destination.size() == 3 && destination[1] == ':' && destination[2] == '\\')
        return destination.substr(0, 2);
    return destination;
}

}  // namespace vantor
