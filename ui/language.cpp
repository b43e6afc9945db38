#include "ui/language.h"

#include "rules/game_state.h"
#include "store/kept_preference_file.h"
#include "toolkit/toolkit.h"

namespace {

KeptPreferenceFile& languageFile() {
    static KeptPreferenceFile file;
    return file;
}

} // namespace

LanguageTexts::LanguageTexts(const QString& file) {
    languageFile().refresh(file);
}

QString LanguageTexts::text(const QString& key, const QString& defaultValue) const {
    return languageFile().read(key, defaultValue);
}

QString LanguageTexts::text(const char* key, const QString& defaultValue) const {
    return text(QString::fromLatin1(key), defaultValue);
}

QString lang(const QString& key, const QString& defaultValue) {
    return LanguageTexts(game().langFile).text(key, defaultValue);
}

void followLanguageInQt(const QString& langFile) {
    const QString suffix = QStringLiteral(".lang");
    tk::setQtLanguage(langFile.endsWith(suffix) ? langFile.chopped(suffix.size()) : QString());
}
