#include "toolkit/registry.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

// Qt hands a sleeping wait all the input the window system queued meanwhile
// in one go (after a pause, say), and a gadget acts on its input at once: a
// toggle button flips on its click while the click before it still waits in
// the queue, and a click on a button that handling the earlier one would have
// enabled is dropped. Holding input back once the wait has its event makes
// each piece of input reach its window only when the game waits again, so it
// meets the game in the state that every earlier event left behind. A key
// that is a shortcut (a gadget's key, a menu item's key or a mnemonic) never
// reaches the window as a key: Qt hands its owner a shortcut event, which is
// held the same way.

namespace tk {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

// Number of the game window whose platform window `object` is, if it is one.
std::optional<int> gameWindowNumber(const QObject* object) {
    if (!object->isWindowType())
        return std::nullopt;
    for (const auto& [number, window] : registry().windows)
        if (window && window->windowHandle() == object)
            return number;
    return std::nullopt;
}

// Number of the game window a shortcut's owner (a gadget, its shortcut, or a
// menu item under the window's menu bar) belongs to, if any.
std::optional<int> ownerWindowNumber(const QObject* owner) {
    for (const QObject* object = owner; object; object = object->parent()) {
        if (const auto* window = qobject_cast<const GameWindow*>(object))
            return window->number();
    }
    return std::nullopt;
}

// The game window the input is for, if it is input that may be held.
std::optional<int> heldWindowNumber(const QObject* watched, const QEvent* event) {
    if (event->type() == QEvent::Shortcut)
        return ownerWindowNumber(watched);
    return isUserInput(event->type()) ? gameWindowNumber(watched) : std::nullopt;
}

// What makes the input event anew when it is handed over. A mouse or wheel
// event is made from its values: its points share their data with the ones
// Qt goes on updating for later input.
std::function<std::unique_ptr<QEvent>()> makerOf(const QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<const QWheelEvent*>(event);
        return
            [position = wheel->position(), global = wheel->globalPosition(),
             pixels = wheel->pixelDelta(), angle = wheel->angleDelta(), buttons = wheel->buttons(),
             modifiers = wheel->modifiers(), phase = wheel->phase(), inverted = wheel->inverted(),
             device = wheel->pointingDevice(), time = wheel->timestamp()] {
                auto made = std::make_unique<QWheelEvent>(position, global, pixels, angle, buttons,
                                                          modifiers, phase, inverted,
                                                          Qt::MouseEventNotSynthesized, device);
                made->setTimestamp(time);
                return std::unique_ptr<QEvent>(std::move(made));
            };
    }
    if (event->isSinglePointEvent()) {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        return
            [type = mouse->type(), position = mouse->position(), global = mouse->globalPosition(),
             button = mouse->button(), buttons = mouse->buttons(), modifiers = mouse->modifiers(),
             device = mouse->pointingDevice(), time = mouse->timestamp()] {
                // At a window, the scene position is the position.
                auto made = std::make_unique<QMouseEvent>(type, position, position, global, button,
                                                          buttons, modifiers, device);
                made->setTimestamp(time);
                return std::unique_ptr<QEvent>(std::move(made));
            };
    }
    std::shared_ptr<const QEvent> kept(event->clone());
    return [kept] { return std::unique_ptr<QEvent>(kept->clone()); };
}

bool hasEventFor(int window) {
    const std::deque<Event>& queue = registry().queue;
    return std::any_of(queue.begin(), queue.end(),
                       [window](const Event& e) { return isEventFor(e, window); });
}

// Sees every event of the application; takes the input it holds back.
class InputFilter : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        Registry& reg = registry();
        if (!reg.sleepingWait)
            return false;
        const int wait = *reg.sleepingWait;
        const std::optional<int> window = heldWindowNumber(watched, event);
        if (!window || (wait != kAnyWindow && *window != wait) || !hasEventFor(wait))
            return false;
        reg.heldInput.push_back({watched, *window, makerOf(event)});
        return true;
    }
};

void installInputFilter() {
    static QPointer<InputFilter> filter;
    if (filter)
        return;
    QCoreApplication* application = QCoreApplication::instance();
    filter = new InputFilter(application);
    application->installEventFilter(filter);
}

} // namespace

InputGate::InputGate(int window) {
    installInputFilter();
    outer_ = std::exchange(registry().sleepingWait, window);
}

InputGate::~InputGate() {
    registry().sleepingWait = outer_;
}

bool releaseHeldInput(int window) {
    std::deque<HeldInput>& held = registry().heldInput;
    const auto found = std::find_if(held.begin(), held.end(), [window](const HeldInput& input) {
        return window == kAnyWindow || input.number == window;
    });
    if (found == held.end())
        return false;
    const HeldInput input = std::move(*found);
    held.erase(found);
    if (input.receiver)
        QCoreApplication::sendEvent(input.receiver, input.make().get());
    return true;
}

} // namespace tk
