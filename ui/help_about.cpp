#include "ui/help_about.h"

#include "rules/game_state.h"
#include "toolkit/toolkit.h"
#include "ui/language.h"

#include <QFileInfo>

#ifndef QUINTARA_VERSION
#define QUINTARA_VERSION "0"
#endif

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

// The last resort: a box that names what to install.
void tellHowToGetHelp() {
    const LanguageTexts texts(game().langFile);
    tk::noticeBox(withoutMnemonic(texts.text("MenuTitleHelp")),
                  texts.text("noHelpViewer", QStringLiteral("No program here can show the help. "
                                                            "Install the package xchm (apt "
                                                            "install xchm), then choose Help "
                                                            "again.")));
}

// The same pages as plain HTML, for the desktop's web browser.
void openHelpPages() {
    tk::openDocument(QFileInfo(QStringLiteral("help/index.html")).absoluteFilePath(),
                     tellHowToGetHelp);
}

} // namespace

void showHelp() {
    tk::openDocument(QStringLiteral("quintara.chm"), openHelpPages);
}

void showAbout() {
    const LanguageTexts texts(game().langFile);
    tk::ownerlessMessageBox(withoutMnemonic(texts.text("MenuAbout")) + QStringLiteral(" Quintara"),
                            aboutText());
}
