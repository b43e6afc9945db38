#include "toolkit/registry.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>
#include <memory>

namespace tk {

namespace {

std::unique_ptr<QTranslator> qtTexts;

// Qt's own texts are English; other languages come from its translations.
bool isTranslated(const QString& language) {
    static const QRegularExpression code(QStringLiteral("^[a-z]{2,3}$"));
    return language != u"en" && code.match(language).hasMatch();
}

} // namespace

void setProgramIdentity(const QString& name, const QString& desktopId, const QIcon& icon) {
    // The name, not a display name: Qt shows the name only in a title that is
    // empty, while a display name would be appended to every title.
    QCoreApplication::setApplicationName(name);
    QGuiApplication::setDesktopFileName(desktopId);
    QApplication::setWindowIcon(icon);
}

void setQtLanguage(const QString& language) {
    if (qtTexts) {
        QCoreApplication::removeTranslator(qtTexts.get());
        qtTexts.reset();
    }
    if (!isTranslated(language))
        return;
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(QStringLiteral("qtbase_") + language,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator.get()))
        qtTexts = std::move(translator);
}

} // namespace tk
