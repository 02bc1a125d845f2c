#pragma once

#include <QFile>
#include <QString>

// The sync log beside the contact database (db2-sync.log for db2.mdb,
// readable by its owner only): one line per thing a sync did, each written
// at once, so that a sync that was killed leaves what it did. Past 2 MB the
// log moves to db2-sync.log.1 and starts anew.
class SyncLog
{
public:
    explicit SyncLog(const QString &databasePath);

    QString path() const { return m_path; }
    void line(const QString &text);

private:
    QString m_path;
    QFile m_file;
};
