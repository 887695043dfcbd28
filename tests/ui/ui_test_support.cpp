#include "ui_test_support.h"

#include "disk/volume_mount.h"
#include "platform/device_table.h"
#include "shell/ui/page_commands.h"

namespace vantor::ui::uitest {

QString FixturePath(const QString& name) { return QStringLiteral(VANTOR_FIXTURE_DIR "/") + name; }

void AttachFixtures(const QStringList& names) {
    std::vector<std::string> paths;
    for (const QString& n : names) paths.push_back(FixturePath(n).toStdString());
    DeviceTable& table = DeviceTable::Global();
    table.attachImages(paths);
    MountVolumes(table);
}

ShellRecorder::ShellRecorder() {
    SetMessageHook([this](QWidget*, const QString& text, const QString& caption, MessageIcon) {
        messages.push_back({text, caption});
    });
    SetOpenDocumentHook([this](const QUrl& url) { opened.push_back(url); });
}

ShellRecorder::~ShellRecorder() {
    SetMessageHook({});
    SetOpenDocumentHook({});
}

}  // namespace vantor::ui::uitest
