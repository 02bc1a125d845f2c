#pragma once

#include <QCoreApplication>
#include <QString>

#include <optional>

class QIODevice;

// Writes every contact of the database, in view order, as vCards or CSV,
// always as valid UTF-8: a stored value that is not (another program may
// have put any bytes there) is written repaired by the writers and counted. The database is opened read-only: exporting never creates or
// changes it.
class ContactExport
{
    Q_DECLARE_TR_FUNCTIONS(ContactExport)

public:
    enum class Format { VCard4, VCard3, Csv };
    // From --format (vcard, csv) and --vcard-version (4.0, 3.0; empty for 4.0).
    static std::optional<Format> formatNamed(const QString &format, const QString &vcardVersion);

    // For CSV that a spreadsheet program opens: a value that would begin
    // with a sign that starts a formula there (= + - @, a tab or a carriage
    // return) gets an apostrophe before it, which makes it text. Off by
    // default: the value then no longer reads back unchanged.
    void setSpreadsheetSafe(bool on) { m_spreadsheetSafe = on; }
    static bool startsFormula(QByteArrayView value);

    bool run(const QString &databasePath, Format format, QIODevice &out);
    qint64 count() const { return m_count; }
    qint64 converted() const { return m_converted; }
    qint64 madeInert() const { return m_madeInert; }
    QString lastError() const { return m_lastError; }

private:
    bool m_spreadsheetSafe = false;
    qint64 m_count = 0;
    qint64 m_converted = 0;
    qint64 m_madeInert = 0;
    QString m_lastError;
};
