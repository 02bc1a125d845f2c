#include "files/AtomicFile.h"

#include "files/FileIdentity.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// A part file that has not changed for this long and that no writer holds
// was left by a writer that ended before it was done.
constexpr qint64 StaleAfterSeconds = 60;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool flushFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Renames from to to unless to is there, in one step: no other writer can
// slip a file in between a look and the rename. File systems without
// renameat2's RENAME_NOREPLACE get the same from link(), which never
// replaces either.
int renameWithoutReplacing(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    ::unlink(from.constData());
    return 0;
}

} // namespace

AtomicFile::AtomicFile(const QString &target, Existing existing) : m_target(target), m_existing(existing) {}

AtomicFile::~AtomicFile()
{
    cancel();
}

bool AtomicFile::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool AtomicFile::open()
{
    cancel();
    m_direct = false;
    m_alreadyExists = false;
    m_error.clear();
    m_final = resolvedPath(m_target);
    const QFileInfo final(m_final);

    if (final.exists() && m_existing == Existing::Keep) {
        m_alreadyExists = true;
        return fail(tr("a file is already there"));
    }
    if (final.isDir())
        return fail(tr("it is a folder"));
    if (struct stat status; ::stat(QFile::encodeName(m_final).constData(), &status) == 0 && S_ISBLK(status.st_mode))
        return fail(tr("it is a disk or partition, not a file"));
    if (final.exists() && !final.isFile()) {
        m_direct = true;
        m_file = std::make_unique<QFile>(m_final);
        if (!m_file->open(QIODevice::WriteOnly))
            return fail(m_file->errorString());
        return true;
    }

    const QString folder = final.absolutePath();
    removeStaleParts(folder, final.fileName());
    auto part = std::make_unique<QTemporaryFile>(
        QDir(folder).filePath(QStringLiteral(".%1-XXXXXX.part").arg(final.fileName())));
    part->setAutoRemove(false); // removed here, by cancel()
    if (!part->open())
        return fail(tr("no file can be made in its folder %1: %2").arg(folder, part->errorString()));
    ::flock(part->handle(), LOCK_EX); // released when the file is closed, or its writer ends
    if (final.exists())
        part->setPermissions(QFile::permissions(m_final));
    m_file = std::move(part);
    return true;
}

QIODevice *AtomicFile::device() const
{
    return m_file.get();
}

QString AtomicFile::writePath() const
{
    return m_file ? m_file->fileName() : QString();
}

bool AtomicFile::commit()
{
    if (!m_file) // keeps the reason why open() failed
        return m_error.isEmpty() ? fail(tr("it was not opened")) : false;
    const bool flushed = m_file->flush() && (m_direct || ::fsync(m_file->handle()) == 0 || errno == EINVAL);
    const QString why = flushed ? QString() : (m_file->error() != QFileDevice::NoError ? m_file->errorString()
                                                                                       : systemError(errno));
    if (m_direct) {
        m_file->close();
        m_file.reset();
        return flushed || fail(why);
    }
    const QString part = m_file->fileName();
    if (!flushed) {
        cancel();
        return fail(tr("it could not be written to disk: %1").arg(why));
    }

    const QByteArray from = QFile::encodeName(part);
    const QByteArray to = QFile::encodeName(m_final);
    int error = 0;
    if (m_existing == Existing::Keep)
        error = renameWithoutReplacing(from, to);
    else if (std::rename(from.constData(), to.constData()) != 0)
        error = errno;
    if (error != 0) {
        cancel();
        m_alreadyExists = error == EEXIST;
        return fail(m_alreadyExists ? tr("a file is already there") : systemError(error));
    }
    m_file->close(); // after the rename: the lock marks the part file as in use until then
    m_file.reset();
    flushFolder(QFileInfo(m_final).absolutePath());
    return true;
}

void AtomicFile::cancel()
{
    if (!m_file)
        return;
    if (!m_direct)
        QFile::remove(m_file->fileName());
    m_file->close();
    m_file.reset();
}

void AtomicFile::removeStaleParts(const QString &folder, const QString &fileName)
{
    static const QRegularExpression partName(QStringLiteral("^\\.(.+)-[A-Za-z0-9]{6}\\.part$"));
    const QDir dir(folder);
    const QDateTime staleBefore = QDateTime::currentDateTimeUtc().addSecs(-StaleAfterSeconds);
    for (const QFileInfo &info : dir.entryInfoList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = partName.match(info.fileName());
        if (!match.hasMatch() || (!fileName.isEmpty() && match.captured(1) != fileName)
            || info.lastModified().toUTC() > staleBefore || info.isSymLink())
            continue;
        const QByteArray path = QFile::encodeName(info.absoluteFilePath());
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}
