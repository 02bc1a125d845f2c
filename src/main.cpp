#include "contacts/DataFolder.h"
#include "merivo_config.h"
#include "report/ReportDefinition.h"
#include "shell/DailyBackup.h"
#include "shell/MerivoForms.h"
#include "shell/Module1.h"
#include "toolkit/Pictures.h"
#include "toolkit/Program.h"
#include "toolkit/QtDialogs.h"
#include "toolkit/QtPrinter.h"
#include "toolkit/Translations.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installQtTranslations(app);
    // The name a window without a title shows, and the title of a message
    // box that is given none.
    QApplication::setApplicationName(QStringLiteral("Plimo"));
    // Docks and software centres match the windows to the menu entry by this.
    QApplication::setDesktopFileName(QStringLiteral(MERIVO_APP_ID));
    QApplication::setWindowIcon(Pictures::windowIcon());
    // The program decides itself when it has ended: hidden forms do not count.
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    QtPrinter printer;
    const QString dataDirectory = DataFolder::locate(QStringLiteral(MERIVO_DATA_DIR));
    if (dataDirectory.isEmpty()) {
        dialogs.messageBox(DataFolder::notFoundMessage(), MsgBox::OkOnly, std::nullopt);
        return 1;
    }
    Program program(dialogs, printer, dataDirectory);
    Module1 module1;
    registerMerivoForms(program, module1);
    QObject::connect(&program, &Program::finished, &app, &QCoreApplication::quit);

    program.Show(QStringLiteral("frmsplash"));
    DailyBackup dailyBackup(QDir(program.dataDirectory()).filePath(QStringLiteral("db2.mdb")));
    // Once the splash is up: the default report definition where there is
    // none yet. A definition that exists is the user's and stays as it is.
    QTimer::singleShot(0, &program, [&program] {
        QString error;
        const QString path = QDir(program.dataDirectory()).filePath(ReportDefinitionFile::FileName);
        if (ReportDefinitionFile::writeDefaultIfMissing(path, &error) == ReportDefinitionFile::Outcome::Failed)
            qWarning("%s", qPrintable(error));
    });
    const int status = app.exec();
    // Forms unloaded as the program ended close their stores now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
