#include "toolkit/jpeg_loader.h"
#include "toolkit/toolkit.h"

#include "test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDataStream>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

namespace {

// ---- helpers ---------------------------------------------------------------

struct Seen {
    tk::EventKind kind;
    int window;
    int gadget;
    int menuId;
    tk::ClickKind click;
    bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* out) {
    *out << "{kind " << static_cast<int>(seen.kind) << ", window " << seen.window << ", gadget "
         << seen.gadget << ", menu " << seen.menuId << ", click " << static_cast<int>(seen.click)
         << "}";
}

Seen gadgetSeen(int window, int gadget, tk::ClickKind click = tk::ClickKind::None) {
    return {tk::EventKind::Gadget, window, gadget, -1, click};
}

constexpr int kEndMarker = -77;

// Every event queued so far, oldest first. Never blocks: a marker event is
// queued behind whatever Qt's pending work adds.
std::vector<Seen> takeEvents() {
    QCoreApplication::processEvents();
    tk::postEvent({tk::EventKind::None, kEndMarker, -1, -1, tk::ClickKind::None});
    std::vector<Seen> seen;
    for (;;) {
        const tk::EventKind kind = tk::waitEvent();
        if (kind == tk::EventKind::None && tk::eventWindowNumber() == kEndMarker)
            return seen;
        seen.push_back({kind, tk::eventWindowNumber(), tk::eventGadgetNumber(), tk::eventMenuId(),
                        tk::eventClickKind()});
    }
}

// Clicks the widget's centre the way the window system delivers a person's
// click, so modal boxes block it as they block a person.
void clickAsPerson(QWidget* widget) {
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(top, widget->rect().center()));
}

// Runs `step` once the next modal box is up, handing it that box.
void whenBoxShows(std::function<void(QWidget*)> step) {
    QTimer::singleShot(0, [step = std::move(step)] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        step(box);
    });
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 100));
    return bytes;
}

// 64 x 32: red left half, blue right half.
QImage twoColourPicture() {
    QImage image(64, 32, QImage::Format_RGB888);
    image.fill(Qt::red);
    QPainter(&image).fillRect(32, 0, 32, 32, Qt::blue);
    return image;
}

// A tenth of a second of 8-bit mono silence at 8 kHz, as a WAV file.
QByteArray silentWav() {
    constexpr quint32 kSamples = 800;
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + kSamples);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(8000) << quint16(1)
        << quint16(8);
    out.writeRawData("data", 4);
    out << kSamples;
    return wav + QByteArray(kSamples, char(0x80));
}

class ToolkitTest : public testing::Test {
  protected:
    void SetUp() override {
        tk::initToolkit();
        ASSERT_TRUE(tk::openWindow(0, 10, 10, 400, 300, QStringLiteral("Test"), tk::CloseBox));
    }
    void TearDown() override {
        tk::setBoxScript({});
        tk::setIdleHook({});
        tk::shutdownToolkit();
    }
};

// ---- list view -------------------------------------------------------------

class ListViewTest : public ToolkitTest {
  protected:
    static constexpr int kList = 3;
    void SetUp() override {
        ToolkitTest::SetUp();
        tk::listView(kList, 10, 10, 300, 200, QStringLiteral("Row"), 80,
                     tk::GridLines | tk::FullRowSelect);
        tk::addColumn(kList, 1, QStringLiteral("A"), 60);
        tk::addColumn(kList, 2, QStringLiteral("B"), 60);
        tk::addRow(kList, QStringLiteral("r0\na0\nb0"));
        tk::addRow(kList, QStringLiteral("r1"));
        tk::addRow(kList, QStringLiteral("r2\na2"));
        table()->show();
        QCoreApplication::processEvents();
    }
    QTableWidget* table() { return qobject_cast<QTableWidget*>(tk::gadgetWidget(kList)); }
    QPoint rowPoint(int row) {
        return table()->visualRect(table()->model()->index(row, 1)).center();
    }
    QPoint emptyPoint() { return QPoint(20, table()->viewport()->height() - 5); }
    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(table()->viewport(), button, {}, at);
    }
};

TEST_F(ListViewTest, CellColoursAreBlueGreenRedAndNoneUntilSet) {
    constexpr auto kBack = tk::ColourTarget::Background;
    tk::setCellColour(kList, 0, kBack, 0x3366FF, 1);
    EXPECT_EQ(tk::cellColour(kList, 0, kBack, 1), 0x3366FF);
    EXPECT_EQ(tk::cellColour(kList, 0, kBack, 2), tk::kNoColour);
    EXPECT_EQ(tk::cellColour(kList, 0, tk::ColourTarget::Text, 1), tk::kNoColour);
    // Column -1 colours the whole row, the label column included.
    tk::setCellColour(kList, 1, kBack, 0x3366FF, -1);
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(tk::cellColour(kList, 1, kBack, column), 0x3366FF);
        EXPECT_EQ(table()->item(1, column)->background().color(), QColor(255, 102, 51));
    }
    EXPECT_EQ(tk::cellColour(kList, 2, kBack, 0), tk::kNoColour);
}

TEST_F(ListViewTest, RowsSplitOnLineFeedsAndShortRowsHaveEveryColumn) {
    EXPECT_EQ(tk::cellText(kList, 0, 0), "r0");
    EXPECT_EQ(tk::cellText(kList, 0, 2), "b0");
    EXPECT_EQ(tk::cellText(kList, 2, 1), "a2");
    EXPECT_EQ(tk::cellText(kList, 1, 2), "");
    tk::setCellText(kList, 1, 2, QStringLiteral("17"));
    EXPECT_EQ(tk::cellText(kList, 1, 2), "17");
    tk::addColumn(kList, 3, QStringLiteral("C"), 40);
    tk::setCellText(kList, 2, 3, QStringLiteral("new"));
    EXPECT_EQ(tk::cellText(kList, 2, 3), "new");
}

TEST_F(ListViewTest, LeftClickOnRowGivesOneEventAndSelectsIt) {
    click(rowPoint(1));
    EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, kList, tk::ClickKind::LeftClick)});
    EXPECT_EQ(tk::gadgetState(kList), 1);
}

TEST_F(ListViewTest, LeftClickOnEmptySpaceGivesOneEventAndNoRow) {
    click(rowPoint(2));
    takeEvents();
    ASSERT_EQ(tk::gadgetState(kList), 2);
    click(emptyPoint());
    EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, kList, tk::ClickKind::LeftClick)});
    EXPECT_EQ(tk::gadgetState(kList), -1);
}

TEST_F(ListViewTest, DisabledListOrWindowGivesNoEvent) {
    tk::disableGadget(kList, true);
    click(rowPoint(0));
    click(emptyPoint());
    EXPECT_TRUE(takeEvents().empty());
    tk::disableGadget(kList, false);
    tk::disableWindow(0, true);
    click(rowPoint(0));
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(ListViewTest, OtherClicksAreNotLeftClicks) {
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, rowPoint(0));
    EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, kList, tk::ClickKind::DoubleClick)});
    click(rowPoint(1), Qt::RightButton);
    const std::vector<Seen> right = takeEvents();
    ASSERT_EQ(right.size(), 1u);
    EXPECT_NE(right[0].click, tk::ClickKind::LeftClick);
}

// The style files pictures of header sections in Qt's pixmap cache under the
// palette's cache key: a list made later (each game makes a new sheet) must
// draw with the same key, or the cache grows with every game.
TEST_F(ListViewTest, EveryListAndItsHeaderShareOneReadablePalette) {
    const QPalette first = table()->palette();
    EXPECT_EQ(first.color(QPalette::Disabled, QPalette::Text),
              first.color(QPalette::Active, QPalette::Text));
    EXPECT_EQ(first.color(QPalette::Disabled, QPalette::ButtonText),
              first.color(QPalette::Active, QPalette::ButtonText));
    EXPECT_LT(first.color(QPalette::Active, QPalette::Highlight).alpha(), 255);
    tk::openWindow(1, 0, 0, 200, 200, QStringLiteral("Other"), tk::CloseBox);
    tk::listView(4, 5, 5, 150, 150, QStringLiteral("Player"), 90, tk::FullRowSelect);
    auto* second = qobject_cast<QTableWidget*>(tk::gadgetWidget(4));
    ASSERT_NE(second, nullptr);
    second->grab();
    table()->grab();
    EXPECT_EQ(second->palette().cacheKey(), first.cacheKey());
    EXPECT_EQ(second->horizontalHeader()->palette().cacheKey(), first.cacheKey());
    EXPECT_EQ(table()->horizontalHeader()->palette().cacheKey(), first.cacheKey());
}

// ---- spin box --------------------------------------------------------------

class SpinBoxTest : public ToolkitTest {
  protected:
    static constexpr int kSpin = 15;
    void SetUp() override {
        ToolkitTest::SetUp();
        tk::spinBox(kSpin, 10, 10, 80, 30, 0, 5);
        QCoreApplication::processEvents();
    }
    QAbstractSpinBox* box() { return qobject_cast<QAbstractSpinBox*>(tk::gadgetWidget(kSpin)); }
    QLineEdit* field() { return box()->findChild<QLineEdit*>(); }
    void type(const QString& text) {
        field()->clear();
        QTest::keyClicks(field(), text);
    }
};

TEST_F(SpinBoxTest, StateIsClampedAndTextIsTheProgramsOwn) {
    tk::setGadgetState(kSpin, 7);
    EXPECT_EQ(tk::gadgetState(kSpin), 5);
    tk::setGadgetState(kSpin, -3);
    EXPECT_EQ(tk::gadgetState(kSpin), 0);
    tk::setGadgetState(kSpin, 5);
    tk::setGadgetText(kSpin, QStringLiteral("7"));
    EXPECT_EQ(tk::gadgetText(kSpin), "7");
    EXPECT_EQ(tk::gadgetState(kSpin), 5);
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(SpinBoxTest, UpArrowAtMaximumStaysAndGivesOneEvent) {
    tk::setGadgetState(kSpin, 5);
    // The up arrow sits in the upper right corner.
    QTest::mouseClick(box(), Qt::LeftButton, {}, QPoint(box()->width() - 4, 6));
    EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, kSpin)});
    EXPECT_EQ(tk::gadgetState(kSpin), 5);
}

TEST_F(SpinBoxTest, EachArrowKeyStepGivesOneEventWithTheNewState) {
    tk::setGadgetState(kSpin, 2);
    tk::setGadgetText(kSpin, QStringLiteral("2"));
    const std::pair<Qt::Key, int> steps[] = {
        {Qt::Key_Up, 3}, {Qt::Key_Up, 4}, {Qt::Key_Down, 3}, {Qt::Key_Down, 2}};
    for (const auto& [key, expected] : steps) {
        QTest::keyClick(box(), key);
        EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, kSpin)});
        EXPECT_EQ(tk::gadgetState(kSpin), expected);
        // As the game does, show the new value.
        tk::setGadgetText(kSpin, QString::number(tk::gadgetState(kSpin)));
    }
}

TEST_F(SpinBoxTest, TypedWholeNumberInRangeIsAdopted) {
    tk::setGadgetState(kSpin, 1);
    type(QStringLiteral("3"));
    EXPECT_EQ(tk::gadgetState(kSpin), 3);
    for (const char* text : {"x", "9", "-1", "2.5", ""}) {
        type(QString::fromLatin1(text));
        EXPECT_EQ(tk::gadgetState(kSpin), 3) << "typed \"" << text << "\"";
    }
    // A step starts from a number typed just before it.
    type(QStringLiteral("1"));
    QTest::keyClick(box(), Qt::Key_Up);
    EXPECT_EQ(tk::gadgetState(kSpin), 2);
}

// ---- buttons ---------------------------------------------------------------

TEST_F(ToolkitTest, EveryClickableGadgetGivesOneEventPerClickUnlessDisabled) {
    tk::pushButton(6, 10, 10, 80, 30, QStringLiteral("Roll"));
    tk::toggleButton(1, 100, 10, 40, 40, QStringLiteral("A"));
    tk::checkBox(16, 10, 60, 120, 20, QStringLiteral("Sound"));
    EXPECT_FALSE(tk::loadImage(4, QStringLiteral("/nonexistent/picture.jpg")));
    tk::imageButton(0, 150, 10, 60, 60, 4);
    for (int gadget : {6, 1, 16, 0}) {
        QTest::mouseClick(tk::gadgetWidget(gadget), Qt::LeftButton);
        QTest::mouseClick(tk::gadgetWidget(gadget), Qt::LeftButton);
        EXPECT_EQ(takeEvents(), (std::vector{gadgetSeen(0, gadget), gadgetSeen(0, gadget)}));
        tk::disableGadget(gadget, true);
        QTest::mouseClick(tk::gadgetWidget(gadget), Qt::LeftButton);
        EXPECT_TRUE(takeEvents().empty()) << "disabled gadget " << gadget;
    }
}

TEST_F(ToolkitTest, ToggleButtonFlipsOnClickButNotOnSetState) {
    tk::toggleButton(1, 10, 10, 40, 40, QStringLiteral("A"));
    for (int expected : {1, 0, 1}) {
        QTest::mouseClick(tk::gadgetWidget(1), Qt::LeftButton);
        EXPECT_EQ(tk::gadgetState(1), expected);
    }
    tk::setGadgetState(1, 0);
    EXPECT_EQ(tk::gadgetState(1), 0);
    EXPECT_EQ(takeEvents().size(), 3u);
}

TEST_F(ToolkitTest, LabelShowsMarkupAsPlainCharacters) {
    tk::textLabel(8, 10, 10, 100, 20, QStringLiteral("<b>x</b>"));
    const auto* label = qobject_cast<QLabel*>(tk::gadgetWidget(8));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), "<b>x</b>");
}

// ---- windows ---------------------------------------------------------------

QSize clientSize(int window) {
    QCoreApplication::processEvents();
    const auto* main = qobject_cast<QMainWindow*>(tk::windowWidget(window));
    return main ? main->centralWidget()->size() : QSize();
}

TEST_F(ToolkitTest, ClientAreaHasTheGivenSizeAlsoWithAMenuBar) {
    for (unsigned style : {unsigned(tk::CloseBox), unsigned(tk::CloseBox | tk::SizingBorder)}) {
        tk::openWindow(0, 10, 10, 600, 295, QStringLiteral("Main"), style | tk::Centred);
        EXPECT_EQ(clientSize(0), QSize(600, 295)) << "style " << style;
        tk::createMenu(0, 0);
        tk::menuTitle(QStringLiteral("Game"));
        tk::menuItem(1, QStringLiteral("New"));
        EXPECT_EQ(clientSize(0), QSize(600, 295)) << "style " << style << " with menu";
    }
}

TEST_F(ToolkitTest, WindowOfTheSameNumberReplacesTheOldOneAndItsGadgets) {
    tk::pushButton(6, 10, 10, 80, 30, QStringLiteral("Roll"));
    QPointer<QWidget> oldWindow = tk::windowWidget(0);
    QPointer<QWidget> oldButton = tk::gadgetWidget(6);
    tk::openWindow(0, 10, 10, 200, 100, QStringLiteral("Again"), tk::CloseBox);
    EXPECT_TRUE(oldWindow.isNull());
    EXPECT_TRUE(oldButton.isNull());
    EXPECT_EQ(tk::gadgetWidget(6), nullptr);
    EXPECT_EQ(tk::windowWidget(0)->windowTitle(), "Again");
}

QWidget* windowOfNewButton(int number) {
    tk::pushButton(number, 10, 10, 50, 20, QString::number(number));
    return tk::gadgetWidget(number)->window();
}

TEST_F(ToolkitTest, GadgetsGoIntoTheMostRecentlyOpenedWindow) {
    tk::openWindow(2, 0, 0, 200, 100, QStringLiteral("Two"), tk::CloseBox);
    tk::openWindow(1, 0, 0, 200, 100, QStringLiteral("One"), tk::CloseBox);
    EXPECT_EQ(windowOfNewButton(15), tk::windowWidget(1));
    tk::closeWindow(1);
    EXPECT_EQ(windowOfNewButton(16), tk::windowWidget(2));
    // Window 0 opened after window 2 takes the gadgets once window 1 is gone.
    tk::openWindow(0, 0, 0, 200, 100, QStringLiteral("Zero"), tk::CloseBox);
    tk::openWindow(1, 0, 0, 200, 100, QStringLiteral("One"), tk::CloseBox);
    tk::closeWindow(1);
    EXPECT_EQ(windowOfNewButton(17), tk::windowWidget(0));
    // Gadget numbers are unique across windows: a new 16 replaces the old.
    EXPECT_EQ(windowOfNewButton(16), tk::windowWidget(0));
    EXPECT_EQ(tk::windowWidget(2)->findChildren<QAbstractButton*>().size(), 0);
}

TEST_F(ToolkitTest, CloseBoxOnlyAsksAndADisabledWindowDoesNotAsk) {
    tk::openWindow(1, 0, 0, 200, 100, QStringLiteral("One"), tk::CloseBox);
    tk::windowWidget(1)->close();
    EXPECT_EQ(takeEvents(), (std::vector{Seen{tk::EventKind::CloseRequest, 1, -1, -1, {}}}));
    EXPECT_TRUE(tk::windowWidget(1)->isVisible());
    tk::disableWindow(1, true);
    tk::windowWidget(1)->close();
    EXPECT_TRUE(takeEvents().empty());
    EXPECT_TRUE(tk::windowWidget(1)->isVisible());
}

// ---- menus -----------------------------------------------------------------

class MenuTest : public ToolkitTest {
  protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        tk::createMenu(0, 0);
        tk::menuTitle(QStringLiteral("Game"));
        tk::menuItem(1, QStringLiteral("New"));
        tk::menuSeparator();
        tk::openSubMenu(QStringLiteral("Language"));
        tk::menuItem(10, QStringLiteral("English"));
        tk::menuItem(11, QStringLiteral("German"));
        tk::closeSubMenu();
        tk::menuItem(6, QStringLiteral("Exit"));
        tk::menuTitle(QStringLiteral("Help"));
        tk::menuItem(5, QStringLiteral("About"));
    }
    // The action reached through the menu bar by the texts in `path`.
    static QAction* action(const QStringList& path) {
        const auto* main = qobject_cast<QMainWindow*>(tk::windowWidget(0));
        QList<QAction*> actions = main->menuBar()->actions();
        QAction* found = nullptr;
        for (const QString& text : path) {
            const auto at = std::find_if(actions.begin(), actions.end(),
                                         [&text](QAction* a) { return a->text() == text; });
            if (at == actions.end())
                return nullptr;
            found = *at;
            actions = found->menu() ? found->menu()->actions() : QList<QAction*>();
        }
        return found;
    }
};

TEST_F(MenuTest, ItemsGiveMenuEventsWithTheirIds) {
    const std::pair<QStringList, int> items[] = {{{"Game", "New"}, 1},
                                                 {{"Game", "Language", "German"}, 11},
                                                 {{"Game", "Exit"}, 6},
                                                 {{"Help", "About"}, 5}};
    for (const auto& [path, id] : items) {
        QAction* item = action(path);
        ASSERT_NE(item, nullptr) << path.join('/').toStdString();
        item->trigger();
        EXPECT_EQ(takeEvents(), (std::vector{Seen{tk::EventKind::Menu, 0, -1, id, {}}}));
    }
}

TEST_F(MenuTest, TitlesAndItemsCanBeRelabelled) {
    EXPECT_EQ(tk::menuTitleText(0, 1), "Help");
    tk::setMenuTitleText(0, 0, QStringLiteral("Spiel"));
    tk::setMenuItemText(0, 10, QStringLiteral("Englisch"));
    EXPECT_EQ(tk::menuTitleText(0, 0), "Spiel");
    EXPECT_EQ(tk::menuItemText(0, 10), "Englisch");
    EXPECT_EQ(tk::menuItemText(0, 11), "German");
    QAction* item = action({"Spiel", "Language", "Englisch"});
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_EQ(takeEvents(), (std::vector{Seen{tk::EventKind::Menu, 0, -1, 10, {}}}));
}

// ---- boxes -----------------------------------------------------------------

void pressKey(QWidget* box, Qt::Key key) {
    QTest::keyClick(box->findChild<QLineEdit*>(), key);
}

TEST_F(ToolkitTest, InputBoxConfirmsTheFieldOrCancelsToEmptyText) {
    const std::pair<std::function<void(QWidget*)>, QString> cases[] = {
        {[](QWidget* box) { pressKey(box, Qt::Key_Escape); }, ""},
        {[](QWidget* box) { box->close(); }, ""},
        {[](QWidget* box) { pressKey(box, Qt::Key_Return); }, "Ann"},
        // The default is selected: typing replaces it.
        {[](QWidget* box) {
             QTest::keyClicks(box->findChild<QLineEdit*>(), QStringLiteral("Bo"));
             pressKey(box, Qt::Key_Enter);
         },
         "Bo"},
    };
    for (const auto& [answer, expected] : cases) {
        whenBoxShows(answer);
        EXPECT_EQ(tk::inputBox(QStringLiteral("Name"), QStringLiteral("Your name?"), "Ann"),
                  expected);
    }
}

TEST_F(ToolkitTest, InputBoxBlocksTheOtherWindowsAndShowsPlainText) {
    tk::pushButton(6, 10, 10, 80, 30, QStringLiteral("Roll"));
    QCoreApplication::processEvents();
    whenBoxShows([](QWidget* box) {
        EXPECT_NE(box, tk::windowWidget(0));
        const auto* prompt = box->findChild<QLabel*>();
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(prompt->textFormat(), Qt::PlainText);
        clickAsPerson(tk::gadgetWidget(6));
        pressKey(box, Qt::Key_Return);
    });
    EXPECT_EQ(tk::inputBox("T", QStringLiteral("<i>p</i>"), "a"), "a");
    EXPECT_TRUE(takeEvents().empty());
    // Once the box is gone the same click counts.
    clickAsPerson(tk::gadgetWidget(6));
    EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, 6)});
}

TEST_F(ToolkitTest, MessageBoxGivesTheChosenAnswerAndShowsPlainText) {
    const std::pair<QMessageBox::StandardButton, tk::Answer> choices[] = {
        {QMessageBox::Yes, tk::Answer::Yes}, {QMessageBox::No, tk::Answer::No}};
    for (const auto& [button, answer] : choices) {
        whenBoxShows([button](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(message, nullptr);
            EXPECT_EQ(message->textFormat(), Qt::PlainText);
            EXPECT_EQ(message->text(), "<b>Quit?</b>");
            QTest::mouseClick(message->button(button), Qt::LeftButton);
        });
        EXPECT_EQ(tk::messageBox("Q", QStringLiteral("<b>Quit?</b>"), tk::Buttons::YesNo), answer);
    }
    whenBoxShows([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(tk::messageBox("Q", "Quit?", tk::Buttons::YesNo), tk::Answer::No);
}

TEST_F(ToolkitTest, BoxScriptAnswersInsteadOfABox) {
    std::vector<tk::BoxRequest> asked;
    tk::setBoxScript([&asked](const tk::BoxRequest& request) {
        asked.push_back(request);
        return tk::BoxReply{tk::Answer::No, QStringLiteral("Zed")};
    });
    EXPECT_EQ(tk::messageBox("New", "Start again?", tk::Buttons::YesNo), tk::Answer::No);
    EXPECT_EQ(tk::inputBox("Name", "Your name?", "Ann"), "Zed");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].kind, tk::BoxRequest::Kind::Message);
    EXPECT_EQ(asked[0].title + asked[0].text, "NewStart again?");
    EXPECT_EQ(asked[0].buttons, tk::Buttons::YesNo);
    EXPECT_EQ(asked[1].kind, tk::BoxRequest::Kind::Input);
    EXPECT_EQ(asked[1].title + asked[1].text + asked[1].defaultText, "NameYour name?Ann");
}

// ---- pause and the event queue ---------------------------------------------

class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(ToolkitTest, PauseKeepsANewWindowPainted) {
    tk::openWindow(1, 0, 0, 200, 100, QStringLiteral("One"), tk::CloseBox);
    PaintCounter counter;
    tk::windowWidget(1)->installEventFilter(&counter);
    tk::pause(150);
    EXPECT_GT(counter.paints, 0);
}

TEST_F(ToolkitTest, PauseLastsAtLeastTheTimeAsked) {
    for (int milliseconds : {21, 97, 103, 240, 0, -5}) {
        QElapsedTimer clock;
        clock.start();
        tk::pause(milliseconds);
        EXPECT_GE(clock.elapsed(), milliseconds);
        EXPECT_LT(clock.elapsed(), std::max(milliseconds, 0) + 200) << milliseconds << " ms";
    }
}

TEST_F(ToolkitTest, InputDuringAPauseArrivesAfterItInOrder) {
    tk::pushButton(6, 10, 10, 80, 30, QStringLiteral("Roll"));
    tk::toggleButton(1, 100, 10, 40, 40, QStringLiteral("A"));
    QCoreApplication::processEvents();
    tk::postEvent({tk::EventKind::Menu, 0, -1, 3, {}});
    QTimer::singleShot(20, [] { clickAsPerson(tk::gadgetWidget(1)); });
    QTimer::singleShot(40, [] { clickAsPerson(tk::gadgetWidget(6)); });
    QTimer::singleShot(60, [] { tk::windowWidget(0)->close(); });
    tk::pause(120);
    EXPECT_EQ(takeEvents(),
              (std::vector{Seen{tk::EventKind::Menu, 0, -1, 3, {}}, gadgetSeen(0, 1),
                           gadgetSeen(0, 6), Seen{tk::EventKind::CloseRequest, 0, -1, -1, {}}}));
    EXPECT_EQ(tk::gadgetState(1), 1);
}

TEST_F(ToolkitTest, QueueIsFirstInFirstOutAndIdleHookRunsOnlyWhenEmpty) {
    int idleCalls = 0;
    tk::setIdleHook([&idleCalls] {
        ++idleCalls;
        tk::postEvent({tk::EventKind::Menu, 0, -1, 99, {}});
    });
    for (int id : {4, 2, 8})
        tk::postEvent({tk::EventKind::Menu, 0, -1, id, {}});
    // Ends the wait should the hook never run.
    QTimer::singleShot(2000, [] { tk::postEvent({tk::EventKind::Menu, 0, -1, -1, {}}); });
    for (int id : {4, 2, 8, 99}) {
        ASSERT_EQ(tk::waitEvent(), tk::EventKind::Menu);
        EXPECT_EQ(tk::eventMenuId(), id);
        EXPECT_EQ(idleCalls, id == 99 ? 1 : 0);
    }
}

// ---- pictures, sound and documents -----------------------------------------

QByteArray validJpeg() {
    return encoded(twoColourPicture(), "JPG");
}

TEST(JpegTest, DecodesAValidPicture) {
    const QImage image = tk::decodeJpeg(validJpeg());
    ASSERT_EQ(image.size(), QSize(64, 32));
    const QColor left = image.pixelColor(8, 16);
    const QColor right = image.pixelColor(56, 16);
    EXPECT_GT(left.red(), 230);
    EXPECT_LT(left.blue(), 30);
    EXPECT_GT(right.blue(), 230);
    EXPECT_LT(right.red(), 30);
}

// Offset of the first byte after marker 0xFF `code`.
qsizetype afterMarker(const QByteArray& bytes, char code) {
    const qsizetype at = bytes.indexOf(QByteArray("\xFF") + code);
    EXPECT_GE(at, 0);
    return at + 2;
}

QByteArray flipped(QByteArray bytes, qsizetype from, qsizetype count, char mask) {
    for (qsizetype i = from; i < from + count; ++i)
        bytes[i] = char(bytes[i] ^ mask);
    return bytes;
}

QByteArray randomBytes() {
    QRandomGenerator generator(7);
    QByteArray bytes(4096, 0);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

TEST(JpegTest, BrokenOrForeignBytesGiveNoPicture) {
    const QByteArray jpeg = validJpeg();
    const qsizetype scanMiddle = (afterMarker(jpeg, char(0xDA)) + jpeg.size()) / 2;
    // Frame header: length (2), precision (1), height (2), width (2).
    const qsizetype frame = afterMarker(jpeg, char(0xC0));
    const std::pair<const char*, QByteArray> inputs[] = {
        {"truncated", jpeg.left(jpeg.size() / 2)},
        {"corrupt scan", flipped(jpeg, scanMiddle - 16, 32, 0x5A)},
        {"huge header", flipped(jpeg, frame + 3, 4, char(0xEA))}, // about 60000 x 60000
        {"start marker only", QByteArray("\xFF\xD8")},
        {"png", encoded(twoColourPicture(), "PNG")},
        {"random", randomBytes()},
        {"empty", QByteArray()},
    };
    for (const auto& [name, bytes] : inputs)
        EXPECT_TRUE(tk::decodeJpeg(bytes).isNull()) << name;
}

TEST(JpegTest, LoadImageReadsAFileAndRefusesAMissingOne) {
    ScopedWorkDir dir;
    writeBytes(QStringLiteral("pvp_0.jpg"), validJpeg());
    writeBytes(QStringLiteral("broken.jpg"), validJpeg().left(200));
    EXPECT_TRUE(tk::loadImage(1, QStringLiteral("pvp_0.jpg")));
    EXPECT_FALSE(tk::loadImage(2, QStringLiteral("broken.jpg")));
    EXPECT_FALSE(tk::loadImage(3, QStringLiteral("missing.jpg")));
    EXPECT_FALSE(tk::loadImage(4, dir.path()));
}

TEST(SoundTest, PlayingReturnsAtOnceAndAMissingFileIsSilent) {
    ScopedWorkDir dir;
    writeBytes(QStringLiteral("dice.wav"), silentWav());
    QElapsedTimer clock;
    clock.start();
    tk::initSound();
    tk::loadSound(0, QStringLiteral("dice.wav"));
    tk::loadSound(1, QStringLiteral("missing.wav"));
    EXPECT_FALSE(tk::soundFile(0).isEmpty());
    EXPECT_TRUE(tk::soundFile(1).isEmpty());
    for (int sound : {0, 0, 1})
        tk::playSound(sound);
    EXPECT_LT(clock.elapsed(), 100);
    tk::shutdownToolkit();
}

TEST(DocumentTest, OpeningAMissingDocumentReturnsAtOnce) {
    ScopedWorkDir dir;
    QElapsedTimer clock;
    clock.start();
    tk::openDocument(QStringLiteral("quintara.chm"));
    EXPECT_LT(clock.elapsed(), 500);
}

} // namespace
