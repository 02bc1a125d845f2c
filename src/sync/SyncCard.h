#pragma once

#include "contacts/ContactRecord.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A contact's card as a server holds it, read into the eight fields as the
// vCard import reads them, and changed only where a field changed: the
// property that field was read from gets the new value, and every other
// line of the card (photo, birthday, further phone numbers, notes, unknown
// properties, groups) stays byte for byte as it was.
class SyncCard
{
public:
    // Nothing when the bytes hold no vCard.
    static std::optional<SyncCard> read(const QByteArray &bytes);
    // A new vCard 3.0 (what every CardDAV server takes) with a UID.
    static SyncCard create(const ContactValues &values, const QString &uid);

    const QByteArray &bytes() const { return m_bytes; }
    const ContactValues &values() const { return m_values; }

    // Sets field to value; an empty value removes the property.
    void set(ContactField field, const QString &value);
    // Keeps another version of field on the card beside the one the field
    // reads: a further property of the same kind (a second phone number,
    // address, ...), or for the name a note.
    void keepAlso(ContactField field, const QString &value);

private:
    explicit SyncCard(const QByteArray &bytes) : m_bytes(bytes) {}
    bool parse();

    QByteArray m_bytes;
    ContactValues m_values;
};
