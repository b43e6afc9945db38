#include "ui/main_window.h"

#include "core/game_state.h"
#include "core/rules.h"
#include "store/preference_file.h"
#include "store/settings.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/language.h"

namespace {

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 295;
constexpr int kLabelColumnWidth = 90;
constexpr int kPlayerColumnsWidth = 210;
constexpr int kDieLeft = 330;
constexpr int kDieSpacing = 50;
const QString kDefaultTitle = QStringLiteral("Quintara");
const QString kDiceFace = QStringLiteral("Arial");
constexpr int kDicePoints = 16;
const QString kEllipsis = QStringLiteral("...");

void createMenus(const LanguageTexts& texts) {
    tk::createMenu(Menu::Bar, Window::Main);
    tk::menuTitle(texts.text("MenuTitleGame"));
    tk::menuItem(Menu::NewGame, texts.text("MenuNewGame"));
    tk::menuSeparator();
    tk::menuItem(Menu::HighScores, QStringLiteral("Highscores"));
    tk::menuSeparator();
    tk::menuItem(Menu::Exit, texts.text("MenuExit"));
    tk::menuTitle(texts.text("MenuTitleTools"));
    tk::menuItem(Menu::Options, texts.text("MenuOptions"));
    tk::menuSeparator();
    tk::openSubMenu(QStringLiteral("Language"));
    tk::menuItem(Menu::FirstLanguage, QStringLiteral("English"));
    tk::menuItem(Menu::FirstLanguage + 1, QStringLiteral("German"));
    tk::menuItem(Menu::FirstLanguage + 2, QStringLiteral("Bulgarian"));
    tk::closeSubMenu();
    tk::menuTitle(texts.text("MenuTitleHelp"));
    tk::menuItem(Menu::Help, texts.text("MenuTitleHelp"));
    tk::menuSeparator();
    tk::menuItem(Menu::About, texts.text("MenuAbout") + kEllipsis);
}

void createScoreSheet(const LanguageTexts& texts) {
    const GameState& state = game();
    tk::listView(Gadget::ScoreSheet, 5, 5, 305, 245, QString(), kLabelColumnWidth,
                 tk::GridLines | tk::FullRowSelect);
    for (int player = 1; player <= state.playerCount; ++player)
        tk::addColumn(Gadget::ScoreSheet, player, state.playerNames[player],
                      kPlayerColumnsWidth / state.playerCount);
    for (const SheetRow& row : kSheetRowTable)
        tk::addRow(Gadget::ScoreSheet,
                   texts.text(row.key, QString::fromLatin1(row.label)) + QStringLiteral("\n\n"));
    tk::setCellColour(Gadget::ScoreSheet, kTotalRow, tk::ColourTarget::Background, kHighlightColour,
                      -1);
    tk::setCellColour(Gadget::ScoreSheet, kBonusRow, tk::ColourTarget::Background, kHighlightColour,
                      -1);
}

void createDice() {
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        tk::toggleButton(die, kDieLeft + kDieSpacing * (die - Gadget::FirstDie), 45, 40, 40,
                         QString());
}

} // namespace

void buildMainWindow() {
    tk::loadSound(Resource::RollSound, QStringLiteral("dice.wav"));
    {
        const LanguageTexts texts;
        tk::openWindow(Window::Main, 0, 0, kClientWidth, kClientHeight,
                       texts.text("Title", kDefaultTitle),
                       tk::CloseBox | tk::MinimiseBox | tk::Centred);
        createMenus(texts);
        tk::loadFont(Resource::DiceFont, kDiceFace, kDicePoints);
        createScoreSheet(texts);
        tk::pushButton(Gadget::RollButton, 330, 200, 120, 40, texts.text("roll"));
        tk::toggleButton(Gadget::HoldAllButton, 460, 200, 110, 40, texts.text("hold"));
        tk::textLabel(Gadget::PlayerLabel, 330, 15, 100, 20, game().playerNames[1]);
    }
    tk::setGadgetFont(Resource::DiceFont);
    createDice();
    tk::textLabel(Gadget::HandNameLabel, 390, 150, 140, 35, QString());
    tk::disableGadget(Gadget::ScoreSheet, true);
    tk::disableGadget(Gadget::HoldAllButton, true);
}

void prepareMainWindowFonts() {
    tk::prepareFonts(kDiceFace, kDicePoints);
}

void closeMainWindow() {
    tk::setGadgetFont(tk::kDefaultFont);
    tk::freeSound(Resource::RollSound);
    tk::closeWindow(Window::Main);
}

void switchLanguage(int itemId) {
    GameState& state = game();
    state.langFile = state.langFiles[itemId - Menu::FirstLanguage];
    {
        const LanguageTexts texts;
        tk::hideMenu(Menu::Bar, true);
        tk::setMenuTitleText(Menu::Bar, 0, texts.text("MenuTitleGame"));
        tk::setMenuItemText(Menu::Bar, Menu::NewGame, texts.text("MenuNewGame"));
        tk::setMenuItemText(Menu::Bar, Menu::Exit, texts.text("MenuExit"));
        tk::setMenuTitleText(Menu::Bar, 1, texts.text("MenuTitleTools"));
        tk::setMenuItemText(Menu::Bar, Menu::Options, texts.text("MenuOptions"));
        tk::setMenuTitleText(Menu::Bar, 2, texts.text("MenuTitleHelp"));
        tk::setMenuItemText(Menu::Bar, Menu::Help, texts.text("MenuTitleHelp"));
        tk::setMenuItemText(Menu::Bar, Menu::About, texts.text("MenuAbout"));
        tk::setGadgetText(Gadget::RollButton, texts.text("roll"));
        tk::setGadgetText(Gadget::HoldAllButton, texts.text("hold"));
        tk::setWindowTitle(Window::Main, texts.text("Title", kDefaultTitle));
        tk::hideMenu(Menu::Bar, false);
        for (int row = 0; row < kSheetRows; ++row)
            tk::setCellText(Gadget::ScoreSheet, row, 0, texts.text(kSheetRowTable[row].key));
    }
    openPreferenceFile(QString::fromLatin1(kSettingsFileName));
    writePreference(QStringLiteral("lang"), state.langFile.left(2));
    closePreferenceFile();
}
