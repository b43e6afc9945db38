#include "game/startup.h"

#include "game/turn_flow.h"
#include "rules/game_state.h"
#include "rules/rules.h"
#include "store/high_score_file.h"
#include "store/preference_file.h"
#include "store/settings.h"
#include "toolkit/toolkit.h"
#include "ui/language.h"
#include "ui/setup_dialog.h"

void readSettings() {
    GameState& state = game();
    const Settings settings = loadSettings();
    state.delay = settings.delay;
    state.strongerCPU = settings.strongerCPU;
    state.lang = settings.lang;
    state.sound = settings.sound;
    state.langFile = state.lang + QStringLiteral(".lang");
    state.handNameDefaults = settings.handNameDefaults;
}

void shutdownQuintara() {
    tk::shutdownToolkit();
    closePreferenceFile();
}

int runQuintara() {
    resetGameState();
    tk::initToolkit();
    tk::catchEndSignals();
    // The icons installed with the desktop entry are built into the program,
    // so that it has them wherever it runs from.
    tk::setProgramIdentity(QStringLiteral("Quintara"), QStringLiteral("quintara"),
                           QStringLiteral(":/quintara/icons"));
    game().highScores = HighScoreTable{};
    readSettings();
    followLanguageInQt(game().langFile);
    fillFixedTables();
    tk::initSound();
    if (runGameSetup()) {
        reloadHighScores(QString::fromLatin1(kHighScoreFileName), game().highScores);
        runMainWindow();
    }
    shutdownQuintara();
    return 0;
}
