#pragma once

#include <QLocale>

class QCoreApplication;
class QTranslator;

// Installs Qt's own translations for `locale` (the buttons of message boxes,
// the file dialog), so that they follow the desktop's language. Returns the
// translator installed, owned by the application, or null where Qt has no
// translation for that language.
QTranslator *installQtTranslations(QCoreApplication &application, const QLocale &locale = QLocale::system());
