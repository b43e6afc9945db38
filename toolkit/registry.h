#pragma once

// Internal bookkeeping of the toolkit: which numbers name which windows,
// gadgets, menus, fonts, pictures and sounds. Not for use outside toolkit/.

#include "toolkit/toolkit.h"

#include <QEvent>
#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QWindow>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QEventLoop;
class QMenu;
class QMenuBar;
class QAction;

namespace tk {

// A top-level window whose close box only asks: the game decides.
class GameWindow : public QMainWindow {
    Q_OBJECT
  public:
    GameWindow(int number, QWidget* parent = nullptr);
    int number() const { return number_; }
    QWidget* clientArea() const { return centralWidget(); }
    // A centred window of fixed size stays centred when a menu bar added
    // after it was shown makes it taller.
    void keepCentred() { keepCentred_ = true; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int number_;
    bool keepCentred_ = false;
};

// Moves a top-level window to the middle of the primary screen.
void centreOnScreen(QWidget* window);

// The title as the window system gets it: its shownPart.
QString windowSystemTitle(const QString& title);

enum class GadgetKind { PushButton, ToggleButton, ImageButton, Label, CheckBox, SpinBox, ListView };

struct GadgetEntry {
    QPointer<QWidget> widget;
    GadgetKind kind;
    int window;
    GadgetNamer namer = {};
};

struct MenuEntry {
    QPointer<QMenuBar> bar;
    int window = -1;
    std::vector<QMenu*> titles;
    std::map<int, QPointer<QAction>> items;
};

// User input to a game window, held back until the game waits again.
struct HeldInput {
    QPointer<QObject> receiver; // a game window's platform window, or a shortcut's owner
    int number;                 // the game window's number
    std::function<std::unique_ptr<QEvent>()> make; // the input event, made anew
};

struct Registry {
    std::map<int, QPointer<GameWindow>> windows;
    std::vector<int> openOrder; // open windows, oldest first: the last takes new gadgets
    std::map<int, GadgetEntry> gadgets;
    std::map<int, MenuEntry> menus;
    int buildingMenu = -1;
    QMenu* openMenu = nullptr; // the title being filled
    QMenu* openSubmenu = nullptr;
    std::map<int, QFont> fonts;
    std::optional<QFont> gadgetFont; // unset: the platform's default
    std::map<int, QImage> images;
    std::map<int, QString> sounds;
    std::deque<Event> queue;
    Event last;
    std::deque<HeldInput> heldInput; // oldest first
    std::optional<int> sleepingWait; // the window a wait sleeps for, while it sleeps
    std::function<BoxReply(const BoxRequest&)> boxScript;
    std::function<void()> idleHook;
    std::vector<QPointer<QWidget>> notices;    // boxes shown by noticeBox, until closed
    bool ending = false;                       // see endRequested()
    QEventLoop* pauseLoop = nullptr;           // the loop of a pause under way
    std::vector<QPointer<QObject>> afterPaint; // work waiting for a paint
};

Registry& registry();

// The gadget of that number and kind, or null.
QWidget* gadgetOf(int number, GadgetKind kind);
// Registers a freshly made gadget in the current window at x, y, w, h.
void placeGadget(int number, GadgetKind kind, QWidget* widget, int x, int y, int w, int h);
// The window that new gadgets and boxes belong to, or null.
GameWindow* currentWindow();
// Queues a gadget event for `number`.
void pushGadgetEvent(int number, ClickKind click = ClickKind::None);
// Renames the gadget through its namer, if it has one.
void refreshAccessibleName(int number);
// Drops the gadgets and menus that belonged to a window being closed.
void forgetWindowContents(int window);
// Frees sounds; the rest of the media needs no release.
void releaseMedia();
// Closes the boxes that noticeBox left on screen.
void closeNoticeBoxes();

// A wait on kAnyWindow takes the events of every window.
inline constexpr int kAnyWindow = -1;
// True when a wait on `window` takes the event.
bool isEventFor(const Event& event, int window);

// Lives while the wait on `window` sleeps in Qt's wait: once the queue holds
// an event for it, further user input to the windows it waits for is held
// back instead of reaching their gadgets.
class InputGate {
  public:
    explicit InputGate(int window);
    ~InputGate();
    InputGate(const InputGate&) = delete;
    InputGate& operator=(const InputGate&) = delete;

  private:
    std::optional<int> outer_;
};
// Hands the oldest input held for a wait on `window` to its window, as the
// window system would have; false when none is held.
bool releaseHeldInput(int window);
// Runs `work` once, when the event loop is next idle after a window has
// painted; shutdownToolkit drops what has not run yet.
void afterNextPaint(std::function<void()> work);

} // namespace tk
