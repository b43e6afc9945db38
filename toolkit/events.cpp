#include "toolkit/registry.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace tk {

void postEvent(const Event& event) {
    registry().queue.push_back(event);
}

void pushGadgetEvent(int number, ClickKind click) {
    const auto found = registry().gadgets.find(number);
    const int window = found == registry().gadgets.end() ? -1 : found->second.window;
    postEvent({EventKind::Gadget, window, number, -1, click});
}

namespace {

// What every wait gives once the program is to end: the window opened last
// is asked to close, so the loop that waits for it ends.
Event closeRequestOfTheLastWindow() {
    const std::vector<int>& order = registry().openOrder;
    return {EventKind::CloseRequest, order.empty() ? -1 : order.back(), -1, -1, ClickKind::None};
}

} // namespace

EventKind waitEvent() {
    Registry& reg = registry();
    while (reg.queue.empty() && !reg.ending) {
        if (reg.idleHook) {
            reg.idleHook();
            if (!reg.queue.empty())
                break;
        }
        // Objects handed to deleteLater() are freed only by a running loop
        // that sends deferred deletes; this one must do it itself.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (reg.ending) {
        reg.last = closeRequestOfTheLastWindow();
    } else {
        reg.last = reg.queue.front();
        reg.queue.pop_front();
    }
    return reg.last.kind;
}

int eventGadgetNumber() {
    return registry().last.gadget;
}
int eventMenuId() {
    return registry().last.menuId;
}
int eventWindowNumber() {
    return registry().last.window;
}
ClickKind eventClickKind() {
    return registry().last.click;
}

void pause(int milliseconds) {
    if (milliseconds <= 0 || endRequested())
        return;
    // A local loop keeps windows painted (even one opened just before) and
    // sleeps; user input stays queued and arrives afterwards, in order. The
    // timer is precise: a coarse one may end the pause 5 % early.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    registry().pauseLoop = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    registry().pauseLoop = nullptr;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

void setIdleHook(std::function<void()> hook) {
    registry().idleHook = std::move(hook);
}

} // namespace tk
