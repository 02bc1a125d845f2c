#include "contacts/ContactDatabase.h"

#include "contacts/ContactFileCheck.h"
#include "contacts/ContactRecord.h"
#include "contacts/SqliteStatement.h"
#include "files/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

namespace {

// Why this process could not change the contact database at path, or an
// empty text when it can. Every change writes a journal beside the file.
QString writeProblem(const QString &path)
{
    const QFileInfo file(path);
    if (file.exists() && !file.isWritable())
        return ContactDatabase::tr("the file may not be written");
    const QFileInfo folder(file.absolutePath());
    if (!folder.isWritable()) {
        return ContactDatabase::tr("its folder %1 may not be written, and every change keeps a journal there")
            .arg(folder.absoluteFilePath());
    }
    return QString();
}

// Why nothing can be found in (or created in) the folder, or an empty text.
QString folderProblem(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.isReadable() || !info.isExecutable())
        return ContactDatabase::tr("the folder %1 may not be read").arg(folder);
    if (!info.isWritable())
        return ContactDatabase::tr("the folder %1 may not be written").arg(folder);
    return QString();
}

} // namespace

ContactDatabase::~ContactDatabase()
{
    close();
}

bool ContactDatabase::open(const QString &path, const Settings &settings)
{
    close();
    m_path = QFileInfo(path).absoluteFilePath();
    m_settings = settings;
    m_lastError.clear();
    m_readOnlyReason.clear();
    m_created = false;
    const QString folder = QFileInfo(m_path).absolutePath();

    const ContactFileCheck::Result look = ContactFileCheck::inspect(m_path, settings.busyTimeoutMs);
    bool unfinished = false;
    switch (look.verdict) {
    case ContactFileCheck::Verdict::Refused:
        return fail(look.message);
    case ContactFileCheck::Verdict::Missing: {
        if (settings.readOnly)
            return fail(tr("Could not open the contact database %1: the file does not exist.").arg(m_path));
        if (!makePrivateFolder(folder))
            return fail(tr("Could not create the folder %1 for the contact database.").arg(folder));
        // A folder that may not be read hides the file it may hold.
        const QString why = folderProblem(folder);
        if (!why.isEmpty())
            return fail(tr("Could not open or create the contact database %1: %2.").arg(m_path, why));
        // Contacts are personal: only the owner may read the file (SQLite
        // would make it readable by all), nor its journal, which takes its mode.
        QFile(m_path).open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_created = true;
        break;
    }
    case ContactFileCheck::Verdict::Empty: {
        if (settings.readOnly)
            return fail(tr("Could not open the contact database %1: the file is empty.").arg(m_path));
        const QString why = writeProblem(m_path);
        if (!why.isEmpty())
            return fail(tr("Could not create the contact database in the empty file %1: %2.").arg(m_path, why));
        m_created = true;
        break;
    }
    case ContactFileCheck::Verdict::Unfinished: {
        const QString why = settings.readOnly ? tr("it was to be opened for reading only") : writeProblem(m_path);
        if (!why.isEmpty()) {
            return fail(tr("Could not open the contact database %1: a change to it was cut short when a program "
                           "ended abruptly, and only a program that may write it can undo that change: %2.")
                            .arg(m_path, why));
        }
        unfinished = true;
        break;
    }
    case ContactFileCheck::Verdict::Contacts:
        m_readOnlyReason = settings.readOnly ? tr("it was opened for reading only") : writeProblem(m_path);
        break;
    }
    m_readOnly = !m_readOnlyReason.isEmpty();

    if (!openConnection())
        return false;
    if (unfinished && !undoUnfinishedChange()) {
        close();
        return false;
    }
    if (m_created && !createContactTable()) {
        close();
        return false;
    }
    // Checked again on this connection: another program may have created or
    // changed the file meanwhile, and an undone change may have left another
    // table than the one that was checked.
    const QString problem = ContactFileCheck::tableProblem(handle(), m_path);
    if (!problem.isEmpty()) {
        fail(problem);
        close();
        return false;
    }
    return true;
}

bool ContactDatabase::openConnection()
{
    // The store's connection serves its own thread only: no locking inside SQLite.
    const int flags = (m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
                      | SQLITE_OPEN_PRIVATECACHE | SQLITE_OPEN_NOMUTEX;
    if (m_connection.open(m_path, flags, m_settings.busyTimeoutMs) != SQLITE_OK) {
        fail(tr("Could not open the contact database %1: %2").arg(m_path, m_connection.errorText()));
        close();
        return false;
    }

    if (!m_readOnly) {
        // Per connection; a file left in WAL mode by another tool is turned
        // back into a plain rollback-journal file when nobody else has it open.
        m_connection.exec("PRAGMA journal_mode=DELETE");
        m_connection.exec("PRAGMA synchronous=FULL");
    }
    return true;
}

bool ContactDatabase::undoUnfinishedChange()
{
    // SQLite rolls a hot journal back on the first read of a connection that
    // may write. A file whose creation was cut short is empty afterwards and
    // is then created anew.
    const int rc = m_connection.exec("SELECT count(*) FROM sqlite_schema");
    if (rc != SQLITE_OK)
        return fail(failure(tr("Could not undo an unfinished change to the contact database"), rc));
    if (QFileInfo(m_path).size() == 0)
        m_created = true;
    return true;
}

bool ContactDatabase::createContactTable()
{
    QStringList columns;
    for (const QString &name : contactFieldNames())
        columns.append(QStringLiteral("\"%1\" TEXT NOT NULL DEFAULT ''").arg(name));
    const QString sql = QStringLiteral("CREATE TABLE IF NOT EXISTS Table1 (%1)").arg(columns.join(QStringLiteral(", ")));

    WriteTransaction transaction(handle());
    int rc = transaction.begin();
    if (rc == SQLITE_OK) {
        SqliteStatement create;
        rc = create.prepare(handle(), sql);
        if (rc == SQLITE_OK) {
            rc = StatementRun(create).run();
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
    }
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    if (rc != SQLITE_OK)
        return fail(failure(tr("Could not create the contact database"), rc));
    return true;
}

void ContactDatabase::close()
{
    m_connection.close();
}

bool ContactDatabase::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

QString ContactDatabase::failure(const QString &what, int rc) const
{
    return tr("%1: %2 (%3)").arg(what, m_connection.reason(rc), m_path);
}
