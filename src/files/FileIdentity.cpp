#include "files/FileIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

// As many links as the kernel follows before it gives up (ELOOP).
constexpr int MaxLinks = 40;

} // namespace

QString resolvedPath(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int links = 0; links < MaxLinks; ++links) {
        const QFileInfo info(current);
        if (info.exists())
            return info.canonicalFilePath();
        if (!info.isSymLink()) {
            // Nothing there yet: the folder resolved, the name as it is.
            const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
            return folder.isEmpty() ? current : QDir(folder).filePath(info.fileName());
        }
        current = info.symLinkTarget(); // a link to a file not there yet
    }
    return current;
}

FileIdentity FileIdentity::of(const QString &path)
{
    FileIdentity identity;
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        identity.m_valid = true;
        identity.m_device = status.st_dev;
        identity.m_inode = status.st_ino;
        return identity;
    }
    const QFileInfo place(resolvedPath(path));
    if (::stat(QFile::encodeName(place.absolutePath()).constData(), &status) != 0)
        return identity;
    identity.m_valid = true;
    identity.m_device = status.st_dev;
    identity.m_inode = status.st_ino;
    identity.m_name = QFile::encodeName(place.fileName());
    return identity;
}

FileIdentity FileIdentity::ofDescriptor(int fd)
{
    FileIdentity identity;
    struct stat status;
    if (::fstat(fd, &status) == 0) {
        identity.m_valid = true;
        identity.m_device = status.st_dev;
        identity.m_inode = status.st_ino;
    }
    return identity;
}
