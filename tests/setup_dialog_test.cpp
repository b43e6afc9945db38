#include "game/startup.h"
#include "gui_support.h"
#include "rules/game_state.h"
#include "test_support.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/setup_dialog.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <utility>

namespace {

const QByteArray kTexts = "gameMode = Pick a mode\r\nenterNrP = How many?\r\nenterName = Name?\r\n";

struct Question {
    QString title, prompt, offered;
    bool operator==(const Question&) const = default;
};

void PrintTo(const Question& question, std::ostream* out) {
    *out << "{\"" << question.title.toStdString() << "\", \"" << question.prompt.toStdString()
         << "\", \"" << question.offered.toStdString() << "\"}";
}

const Question kNumberQuestion{"PvP mode", "How many?", "2"};
Question nameQuestion(int player) {
    return {"", "Name?", QString("Player %1").arg(player)};
}

// A person's click through the window system.
void clickGadget(int number) {
    QWidget* widget = tk::gadgetWidget(number);
    ASSERT_NE(widget, nullptr) << "gadget " << number;
    QWidget* top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(top, widget->rect().center()));
}

// True when the middle line of the face, inside the focus frame, is one
// colour: no picture on it (the bevel's shading runs from top to bottom).
bool paintsBlank(QWidget* widget) {
    const QImage face = widget->grab().toImage();
    const int y = face.height() / 2;
    for (int x = 6; x < face.width() - 6; ++x)
        if (face.pixel(x, y) != face.pixel(6, y))
            return false;
    return true;
}

// Runs the set-up dialog: at its first idle moment `onShow` runs (it may
// click a picture); the questions are answered in order and remembered.
class SetupDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        fillFixedTables();
        tk::initToolkit();
        writeBytes("en.lang", kTexts);
        game().langFile = "en.lang";
        tk::setBoxScript([this](const tk::BoxRequest& request) {
            EXPECT_EQ(request.kind, tk::BoxRequest::Kind::Input);
            asked.push_back({request.title, request.text, request.defaultText});
            if (answers.empty()) {
                ADD_FAILURE() << "a question too many";
                return tk::BoxReply{tk::Answer::Ok, request.title.isEmpty() ? "Extra" : "2"};
            }
            const QString answer = answers.front();
            answers.pop_front();
            return tk::BoxReply{tk::Answer::Ok, answer};
        });
    }
    void TearDown() override {
        tk::setIdleHook({});
        tk::setBoxScript({});
        tk::shutdownToolkit();
    }

    bool runSetup(std::function<void()> onShow) {
        tk::setIdleHook([onShow = std::move(onShow), calls = 0]() mutable {
            if (++calls == 1) {
                onShow();
                // An event either way, so that a click that gave none is seen.
                tk::postEvent({tk::EventKind::None, -1, -1, -1, {}});
                return;
            }
            ADD_FAILURE() << "the dialog waited again";
            if (calls > 3)
                std::abort();
            tk::windowWidget(Window::Setup)->close();
        });
        return runGameSetup();
    }
    bool choose(int button) {
        return runSetup([button] { clickGadget(button); });
    }
    void expectPlayers(const QStringList& names) {
        EXPECT_EQ(game().playerCount, names.size());
        for (int player = 1; player <= names.size(); ++player)
            EXPECT_EQ(game().playerNames[player], names[player - 1]) << "player " << player;
    }

    ScopedWorkDir dir_;
    std::deque<QString> answers;
    std::vector<Question> asked;
};

TEST_F(SetupDialogTest, NumberOfPlayersIsAskedUntilItIsTwoToFour) {
    const struct {
        std::vector<QString> numbers;
        int players;
    } cases[] = {
        {{"", "1", "5", "-2", "abc", "3 players"}, 3},
        {{" 3"}, 3},
        {{"$4"}, 4},
        {{"2"}, 2},
    };
    for (const auto& [numbers, players] : cases) {
        game().playerCount = 0;
        asked.clear();
        answers.assign(numbers.begin(), numbers.end());
        std::vector<Question> expected(numbers.size(), kNumberQuestion);
        for (int player = 1; player <= players; ++player) {
            answers.push_back(QString("P%1").arg(player));
            expected.push_back(nameQuestion(player));
        }
        ASSERT_TRUE(choose(Gadget::PlayersButton));
        EXPECT_EQ(game().vsComputer, 0);
        EXPECT_EQ(game().playerCount, players);
        EXPECT_EQ(asked, expected);
    }
}

TEST_F(SetupDialogTest, InvalidNamesAreAskedAgainAndValidOnesKeptAsTyped) {
    answers = {"2", "", "   ", "a#b", "#", " x ", "#Bea", "Bea"};
    ASSERT_TRUE(choose(Gadget::PlayersButton));
    expectPlayers({" x ", "Bea"});
    const std::vector<Question> expected = {kNumberQuestion, nameQuestion(1), nameQuestion(1),
                                            nameQuestion(1), nameQuestion(1), nameQuestion(1),
                                            nameQuestion(2), nameQuestion(2)};
    EXPECT_EQ(asked, expected);
}

// A pasted line break or any other control character would split the name
// over rows and cells of the high-score window.
TEST_F(SetupDialogTest, NamesWithControlCharactersAreAskedAgain) {
    const QStringList refused = {"Ann\nLee",
                                 "Ann\rLee",
                                 "a\tb",
                                 QStringLiteral(u"a\u0000"),
                                 QStringLiteral(u"\u001F"),
                                 QStringLiteral(u"a\u007F"),
                                 QStringLiteral(u"a\u2028b"),
                                 QStringLiteral(u"a\u2029")};
    answers = {QStringLiteral(u"Ann\u0080")};
    answers.insert(answers.begin(), refused.begin(), refused.end());
    ASSERT_TRUE(choose(Gadget::ComputerButton));
    expectPlayers({QStringLiteral(u"Ann\u0080"), "Computer"});
    EXPECT_EQ(asked.size(), refused.size() + 1);
}

TEST_F(SetupDialogTest, FourPeopleMayAllBeNamedComputer) {
    answers = {"4", "Computer", "Computer", "Computer", "Computer"};
    ASSERT_TRUE(choose(Gadget::PlayersButton));
    EXPECT_EQ(game().vsComputer, 0);
    expectPlayers(QStringList(4, "Computer"));
}

TEST_F(SetupDialogTest, AgainstTheComputerOnlyThePersonIsAsked) {
    answers = {"", "a#", "Ann"};
    ASSERT_TRUE(choose(Gadget::ComputerButton));
    EXPECT_EQ(game().vsComputer, 1);
    expectPlayers({"Ann", "Computer"});
    EXPECT_EQ(asked, std::vector<Question>(3, nameQuestion(1)));
}

// Without a mouse: the first picture has the focus, Tab moves to the second
// and Space chooses; a screen reader hears what each picture chooses and
// what each question's field asks for.
TEST_F(SetupDialogTest, PicturesAndQuestionsAreNamedAndChosenWithKeys) {
    dir_.copyShippedData();
    const struct {
        const char* file;
        bool tab;
        QString computerButton;
        std::vector<QString> fields;
    } cases[] = {
        {"en.lang", true, "One person against the computer", {"Player's name"}},
        {"de.lang",
         false,
         "Ein Mensch gegen den Computer",
         {"Anzahl der Spieler", "Name des Spielers", "Name des Spielers"}},
        {"bg.lang", true, "Един човек срещу компютъра", {"Име на играча"}},
    };
    for (const auto& [file, tab, computerButton, expected] : cases) {
        game().langFile = QString::fromLatin1(file);
        game().playerCount = 0;
        std::vector<QString> fields;
        tk::setBoxScript([&fields](const tk::BoxRequest& request) {
            fields.push_back(request.fieldName);
            return tk::BoxReply{tk::Answer::Ok, request.title.isEmpty() ? "Ann" : "2"};
        });
        runSetup([tab, &computerButton] {
            QCoreApplication::processEvents();
            EXPECT_EQ(unnamedFocusableControls(tk::windowWidget(Window::Setup)), QStringList());
            EXPECT_EQ(
                QAccessible::queryAccessibleInterface(tk::gadgetWidget(Gadget::ComputerButton))
                    ->text(QAccessible::Name),
                computerButton);
            if (tab)
                pressKey(Window::Setup, Qt::Key_Tab);
            pressKey(Window::Setup, Qt::Key_Space);
        });
        EXPECT_EQ(game().vsComputer, tab ? 1 : 0) << file;
        EXPECT_EQ(fields, expected) << file;
    }
}

TEST_F(SetupDialogTest, WindowIsAsTabledAndWorksWithoutPictures) {
    for (const bool pictures : {true, false}) {
        if (pictures) {
            dir_.copyShippedData();
        } else {
            QFile::remove("pvp_0.jpg");
            QFile::remove("pvc_0.jpg");
        }
        writeBytes("en.lang", kTexts);
        game().playerCount = 0;
        answers = {"2", "Ann", "Bea"};
        const bool done = runSetup([pictures] {
            const auto* window = qobject_cast<QMainWindow*>(tk::windowWidget(Window::Setup));
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(window->windowTitle(), "Pick a mode");
            EXPECT_EQ(window->centralWidget()->size(), QSize(405, 75));
            EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
            EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
            for (const auto& [button, geometry] :
                 {std::pair{Gadget::PlayersButton, QRect(10, 10, 185, 40)},
                  {Gadget::ComputerButton, QRect(210, 10, 185, 40)}}) {
                QWidget* widget = tk::gadgetWidget(button);
                ASSERT_NE(widget, nullptr);
                EXPECT_EQ(widget->geometry(), geometry);
                EXPECT_EQ(paintsBlank(widget), !pictures) << "button " << button;
            }
            clickGadget(Gadget::PlayersButton);
        });
        EXPECT_TRUE(done);
        expectPlayers({"Ann", "Bea"});
    }
}

// Run by CTest at scale 1 and again with QT_SCALE_FACTOR=2: at either scale
// the button shows its picture pixel for pixel, from the file made for it.
TEST_F(SetupDialogTest, ModePicturesAreDrawnPixelForPixelAtTheWindowsScale) {
    dir_.copyShippedData();
    runSetup([] {
        QWidget* button = tk::gadgetWidget(Gadget::PlayersButton);
        const QImage face = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int scale = qRound(button->devicePixelRatioF());
        const QImage picture =
            QImage(scale > 1 ? "pvp_0@2x.jpg" : "pvp_0.jpg").convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), QSize(185, 40) * scale);
        // Inside the bevel and the focus frame, as two decoders may round.
        int differing = 0;
        for (int y = 6 * scale; y < 34 * scale; ++y)
            for (int x = 6 * scale; x < 179 * scale; ++x) {
                const QRgb a = face.pixel(x, y), b = picture.pixel(x, y);
                differing += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                                 std::abs(qBlue(a) - qBlue(b)) >
                             12;
            }
        EXPECT_EQ(differing, 0) << "at scale " << scale;
        tk::windowWidget(Window::Setup)->close();
    });
}

TEST_F(SetupDialogTest, ClosingTheWindowEndsTheSetUp) {
    EXPECT_FALSE(runSetup([] { tk::windowWidget(Window::Setup)->close(); }));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(game().playerCount, 0);
}

// Through the whole program: closing the set-up window opens no main window.
TEST_F(SetupDialogTest, ClosingTheWindowEndsTheProgramWithoutAGame) {
    bool sawSetup = false;
    bool sawMainWindow = false;
    int calls = 0;
    tk::setIdleHook([&] {
        if (++calls > 3) {
            ADD_FAILURE() << "the program goes on after the close";
            std::abort();
        }
        sawSetup = sawSetup || tk::gadgetWidget(Gadget::PlayersButton) != nullptr;
        sawMainWindow = sawMainWindow || tk::gadgetWidget(Gadget::RollButton) != nullptr;
        tk::windowWidget(Window::Setup)->close();
    });
    EXPECT_EQ(runQuintara(), 0);
    EXPECT_TRUE(sawSetup);
    EXPECT_FALSE(sawMainWindow);
    EXPECT_EQ(tk::windowWidget(Window::Main), nullptr);
    EXPECT_TRUE(asked.empty());
}

} // namespace
