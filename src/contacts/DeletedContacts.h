#pragma once

#include "contacts/ContactRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

class ContactDatabase;

struct DeletedContact
{
    qint64 number = 0; // what the user names to bring it back
    QDateTime deletedAt;
    ContactValues values;
    bool hasCard = false; // it came from a server, or went to one
};

// The contacts deleted in the last 30 days, whichever program deleted them
// (the forms, the sqlite3 shell, a sync): kept by a trigger on Table1 in
// merivo_deleted (see SyncSchema).
class DeletedContacts
{
    Q_DECLARE_TR_FUNCTIONS(DeletedContacts)

public:
    explicit DeletedContacts(ContactDatabase &database) : m_database(database) {}

    // Newest first. Forgets those deleted more than 30 days ago.
    bool list(std::vector<DeletedContact> &contacts);

    // Stores the deleted contact again, its values exactly as they were, and
    // returns its new row id. The next sync sends it back to the servers
    // with its card, or, if its deletion was not synced yet, sends nothing.
    std::optional<qint64> undelete(qint64 number);

    QString lastError() const { return m_lastError; }

private:
    bool fail(const QString &what, int rc);
    int forgetExpired();

    ContactDatabase &m_database;
    QString m_lastError;
};
