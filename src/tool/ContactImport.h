#pragma once

#include "contacts/ContactBatch.h"
#include "tool/ImportReport.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>

#include <optional>

// Adds the contacts of a file to the contact database: all of them in one
// transaction, or none when anything in the file or the database fails.
class ContactImport
{
    Q_DECLARE_TR_FUNCTIONS(ContactImport)

public:
    enum class Format {
        Detect,         // by content: an older database's signature, BEGIN:VCARD, else CSV
        VCard,          // 2.1, 3.0 or 4.0
        Csv,            // with a header row
        LegacyDatabase, // Jet/Access .mdb, read through mdb-export
    };
    // "vcard", "csv" or "mdb".
    static std::optional<Format> formatNamed(const QString &name);

    bool run(const QString &file, const QString &databasePath, Format format = Format::Detect);
    const ImportReport &report() const { return m_report; }
    QString lastError() const { return m_lastError; }

private:
    bool readVCards(QByteArrayView text, ContactBatch &batch, const QString &file);
    bool readCsv(QByteArrayView text, ContactBatch &batch, const QString &source);
    bool add(const ContactTexts &values, ContactBatch &batch);
    bool fail(const QString &message);

    ImportReport m_report;
    QString m_lastError;
};

// The contact table of an older address book's database, as CSV written by
// mdb-export (Debian's mdbtools), which is looked for on the PATH.
namespace LegacyDatabaseExport {

bool readContactTable(const QString &path, QByteArray &csv, QString *error);

} // namespace LegacyDatabaseExport
