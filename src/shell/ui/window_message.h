#pragma once
// Window messages between pages, views and dialogs, with their numbers and
// meaning kept (page_ids.h): a Qt event carrying message, wParam and lParam.
// Send delivers it at once and waits for the answer; Post queues it.
// Both belong to the UI thread; a worker reaches the UI only through
// BlockingCall (ui_thread.h).
#include <QEvent>
#include <QObject>
#include <cstdint>

namespace vantor::ui {

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(uint32_t msg, intptr_t w, intptr_t l)
        : QEvent(eventType()), message(msg), wParam(w), lParam(l) {}
    static QEvent::Type eventType();

    const uint32_t message;
    const intptr_t wParam;
    const intptr_t lParam;
    intptr_t result = 0;
};

// Receivers override QObject::event and handle WindowMessageEvent; the
// handler's result is what Send returns (0 when nobody handled it).
intptr_t SendWindowMessage(QObject* to, uint32_t message, intptr_t wParam, intptr_t lParam);
void PostWindowMessage(QObject* to, uint32_t message, intptr_t wParam, intptr_t lParam);

}  // namespace vantor::ui
