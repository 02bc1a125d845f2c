#pragma once

#include "contacts/ContactBatch.h"
#include "tool/ImportReport.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>

#include <optional>

// Adds the contacts of a file to the contact database: all of them in one
// transaction, or none when anything in the file or the database fails.
//
// A value is at most MaxValueBytes long and never holds a NUL character:
// no real contact's field does, and a file that has one is refused, with
// the line (or row) that holds it.
class ContactImport
{
    Q_DECLARE_TR_FUNCTIONS(ContactImport)

public:
    static constexpr qsizetype MaxValueBytes = 1 << 20; // 1 MiB

    enum class Format {
        Detect,          // by content: a database's signature, BEGIN:VCARD, else CSV
        VCard,           // 2.1, 3.0 or 4.0
        Csv,             // with a header row
        Database,        // a Merivo contact database, or an older address book's (.mdb)
    };
    // "vcard", "csv" or "mdb".
    static std::optional<Format> formatNamed(const QString &name);

    bool run(const QString &file, const QString &databasePath, Format format = Format::Detect);
    const ImportReport &report() const { return m_report; }
    QString lastError() const { return m_lastError; }

    // How long mdb-export may go without writing anything before it is
    // taken to hang and is stopped.
    void setHelperTimeout(int milliseconds) { m_helperTimeoutMs = milliseconds; }

private:
    bool readVCards(QByteArrayView text, ContactBatch &batch, const QString &file);
    bool readCsv(QByteArrayView text, ContactBatch &batch, const QString &file);
    bool readContactDatabase(const QString &file, ContactBatch &batch);
    struct Origin;
    bool add(const ContactTexts &values, ContactBatch &batch, const QString &file, const Origin &origin);
    bool fail(const QString &message);

    ImportReport m_report;
    QString m_lastError;
    int m_helperTimeoutMs = 30000;
};

// The contact table of an older address book's database, as CSV written by
// mdb-export (Debian's mdbtools), which is looked for on the PATH. mdb-export
// is stopped when it writes nothing for idleTimeoutMs.
namespace LegacyDatabaseExport {

bool readContactTable(const QString &path, QByteArray &csv, QString *error, int idleTimeoutMs);

} // namespace LegacyDatabaseExport
