#include "contacts/ContactDatabase.h"

#include "contacts/ContactFileCheck.h"
#include "contacts/ContactRecord.h"
#include "contacts/SqliteStatement.h"

#include <QDir>
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

bool writable(const QString &path)
{
    const QFileInfo file(path);
    return file.isWritable() && QFileInfo(file.absolutePath()).isWritable();
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
    m_created = false;

    const ContactFileCheck::Result look = ContactFileCheck::inspect(m_path, settings.busyTimeoutMs);
    switch (look.verdict) {
    case ContactFileCheck::Verdict::Refused:
        return fail(look.message);
    case ContactFileCheck::Verdict::Missing:
        if (settings.readOnly)
            return fail(tr("Could not open the contact database %1: the file does not exist.").arg(m_path));
        if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
            return fail(tr("Could not create the folder %1 for the contact database.")
                            .arg(QFileInfo(m_path).absolutePath()));
        }
        m_created = true;
        break;
    case ContactFileCheck::Verdict::Empty:
        if (settings.readOnly)
            return fail(tr("Could not open the contact database %1: the file is empty.").arg(m_path));
        m_created = true;
        break;
    case ContactFileCheck::Verdict::Contacts:
        break;
    }
    m_readOnly = settings.readOnly || (!m_created && !writable(m_path));

    if (!openConnection())
        return false;
    if (m_created && !createContactTable()) {
        close();
        return false;
    }
    // Checked again on this connection: a crash left a journal that only it
    // could roll back, or another program created the file meanwhile.
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
        fail(tr("Could not open the contact database %1: %2").arg(m_path, m_connection.lastError().text()));
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
    QString why;
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        why = tr("the database is locked by another program or window");
        break;
    case SQLITE_FULL:
        why = tr("the disk is full");
        break;
    case SQLITE_READONLY:
        why = rc == SQLITE_READONLY_DBMOVED ? tr("the database file was moved or deleted")
                                             : tr("the database is open read-only");
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        why = tr("the database file is damaged");
        break;
    default:
        why = m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QString::fromUtf8(sqlite3_errstr(rc));
        break;
    }
    return tr("%1: %2 (%3)").arg(what, why, m_path);
}
