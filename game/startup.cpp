#include "game/startup.h"

#include "game/turn_flow.h"
#include "rules/game_state.h"
#include "rules/rules.h"
#include "store/high_score_file.h"
#include "store/preference_file.h"
#include "store/settings.h"
#include "text/to_integer.h"
#include "toolkit/toolkit.h"
#include "ui/language.h"
#include "ui/setup_dialog.h"

#include <QDirIterator>
#include <QIcon>

namespace {

const QString kSettingsFile = QString::fromLatin1(kSettingsFileName);

// The icons installed with the desktop entry, built into the program so that
// it has them wherever it runs from.
QIcon gameIcon() {
    QIcon icon;
    QDirIterator pictures(QStringLiteral(":/quintara/icons"), {QStringLiteral("*.png")},
                          QDir::Files, QDirIterator::Subdirectories);
    while (pictures.hasNext())
        icon.addFile(pictures.next());
    return icon;
}

int readNumber(const char* key) {
    return toInteger(readPreference(QString::fromLatin1(key), QStringLiteral("0")));
}

} // namespace

void readSettings() {
    GameState& state = game();
    openPreferenceFile(kSettingsFile);
    state.delay = readNumber("delay");
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
    tk::setProgramIdentity(QStringLiteral("Quintara"), QStringLiteral("quintara"), gameIcon());
    game().highScores = HighScoreTable{};
    readSettings();
    followLanguageInQt(game().langFile);
    fillFixedTables();
    tk::initSound();
    if (runGameSetup()) {
        game().highScores = loadHighScores(QString::fromLatin1(kHighScoreFileName));
        runMainWindow();
    }
    shutdownQuintara();
    return 0;
}
