#include "contacts/NameKeyBuilder.h"

#include "contacts/NameKeyTables.h"
#include "contacts/SqliteConnection.h"

#include <sqlite3.h>

#include <chrono>
#include <map>

namespace {

// How long the builder waits for another program's lock at each step, and
// how often it tries again after waiting in vain; in the caller's thread,
// one wait is enough.
constexpr int BusyTimeoutMs = 5000;
constexpr int AttemptsInBackground = 5;

bool isBusy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

int inWriteTransaction(sqlite3 *db, const std::function<int()> &work)
{
    WriteTransaction transaction(db);
    int rc = transaction.begin();
    if (rc == SQLITE_OK)
        rc = work();
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    return rc;
}

int collectOnOwnConnection(sqlite3 *writer, std::vector<NameKeyTables::Variant> &variants,
                           const std::function<bool()> &stopped)
{
    SqliteConnection reader;
    int rc = reader.open(QByteArray(sqlite3_db_filename(writer, "main")), SQLITE_OPEN_READONLY, BusyTimeoutMs);
    if (rc == SQLITE_OK) {
        // Pages read straight from the file, not copied for each read.
        reader.exec("PRAGMA mmap_size=1073741824");
        rc = NameKeyTables::collectVariants(reader.handle(), variants, stopped);
    }
    return rc;
}

int buildOnce(sqlite3 *db, const std::function<bool()> &stopped)
{
    NameKeyTables::State state;
    int rc = NameKeyTables::readState(db, state);
    if (rc != SQLITE_OK)
        return rc;
    if (state == NameKeyTables::State::Other) {
        if ((rc = inWriteTransaction(db, [db] { return NameKeyTables::prepare(db); })) != SQLITE_OK)
            return rc;
        state = NameKeyTables::State::Building;
    }
    if (state == NameKeyTables::State::Building) {
        rc = inWriteTransaction(db, [&] {
            NameKeyTables::State now;
            int rc = NameKeyTables::readState(db, now);
            if (rc == SQLITE_OK && now != NameKeyTables::State::Building)
                return SQLITE_BUSY; // another program changed them meanwhile: again
            // The names are read on a connection of their own while this one
            // makes the index; nobody else writes meanwhile, others may read.
            std::vector<NameKeyTables::Variant> variants;
            int collected = SQLITE_OK;
            std::thread collector([&] { collected = collectOnOwnConnection(db, variants, stopped); });
            if (rc == SQLITE_OK)
                rc = NameKeyTables::makeIndex(db);
            collector.join();
            if (rc == SQLITE_OK)
                rc = collected;
            return rc == SQLITE_OK ? NameKeyTables::storeVariants(db, variants) : rc;
        });
        if (rc != SQLITE_OK)
            return rc;
    }

    // Names written by other programs since, in short transactions.
    NameKeyWriter writer;
    if ((rc = writer.prepare(db)) != SQLITE_OK)
        return rc;
    constexpr int PerTransaction = 512;
    for (int done = PerTransaction; done == PerTransaction;) {
        if (stopped())
            return SQLITE_INTERRUPT;
        if ((rc = inWriteTransaction(db, [&] { return writer.updatePending(PerTransaction, done); })) != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

} // namespace

std::shared_ptr<NameKeyBuilder> NameKeyBuilder::start(const QString &path)
{
    static std::mutex mutex;
    static std::map<QString, std::weak_ptr<NameKeyBuilder>> builders;
    const std::lock_guard<std::mutex> lock(mutex);
    std::weak_ptr<NameKeyBuilder> &slot = builders[path];
    if (std::shared_ptr<NameKeyBuilder> running = slot.lock(); running && !running->isFinished())
        return running;
    std::shared_ptr<NameKeyBuilder> builder(new NameKeyBuilder(path));
    builder->m_thread = std::thread(&NameKeyBuilder::run, builder.get());
    slot = builder;
    return builder;
}

int NameKeyBuilder::buildNow(sqlite3 *db)
{
    return build(db, 1, [] { return false; });
}

NameKeyBuilder::NameKeyBuilder(const QString &path) : m_path(path) {}

NameKeyBuilder::~NameKeyBuilder()
{
    m_stop = true;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_db)
            sqlite3_interrupt(m_db);
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool NameKeyBuilder::wait(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_finishedChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_finished; });
}

bool NameKeyBuilder::isFinished() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished;
}

int NameKeyBuilder::build(sqlite3 *db, int attempts, const std::function<bool()> &stopped)
{
    int rc = SQLITE_OK;
    for (int attempt = 1; attempt <= attempts && !stopped(); ++attempt) {
        rc = buildOnce(db, stopped);
        if (!isBusy(rc))
            break;
    }
    return rc;
}

void NameKeyBuilder::run()
{
    SqliteConnection connection;
    // No busy timeout: the handler below waits for other programs' locks,
    // unless asked to stop.
    if (connection.open(m_path, SQLITE_OPEN_READWRITE, 0) == SQLITE_OK) {
        sqlite3 *db = connection.handle();
        sqlite3_busy_handler(
            db,
            [](void *self, int count) {
                if (static_cast<NameKeyBuilder *>(self)->m_stop || count * 10 >= BusyTimeoutMs)
                    return 0;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                return 1;
            },
            this);
        // The index is made in one transaction: it stays in memory until the
        // commit, so that other connections may go on reading meanwhile. (A
        // larger cache than the default makes SQLite sort more slowly.)
        connection.exec("PRAGMA synchronous=FULL; PRAGMA cache_spill=OFF; PRAGMA mmap_size=1073741824");
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_db = db;
        }
        build(db, AttemptsInBackground, [this] { return m_stop.load(); });
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_db = nullptr;
        connection.close();
        m_finished = true;
    }
    m_finishedChanged.notify_all();
}
