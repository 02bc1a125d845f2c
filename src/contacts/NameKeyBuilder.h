#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct sqlite3;

// Makes the name keys of a database file that lacks them (see NameIndex), in
// a thread with a connection of its own, so that a window over a file of a
// million contacts made by another program shows at once. Its writes are
// short but one: the index is made in one transaction, during which other
// connections may read but wait to write.
//
// One builder per file in a process: the stores over one file share it, and
// when the last of them closes it is stopped; what it had not finished is
// started again at the next opening.
class NameKeyBuilder
{
public:
    // The builder of the file at path, started unless one is at work already.
    static std::shared_ptr<NameKeyBuilder> start(const QString &path);
    // Makes the keys on the caller's connection, in the caller's thread.
    // An SQLite result code.
    static int buildNow(sqlite3 *db);

    ~NameKeyBuilder();
    NameKeyBuilder(const NameKeyBuilder &) = delete;
    NameKeyBuilder &operator=(const NameKeyBuilder &) = delete;

    // True once finished, whether the keys could be made or not.
    bool wait(int timeoutMs);

private:
    explicit NameKeyBuilder(const QString &path);
    void run();
    bool isFinished() const;
    static int build(sqlite3 *db, int attempts, const std::function<bool()> &stopped);

    QString m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_finishedChanged;
    bool m_finished = false;
    sqlite3 *m_db = nullptr; // guarded by m_mutex, for interrupting
};
