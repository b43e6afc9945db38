#include "ui/main_window.h"

#include "rules/game_state.h"
#include "rules/rules.h"
#include "store/settings.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/language.h"

#include <QtGlobal>
#include <algorithm>
#include <array>
#include <optional>

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

// Keys of the main window, the same in every language.
struct Key {
    int id;
    const char* key;
};
constexpr Key kMenuKeys[] = {{Menu::NewGame, "Ctrl+N"},
                             {Menu::HighScores, "Ctrl+H"},
                             {Menu::Exit, "Ctrl+Q"},
                             {Menu::Help, "F1"}};
constexpr Key kGadgetKeys[] = {{Gadget::RollButton, "Ctrl+R"}, {Gadget::FirstDie, "1"},
                               {Gadget::FirstDie + 1, "2"},    {Gadget::FirstDie + 2, "3"},
                               {Gadget::FirstDie + 3, "4"},    {Gadget::LastDie, "5"}};

// Face names for a screen reader, in face-table order.
constexpr std::array<const char*, kFaces> kFaceNames = {"Ace",  "King", "Queen",
                                                        "Jack", "Ten",  "Nine"};

// What a screen reader says of the main window's controls, in the current
// language; "%1" and the like stand for the parts filled in.
struct SpokenTexts {
    QString looseDie; // die number, face
    QString heldDie;  // die number, face
    QString blank;    // the face of a blank die
    std::array<QString, kFaces> faces;
    QString turn; // player's name
    QString hand; // hand name
    QString noHand;
    QString sheet;
    QString cellFree;    // row label, player
    QString cellEntered; // row label, player, value
    QString cellValue;   // row label, player, value: the bonus and total rows

    explicit SpokenTexts(const LanguageTexts& texts)
        : looseDie(texts.text("accDie", QStringLiteral("Die %1: %2"))),
          heldDie(texts.text("accDieHeld", QStringLiteral("Die %1: %2, held"))),
          blank(texts.text("accBlank", QStringLiteral("blank"))),
          turn(texts.text("accTurn", QStringLiteral("Turn: %1"))),
          hand(texts.text("accHand", QStringLiteral("Hand: %1"))),
          noHand(texts.text("accNoHand", QStringLiteral("No hand yet"))),
          sheet(texts.text("accSheet", QStringLiteral("Score sheet"))),
          cellFree(texts.text("accCellFree", QStringLiteral("%1, %2: free"))),
          cellEntered(texts.text("accCellEntered", QStringLiteral("%1, %2: %3, entered"))),
          cellValue(texts.text("accCellValue", QStringLiteral("%1, %2: %3"))) {
        for (int face = 0; face < kFaces; ++face)
            faces[face] = texts.text(QStringLiteral("accFace") + QLatin1String(kFaceTexts[face]),
                                     QString::fromLatin1(kFaceNames[face]));
    }

    QString faceName(const QString& text) const {
        if (text.isEmpty())
            return blank;
        const auto found = std::ranges::find_if(
            kFaceTexts, [&text](const char* face) { return text == QLatin1String(face); });
        return found == kFaceTexts.end() ? text : faces[found - kFaceTexts.begin()];
    }

    QString dieName(int die, const QString& text, bool held) const {
        return (held ? heldDie : looseDie).arg(QString::number(die), faceName(text));
    }

    QString cellName(int row, int column) const {
        const QString label = tk::cellText(Gadget::ScoreSheet, row, 0);
        if (column == 0)
            return label;
        const QString& player = game().playerNames[column];
        const QString value = tk::cellText(Gadget::ScoreSheet, row, column);
        const int colour =
            tk::cellColour(Gadget::ScoreSheet, row, tk::ColourTarget::Background, column);
        if (colour == tk::kNoColour)
            return cellFree.arg(label, player);
        if (colour == kFilledColour)
            return cellEntered.arg(label, player, value);
        // The bonus and total rows count as 0 until the game writes them.
        return cellValue.arg(label, player, value.isEmpty() ? QStringLiteral("0") : value);
    }
};

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
    for (const Key& key : kMenuKeys)
        tk::setMenuItemKey(Menu::Bar, key.id, QString::fromLatin1(key.key));
}

void createScoreSheet(const LanguageTexts& texts) {
    const GameState& state = game();
    Q_ASSERT(state.playerCount >= 1 && state.playerCount <= kMaxPlayers);
    tk::listView(Gadget::ScoreSheet, 5, 5, 305, 245, QString(), kLabelColumnWidth,
                 tk::GridLines | tk::FullRowSelect);
    for (int player = 1; player <= state.playerCount; ++player)
        tk::addColumn(Gadget::ScoreSheet, player, state.playerNames[player],
                      kPlayerColumnsWidth / state.playerCount);
    tk::markColumnTitle(Gadget::ScoreSheet, 1); // player 1 begins
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

// Names the controls whose names change with the game, in the language of
// `spoken`; called again by every language switch.
void nameControls(const SpokenTexts& spoken) {
    tk::setAccessibleName(Gadget::ScoreSheet, spoken.sheet);
    tk::setCellNamer(Gadget::ScoreSheet,
                     [spoken](int row, int column) { return spoken.cellName(row, column); });
    for (int die = Gadget::FirstDie; die <= Gadget::LastDie; ++die)
        tk::setGadgetNamer(die, [spoken, die](const QString& text, int state) {
            return spoken.dieName(die - Gadget::FirstDie + 1, text, state == 1);
        });
    tk::setGadgetNamer(Gadget::PlayerLabel,
                       [spoken](const QString& text, int) { return spoken.turn.arg(text); });
    tk::setGadgetNamer(Gadget::HandNameLabel, [spoken](const QString& text, int) {
        return text.isEmpty() ? spoken.noHand : spoken.hand.arg(text);
    });
}

} // namespace

void buildMainWindow() {
    tk::loadSound(Resource::RollSound, QStringLiteral("dice.wav"));
    std::optional<SpokenTexts> spoken;
    {
        const LanguageTexts texts(game().langFile);
        tk::openWindow(Window::Main, 0, 0, kClientWidth, kClientHeight,
                       texts.text("Title", kDefaultTitle),
                       tk::CloseBox | tk::MinimiseBox | tk::Centred);
        createMenus(texts);
        tk::loadFont(Resource::DiceFont, kDiceFace, kDicePoints);
        createScoreSheet(texts);
        tk::pushButton(Gadget::RollButton, 330, 200, 120, 40, texts.text("roll"));
        tk::toggleButton(Gadget::HoldAllButton, 460, 200, 110, 40, texts.text("hold"));
        tk::textLabel(Gadget::PlayerLabel, 330, 15, 100, 20, game().playerNames[1]);
        spoken.emplace(texts);
    }
    tk::setGadgetFont(Resource::DiceFont);
    createDice();
    tk::textLabel(Gadget::HandNameLabel, 390, 150, 140, 35, QString());
    tk::disableGadget(Gadget::ScoreSheet, true);
    tk::disableGadget(Gadget::HoldAllButton, true);
    for (const Key& key : kGadgetKeys)
        tk::setGadgetKey(key.id, QString::fromLatin1(key.key));
    nameControls(*spoken);
    // Each turn starts from the roll button, the first one too.
    tk::focusGadget(Gadget::RollButton);
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
    Q_ASSERT(itemId >= Menu::FirstLanguage && itemId <= Menu::LastLanguage);
    state.langFile = state.langFiles[itemId - Menu::FirstLanguage];
    followLanguageInQt(state.langFile);
    {
        const LanguageTexts texts(game().langFile);
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
        nameControls(SpokenTexts(texts));
    }
    saveLanguage(state.langFile.left(2));
}
