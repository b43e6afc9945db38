#include "game/startup.h"
#include "gui_support.h"
#include "rules/game_state.h"
#include "test_support.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

void postMenu(int id) {
    tk::postEvent({tk::EventKind::Menu, Window::Main, -1, id, {}});
}

QString withoutMnemonic(QString text) {
    return text.remove(u'&');
}

// Every window carries the icon installed with the desktop entry.
void expectGameIcon(const QWidget* window) {
    const QImage installed(
        QStringLiteral(QUINTARA_DATA_DIR "/../packaging/icons/48x48/quintara.png"));
    ASSERT_FALSE(installed.isNull());
    const QImage shown = window->windowIcon().pixmap(48, 48).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
              installed.convertToFormat(QImage::Format_ARGB32_Premultiplied))
        << window->metaObject()->className() << " \"" << window->windowTitle().toStdString() << '"';
}

// Answers the name question with its OK button, which speaks `ok`.
void answerName(const QString& ok) {
    whenBoxShows([ok](QWidget* box) {
        expectGameIcon(box);
        EXPECT_EQ(box->windowTitle(), "") << "shows the program's name";
        const auto* buttons = box->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        QPushButton* okButton = buttons->button(QDialogButtonBox::Ok);
        EXPECT_EQ(withoutMnemonic(okButton->text()), ok);
        box->findChild<QLineEdit*>()->setText(QStringLiteral("Ann"));
        okButton->click();
    });
}

// Asks New Game and declines with the box's No button; the two buttons
// must read `yes` and `no`.
void declineNewGame(const QString& yes, const QString& no) {
    whenBoxShows([yes, no](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(box, nullptr);
        expectGameIcon(box);
        EXPECT_EQ(withoutMnemonic(box->button(QMessageBox::Yes)->text()), yes);
        EXPECT_EQ(withoutMnemonic(box->button(QMessageBox::No)->text()), no);
        box->button(QMessageBox::No)->click();
    });
    postMenu(Menu::NewGame);
}

void expectWindow(int number, const QString& title) {
    const QWidget* window = tk::windowWidget(number);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), title);
    expectGameIcon(window);
}

// The whole program as it starts in German: Qt's own buttons follow the
// game's language from the start and through every switch, and every window
// has the game's icon.
TEST(DesktopTest, QtButtonsSpeakTheGameLanguageAndEveryWindowHasTheIcon) {
    ScopedWorkDir dir;
    dir.copyShippedData();
    writeBytes("settings.ini", "lang = de\r\n");
    resetGameState();
    playSteps({
                  [] {}, // the icon comes once the first window has been painted
                  [] {
                      expectWindow(Window::Setup, QString::fromUtf8("Spielmodus wählen"));
                      answerName(QStringLiteral("OK"));
                      tk::postEvent(
                          {tk::EventKind::Gadget, Window::Setup, Gadget::ComputerButton, -1, {}});
                  },
                  [] {
                      expectWindow(Window::Main, QStringLiteral("Quintara"));
                      declineNewGame(QStringLiteral("Ja"), QStringLiteral("Nein"));
                  },
                  [] { postMenu(Menu::FirstLanguage + 2); },
                  [] { declineNewGame(QString::fromUtf8("Да"), QString::fromUtf8("Не")); },
                  [] { postMenu(Menu::FirstLanguage); },
                  [] { declineNewGame(QStringLiteral("Yes"), QStringLiteral("No")); },
                  [] { postMenu(Menu::Options); },
                  [] {
                      expectWindow(Window::Options, QStringLiteral("Options"));
                      closeBox(Window::Options);
                  },
                  [] { postMenu(Menu::HighScores); },
                  [] {
                      expectWindow(Window::HighScores, QStringLiteral("Highscores"));
                      closeBox(Window::HighScores);
                  },
                  [] { closeBox(Window::Main); },
              },
              [] { EXPECT_EQ(runQuintara(), 0); });
    EXPECT_EQ(QCoreApplication::applicationName(), "Quintara");
}

} // namespace
