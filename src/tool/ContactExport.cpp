#include "tool/ContactExport.h"

#include "contacts/ContactDatabase.h"
#include "contacts/SqliteStatement.h"
#include "tool/ContactFields.h"
#include "tool/Csv.h"
#include "tool/VCardWriter.h"

#include <QIODevice>
#include <QStringList>

#include <sqlite3.h>

namespace {

// Output is written in blocks of about this size.
constexpr qsizetype BlockSize = 1 << 20;

} // namespace

std::optional<ContactExport::Format> ContactExport::formatNamed(const QString &format, const QString &vcardVersion)
{
    if (format == QLatin1String("csv"))
        return vcardVersion.isEmpty() ? std::optional<Format>(Format::Csv) : std::nullopt;
    if (format != QLatin1String("vcard"))
        return std::nullopt;
    if (vcardVersion.isEmpty() || vcardVersion == QLatin1String("4.0") || vcardVersion == QLatin1String("4"))
        return Format::VCard4;
    if (vcardVersion == QLatin1String("3.0") || vcardVersion == QLatin1String("3"))
        return Format::VCard3;
    return std::nullopt;
}

bool ContactExport::run(const QString &databasePath, Format format, QIODevice &out)
{
    m_count = 0;
    m_lastError.clear();
    ContactDatabase::Settings settings;
    settings.readOnly = true;
    ContactDatabase database;
    if (!database.open(databasePath, settings)) {
        m_lastError = database.lastError();
        return false;
    }

    QStringList columns;
    for (const QString &name : contactFieldNames())
        columns.append(QLatin1Char('"') + name + QLatin1Char('"'));
    SqliteStatement rows;
    int rc = rows.prepare(database.handle(),
                          QStringLiteral("SELECT %1 FROM Table1 ORDER BY rowid").arg(columns.join(QStringLiteral(", "))));
    if (rc != SQLITE_OK) {
        m_lastError = database.failure(tr("Could not read the contacts"), rc);
        return false;
    }

    QByteArray block;
    block.reserve(BlockSize + 4096);
    const auto flush = [&]() {
        if (out.write(block) != block.size()) {
            m_lastError = tr("Could not write the contacts: %1").arg(out.errorString());
            return false;
        }
        block.resize(0); // keeps the allocation for the next block
        return true;
    };

    const VCardWriter vcards(format == Format::VCard3 ? VCardWriter::Version::V3 : VCardWriter::Version::V4);
    if (format == Format::Csv) {
        ContactFieldViews header;
        QByteArray names[ContactFieldCount];
        for (int i = 0; i < ContactFieldCount; ++i) {
            names[i] = contactFieldNames()[i].toUtf8();
            header[i] = names[i];
        }
        Csv::appendRecord(block, header.data(), ContactFieldCount);
    }

    StatementRun run(rows);
    sqlite3_stmt *statement = rows.handle();
    ContactFieldViews fields;
    while ((rc = run.step()) == SQLITE_ROW) {
        for (int i = 0; i < ContactFieldCount; ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            fields[i] = QByteArrayView(text, text ? sqlite3_column_bytes(statement, i) : 0);
        }
        if (format == Format::Csv)
            Csv::appendRecord(block, fields.data(), ContactFieldCount);
        else
            vcards.append(fields, block);
        ++m_count;
        if (block.size() >= BlockSize && !flush())
            return false;
    }
    if (rc != SQLITE_DONE) {
        m_lastError = database.failure(tr("Could not read the contacts"), rc);
        return false;
    }
    return flush();
}
