#include "sync/PrivateFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFile {

QString besideDatabase(const QString &databasePath, const QString &kind)
{
    const QFileInfo database(databasePath);
    return database.absoluteDir().filePath(database.completeBaseName() + QLatin1Char('-') + kind);
}

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    const mode_t before = ::umask(077);
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) && file.commit();
    ::umask(before);
    if (!written) {
        *error = QCoreApplication::translate("PrivateFile", "Could not write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool append(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n <= 0)
            break;
        written += n;
    }
    ::close(fd);
    return written == bytes.size();
}

} // namespace PrivateFile
