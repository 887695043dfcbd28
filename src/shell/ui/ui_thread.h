#pragma once
// How a worker thread touches the UI: the call runs on the thread of
// `context` and the worker waits until it has run, as SendMessage waits.
// On the UI thread itself it simply runs (a blocking queued call to one's
// own thread would dead-lock).
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <utility>

namespace vantor::ui {

template <typename Fn>
void BlockingCall(QObject* context, Fn&& fn) {
    if (!context) return;
    if (QThread::currentThread() == context->thread()) {
        std::forward<Fn>(fn)();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<Fn>(fn), Qt::BlockingQueuedConnection);
}

}  // namespace vantor::ui
