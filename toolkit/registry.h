#pragma once

// Internal bookkeeping of the toolkit: which numbers name which windows,
// gadgets, menus, fonts, pictures and sounds. Not for use outside toolkit/.

#include "toolkit/toolkit.h"

#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <deque>
#include <map>
#include <optional>
#include <vector>

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

enum class GadgetKind { PushButton, ToggleButton, ImageButton, Label, CheckBox, SpinBox, ListView };

struct GadgetEntry {
    QPointer<QWidget> widget;
    GadgetKind kind;
    int window;
};

struct MenuEntry {
    QPointer<QMenuBar> bar;
    int window = -1;
    std::vector<QMenu*> titles;
    std::map<int, QPointer<QAction>> items;
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
    std::function<BoxReply(const BoxRequest&)> boxScript;
    std::function<void()> idleHook;
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
// Drops the gadgets and menus that belonged to a window being closed.
void forgetWindowContents(int window);
// Frees sounds; the rest of the media needs no release.
void releaseMedia();
// Runs `work` once, when the event loop is next idle after a window has
// painted; shutdownToolkit drops what has not run yet.
void afterNextPaint(std::function<void()> work);

} // namespace tk
