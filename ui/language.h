#pragma once

#include <QString>

// Interface texts of the current language file. Each occasion opens the file,
// reads its texts and closes it again; nothing is cached, so a file changed
// while the game runs takes effect at the next occasion.
class LanguageTexts {
  public:
    // Opens `file` as the current preference file.
    explicit LanguageTexts(const QString& file);
    // Closes it again.
    ~LanguageTexts();
    LanguageTexts(const LanguageTexts&) = delete;
    LanguageTexts& operator=(const LanguageTexts&) = delete;

    // The text under `key`, or `defaultValue` when the file or key is missing.
    QString text(const QString& key, const QString& defaultValue = QString()) const;
    QString text(const char* key, const QString& defaultValue = QString()) const;
};

// One text of the game's current language file read on its own: open, read, close.
QString lang(const QString& key, const QString& defaultValue = QString());

// Qt's own texts (standard buttons) follow the language of `langFile`, the
// language code before ".lang".
void followLanguageInQt(const QString& langFile);
