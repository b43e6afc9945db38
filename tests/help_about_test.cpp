#include "rules/game_state.h"
#include "test_support.h"
#include "toolkit/toolkit.h"
#include "ui/help_about.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

class HelpAboutTest : public testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        game().langFile = QStringLiteral("en.lang");
    }
    void TearDown() override { tk::setBoxScript({}); }

    // Answers every box and remembers what it showed.
    void recordBoxes() {
        tk::setBoxScript([this](const tk::BoxRequest& request) {
            shown.push_back(request);
            return tk::BoxReply{};
        });
    }

    ScopedWorkDir dir;
    std::vector<tk::BoxRequest> shown;
};

TEST_F(HelpAboutTest, AboutTitleIsTheMenuTextAndTheGameName) {
    writeBytes("en.lang", "MenuAbout = &About\r\n");
    recordBoxes();
    showAbout();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "About Quintara");
    const QStringList lines = shown[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Quintara");
    EXPECT_TRUE(lines[1].startsWith("Version "));
    EXPECT_GT(lines[1].size(), 8);
    EXPECT_FALSE(lines[2].isEmpty());
}

TEST_F(HelpAboutTest, AboutTitleKeepsALiteralAmpersandAndItsSpace) {
    writeBytes("en.lang", "MenuAbout = Q&&&A\r\n");
    recordBoxes();
    showAbout();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Q&A Quintara");
}

TEST_F(HelpAboutTest, AboutTitleWithoutLanguageFileStartsWithTheSpace) {
    recordBoxes();
    showAbout();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, " Quintara");
}

TEST_F(HelpAboutTest, AboutBoxHasNoOwnerAndDisablesNothing) {
    tk::openWindow(0, 0, 0, 600, 295, QStringLiteral("main"), tk::CloseBox);
    bool mainEnabledMeanwhile = false;
    bool boxFound = false;
    QTimer::singleShot(50, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box || !box->isVisible())
                continue;
            boxFound = box->parentWidget() == nullptr && !box->isModal();
            mainEnabledMeanwhile =
                tk::windowWidget(0)->isEnabled() && QApplication::activeModalWidget() == nullptr;
            box->accept();
        }
    });
    showAbout();
    EXPECT_TRUE(boxFound);
    EXPECT_TRUE(mainEnabledMeanwhile);
    tk::shutdownToolkit();
}

TEST_F(HelpAboutTest, HelpAsksTheDesktopEachTimeAndDoesNotWaitForIt) {
    const StandInOpener opener(dir.path());
    showHelp();
    showHelp();
    opener.release();
    EXPECT_EQ(opener.endedRuns(2), "[quintara.chm]\n[quintara.chm]\n");
}

// A stand-in for the desktop's opener, run in the test's directory: it waits
// while the file "hold" exists, notes what it was asked and exits with the
// status written in chm-status or html-status.
const QByteArray kOpener = R"sh(#!/bin/sh
while [ -e hold ]; do sleep 0.05; done
echo "$1" >>opened.txt
case "$1" in *.chm) exit "$(cat chm-status)" ;; esac
exit "$(cat html-status)"
)sh";

bool openersRunning() {
    return std::ranges::any_of(
        QCoreApplication::instance()->findChildren<QProcess*>(),
        [](const QProcess* opener) { return opener->state() != QProcess::NotRunning; });
}

TEST_F(HelpAboutTest, HelpFallsBackToThePagesAndThenToABoxNamingTheViewer) {
    dir.copyShippedData();
    game().langFile = QStringLiteral("de.lang");
    QDir().mkdir("bin");
    writeBytes("bin/xdg-open", kOpener);
    QFile::setPermissions("bin/xdg-open", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString pages = QDir::current().absoluteFilePath("help/index.html");
    const QByteArray path = qgetenv("PATH");
    const struct {
        const char* chmStatus;
        const char* htmlStatus;
        bool opener;
        QStringList opened;
        bool box;
    } cases[] = {
        {"0", "0", true, {"quintara.chm"}, false},
        {"3", "0", true, {"quintara.chm", pages}, false},
        {"4", "3", true, {"quintara.chm", pages}, true},
        {"0", "0", false, {}, true},
    };
    for (const auto& expected : cases) {
        shown.clear();
        recordBoxes();
        writeBytes("chm-status", expected.chmStatus);
        writeBytes("html-status", expected.htmlStatus);
        QFile::remove("opened.txt");
        writeBytes("hold", "");
        // Without the stand-in, no directory on the path holds an opener.
        qputenv("PATH",
                expected.opener ? (dir.path() + "/bin:").toUtf8() + path : dir.path().toUtf8());
        showHelp();
        // Back at once, while the opener still waits.
        EXPECT_TRUE(openersRunning() || !expected.opener);
        QFile::remove("hold");
        EXPECT_TRUE(QTest::qWaitFor([] { return !openersRunning(); }, 30000));
        qputenv("PATH", path);
        const QString opened = QString::fromUtf8(readBytes("opened.txt"));
        EXPECT_EQ(opened.split(u'\n', Qt::SkipEmptyParts), expected.opened);
        ASSERT_EQ(shown.size(), expected.box ? 1u : 0u);
        if (expected.box) {
            EXPECT_EQ(shown[0].title, "Hilfe");
            EXPECT_TRUE(shown[0].text.contains("Paket xchm")) << shown[0].text.toStdString();
        }
    }
}

} // namespace
