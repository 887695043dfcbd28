#include "platform/device_table.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <unistd.h>

namespace vantor {

namespace {

std::string readSysText(const std::string& path) {
    std::ifstream in(path);
    std::string s;
    if (in) std::getline(in, s);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    return s.substr(i);
}

constexpr const char* kDiskPrefixes[] = {"sd", "nvme", "vd", "mmcblk", "hd", "xvd", "loop", "sr"};

// Index of the name's kind in kDiskPrefixes, or -1.
int diskKind(const std::string& n) {
    for (int i = 0; i < static_cast<int>(std::size(kDiskPrefixes)); ++i)
        if (n.rfind(kDiskPrefixes[i], 0) == 0) return i;
    return -1;
}

bool isWholeDiskName(const std::string& n) {
    // eMMC boot and RPMB areas sit beside the user area in /sys/block but are no disks.
    if (n.find("boot") != std::string::npos || n.find("rpmb") != std::string::npos) return false;
    return diskKind(n) >= 0;
}

// sda < sdb < sdaa and loop2 < loop10, as the kernel numbers them.
bool kernelOrder(const std::string& a, const std::string& b) {
    if (diskKind(a) != diskKind(b)) return diskKind(a) < diskKind(b);
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// Bus type from the sysfs device path, as Windows' storage descriptor gives it.
uint32_t busTypeFromDevicePath(const std::string& real, const std::string& name) {
    if (real.find("/usb") != std::string::npos) return 7;
    if (name.rfind("nvme", 0) == 0) return 17;
    if (real.find("/ata") != std::string::npos) return 11;
    if (real.find("/virtio") != std::string::npos) return 0;
    if (name.rfind("sd", 0) == 0 || name.rfind("sr", 0) == 0) return 1;
    return 0;
}

}  // namespace

DeviceTable& DeviceTable::Global() {
    static DeviceTable table;
    return table;
}

void DeviceTable::attachImages(const std::vector<std::string>& paths) {
    std::vector<DriveEntry> drives;
    std::map<std::string, int> seenBases;
    for (const auto& p : paths) {
        DriveEntry d;
        d.path = p;
        d.isImage = true;
        d.descriptor.deviceType = 0;
        d.descriptor.removable = false;
        d.descriptor.busType = 0;
        d.descriptor.hasVendor = true;
        d.descriptor.vendorId = "Vantor";
        std::string base = p.substr(p.find_last_of('/') == std::string::npos ? 0 : p.find_last_of('/') + 1);
        // Two images of one name get model texts the user can tell apart.
        int seen = ++seenBases[base];
        d.descriptor.productId = "Disk Image " + base + (seen > 1 ? " (" + std::to_string(seen) + ")" : "");
        drives.push_back(std::move(d));
    }
    setDrives(std::move(drives));
}

void DeviceTable::useSystemDrives(const std::string& sysBlock) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(sysBlock.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            if (isWholeDiskName(n)) names.push_back(n);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), kernelOrder);
    std::vector<DriveEntry> drives;
    for (const auto& n : names) {
        std::string base = sysBlock + "/" + n;
        // Loop devices count only while they have a backing file.
        if (n.rfind("loop", 0) == 0 && readSysText(base + "/loop/backing_file").empty()) continue;
        DriveEntry d;
        d.path = "/dev/" + n;
        d.descriptor.deviceType = n.rfind("sr", 0) == 0 ? 5 : 0;
        d.descriptor.removable = readSysText(base + "/removable") == "1";
        std::string vendor = trimmed(readSysText(base + "/device/vendor"));
        std::string model = trimmed(readSysText(base + "/device/model"));
        if (model.empty()) model = n;
        // virtio disks give their PCI vendor number, which names nothing.
        if (vendor.rfind("0x", 0) == 0) vendor.clear();
        d.descriptor.hasVendor = !vendor.empty();
        d.descriptor.vendorId = vendor;
        d.descriptor.productId = model;
        char real[4096] = {};
        ssize_t len = ::readlink(base.c_str(), real, sizeof(real) - 1);
        std::string realPath = len > 0 ? std::string(real, static_cast<size_t>(len)) : std::string();
        d.descriptor.busType = busTypeFromDevicePath(realPath, n);
        drives.push_back(std::move(d));
        if (drives.size() >= static_cast<size_t>(kMaxDrives)) break;
    }
    setDrives(std::move(drives));
}

void DeviceTable::setDrives(std::vector<DriveEntry> drives) {
    std::lock_guard lock(mutex_);
    drives_ = std::move(drives);
    volumes_.clear();
}

int DeviceTable::addMemoryDrive(DevicePtr device, const std::string& model) {
    std::lock_guard lock(mutex_);
    DriveEntry d;
    d.memory = std::move(device);
    d.isImage = true;
    d.descriptor.productId = model;
    drives_.push_back(std::move(d));
    return static_cast<int>(drives_.size()) - 1;
}

void DeviceTable::clear() { setDrives({}); }

std::optional<DriveEntry> DeviceTable::drive(int number) const {
    std::lock_guard lock(mutex_);
    if (number < 0 || static_cast<size_t>(number) >= drives_.size()) return std::nullopt;
    return drives_[static_cast<size_t>(number)];
}

int DeviceTable::driveSlots() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(drives_.size());
}

ErrorCode DeviceTable::open(const std::string& name, Access access, DevicePtr& out) const {
    if (auto n = ParsePhysicalDriveName(name)) return openDrive(*n, access, out);
    if (auto l = ParseVolumeName(name)) return openVolume(*l, access, out);
    std::shared_ptr<FileDevice> f;
    ErrorCode rc = FileDevice::open(name, access == Access::ReadWrite, f);
    if (rc == kSuccess) out = f;
    return rc;
}

ErrorCode DeviceTable::openDrive(int number, Access access, DevicePtr& out) const {
    auto d = drive(number);
    if (!d) return kErrFileNotFound;
    if (d->memory) {
        out = d->memory;
        return kSuccess;
    }
    std::shared_ptr<FileDevice> f;
    ErrorCode rc = FileDevice::open(d->path, access == Access::ReadWrite, f);
    if (rc == kSuccess) out = f;
    return rc;
}

ErrorCode DeviceTable::openVolume(char letter, Access access, DevicePtr& out) const {
    auto v = volume(letter);
    if (!v) return kErrFileNotFound;
    DevicePtr base;
    ErrorCode rc = openDrive(v->driveNumber, access, base);
    if (rc != kSuccess) return rc;
    out = std::make_shared<SliceDevice>(base, v->startByte, v->lengthBytes);
    return kSuccess;
}

bool DeviceTable::queryStorageProperty(int number, StorageDescriptor& out) const {
    auto d = drive(number);
    if (!d) return false;
    out = d->descriptor;
    return true;
}

bool DeviceTable::queryGeometry(int number, DiskGeometry& out) const {
    DevicePtr dev;
    if (openDrive(number, Access::Read, dev) != kSuccess) return false;
    // One sector per track and one track per cylinder: the product is the
    // exact size, where a CHS geometry would cut a small image to nothing.
    out.bytesPerSector = 512;
    out.sectorsPerTrack = 1;
    out.tracksPerCylinder = 1;
    out.cylinders = dev->size() / 512;
    return true;
}

void DeviceTable::setVolumes(std::vector<VolumeEntry> volumes) {
    std::lock_guard lock(mutex_);
    volumes_.clear();
    for (auto& v : volumes) volumes_[v.letter] = v;
}

std::optional<VolumeEntry> DeviceTable::volume(char letter) const {
    std::lock_guard lock(mutex_);
    auto it = volumes_.find(letter);
    if (it == volumes_.end()) return std::nullopt;
    return it->second;
}

std::vector<VolumeEntry> DeviceTable::volumes() const {
    std::lock_guard lock(mutex_);
    std::vector<VolumeEntry> out;
    for (const auto& [l, v] : volumes_) out.push_back(v);
    return out;
}

std::optional<int> ParsePhysicalDriveName(const std::string& name) {
    static const std::string prefix = "\\\\.\\PhysicalDrive";
    if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size()) return std::nullopt;
    int n = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 1000) return std::nullopt;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

std::optional<char> ParseVolumeName(const std::string& name) {
    if (name.size() == 6 && name.rfind("\\\\.\\", 0) == 0 && name[5] == ':') {
        char c = name[4];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c >= 'A' && c <= 'Z') return c;
    }
    return std::nullopt;
}

std::string PhysicalDriveName(int number) { return "\\\\.\\PhysicalDrive" + std::to_string(number); }
std::string VolumeName(char letter) { return std::string("\\\\.\\") + letter + ":"; }

std::vector<std::string> ImagesFromEnvironment() {
    std::vector<std::string> out;
    const char* env = std::getenv("VANTOR_IMAGES");
    if (!env) return out;
    std::string s = env;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find(':', start);
        if (end == std::string::npos) end = s.size();
        if (end > start) out.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace vantor
