#include "core/startup.h"

#include "core/game_state.h"
#include "core/rules.h"
#include "core/turn_flow.h"
#include "store/high_score_file.h"
#include "store/preference_file.h"
#include "store/settings.h"
#include "toolkit/to_integer.h"
#include "toolkit/toolkit.h"
#include "ui/setup_dialog.h"

#include <algorithm>

namespace {

const QString kSettingsFile = QString::fromLatin1(kSettingsFileName);

int readNumber(const char* key) {
    return toInteger(readPreference(QString::fromLatin1(key), QStringLiteral("0")));
}

} // namespace

void readSettings() {
    GameState& state = game();
    openPreferenceFile(kSettingsFile);
    state.delay = std::clamp(readNumber("delay"), 0, kMaxDelayMilliseconds);
    state.strongerCPU = readNumber("strongerCPU");
    state.lang = readPreference(QStringLiteral("lang"), QStringLiteral("en"));
    state.sound = readNumber("sound");
    state.langFile = state.lang + QStringLiteral(".lang");
    for (int code = 0; code < kHandCodeCount; ++code)
        state.handNameDefaults[code] = readPreference(handNameKey(code), {});
    closePreferenceFile();
}

void shutdownQuintara() {
    tk::shutdownToolkit();
    closePreferenceFile();
}

int runQuintara() {
    resetGameState();
    tk::initToolkit();
    tk::catchEndSignals();
    game().highScores = HighScoreTable{};
    readSettings();
    fillFixedTables();
    tk::initSound();
    if (runGameSetup()) {
        game().highScores = loadHighScores(QString::fromLatin1(kHighScoreFileName));
        runMainWindow();
    }
    shutdownQuintara();
    return 0;
}
