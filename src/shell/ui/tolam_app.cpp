#include "shell/ui/tolam_app.h"

#include <QFileInfo>

#include <algorithm>

#include "disk/volume_mount.h"
#include "platform/block_device.h"
#include "platform/device_table.h"
#include "shell/ui/main_frame.h"
#include "shell/ui/skin.h"

namespace vantor::ui {

namespace {
CTolamApp* gInstance = nullptr;

bool CanOpenForReading(const std::string& path, QString& error) {
    std::shared_ptr<FileDevice> probe;
    const ErrorCode rc = FileDevice::open(path, false, probe);
    if (rc == kSuccess) return true;
    error = QStringLiteral("Cannot open the disk image \"%1\" (error %2).").arg(QString::fromStdString(path)).arg(rc);
    return false;
}

// True when at least one of the table's drives gives its first sector.
bool AnyDriveReadable(const DeviceTable& table) {
    for (int i = 0; i < table.driveSlots(); ++i) {
        DevicePtr device;
        if (table.openDrive(i, Access::Read, device) != kSuccess || !device) continue;
        std::byte sector[512];
        if (device->readAt(0, MutableByteSpan(sector, sizeof sector)) == kSuccess) return true;
    }
    return false;
}
}  // namespace

bool ParseCommandLine(const QStringList& args, StartOptions& out, QString& error) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](const QString& name) -> QString {
            if (a.startsWith(name + '=')) return a.mid(name.size() + 1);
            if (i + 1 < args.size()) return args[++i];
            error = QStringLiteral("%1 needs a file name").arg(name);
            return {};
        };
        if (a == QLatin1String("--image") || a.startsWith(QLatin1String("--image="))) {
            const QString v = value(QStringLiteral("--image"));
            if (v.isEmpty()) return false;
            out.images << v;
        } else if (a == QLatin1String("--fallback-image") || a.startsWith(QLatin1String("--fallback-image="))) {
            const QString v = value(QStringLiteral("--fallback-image"));
            if (v.isEmpty()) return false;
            out.fallbackImage = v;
        }
    }
    return true;
}

CTolamApp::CTolamApp() { gInstance = this; }

CTolamApp::~CTolamApp() {
    frame_.reset();
    if (gInstance == this) gInstance = nullptr;
}

CTolamApp* CTolamApp::instance() { return gInstance; }

void CTolamApp::SetUpDevices(const StartOptions& options) {
    DeviceTable& table = DeviceTable::Global();
    std::vector<std::string> images;
    for (const QString& p : options.images) images.push_back(p.toStdString());
    if (images.empty()) {
        for (const auto& p : ImagesFromEnvironment()) images.push_back(p);
    }
    if (!images.empty()) {
        table.attachImages(images);
    } else {
        table.useSystemDrives();
        QString ignored;
        if (!AnyDriveReadable(table) && !options.fallbackImage.isEmpty() &&
            CanOpenForReading(options.fallbackImage.toStdString(), ignored)) {
            table.attachImages({options.fallbackImage.toStdString()});
        }
    }
    MountVolumes(table);
}

bool CTolamApp::StartUp(const StartOptions& options) {
    InitSkin();
    SetUpDevices(options);
    frame_ = std::make_unique<CMainFrame>(*this);
    frame_->setWindowTitle(QString::fromLatin1(kAppTitle));
    if (options.showWindow) frame_->show();
    return true;
}

void CTolamApp::ShutDown() { frame_.reset(); }

QStringList CTolamApp::attachedImages() const {
    QStringList out;
    const DeviceTable& table = DeviceTable::Global();
    for (int i = 0; i < table.driveSlots(); ++i) {
        auto d = table.drive(i);
        if (d && d->isImage && !d->path.empty()) out << QString::fromStdString(d->path);
    }
    return out;
}

bool CTolamApp::AttachImage(const QString& path, QString& error, int* driveNumber) {
    const std::string p = QFileInfo(path).absoluteFilePath().toStdString();
    if (!CanOpenForReading(p, error)) return false;
    std::vector<std::string> images;
    for (const QString& q : attachedImages()) images.push_back(q.toStdString());
    auto at = std::find(images.begin(), images.end(), p);
    if (driveNumber) *driveNumber = static_cast<int>(at - images.begin());
    if (at == images.end()) images.push_back(p);
    DeviceTable::Global().attachImages(images);
    return true;
}

}  // namespace vantor::ui
