#include "ui/setup_dialog.h"

#include "core/game_state.h"
#include "store/high_score_file.h"
#include "toolkit/to_integer.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/language.h"
#include "ui/main_window.h"

namespace {

constexpr int kMinPlayers = 2;

struct SetupTexts {
    QString enterName;
    QString enterNrP;
    QString gameMode;
};

SetupTexts readSetupTexts() {
    const LanguageTexts texts;
    SetupTexts result;
    result.enterName = texts.text("enterName");
    result.enterNrP = texts.text("enterNrP");
    result.gameMode = texts.text("gameMode");
    return result;
}

void openSetupWindow(const QString& title) {
    tk::openWindow(Window::Setup, 0, 0, 405, 75, title,
                   tk::CloseBox | tk::SizingBorder | tk::Centred);
    tk::loadImage(Resource::PlayersImage, QStringLiteral("pvp_0.jpg"));
    tk::loadImage(Resource::ComputerImage, QStringLiteral("pvc_0.jpg"));
    tk::imageButton(Gadget::PlayersButton, 10, 10, 185, 40, Resource::PlayersImage);
    tk::imageButton(Gadget::ComputerButton, 210, 10, 185, 40, Resource::ComputerImage);
    // The window shows no text; the fonts are readied while it waits.
    prepareMainWindowFonts();
}

QString askName(const QString& prompt, int player) {
    const QString offered = QStringLiteral("Player %1").arg(player);
    QString name;
    do {
        name = tk::inputBox(QString(), prompt, offered);
    } while (!isValidPlayerName(name));
    return name;
}

void setUpPeople(const SetupTexts& texts) {
    GameState& state = game();
    state.vsComputer = 0;
    while (state.playerCount < kMinPlayers || state.playerCount > kMaxPlayers)
        state.playerCount = toInteger(
            tk::inputBox(QStringLiteral("PvP mode"), texts.enterNrP, QStringLiteral("2")));
    for (int player = 1; player <= state.playerCount; ++player)
        state.playerNames[player] = askName(texts.enterName, player);
}

void setUpAgainstComputer(const SetupTexts& texts) {
    GameState& state = game();
    state.vsComputer = 1;
    state.playerCount = 2;
    state.playerNames[1] = askName(texts.enterName, 1);
    state.playerNames[2] = QString::fromUtf16(kComputerName);
}

} // namespace

bool isValidPlayerName(const QString& name) {
    if (name.contains(u'#'))
        return false;
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c != u' '; });
}

bool runGameSetup() {
    const SetupTexts texts = readSetupTexts();
    openSetupWindow(texts.gameMode);
    // The window stays on screen until the main window takes its number.
    for (;;) {
        const tk::EventKind kind = tk::waitEvent();
        if (kind == tk::EventKind::CloseRequest && tk::eventWindowNumber() == Window::Setup)
            return false;
        if (kind != tk::EventKind::Gadget)
            continue;
        if (tk::eventGadgetNumber() == Gadget::PlayersButton) {
            setUpPeople(texts);
            return true;
        }
        if (tk::eventGadgetNumber() == Gadget::ComputerButton) {
            setUpAgainstComputer(texts);
            return true;
        }
    }
}
