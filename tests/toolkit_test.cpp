#include "toolkit/jpeg_loader.h"
#include "toolkit/toolkit.h"

#include "gui_support.h"
#include "test_support.h"

#include <QAbstractButton>
#include <QAccessible>
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
#include <QPointer>
#include <QRandomGenerator>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <ostream>
#include <vector>

#include <chrono>
#include <cstdio>
#include <jpeglib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

// Clicks the widget the way the window system delivers a person's click, so
// modal boxes block it as they block a person.
void clickAsPerson(QWidget* widget) {
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(top, pressPoint(widget)));
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

// Relative luminance of a colour as the contrast guidelines define it:
// 0 for black, 1 for white.
double luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// Contrast ratio of two colours, 1 (equal) to 21 (black on white).
double contrast(const QColor& a, const QColor& b) {
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

// `seconds` of 8-bit mono silence at 8 kHz, as a WAV file.
QByteArray silentWav(int seconds) {
    const auto samples = static_cast<quint32>(8000 * seconds);
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(8000) << quint16(1)
        << quint16(8);
    out.writeRawData("data", 4);
    out << samples;
    return wav + QByteArray(samples, char(0x80));
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

// A placeholder, a frame, a tooltip and a description are drawn or told, but
// the cell's text and colours stay what the program set; the placeholder
// shows only while the cell has no text.
TEST_F(ListViewTest, CellExtrasAreShownButAreNeitherTextNorColour) {
    const QRect cell = table()->visualRect(table()->model()->index(1, 1));
    const auto picture = [&] { return table()->viewport()->grab(cell).toImage(); };
    const QImage blank = picture();
    tk::setCellPlaceholder(kList, 1, 1, QStringLiteral("4"));
    tk::setCellToolTip(kList, 1, 1, QStringLiteral("Would score 4"));
    tk::setCellDescription(kList, 1, 1, QStringLiteral("Would score 4"));
    EXPECT_NE(picture(), blank) << "the placeholder is not drawn";
    EXPECT_EQ(tk::cellText(kList, 1, 1), "");
    EXPECT_EQ(tk::cellColour(kList, 1, tk::ColourTarget::Background, 1), tk::kNoColour);
    EXPECT_EQ(tk::cellPlaceholder(kList, 1, 1), "4");
    EXPECT_EQ(table()->item(1, 1)->toolTip(), "Would score 4");
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(table());
    ASSERT_TRUE(access && access->tableInterface());
    EXPECT_EQ(access->tableInterface()->cellAt(1, 1)->text(QAccessible::Description),
              "Would score 4");

    tk::setCellText(kList, 1, 1, QStringLiteral("7"));
    const QImage withPlaceholder = picture();
    tk::setCellPlaceholder(kList, 1, 1, QString());
    EXPECT_EQ(picture(), withPlaceholder) << "the placeholder is drawn over a text";

    tk::setCellFrame(kList, 1, 1, 0x6E2319);
    EXPECT_EQ(tk::cellFrame(kList, 1, 1), 0x6E2319);
    EXPECT_EQ(picture().pixelColor(0, cell.height() / 2), QColor(0x19, 0x23, 0x6E));
    tk::setCellFrame(kList, 1, 1, tk::kNoColour);
    EXPECT_EQ(tk::cellFrame(kList, 1, 1), tk::kNoColour);
    EXPECT_EQ(picture(), withPlaceholder);
}

// A key pressed on the active window, as the window system delivers it.
void pressOnWindow(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(tk::windowWidget(0)->windowHandle(), key, modifiers);
}

TEST_F(ListViewTest, ReturnEnterAndSpaceChooseTheSelectedRowAsALeftClick) {
    tk::selectCell(kList, 1, 2);
    tk::focusGadget(kList);
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Return, {}}, {Qt::Key_Enter, Qt::KeypadModifier}, {Qt::Key_Space, {}}};
    for (const auto& [key, modifiers] : keys) {
        pressOnWindow(key, modifiers);
        EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, kList, tk::ClickKind::LeftClick)});
        EXPECT_EQ(tk::gadgetState(kList), 1);
    }
    // The arrows move the selection and stay in the chosen column.
    pressOnWindow(Qt::Key_Down);
    EXPECT_EQ(tk::gadgetState(kList), 2);
    EXPECT_EQ(table()->currentColumn(), 2);
    EXPECT_TRUE(takeEvents().empty());
    tk::disableGadget(kList, true);
    table()->setFocus();
    pressOnWindow(Qt::Key_Return);
    EXPECT_TRUE(takeEvents().empty());
}

TEST_F(ListViewTest, TabLeavesTheListAfterOneStop) {
    tk::pushButton(6, 320, 10, 60, 30, QStringLiteral("Roll"));
    tk::pushButton(7, 320, 50, 60, 30, QStringLiteral("Off"));
    tk::toggleButton(1, 320, 90, 40, 40, QStringLiteral("A"));
    tk::disableGadget(7, true);
    tk::selectCell(kList, 0, 1);
    tk::focusGadget(kList);
    const std::pair<Qt::KeyboardModifiers, int> steps[] = {
        {{}, 6}, {{}, 1}, {{}, kList}, {Qt::ShiftModifier, 1}, {Qt::ShiftModifier, 6}};
    for (const auto& [modifiers, expected] : steps) {
        pressOnWindow(Qt::Key_Tab, modifiers);
        EXPECT_EQ(QApplication::focusWidget(), tk::gadgetWidget(expected)) << "to " << expected;
    }
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
    // Where the style draws the up arrow, and so where it takes clicks on it.
    QPoint upArrow() {
        QStyleOptionSpinBox option;
        option.initFrom(box());
        option.subControls = QStyle::SC_All;
        option.buttonSymbols = box()->buttonSymbols();
        option.frame = box()->hasFrame();
        option.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        return box()
            ->style()
            ->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, box())
            .center();
    }
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
    QTest::mouseClick(box(), Qt::LeftButton, {}, upArrow());
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
        QWidget* widget = tk::gadgetWidget(gadget);
        QTest::mouseClick(widget, Qt::LeftButton, {}, pressPoint(widget));
        QTest::mouseClick(widget, Qt::LeftButton, {}, pressPoint(widget));
        EXPECT_EQ(takeEvents(), (std::vector{gadgetSeen(0, gadget), gadgetSeen(0, gadget)}));
        tk::disableGadget(gadget, true);
        QTest::mouseClick(widget, Qt::LeftButton, {}, pressPoint(widget));
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

// A held die must be told from a free one at a glance: faces of at least 3:1
// contrast, and a frame that only the held face has.
TEST_F(ToolkitTest, PressedToggleButtonStandsOutByContrastAndByAFrame) {
    tk::toggleButton(1, 10, 10, 40, 40, QStringLiteral("K"));
    QWidget* die = tk::gadgetWidget(1);
    const QPoint face(8, 20);  // between the frame and the text
    const QPoint frame(4, 20); // on the frame
    const QImage released = die->grab().toImage();
    tk::setGadgetState(1, 1);
    const QImage held = die->grab().toImage();
    EXPECT_GE(contrast(released.pixelColor(face), held.pixelColor(face)), 3.0);
    EXPECT_GE(contrast(held.pixelColor(face), held.pixelColor(frame)), 3.0) << "held: no frame";
    EXPECT_LT(contrast(released.pixelColor(face), released.pixelColor(frame)), 1.2)
        << "released: a frame";
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

// Keys and the mnemonic give the events of clicks at the moment they are
// pressed, so they keep their order with each other and with clicks.
TEST_F(MenuTest, KeysClickGadgetsAndChooseItemsInTheOrderPressed) {
    tk::setMenuItemKey(0, 1, QStringLiteral("Ctrl+N"));
    tk::pushButton(6, 10, 40, 80, 30, QStringLiteral("&Roll"));
    tk::toggleButton(1, 100, 40, 40, 40, QStringLiteral("A"));
    tk::setGadgetKey(6, QStringLiteral("Ctrl+R"));
    tk::setGadgetKey(1, QStringLiteral("1"));
    tk::activateWindow(0);
    QCoreApplication::processEvents();
    pressOnWindow(Qt::Key_R, Qt::ControlModifier);
    pressOnWindow(Qt::Key_1);
    pressOnWindow(Qt::Key_N, Qt::ControlModifier);
    pressOnWindow(Qt::Key_R, Qt::AltModifier);
    pressOnWindow(Qt::Key_1);
    pressOnWindow(Qt::Key_1);
    const Seen menu{tk::EventKind::Menu, 0, -1, 1, {}};
    EXPECT_EQ(takeEvents(), (std::vector{gadgetSeen(0, 6), gadgetSeen(0, 1), menu, gadgetSeen(0, 6),
                                         gadgetSeen(0, 1), gadgetSeen(0, 1)}));
    EXPECT_EQ(tk::gadgetState(1), 1);
    EXPECT_EQ(action({"Game", "New"})->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(tk::menuItemText(0, 1), "New");
    tk::disableGadget(6, true);
    tk::disableGadget(1, true);
    pressOnWindow(Qt::Key_R, Qt::ControlModifier);
    pressOnWindow(Qt::Key_1);
    EXPECT_TRUE(takeEvents().empty());
    EXPECT_EQ(tk::gadgetState(1), 1);
}

// ---- what a screen reader gets ----------------------------------------------

// Only names and values: Qt announces changes only while a screen reader's
// registry (AT-SPI) is running, which the tests do not start.
class AccessibleTest : public ToolkitTest {
  protected:
    static QString nameOf(int gadget) {
        return QAccessible::queryAccessibleInterface(tk::gadgetWidget(gadget))
            ->text(QAccessible::Name);
    }
};

TEST_F(AccessibleTest, NamersFollowTextAndState) {
    tk::toggleButton(1, 10, 10, 40, 40, QString());
    tk::textLabel(8, 60, 10, 100, 20, QString());
    const tk::GadgetNamer namer = [](const QString& text, int state) {
        return (text.isEmpty() ? QStringLiteral("blank") : text) + (state ? " held" : "");
    };
    tk::setGadgetNamer(1, namer);
    tk::setGadgetNamer(8, namer);
    EXPECT_EQ(nameOf(1), "blank");
    QTest::mouseClick(tk::gadgetWidget(1), Qt::LeftButton);
    EXPECT_EQ(nameOf(1), "blank held");
    tk::setGadgetText(1, QStringLiteral("K"));
    EXPECT_EQ(nameOf(1), "K held");
    tk::setGadgetState(1, 0);
    EXPECT_EQ(nameOf(1), "K");
    tk::setGadgetText(8, QStringLiteral("Ann"));
    EXPECT_EQ(nameOf(8), "Ann");
}

TEST_F(AccessibleTest, ListCellsAreNamedByTheNamerWhenAsked) {
    tk::listView(3, 10, 10, 300, 200, QString(), 80, tk::FullRowSelect);
    tk::addColumn(3, 1, QStringLiteral("Ann"), 60);
    tk::addRow(3, QStringLiteral("Nines\n"));
    tk::setAccessibleName(3, QStringLiteral("Sheet"));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(tk::gadgetWidget(3));
    EXPECT_EQ(list->text(QAccessible::Name), "Sheet");
    QAccessibleTableInterface* table = list->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->cellAt(0, 0)->text(QAccessible::Name), "Nines");
    tk::setCellNamer(3, [](int row, int column) {
        return tk::cellText(3, row, 0) + " " + QString::number(column) + ": " +
               tk::cellText(3, row, column);
    });
    tk::setCellText(3, 0, 1, QStringLiteral("4"));
    EXPECT_EQ(table->cellAt(0, 1)->text(QAccessible::Name), "Nines 1: 4");
    EXPECT_EQ(tk::cellText(3, 0, 1), "4");
}

TEST_F(AccessibleTest, SpinBoxReportsTheNumberItShows) {
    tk::spinBox(15, 10, 10, 80, 30, 0, 5);
    tk::setGadgetState(15, 5);
    tk::setGadgetText(15, QStringLiteral("7"));
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(tk::gadgetWidget(15));
    ASSERT_NE(box->valueInterface(), nullptr);
    EXPECT_EQ(box->valueInterface()->currentValue().toInt(), 7);
    EXPECT_EQ(box->valueInterface()->maximumValue().toInt(), 5);
    EXPECT_EQ(box->text(QAccessible::Value), "7");
    // Set by a screen reader, the value is stepped to as with the arrows.
    box->valueInterface()->setCurrentValue(2);
    EXPECT_EQ(takeEvents(), std::vector{gadgetSeen(0, 15)});
    EXPECT_EQ(tk::gadgetState(15), 2);
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

TEST_F(ToolkitTest, InputFieldIsNamedForAScreenReader) {
    for (const auto& [fieldName, expected] :
         {std::pair{QString("Player's name"), QString("Player's name")}, {QString(), "Name?"}}) {
        whenBoxShows([expected](QWidget* box) {
            auto* field = box->findChild<QLineEdit*>();
            EXPECT_EQ(QAccessible::queryAccessibleInterface(field)->text(QAccessible::Name),
                      expected);
            pressKey(box, Qt::Key_Return);
        });
        tk::inputBox(QString(), QStringLiteral("Name?"), "Ann", fieldName);
    }
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

TEST_F(ToolkitTest, NoticeBoxReturnsAtOnceDisablesNothingAndGoesAtShutdown) {
    tk::noticeBox(QStringLiteral("Help"), QStringLiteral("<b>Install</b>"));
    QPointer<QMessageBox> shown;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            shown = box;
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown->windowTitle(), "Help");
    EXPECT_EQ(shown->text(), "<b>Install</b>");
    EXPECT_EQ(shown->textFormat(), Qt::PlainText);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(tk::windowWidget(0)->isEnabled());
    tk::shutdownToolkit();
    EXPECT_TRUE(shown.isNull());
}

// A title of any length from a language file reaches the window system cut
// to 4096 characters, never between the halves of a surrogate pair.
TEST_F(ToolkitTest, TitlesAreCutTo4096Characters) {
    const QString longTitle(5000, u'x');
    const QString pairAcrossTheCut = QString(4095, u'y') + QString::fromUcs4(U"\U0001F3B2") + u'z';
    tk::openWindow(1, 0, 0, 100, 100, longTitle, tk::CloseBox);
    EXPECT_EQ(tk::windowWidget(1)->windowTitle(), longTitle.left(4096));
    tk::setWindowTitle(1, pairAcrossTheCut);
    EXPECT_EQ(tk::windowWidget(1)->windowTitle(), pairAcrossTheCut.left(4095));
    tk::setWindowTitle(1, QStringLiteral("short"));
    EXPECT_EQ(tk::windowWidget(1)->windowTitle(), "short");
    whenBoxShows([&](QWidget* box) {
        EXPECT_EQ(box->windowTitle(), longTitle.left(4096));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    tk::messageBox(longTitle, QStringLiteral("text"), tk::Buttons::Ok);
    whenBoxShows([&](QWidget* box) {
        EXPECT_EQ(box->windowTitle(), longTitle.left(4096));
        pressKey(box, Qt::Key_Escape);
    });
    tk::inputBox(longTitle, QStringLiteral("prompt"), QString());
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

// ---- ending ----------------------------------------------------------------

// Asked to end, the program answers every box with its cancelling answer, so
// that no new game starts, and every wait asks the window opened last to
// close, so that each loop in turn winds down.
TEST_F(ToolkitTest, RequestToEndClosesTheBoxAndWindsEveryLoopDown) {
    tk::openWindow(1, 0, 0, 100, 100, QStringLiteral("Options"), tk::CloseBox);
    tk::postEvent({tk::EventKind::Menu, 0, -1, 4, {}});
    whenBoxShows([](QWidget*) { tk::requestEnd(); });
    EXPECT_EQ(tk::messageBox("New", "Start again?", tk::Buttons::YesNo), tk::Answer::No);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(tk::inputBox("Name", "Your name?", "Ann"), "");
    // The queued menu event is passed over.
    ASSERT_EQ(tk::waitEvent(), tk::EventKind::CloseRequest);
    EXPECT_EQ(tk::eventWindowNumber(), 1);
    tk::closeWindow(1);
    ASSERT_EQ(tk::waitEvent(), tk::EventKind::CloseRequest);
    EXPECT_EQ(tk::eventWindowNumber(), 0);
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

// A caret blinks after a key and rests lit once nobody types for a while;
// the next key makes it blink again.
TEST_F(ToolkitTest, CaretRestsLitWhileNobodyTypesAndBlinksAgainAtAKey) {
    QWidget* window = tk::windowWidget(0);
    auto* edit = new QLineEdit(window);
    edit->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A);
    const int blinking = QApplication::cursorFlashTime();
    ASSERT_GT(blinking, 0);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::cursorFlashTime() == 0; }, 120000));
    QTest::keyClick(edit, Qt::Key_B);
    EXPECT_EQ(QApplication::cursorFlashTime(), blinking);
}

TEST_F(ToolkitTest, PauseKeepsANewWindowPainted) {
    tk::openWindow(1, 0, 0, 200, 100, QStringLiteral("One"), tk::CloseBox);
    PaintCounter counter;
    tk::windowWidget(1)->installEventFilter(&counter);
    tk::pause(150);
    EXPECT_GT(counter.paints, 0);
}

TEST_F(ToolkitTest, PauseLastsAtLeastTheTimeAskedAndZeroOrLessIsNoPause) {
    for (int milliseconds : {21, 97, 103, 240}) {
        QElapsedTimer clock;
        clock.start();
        tk::pause(milliseconds);
        EXPECT_GE(clock.elapsed(), milliseconds);
    }
    // No pause at all: what waits in Qt's queue does not run meanwhile.
    for (int milliseconds : {0, -5}) {
        bool ran = false;
        QTimer::singleShot(0, [&ran] { ran = true; });
        tk::pause(milliseconds);
        EXPECT_FALSE(ran) << milliseconds << " ms";
        QCoreApplication::processEvents();
        EXPECT_TRUE(ran);
    }
}

// Qt's default timers save wake-ups by moving a long timeout by up to 5 %
// onto a whole second of the monotonic clock, earlier as well as later. A
// pause of 2 s begun a tenth of a second after a whole second shows it.
TEST_F(ToolkitTest, PauseIsNotShortenedToMeetAWholeSecond) {
    using namespace std::chrono;
    const auto sinceSecond = [] {
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() % 1000;
    };
    std::this_thread::sleep_for(milliseconds((1100 - sinceSecond()) % 1000));
    QElapsedTimer clock;
    clock.start();
    tk::pause(2000);
    EXPECT_GE(clock.elapsed(), 2000);
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

// Input that the window system queued while the program was busy arrives in
// one batch; each piece still reaches its gadget only once the events before
// it were handled: the die flips after the roll, and hold-all, which handling
// the roll enables, takes its click. `queue` queues a click or key for the
// roll (6), the die (1) and hold-all (7), in that order.
void expectQueuedInputActsInOrder(const std::function<void(int gadget)>& queue) {
    tk::pushButton(6, 10, 10, 80, 30, QStringLiteral("Roll"));
    tk::toggleButton(1, 100, 10, 40, 40, QStringLiteral("A"));
    tk::toggleButton(7, 150, 10, 80, 30, QStringLiteral("&Hold"));
    tk::setGadgetKey(6, QStringLiteral("Ctrl+R"));
    tk::setGadgetKey(1, QStringLiteral("1"));
    tk::disableGadget(7, true);
    tk::activateWindow(0);
    QCoreApplication::processEvents();
    for (int gadget : {6, 1, 7})
        QTimer::singleShot(0, [gadget, &queue] { queue(gadget); });
    ASSERT_EQ(tk::waitEvent(), tk::EventKind::Gadget);
    EXPECT_EQ(tk::eventGadgetNumber(), 6);
    EXPECT_EQ(tk::gadgetState(1), 0) << "the die flipped before the roll was handled";
    tk::disableGadget(7, false);
    ASSERT_EQ(tk::waitEvent(), tk::EventKind::Gadget);
    EXPECT_EQ(tk::eventGadgetNumber(), 1);
    EXPECT_EQ(tk::gadgetState(1), 1);
    // Should the last input be lost, the hook ends the wait for it.
    tk::setIdleHook([] { tk::postEvent({}); });
    EXPECT_EQ(tk::waitEvent(), tk::EventKind::Gadget);
    EXPECT_EQ(tk::eventGadgetNumber(), 7);
}

TEST_F(ToolkitTest, InputQueuedWhileBusyActsOneEventAtATimeInOrder) {
    expectQueuedInputActsInOrder([](int gadget) { clickAsPerson(tk::gadgetWidget(gadget)); });
}

// A key that is a shortcut (a gadget's key, a mnemonic) waits like a click.
TEST_F(ToolkitTest, KeysQueuedWhileBusyActOneEventAtATimeInOrder) {
    expectQueuedInputActsInOrder([](int gadget) {
        const std::map<int, QKeyCombination> keys = {
            {6, Qt::CTRL | Qt::Key_R}, {1, QKeyCombination(Qt::Key_1)}, {7, Qt::ALT | Qt::Key_H}};
        pressOnWindow(keys.at(gadget).key(), keys.at(gadget).keyboardModifiers());
    });
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

// A picture of one colour made with libjpeg's compressor. `samples` are
// the colour in the input colour space (1 for greyscale, 4 for CMYK);
// `scans` above 1 makes a progressive greyscale picture in that many scans.
struct JpegRecipe {
    int width = 16;
    int height = 16;
    J_COLOR_SPACE input = JCS_GRAYSCALE;
    J_COLOR_SPACE stored = JCS_GRAYSCALE;
    std::vector<JSAMPLE> samples = {128};
    int scans = 1;
    bool adobeMarker = true;
};

// The DC coefficient first, then the AC coefficients 1 to 63 in bands.
std::vector<jpeg_scan_info> greyScanScript(int scans) {
    std::vector<jpeg_scan_info> script = {{1, {0}, 0, 0, 0, 0}};
    const int bands = scans - 1;
    for (int band = 0; band < bands; ++band)
        script.push_back({1, {0}, 1 + band * 63 / bands, (band + 1) * 63 / bands, 0, 0});
    return script;
}

QByteArray compressedJpeg(const JpegRecipe& recipe) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(recipe.width);
    info.image_height = static_cast<JDIMENSION>(recipe.height);
    info.input_components = static_cast<int>(recipe.samples.size());
    info.in_color_space = recipe.input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, recipe.stored);
    if (!recipe.adobeMarker)
        info.write_Adobe_marker = FALSE;
    const std::vector<jpeg_scan_info> script = greyScanScript(recipe.scans);
    if (recipe.scans > 1) {
        info.scan_info = script.data();
        info.num_scans = recipe.scans;
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row;
    for (int x = 0; x < recipe.width; ++x)
        row.insert(row.end(), recipe.samples.begin(), recipe.samples.end());
    while (info.next_scanline < info.image_height) {
        JSAMPROW rowPointer = row.data();
        jpeg_write_scanlines(&info, &rowPointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

// Adobe's programs store CMYK inverted and say so with their marker; a file
// without it holds the inks as they are. Every case is pure red.
TEST(JpegTest, ShowsCmykAndYcckPictures) {
    const std::pair<const char*, JpegRecipe> cases[] = {
        {"inverted CMYK with the Adobe marker", {16, 16, JCS_CMYK, JCS_CMYK, {255, 0, 0, 255}}},
        {"inverted YCCK with the Adobe marker", {16, 16, JCS_CMYK, JCS_YCCK, {255, 0, 0, 255}}},
        {"CMYK without the marker", {16, 16, JCS_CMYK, JCS_CMYK, {0, 255, 255, 0}, 1, false}},
    };
    for (const auto& [what, recipe] : cases) {
        SCOPED_TRACE(what);
        const QImage image = tk::decodeJpeg(compressedJpeg(recipe));
        ASSERT_EQ(image.size(), QSize(16, 16));
        const QColor colour = image.pixelColor(8, 8);
        EXPECT_GT(colour.red(), 240);
        EXPECT_LT(colour.green(), 16);
        EXPECT_LT(colour.blue(), 16);
    }
}

// RGB pixels take 3 bytes, and a picture in several scans 2 bytes a pixel
// more for its coefficients (greyscale here): 8 and 4 megapixels fit.
TEST(JpegTest, RefusesPicturesThatCostMoreThanTheBudget) {
    ASSERT_EQ(tk::kMaxJpegDecodeBytes, 24u << 20);
    const struct {
        int width, height, scans;
        bool shown;
    } cases[] = {
        {4096, 2048, 1, true},
        {4096, 2056, 1, false},
        {2048, 2048, 2, true},
        {2048, 2560, 2, false},
        {64, 64, tk::kMaxJpegScans, true},
        {64, 64, tk::kMaxJpegScans + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.scans);
        JpegRecipe recipe;
        recipe.width = c.width;
        recipe.height = c.height;
        recipe.scans = c.scans;
        EXPECT_EQ(tk::decodeJpeg(compressedJpeg(recipe)).isNull(), !c.shown);
    }
}

// The file is read at its size: a picture loads where far less memory is
// left than the largest file accepted, and a larger file is not read.
TEST(JpegTest, ReadsAFileAtItsSizeAndRefusesAnOversizedOne) {
    ScopedWorkDir dir;
    const QByteArray jpeg = validJpeg();
    writeBytes(QStringLiteral("pvp_0.jpg"), jpeg);
    writeBytes(QStringLiteral("padded.jpg"), jpeg + QByteArray(tk::kMaxJpegFileBytes, '\0'));
    EXPECT_FALSE(tk::loadImage(1, QStringLiteral("padded.jpg")));
    const pid_t child = fork();
    if (child == 0) {
        // Room for the picture, not for a buffer the size of the largest file.
        QFile status(QStringLiteral("/proc/self/statm"));
        if (!status.open(QIODevice::ReadOnly))
            _exit(2);
        const rlim_t used = status.readAll().split(' ').value(0).toULongLong() *
                            static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
        const rlim_t room = used + tk::kMaxJpegFileBytes / 2;
        const rlimit limit{room, room};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(2);
        try {
            _exit(tk::loadJpegFile(QStringLiteral("pvp_0.jpg")).isNull() ? 1 : 0);
        } catch (...) {
            _exit(3);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

// Two minutes of sound: a play that waited for its end would hold the test
// past its time limit wherever a sound device answers.
TEST(SoundTest, PlayingDoesNotWaitForTheEndAndAMissingFileIsSilent) {
    ScopedWorkDir dir;
    writeBytes(QStringLiteral("dice.wav"), silentWav(120));
    tk::initSound();
    tk::loadSound(0, QStringLiteral("dice.wav"));
    tk::loadSound(1, QStringLiteral("missing.wav"));
    EXPECT_FALSE(tk::soundFile(0).isEmpty());
    EXPECT_TRUE(tk::soundFile(1).isEmpty());
    for (int sound : {0, 0, 1})
        tk::playSound(sound);
    tk::shutdownToolkit();
}

// The opener holds on until released, which happens only once openDocument
// has returned; the name, spaces and all, reaches it as one argument.
TEST(DocumentTest, OpeningADocumentHandsItOverAndDoesNotWait) {
    ScopedWorkDir dir;
    const StandInOpener opener(dir.path());
    tk::openDocument(QStringLiteral("my help.chm"));
    opener.release();
    EXPECT_EQ(opener.endedRuns(1), "[my help.chm]\n");
}

} // namespace
