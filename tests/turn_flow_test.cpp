#include "game/turn_flow.h"
#include "gui_support.h"
#include "rules/game_state.h"
#include "rules/random.h"
#include "rules/rules.h"
#include "store/high_score_file.h"
#include "test_support.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QPointer>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <random>
#include <tuple>

namespace {

const QByteArray kEnglish = "win = wins!\r\ntie = A tie!\r\nNewGame = New game\r\n"
                            "NewGameDesc = Start again?\r\nroll = Roll\r\nhands0 = Nothing\r\n"
                            "hands1 = Five alike\r\nhands2 = Four alike\r\nhands3 = Full house\r\n"
                            "hands4 = Straight\r\nhands5 = Trips\r\nhands6 = Two pair\r\n"
                            "hands7 = Pair\r\n";
const QByteArray kGerman = "roll = Wuerfeln\r\nhands2 = Vierling\r\nhands3 = Full House\r\n"
                           "computerMove = Zug des Computers: %1, %2\r\n";

const QStringList kFaces = {"A", "K", "Q", "J", "10", "9"}; // in the order random() picks them
constexpr int kCategoryRows[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13};
constexpr int kFilled = 0x3366FF;    // red 255, green 102, blue 51
constexpr int kHighlight = 0xFFFF66; // red 102, green 255, blue 255
const QStringList kStraight = {"9", "10", "J", "Q", "K"};

QStringList hand(const char* spaced) {
    return QString::fromLatin1(spaced).split(u' ');
}

void scriptDice(const QStringList& faces) {
    std::vector<int> values;
    for (const QString& face : faces)
        values.push_back(static_cast<int>(kFaces.indexOf(face)));
    dice::scriptRandom(values);
}

QStringList diceFaces() {
    QStringList faces;
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        faces << tk::gadgetText(die);
    return faces;
}

std::vector<int> heldDice() {
    std::vector<int> held;
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        held.push_back(tk::gadgetState(die));
    return held;
}

bool enabled(int gadget) {
    return tk::gadgetWidget(gadget)->isEnabled();
}

QTableWidget* sheet() {
    return qobject_cast<QTableWidget*>(tk::gadgetWidget(Gadget::ScoreSheet));
}

// What a cell tells beside its text: its tooltip and accessible description.
QStringList cellWords(int row, int column) {
    const QTableWidgetItem* item = sheet()->item(row, column);
    return {item->toolTip(), item->data(Qt::AccessibleDescriptionRole).toString()};
}

// Cells of the sheet with a frame, as (row, column).
std::vector<std::pair<int, int>> framedCells() {
    std::vector<std::pair<int, int>> framed;
    for (int row = 0; row <= kTotalRow; ++row)
        for (int column = 0; column <= game().playerCount; ++column)
            if (tk::cellFrame(Gadget::ScoreSheet, row, column) != tk::kNoColour)
                framed.emplace_back(row, column);
    return framed;
}

// Each free category cell of the column previews what the dice would enter
// there, as the rule values them, and keeps its text empty; others preview
// nothing.
void expectPreview(int column, const QString& joined) {
    for (int row : kCategoryRows) {
        const bool free = tk::cellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background,
                                         column) == tk::kNoColour;
        const QString value =
            free ? QString::number(categoryValue(row, classifyHand(joined), joined)) : QString();
        EXPECT_EQ(tk::cellPlaceholder(Gadget::ScoreSheet, row, column), value) << "row " << row;
        if (free) {
            EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, row, column), "") << "row " << row;
            EXPECT_EQ(cellWords(row, column), QStringList(2, "Would score " + value));
        }
    }
}

// The entry is seen in the filled colour itself, not under a selection tint.
void expectUntintedEntry(int row, int column) {
    const QRect cell = sheet()->visualRect(sheet()->model()->index(row, column));
    const QImage picture = sheet()->viewport()->grab(cell).toImage();
    EXPECT_EQ(picture.pixelColor(cell.width() - 3, cell.height() / 2), QColor(255, 102, 51));
}

// Clicks through the window system, as a person's click arrives.
void clickAt(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), button, {}, widget->mapTo(top, at));
}

void clickGadget(int number) {
    QWidget* widget = tk::gadgetWidget(number);
    ASSERT_NE(widget, nullptr) << "gadget " << number;
    clickAt(widget, widget->rect().center());
}

void clickRow(int row, Qt::MouseButton button = Qt::LeftButton) {
    clickAt(sheet()->viewport(), sheet()->visualRect(sheet()->model()->index(row, 1)).center(),
            button);
}

void clickRightOfTheColumns(int row) {
    const int lastColumn = sheet()->columnCount() - 1;
    const int x =
        sheet()->columnViewportPosition(lastColumn) + sheet()->columnWidth(lastColumn) + 1;
    ASSERT_LT(x, sheet()->viewport()->width());
    clickAt(sheet()->viewport(),
            {x, sheet()->visualRect(sheet()->model()->index(row, 0)).center().y()});
}

void pressCloseBox() {
    tk::windowWidget(Window::Main)->close();
}

void postMenu(int id) {
    tk::postEvent({tk::EventKind::Menu, Window::Main, -1, id, {}});
}

struct Cell {
    QString text;
    int colour;
    bool operator==(const Cell&) const = default;
};
using Sheet = std::vector<std::vector<Cell>>; // [row][column]

void PrintTo(const Cell& cell, std::ostream* out) {
    *out << '"' << cell.text.toStdString() << "\" " << std::hex << cell.colour << std::dec;
}

// The players' columns only, without the row labels.
Sheet scores(Sheet cells) {
    for (auto& row : cells)
        row.erase(row.begin());
    return cells;
}

Sheet readSheet() {
    Sheet cells(kTotalRow + 1);
    for (int row = 0; row <= kTotalRow; ++row)
        for (int column = 0; column <= game().playerCount; ++column)
            cells[row].push_back(
                {tk::cellText(Gadget::ScoreSheet, row, column),
                 tk::cellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, column)});
    return cells;
}

int sumOfRows(const Sheet& cells, int column, int first, int last) {
    int sum = 0;
    for (int row = first; row <= last; ++row)
        sum += cells[row][column].text.toInt();
    return sum;
}

// Checks the bonus and total rules on one column of the sheet.
void expectBonusAndTotal(const Sheet& cells, int column) {
    const bool bonus = sumOfRows(cells, column, 0, 5) >= 15;
    EXPECT_EQ(cells[kBonusRow][column], (Cell{bonus ? "3" : "", kHighlight}))
        << "column " << column;
    EXPECT_EQ(cells[kTotalRow][column].text, QString::number(sumOfRows(cells, column, 0, 13)));
}

// Drives the game from the event loop's idle moments: each time the queue runs
// dry the next step runs. Boxes are answered from `answer` and remembered.
class Driver {
  public:
    Driver() {
        tk::setIdleHook([this] { idle(); });
        tk::setBoxScript([this](const tk::BoxRequest& request) {
            boxes.push_back(request);
            return tk::BoxReply{answer, {}};
        });
    }
    ~Driver() {
        tk::setIdleHook({});
        tk::setBoxScript({});
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void then(std::function<void()> step) { steps_.push_back(std::move(step)); }
    // Runs the main window; the last step must end its loop.
    void run() {
        runMainWindow();
        EXPECT_TRUE(steps_.empty()) << steps_.size() << " steps never ran";
    }
    // Adds the steps and runs them, ending with the window's close box.
    void runAndClose() {
        then(pressCloseBox);
        run();
    }
    // Adds the steps and runs them, ending with the Exit key.
    void runAndExitByKey() {
        then([] { pressKey(Window::Main, Qt::Key_Q, Qt::ControlModifier); });
        run();
    }

    std::vector<tk::BoxRequest> boxes;
    tk::Answer answer = tk::Answer::Yes;

  private:
    void idle() {
        if (steps_.empty()) {
            ADD_FAILURE() << "the event loop went on after its last step";
            if (++overruns_ > 3)
                std::abort();
            postMenu(Menu::Exit);
            return;
        }
        // Let the window become active and paint, as a person would see it.
        QCoreApplication::processEvents();
        const std::function<void()> step = std::move(steps_.front());
        steps_.pop_front();
        step();
        // A step that caused no event must not leave the loop asleep.
        tk::postEvent({tk::EventKind::None, -1, -1, -1, {}});
    }

    std::deque<std::function<void()>> steps_;
    int overruns_ = 0;
};

// One person's turn: the dice left by two rolls, which dice are held between
// them, the row clicked and, when known beforehand, the value it receives.
struct TurnPlan {
    int player;
    int row;
    QStringList first;           // faces of the first roll; empty: the seeded generator
    QStringList second;          // faces given to the dice not held at the second roll
    std::vector<int> holds;      // dice clicked between the rolls
    bool holdAll = false;        // the hold-all button pressed between the rolls
    std::optional<int> expected; // otherwise the rules' value of the final dice
};

class TurnFlowTest : public testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        fillFixedTables();
        tk::initToolkit();
        writeBytes("en.lang", kEnglish);
        writeBytes("de.lang", kGerman);
        game().langFile = "en.lang";
    }
    void TearDown() override { tk::shutdownToolkit(); }

    static void setPlayers(const QStringList& names) {
        game().playerCount = static_cast<int>(names.size());
        for (int player = 1; player <= game().playerCount; ++player)
            game().playerNames[player] = names[player - 1];
    }

    // A person's input: mouse clicks, or with keys_ set key presses alone.
    void pressRoll() const {
        if (keys_)
            pressKey(Window::Main, Qt::Key_R, Qt::ControlModifier);
        else
            clickGadget(Gadget::RollButton);
    }
    void toggleDie(int die) const {
        if (keys_)
            pressKey(Window::Main, static_cast<Qt::Key>(Qt::Key_0 + die));
        else
            clickGadget(die);
    }
    // By keys: from the roll button one Tab on, Space, and back.
    void pressHoldAll() const {
        if (!keys_)
            return clickGadget(Gadget::HoldAllButton);
        pressKey(Window::Main, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), tk::gadgetWidget(Gadget::HoldAllButton));
        pressKey(Window::Main, Qt::Key_Space);
        pressKey(Window::Main, Qt::Key_Tab, Qt::ShiftModifier);
    }
    // By keys: Up or Down to the row, then Return, Enter or Space in turn.
    void chooseRow(int row) {
        if (!keys_)
            return clickRow(row);
        EXPECT_EQ(QApplication::focusWidget(), sheet());
        for (int at = tk::gadgetState(Gadget::ScoreSheet); at != row;
             at = tk::gadgetState(Gadget::ScoreSheet))
            pressKey(Window::Main, at < row ? Qt::Key_Down : Qt::Key_Up);
        const std::pair<Qt::Key, Qt::KeyboardModifiers> choices[] = {
            {Qt::Key_Return, {}}, {Qt::Key_Enter, Qt::KeypadModifier}, {Qt::Key_Space, {}}};
        const auto& [key, modifiers] = choices[choiceKey_++ % std::size(choices)];
        pressKey(Window::Main, key, modifiers);
    }

    // With keys, the sheet takes the focus at the player's first free row.
    void expectPhaseC(int player) const {
        EXPECT_FALSE(enabled(Gadget::RollButton));
        EXPECT_FALSE(enabled(Gadget::HoldAllButton));
        EXPECT_TRUE(enabled(Gadget::ScoreSheet));
        if (!keys_)
            return;
        const Sheet cells = readSheet();
        const auto free = std::ranges::find_if(
            cells, [player](const auto& row) { return row[player].colour == tk::kNoColour; });
        EXPECT_EQ(tk::gadgetState(Gadget::ScoreSheet),
                  free == cells.end() ? -1 : free - cells.begin());
        EXPECT_EQ(QApplication::focusWidget(), sheet());
    }

    void expectPhaseA(int player) {
        if (keys_) {
            EXPECT_EQ(QApplication::focusWidget(), tk::gadgetWidget(Gadget::RollButton));
        }
        EXPECT_EQ(tk::gadgetText(Gadget::PlayerLabel), game().playerNames[player]);
        EXPECT_TRUE(enabled(Gadget::RollButton));
        EXPECT_FALSE(enabled(Gadget::HoldAllButton));
        EXPECT_EQ(tk::gadgetState(Gadget::HoldAllButton), 0);
        EXPECT_FALSE(enabled(Gadget::ScoreSheet));
        EXPECT_EQ(diceFaces(), QStringList(5, QString()));
        EXPECT_EQ(heldDice(), std::vector<int>(5, 0));
        EXPECT_EQ(tk::gadgetText(Gadget::HandNameLabel), "");
        for (int column = 0; column <= game().playerCount; ++column)
            EXPECT_EQ(sheet()->horizontalHeaderItem(column)->font().bold(), column == player);
    }

    // Adds the steps of one turn, each checked as it goes.
    void playTurn(Driver& driver, const TurnPlan& plan) {
        driver.then([this, plan] {
            expectPhaseA(plan.player);
            if (!plan.first.isEmpty())
                scriptDice(plan.first + plan.second);
            pressRoll();
        });
        driver.then([this, plan] {
            EXPECT_TRUE(enabled(Gadget::HoldAllButton));
            EXPECT_FALSE(enabled(Gadget::ScoreSheet));
            if (!plan.first.isEmpty()) {
                EXPECT_EQ(diceFaces(), plan.first);
            }
            afterFirstRoll_ = diceFaces();
            for (int die : plan.holds)
                toggleDie(die);
            if (plan.holdAll)
                pressHoldAll();
        });
        roll(driver);
        driver.then([this, plan] {
            const QStringList faces = diceFaces();
            for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die) {
                if (plan.holdAll || std::ranges::count(plan.holds, die) % 2 == 1) {
                    EXPECT_EQ(faces[die - 1], afterFirstRoll_[die - 1]) << "held die " << die;
                }
            }
            expectPhaseC(plan.player);
            const QString joined = faces.join(QString());
            expectPreview(plan.player, joined);
            expected_ =
                plan.expected.value_or(categoryValue(plan.row, classifyHand(joined), joined));
            before_ = readSheet();
            chooseRow(plan.row);
        });
        driver.then([this, plan] { expectEntry(plan.player, plan.row); });
    }

    // A click on the roll button, the dice not held getting `faces` when given.
    void roll(Driver& driver, const QStringList& faces = {}) const {
        driver.then([this, faces] {
            if (!faces.isEmpty())
                scriptDice(faces);
            pressRoll();
        });
    }

    // A click on `row` that must enter `value` for `player`.
    void enter(Driver& driver, int player, int row, int value) {
        driver.then([this, row, value] {
            before_ = readSheet();
            expected_ = value;
            chooseRow(row);
        });
        driver.then([this, player, row] { expectEntry(player, row); });
    }

    // A click that must change nothing: no entry, no turn passed.
    void refuse(Driver& driver, std::function<void()> click) {
        driver.then([this, click = std::move(click)] {
            before_ = readSheet();
            label_ = tk::gadgetText(Gadget::PlayerLabel);
            click();
        });
        driver.then([this] {
            EXPECT_EQ(readSheet(), before_);
            EXPECT_EQ(tk::gadgetText(Gadget::PlayerLabel), label_);
            EXPECT_EQ(game().filledCount, entries_);
        });
    }

    // Exactly the chosen cell became filled, with the bonus and total rules kept.
    void expectEntry(int player, int row) {
        const Sheet after = readSheet();
        EXPECT_EQ(after[row][player], (Cell{QString::number(expected_), kFilled}))
            << "row " << row << " player " << player;
        for (int r = 0; r <= kTotalRow; ++r)
            for (int c = 0; c <= game().playerCount; ++c) {
                const bool changes = c == player && (r == row || r == kBonusRow || r == kTotalRow);
                if (!changes) {
                    EXPECT_EQ(after[r][c], before_[r][c]) << "row " << r << " column " << c;
                }
            }
        expectBonusAndTotal(after, player);
        EXPECT_EQ(game().filledCount[player], ++entries_[player]);
        EXPECT_EQ(tk::gadgetState(Gadget::ScoreSheet), -1) << "a row stays selected";
        expectUntintedEntry(row, player);
        for (int r : kCategoryRows)
            EXPECT_EQ(tk::cellPlaceholder(Gadget::ScoreSheet, r, player), "") << "row " << r;
    }

    // The end of a game: a full sheet, the result box and the high scores.
    void expectGameOver(const Driver& driver) {
        const Sheet cells = readSheet();
        std::vector<int> totals;
        for (int player = 1; player <= game().playerCount; ++player) {
            for (int row : kCategoryRows)
                EXPECT_EQ(cells[row][player].colour, kFilled) << "row " << row;
            expectBonusAndTotal(cells, player);
            EXPECT_EQ(game().filledCount[player], 13);
            totals.push_back(cells[kTotalRow][player].text.toInt());
        }
        const auto best = std::ranges::max_element(totals);
        const bool tie = std::ranges::count(totals, *best) > 1;
        const QString name = game().playerNames[best - totals.begin() + 1];
        ASSERT_EQ(driver.boxes.size(), 1u);
        EXPECT_EQ(driver.boxes[0].kind, tk::BoxRequest::Kind::Message);
        EXPECT_EQ(driver.boxes[0].title, "");
        EXPECT_EQ(driver.boxes[0].buttons, tk::Buttons::Ok);
        EXPECT_EQ(driver.boxes[0].text, tie ? QString("A tie!") : name + " wins!");
        const HighScoreTable table = loadHighScores("highscores.dat");
        for (int player = 1; player <= game().playerCount; ++player) {
            const HighScoreEntry entry{game().playerNames[player],
                                       static_cast<std::int16_t>(totals[player - 1])};
            EXPECT_NE(std::ranges::find(table, entry), table.end())
                << entry.name.toString().toStdString();
        }
    }

    // After the end, rolling still works twice but no cell takes an entry.
    void expectNoEntryAfterTheEnd(Driver& driver) {
        roll(driver);
        roll(driver);
        driver.then([] {
            EXPECT_NE(diceFaces(), QStringList(5, QString()));
            EXPECT_TRUE(enabled(Gadget::ScoreSheet));
        });
        refuse(driver, [this] { chooseRow(0); });
        driver.then([&driver] { EXPECT_EQ(driver.boxes.size(), 1u); });
    }

    // Plays every turn of a game whose dice come from the seeded generator,
    // each player taking the categories in an order of its own.
    void playSeededGame(const QStringList& names, quint64 seed) {
        setPlayers(names);
        dice::seedRandom(seed);
        std::mt19937 choices(static_cast<unsigned>(seed));
        std::vector<std::vector<int>> orders;
        for (int player = 1; player <= game().playerCount; ++player) {
            orders.emplace_back(std::begin(kCategoryRows), std::end(kCategoryRows));
            std::ranges::shuffle(orders.back(), choices);
        }
        Driver driver;
        for (int turn = 0; turn < 13; ++turn)
            for (int player = 1; player <= game().playerCount; ++player) {
                TurnPlan plan{player, orders[player - 1][turn], {}, {}, {}, false, std::nullopt};
                for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
                    if (choices() % 3 == 0)
                        plan.holds.push_back(die);
                plan.holdAll = choices() % 7 == 0;
                playTurn(driver, plan);
            }
        driver.then([this, &driver] { expectGameOver(driver); });
        expectNoEntryAfterTheEnd(driver);
        if (keys_)
            driver.runAndExitByKey();
        else
            driver.runAndClose();
    }

    ScopedWorkDir dir_;
    bool keys_ = false;
    int choiceKey_ = 0;
    Sheet before_;
    QString label_;
    QStringList afterFirstRoll_;
    int expected_ = 0;
    std::array<int, kMaxPlayers + 1> entries_{};
};

// ---- whole games -------------------------------------------------------------

// Player 2 takes every category at its best (56 points with the bonus); player 1
// gets two of each face and then hands that miss their category.
TEST_F(TurnFlowTest, TwoPeoplePlayAScriptedGameToTheEnd) {
    setPlayers({"Ann", "Bea"});
    struct Choice {
        int row;
        const char* weak;
        int weakValue;
        const char* best;
        int bestValue;
    };
    const Choice choices[] = {
        {0, "9 9 A K Q", 2, "9 9 9 9 9", 5},  {1, "10 10 A K Q", 2, "10 10 10 10 10", 5},
        {2, "J J A K Q", 2, "J J J J J", 5},  {3, "Q Q A K J", 2, "Q Q Q Q Q", 5},
        {4, "K K A Q J", 2, "K K K K K", 5},  {5, "A A K Q J", 2, "A A A A A", 5},
        {7, "A A K Q J", 1, "A A K Q J", 1},  {8, "9 10 J Q A", 0, "A A K K Q", 2},
        {9, "A A K K Q", 0, "A A A K Q", 3},  {10, "10 J Q K K", 0, "K 9 J 10 Q", 4},
        {11, "A A A A K", 0, "A A A K K", 4}, {12, "A A A K K", 0, "A A A A K", 4},
        {13, "A A A A K", 0, "K K K K K", 5},
    };
    const QStringList decoy = hand("9 10 9 10 9");
    Driver driver;
    bool holdAll = false;
    for (const Choice& choice : choices) {
        for (const auto& [player, spaced, value] :
             {std::tuple{1, choice.weak, choice.weakValue}, {2, choice.best, choice.bestValue}}) {
            // Alternate turns hold all dice after a first roll that is already final.
            holdAll = !holdAll;
            const QStringList faces = hand(spaced);
            playTurn(driver, {player,
                              choice.row,
                              holdAll ? faces : decoy,
                              holdAll ? decoy : faces,
                              {},
                              holdAll,
                              value});
        }
    }
    driver.then([this, &driver] {
        expectGameOver(driver);
        EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, kTotalRow, 1), "13");
        EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, kTotalRow, 2), "56");
        EXPECT_EQ(driver.boxes.at(0).text, "Bea wins!");
    });
    expectNoEntryAfterTheEnd(driver);
    driver.runAndClose();
}

// The player label names players 1, 2, 3, 1, ... (checked before every turn).
TEST_F(TurnFlowTest, ThreePeoplePlayASeededGameInTurnOrder) {
    playSeededGame({"Ann", "Bea", "Cy"}, 7);
}

TEST_F(TurnFlowTest, FourPeoplePlayASeededGameInTurnOrder) {
    playSeededGame({"Ann", "Bea", " Cy ", "Dan"}, 2024);
}

// Ctrl+R, the digit keys, Tab and Space to hold all, the arrows and Return,
// Enter or Space on the sheet, and Ctrl+Q at the end: not one click.
TEST_F(TurnFlowTest, TwoPeoplePlayASeededGameWithKeysAlone) {
    keys_ = true;
    playSeededGame({"Ann", "Bea"}, 99);
}

// Every player has only "5 of a Kind" left; a straight enters 0 there,
// so the totals are the values placed in "Two Pair" beforehand.
TEST_F(TurnFlowTest, EndOfGameNamesTheWinnerOrATie) {
    const struct {
        std::vector<int> totals;
        QString message;
    } cases[] = {
        {{50, 50}, "A tie!"},
        {{50, 60, 60}, "A tie!"},
        {{60, 60, 70}, "Cy wins!"},
        {{70, 60, 60}, "Ann wins!"},
    };
    for (const auto& [totals, message] : cases) {
        setPlayers(QStringList{"Ann", "Bea", "Cy"}.first(static_cast<qsizetype>(totals.size())));
        entries_.fill(12);
        Driver driver;
        driver.then([&totals] {
            for (int player = 1; player <= game().playerCount; ++player) {
                for (int row : kCategoryRows)
                    if (row != 13) {
                        const int value = row == 8 ? totals[player - 1] : 0;
                        tk::setCellText(Gadget::ScoreSheet, row, player, QString::number(value));
                        tk::setCellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background,
                                          kFilled, player);
                    }
                game().filledCount[player] = 12;
            }
        });
        for (int player = 1; player <= game().playerCount; ++player)
            playTurn(driver, {player, 13, kStraight, kStraight, {}, false, 0});
        driver.then([this, &driver, &message] {
            expectGameOver(driver);
            EXPECT_EQ(driver.boxes.at(0).text, message);
        });
        driver.runAndClose();
        QFile::remove("highscores.dat");
    }
}

// ---- one turn ------------------------------------------------------------------

TEST_F(TurnFlowTest, EveryTurnHasExactlyTwoRolls) {
    setPlayers({"Ann", "Bea"});
    Driver driver;
    driver.then([this] { expectPhaseA(1); });
    roll(driver, hand("9 9 9 K K A A A A A K K K K K"));
    driver.then([] {
        EXPECT_EQ(diceFaces(), hand("9 9 9 K K"));
        EXPECT_TRUE(enabled(Gadget::RollButton));
        EXPECT_TRUE(enabled(Gadget::HoldAllButton));
        EXPECT_FALSE(enabled(Gadget::ScoreSheet));
    });
    refuse(driver, [] { clickRow(0); });
    roll(driver);
    driver.then([] {
        EXPECT_EQ(tk::gadgetText(Gadget::HandNameLabel), "Five alike");
        EXPECT_FALSE(enabled(Gadget::RollButton));
        EXPECT_FALSE(enabled(Gadget::HoldAllButton));
        EXPECT_TRUE(enabled(Gadget::ScoreSheet));
    });
    roll(driver);
    driver.then([] { EXPECT_EQ(diceFaces(), hand("A A A A A")) << "a third roll was made"; });
    enter(driver, 1, 5, 5);
    driver.then([this] { expectPhaseA(2); });
    driver.runAndClose();
}

// Clicks made faster than the game handles them (as after the computer's
// pause) are all queued while their control is still enabled.
TEST_F(TurnFlowTest, QueuedClicksActOnlyWhileTheirControlIsEnabled) {
    setPlayers({"Ann", "Bea"});
    Driver driver;
    driver.then([] {
        scriptDice(hand("9 9 9 K K A A A A A K K K K K"));
        for (int click = 0; click < 3; ++click)
            clickGadget(Gadget::RollButton);
    });
    driver.then([] {
        EXPECT_EQ(diceFaces(), hand("A A A A A")) << "a third roll was made";
        EXPECT_FALSE(enabled(Gadget::RollButton));
        clickRow(13);
        clickRow(13);
    });
    driver.then([this] {
        expectPhaseA(2);
        EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, 13, 1), "5");
        EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, 13, 2), "") << "entered without rolling";
        EXPECT_EQ(game().filledCount[2], 0);
    });
    driver.runAndClose();
}

TEST_F(TurnFlowTest, HoldAllHoldsOrReleasesEveryDieAndTheNextRollIsTheLast) {
    setPlayers({"Ann", "Bea"});
    Driver driver;
    roll(driver, kStraight + hand("A A A A A"));
    for (const int held : {1, 0, 1}) {
        driver.then([] { clickGadget(Gadget::HoldAllButton); });
        driver.then([held] { EXPECT_EQ(heldDice(), std::vector<int>(5, held)); });
    }
    driver.then([] { clickGadget(Gadget::FirstDie + 2); });
    driver.then([] {
        EXPECT_EQ(heldDice(), (std::vector{1, 1, 0, 1, 1}));
        EXPECT_EQ(tk::gadgetState(Gadget::HoldAllButton), 1);
    });
    roll(driver);
    driver.then([] {
        EXPECT_EQ(diceFaces(), hand("9 10 A Q K"));
        EXPECT_TRUE(enabled(Gadget::ScoreSheet));
        EXPECT_FALSE(enabled(Gadget::RollButton));
    });
    enter(driver, 1, 10, 0); // no jack: no straight
    driver.then([this] { expectPhaseA(2); });
    driver.runAndClose();
}

TEST_F(TurnFlowTest, DieHeldWhileBlankStaysBlankAndLeavesAShortHand) {
    setPlayers({"Ann", "Bea"});
    Driver driver;
    driver.then([] { clickGadget(Gadget::FirstDie + 1); });
    roll(driver, hand("A A A A K K K K"));
    driver.then([] { EXPECT_EQ(diceFaces(), hand("A  A A A")); });
    roll(driver);
    driver.then([] {
        EXPECT_EQ(diceFaces(), hand("K  K K K"));
        EXPECT_EQ(tk::gadgetText(Gadget::HandNameLabel), "Four alike");
    });
    enter(driver, 1, 4, 4);
    driver.runAndClose();
}

// Player 1 chooses row 5; player 2's clicks on empty space,
// the bonus and total rows and with the right button must not enter anything,
// nor may player 1's click on a cell already entered.
TEST_F(TurnFlowTest, ClicksThatCannotBeAcceptedPassNoTurn) {
    setPlayers({"Ann", "Bea"});
    Driver driver;
    playTurn(driver, {1, 5, hand("A A K K Q"), hand("A A K K Q"), {}, true, 2});
    roll(driver, hand("K K K Q J K K K Q J"));
    roll(driver);
    refuse(driver, [] { clickRightOfTheColumns(5); });
    refuse(driver, [] { clickAt(sheet()->viewport(), {20, sheet()->viewport()->height() - 1}); });
    refuse(driver, [] { clickRow(kBonusRow); });
    refuse(driver, [] { clickRow(kTotalRow); });
    refuse(driver, [] { clickRow(4, Qt::RightButton); });
    enter(driver, 2, 4, 3);
    roll(driver, hand("A A A A A A A A A A"));
    roll(driver);
    refuse(driver, [] { clickRow(5); });
    enter(driver, 1, 4, 0);
    driver.runAndClose();
}

// Even without a pause the person sees what the computer did: its entry is
// framed and named there, also after a language switch, until the next roll.
TEST_F(TurnFlowTest, ComputersEntryStaysMarkedUntilThePersonRollsAgain) {
    setPlayers({"Ann", "Computer"});
    game().vsComputer = 1;
    Driver driver;
    roll(driver, hand("A A A K K A A A K K Q Q Q J J"));
    roll(driver);
    driver.then([] { clickRow(5); });
    driver.then([this] {
        expectPhaseA(1);
        EXPECT_EQ(readSheet()[11][2], (Cell{"4", kFilled}));
        EXPECT_EQ(framedCells(), (std::vector<std::pair<int, int>>{{11, 2}}));
        EXPECT_EQ(cellWords(11, 2), QStringList(2, "Computer: Full house, 4"));
        postMenu(Menu::FirstLanguage + 1);
    });
    driver.then([] {
        EXPECT_EQ(cellWords(11, 2), QStringList(2, "Zug des Computers: Full House, 4"));
        clickGadget(Gadget::RollButton);
    });
    driver.then([] {
        EXPECT_TRUE(framedCells().empty());
        EXPECT_EQ(cellWords(11, 2), QStringList(2, ""));
    });
    driver.runAndClose();
}

TEST_F(TurnFlowTest, KeysRefuseWhatAClickRefusesAndMoveOnlyWithinTheSheet) {
    setPlayers({"Ann", "Bea"});
    keys_ = true;
    Driver driver;
    driver.then([this] { expectPhaseA(1); });
    for (int player : {1, 2}) {
        roll(driver, hand("9 9 9 K K A A A A A"));
        roll(driver);
        driver.then([this, player] { expectPhaseC(player); });
        enter(driver, player, 0, 0);
    }
    roll(driver, kStraight);
    roll(driver, kStraight);
    driver.then([this] { expectPhaseC(1); });
    for (int row : {0, kBonusRow, kTotalRow})
        refuse(driver, [this, row] { chooseRow(row); });
    // The digit keys toggle the dice and are not typed into the sheet.
    driver.then([this] {
        toggleDie(3);
        EXPECT_EQ(heldDice(), (std::vector{0, 0, 1, 0, 0}));
        EXPECT_EQ(tk::gadgetState(Gadget::ScoreSheet), kTotalRow);
    });
    enter(driver, 1, 10, 4);
    driver.then([this] { expectPhaseA(2); });
    driver.runAndExitByKey();
}

// ---- menus during a game ---------------------------------------------------------

TEST_F(TurnFlowTest, MenuKeysAskAndOpenAsTheirItemsDo) {
    setPlayers({"Ann", "Bea"});
    Driver driver;
    driver.answer = tk::Answer::No;
    driver.then([] { pressKey(Window::Main, Qt::Key_N, Qt::ControlModifier); });
    driver.then([&driver] {
        ASSERT_EQ(driver.boxes.size(), 1u);
        EXPECT_EQ(driver.boxes[0].text, "Start again?");
        pressKey(Window::Main, Qt::Key_H, Qt::ControlModifier);
    });
    driver.then([] {
        ASSERT_NE(tk::windowWidget(Window::HighScores), nullptr);
        EXPECT_FALSE(tk::windowWidget(Window::Main)->isEnabled());
        closeBox(Window::HighScores);
    });
    driver.then([&driver] {
        EXPECT_EQ(tk::windowWidget(Window::HighScores), nullptr);
        EXPECT_EQ(driver.boxes.size(), 1u);
    });
    driver.runAndExitByKey();
}

TEST_F(TurnFlowTest, NewGameNoChangesNothingAndYesStartsAfreshWithTheSamePlayers) {
    setPlayers({"Ann", "Bea", "Cy"});
    Driver driver;
    playTurn(driver, {1, 0, kStraight, kStraight, {}, false, 1});
    QPointer<QWidget> oldSheet;
    QStringList faces;
    roll(driver, hand("Q Q J J 9 Q Q Q Q Q"));
    driver.then([&] {
        oldSheet = sheet();
        faces = diceFaces();
        before_ = readSheet();
        driver.answer = tk::Answer::No;
        postMenu(Menu::NewGame);
    });
    driver.then([&] {
        ASSERT_EQ(driver.boxes.size(), 1u);
        EXPECT_EQ(driver.boxes[0].title, "New game");
        EXPECT_EQ(driver.boxes[0].text, "Start again?");
        EXPECT_EQ(driver.boxes[0].buttons, tk::Buttons::YesNo);
        EXPECT_EQ(sheet(), oldSheet.data());
        EXPECT_EQ(readSheet(), before_);
        EXPECT_EQ(diceFaces(), faces);
        EXPECT_EQ(tk::gadgetText(Gadget::PlayerLabel), "Bea");
        EXPECT_EQ(game().filledCount[1], 1);
    });
    roll(driver); // still this turn's second roll
    enter(driver, 2, 3, 5);
    driver.then([&] {
        driver.answer = tk::Answer::Yes;
        postMenu(Menu::NewGame);
    });
    driver.then([&] {
        EXPECT_TRUE(oldSheet.isNull());
        EXPECT_EQ(game().playerCount, 3);
        for (int player = 1; player <= 3; ++player) {
            EXPECT_EQ(game().filledCount[player], 0);
            EXPECT_EQ(sheet()->horizontalHeaderItem(player)->text(), game().playerNames[player]);
            for (int row : kCategoryRows)
                EXPECT_EQ(readSheet()[row][player], (Cell{"", tk::kNoColour}));
        }
        expectPhaseA(1);
        entries_ = {};
    });
    playTurn(driver, {1, 2, kStraight, kStraight, {}, false, 1});
    driver.runAndClose();
}

TEST_F(TurnFlowTest, LanguageSwitchMidTurnKeepsTheTurnAndRemembersTheLanguage) {
    setPlayers({"Ann", "Bea"});
    Driver driver;
    playTurn(driver, {1, 5, kStraight, kStraight, {}, false, 0});
    QStringList faces;
    roll(driver, hand("K K Q J 9"));
    driver.then([] { clickGadget(Gadget::FirstDie + 1); });
    driver.then([&] {
        faces = diceFaces();
        before_ = readSheet();
        postMenu(Menu::FirstLanguage + 1);
    });
    driver.then([&] {
        EXPECT_EQ(tk::gadgetText(Gadget::RollButton), "Wuerfeln");
        EXPECT_EQ(diceFaces(), faces);
        EXPECT_EQ(heldDice(), (std::vector{0, 1, 0, 0, 0}));
        EXPECT_TRUE(enabled(Gadget::HoldAllButton));
        EXPECT_EQ(scores(readSheet()), scores(before_));
        EXPECT_EQ(tk::gadgetText(Gadget::PlayerLabel), "Bea");
        EXPECT_TRUE(readBytes("settings.ini").contains("lang = de"));
    });
    roll(driver, hand("K K K K"));
    driver.then([] {
        EXPECT_EQ(diceFaces(), hand("K K K K K"));
        EXPECT_EQ(tk::gadgetText(Gadget::HandNameLabel), ""); // no such key in German
        EXPECT_TRUE(enabled(Gadget::ScoreSheet)) << "the switch lost the first roll";
    });
    enter(driver, 2, 4, 5);
    driver.runAndClose();
}

TEST_F(TurnFlowTest, ExitOrTheCloseBoxEndsTheLoopWithoutAQuestion) {
    setPlayers({"Ann", "Bea"});
    for (const std::function<void()>& end : {std::function<void()>([] { postMenu(Menu::Exit); }),
                                             std::function<void()>(pressCloseBox)}) {
        Driver driver;
        driver.then([] { clickGadget(Gadget::RollButton); });
        driver.then(end);
        driver.run();
        EXPECT_TRUE(driver.boxes.empty());
        EXPECT_FALSE(QFile::exists("highscores.dat"));
    }
}

// New games loop inside one call: the idle hook is reached at the same stack
// depth every time, and no old window is left behind.
TEST_F(TurnFlowTest, HundredNewGamesInARowUseNoMoreStack) {
    setPlayers({"Ann", "Bea"});
    std::vector<std::uintptr_t> depths;
    std::vector<qsizetype> windows;
    Driver driver;
    for (int round = 0; round < 100; ++round)
        driver.then([&] {
            const char marker = 0;
            depths.push_back(reinterpret_cast<std::uintptr_t>(&marker));
            windows.push_back(QApplication::topLevelWidgets().size());
            clickGadget(Gadget::RollButton);
            postMenu(Menu::NewGame);
        });
    driver.then([&] {
        EXPECT_EQ(driver.boxes.size(), 100u);
        EXPECT_EQ(std::ranges::count(depths, depths.front()), 100);
        EXPECT_EQ(std::ranges::count(windows, windows.front()), 100);
        expectPhaseA(1);
    });
    driver.runAndClose();
}

} // namespace
