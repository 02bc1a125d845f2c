#include "sync/Synchronizer.h"

#include "sync/DavXml.h"
#include "sync/SyncCard.h"
#include "sync/SyncLog.h"

#include <QUuid>

namespace {

constexpr int Parallel = 6;         // requests at once, as browsers do per host
constexpr qsizetype MultigetSize = 100; // cards per addressbook-multiget
constexpr int MultigetsAtOnce = 3;
constexpr size_t WritesPerBatch = 250;  // results kept per transaction
constexpr int UploadRounds = 3;      // a 412 fetches, merges and sends again

size_t hashOf(const ContactValues &values)
{
    size_t hash = 0;
    for (const QString &value : values)
        hash = hash * 31 + qHash(value);
    return hash;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Answers to a REPORT that end the sync: none, a refused password, a failing
// server. 501 is a server without REPORT, which is listed and fetched
// otherwise.
bool reportFailed(const DavReply &reply)
{
    return reply.status == 0 || reply.status == 401 || (reply.status >= 500 && reply.status != 501);
}

const QByteArray VCardType = "text/vcard; charset=utf-8";
const QByteArray XmlType = "application/xml; charset=utf-8";

} // namespace

std::optional<Synchronizer::Prefer> Synchronizer::preferNamed(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String("both"))
        return Prefer::Both;
    if (name == QLatin1String("local"))
        return Prefer::Local;
    if (name == QLatin1String("server"))
        return Prefer::Server;
    return std::nullopt;
}

Synchronizer::Synchronizer(SyncState &state, DavClient &client, const SyncAccount &account, Prefer prefer, SyncLog &log)
    : m_state(state), m_client(client), m_account(account), m_key(account.key()), m_prefer(prefer), m_log(log)
{
    m_collection = account.url.path(QUrl::FullyDecoded);
    if (!m_collection.endsWith(QLatin1Char('/')))
        m_collection.append(QLatin1Char('/'));
}

void Synchronizer::note(const QString &text)
{
    m_log.line(m_key + QStringLiteral(": ") + text);
}

bool Synchronizer::stop(const QString &message)
{
    m_state.rollback();
    m_lastError = message;
    note(tr("stopped: %1").arg(message));
    return false;
}

QString Synchronizer::failure(const DavReply &reply, const QString &what) const
{
    if (reply.status == 0)
        return tr("%1: %2").arg(what, reply.error);
    if (reply.status == 401)
        return tr("%1: the server refused the user name or password of %2 (401).").arg(what, m_account.user);
    return tr("%1: the server answered %2.").arg(what, QString::number(reply.status));
}

QUrl Synchronizer::urlOf(const QString &path) const
{
    QUrl url = m_account.url;
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

QString Synchronizer::nameOf(qint64 contact) const
{
    return quoted(m_contacts.value(contact).values[fieldIndex(ContactField::Name)]);
}

bool Synchronizer::batch(const std::function<bool()> &work)
{
    if (!m_state.begin())
        return stop(m_state.lastError());
    if (!work())
        return stop(m_lastError.isEmpty() ? m_state.lastError() : m_lastError);
    return m_state.commit() || stop(m_state.lastError());
}

bool Synchronizer::run(SyncReport &report)
{
    m_report = &report;
    note(tr("sync begins"));
    if (!loadLocal() || !receive() || !sendLocalChanges() || !batch([&] { return m_state.forgetDeleted(); }))
        return false;
    note(tr("sync done: received %1 new, %2 changed, %3 deleted; sent %4 new, %5 changed, %6 deleted; %7 conflicts")
             .arg(report.receivedNew)
             .arg(report.receivedChanged)
             .arg(report.receivedDeleted)
             .arg(report.sentNew)
             .arg(report.sentChanged)
             .arg(report.sentDeleted)
             .arg(report.conflicts.size()));
    return true;
}

bool Synchronizer::loadLocal()
{
    const int moved = m_state.reconcile();
    if (moved < 0)
        return stop(m_state.lastError());
    if (moved > 0)
        note(tr("%1 contacts paired with their rows again (the table was renumbered or changed without its triggers)").arg(moved));
    if (!m_state.loadContacts(m_contacts) || !m_state.loadItems(m_key, m_items))
        return stop(m_state.lastError());

    // Contacts this account lacks: a card on the server equal to one of them
    // is that contact (an earlier sync that was cut off, the same file
    // imported on both sides), not a new one.
    QSet<qint64> held;
    bool lostContacts = false;
    for (const SyncItem &item : std::as_const(m_items)) {
        held.insert(item.contact);
        lostContacts = lostContacts || (item.contact && !m_contacts.contains(item.contact));
    }
    for (const LocalContact &contact : std::as_const(m_contacts)) {
        if (contact.row && !held.contains(contact.id)) {
            m_unsent.insert(hashOf(contact.values), contact.id);
            m_unsentByName.insert(contact.values[fieldIndex(ContactField::Name)], contact.id);
        }
    }
    if (!lostContacts)
        return true;
    // The sync tables were made anew: what the server holds is paired with
    // the contacts by their values again, from a full listing.
    return batch([&] {
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (it->contact && !m_contacts.contains(it->contact)) {
                if (!m_state.dropItem(m_key, it->href))
                    return false;
                it = m_items.erase(it);
            } else {
                ++it;
            }
        }
        return m_state.setToken(m_key, QString());
    });
}

bool Synchronizer::receive()
{
    Listing listing;
    if (!listChanges(listing))
        return false;
    QStringList wanted;
    for (auto it = listing.changed.cbegin(); it != listing.changed.cend(); ++it) {
        const auto item = m_items.constFind(it.key());
        if (item == m_items.cend() || (!it.value().isEmpty() && item->etag != it.value()))
            wanted.append(it.key());
    }
    if (listing.complete) {
        for (const SyncItem &item : std::as_const(m_items)) {
            if (!listing.changed.contains(item.href))
                listing.removed.insert(item.href);
        }
    }
    if (!fetch(wanted) || !batch([&] { return storeDeferred(); }))
        return false;
    return batch([&] {
        for (const QString &href : std::as_const(listing.removed)) {
            if (!applyRemoval(href))
                return false;
        }
        // Taken before anything was sent: the next sync sees this sync's
        // own cards again, with the ETags it already has.
        return (listing.token == m_token && !m_token.isNull()) || m_state.setToken(m_key, listing.token);
    });
}

// ---- what changed on the server

bool Synchronizer::listChanges(Listing &listing)
{
    bool supported = true;
    if (!syncCollection(listing, supported))
        return false;
    return supported || listEtags(listing);
}

bool Synchronizer::syncCollection(Listing &listing, bool &supported)
{
    const std::optional<QString> stored = m_state.token(m_key);
    if (!stored)
        return stop(m_state.lastError());
    m_token = *stored;
    // The first sync asks with no token, for every card. That costs a server
    // that keeps a change history (Radicale) its whole history at once, but
    // less than listing the ETags with PROPFIND Depth: 1, which Radicale
    // answers in time growing with the square of the cards; and the next
    // sync does not pay the history again.
    QString token = m_token;
    const QString what = tr("Could not ask %1 what changed").arg(m_account.url.toDisplayString());
    for (;;) {
        const DavReply reply = m_client.send(
            {"REPORT", urlOf(m_collection), DavXml::syncCollection(token), XmlType, {{"Depth", "0"}}});
        if (reply.status == 207) {
            DavMultistatus answer;
            QString error;
            if (!DavXml::parseMultistatus(reply.body, reply.url, answer, &error))
                return stop(tr("%1: its answer could not be read: %2").arg(what, error));
            listing.complete = listing.complete || token.isEmpty();
            for (const DavResource &resource : answer.resources) {
                if (!resource.path.startsWith(m_collection) || resource.path.endsWith(QLatin1Char('/')))
                    continue;
                if (resource.status == 404 || resource.status == 410) {
                    listing.changed.remove(resource.path);
                    listing.removed.insert(resource.path);
                } else {
                    listing.removed.remove(resource.path);
                    listing.changed.insert(resource.path, resource.etag);
                }
            }
            listing.token = answer.syncToken;
            // Servers may answer in parts (RFC 6578, 3.6).
            if (!answer.truncated || answer.syncToken.isEmpty() || answer.syncToken == token)
                return true;
            token = answer.syncToken;
            continue;
        }
        if (reportFailed(reply) || reply.status == 404)
            return stop(failure(reply, what));
        if (!token.isEmpty()) {
            // An expired token (403 or 409 with DAV:valid-sync-token): list
            // everything anew.
            note(tr("the server no longer knows the last sync's token (%1); every card is listed").arg(reply.status));
            token.clear();
            listing = Listing();
            continue;
        }
        supported = false;
        return true;
    }
}

bool Synchronizer::listEtags(Listing &listing)
{
    const QString what = tr("Could not list the cards of %1").arg(m_account.url.toDisplayString());
    const DavReply reply = m_client.send({"PROPFIND", urlOf(m_collection),
                                          DavXml::propfind({DavXml::Property::ResourceType, DavXml::Property::ETag}),
                                          XmlType, {{"Depth", "1"}}});
    if (reply.status != 207)
        return stop(failure(reply, what));
    DavMultistatus answer;
    QString error;
    if (!DavXml::parseMultistatus(reply.body, reply.url, answer, &error))
        return stop(tr("%1: its answer could not be read: %2").arg(what, error));
    listing = Listing();
    listing.complete = true;
    for (const DavResource &resource : answer.resources) {
        if (resource.path.startsWith(m_collection) && resource.path != m_collection && !resource.isCollection
            && !resource.path.endsWith(QLatin1Char('/')))
            listing.changed.insert(resource.path, resource.etag);
    }
    return true;
}

bool Synchronizer::fetch(const QStringList &paths)
{
    // A few multigets at once, each stored as it arrives: the server
    // answers the next while this one is written.
    const QString what = tr("Could not fetch cards from %1").arg(m_account.url.toDisplayString());
    std::vector<DavRequest> requests;
    std::vector<QStringList> parts;
    for (qsizetype start = 0; start < paths.size(); start += MultigetSize) {
        parts.push_back(paths.mid(start, MultigetSize));
        // No Depth header (RFC 4791, 7.9): a server may take Depth: 1 for
        // "look at every card" first, as Radicale does.
        requests.push_back({"REPORT", urlOf(m_collection), DavXml::addressBookMultiget(parts.back()), XmlType, {}});
    }
    QStringList oneByOne;
    bool stopped = false;
    m_client.sendAll(requests, MultigetsAtOnce, [&](size_t index, const DavReply &reply) {
        if (reply.status == 207) {
            DavMultistatus answer;
            QString error;
            if (!DavXml::parseMultistatus(reply.body, reply.url, answer, &error))
                stopped = !stop(tr("%1: its answer could not be read: %2").arg(what, error));
            else
                stopped = !batch([&] { return applyFetched(answer, parts[index]); });
        } else if (reportFailed(reply)) {
            stopped = !stop(failure(reply, what));
        } else {
            oneByOne += parts[index]; // a server without multiget, or without REPORT (501)
        }
        return !stopped;
    });
    return !stopped && (oneByOne.isEmpty() || fetchOneByOne(oneByOne));
}

bool Synchronizer::fetchOneByOne(const QStringList &paths)
{
    std::vector<DavRequest> requests;
    for (const QString &path : paths)
        requests.push_back({"GET", urlOf(path), {}, {}, {}});
    std::vector<std::pair<size_t, DavReply>> replies;
    DavReply trouble;
    m_client.sendAll(requests, Parallel, [&](size_t index, const DavReply &reply) {
        if (reply.status == 0 || reply.status == 401 || reply.status >= 500) {
            trouble = reply;
            return false;
        }
        replies.emplace_back(index, reply);
        return true;
    });
    const bool applied = batch([&] {
        for (const auto &[index, reply] : replies) {
            const QString &path = paths.at(qsizetype(index));
            if (reply.status == 200 && !applyCard(path, reply.etag, reply.body))
                return false;
            if ((reply.status == 404 || reply.status == 410) && !applyRemoval(path))
                return false;
            if (reply.status != 200 && reply.status != 404 && reply.status != 410)
                m_report->problems.append(tr("%1 could not be fetched: the server answered %2.").arg(path, QString::number(reply.status)));
        }
        return true;
    });
    if (!applied)
        return false;
    return trouble.status == 0 && trouble.error.isEmpty() ? true
                                                         : stop(failure(trouble, tr("Could not fetch cards from %1")
                                                                                     .arg(m_account.url.toDisplayString())));
}

bool Synchronizer::applyFetched(const DavMultistatus &answer, const QStringList &asked)
{
    for (const DavResource &resource : answer.resources) {
        if (!asked.contains(resource.path))
            continue; // only what was asked for, whatever else a server sends
        if (resource.status == 404 || resource.status == 410) {
            if (!applyRemoval(resource.path))
                return false;
        } else if (!resource.addressData.isEmpty()) {
            if (!applyCard(resource.path, resource.etag, resource.addressData))
                return false;
        }
    }
    return true;
}

bool Synchronizer::applyCard(const QString &href, const QByteArray &etag, const QByteArray &bytes)
{
    const std::optional<SyncCard> card = SyncCard::read(bytes);
    const auto item = m_items.find(href);
    if (!card) {
        // Kept with its ETag, so that it is not fetched again until it changes.
        m_report->problems.append(tr("%1 holds no vCard; passed over.").arg(href));
        note(tr("%1 holds no vCard; passed over").arg(href));
        SyncItem ignored{href, 0, etag, bytes, QByteArray(), ContactValues()};
        if (item != m_items.end() && item->contact)
            return true; // its contact stays as it was
        m_items.insert(href, ignored);
        return m_state.putItem(m_key, ignored);
    }
    if (item == m_items.end() || item->contact == 0) {
        if (item != m_items.end())
            m_items.erase(item);
        return storeNew(href, etag, bytes, card->values());
    }
    LocalContact &contact = m_contacts[item->contact];
    return merge(*item, contact, etag, bytes, card->values());
}

void Synchronizer::forgetUnsent(qint64 contact)
{
    const ContactValues &values = m_contacts[contact].values;
    m_unsent.remove(hashOf(values), contact);
    m_unsentByName.remove(values[fieldIndex(ContactField::Name)], contact);
}

bool Synchronizer::storeNew(const QString &href, const QByteArray &etag, const QByteArray &bytes,
                            const ContactValues &values)
{
    SyncItem item{href, 0, etag, bytes, QByteArray(), values};
    if (values[fieldIndex(ContactField::Name)].isEmpty()) {
        ++m_report->withoutName;
        note(tr("%1 has nothing to serve as a name; passed over").arg(href));
        m_items.insert(href, item);
        return m_state.putItem(m_key, item);
    }
    for (const qint64 id : m_unsent.values(hashOf(values))) {
        if (m_contacts.value(id).values == values) {
            forgetUnsent(id);
            item.contact = id;
            ++m_report->paired;
            note(tr("%1 is the contact %2 already here").arg(href, nameOf(id)));
            m_items.insert(href, item);
            return m_state.putItem(m_key, item);
        }
    }
    // Decided once every new card is known: one equal to a contact here
    // may still come.
    m_deferred.push_back(item);
    return true;
}

bool Synchronizer::storeDeferred()
{
    QHash<QString, int> cardsNamed;
    for (const SyncItem &item : m_deferred)
        ++cardsNamed[item.base[fieldIndex(ContactField::Name)]];
    for (SyncItem &item : m_deferred) {
        // The only card and the only contact of one name, never synced
        // together (a copy restored from before the last sync, the same
        // people entered on both sides): one contact, merged field by field
        // with every difference a conflict.
        const QString name = item.base[fieldIndex(ContactField::Name)];
        const QList<qint64> named = m_unsentByName.values(name);
        if (named.size() == 1 && cardsNamed.value(name) == 1) {
            const qint64 id = named.constFirst();
            forgetUnsent(id);
            const ContactValues remote = item.base;
            ContactValues unknown;
            unknown.fill(QString(QChar(QChar::LastValidCodePoint & 0xffff)));
            SyncItem paired{item.href, id, QByteArray(), QByteArray(), QByteArray(), unknown};
            ++m_report->paired;
            note(tr("%1 is taken for the contact %2 here, which has the same name").arg(item.href, nameOf(id)));
            const auto inserted = m_items.insert(item.href, paired);
            if (!merge(*inserted, m_contacts[id], item.etag, item.card, remote))
                return false;
            continue;
        }
        LocalContact contact;
        if (!m_state.insertContact(item.base, contact))
            return false;
        m_contacts.insert(contact.id, contact);
        item.contact = contact.id;
        ++m_report->receivedNew;
        note(tr("received new %1 (%2)").arg(nameOf(contact.id), item.href));
        m_items.insert(item.href, item);
        if (!m_state.putItem(m_key, item))
            return false;
    }
    m_deferred.clear();
    return true;
}

bool Synchronizer::merge(SyncItem &item, LocalContact &contact, const QByteArray &etag, const QByteArray &bytes,
                         const ContactValues &remote)
{
    // What the server held at the last sync, as the fields read it.
    ContactValues before = item.base;
    if (const std::optional<SyncCard> old = SyncCard::read(item.card))
        before = old->values();
    const bool serverChanged = before != remote;

    if (!contact.row) {
        // Deleted here. A change on the server wins: the contact comes back.
        if (serverChanged) {
            if (!m_state.reviveContact(contact, remote))
                return false;
            ++m_report->receivedChanged;
            note(tr("%1 was deleted here but changed on the server, and comes back").arg(nameOf(contact.id)));
            item.base = remote;
        }
        item.etag = etag;
        item.card = bytes;
        item.pending = QByteArray();
        return m_state.putItem(m_key, item);
    }

    const ContactValues local = contact.values;
    ContactValues merged = local;
    ContactValues base = local;
    std::optional<SyncCard> pending;
    QStringList changedFields;
    for (int i = 0; i < ContactFieldCount; ++i) {
        const ContactField field = ContactField(i);
        const bool localChanged = local[i] != item.base[i];
        const bool remoteChanged = remote[i] != before[i];
        if (!remoteChanged) {
            base[i] = localChanged ? remote[i] : local[i]; // a local change still goes up
            continue;
        }
        changedFields.append(contactFieldNames()[i]);
        if (!localChanged || local[i] == remote[i]) {
            merged[i] = base[i] = remote[i];
            continue;
        }
        // Changed on both sides, differently.
        QString outcome;
        bool keepServers = false;
        switch (m_prefer) {
        case Prefer::Server:
            merged[i] = remote[i];
            outcome = tr("kept the server's");
            break;
        case Prefer::Local:
            outcome = tr("kept this computer's");
            break;
        case Prefer::Both:
            if (local[i].isEmpty()) {
                merged[i] = remote[i];
                outcome = tr("kept the server's, as this computer's is empty");
            } else if (remote[i].isEmpty()) {
                outcome = tr("kept this computer's, as the server's is empty");
            } else {
                keepServers = true;
                outcome = tr("kept both: this computer's in the field, the server's also on the card");
            }
            break;
        }
        base[i] = remote[i]; // what the server holds; a local value that differs goes up
        if (keepServers) {
            if (!pending)
                pending = SyncCard::read(bytes);
            if (pending) {
                pending->set(field, merged[i]);
                pending->keepAlso(field, remote[i]);
            }
        }
        const QString conflict = tr("%1: %2 was changed here to %3 and on the server to %4; %5.")
                                     .arg(quoted(merged[fieldIndex(ContactField::Name)]), contactFieldNames()[i],
                                          quoted(local[i]), quoted(remote[i]), outcome);
        m_report->conflicts.append(conflict);
        note(tr("conflict: %1").arg(conflict));
    }

    if (merged != local) {
        switch (m_state.updateContact(contact, merged)) {
        case SyncState::RowChange::Done:
            break;
        case SyncState::RowChange::Changed:
            // Edited here this very moment: the next sync merges it.
            note(tr("%1 changed here during the sync; merged next time").arg(nameOf(contact.id)));
            return true;
        case SyncState::RowChange::Failed:
            return false;
        }
    }
    if (serverChanged) {
        ++m_report->receivedChanged;
        note(tr("received changes of %1 (%2): %3").arg(nameOf(contact.id), item.href,
                                                      changedFields.join(QStringLiteral(", "))));
    }
    item.etag = etag;
    item.card = bytes;
    item.base = base;
    item.pending = pending ? pending->bytes() : QByteArray();
    return m_state.putItem(m_key, item);
}

bool Synchronizer::applyRemoval(const QString &href)
{
    const auto item = m_items.find(href);
    if (item == m_items.end())
        return true;
    // Never confirmed by the server: not deleted there, but still to be sent.
    if (item->etag.isEmpty() && item->contact)
        return true;
    LocalContact *contact = item->contact ? &m_contacts[item->contact] : nullptr;
    if (contact && contact->row) {
        const bool changedHere = contact->values != item->base || !item->pending.isNull();
        const SyncState::RowChange deleted = changedHere ? SyncState::RowChange::Changed : m_state.deleteContact(*contact);
        if (deleted == SyncState::RowChange::Failed)
            return false;
        if (deleted == SyncState::RowChange::Changed) {
            // Changed here: the change wins, and the card goes up again.
            note(tr("%1 was deleted on the server but changed here, and is sent again").arg(nameOf(contact->id)));
            item->etag.clear();
            return m_state.putItem(m_key, *item);
        }
        ++m_report->receivedDeleted;
        note(tr("deleted %1, as it was deleted on the server (%2)").arg(nameOf(contact->id), href));
    }
    const bool dropped = m_state.dropItem(m_key, href);
    m_items.erase(item);
    return dropped;
}

// ---- what changed here

QByteArray Synchronizer::cardFor(const LocalContact &contact, const QString &uid)
{
    if (std::optional<SyncCard> card = SyncCard::read(m_state.cardOf(contact.id))) {
        for (int i = 0; i < ContactFieldCount; ++i)
            card->set(ContactField(i), contact.values[i]);
        return card->bytes();
    }
    return SyncCard::create(contact.values, uid).bytes();
}

std::vector<Synchronizer::Upload> Synchronizer::localChanges()
{
    std::vector<Upload> uploads;
    QSet<qint64> held;
    for (const SyncItem &item : std::as_const(m_items)) {
        held.insert(item.contact);
        if (!item.contact || m_failed.contains(item.href))
            continue;
        const LocalContact &contact = m_contacts[item.contact];
        if (!contact.row) {
            uploads.push_back({item.href, contact.id, true, QByteArray(), ContactValues(), item.etag.isEmpty()});
            continue;
        }
        if (contact.values == item.base && item.pending.isNull() && !item.etag.isEmpty())
            continue;
        std::optional<SyncCard> card = SyncCard::read(item.pending.isNull() ? item.card : item.pending);
        if (!card)
            card = SyncCard::create(contact.values, QUuid::createUuid().toString(QUuid::WithoutBraces));
        for (int i = 0; i < ContactFieldCount; ++i) {
            if (contact.values[i] != item.base[i])
                card->set(ContactField(i), contact.values[i]);
        }
        uploads.push_back({item.href, contact.id, false, card->bytes(), contact.values, item.etag.isEmpty()});
    }
    for (const LocalContact &contact : std::as_const(m_contacts)) {
        if (!contact.row || held.contains(contact.id))
            continue;
        const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        uploads.push_back({m_collection + uid + QStringLiteral(".vcf"), contact.id, false, cardFor(contact, uid),
                           contact.values, true});
    }
    return uploads;
}

bool Synchronizer::recordNewCards(std::vector<Upload> &uploads)
{
    // Recorded before they are sent: a sync killed after the PUT finds its
    // card on the server next time instead of sending it twice.
    return batch([&] {
        for (const Upload &upload : uploads) {
            if (upload.remove || m_items.contains(upload.href))
                continue;
            const SyncItem item{upload.href, upload.contact, QByteArray(), upload.card, QByteArray(), upload.values};
            m_items.insert(item.href, item);
            if (!m_state.putItem(m_key, item))
                return false;
        }
        return true;
    });
}

bool Synchronizer::sendLocalChanges()
{
    for (int round = 0; round < UploadRounds; ++round) {
        std::vector<Upload> uploads = localChanges();
        // Deleted here before they ever reached the server: nothing to send.
        const bool forgot = batch([&] {
            for (auto it = uploads.begin(); it != uploads.end();) {
                if (it->remove && it->created) {
                    if (!m_state.dropItem(m_key, it->href))
                        return false;
                    m_items.remove(it->href);
                    it = uploads.erase(it);
                } else {
                    ++it;
                }
            }
            return true;
        });
        if (!forgot)
            return false;
        if (uploads.empty())
            return true;
        if (!recordNewCards(uploads))
            return false;

        std::vector<DavRequest> requests;
        requests.reserve(uploads.size());
        for (const Upload &upload : uploads) {
            const SyncItem &item = m_items[upload.href];
            DavRequest request{upload.remove ? QByteArray("DELETE") : QByteArray("PUT"), urlOf(upload.href),
                               upload.card, upload.remove ? QByteArray() : VCardType, {}};
            if (upload.created)
                request.headers.append(qMakePair(QByteArray("If-None-Match"), QByteArray("*")));
            else
                request.headers.append(qMakePair(QByteArray("If-Match"), item.etag));
            requests.push_back(request);
        }

        QStringList refetch;
        DavReply trouble;
        std::vector<std::pair<size_t, DavReply>> done;
        bool written = true;
        const auto writeDone = [&] {
            written = written && batch([&] {
                for (const auto &[index, reply] : done) {
                    if (!confirm(uploads[index], reply, refetch))
                        return false;
                }
                return true;
            });
            done.clear();
        };
        m_client.sendAll(requests, Parallel, [&](size_t index, const DavReply &reply) {
            if (reply.status == 0 || reply.status == 401 || reply.status >= 500) {
                trouble = reply;
                return false;
            }
            done.emplace_back(index, reply);
            if (done.size() >= WritesPerBatch)
                writeDone();
            return written;
        });
        writeDone();
        if (!written)
            return false;
        if (!trouble.error.isEmpty() || trouble.status)
            return stop(failure(trouble, tr("Could not send the changes to %1").arg(m_account.url.toDisplayString())));
        if (refetch.isEmpty())
            return true;
        // Changed on the server meanwhile (412), or stored differently
        // from what was sent (no ETag): fetched, merged, and sent again.
        if (!fetchOneByOne(refetch))
            return false;
    }
    return true;
}

bool Synchronizer::confirm(const Upload &upload, const DavReply &reply, QStringList &refetch)
{
    const auto item = m_items.find(upload.href);
    if (item == m_items.end())
        return true;
    if (upload.remove) {
        if (reply.succeeded() || reply.status == 404 || reply.status == 410) {
            ++m_report->sentDeleted;
            note(tr("deleted %1 on the server").arg(upload.href));
            const bool dropped = m_state.dropItem(m_key, upload.href);
            m_items.erase(item);
            return dropped;
        }
    } else if (reply.succeeded()) {
        ++(upload.created ? m_report->sentNew : m_report->sentChanged);
        note(tr("sent %1 %2 (%3)").arg(upload.created ? tr("new") : tr("changes of"), nameOf(upload.contact), upload.href));
        item->etag = reply.etag;
        item->card = upload.card;
        item->base = upload.values;
        item->pending = QByteArray();
        // A server that stored the card otherwise than sent gives no ETag
        // (RFC 6352, 6.3.2.3): its version is fetched and kept.
        if (reply.etag.isEmpty())
            refetch.append(upload.href);
        return m_state.putItem(m_key, *item);
    }
    if (reply.status == 412 || reply.status == 404 || reply.status == 410) {
        note(tr("%1 changed on the server meanwhile (%2); fetched and merged again").arg(upload.href).arg(reply.status));
        refetch.append(upload.href);
        return true;
    }
    m_failed.insert(upload.href);
    m_report->problems.append(tr("%1 could not be sent: the server answered %2.").arg(nameOf(upload.contact)).arg(reply.status));
    note(tr("%1 could not be sent: the server answered %2").arg(upload.href).arg(reply.status));
    return true;
}
