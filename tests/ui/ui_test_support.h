#pragma once
// Shared pieces of the Qt tests: the sample image attached as drive 0, and
// message boxes and opened documents recorded instead of shown.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <vector>

namespace vantor::ui::uitest {

QString FixturePath(const QString& name);
// Attaches the images (by fixture name) as the only drives and mounts them.
void AttachFixtures(const QStringList& names);

// Fixture contents: "<tag> line NNNN: the quick brown fox jumps over the
// lazy dog\n" for lines 1..n, and xorshift32 bytes from seed.
QByteArray NumberedLines(const char* tag, int n);
QByteArray Xorshift(uint32_t seed, int n);
// A file's bytes, or "<missing>".
QByteArray ReadAll(const QString& path);

struct RecordedMessage {
    QString text;
    QString caption;
};

// While alive, ShowMessage and OpenDocument are recorded, not shown.
class ShellRecorder {
public:
    ShellRecorder();
    ~ShellRecorder();
    std::vector<RecordedMessage> messages;
    std::vector<QUrl> opened;
};

}  // namespace vantor::ui::uitest
