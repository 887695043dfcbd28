#include "shell/ui/dialogs/dialog_common.h"

#include <QDate>

#include "platform/time_util.h"
#include "shell/ui/skin.h"

namespace vantor::ui {

QFont DialogFont(int pointSize, bool bold) { return SkinFont(pointSize, bold); }

QFont FixedFont(int pointSize) {
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"),
                   QStringLiteral("Liberation Mono"), QStringLiteral("Monospace")});
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    // Points as a 96-dpi screen shows them, as the skin's fonts are.
    f.setPixelSize(pointSize * 96 / 72);
    return f;
}

uint16_t TodayDosDate() {
    const QDate d = QDate::currentDate();
    return EncodeDosDate(d.year(), d.month(), d.day());
}

}  // namespace vantor::ui
