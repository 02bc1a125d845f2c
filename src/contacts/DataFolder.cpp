#include "DataFolder.h"

#include <QDir>

#include <pwd.h>
#include <unistd.h>

namespace {

// The XDG base directory rules count a relative path as not set: taking it
// would make the folder depend on where the program was started.
QString absoluteOrNothing(const QString &path)
{
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

QString accountHomeOfRunningUser()
{
    const passwd *account = getpwuid(getuid());
    return account && account->pw_dir ? QString::fromLocal8Bit(account->pw_dir) : QString();
}

} // namespace

QString DataFolder::locate(const QString &fixedDirectory)
{
    if (!fixedDirectory.isEmpty())
        return locate(fixedDirectory, QProcessEnvironment(), QString());
    return locate(fixedDirectory, QProcessEnvironment::systemEnvironment(), accountHomeOfRunningUser());
}

QString DataFolder::locate(const QString &fixedDirectory, const QProcessEnvironment &environment,
                           const QString &accountHome)
{
    if (!fixedDirectory.isEmpty())
        return QDir::cleanPath(fixedDirectory);

    QString dataHome = absoluteOrNothing(environment.value(QStringLiteral("XDG_DATA_HOME")));
    if (dataHome.isEmpty()) {
        QString home = absoluteOrNothing(environment.value(QStringLiteral("HOME")));
        if (home.isEmpty())
            home = absoluteOrNothing(accountHome);
        if (home.isEmpty())
            return QString();
        dataHome = QDir(home).filePath(QStringLiteral(".local/share"));
    }
    return QDir(dataHome).filePath(QStringLiteral("merivo"));
}

QString DataFolder::notFoundMessage()
{
    return tr("Merivo cannot tell where to keep your contacts: neither XDG_DATA_HOME nor HOME names an "
              "absolute folder, and your user account has no home folder.");
}
