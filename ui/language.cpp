#include "ui/language.h"

#include "core/game_state.h"
#include "store/kept_preference_file.h"

namespace {

KeptPreferenceFile& languageFile() {
    static KeptPreferenceFile file;
    return file;
}

} // namespace

LanguageTexts::LanguageTexts() {
    languageFile().refresh(game().langFile);
}

QString LanguageTexts::text(const QString& key, const QString& defaultValue) const {
    return languageFile().read(key, defaultValue);
}

QString LanguageTexts::text(const char* key, const QString& defaultValue) const {
    return text(QString::fromLatin1(key), defaultValue);
}

QString lang(const QString& key, const QString& defaultValue) {
    return LanguageTexts().text(key, defaultValue);
}
