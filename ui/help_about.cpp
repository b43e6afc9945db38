#include "ui/help_about.h"

#include "rules/game_state.h"
#include "toolkit/toolkit.h"
#include "ui/language.h"

#ifndef QUINTARA_VERSION
#define QUINTARA_VERSION "0"
#endif

void showHelp() {
    tk::openDocument(QStringLiteral("quintara.chm"));
}

QString aboutText() {
    return QStringLiteral("Quintara\nVersion " QUINTARA_VERSION
                          "\nA dice game for two to four players or one against the computer.");
}

namespace {

// "&" marks a mnemonic in a menu text ("&&" a literal "&"); a window title
// shows the text without it.
QString withoutMnemonic(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == u'&')
            continue;
        plain += text[i];
    }
    return plain;
}

} // namespace

void showAbout() {
    const LanguageTexts texts(game().langFile);
    tk::ownerlessMessageBox(withoutMnemonic(texts.text("MenuAbout")) + QStringLiteral(" Quintara"),
                            aboutText());
}
