#include "toolkit/registry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

namespace tk {

Registry& registry() {
    static Registry instance;
    return instance;
}

GameWindow::GameWindow(int number, QWidget* parent) : QMainWindow(parent), number_(number) {}

void GameWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (keepCentred_)
        centreOnScreen(this);
}

void GameWindow::closeEvent(QCloseEvent* event) {
    // The game closes its windows itself; the close box only queues a request,
    // and a disabled window gives no events at all.
    event->ignore();
    if (isEnabled())
        postEvent({EventKind::CloseRequest, number_, -1, -1, ClickKind::None});
}

namespace {

int fakeArgc = 1;
char programName[] = "quintara";
char* fakeArgv[] = {programName, nullptr};

Qt::WindowFlags flagsFor(unsigned style) {
    Qt::WindowFlags flags =
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
    if (style & CloseBox)
        flags |= Qt::WindowCloseButtonHint;
    if (style & MinimiseBox)
        flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

} // namespace

QStringView shownPart(QStringView text) {
    if (text.size() <= kMaxShownLength)
        return text;
    const bool splitsPair = text[kMaxShownLength - 1].isHighSurrogate();
    return text.first(splitsPair ? kMaxShownLength - 1 : kMaxShownLength);
}

QString windowSystemTitle(const QString& title) {
    const QStringView shown = shownPart(title);
    return shown.size() == title.size() ? title : shown.toString();
}

void centreOnScreen(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

namespace {

GameWindow* windowOf(int number) {
    auto& windows = registry().windows;
    const auto found = windows.find(number);
    return found == windows.end() ? nullptr : found->second.data();
}

} // namespace

namespace {

// Watches every object's events until the first paint, then lets the event
// loop finish that paint (the window reaches the screen within it) before
// the work runs from a zero timer.
class AfterPaint : public QObject {
  public:
    explicit AfterPaint(std::function<void()> work) : work_(std::move(work)) {
        QCoreApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QCoreApplication::instance()->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                const std::function<void()> work = std::move(work_);
                deleteLater();
                work();
            });
        }
        return false;
    }

  private:
    std::function<void()> work_;
};

} // namespace

void afterNextPaint(std::function<void()> work) {
    auto& pending = registry().afterPaint;
    std::erase_if(pending, [](const QPointer<QObject>& waiting) { return waiting.isNull(); });
    pending.emplace_back(new AfterPaint(std::move(work)));
}

namespace {

// How long a text caret blinks after the player's last key, click or change
// of focus; then it stays lit, as on desktops that stop the blink. A question
// left open then costs no processor time while nobody types.
constexpr int kCaretBlinkMs = 10000;

// True for a control that shows a text caret when it has the focus.
bool takesTyping(const QWidget* widget) {
    return widget->testAttribute(Qt::WA_InputMethodEnabled);
}

class CaretRest : public QObject {
  public:
    explicit CaretRest(QObject* parent)
        : QObject(parent), flashTime_(QApplication::cursorFlashTime()) {
        rest_.setSingleShot(true);
        rest_.setInterval(kCaretBlinkMs);
        connect(&rest_, &QTimer::timeout, this, [] { QApplication::setCursorFlashTime(0); });
        QCoreApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress && type != QEvent::FocusIn)
            return false;
        // Windows and styles see these events too; only controls take the focus.
        const auto* control = qobject_cast<const QWidget*>(receiver);
        if (!control)
            return false;
        if (takesTyping(control))
            blink();
        else if (type == QEvent::FocusIn)
            rest_.stop(); // no caret on show: nothing to wake up for
        return false;
    }

  private:
    void blink() {
        if (QApplication::cursorFlashTime() != flashTime_)
            QApplication::setCursorFlashTime(flashTime_);
        rest_.start();
    }

    const int flashTime_;
    QTimer rest_;
};

} // namespace

void initToolkit() {
    if (!QCoreApplication::instance()) {
        // The game takes no command line: Qt sees only the program's name.
        new QApplication(fakeArgc, fakeArgv);
    }
    static QPointer<CaretRest> caretRest;
    if (!caretRest)
        caretRest = new CaretRest(QCoreApplication::instance());
}

void shutdownToolkit() {
    auto& reg = registry();
    while (!reg.windows.empty())
        closeWindow(reg.windows.begin()->first);
    releaseMedia();
    closeNoticeBoxes();
    reg.fonts.clear();
    reg.gadgetFont.reset();
    reg.images.clear();
    reg.queue.clear();
    reg.heldInput.clear();
    reg.last = {};
    reg.ending = false;
    for (const QPointer<QObject>& waiting : reg.afterPaint)
        delete waiting.data();
    reg.afterPaint.clear();
}

bool openWindow(int number, int x, int y, int width, int height, const QString& title,
                unsigned style) {
    closeWindow(number);
    auto* window = new GameWindow(number);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowFlags(flagsFor(style));
    window->setWindowTitle(windowSystemTitle(title));
    if (style & EscapeCloses) {
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
        QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
    }
    auto* client = new QWidget(window);
    window->setCentralWidget(client);
    // The client follows once the window is on screen: a child shown with
    // the window would make Qt reach the screen reader's bus (a round trip
    // to the session bus) before the window is mapped. Its size counts from
    // the start.
    QSizePolicy keepsSize = client->sizePolicy();
    keepsSize.setRetainSizeWhenHidden(true);
    client->setSizePolicy(keepsSize);
    client->hide();
    if (style & SizingBorder) {
        client->setMinimumSize(width, height);
        window->resize(width, height);
    } else {
        client->setFixedSize(width, height);
        window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
    window->move(x, y);
    registry().windows[number] = window;
    registry().openOrder.push_back(number);
    window->show();
    client->show();
    if (style & Centred) {
        centreOnScreen(window);
        if (!(style & SizingBorder))
            window->keepCentred();
    }
    return true;
}

void closeWindow(int number) {
    auto& reg = registry();
    const auto found = reg.windows.find(number);
    if (found == reg.windows.end())
        return;
    forgetWindowContents(number);
    delete found->second.data();
    reg.windows.erase(found);
    std::erase(reg.openOrder, number);
}

void activateWindow(int number) {
    if (GameWindow* window = windowOf(number)) {
        window->raise();
        window->activateWindow();
    }
}

void setWindowTitle(int number, const QString& title) {
    if (GameWindow* window = windowOf(number))
        window->setWindowTitle(windowSystemTitle(title));
}

void disableWindow(int number, bool disabled) {
    if (GameWindow* window = windowOf(number))
        window->setEnabled(!disabled);
}

void repaintWindow(int number) {
    if (GameWindow* window = windowOf(number))
        window->repaint();
}

double windowScale(int number) {
    const GameWindow* window = windowOf(number);
    return window ? window->devicePixelRatioF() : 1.0;
}

GameWindow* currentWindow() {
    const std::vector<int>& order = registry().openOrder;
    return order.empty() ? nullptr : windowOf(order.back());
}

QWidget* windowWidget(int number) {
    return windowOf(number);
}

} // namespace tk
