#include "Translations.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator *installQtTranslations(QCoreApplication &application, const QLocale &locale)
{
    auto *translator = new QTranslator(&application);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    // Merivo's own texts are English and its forms drawn left to right: Qt's
    // texts in a right-to-left language do not turn the windows round.
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    return translator;
}
