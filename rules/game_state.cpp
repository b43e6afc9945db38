#include "rules/game_state.h"

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
}
