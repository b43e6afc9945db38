#include "ui/setup_dialog.h"

#include "rules/game_state.h"
#include "store/high_score_file.h"
#include "text/to_integer.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/language.h"
#include "ui/main_window.h"

#include <algorithm>

namespace {

constexpr int kMinPlayers = 2;

struct SetupTexts {
    QString enterName;
    QString enterNrP;
    QString gameMode;
    // What a screen reader calls the two pictures and the two questions' fields.
    QString playersButton;
    QString computerButton;
    QString numberField;
    QString nameField;
};

SetupTexts readSetupTexts() {
    const LanguageTexts texts(game().langFile);
    SetupTexts result;
    result.enterName = texts.text("enterName");
    result.enterNrP = texts.text("enterNrP");
    result.gameMode = texts.text("gameMode");
    result.playersButton = texts.text("accPlayers", QStringLiteral("People against each other"));
    result.computerButton =
        texts.text("accComputer", QStringLiteral("One person against the computer"));
    result.numberField = texts.text("accNumberField", QStringLiteral("Number of players"));
    result.nameField = texts.text("accNameField", QStringLiteral("Player's name"));
    return result;
}

// Loads picture NAME.jpg, or on a screen scaled by more than one the same
// picture made at twice the size, NAME@2x.jpg, which stays sharp there.
// Returns the scale of the picture loaded.
int loadModePicture(int image, const QString& name) {
    if (tk::windowScale(Window::Setup) > 1 &&
        tk::loadImage(image, name + QStringLiteral("@2x.jpg")))
        return 2;
    tk::loadImage(image, name + QStringLiteral(".jpg"));
    return 1;
}

void openSetupWindow(const SetupTexts& texts) {
    tk::openWindow(Window::Setup, 0, 0, 405, 75, texts.gameMode,
                   tk::CloseBox | tk::SizingBorder | tk::Centred);
    const int playersScale = loadModePicture(Resource::PlayersImage, QStringLiteral("pvp_0"));
    const int computerScale = loadModePicture(Resource::ComputerImage, QStringLiteral("pvc_0"));
    tk::imageButton(Gadget::PlayersButton, 10, 10, 185, 40, Resource::PlayersImage, playersScale);
    tk::imageButton(Gadget::ComputerButton, 210, 10, 185, 40, Resource::ComputerImage,
                    computerScale);
    tk::setAccessibleName(Gadget::PlayersButton, texts.playersButton);
    tk::setAccessibleName(Gadget::ComputerButton, texts.computerButton);
    tk::focusGadget(Gadget::PlayersButton);
    // The window shows no text; the fonts are readied while it waits.
    prepareMainWindowFonts();
}

QString askName(const SetupTexts& texts, int player) {
    const QString offered = QStringLiteral("Player %1").arg(player);
    QString name;
    do {
        name = tk::inputBox(QString(), texts.enterName, offered, texts.nameField);
    } while (!isValidPlayerName(name) && !tk::endRequested());
    return name;
}

void setUpPeople(const SetupTexts& texts) {
    GameState& state = game();
    state.vsComputer = 0;
    // Once the program is to end, every question returns at once unanswered.
    while (!tk::endRequested() &&
           (state.playerCount < kMinPlayers || state.playerCount > kMaxPlayers))
        state.playerCount = toInteger(tk::inputBox(QStringLiteral("PvP mode"), texts.enterNrP,
                                                   QStringLiteral("2"), texts.numberField));
    for (int player = 1; player <= state.playerCount && !tk::endRequested(); ++player)
        state.playerNames[player] = askName(texts, player);
}

void setUpAgainstComputer(const SetupTexts& texts) {
    GameState& state = game();
    state.vsComputer = 1;
    state.playerCount = 2;
    state.playerNames[1] = askName(texts, 1);
    state.playerNames[2] = QString::fromUtf16(kComputerName);
}

} // namespace

bool isControlCharacter(QChar c) {
    return c.unicode() < 0x20 || c == u'\x7F' || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

bool isValidPlayerName(const QString& name) {
    if (name.contains(u'#') || std::any_of(name.cbegin(), name.cend(), isControlCharacter))
        return false;
    return std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c != u' '; });
}

bool runGameSetup() {
    const SetupTexts texts = readSetupTexts();
    openSetupWindow(texts);
    // The window stays on screen until the main window takes its number.
    for (;;) {
        const tk::EventKind kind = tk::waitEventFor(Window::Setup);
        if (kind == tk::EventKind::CloseRequest)
            return false;
        if (kind != tk::EventKind::Gadget)
            continue;
        if (tk::eventGadgetNumber() == Gadget::PlayersButton) {
            setUpPeople(texts);
            return !tk::endRequested();
        }
        if (tk::eventGadgetNumber() == Gadget::ComputerButton) {
            setUpAgainstComputer(texts);
            return !tk::endRequested();
        }
    }
}
