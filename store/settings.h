#pragma once

// The file that keeps the player's settings between runs.
inline constexpr char kSettingsFileName[] = "settings.ini";

// The longest delay the options dialog offers. A delay outside 0 to this,
// which only a hand-edited file holds, is used as the nearer end.
inline constexpr int kMaxDelayMilliseconds = 5000;
