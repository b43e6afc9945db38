// The game ends in order when it is asked to by a signal, and a finished
// game whose result box is still open is recorded even when the X server
// goes away. The game runs as a process of its own: finish_game, or the
// game itself.

#include "store/high_score_file.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

namespace {

const QString kScores = QString::fromLatin1(kHighScoreFileName);

void expectTheGameRecorded() {
    const HighScoreTable table = loadHighScores(kScores);
    for (const HighScoreEntry& entry :
         {HighScoreEntry{QStringLiteral("Anna"), 21}, HighScoreEntry{QStringLiteral("Bert"), 17}})
        EXPECT_NE(std::ranges::find(table, entry), table.end())
            << entry.name.toString().toStdString();
}

// Starts finish_game and waits until its result box is up.
void startFinishedGame(QProcess& game, const QProcessEnvironment& environment) {
    game.setProcessEnvironment(environment);
    game.start(QStringLiteral(FINISH_GAME), {});
    ASSERT_TRUE(game.waitForStarted(-1));
    while (!game.canReadLine())
        ASSERT_TRUE(game.waitForReadyRead(-1)) << game.readAllStandardError().toStdString();
    ASSERT_EQ(game.readLine().trimmed(), "box");
}

QProcessEnvironment offscreen() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

TEST(EndingTest, SignalWhileTheResultBoxIsOpenRecordsTheGameAndEndsWithCodeZero) {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        ScopedWorkDir dir;
        QProcess game;
        startFinishedGame(game, offscreen());
        ::kill(static_cast<pid_t>(game.processId()), signal);
        ASSERT_TRUE(game.waitForFinished(-1));
        EXPECT_EQ(game.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(game.exitCode(), 0);
        expectTheGameRecorded();
    }
}

// Qt ends the process with exit() when it loses the X server.
TEST(EndingTest, LosingTheXServerWhileTheResultBoxIsOpenRecordsTheGame) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        GTEST_SKIP() << "no Xvfb here";
    ScopedWorkDir dir;
    QProcess server;
    server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    while (!server.canReadLine())
        ASSERT_TRUE(server.waitForReadyRead(-1)) << "Xvfb did not start";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"),
                       u':' + QString::fromLatin1(server.readLine().trimmed()));
    QProcess game;
    startFinishedGame(game, environment);
    server.kill();
    server.waitForFinished(-1);
    ASSERT_TRUE(game.waitForFinished(-1));
    EXPECT_EQ(game.exitStatus(), QProcess::NormalExit);
    expectTheGameRecorded();
    EXPECT_EQ(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{kScores})
        << "no temporary file left";
}

// The game itself catches the signals from the start: a signal while the
// set-up window waits ends it with code 0, having written nothing.
TEST(EndingTest, SignalDuringSetUpEndsTheGameWithCodeZero) {
    ScopedWorkDir dir;
    QProcess game;
    game.setProcessEnvironment(offscreen());
    game.start(QStringLiteral(QUINTARA_GAME), {});
    ASSERT_TRUE(game.waitForStarted(-1));
    // The handler is in place once the kernel lists SIGTERM as caught.
    const QString status = QStringLiteral("/proc/%1/status").arg(game.processId());
    const auto caught = [&] {
        QFile file(status);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith("SigCgt:"))
                return ((line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1) != 0;
        return false;
    };
    // A game that never catches it fails here rather than hanging.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!caught()) {
        ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "SIGTERM is never caught";
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(static_cast<pid_t>(game.processId()), SIGTERM);
    ASSERT_TRUE(game.waitForFinished(-1));
    EXPECT_EQ(game.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(game.exitCode(), 0);
    EXPECT_TRUE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

} // namespace
