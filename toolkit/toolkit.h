#pragma once

#include <QString>
#include <functional>

class QWidget;

// The thin layer through which the game reaches the desktop: numbered windows,
// numbered gadgets inside them, menu bars, one event queue for all windows,
// modal boxes, fonts, JPEG pictures, one WAV sound, a pause and a document
// opener. Everything runs on the one thread of the event loops.
namespace tk {

// ---- start and end -------------------------------------------------------

// Creates the application object unless one exists (tests make their own).
void initToolkit();
// Closes every window and frees every font, picture and sound.
void shutdownToolkit();
// Names the program in the title bar of a window whose title is empty (every
// other title stays as it is), ties its windows to the desktop entry
// `desktopId` and gives every window the icon made of the PNG pictures under
// `iconFolder` (a resource folder such as ":/game/icons"). The pictures are
// read once the first window has been painted: decoding them would hold
// back the first window, and the windows take the icon when it comes.
void setProgramIdentity(const QString& name, const QString& desktopId, const QString& iconFolder);
// Qt's own texts, such as the standard buttons of boxes, in `language` (a
// code such as "de") from Qt's translations; "en", or a language Qt has no
// translation for, gives Qt's built-in English.
void setQtLanguage(const QString& language);

// Turns SIGTERM, SIGHUP and SIGINT into requestEnd(), run by the event loop
// that is waiting at the time (the signal only writes to a pipe it watches).
void catchEndSignals();
// Asks the program to end in order. From then on every box returns at once
// with its cancelling answer (OK, No, the empty text), and one on screen is
// closed so; a pause ends; and waitEvent gives a close request of the most
// recently opened window each time, so that every loop winds down.
void requestEnd();
bool endRequested();

// ---- texts on screen --------------------------------------------------------

// Longest text handed to the window system as a title, or shown whole in a
// list row. Texts from files may hold megabytes; the X server ends a client
// whose request exceeds its limit of about 16 MiB, and laying out such a
// text takes long.
inline constexpr qsizetype kMaxShownLength = 4096;
// The part of a text that is shown: all of it up to kMaxShownLength units,
// else its first kMaxShownLength, one fewer when that would split a
// surrogate pair.
QStringView shownPart(QStringView text);

// ---- windows ---------------------------------------------------------------

enum WindowStyle : unsigned {
    CloseBox = 1u << 0,
    MinimiseBox = 1u << 1,
    SizingBorder = 1u << 2,
    Centred = 1u << 3,
    EscapeCloses = 1u << 4, // Escape anywhere in the window acts as its close box
};

// Opens window `number` with a client area of width x height; a window with
// the same number is closed first. New gadgets go into this window.
bool openWindow(int number, int x, int y, int width, int height, const QString& title,
                unsigned style);
void closeWindow(int number);
// Brings the window to the front with the keyboard focus.
void activateWindow(int number);
void setWindowTitle(int number, const QString& title);
// A disabled window takes no input: its gadgets and close box give no events.
void disableWindow(int number, bool disabled);
// Paints the window now, without waiting for the event loop.
void repaintWindow(int number);
// Screen pixels per pixel of the window: 1, or 2 on a screen scaled by two.
double windowScale(int number);

// ---- events ----------------------------------------------------------------

enum class EventKind { None, CloseRequest, Gadget, Menu };
enum class ClickKind { None, LeftClick, DoubleClick, RightClick };

struct Event {
    EventKind kind = EventKind::None;
    int window = -1;
    int gadget = -1;
    int menuId = -1;
    ClickKind click = ClickKind::None;
};

// Blocks, sleeping in Qt's own wait, until the next event of any window.
EventKind waitEvent();
// Blocks until the next event of window `number` and takes it; the events of
// other windows stay queued, in order, for the loop that waits for them.
// Events of kind None belong to no window and end any wait.
EventKind waitEventFor(int number);
int eventGadgetNumber();
int eventMenuId();
int eventWindowNumber();
ClickKind eventClickKind();

// Appends an event to the queue, as a window would.
void postEvent(const Event& event);

// ---- gadgets ---------------------------------------------------------------

inline constexpr int kNoNumber = -1; // a gadget that is never addressed again

void pushButton(int number, int x, int y, int w, int h, const QString& text);
void toggleButton(int number, int x, int y, int w, int h, const QString& text);
// Draws picture `image` centred and unscaled, clipped to the face; blank when
// the picture is missing. A picture made at `scale` times the size, for a
// screen scaled by that much, is drawn at 1/scale of its pixel size.
void imageButton(int number, int x, int y, int w, int h, int image, int scale = 1);
void textLabel(int number, int x, int y, int w, int h, const QString& text);
void checkBox(int number, int x, int y, int w, int h, const QString& text);
// Integer state kept within [minimum, maximum]; its shown text is set apart.
void spinBox(int number, int x, int y, int w, int h, int minimum, int maximum);

enum ListOption : unsigned {
    GridLines = 1u << 0,
    FullRowSelect = 1u << 1,
};
void listView(int number, int x, int y, int w, int h, const QString& firstTitle, int firstWidth,
              unsigned options);
void addColumn(int number, int position, const QString& title, int width);
// Appends a row; line feeds in `text` separate the cells of columns 0, 1, ...
void addRow(int number, const QString& text);
QString cellText(int number, int row, int column);
void setCellText(int number, int row, int column, const QString& text);

enum class ColourTarget { Text, Background };
inline constexpr int kNoColour = -1;
// Colours are 0xBBGGRR; column -1 colours every cell of the row.
void setCellColour(int number, int row, ColourTarget target, int colour, int column);
// kNoColour while that cell's colour was never set.
int cellColour(int number, int row, ColourTarget target, int column);

// What a list view shows around a cell without changing its text or colours.
// Shown greyed and slanted in the cell while its own text is empty; an empty
// `text` removes it.
void setCellPlaceholder(int number, int row, int column, const QString& text);
QString cellPlaceholder(int number, int row, int column);
// A frame of `colour` (0xBBGGRR) drawn just inside the cell; kNoColour removes it.
void setCellFrame(int number, int row, int column, int colour);
int cellFrame(int number, int row, int column);
// Shown when the pointer rests on the cell; empty for none.
void setCellToolTip(int number, int row, int column, const QString& text);
// Read by screen readers after the cell's name; empty for none.
void setCellDescription(int number, int row, int column, const QString& text);
// Shows the title of `column` in bold and every other title plain; -1 for none.
void markColumnTitle(int number, int column);

// Toggle buttons and check boxes: 0 or 1; spin box: its value (a whole number
// within range typed into it is adopted first); list view: selected row or -1.
int gadgetState(int number);
void setGadgetState(int number, int value);
QString gadgetText(int number);
void setGadgetText(int number, const QString& text);
void disableGadget(int number, bool disabled);
bool isGadgetEnabled(int number);

inline constexpr int kDefaultFont = -1; // the platform's default font
// Font for the gadgets created from now on.
void setGadgetFont(int font);

// ---- keyboard --------------------------------------------------------------

// Keys are written as portable key text: "Ctrl+R", "F1", "3".
// While the gadget's window is active, the key clicks the button gadget at
// once, as a mouse click does (same event, same queue); a disabled gadget
// ignores it.
void setGadgetKey(int number, const QString& key);
// The key chooses the menu item and is shown beside its text, which stays
// as it is.
void setMenuItemKey(int menu, int id, const QString& key);
// Gives the keyboard focus to the gadget.
void focusGadget(int number);
// List view: selects `row` (-1 for none) with the cell in `column` current,
// so that Up and Down move the selection within that column.
void selectCell(int number, int row, int column);

// ---- what a screen reader reports --------------------------------------------

void setAccessibleName(int number, const QString& name, const QString& description = {});
// Names a button or label from its text and state, now and whenever either
// changes; the change is announced.
using GadgetNamer = std::function<QString(const QString& text, int state)>;
void setGadgetNamer(int number, GadgetNamer namer);
// Names the cells of a list view, asked afresh whenever a cell is read.
using CellNamer = std::function<QString(int row, int column)>;
void setCellNamer(int number, CellNamer namer);

// ---- menus -----------------------------------------------------------------

// Attaches menu bar `number` to a window; the calls below fill it in order.
void createMenu(int number, int window);
void menuTitle(const QString& text);
void menuItem(int id, const QString& text);
void menuSeparator();
void openSubMenu(const QString& text);
void closeSubMenu();
void setMenuTitleText(int menu, int position, const QString& text);
void setMenuItemText(int menu, int id, const QString& text);
QString menuTitleText(int menu, int position);
QString menuItemText(int menu, int id);
// Freezes the menu bar's drawing while it is relabelled (true) and redraws it
// when put back (false).
void hideMenu(int menu, bool hidden);

// ---- boxes -----------------------------------------------------------------

enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// Modal box; the program's other windows are disabled while it is shown.
Answer messageBox(const QString& title, const QString& text, Buttons buttons);
// Modal one-line question; Enter or OK gives the field's text, Escape or
// closing the box gives the empty text. A screen reader calls the field by
// `fieldName`, or by the prompt when that is empty.
QString inputBox(const QString& title, const QString& prompt, const QString& defaultText,
                 const QString& fieldName = {});
// Plain box without an owner window; it disables nothing. Returns when closed.
void ownerlessMessageBox(const QString& title, const QString& text);
// The same box, returning at once; it goes away when closed or at shutdown.
void noticeBox(const QString& title, const QString& text);

// ---- media and system ------------------------------------------------------

void loadFont(int number, const QString& face, int points);
// At the first idle moment after the next window is painted, makes the
// platform's fonts ready: its font machinery, the default font and the face
// at that size. Text drawn later does not wait for them.
void prepareFonts(const QString& face, int points);
// Reads a JPEG file; a missing or unreadable file leaves no picture.
bool loadImage(int number, const QString& fileName);
void initSound();
// At the first idle moment after the next window is painted, reaches the
// sound device, so that the first playSound does not wait for it.
void prepareSound();
void loadSound(int number, const QString& fileName);
// Plays the sound once from its beginning and returns at once.
void playSound(int number);
void freeSound(int number);
// Hands the file to the desktop's opener and returns at once. When the
// opener reports that nothing could open the file, or cannot be run, the
// event loop later calls `onFailure`.
void openDocument(const QString& fileName, const std::function<void()>& onFailure = {});
// Blocks for the given time; windows stay painted, input waits until after.
void pause(int milliseconds);

// ---- test seams --------------------------------------------------------------

struct BoxRequest {
    enum class Kind { Message, Input } kind = Kind::Message;
    QString title;
    QString text; // message text or input prompt
    QString defaultText;
    Buttons buttons = Buttons::Ok;
    QString fieldName; // the input field's name for a screen reader
};
struct BoxReply {
    Answer answer = Answer::Ok;
    QString text; // the input box's answer
};
// While set, boxes are answered by the script instead of being shown.
void setBoxScript(std::function<BoxReply(const BoxRequest&)> script);
// While set, a wait calls the hook whenever the queue holds no event for it,
// before it sleeps; a test drives the game from there.
void setIdleHook(std::function<void()> hook);
QWidget* gadgetWidget(int number);
QWidget* windowWidget(int number);
QString soundFile(int number);

} // namespace tk
