#pragma once

#include <QDate>
#include <QObject>
#include <QString>

class QThread;

// The copy of db2.mdb that the program keeps by itself: at the first start
// of a day, backups/db2-<yyyy-MM-dd>.mdb beside it, the last Kept of them.
//
// The copy runs on a thread of its own, over a connection of its own,
// through SQLite's backup API, so the splash and the forms never wait for
// it and a save made meanwhile is never half copied. It fails silently: a
// day without a copy is better than a program that does not start.
class DailyBackup : public QObject
{
    Q_OBJECT

public:
    static constexpr int Kept = 7;
    enum class Outcome { Copied, AlreadyThere, NothingToCopy, Failed };
    Q_ENUM(Outcome)

    // Starts once the event loop runs. today is the day the copy is named
    // after.
    explicit DailyBackup(const QString &databasePath, QDate today = QDate::currentDate(), QObject *parent = nullptr);
    // Waits for a copy still being made.
    ~DailyBackup() override;

    // The work itself, on the calling thread: copies the database unless
    // the day has its copy or there is no contact database, then removes
    // the daily copies beyond the newest Kept up to today. Part files of
    // copies cut short before go too.
    static Outcome makeCopy(const QString &databasePath, QDate today, QString *error = nullptr);
    static QString copyPath(const QString &databasePath, QDate day);

Q_SIGNALS:
    void finished(DailyBackup::Outcome outcome);

private:
    void start();
    static void removeOldCopies(const QString &databasePath, QDate today);

    QString m_databasePath;
    QDate m_today;
    QThread *m_thread = nullptr;
    Outcome m_outcome = Outcome::Failed;
};
