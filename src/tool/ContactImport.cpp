#include "tool/ContactImport.h"

#include "contacts/LegacyDatabaseFile.h"
#include "tool/Csv.h"
#include "tool/CsvHeaderMap.h"
#include "tool/VCardMapping.h"
#include "tool/VCardParser.h"
#include "tool/VCardValue.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

// The whole file as UTF-8 where it is plainly in another encoding: UTF-16
// with its byte order mark, or (for CSV) not valid UTF-8, which spreadsheet
// programs on Windows write in Windows-1252.
std::optional<QByteArray> asUtf8(QByteArrayView bytes, bool eightBitToo)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(bytes.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        const QString text = decoder(bytes.sliced(2));
        return text.toUtf8();
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    if (eightBitToo && !VCardValue::isUtf8(bytes)) {
        QStringDecoder decoder("windows-1252");
        const QString text = decoder(bytes);
        return text.toUtf8();
    }
    return std::nullopt;
}

// mdb-export tells what went wrong in its last line.
QString lastLine(const QByteArray &text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return QString::fromLocal8Bit(lines.isEmpty() ? QByteArray() : lines.constLast()).trimmed();
}

} // namespace

std::optional<ContactImport::Format> ContactImport::formatNamed(const QString &name)
{
    if (name == QLatin1String("vcard"))
        return Format::VCard;
    if (name == QLatin1String("csv"))
        return Format::Csv;
    if (name == QLatin1String("mdb"))
        return Format::LegacyDatabase;
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
    // Read whole rather than mapped: a file that another program shortens
    // meanwhile must give an error, not a crash.
    QByteArray contents = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return fail(tr("Could not read %1: %2").arg(file, input.errorString()));
    input.close();
    QByteArrayView data = contents;

    if (format == Format::Detect) {
        if (LegacyDatabaseFile::hasSignature(data.first(qMin(data.size(), LegacyDatabaseFile::SignatureLength))))
            format = Format::LegacyDatabase;
        else if (VCardParser::looksLikeVCard(data))
            format = Format::VCard;
        else
            format = Format::Csv;
    }
    if (format == Format::LegacyDatabase) {
        QString error;
        if (!LegacyDatabaseExport::readContactTable(file, contents, &error))
            return fail(error);
        data = contents;
    }
    if (format != Format::VCard && VCardParser::looksLikeVCard(data))
        return fail(tr("%1 holds vCards, not comma-separated values.").arg(file));

    ContactBatch batch;
    if (!batch.begin(databasePath))
        return fail(batch.lastError());
    const bool read = format == Format::VCard ? readVCards(data, batch, file) : readCsv(data, batch, file);
    if (!read) {
        batch.rollback();
        return false;
    }
    if (!batch.commit())
        return fail(batch.lastError());
    switch (format) {
    case Format::VCard:
        m_report.format = tr("vCard");
        break;
    case Format::LegacyDatabase:
        m_report.format = tr("older address book database, read with mdb-export");
        break;
    default:
        m_report.format = tr("CSV");
        break;
    }
    return true;
}

bool ContactImport::add(const ContactTexts &values, ContactBatch &batch)
{
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
    const std::optional<QByteArray> converted = asUtf8(text, false);
    if (converted)
        text = *converted;

    ContactTexts values;
    VCardParser parser;
    const bool parsed = parser.parse(text, [&](const VCard &card) {
        if (!VCardMapping::map(card, values, m_report.notKept)) {
            ++m_report.withoutName;
            return true;
        }
        return add(values, batch);
    });
    if (!parsed && m_lastError.isEmpty())
        return fail(tr("%1, %2; nothing was imported.").arg(file, parser.error()));
    return parsed;
}

bool ContactImport::readCsv(QByteArrayView text, ContactBatch &batch, const QString &source)
{
    const std::optional<QByteArray> converted = asUtf8(text, true);
    if (converted)
        text = *converted;
    else if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);

    qsizetype firstEnd = 0;
    while (firstEnd < text.size() && text[firstEnd] != '\n' && text[firstEnd] != '\r')
        ++firstEnd;
    CsvReader reader(text, Csv::guessSeparator(text.first(firstEnd)));
    std::vector<QByteArray> record;
    if (!reader.next(record)) {
        if (!reader.error().isEmpty())
            return fail(tr("%1, %2; nothing was imported.").arg(source, reader.error()));
        return true; // an empty file adds nothing
    }
    CsvHeaderMap columns;
    QString problem;
    if (!columns.read(record, &problem))
        return fail(tr("%1: %2; nothing was imported.").arg(source, problem));

    ContactTexts values;
    while (reader.next(record)) {
        if (!columns.map(record, values, m_report.notKept)) {
            ++m_report.withoutName;
            continue;
        }
        if (!add(values, batch))
            return false;
    }
    if (!reader.error().isEmpty())
        return fail(tr("%1, %2; nothing was imported.").arg(source, reader.error()));
    return true;
}

namespace LegacyDatabaseExport {

bool readContactTable(const QString &path, QByteArray &csv, QString *error)
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
    process.waitForFinished(-1);
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
