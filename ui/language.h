#pragma once

#include <QString>

// Interface texts of the current language file. Each occasion looks at the
// file on disk: its texts are kept while it stays unchanged, and a file
// changed while the game runs takes effect at the next occasion. The current
// preference file (settings.ini) is not touched.
class LanguageTexts {
  public:
    // Reads `file`, unless it is the kept one and unchanged on disk.
    explicit LanguageTexts(const QString& file);
    LanguageTexts(const LanguageTexts&) = delete;
    LanguageTexts& operator=(const LanguageTexts&) = delete;

    // The text under `key`, or `defaultValue` when the file or key is missing.
    QString text(const QString& key, const QString& defaultValue = QString()) const;
    QString text(const char* key, const QString& defaultValue = QString()) const;
};

// One text of the game's current language file read on its own, as an
// occasion of its own.
QString lang(const QString& key, const QString& defaultValue = QString());

// Qt's own texts (standard buttons) follow the language of `langFile`, the
// language code before ".lang".
void followLanguageInQt(const QString& langFile);
