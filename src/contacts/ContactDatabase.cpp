#include "contacts/ContactDatabase.h"

#include "contacts/ContactFileCheck.h"
#include "contacts/ContactRecord.h"
#include "contacts/SqliteStatement.h"
#include "files/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

#include <sqlite3.h>

#include <atomic>

namespace {

QString nextConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("merivo-contacts-%1").arg(++counter);
}

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
    const QString problem = ContactFileCheck::tableProblem(m_handle, m_path);
    if (!problem.isEmpty()) {
        fail(problem);
        close();
        return false;
    }
    return true;
}

bool ContactDatabase::openConnection()
{
    m_connectionName = nextConnectionName();
    m_connection = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!m_connection.isValid()) {
        fail(tr("Could not open the contact database %1: the SQLite driver of Qt is missing.").arg(m_path));
        close();
        return false;
    }
    m_connection.setDatabaseName(m_path);
    QStringList options{QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_settings.busyTimeoutMs)};
    if (m_readOnly)
        options.append(QStringLiteral("QSQLITE_OPEN_READONLY"));
    m_connection.setConnectOptions(options.join(QLatin1Char(';')));
    if (!m_connection.open()) {
        fail(tr("Could not open the contact database %1: %2").arg(m_path, m_connection.lastError().databaseText()));
        close();
        return false;
    }

    const QVariant handle = m_connection.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0 || !*static_cast<sqlite3 *const *>(handle.constData())) {
        fail(tr("Could not open the contact database %1: the connection is not an SQLite connection.").arg(m_path));
        close();
        return false;
    }
    m_handle = *static_cast<sqlite3 *const *>(handle.constData());
    sqlite3_extended_result_codes(m_handle, 1);
    sqlite3_busy_timeout(m_handle, m_settings.busyTimeoutMs);

    if (!m_readOnly) {
        // Per connection; a file left in WAL mode by another tool is turned
        // back into a plain rollback-journal file when nobody else has it open.
        sqlite3_exec(m_handle, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        sqlite3_exec(m_handle, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    }
    return true;
}

bool ContactDatabase::undoUnfinishedChange()
{
    // SQLite rolls a hot journal back on the first read of a connection that
    // may write. A file whose creation was cut short is empty afterwards and
    // is then created anew.
    const int rc = sqlite3_exec(m_handle, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
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

    WriteTransaction transaction(m_handle);
    int rc = transaction.begin();
    if (rc == SQLITE_OK) {
        SqliteStatement create;
        rc = create.prepare(m_handle, sql);
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
    m_handle = nullptr;
    if (m_connectionName.isEmpty())
        return;
    m_connection.close();
    m_connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

bool ContactDatabase::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

QString ContactDatabase::failure(const QString &what, int rc) const
{
    return tr("%1: %2 (%3)").arg(what, reason(rc, m_handle), m_path);
}

QString ContactDatabase::reason(int rc, sqlite3 *db)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return tr("the database is locked by another program or window");
    case SQLITE_FULL:
        return tr("the disk is full");
    case SQLITE_READONLY:
        return rc == SQLITE_READONLY_DBMOVED ? tr("the database file was moved or deleted")
                                             : tr("the database is open read-only");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return tr("the database file is damaged");
    default:
        return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    }
}
