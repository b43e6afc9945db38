#include "toolkit/registry.h"

#include <QApplication>
#include <QDirIterator>
#include <QIcon>
#include <QLibraryInfo>
#include <QProcess>
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

QIcon iconFromFolder(const QString& folder) {
    QIcon icon;
    QDirIterator pictures(folder, {QStringLiteral("*.png")}, QDir::Files,
                          QDirIterator::Subdirectories);
    while (pictures.hasNext())
        icon.addFile(pictures.next());
    return icon;
}

} // namespace

void setProgramIdentity(const QString& name, const QString& desktopId, const QString& iconFolder) {
    // The name, not a display name: Qt shows the name only in a title that is
    // empty, while a display name would be appended to every title.
    QCoreApplication::setApplicationName(name);
    QGuiApplication::setDesktopFileName(desktopId);
    afterNextPaint([iconFolder] { QApplication::setWindowIcon(iconFromFolder(iconFolder)); });
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

void openDocument(const QString& fileName, const std::function<void()>& onFailure) {
    // The opener runs on its own with its output sent nowhere, so it never
    // writes into our terminal; its exit status, which arrives through the
    // event loop, tells whether any application took the file. It belongs to
    // the application object until it has finished.
    auto* opener = new QProcess(QCoreApplication::instance());
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({fileName});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    // A start that fails gives no finished(); a crash gives both signals.
    const auto finish = [opener, onFailure](bool failed) {
        opener->deleteLater();
        if (failed && onFailure)
            onFailure();
    };
    QObject::connect(opener, &QProcess::finished, opener,
                     [finish](int code, QProcess::ExitStatus status) {
                         finish(status != QProcess::NormalExit || code != 0);
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [finish](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart)
                             finish(true);
                     });
    opener->start();
}

} // namespace tk
