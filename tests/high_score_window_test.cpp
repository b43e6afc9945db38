#include "game/board.h"
#include "game/turn_flow.h"
#include "rules/game_state.h"
#include "rules/random.h"
#include "store/high_score_file.h"
#include "toolkit/toolkit.h"
#include "ui/high_score_window.h"
#include "ui/ids.h"
#include "ui/main_window.h"

#include "gui_support.h"
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

using Row = std::pair<QString, QString>; // the name and points cells as shown

const QString kFile = QStringLiteral("highscores.dat");

QTableWidget* list() {
    return static_cast<QTableWidget*>(tk::gadgetWidget(Gadget::HighScoreList));
}

std::vector<Row> shownRows() {
    std::vector<Row> rows;
    for (int row = 0; row < list()->rowCount(); ++row)
        rows.emplace_back(list()->item(row, 0)->text(), list()->item(row, 1)->text());
    return rows;
}

// Opens the window, lets `look` inspect it, and closes it with its close box.
void showHighScores(const Step& look) {
    playSteps({look, [] { closeBox(Window::HighScores); }}, runHighScoreWindow);
    EXPECT_EQ(tk::windowWidget(Window::HighScores), nullptr);
}

std::vector<Row> rowsShownFor() {
    std::vector<Row> rows;
    showHighScores([&] { rows = shownRows(); });
    return rows;
}

HighScoreTable tableOf(std::vector<std::pair<QString, std::int16_t>> entries) {
    HighScoreTable table{};
    for (std::size_t i = 0; i < entries.size(); ++i)
        table[i] = {entries[i].first, entries[i].second};
    return table;
}

std::vector<Row> emptyRows(int count) {
    return std::vector<Row>(count, {QString(), "0"});
}

std::vector<Row> operator+(std::vector<Row> a, const std::vector<Row>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class HighScoreWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        tk::initToolkit();
        resetGameState();
        fillFixedTables();
        game().playerCount = 2;
        game().playerNames = {QString(), QStringLiteral("Anna"), QStringLiteral("Bert")};
        game().langFile = QStringLiteral("none.lang");
        tk::setBoxScript([this](const tk::BoxRequest& request) {
            messages.push_back(request.text);
            return tk::BoxReply{};
        });
    }
    void TearDown() override {
        tk::setIdleHook({});
        tk::setBoxScript({});
        tk::shutdownToolkit();
    }

    ScopedWorkDir dir;
    std::vector<QString> messages;
};

// ---- the window and its rows ----------------------------------------------------

TEST_F(HighScoreWindowTest, ShowsTenRowsBestFirstInItsFixedWindow) {
    saveHighScores(kFile, tableOf({{"a", 12}, {"b", 40}, {"c", 7}}));
    buildMainWindow(); // leaves the dice font as the font of new gadgets
    showHighScores([] {
        auto* window = static_cast<QMainWindow*>(tk::windowWidget(Window::HighScores));
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle(), "Highscores");
        EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(window->windowFlags() &
                     (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_EQ(window->centralWidget()->size(), QSize(155, 180));
        ASSERT_NE(list(), nullptr);
        EXPECT_EQ(list()->window(), window);
        EXPECT_EQ(list()->geometry(), QRect(5, 5, 144, 170));
        EXPECT_EQ(list()->font(), QApplication::font());
        EXPECT_FALSE(list()->isEnabled());
        EXPECT_EQ(unnamedFocusableControls(window), QStringList());
        ASSERT_EQ(list()->columnCount(), 2);
        EXPECT_EQ(list()->horizontalHeaderItem(0)->text(), "Player");
        EXPECT_EQ(list()->horizontalHeaderItem(1)->text(), "Points");
        EXPECT_EQ(list()->columnWidth(0), 90);
        EXPECT_EQ(list()->columnWidth(1), 50);
        EXPECT_EQ(shownRows(),
                  (std::vector<Row>{{"b", "40"}, {"a", "12"}, {"c", "7"}} + emptyRows(7)));
    });
    EXPECT_EQ(game().highScores, tableOf({{"b", 40}, {"a", 12}, {"c", 7}}))
        << "the sort reorders the table itself";
}

TEST_F(HighScoreWindowTest, ShowsNamesAndPointsExactlyAsStored) {
    saveHighScores(kFile, tableOf({{"  Bo  ", 5},
                                   {QString::fromUtf8("Zoë & Jörg"), 300},
                                   {"A+B (2)", 9},
                                   {"<b>bold</b>", -3},
                                   {"Anna", 32767}}));
    EXPECT_EQ(rowsShownFor(), (std::vector<Row>{{"Anna", "32767"},
                                                {QString::fromUtf8("Zoë & Jörg"), "300"},
                                                {"A+B (2)", "9"},
                                                {"  Bo  ", "5"}} +
                               emptyRows(5) + std::vector<Row>{{"<b>bold</b>", "-3"}}));
}

// Older files may hold names with control characters; each still takes one
// row, its characters shown as their visible symbols.
TEST_F(HighScoreWindowTest, NamesWithControlCharactersStayOnTheirRow) {
    saveHighScores(kFile, tableOf({{QStringLiteral(u"Ann\nLee"), 9},
                                   {QStringLiteral(u"a\t\r\u007F\u2028\u0000"), 5}}));
    EXPECT_EQ(rowsShownFor(),
              (std::vector<Row>{{QStringLiteral(u"Ann\u240ALee"), "9"},
                                {QStringLiteral(u"a\u2409\u240D\u2421\u2424\u2400"), "5"}} +
               emptyRows(8)));
}

// A name longer than 4096 units shows its first 4096, one fewer rather than
// half of a surrogate pair, and an ellipsis; one of 4096 shows whole.
TEST_F(HighScoreWindowTest, LongNamesShowTheirFirst4096UnitsAndAnEllipsis) {
    const QString dice = QString::fromUcs4(U"\U0001F3B2");
    const QString whole(4096, u'w');
    saveHighScores(
        kFile,
        tableOf({{whole, 3}, {QString(4097, u'x'), 2}, {QString(4095, u'y') + dice + u'\n', 1}}));
    EXPECT_EQ(rowsShownFor(), (std::vector<Row>{{whole, "3"},
                                                {QString(4096, u'x') + u'…', "2"},
                                                {QString(4095, u'y') + u'…', "1"}} +
                               emptyRows(7)));
}

// Each opening loads the file afresh, replacing what the table held.
TEST_F(HighScoreWindowTest, EscapeClosesItAsItsCloseBoxDoes) {
    playSteps({[] { pressKey(Window::HighScores, Qt::Key_Escape); }}, runHighScoreWindow);
    EXPECT_EQ(tk::windowWidget(Window::HighScores), nullptr);
}

TEST_F(HighScoreWindowTest, EveryOpeningShowsTheFileAsItIsThen) {
    game().highScores = tableOf({{"old", 99}});
    EXPECT_EQ(rowsShownFor(), emptyRows(10));
    saveHighScores(kFile, tableOf({{"new", 1}}));
    EXPECT_EQ(rowsShownFor(), (std::vector<Row>{{"new", "1"}} + emptyRows(9)));
}

TEST_F(HighScoreWindowTest, DamagedFilesStillShowTenRows) {
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator random(4711);
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    const QByteArray longName = QByteArray(10 * 1024 * 1024, 'C') + "#'(\r\n";
    const std::pair<const char*, std::function<void()>> files[] = {
        {"random bytes", [&] { writeBytes(kFile, noise); }},
        {"a directory", [] { ASSERT_TRUE(QDir().mkdir(kFile)); }},
        {"a ten megabyte name", [&] { writeBytes(kFile, longName + "E#'\r\n"); }},
        {"a ten megabyte line without end", [] { writeBytes(kFile, QByteArray(10 << 20, '/')); }},
    };
    for (const auto& [what, make] : files) {
        SCOPED_TRACE(what);
        QDir(kFile).removeRecursively();
        QFile::remove(kFile);
        make();
        EXPECT_EQ(rowsShownFor().size(), 10u);
    }
}

// Opened from the menu item, the window keeps the main window disabled until
// it closes.
TEST_F(HighScoreWindowTest, MainWindowIsDisabledWhileOpenAndEnabledAfterwards) {
    bool enabledWhileOpen = true;
    bool enabledAfter = false;
    playSteps({[] {
                   tk::postEvent({tk::EventKind::Menu, Window::Main, -1, Menu::HighScores,
                                  tk::ClickKind::None});
               },
               [&] {
                   ASSERT_NE(tk::windowWidget(Window::HighScores), nullptr);
                   enabledWhileOpen = tk::windowWidget(Window::Main)->isEnabled();
               },
               [] { closeBox(Window::HighScores); },
               [&] {
                   EXPECT_EQ(tk::windowWidget(Window::HighScores), nullptr);
                   enabledAfter = tk::windowWidget(Window::Main)->isEnabled();
                   closeBox(Window::Main);
               }},
              runMainWindow);
    EXPECT_FALSE(enabledWhileOpen);
    EXPECT_TRUE(enabledAfter);
}

// ---- with a finished game ----------------------------------------------------------

// Plays the last turn of a game of two people through the main window: every
// cell but player 1's "5 of a Kind" is entered beforehand with the totals
// given, and player 1 rolls nothing twice and enters 0 there.
void finishGame(int total1, int total2) {
    const auto prepare = [=] {
        for (int column = 1; column <= 2; ++column)
            for (int row = 0; row < 14; ++row)
                if (row != 6 && !(column == 1 && row == 13))
                    enterScore(row, column, row == 12 ? (column == 1 ? total1 : total2) : 0);
        updateTotal(2);
        game().filledCount = {0, 12, 13};
        // Two rolls of 9, J, Q, K, A.
        dice::scriptRandom({5, 3, 2, 1, 0, 5, 3, 2, 1, 0});
    };
    const auto roll = [] {
        QTest::mouseClick(tk::gadgetWidget(Gadget::RollButton), Qt::LeftButton);
    };
    const auto enterLastCell = [] {
        auto* sheet = static_cast<QTableWidget*>(tk::gadgetWidget(Gadget::ScoreSheet));
        const QModelIndex cell = sheet->model()->index(13, 1);
        sheet->scrollTo(cell);
        QTest::mouseClick(sheet->viewport(), Qt::LeftButton, {}, sheet->visualRect(cell).center());
    };
    playSteps({prepare, roll, roll, enterLastCell, [] { closeBox(Window::Main); }}, runMainWindow);
    closeMainWindow();
}

TEST_F(HighScoreWindowTest, GameFinishedAfterOpeningSavesTheSortedTableWithTheLowestReplaced) {
    saveHighScores(kFile, tableOf({{"n1", 12},
                                   {"n2", 40},
                                   {"n3", 7},
                                   {"n4", 30},
                                   {"n5", 25},
                                   {"n6", 20},
                                   {"n7", 18},
                                   {"n8", 15},
                                   {"n9", 10},
                                   {"n10", 9}}));
    rowsShownFor();
    finishGame(8, 0);
    EXPECT_EQ(messages, std::vector<QString>{"Anna "}) << "one end message, no texts";
    EXPECT_EQ(loadHighScores(kFile), tableOf({{"n2", 40},
                                              {"n4", 30},
                                              {"n5", 25},
                                              {"n6", 20},
                                              {"n7", 18},
                                              {"n8", 15},
                                              {"n1", 12},
                                              {"n9", 10},
                                              {"n10", 9},
                                              {"Anna", 8}}));
}

// Names whose shifted characters are the line format's own ("A" becomes the
// separator, "+" and "(" line ends) come back whole after a restart.
TEST_F(HighScoreWindowTest, NamesSavedByAGameAreShownExactlyAfterARestart) {
    game().playerNames = {QString(), QStringLiteral("Anna"), QStringLiteral("A+B (2)")};
    finishGame(21, 17);
    resetGameState();
    fillFixedTables();
    EXPECT_EQ(rowsShownFor(), (std::vector<Row>{{"Anna", "21"}, {"A+B (2)", "17"}} + emptyRows(8)));
}

// A close request of the main window made before the window opened waits
// through it and then ends the main window's loop: playSteps fails should the
// main window outlive the last step.
TEST_F(HighScoreWindowTest, CloseOfTheMainWindowQueuedBehindTheMenuChoiceEndsTheGameAfterwards) {
    playSteps({[] {
                   tk::postEvent({tk::EventKind::Menu, Window::Main, -1, Menu::HighScores,
                                  tk::ClickKind::None});
                   closeBox(Window::Main);
               },
               [] { closeBox(Window::HighScores); }},
              runMainWindow);
}

} // namespace
