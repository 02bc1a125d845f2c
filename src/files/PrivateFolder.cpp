#include "files/PrivateFolder.h"

#include <QDir>
#include <QFileInfo>

bool makePrivateFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(folder).isDir())
        return true;
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder && !makePrivateFolder(parent))
        return false;
    // Another program may make it meanwhile; that one is taken as it is.
    return QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) || QFileInfo(folder).isDir();
}
