#include "ui_test_support.h"

#include <QFile>

#include "disk/volume_mount.h"
#include "platform/device_table.h"
#include "shell/ui/page_commands.h"

namespace vantor::ui::uitest {

QString FixturePath(const QString& name) { return QStringLiteral(VANTOR_FIXTURE_DIR "/") + name; }

QByteArray NumberedLines(const char* tag, int n) {
    QByteArray out;
    for (int i = 1; i <= n; ++i)
        out += QByteArray(tag) + " line " + QByteArray::number(i).rightJustified(4, '0') +
               ": the quick brown fox jumps over the lazy dog\n";
    return out;
}

QByteArray Xorshift(uint32_t seed, int n) {
    QByteArray out;
    uint32_t x = seed;
    while (out.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        for (int i = 0; i < 4 && out.size() < n; ++i) out += char((x >> (8 * i)) & 0xFF);
    }
    return out;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

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
