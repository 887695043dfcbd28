#include "shell/ui/dialogs/dialog_common.h"

#include <QDate>
#include <QStringList>

#include "platform/time_util.h"

namespace vantor::ui {

QFont DialogFont(int pointSize, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
    f.setPointSize(pointSize);
    f.setBold(bold);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

QFont FixedFont(int pointSize) {
    QFont f;
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"),
                   QStringLiteral("Liberation Mono"), QStringLiteral("Monospace")});
    f.setPointSize(pointSize);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

uint16_t TodayDosDate() {
    const QDate d = QDate::currentDate();
    return EncodeDosDate(d.year(), d.month(), d.day());
}

}  // namespace vantor::ui
