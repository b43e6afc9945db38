#include "store/settings.h"

#include "store/preference_file.h"
#include "text/to_integer.h"

#include <algorithm>

namespace {

const QString kDelay = QStringLiteral("delay");
const QString kStrongerCPU = QStringLiteral("strongerCPU");
const QString kLang = QStringLiteral("lang");
const QString kSound = QStringLiteral("sound");

QString settingsFile() {
    return QString::fromLatin1(kSettingsFileName);
}

int readNumber(const QString& key, int defaultValue) {
    return toInteger(readPreference(key, QString::number(defaultValue)));
}

void writeNumber(const QString& key, int value) {
    writePreference(key, QString::number(value));
}

} // namespace

QString handNameKey(int code) {
    return QStringLiteral("hands%1").arg(code);
}

Settings loadSettings() {
    Settings settings;
    openPreferenceFile(settingsFile());
    // A hand-edited delay beyond what the options dialog offers would freeze
    // the game after the computer's entry; it is used as the nearer end.
    settings.delay = std::clamp(readNumber(kDelay, settings.delay), 0, kMaxDelayMilliseconds);
    settings.strongerCPU = readNumber(kStrongerCPU, settings.strongerCPU);
    settings.lang = readPreference(kLang, settings.lang);
    settings.sound = readNumber(kSound, settings.sound);
    for (int code = 0; code < kHandNameKeys; ++code)
        settings.handNameDefaults[code] = readPreference(handNameKey(code), {});
    closePreferenceFile();
    return settings;
}

void saveOptions(int delay, int strongerCPU, int sound) {
    openPreferenceFile(settingsFile());
    writeNumber(kDelay, delay);
    writeNumber(kStrongerCPU, strongerCPU);
    writeNumber(kSound, sound);
    closePreferenceFile();
}

void saveLanguage(const QString& lang) {
    openPreferenceFile(settingsFile());
    writePreference(kLang, lang);
    closePreferenceFile();
}
