#include "sync/PrivateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace PrivateFile {

QString besideDatabase(const QString &databasePath, const QString &kind)
{
    const QFileInfo database(databasePath);
    return database.absoluteDir().filePath(database.completeBaseName() + QLatin1Char('-') + kind);
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
