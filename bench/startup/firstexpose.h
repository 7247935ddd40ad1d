// Calls back once, just after the first window of the application has been
// exposed (and so painted): what a person sees as "the window is up".
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QWindow>
#include <functional>
#include <utility>

namespace kd::bench {

class FirstExpose : public QObject {
public:
    // `then` gets the exposed window's title.
    explicit FirstExpose(std::function<void(const QString&)> then) : m_then(std::move(then)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (m_done || event->type() != QEvent::Expose || !object->isWindowType())
            return false;
        auto* window = static_cast<QWindow*>(object);
        if (!window->isExposed())
            return false;
        m_done = true;
        // Queued, so the expose (and the paint it brings) is handled first.
        const QString title = window->title();
        QMetaObject::invokeMethod(
            this, [this, title] { m_then(title); }, Qt::QueuedConnection);
        return false;
    }

private:
    std::function<void(const QString&)> m_then;
    bool m_done = false;
};

} // namespace kd::bench
