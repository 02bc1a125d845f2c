#include "sync/SyncLog.h"

#include "sync/PrivateFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

constexpr qint64 RotateAt = 2 * 1024 * 1024;

} // namespace

SyncLog::SyncLog(const QString &databasePath)
    : m_path(PrivateFile::besideDatabase(databasePath, QStringLiteral("sync.log")))
{
}

void SyncLog::line(const QString &text)
{
    if (!m_file.isOpen()) {
        if (QFileInfo(m_path).size() > RotateAt) {
            QFile::remove(m_path + QStringLiteral(".1"));
            QFile::rename(m_path, m_path + QStringLiteral(".1"));
        }
        const mode_t before = ::umask(077);
        m_file.setFileName(m_path);
        const bool opened = m_file.open(QIODevice::Append | QIODevice::Unbuffered);
        ::umask(before);
        if (!opened)
            return; // the sync goes on without its log
        m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QString entry = text;
    entry.replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_file.write((QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') + entry + QLatin1Char('\n')).toUtf8());
}
