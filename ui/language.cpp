#include "ui/language.h"

#include "core/game_state.h"
#include "store/preference_file.h"

LanguageTexts::LanguageTexts() {
    openPreferenceFile(game().langFile);
}

LanguageTexts::~LanguageTexts() {
    closePreferenceFile();
}

QString LanguageTexts::text(const QString& key, const QString& defaultValue) const {
    return readPreference(key, defaultValue);
}

QString LanguageTexts::text(const char* key, const QString& defaultValue) const {
    return text(QString::fromLatin1(key), defaultValue);
}

QString lang(const QString& key, const QString& defaultValue) {
    return LanguageTexts().text(key, defaultValue);
}
