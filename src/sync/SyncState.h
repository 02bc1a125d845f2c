#pragma once

#include "contacts/ContactDatabase.h"
#include "contacts/ContactRecord.h"
#include "contacts/SqliteStatement.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>

// A contact as sync sees it: its own id, which survives row ids changing.
struct LocalContact
{
    qint64 id = 0;
    qint64 row = 0;     // in Table1; 0 once deleted here
    qint64 deleted = 0; // its entry among the deleted contacts
    ContactValues values; // what Table1 holds
};

// A card on the server of one account, and what the last sync agreed on.
struct SyncItem
{
    QString href;    // decoded path
    qint64 contact = 0; // 0: a card that holds no contact
    QByteArray etag; // empty: not confirmed by the server yet
    QByteArray card; // as last received or sent
    QByteArray pending; // a changed card still to be sent
    ContactValues base; // the contact's values at the last sync
};

// merivo-tool sync's reading and writing of the contact database: Table1
// and the sync tables of SyncSchema. Writes go into batches, each one
// transaction; a change of Table1 is made only if the row still holds what
// sync read, so that nothing typed meanwhile in a window is overwritten.
class SyncState
{
    Q_DECLARE_TR_FUNCTIONS(SyncState)

public:
    SyncState() = default;
    ~SyncState();

    bool open(const QString &path);
    QString lastError() const { return m_lastError; }

    // Pairs contacts with rows again after row ids changed without the
    // triggers (a dump and reload, a VACUUM, a restored copy), and gives
    // every new row a contact. Returns the number of contacts found again
    // elsewhere, or -1.
    int reconcile();

    bool loadContacts(QHash<qint64, LocalContact> &contacts);
    bool loadItems(const QString &account, QHash<QString, SyncItem> &items);
    // The card to send a contact with to a server that lacks it: the one it
    // was deleted with before it was brought back, or another server's.
    QByteArray cardOf(qint64 contact);
    // The server's sync token at the last sync: a null text when the
    // account was never synced, an empty one when there was no token.
    std::optional<QString> token(const QString &account);

    // All writes below belong to the batch begun last.
    bool begin();
    bool commit();
    void rollback();
    bool inBatch() const { return m_transaction != nullptr; }

    bool setToken(const QString &account, const QString &token);
    bool putItem(const QString &account, const SyncItem &item);
    bool dropItem(const QString &account, const QString &href);

    enum class RowChange { Done, Changed, Failed };
    // A new row and its contact.
    bool insertContact(const ContactValues &values, LocalContact &contact);
    // Writes the fields that differ, if the row still holds `expected`.
    RowChange updateContact(LocalContact &contact, const ContactValues &values);
    RowChange deleteContact(LocalContact &contact);
    // A contact deleted here but changed on a server comes back.
    bool reviveContact(LocalContact &contact, const ContactValues &values);

    // Forgets the contacts that are deleted and no server still has.
    bool forgetDeleted();
    bool removeAccount(const QString &account);

private:
    bool fail(const QString &what, int rc);
    int execute(const QString &sql);
    bool readRow(qint64 row, ContactValues &values, bool &found);
    bool remap(int &moved);

    ContactDatabase m_database;
    std::unique_ptr<WriteTransaction> m_transaction;
    SqliteStatement m_putItem;
    SqliteStatement m_dropItem;
    SqliteStatement m_readRow;
    SqliteStatement m_insertRow;
    SqliteStatement m_insertContact;
    QString m_lastError;
};
