#pragma once

#include <QString>
#include <array>

// settings.ini, the player's settings kept between runs. Its keys are named
// here and nowhere else.

// The file that keeps the player's settings between runs.
inline constexpr char kSettingsFileName[] = "settings.ini";

// The longest delay the options dialog offers. A delay outside 0 to this,
// which only a hand-edited file holds, is used as the nearer end.
inline constexpr int kMaxDelayMilliseconds = 5000;

// Hand codes 0 to 7 each have a name, kept under handNameKey.
inline constexpr int kHandNameKeys = 8;

// Key of a hand code's name in the language files, and of its fallback in
// settings.ini: "hands" and the code in decimal.
QString handNameKey(int code);

// What settings.ini holds; a missing file or key leaves the value shown here.
struct Settings {
    int delay = 0; // milliseconds
    int strongerCPU = 0;
    QString lang = QStringLiteral("en");
    int sound = 0; // 0 plays the roll sound
    std::array<QString, kHandNameKeys> handNameDefaults{};
};

// Reads settings.ini; numbers are read with toInteger, so text without
// digits gives 0. Never writes.
Settings loadSettings();

// The options dialog's write-back: exactly the keys delay, strongerCPU and
// sound; every other line of the file stays.
void saveOptions(int delay, int strongerCPU, int sound);

// The Language menu's write-back: exactly the key lang.
void saveLanguage(const QString& lang);
