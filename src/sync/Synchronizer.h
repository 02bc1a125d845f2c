#pragma once

#include "sync/DavClient.h"
#include "sync/SyncAccount.h"
#include "sync/SyncState.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QStringList>

class SyncLog;
struct DavMultistatus;

// What one sync of one account did, for the user.
struct SyncReport
{
    int receivedNew = 0;
    int receivedChanged = 0;
    int receivedDeleted = 0;
    int sentNew = 0;
    int sentChanged = 0;
    int sentDeleted = 0;
    int paired = 0;      // local contacts found on the server already
    int withoutName = 0; // cards that hold nothing to serve as a name
    QStringList conflicts;
    QStringList problems; // single contacts that could not be synced this time
};

// One two-way sync of the contact database with one CardDAV address book
// (RFC 6352), following the RFCs rather than one server's habits:
//
// 1. Local changes: SyncState pairs contacts with their rows and finds the
//    new rows; the triggers have kept every change and deletion.
// 2. What changed on the server: sync-collection (RFC 6578) from the token
//    of the last sync, or from none at the first, else a listing of ETags
//    (PROPFIND); changed cards are fetched with addressbook-multiget, else
//    one by one.
// 3. Each card is merged field by field against what the last sync agreed
//    on: a field changed on one side takes that side's value; changed on
//    both sides, the account's rule decides (see Prefer) and the report
//    lists it. A contact deleted on one side and changed on the other stays.
// 4. Local changes go up: a changed card is the one the server sent, with
//    only the properties of the changed fields rewritten; every PUT and
//    DELETE carries If-Match (or If-None-Match: * for a new card), so nothing
//    changed meanwhile is overwritten unseen: a 412 fetches it and merges
//    again.
//
// Every step is kept in the database as it is done, and every step can be
// done twice: a sync killed at any moment, or cut off by the server, is
// finished by the next one without losing or duplicating a contact. A new
// card is recorded before it is sent; one the server never confirmed is
// looked for on the next sync rather than taken for deleted.
class Synchronizer
{
    Q_DECLARE_TR_FUNCTIONS(Synchronizer)

public:
    enum class Prefer {
        Both,   // the field keeps this computer's value; the card keeps the server's too
        Local,  // this computer's value wins
        Server, // the server's value wins
    };
    static std::optional<Prefer> preferNamed(const QString &name);

    Synchronizer(SyncState &state, DavClient &client, const SyncAccount &account, Prefer prefer, SyncLog &log);

    // False when the sync stopped before its end (lastError() says why);
    // what it did until then is kept, and the next sync goes on from there.
    bool run(SyncReport &report);
    QString lastError() const { return m_lastError; }

private:
    struct Listing
    {
        QHash<QString, QByteArray> changed; // path to ETag
        QSet<QString> removed;
        QString token;
        bool complete = false; // every card is listed: those missing were removed
    };
    struct Upload
    {
        QString href;
        qint64 contact = 0;
        bool remove = false;
        QByteArray card;
        ContactValues values;
        bool created = false; // not on the server yet: If-None-Match
    };

    bool loadLocal();
    bool receive();
    bool listChanges(Listing &listing);
    bool syncCollection(Listing &listing, bool &supported);
    bool listEtags(Listing &listing);
    bool fetch(const QStringList &paths);
    bool fetchOneByOne(const QStringList &paths);
    bool applyFetched(const DavMultistatus &answer, const QStringList &asked);
    bool applyCard(const QString &href, const QByteArray &etag, const QByteArray &bytes);
    bool applyRemoval(const QString &href);
    bool storeNew(const QString &href, const QByteArray &etag, const QByteArray &bytes, const ContactValues &values);
    bool storeDeferred();
    void forgetUnsent(qint64 contact);
    bool merge(SyncItem &item, LocalContact &contact, const QByteArray &etag, const QByteArray &bytes,
               const ContactValues &remote);

    bool sendLocalChanges();
    std::vector<Upload> localChanges();
    bool recordNewCards(std::vector<Upload> &uploads);
    QByteArray cardFor(const LocalContact &contact, const QString &uid);
    bool confirm(const Upload &upload, const DavReply &reply, QStringList &refetch);

    bool batch(const std::function<bool()> &work);
    QUrl urlOf(const QString &path) const;
    QString nameOf(qint64 contact) const;
    void note(const QString &text);
    bool stop(const QString &message);
    QString failure(const DavReply &reply, const QString &what) const;

    SyncState &m_state;
    DavClient &m_client;
    SyncAccount m_account;
    QString m_key;
    QString m_collection; // decoded path, ending in '/'
    QString m_token;      // of the last sync
    Prefer m_prefer;
    SyncLog &m_log;
    SyncReport *m_report = nullptr;
    QString m_lastError;

    QHash<qint64, LocalContact> m_contacts;
    QHash<QString, SyncItem> m_items;
    QMultiHash<size_t, qint64> m_unsent; // contacts this account lacks, by their values
    QMultiHash<QString, qint64> m_unsentByName;
    std::vector<SyncItem> m_deferred; // new cards not equal to a contact here
    QSet<QString> m_failed;              // cards not to try again in this sync
};
