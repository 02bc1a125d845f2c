#include "tool/ContactImport.h"

#include "contacts/LegacyDatabaseFile.h"
#include "contacts/ProtectedFiles.h"
#include "tool/ContactRows.h"
#include "tool/Csv.h"
#include "tool/CsvHeaderMap.h"
#include "tool/InputText.h"
#include "tool/Utf8Text.h"
#include "tool/VCardMapping.h"
#include "tool/VCardParser.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr char SqliteSignature[] = "SQLite format 3"; // and its NUL: 16 bytes

bool isSqliteFile(QByteArrayView head)
{
    return head.startsWith(QByteArrayView(SqliteSignature, sizeof SqliteSignature));
}

// mdb-export tells what went wrong in its last line.
QString lastLine(const QByteArray &text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return QString::fromLocal8Bit(lines.isEmpty() ? QByteArray() : lines.constLast()).trimmed();
}

} // namespace

// Where the values of one contact stand in the file, for messages: the line
// of each field, or the row of a database's table.
struct ContactImport::Origin
{
    bool tableRow = false;
    std::array<qint64, ContactFieldCount> numbers{};

    static Origin line(qint64 number)
    {
        Origin origin;
        origin.numbers.fill(number);
        return origin;
    }
};

std::optional<ContactImport::Format> ContactImport::formatNamed(const QString &name)
{
    if (name == QLatin1String("vcard"))
        return Format::VCard;
    if (name == QLatin1String("csv"))
        return Format::Csv;
    if (name == QLatin1String("mdb"))
        return Format::Database;
    return std::nullopt;
}

bool ContactImport::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

bool ContactImport::run(const QString &file, const QString &databasePath, Format format)
{
    m_report = ImportReport();
    m_lastError.clear();

    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return fail(tr("Could not read %1: %2").arg(file, input.errorString()));
    if (ProtectedFiles(databasePath).isDatabase(file)) {
        return fail(tr("%1 is the same file as the contact database %2: importing it into itself would add nothing.")
                        .arg(file, databasePath));
    }
    // Read whole rather than mapped: a file that another program shortens
    // meanwhile must give an error, not a crash.
    QByteArray contents = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return fail(tr("Could not read %1: %2").arg(file, input.errorString()));
    input.close();

    const bool legacy = LegacyDatabaseFile::hasSignature(
        QByteArrayView(contents).first(qMin(contents.size(), LegacyDatabaseFile::SignatureLength)));
    const bool sqlite = isSqliteFile(contents);
    if (format == Format::Detect && (legacy || sqlite))
        format = Format::Database;
    if (format == Format::Database && sqlite) {
        contents.clear();
        ContactBatch batch;
        if (!batch.begin(databasePath))
            return fail(batch.lastError());
        if (!readContactDatabase(file, batch))
            return false;
        if (!batch.commit())
            return fail(batch.lastError());
        m_report.format = tr("Merivo contact database");
        m_report.restoreHint = true;
        return true;
    }
    if (format == Format::Database) {
        QString error;
        if (!LegacyDatabaseExport::readContactTable(file, contents, &error, m_helperTimeoutMs))
            return fail(error);
    }

    QByteArray converted;
    const QByteArrayView text = InputText::toUtf8(contents, converted);
    if (const int line = InputText::lineOfFirstNul(text); line > 0) {
        return fail(tr("%1, line %2: a NUL character, which no contact holds (the file may be in an encoding that "
                       "Merivo does not read); nothing was imported.")
                        .arg(file, QString::number(line)));
    }
    if (format == Format::Detect)
        format = VCardParser::looksLikeVCard(text) ? Format::VCard : Format::Csv;
    if (format != Format::VCard && VCardParser::looksLikeVCard(text))
        return fail(tr("%1 holds vCards, not comma-separated values.").arg(file));

    ContactBatch batch;
    if (!batch.begin(databasePath))
        return fail(batch.lastError());
    if (!(format == Format::VCard ? readVCards(text, batch, file) : readCsv(text, batch, file)))
        return false;
    if (!batch.commit())
        return fail(batch.lastError());
    switch (format) {
    case Format::VCard:
        m_report.format = tr("vCard");
        break;
    case Format::Database:
        m_report.format = tr("older address book database, read with mdb-export");
        break;
    default:
        m_report.format = tr("CSV");
        break;
    }
    return true;
}

bool ContactImport::add(const ContactTexts &values, ContactBatch &batch, const QString &file, const Origin &origin)
{
    for (int i = 0; i < ContactFieldCount; ++i) {
        const QByteArray &value = values[i];
        const QString field = contactFieldNames()[i];
        const qint64 at = origin.numbers[i];
        if (value.size() > MaxValueBytes) {
            const QString message = origin.tableRow
                ? tr("%1, row %2 of Table1: the field \"%3\" holds %4 bytes, and Merivo takes at most %5 bytes (1 MiB) "
                     "in a field; nothing was imported.")
                : tr("%1, line %2: the field \"%3\" would hold %4 bytes, and Merivo takes at most %5 bytes (1 MiB) "
                     "in a field; nothing was imported.");
            return fail(message.arg(file, QString::number(at), field, QString::number(value.size()),
                                    QString::number(MaxValueBytes)));
        }
        if (value.contains('\0')) {
            const QString message = origin.tableRow
                ? tr("%1, row %2 of Table1: the field \"%3\" holds a NUL character, which no contact holds; nothing "
                     "was imported.")
                : tr("%1, line %2: the field \"%3\" would hold a NUL character, which no contact holds; nothing was "
                     "imported.");
            return fail(message.arg(file, QString::number(at), field));
        }
    }
    switch (batch.add(values)) {
    case ContactBatch::Outcome::Added:
        ++m_report.added;
        return true;
    case ContactBatch::Outcome::Duplicate:
        ++m_report.duplicates;
        return true;
    case ContactBatch::Outcome::Failed:
        break;
    }
    return fail(tr("%1; nothing was imported.").arg(batch.lastError()));
}

bool ContactImport::readVCards(QByteArrayView text, ContactBatch &batch, const QString &file)
{
    ContactTexts values;
    VCardMapping::ContactLines lines;
    VCardParser parser;
    const bool parsed = parser.parse(text, [&](const VCard &card) {
        if (!VCardMapping::map(card, values, m_report.notKept, &lines)) {
            ++m_report.withoutName;
            return true;
        }
        Origin origin;
        for (int i = 0; i < ContactFieldCount; ++i)
            origin.numbers[i] = lines[i] > 0 ? lines[i] : card.firstLine;
        return add(values, batch, file, origin);
    });
    if (!parsed && m_lastError.isEmpty())
        return fail(tr("%1, %2; nothing was imported.").arg(file, parser.error()));
    return parsed;
}

bool ContactImport::readCsv(QByteArrayView text, ContactBatch &batch, const QString &file)
{
    // Spreadsheet programs on Windows write Windows-1252.
    QByteArray converted;
    if (!Utf8Text::isValid(text)) {
        converted = Utf8Text::fromWindows1252(text);
        text = converted;
    }

    CsvReader reader(text, Csv::guessSeparator(text));
    std::vector<QByteArray> record;
    if (!reader.next(record)) {
        if (!reader.error().isEmpty())
            return fail(tr("%1, %2; nothing was imported.").arg(file, reader.error()));
        return true; // an empty file adds nothing
    }
    CsvHeaderMap columns;
    QString problem;
    if (!columns.read(record, &problem))
        return fail(tr("%1: %2; nothing was imported.").arg(file, problem));

    ContactTexts values;
    while (reader.next(record)) {
        if (!columns.map(record, values, m_report.notKept)) {
            ++m_report.withoutName;
            continue;
        }
        if (!add(values, batch, file, Origin::line(reader.line())))
            return false;
    }
    if (!reader.error().isEmpty())
        return fail(tr("%1, %2; nothing was imported.").arg(file, reader.error()));
    return true;
}

bool ContactImport::readContactDatabase(const QString &file, ContactBatch &batch)
{
    ContactRows rows;
    if (!rows.open(file))
        return fail(tr("%1; nothing was imported.").arg(rows.lastError()));
    ContactTexts values;
    while (rows.next()) {
        for (int i = 0; i < ContactFieldCount; ++i) {
            const QByteArrayView stored = rows.fields()[i];
            // Another program may have stored bytes that are not UTF-8, or
            // a NUL: they are read as an export writes them.
            if (Utf8Text::isClean(stored)) {
                values[i] = stored.toByteArray();
            } else {
                values[i] = Utf8Text::repaired(stored);
                ++m_report.converted;
            }
        }
        if (values[fieldIndex(ContactField::Name)].isEmpty()) {
            ++m_report.withoutName;
            continue;
        }
        Origin origin;
        origin.tableRow = true;
        origin.numbers.fill(rows.rowId());
        if (!add(values, batch, file, origin))
            return false;
    }
    return rows.lastError().isEmpty() || fail(tr("%1; nothing was imported.").arg(rows.lastError()));
}

namespace LegacyDatabaseExport {

bool readContactTable(const QString &path, QByteArray &csv, QString *error, int idleTimeoutMs)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (program.isEmpty()) {
        *error = ContactImport::tr("%1 is the database of an older address book; reading it needs mdb-export, "
                                   "from the package mdbtools, which is not installed.")
                     .arg(path);
        return false;
    }
    QProcess process;
    process.start(program, {QFileInfo(path).absoluteFilePath(), QStringLiteral("Table1")});
    if (!process.waitForStarted()) {
        *error = ContactImport::tr("Could not run %1: %2").arg(program, process.errorString());
        return false;
    }
    process.closeWriteChannel();
    // Waited for as long as it writes; silence for the whole timeout is a hang.
    qint64 written = 0;
    while (!process.waitForFinished(idleTimeoutMs) && process.state() != QProcess::NotRunning) {
        const qint64 now = process.bytesAvailable();
        if (now > written) {
            written = now;
            continue;
        }
        process.kill();
        process.waitForFinished();
        *error = ContactImport::tr("mdb-export wrote nothing for %1 seconds while reading %2, so it was stopped: it "
                                   "seems to hang on this file; nothing was imported.")
                     .arg(QString::number(idleTimeoutMs / 1000.0), path);
        return false;
    }
    csv = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString why = lastLine(process.readAllStandardError());
        *error = ContactImport::tr("mdb-export could not read the contact table Table1 of %1%2")
                     .arg(path, why.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + why);
        return false;
    }
    return true;
}

} // namespace LegacyDatabaseExport
