#include "rules/game_state.h"

#include "rules/rules.h"

namespace {

GameState& instance() {
    static GameState state;
    return state;
}

} // namespace

GameState& game() {
    return instance();
}

void resetGameState() {
    instance() = GameState{};
}

void fillFixedTables() {
    GameState& state = instance();
    state.langFiles = {QStringLiteral("en.lang"), QStringLiteral("de.lang"),
                       QStringLiteral("bg.lang")};
    state.playerNames = {};
    state.filledCount = {};
    state.faceCounts = {};
    for (int code = 0; code < kHandCodeCount; ++code)
        for (int variant = 0; variant < kExampleVariants; ++variant)
            state.exampleHands[code][variant] = QString::fromLatin1(kExampleHands[code][variant]);
    for (int i = 0; i < 6; ++i)
        state.fiveOfAKinds[i] = QString::fromLatin1(kFiveOfAKinds[i]);
    for (int i = 0; i < kFaceCount; ++i)
        state.faceTexts[i] = QString::fromLatin1(kFaceTexts[i]);
}
