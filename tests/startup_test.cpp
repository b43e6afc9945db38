#include "game/startup.h"
#include "rules/game_state.h"
#include "test_support.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

class StartupTest : public testing::Test {
  protected:
    void SetUp() override { resetGameState(); }
    void TearDown() override {
        tk::setIdleHook({});
        tk::shutdownToolkit();
    }

    ScopedWorkDir dir;
};

void expectDefaults() {
    const GameState& state = game();
    EXPECT_EQ(state.delay, 0);
    EXPECT_EQ(state.strongerCPU, 0);
    EXPECT_EQ(state.lang, "en");
    EXPECT_EQ(state.langFile, "en.lang");
    EXPECT_EQ(state.sound, 0);
    for (const QString& name : state.handNameDefaults)
        EXPECT_TRUE(name.isEmpty());
}

TEST_F(StartupTest, MissingSettingsGiveDefaultsAndNoFile) {
    readSettings();
    expectDefaults();
    EXPECT_FALSE(QFile::exists("settings.ini"));
}

TEST_F(StartupTest, ReadsEverySettingAndHandNameFallback) {
    writeBytes("settings.ini", "delay=1500\r\nSTRONGERCPU = 2\r\nlang = de\r\nsound=1\r\n"
                               "hands3 = Full house!\r\nhands7=  Pair  \r\n");
    readSettings();
    const GameState& state = game();
    EXPECT_EQ(state.delay, 1500);
    EXPECT_EQ(state.strongerCPU, 2);
    EXPECT_EQ(state.lang, "de");
    EXPECT_EQ(state.langFile, "de.lang");
    EXPECT_EQ(state.sound, 1);
    EXPECT_EQ(state.handNameDefaults[3], "Full house!");
    EXPECT_EQ(state.handNameDefaults[7], "Pair");
    EXPECT_TRUE(state.handNameDefaults[0].isEmpty());
}

// Only a hand-edited file holds a delay beyond the options dialog's 0 to 5 s;
// it is used as the nearer end, and the file stays as it is.
TEST_F(StartupTest, DelaysOutsideZeroToFiveSecondsAreUsedAsTheNearerEnd) {
    const std::pair<QByteArray, int> cases[] = {
        {"2147483647", 5000}, {"$7FFFFFFF", 5000}, {"5001", 5000}, {"-7", 0}, {"4999", 4999}};
    for (const auto& [value, delay] : cases) {
        const QByteArray file = "delay=" + value + "\r\n";
        writeBytes("settings.ini", file);
        readSettings();
        EXPECT_EQ(game().delay, delay) << value.toStdString();
        EXPECT_EQ(readBytes("settings.ini"), file);
    }
}

TEST_F(StartupTest, UnknownLanguageCodeFormsItsOwnFileName) {
    writeBytes("settings.ini", "lang = xx\r\ndelay = soon\r\n");
    readSettings();
    EXPECT_EQ(game().langFile, "xx.lang");
    EXPECT_EQ(game().delay, 0);
}

TEST_F(StartupTest, ReadingNeverChangesTheFile) {
    const QByteArray original = "; mine\r\ndelay=2000\r\n\r\n[x]\r\n";
    writeBytes("settings.ini", original);
    readSettings();
    EXPECT_EQ(readBytes("settings.ini"), original);
}

TEST_F(StartupTest, BadSettingsFilesGiveDefaultsOrWhatIsReadable) {
    QRandomGenerator random(7);
    QByteArray noise(64 * 1024, '\0');
    for (char& byte : noise)
        byte = static_cast<char>(random.bounded(256));
    QByteArray hugeLine = "delay = 3000\r\nlang = ";
    hugeLine += QByteArray(10 * 1024 * 1024, 'x');
    const QList<QByteArray> files = {
        noise,
        QByteArray("\xEF\xBB\xBF"
                   "delay = 12\xFF\xFE\r\nsound = \xC3\r\n"),
        QByteArray("delay = 7\0\0\0\r\nsound\0= 1\r\n", 25),
        hugeLine,
    };
    for (const QByteArray& bytes : files) {
        resetGameState();
        writeBytes("settings.ini", bytes);
        readSettings();
        EXPECT_GE(game().langFile.size(), 5); // the file name is always formed
    }
    EXPECT_EQ(game().delay, 3000); // the key before the 10 MB line
    EXPECT_EQ(game().lang.size(), 10 * 1024 * 1024);
}

TEST_F(StartupTest, DirectoryNamedSettingsGivesDefaults) {
    ASSERT_TRUE(QDir().mkdir("settings.ini"));
    readSettings();
    expectDefaults();
}

TEST_F(StartupTest, FixedTablesHoldExactlyTheirStrings) {
    fillFixedTables();
    const GameState& state = game();
    const QStringList faces = {"A", "K", "Q", "J", "10", "9"};
    const QStringList fives = {"AAAAA", "KKKKK", "QQQQQ", "JJJJJ", "1010101010", "99999"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(state.faceTexts[i], faces[i]);
        EXPECT_EQ(state.fiveOfAKinds[i], fives[i]);
        EXPECT_STREQ(state.exampleHands[0][i], "");
    }
    for (int code = 1; code < kHandCodeCount; ++code) {
        EXPECT_STREQ(state.exampleHands[code][5], "");
        for (int variant = 0; variant < 5; ++variant)
            EXPECT_STRNE(state.exampleHands[code][variant], "");
    }
    EXPECT_STREQ(state.exampleHands[2][2], "KK10KK");
    EXPECT_STREQ(state.exampleHands[7][4], "Q10JKK");
    EXPECT_EQ(state.langFiles[0], "en.lang");
    EXPECT_EQ(state.langFiles[1], "de.lang");
    EXPECT_EQ(state.langFiles[2], "bg.lang");
}

TEST_F(StartupTest, ClosingTheSetupWindowEndsWithCodeZeroAndWritesNothing) {
    int closeRequests = 0;
    tk::setIdleHook([&closeRequests] {
        // The set-up window is up: close it as a player would.
        ASSERT_NE(tk::windowWidget(Window::Setup), nullptr);
        ++closeRequests;
        tk::windowWidget(Window::Setup)->close();
    });
    EXPECT_EQ(runQuintara(), 0);
    EXPECT_EQ(closeRequests, 1);
    EXPECT_EQ(tk::windowWidget(Window::Main), nullptr);
    EXPECT_TRUE(QDir().entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

} // namespace
