#include "shell/ui/tolam_app.h"

#include <QFileInfo>

#include <algorithm>

#include "disk/volume_mount.h"
#include "platform/block_device.h"
#include "platform/device_table.h"
#include "shell/ui/main_frame.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/skin.h"

namespace vantor::ui {

namespace {
CTolamApp* gInstance = nullptr;

bool CanOpenForReading(const std::string& path, QString& error) {
    std::shared_ptr<FileDevice> probe;
    const ErrorCode rc = FileDevice::open(path, false, probe);
    if (rc == kSuccess) return true;
    error = ImageOpenErrorText(QString::fromStdString(path), rc);
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
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out.showHelp = true;
        } else if (a == QLatin1String("--image") || a.startsWith(QLatin1String("--image="))) {
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

QString CommandLineHelpText() {
    return QStringLiteral(
        "Usage: vantor-gui [--image FILE]... [--fallback-image FILE]\n"
        "\n"
        "  --image FILE           attach a disk image as a drive (repeatable); attached\n"
        "                         images take the place of the system's drives\n"
        "  --fallback-image FILE  attach FILE when none of the system's drives can be read\n"
        "  -h, --help             print these options and exit\n"
        "\n"
        "Without --image, the images named in VANTOR_IMAGES (':'-separated) are attached.\n"
        "Qt's own options (-platform NAME, ...) are passed to Qt.\n");
}

QString ImageOpenErrorText(const QString& path, ErrorCode error) {
    return QStringLiteral("Cannot open the disk image \"%1\": %2 (error %3)")
        .arg(path, QString::fromStdString(ErrorText(error)))
        .arg(error);
}

CTolamApp::CTolamApp() { gInstance = this; }

CTolamApp::~CTolamApp() {
    frame_.reset();
    if (gInstance == this) gInstance = nullptr;
}

CTolamApp* CTolamApp::instance() { return gInstance; }

QStringList CTolamApp::SetUpDevices(const StartOptions& options) {
    DeviceTable& table = DeviceTable::Global();
    QStringList named = options.images;
    if (named.isEmpty()) {
        for (const auto& p : ImagesFromEnvironment()) named << QString::fromStdString(p);
    }
    QStringList errors;
    if (!named.isEmpty()) {
        // An image that cannot be opened is left out; the others are attached.
        std::vector<std::string> images;
        for (const QString& p : named) {
            QString error;
            if (CanOpenForReading(p.toStdString(), error))
                images.push_back(p.toStdString());
            else
                errors << error;
        }
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
    return errors;
}

bool CTolamApp::StartUp(const StartOptions& options) {
    InitSkin();
    const QStringList errors = SetUpDevices(options);
    frame_ = std::make_unique<CMainFrame>(*this);
    frame_->setWindowTitle(QString::fromLatin1(kAppTitle));
    if (options.showWindow) frame_->show();
    for (const QString& e : errors) ShowMessage(frame_.get(), e, QStringLiteral("Error"), MessageIcon::Error);
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
