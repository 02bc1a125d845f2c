#include "merivo_config.h"
#include "shell/MerivoForms.h"
#include "shell/Module1.h"
#include "toolkit/Pictures.h"
#include "toolkit/Program.h"
#include "toolkit/QtDialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The name a window without a title shows, and the title of a message
    // box that is given none.
    QApplication::setApplicationName(QStringLiteral("Plimo"));
    QApplication::setWindowIcon(Pictures::windowIcon());
    // The program decides itself when it has ended: hidden forms do not count.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    Program program(dialogs, QStringLiteral(MERIVO_DATA_DIR));
    Module1 module1;
    registerMerivoForms(program, module1);
    QObject::connect(&program, &Program::finished, &app, &QCoreApplication::quit);

    program.Show(QStringLiteral("frmsplash"));
    const int status = app.exec();
    // Forms unloaded as the program ended close their stores now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
