#pragma once
// Small helpers the dialogs and the result pages share: the dialog fonts with
// their fallbacks, control names by resource id, and text conversion.
#include <QFont>
#include <QString>
#include <QWidget>
#include <string>

namespace vantor::ui {

// 8-point "MS Sans Serif" where it exists, else an installed sans font.
QFont DialogFont(int pointSize = 8, bool bold = false);
// "Courier New" where it exists, else an installed fixed-pitch font.
QFont FixedFont(int pointSize = 10);

// Controls keep their resource ids as object names ("ctl1005"), so tests and
// the owner reach them the way the dialog templates number them.
inline QString ControlName(int id) { return QStringLiteral("ctl%1").arg(id); }
inline void NameControl(QWidget* w, int id) { w->setObjectName(ControlName(id)); }

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline std::string S(const QString& s) { return s.toStdString(); }

// Today's date in the DOS date form the criteria compare.
uint16_t TodayDosDate();

}  // namespace vantor::ui
