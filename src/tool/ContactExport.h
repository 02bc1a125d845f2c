#pragma once

#include <QCoreApplication>
#include <QString>

#include <optional>

class QIODevice;

// Writes every contact of the database, in view order, as vCards or CSV.
// The database is opened read-only: exporting never creates or changes it.
class ContactExport
{
    Q_DECLARE_TR_FUNCTIONS(ContactExport)

public:
    enum class Format { VCard4, VCard3, Csv };
    // From --format (vcard, csv) and --vcard-version (4.0, 3.0; empty for 4.0).
    static std::optional<Format> formatNamed(const QString &format, const QString &vcardVersion);

    bool run(const QString &databasePath, Format format, QIODevice &out);
    qint64 count() const { return m_count; }
    QString lastError() const { return m_lastError; }

private:
    qint64 m_count = 0;
    QString m_lastError;
};
