#include "rules/game_state.h"
#include "test_support.h"
#include "toolkit/toolkit.h"
#include "ui/help_about.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
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

} // namespace
