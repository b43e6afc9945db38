#include "game/startup.h"
#include "gui_support.h"
#include "rules/game_state.h"
#include "test_support.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QStringList kDefaultRowLabels = {
    "Nines",        "Tens",           "Jacks",           "Queens",          "Kings",
    "Aces",         "15+ BONUS (3)",  "Pair (1)",        "Two Pair (2)",    "Trips (3)",
    "Straight (4)", "Full House (4)", "4 of a Kind (4)", "5 of a Kind (5)", "Total"};

const QByteArray kTestTexts =
    "Title = Dice Test\r\nMenuTitleGame = &Spiel\r\nMenuNewGame = &Neu\r\nMenuExit = &Ende\r\n"
    "MenuTitleTools = &Extras\r\nMenuOptions = &Optionen\r\nMenuTitleHelp = &Hilfe\r\n"
    "MenuAbout = &Info\r\nroll = &Wurf\r\nhold = &Alle halten\r\nNines = Neuner\r\n"
    "Total = Summe\r\n";

QMainWindow* mainWindow() {
    return qobject_cast<QMainWindow*>(tk::windowWidget(Window::Main));
}

QTableWidget* sheet() {
    return qobject_cast<QTableWidget*>(tk::gadgetWidget(Gadget::ScoreSheet));
}

// A menu entry as text: a separator is "-", a submenu its title and items.
QString entryText(const QAction* item) {
    if (item->isSeparator())
        return "-";
    if (!item->menu())
        return item->text();
    QString text = item->menu()->title() + ":";
    for (const QAction* sub : item->menu()->actions())
        text += " " + sub->text();
    return text;
}

// The menu bar as text: one list per title, the title first.
std::vector<QStringList> menuTexts() {
    std::vector<QStringList> menus;
    for (const QAction* title : mainWindow()->menuBar()->actions()) {
        menus.push_back({title->menu()->title()});
        for (const QAction* item : title->menu()->actions())
            menus.back() << entryText(item);
    }
    return menus;
}

QStringList rowLabels() {
    QStringList labels;
    for (int row = 0; row < sheet()->rowCount(); ++row)
        labels << tk::cellText(Gadget::ScoreSheet, row, 0);
    return labels;
}

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        fillFixedTables();
        tk::initToolkit();
        game().lang = "en";
        game().langFile = "en.lang";
        setPlayers({"Ann", "Bea"});
    }
    void TearDown() override { tk::shutdownToolkit(); }

    static void setPlayers(const QStringList& names) {
        game().playerCount = static_cast<int>(names.size());
        for (int player = 1; player <= game().playerCount; ++player)
            game().playerNames[player] = names[player - 1];
    }
    static void build() {
        buildMainWindow();
        QCoreApplication::processEvents();
    }

    ScopedWorkDir dir_;
};

TEST_F(MainWindowTest, WindowAndControlsAreAsTabled) {
    build();
    const struct {
        int id;
        QRect geometry;
        bool enabled;
        bool diceFont;
    } controls[] = {
        {Gadget::ScoreSheet, {5, 5, 305, 245}, false, false},
        {Gadget::RollButton, {330, 200, 120, 40}, true, false},
        {Gadget::HoldAllButton, {460, 200, 110, 40}, false, false},
        {Gadget::PlayerLabel, {330, 15, 100, 20}, true, false},
        {1, {330, 45, 40, 40}, true, true},
        {2, {380, 45, 40, 40}, true, true},
        {3, {430, 45, 40, 40}, true, true},
        {4, {480, 45, 40, 40}, true, true},
        {5, {530, 45, 40, 40}, true, true},
        {Gadget::HandNameLabel, {390, 150, 140, 35}, true, true},
    };
    QMainWindow* window = mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->centralWidget()->size(), QSize(600, 295));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    for (const auto& control : controls) {
        QWidget* widget = tk::gadgetWidget(control.id);
        ASSERT_NE(widget, nullptr) << "gadget " << control.id;
        EXPECT_EQ(widget->parentWidget(), window->centralWidget()) << "gadget " << control.id;
        EXPECT_EQ(widget->geometry(), control.geometry) << "gadget " << control.id;
        EXPECT_EQ(widget->isEnabled(), control.enabled) << "gadget " << control.id;
        if (control.diceFont) {
            EXPECT_EQ(widget->font().family(), "Arial") << "gadget " << control.id;
            EXPECT_EQ(widget->font().pointSize(), 16) << "gadget " << control.id;
        } else {
            EXPECT_EQ(widget->font(), QApplication::font()) << "gadget " << control.id;
        }
    }
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die) {
        EXPECT_EQ(tk::gadgetText(die), "");
        EXPECT_EQ(tk::gadgetState(die), 0);
    }
    EXPECT_EQ(tk::gadgetState(Gadget::HoldAllButton), 0);
    EXPECT_EQ(tk::gadgetText(Gadget::PlayerLabel), "Ann");
}

TEST_F(MainWindowTest, SheetColumnsRowsAndColoursForTwoToFourPlayers) {
    const QStringList names = {"Ann", "Bea", "Cy", "Dan"};
    for (const auto& [players, width] : {std::pair{2, 105}, {3, 70}, {4, 52}}) {
        setPlayers(names.first(players));
        build();
        QTableWidget* list = sheet();
        ASSERT_EQ(list->columnCount(), players + 1);
        ASSERT_EQ(list->rowCount(), 15);
        EXPECT_EQ(list->columnWidth(0), 90);
        EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "");
        for (int player = 1; player <= players; ++player) {
            EXPECT_EQ(list->columnWidth(player), width) << players << " players";
            EXPECT_EQ(list->horizontalHeaderItem(player)->text(), names[player - 1]);
        }
        for (int row = 0; row < 15; ++row)
            for (int column = 0; column <= players; ++column) {
                const bool highlighted = row == 6 || row == 14;
                EXPECT_EQ(
                    tk::cellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, column),
                    highlighted ? 0xFFFF66 : tk::kNoColour)
                    << "row " << row << " column " << column;
                if (highlighted) {
                    EXPECT_EQ(list->item(row, column)->background().color(), QColor(102, 255, 255));
                }
                if (column > 0) {
                    EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, row, column), "");
                }
            }
        // Every row and the header are on view without scrolling.
        EXPECT_TRUE(list->horizontalHeader()->isVisible());
        EXPECT_FALSE(list->verticalScrollBar()->isVisible()) << players << " players";
        const QRect lastRow = list->visualRect(list->model()->index(14, players));
        EXPECT_GE(lastRow.top(), 0);
        EXPECT_LE(lastRow.bottom(), list->viewport()->height()) << players << " players";
    }
}

TEST_F(MainWindowTest, TextsWithAndWithoutALanguageFile) {
    const QString languageEntry = "Language: English German Bulgarian";
    const struct {
        QByteArray file; // empty: no file at all
        std::vector<QStringList> menus;
        QString title, roll, hold;
        QStringList rows;
    } cases[] = {
        {kTestTexts,
         {{"&Spiel", "&Neu", "-", "Highscores", "-", "&Ende"},
          {"&Extras", "&Optionen", "-", languageEntry},
          {"&Hilfe", "&Hilfe", "-", "&Info..."}},
         "Dice Test",
         "&Wurf",
         "&Alle halten",
         QStringList{"Neuner"} + kDefaultRowLabels.mid(1, 13) + QStringList{"Summe"}},
        {{},
         {{"", "", "-", "Highscores", "-", ""}, {"", "", "-", languageEntry}, {"", "", "-", "..."}},
         "Quintara",
         "",
         "",
         kDefaultRowLabels},
    };
    for (const auto& expected : cases) {
        QFile::remove("en.lang");
        if (!expected.file.isEmpty())
            writeBytes("en.lang", expected.file);
        build();
        EXPECT_EQ(menuTexts(), expected.menus);
        EXPECT_EQ(mainWindow()->windowTitle(), expected.title);
        EXPECT_EQ(tk::gadgetText(Gadget::RollButton), expected.roll);
        EXPECT_EQ(tk::gadgetText(Gadget::HoldAllButton), expected.hold);
        EXPECT_EQ(rowLabels(), expected.rows);
    }
}

TEST_F(MainWindowTest, AboutLosesItsDotsAtTheFirstLanguageSwitch) {
    writeBytes("en.lang", kTestTexts);
    writeBytes("de.lang", "MenuAbout = &Ueber\r\n");
    build();
    EXPECT_EQ(tk::menuItemText(Menu::Bar, Menu::About), "&Info...");
    switchLanguage(Menu::FirstLanguage);
    EXPECT_EQ(tk::menuItemText(Menu::Bar, Menu::About), "&Info");
    switchLanguage(Menu::FirstLanguage + 1);
    EXPECT_EQ(tk::menuItemText(Menu::Bar, Menu::About), "&Ueber");
}

// German lacks every row key and the title; Bulgarian is missing altogether.
TEST_F(MainWindowTest, SwitchRelabelsFromTheNewFileAndRemembersIt) {
    writeBytes("en.lang", kTestTexts);
    writeBytes("de.lang", "MenuTitleGame = &Partie\r\nroll = &Werfen\r\n");
    build();
    const struct {
        int item;
        QString fileName, code, gameTitle, roll;
    } cases[] = {
        {Menu::FirstLanguage + 1, "de.lang", "de", "&Partie", "&Werfen"},
        {Menu::FirstLanguage + 2, "bg.lang", "bg", "", ""},
    };
    for (const auto& expected : cases) {
        switchLanguage(expected.item);
        EXPECT_EQ(game().langFile, expected.fileName);
        EXPECT_EQ(game().lang, "en");
        EXPECT_EQ(rowLabels(), QStringList(15, QString()));
        EXPECT_EQ(mainWindow()->windowTitle(), "Quintara");
        EXPECT_EQ(tk::menuTitleText(Menu::Bar, 0), expected.gameTitle);
        EXPECT_EQ(tk::menuItemText(Menu::Bar, Menu::NewGame), "");
        EXPECT_EQ(tk::gadgetText(Gadget::RollButton), expected.roll);
        EXPECT_EQ(tk::menuItemText(Menu::Bar, Menu::HighScores), "Highscores");
        EXPECT_EQ(tk::gadgetText(Gadget::PlayerLabel), "Ann");
        EXPECT_EQ(sheet()->horizontalHeaderItem(1)->text(), "Ann");
        readSettings();
        EXPECT_EQ(game().langFile, expected.fileName) << "the next start";
        game().lang = "en";
    }
}

TEST_F(MainWindowTest, KeysAreFoundInAnyLetterCase) {
    writeBytes("en.lang",
               "menunewgame = Neu\r\nNINES = Neuner\r\ntItLe = Titel\r\nROLL = Wurf\r\n");
    build();
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(tk::menuItemText(Menu::Bar, Menu::NewGame), "Neu");
        EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, 0, 0), "Neuner");
        EXPECT_EQ(mainWindow()->windowTitle(), "Titel");
        EXPECT_EQ(tk::gadgetText(Gadget::RollButton), "Wurf");
        switchLanguage(Menu::FirstLanguage);
    }
}

TEST_F(MainWindowTest, PlayerNamesShowAsPlainText) {
    const QString name = "A & <b>x</b>";
    setPlayers({name, "Bea"});
    build();
    const auto* label = qobject_cast<QLabel*>(tk::gadgetWidget(Gadget::PlayerLabel));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), name);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(sheet()->horizontalHeaderItem(1)->text(), name);
    EXPECT_EQ(sheet()->model()->headerData(1, Qt::Horizontal).toString(), name);
}

// ---- keyboard and screen reader ------------------------------------------------

QString spokenName(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}
QString spokenGadget(int number) {
    return spokenName(tk::gadgetWidget(number));
}
QString spokenCell(int row, int column) {
    return QAccessible::queryAccessibleInterface(sheet())
        ->tableInterface()
        ->cellAt(row, column)
        ->text(QAccessible::Name);
}

TEST_F(MainWindowTest, KeysStandBesideTheirMenuItemsAndLeaveTheTextsAlone) {
    writeBytes("en.lang", kTestTexts);
    build();
    const std::pair<QString, QKeySequence> keys[] = {{"&Neu", QKeySequence("Ctrl+N")},
                                                     {"Highscores", QKeySequence("Ctrl+H")},
                                                     {"&Ende", QKeySequence("Ctrl+Q")},
                                                     {"&Hilfe", QKeySequence(Qt::Key_F1)}};
    for (const auto& [text, key] : keys) {
        const QList<QAction*> found = mainWindow()->findChildren<QAction*>();
        const auto item = std::ranges::find_if(found, [&text](const QAction* action) {
            return action->text() == text && !action->menu();
        });
        ASSERT_NE(item, found.end()) << text.toStdString();
        EXPECT_EQ((*item)->shortcut(), key) << text.toStdString();
    }
}

// Tab visits every enabled control once in a ring, the sheet as one stop.
TEST_F(MainWindowTest, TabVisitsEveryEnabledControlOnce) {
    build();
    tk::disableGadget(Gadget::ScoreSheet, false);
    tk::disableGadget(Gadget::HoldAllButton, false);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), tk::gadgetWidget(Gadget::RollButton));
    const int ring[] = {Gadget::HoldAllButton, 1, 2, 3, 4, 5, Gadget::ScoreSheet,
                        Gadget::RollButton};
    for (int gadget : ring) {
        pressKey(Window::Main, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), tk::gadgetWidget(gadget)) << "to " << gadget;
    }
    pressKey(Window::Main, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), tk::gadgetWidget(Gadget::ScoreSheet));
}

TEST_F(MainWindowTest, EveryControlTabReachesIsNamedInEveryShippedLanguage) {
    dir_.copyShippedData();
    for (const char* file : {"en.lang", "de.lang", "bg.lang"}) {
        game().langFile = QString::fromLatin1(file);
        build();
        EXPECT_EQ(unnamedFocusableControls(mainWindow()), QStringList()) << file;
        closeMainWindow();
    }
}

// Dice, cells and labels are spoken in the language of the moment and
// follow every change.
TEST_F(MainWindowTest, ScreenReaderHearsDiceCellsAndLabelsAsTheyChange) {
    dir_.copyShippedData();
    build();
    EXPECT_EQ(spokenGadget(Gadget::ScoreSheet), "Score sheet");
    EXPECT_EQ(spokenGadget(2), "Die 2: blank");
    tk::setGadgetText(2, "K");
    EXPECT_EQ(spokenGadget(2), "Die 2: King");
    QTest::mouseClick(tk::gadgetWidget(2), Qt::LeftButton);
    EXPECT_EQ(spokenGadget(2), "Die 2: King, held");
    tk::setGadgetText(5, "10");
    EXPECT_EQ(spokenGadget(5), "Die 5: Ten");
    EXPECT_EQ(spokenCell(0, 0), "Nines");
    EXPECT_EQ(spokenCell(0, 1), "Nines, Ann: free");
    tk::setCellText(Gadget::ScoreSheet, 0, 1, "3");
    tk::setCellColour(Gadget::ScoreSheet, 0, tk::ColourTarget::Background, 0x3366FF, 1);
    EXPECT_EQ(spokenCell(0, 1), "Nines, Ann: 3, entered");
    EXPECT_EQ(spokenCell(6, 2), "Bonus (3), Bea: 0");
    tk::setCellText(Gadget::ScoreSheet, 14, 1, "3");
    EXPECT_EQ(spokenCell(14, 1), "Total, Ann: 3");
    EXPECT_EQ(spokenGadget(Gadget::PlayerLabel), "Turn: Ann");
    EXPECT_EQ(spokenGadget(Gadget::HandNameLabel), "No hand yet");
    tk::setGadgetText(Gadget::HandNameLabel, "Pair");
    EXPECT_EQ(spokenGadget(Gadget::HandNameLabel), "Hand: Pair");

    switchLanguage(Menu::FirstLanguage + 1);
    EXPECT_EQ(spokenGadget(2), QString::fromUtf8("Würfel 2: König, gehalten"));
    EXPECT_EQ(spokenCell(0, 1), "Neunen, Ann: 3, eingetragen");
    tk::setGadgetText(Gadget::PlayerLabel, "Bea");
    EXPECT_EQ(spokenGadget(Gadget::PlayerLabel), "Am Zug: Bea");
    switchLanguage(Menu::FirstLanguage + 2);
    EXPECT_EQ(spokenGadget(2), QString::fromUtf8("Зар 2: Поп, задържан"));
    EXPECT_EQ(tk::cellText(Gadget::ScoreSheet, 0, 1), "3") << "the sheet's own text is kept";
}

} // namespace
