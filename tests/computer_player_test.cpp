#include "game/board.h"
#include "game/computer_player.h"
#include "game/sheet_hints.h"
#include "game/startup.h"
#include "game/turn_flow.h"
#include "gui_support.h"
#include "rules/game_state.h"
#include "rules/random.h"
#include "store/high_score_file.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/main_window.h"

#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLayout>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <vector>

namespace {

// ---- dice scripts and what the window shows ----------------------------------

// The face that dice::random(5) index i gives a die.
const QStringList kFaceByDraw = {"A", "K", "Q", "J", "10", "9"};
constexpr int kFilledCellColour = 0x3366FF; // red 255, green 102, blue 51 as 0xBBGGRR
constexpr int kColumnRows = 14;             // category rows 0..13, bonus included
constexpr int kBonus = 6;
constexpr int kTotal = 14;

// "A A K Q J" -> the five draws that roll those faces.
std::vector<int> rollOf(const char* faces) {
    std::vector<int> draws;
    for (const QString& face : QString::fromLatin1(faces).split(u' '))
        draws.push_back(static_cast<int>(kFaceByDraw.indexOf(face)));
    return draws;
}

std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

QString shownDice() {
    QStringList dice;
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        dice << tk::gadgetText(die);
    return dice.join(u' ');
}

QString handName() {
    return tk::gadgetText(Gadget::HandNameLabel);
}

// Entered cells of a column (those with a background colour): row -> text.
std::map<int, QString> entries(int column) {
    std::map<int, QString> entered;
    for (int row = 0; row < kColumnRows; ++row) {
        if (row == kBonus)
            continue;
        const int colour =
            tk::cellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, column);
        if (colour != tk::kNoColour) {
            EXPECT_EQ(colour, kFilledCellColour) << "row " << row;
            entered[row] = tk::cellText(Gadget::ScoreSheet, row, column);
        }
    }
    return entered;
}

struct Entry {
    int row;
    int value;
    bool operator==(const Entry&) const = default;
};

void PrintTo(const Entry& entry, std::ostream* out) {
    *out << "row " << entry.row << ": " << entry.value;
}

// Plays one computer turn on the given draws and returns its one new entry.
Entry scriptedComputerTurn(const std::vector<int>& draws) {
    const auto before = entries(kComputerColumn);
    const auto personBefore = entries(1);
    clearDice();
    tk::setGadgetText(Gadget::HandNameLabel, QString());
    dice::scriptRandom(draws);
    computerTurn();
    auto after = entries(kComputerColumn);
    EXPECT_EQ(entries(1), personBefore) << "the person's column is not the computer's";
    for (const auto& [row, text] : before) {
        EXPECT_EQ(after[row], text) << "an entered cell changed";
        after.erase(row);
    }
    EXPECT_EQ(after.size(), 1u) << "one turn enters exactly one value";
    if (after.empty())
        return {-1, -1};
    return {after.begin()->first, after.begin()->second.toInt()};
}

// Fills the computer's cells with a marker, as earlier turns would have.
void preFill(const std::vector<int>& rows) {
    for (int row : rows)
        enterScore(row, kComputerColumn, 9);
}

// ---- fixture ---------------------------------------------------------------------

// Hand names of our own language file, by hand code.
const QStringList kHandNames = {"Zilch", "Quint", "Quad",     "Boat",
                                "Run",   "Set",   "Two twos", "One pair"};

void writeLanguageFile() {
    QByteArray text = "\xEF\xBB\xBF\r\nwin = takes the game\r\ntie = Level!\r\n";
    for (int code = 0; code < kHandNames.size(); ++code)
        text += "hands" + QByteArray::number(code) + " = " + kHandNames[code].toUtf8() + "\r\n";
    writeBytes(QStringLiteral("test.lang"), text);
}

class ComputerPlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        tk::initToolkit();
        writeLanguageFile();
        resetGameState();
        readSettings();
        fillFixedTables();
        GameState& state = game();
        state.langFile = QStringLiteral("test.lang");
        state.vsComputer = 1;
        state.playerCount = 2;
        state.playerNames[1] = QStringLiteral("Anna");
        state.playerNames[2] = QStringLiteral("Computer");
        state.sound = 1;
        tk::setBoxScript([this](const tk::BoxRequest& request) {
            boxes.push_back(request.text);
            return tk::BoxReply{};
        });
    }
    void TearDown() override {
        tk::setIdleHook({});
        tk::setBoxScript({});
        tk::shutdownToolkit();
        dice::seedRandom(0);
    }

    ScopedWorkDir dir;
    std::vector<QString> boxes;
};

// ---- entries: chains, face choice, scratch ------------------------------------

struct ChainCase {
    const char* hand;
    int code;
    std::vector<Entry> thirteenTurns; // the same hand rolled again and again
};

// Each hand's chain from most to fewest points, then its faces by count and
// rank, then a scratch of 13..7 and 5..0 in that order.
const ChainCase kChainCases[] = {
    {"A A A A A",
     1,
     {{13, 5},
      {12, 4},
      {9, 3},
      {8, 2},
      {7, 1},
      {5, 5},
      {11, 0},
      {10, 0},
      {4, 0},
      {3, 0},
      {2, 0},
      {1, 0},
      {0, 0}}},
    {"K K 10 K K",
     2,
     {{12, 4},
      {9, 3},
      {8, 2},
      {7, 1},
      {4, 4},
      {1, 1},
      {13, 0},
      {11, 0},
      {10, 0},
      {5, 0},
      {3, 0},
      {2, 0},
      {0, 0}}},
    {"A 10 10 10 A",
     3,
     {{11, 4},
      {9, 3},
      {8, 2},
      {7, 1},
      {1, 3},
      {5, 2},
      {13, 0},
      {12, 0},
      {10, 0},
      {4, 0},
      {3, 0},
      {2, 0},
      {0, 0}}},
    {"J Q A K 10",
     4,
     {{10, 4},
      {5, 1},
      {4, 1},
      {3, 1},
      {2, 1},
      {1, 1},
      {13, 0},
      {12, 0},
      {11, 0},
      {9, 0},
      {8, 0},
      {7, 0},
      {0, 0}}},
    {"K J J A J",
     5,
     {{9, 3},
      {8, 2},
      {7, 1},
      {2, 3},
      {5, 1},
      {4, 1},
      {13, 0},
      {12, 0},
      {11, 0},
      {10, 0},
      {3, 0},
      {1, 0},
      {0, 0}}},
    {"J K 10 J 10",
     6,
     {{8, 2},
      {7, 1},
      {2, 2},
      {1, 2},
      {4, 1},
      {13, 0},
      {12, 0},
      {11, 0},
      {10, 0},
      {9, 0},
      {5, 0},
      {3, 0},
      {0, 0}}},
    {"A A K Q J",
     7,
     {{7, 1},
      {5, 2},
      {4, 1},
      {3, 1},
      {2, 1},
      {13, 0},
      {12, 0},
      {11, 0},
      {10, 0},
      {9, 0},
      {8, 0},
      {1, 0},
      {0, 0}}},
};

void PrintTo(const ChainCase& hand, std::ostream* out) {
    *out << hand.hand;
}

class ComputerPlayerChainTest : public ComputerPlayerTest,
                                public testing::WithParamInterface<ChainCase> {};

TEST_P(ComputerPlayerChainTest, SameHandThirteenTimesFillsTheColumnInPreferenceOrder) {
    const ChainCase& hand = GetParam();
    buildMainWindow();
    for (const Entry& expected : hand.thirteenTurns) {
        EXPECT_EQ(scriptedComputerTurn(rollOf(hand.hand)), expected);
        EXPECT_EQ(shownDice(), hand.hand);
        EXPECT_EQ(handName(), kHandNames[hand.code]);
    }
    EXPECT_EQ(entries(kComputerColumn).size(), 13u);
}

INSTANTIATE_TEST_SUITE_P(EveryHandCode, ComputerPlayerChainTest, testing::ValuesIn(kChainCases),
                         [](const auto& info) { return "Code" + std::to_string(info.param.code); });

TEST_F(ComputerPlayerTest, RollOfNothingIsNeverEnteredAndTheComputerRollsAgain) {
    buildMainWindow();
    // 9 J Q K A and 9 10 Q K A are nothing; the pair after them is entered.
    const auto draws = rollOf("9 J Q K A") + rollOf("9 10 Q K A") + rollOf("A A K Q J");
    EXPECT_EQ(scriptedComputerTurn(draws), (Entry{7, 1}));
    EXPECT_EQ(shownDice(), "A A K Q J");
    EXPECT_EQ(handName(), kHandNames[7]);
}

// A previewed value is no entry: the computer still finds those cells free
// and enters exactly one value, and the others keep their empty text.
TEST_F(ComputerPlayerTest, PreviewedCellsStayFreeForTheComputer) {
    buildMainWindow();
    dice::scriptRandom(rollOf("K K K K K"));
    rollDice();
    showScorePreview(kComputerColumn);
    EXPECT_EQ(scriptedComputerTurn(rollOf("A A K Q J")), (Entry{7, 1}));
    for (int row = 0; row < kColumnRows; ++row)
        if (row != kBonus && row != 7) {
            EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, row, kComputerColumn), "") << row;
            EXPECT_NE(tk::cellPlaceholder(Gadget::ScoreSheet, row, kComputerColumn), "") << row;
        }
}

// ---- the stronger mode ------------------------------------------------------------

// What the hand-name label was set to, and the dice on view at that moment:
// the computer's display of one roll, including rolls that are rolled again.
struct Display {
    QString handName;
    QString dice;
    bool operator==(const Display&) const = default;
};

void PrintTo(const Display& display, std::ostream* out) {
    *out << display.handName.toStdString() << " [" << display.dice.toStdString() << "]";
}

// Records every display of the computer while it lives. Qt tells the layout
// of a widget's parent at once whenever a child's text changes; the hand name
// is set after the dice, so its change marks a complete display. Must not
// outlive the main window, which owns it.
class DisplayRecorder : public QLayout {
  public:
    DisplayRecorder() : QLayout(tk::gadgetWidget(Gadget::HandNameLabel)->parentWidget()) {
        setSizeConstraint(SetNoConstraint);
    }

    void invalidate() override {
        QLayout::invalidate();
        const QString name = handName();
        if (name == lastName_)
            return;
        lastName_ = name;
        if (!name.isEmpty())
            displays.push_back({name, shownDice()});
    }
    void addItem(QLayoutItem*) override {}
    int count() const override { return 0; }
    QLayoutItem* itemAt(int) const override { return nullptr; }
    QLayoutItem* takeAt(int) override { return nullptr; }
    QSize sizeHint() const override { return {}; }

    std::vector<Display> displays;

  private:
    QString lastName_;
};

struct StrongerCase {
    const char* name;
    const char* roll;
    std::vector<int> draws; // three boost draws, then the example's variant
    std::vector<int> preFilled;
    const char* shown;
    int code;
    Entry entry;
};

const StrongerCase kStrongerCases[] = {
    {"PairBecomesTrips", "A A K Q J", {1, 1, 0, 3}, {}, "Q Q Q A K", 5, {9, 3}},
    {"FourKeptShowsTen", "9 9 9 9 A", {1, 5, 5, 2}, {}, "K K 10 K K", 2, {12, 4}},
    {"FacesOfTheExample", "9 9 9 9 A", {1, 5, 5, 2}, {12, 9, 8, 7}, "K K 10 K K", 2, {4, 4}},
    {"NothingBecomesStraight", "9 J Q K A", {0, 4, 4, 4}, {}, "9 Q 10 J K", 4, {10, 4}},
};

void PrintTo(const StrongerCase& example, std::ostream* out) {
    *out << example.name;
}

class ComputerPlayerStrongerTest : public ComputerPlayerTest,
                                   public testing::WithParamInterface<StrongerCase> {};

TEST_P(ComputerPlayerStrongerTest, ShowsAnExampleOfTheImprovedHandDieByDie) {
    const StrongerCase& example = GetParam();
    game().strongerCPU = 1;
    buildMainWindow();
    preFill(example.preFilled);
    EXPECT_EQ(scriptedComputerTurn(rollOf(example.roll) + example.draws), example.entry);
    EXPECT_EQ(shownDice(), example.shown);
    EXPECT_EQ(handName(), kHandNames[example.code]);
}

INSTANTIATE_TEST_SUITE_P(Examples, ComputerPlayerStrongerTest, testing::ValuesIn(kStrongerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComputerPlayerTest, StrongerModeBlanksTheDiceOfAnUnimprovedNothingBeforeRollingAgain) {
    game().strongerCPU = 1;
    buildMainWindow();
    DisplayRecorder recorder;
    const auto draws = rollOf("9 J Q K A") + std::vector{1, 1, 1, 0} + rollOf("A A K Q J") +
                       std::vector{1, 1, 1, 1};
    EXPECT_EQ(scriptedComputerTurn(draws), (Entry{7, 1}));
    const std::vector<Display> expected = {{kHandNames[0], "    "}, {kHandNames[7], "K K 10 Q A"}};
    EXPECT_EQ(recorder.displays, expected);
}

// Only the value 1 turns the stronger mode on; 2, as a hand-edited file may
// hold, plays the rolled dice.
TEST_F(ComputerPlayerTest, OnlyStrongerOneImprovesTheHand) {
    struct Case {
        int strongerCPU;
        const char* shown;
        Entry entry;
    };
    for (const Case& mode : {Case{0, "A A K Q J", {7, 1}}, Case{1, "K J J A J", {9, 3}},
                             Case{2, "A A K Q J", {7, 1}}}) {
        SCOPED_TRACE(mode.strongerCPU);
        game().strongerCPU = mode.strongerCPU;
        buildMainWindow();
        // The draws after the roll would make trips if the hand were improved.
        EXPECT_EQ(scriptedComputerTurn(rollOf("A A K Q J") + std::vector{0, 0, 0, 0}), mode.entry);
        EXPECT_EQ(shownDice(), mode.shown);
        closeMainWindow();
    }
}

// Thirteen computer turns on a fresh sheet, with every display they showed.
std::vector<Display> playComputerColumn() {
    DisplayRecorder recorder;
    for (int turn = 0; turn < 13; ++turn) {
        clearDice();
        tk::setGadgetText(Gadget::HandNameLabel, QString());
        computerTurn();
    }
    EXPECT_EQ(entries(kComputerColumn).size(), 13u);
    EXPECT_FALSE(recorder.displays.empty());
    if (!recorder.displays.empty()) {
        EXPECT_EQ(recorder.displays.back().dice, shownDice()) << "the last display stays";
    }
    return recorder.displays;
}

// Seeded games: every display of the stronger computer is one of the 35
// examples of the hand it names, one face per die, or blank for a nothing.
TEST_F(ComputerPlayerTest, StrongerDisplaysAreAlwaysExamplesOfTheNamedHand) {
    std::map<int, std::set<QString>> examples;
    for (int code = 1; code < kHandCodeCount; ++code)
        for (int variant = 0; variant < 5; ++variant)
            examples[code].insert(game().exampleHands[code][variant]);
    game().strongerCPU = 1;
    dice::seedRandom(20240611);
    int blanks = 0;
    for (int round = 0; round < 8; ++round) {
        buildMainWindow();
        for (const Display& display : playComputerColumn()) {
            SCOPED_TRACE(testing::PrintToString(display));
            const int code = static_cast<int>(kHandNames.indexOf(display.handName));
            ASSERT_GE(code, 0);
            if (code == 0) {
                ++blanks;
                EXPECT_EQ(display.dice, "    ");
                continue;
            }
            const QStringList dice = display.dice.split(u' ');
            for (const QString& face : dice)
                EXPECT_TRUE(kFaceByDraw.contains(face));
            EXPECT_TRUE(examples[code].contains(dice.join(QString())));
        }
        closeMainWindow();
    }
    EXPECT_GT(blanks, 0) << "a longer run is needed to see a nothing rolled again";
}

// ---- hand names -------------------------------------------------------------------

TEST_F(ComputerPlayerTest, HandNameComesFromTheLanguageFileElseFromTheSettings) {
    writeBytes(QStringLiteral("settings.ini"), "hands7 = Two alike\r\nhands5 = Three alike\r\n");
    writeBytes(QStringLiteral("partial.lang"), "hands5 = Drilling\r\n");
    readSettings();
    struct Case {
        const char* langFile;
        const char* roll;
        const char* name;
    };
    for (const Case& lang : {Case{"test.lang", "A A K Q J", "One pair"},
                             Case{"partial.lang", "A A K Q J", "Two alike"},
                             Case{"partial.lang", "K J J A J", "Drilling"},
                             Case{"missing.lang", "K J J A J", "Three alike"},
                             Case{"missing.lang", "J K 10 J 10", ""}}) {
        SCOPED_TRACE(lang.langFile);
        game().langFile = QString::fromLatin1(lang.langFile);
        buildMainWindow();
        scriptedComputerTurn(rollOf(lang.roll));
        EXPECT_EQ(handName(), lang.name);
        closeMainWindow();
    }
}

// ---- whole games through the main window ----------------------------------------

// Plays the person through the real controls from the idle hook: two rolls,
// then a click on the first free cell of column 1. Every step is followed by
// an empty event, so the loop comes back here once it has handled the step.
class PersonDriver {
  public:
    // Called once the person's click has been handled, with its time.
    std::function<void(qint64 milliseconds)> afterChoice;
    bool finished = false;
    int steps = 0;
    bool keys = false; // plays with key presses alone: Ctrl+R, Return, Ctrl+Q

    void step() {
        QCoreApplication::processEvents(); // lets Qt lay out and paint the last step
        if (clock_.isValid()) {
            if (afterChoice)
                afterChoice(clock_.elapsed());
            clock_.invalidate();
        }
        if (finished && keys) {
            pressKey(Window::Main, Qt::Key_Q, Qt::ControlModifier);
            return;
        }
        if (finished || ++steps > kMaxSteps) {
            EXPECT_LE(steps, kMaxSteps) << "the game did not end";
            tk::postEvent({tk::EventKind::CloseRequest, Window::Main, -1, -1, tk::ClickKind::None});
            return;
        }
        if (sheet()->isEnabled())
            keys ? chooseByKey() : chooseFreeRow();
        else if (tk::gadgetWidget(Gadget::RollButton)->isEnabled())
            roll();
        tk::postEvent({});
    }

  private:
    static constexpr int kMaxSteps = 2000;

    static QTableWidget* sheet() {
        return static_cast<QTableWidget*>(tk::gadgetWidget(Gadget::ScoreSheet));
    }

    static int firstFreeRow() {
        for (int row = 0; row <= kTotal; ++row)
            if (tk::cellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, 1) ==
                tk::kNoColour)
                return row;
        ADD_FAILURE() << "the sheet was enabled with no free cell";
        return -1;
    }

    void roll() const {
        QWidget* button = tk::gadgetWidget(Gadget::RollButton);
        if (!keys)
            return QTest::mouseClick(button, Qt::LeftButton);
        // Between turns the focus is back on the roll button.
        if (!tk::gadgetWidget(Gadget::HoldAllButton)->isEnabled()) {
            EXPECT_EQ(QApplication::focusWidget(), button);
        }
        pressKey(Window::Main, Qt::Key_R, Qt::ControlModifier);
    }

    void chooseFreeRow() {
        const QModelIndex cell = sheet()->model()->index(firstFreeRow(), 1);
        sheet()->scrollTo(cell);
        clock_.start();
        QTest::mouseClick(sheet()->viewport(), Qt::LeftButton, {},
                          sheet()->visualRect(cell).center());
    }

    // The second roll has put the focus on the first free row already.
    void chooseByKey() {
        EXPECT_EQ(QApplication::focusWidget(), sheet());
        EXPECT_EQ(tk::gadgetState(Gadget::ScoreSheet), firstFreeRow());
        clock_.start();
        pressKey(Window::Main, Qt::Key_Return);
    }

    QElapsedTimer clock_;
};

struct GameEnd {
    QString message;
    int personEntries;
    int computerEntries;
    std::size_t computerCells;
};

// Normal or stronger computer; the person with the mouse or with keys alone.
class ComputerPlayerGameTest : public ComputerPlayerTest,
                               public testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(ComputerPlayerGameTest, EndsOnceAfterTheComputersThirteenthEntry) {
    const auto [stronger, keys] = GetParam();
    game().strongerCPU = stronger;
    dice::seedRandom(77 + stronger);
    PersonDriver person;
    person.keys = keys;
    std::vector<GameEnd> ends;
    tk::setBoxScript([&](const tk::BoxRequest& request) {
        ends.push_back({request.text, game().filledCount[1], game().filledCount[2],
                        entries(kComputerColumn).size()});
        person.finished = true;
        return tk::BoxReply{};
    });
    tk::setIdleHook([&person] { person.step(); });
    runMainWindow();

    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].personEntries, 13);
    EXPECT_EQ(ends[0].computerEntries, 13);
    EXPECT_EQ(ends[0].computerCells, 13u);
    EXPECT_EQ(entries(1).size(), 13u);
    const int personTotal = tk::cellText(Gadget::ScoreSheet, kTotal, 1).toInt();
    const int computerTotal = tk::cellText(Gadget::ScoreSheet, kTotal, 2).toInt();
    const QString expected = personTotal == computerTotal ? QStringLiteral("Level!")
                             : personTotal > computerTotal
                                 ? QStringLiteral("Anna takes the game")
                                 : QStringLiteral("Computer takes the game");
    EXPECT_EQ(ends[0].message, expected);

    ASSERT_GT(personTotal, 0);
    ASSERT_GT(computerTotal, 0) << "the computer's total would enter an empty table";
    const HighScoreTable table = loadHighScores(QStringLiteral("highscores.dat"));
    EXPECT_EQ(table[0],
              (HighScoreEntry{QStringLiteral("Anna"), static_cast<std::int16_t>(personTotal)}));
    for (const HighScoreEntry& entry : table)
        EXPECT_NE(entry.name.toString(), "Computer");
}

INSTANTIATE_TEST_SUITE_P(NormalAndStronger, ComputerPlayerGameTest,
                         testing::Combine(testing::Values(0, 1), testing::Bool()));

// Runs one turn of the person and the computer: the time from the person's
// click to the loop's next wait, and what the window showed when a timer
// set off by that click at half the delay ran. Qt runs the timer within the
// computer's pause, or once the turn is over where there is none.
struct TimedTurn {
    qint64 milliseconds = -1;
    QString diceMidway;
    QString handNameMidway;
};

TimedTurn timeComputerTurn(int delay) {
    game().delay = delay;
    TimedTurn timed;
    PersonDriver person;
    person.afterChoice = [&](qint64 milliseconds) {
        timed.milliseconds = milliseconds;
        person.finished = true;
    };
    QObject timerOwner;
    tk::setIdleHook([&] {
        const bool choosing = tk::gadgetWidget(Gadget::ScoreSheet)->isEnabled();
        person.step();
        if (choosing)
            QTimer::singleShot(std::max(delay / 2, 0), &timerOwner, [&] {
                timed.diceMidway = shownDice();
                timed.handNameMidway = handName();
            });
    });
    runMainWindow();
    return timed;
}

TEST_F(ComputerPlayerTest, ComputersHandStaysOnViewForTheDelay) {
    dice::seedRandom(5);
    const TimedTurn timed = timeComputerTurn(300);
    EXPECT_GE(timed.milliseconds, 300);
    EXPECT_EQ(timed.diceMidway.split(u' ', Qt::SkipEmptyParts).size(), 5);
    EXPECT_FALSE(timed.handNameMidway.isEmpty());
    EXPECT_EQ(shownDice(), "    ") << "the dice are cleared after the pause";
    EXPECT_EQ(entries(kComputerColumn).size(), 1u);
}

TEST_F(ComputerPlayerTest, NegativeDelaysDoNotPause) {
    for (int delay : {-5, -100000}) {
        SCOPED_TRACE(delay);
        const TimedTurn timed = timeComputerTurn(delay);
        EXPECT_EQ(timed.diceMidway, "    ") << "the timer ran within a pause";
        EXPECT_TRUE(timed.handNameMidway.isEmpty());
        EXPECT_EQ(entries(kComputerColumn).size(), 1u);
        closeMainWindow();
    }
}

TEST(ComputerPlayerPause, IsTheDelayCappedToZeroAndFiveSeconds) {
    const std::pair<int, int> cases[] = {{-100000, 0},  {-5, 0},           {0, 0},
                                         {300, 300},    {5000, 5000},      {5001, 5000},
                                         {60000, 5000}, {1000000000, 5000}};
    for (const auto& [delay, pause] : cases)
        EXPECT_EQ(computerPause(delay), pause) << delay;
}

} // namespace
