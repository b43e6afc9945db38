#include "toolkit/registry.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace tk {

void postEvent(const Event& event) {
    registry().queue.push_back(event);
}

void pushGadgetEvent(int number, ClickKind click) {
    const auto found = registry().gadgets.find(number);
    const int window = found == registry().gadgets.end() ? -1 : found->second.window;
    postEvent({EventKind::Gadget, window, number, -1, click});
}

bool isEventFor(const Event& event, int window) {
    return window == kAnyWindow || event.window == window || event.kind == EventKind::None;
}

namespace {

// Takes the first queued event for a wait on `window` into `last`.
bool takeEventFor(int window) {
    Registry& reg = registry();
    const auto found = std::find_if(reg.queue.begin(), reg.queue.end(),
                                    [window](const Event& e) { return isEventFor(e, window); });
    if (found == reg.queue.end())
        return false;
    reg.last = *found;
    reg.queue.erase(found);
    return true;
}

// What every wait gives once the program is to end: the window opened last
// is asked to close, so the loop that waits for it ends.
Event closeRequestOfTheLastWindow() {
    const std::vector<int>& order = registry().openOrder;
    return {EventKind::CloseRequest, order.empty() ? -1 : order.back(), -1, -1, ClickKind::None};
}

} // namespace

EventKind waitEventFor(int number) {
    Registry& reg = registry();
    while (!reg.ending && !takeEventFor(number)) {
        if (releaseHeldInput(number))
            continue;
        if (reg.idleHook) {
            reg.idleHook();
            if (takeEventFor(number))
                break;
        }
        // Objects handed to deleteLater() are freed only by a running loop
        // that sends deferred deletes; this one must do it itself.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const InputGate gate(number);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (reg.ending)
        reg.last = closeRequestOfTheLastWindow();
    return reg.last.kind;
}

EventKind waitEvent() {
    return waitEventFor(kAnyWindow);
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
