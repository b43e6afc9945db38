#pragma once

// The file that keeps the player's settings between runs.
inline constexpr char kSettingsFileName[] = "settings.ini";
