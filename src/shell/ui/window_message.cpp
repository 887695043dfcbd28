#include "shell/ui/window_message.h"

#include <QCoreApplication>

namespace vantor::ui {

QEvent::Type WindowMessageEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

intptr_t SendWindowMessage(QObject* to, uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (!to) return 0;
    WindowMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(to, &event);
    return event.result;
}

void PostWindowMessage(QObject* to, uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (!to) return;
    QCoreApplication::postEvent(to, new WindowMessageEvent(message, wParam, lParam));
}

}  // namespace vantor::ui
