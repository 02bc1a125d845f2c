#include "tool/MerivoTool.h"

#include "contacts/DataFolder.h"
#include "contacts/DatabaseBackup.h"
#include "contacts/ProtectedFiles.h"
#include "files/AtomicFile.h"
#include "merivo_config.h"
#include "tool/ColumnConversion.h"
#include "tool/ContactExport.h"
#include "tool/ContactImport.h"
#include "tool/DatabaseCheck.h"
#include "tool/Utf8Text.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QIODevice>

namespace {

QString timeStamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
}

} // namespace

MerivoTool::MerivoTool(QIODevice &output, QIODevice &errors, const QString &defaultDatabase)
    : m_output(output), m_lines(output, errors), m_database(defaultDatabase)
{
}

QString MerivoTool::helpText() const
{
    return tr("Usage: merivo-tool [--database PATH] COMMAND [ARGUMENTS]\n"
              "\n"
              "Imports, exports, backs up, checks and syncs Merivo's contact database,\n"
              "%1 unless --database names another.\n"
              "\n"
              "Commands:\n"
              "  export --format vcard|csv [--vcard-version 4.0|3.0] [--spreadsheet-safe] [FILE]\n"
              "      Writes every contact as vCards (version 4.0 unless 3.0 is asked for) or as\n"
              "      CSV with a header row of the eight field names, valid UTF-8, to FILE or to\n"
              "      standard output. Stored bytes that are not UTF-8 are converted, and the\n"
              "      export says how many.\n"
              "  import [--format vcard|csv|mdb] FILE\n"
              "      Adds the contacts of a vCard file (2.1, 3.0 or 4.0), a CSV file with a\n"
              "      header row (UTF-8, UTF-16 or Windows-1252), another Merivo database (a\n"
              "      db2.mdb or a backup), or the .mdb database of an older address book (read\n"
              "      with mdb-export from mdbtools): all of them or, on any error, none. Exact\n"
              "      duplicates of stored contacts are skipped; the report says what was\n"
              "      not kept. The format is recognised by content unless given. A value\n"
              "      may hold up to 1 MiB and no NUL character.\n"
              "  backup [FILE]\n"
              "      Copies the database consistently, even while Merivo is running, to FILE\n"
              "      or to backups/%2-DATE-TIME.%3 beside it. No kept copy is ever replaced.\n"
              "  restore FILE\n"
              "      Replaces the database with the copy in FILE once the copy has passed\n"
              "      the integrity check; the current database is kept in backups/ first.\n"
              "  check\n"
              "      Runs the integrity check and counts the contacts.\n"
              "  convert-columns\n"
              "      For a contact table made by another program with columns of number\n"
              "      types, which turn a text such as \"007\" into a number: keeps the\n"
              "      database in backups/, then makes every column keep what is written\n"
              "      into it. Every stored value stays as it is.\n"
              "%4"
              "\n"
              "Options:\n"
              "  --database PATH     the contact database to work on\n"
              "  --spreadsheet-safe  with export --format csv: puts an apostrophe before every\n"
              "                      value that begins with =, +, -, @, a tab or a carriage\n"
              "                      return. A spreadsheet program that opens the file runs\n"
              "                      such a value as a formula, which a hostile contact can\n"
              "                      use to run commands or send data away; the apostrophe\n"
              "                      makes it text. Such values no longer import unchanged.\n"
              "%5"
              "  -h, --help          shows this text\n"
              "  --version           shows the version\n"
              "\n"
              "No command writes over the database, the files SQLite keeps beside it, or a\n"
              "copy in backups/, however the path is spelt.\n")
        .arg(ToolOutput::escapedControls(m_database), QFileInfo(m_database).completeBaseName(), QFileInfo(m_database).suffix(),
             m_moreCommands, m_moreOptions);
}

void MerivoTool::addToHelp(const QString &commands, const QString &options)
{
    m_moreCommands += commands;
    m_moreOptions += options;
}

int MerivoTool::fail(const QString &message, int status)
{
    note({message});
    return status;
}

void MerivoTool::say(const QStringList &lines)
{
    for (const QString &line : lines)
        m_lines.say(line);
}

void MerivoTool::note(const QStringList &lines)
{
    for (const QString &line : lines)
        m_lines.note(line);
}

int MerivoTool::run(const QStringList &arguments)
{
    return m_lines.finish(runCommand(arguments));
}

int MerivoTool::runCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption database(QStringLiteral("database"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption vcardVersion(QStringLiteral("vcard-version"), QString(), QStringLiteral("VERSION"));
    const QCommandLineOption spreadsheetSafe(QStringLiteral("spreadsheet-safe"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({database, format, vcardVersion, spreadsheetSafe, help, version});
    if (!parser.parse(QStringList{QStringLiteral("merivo-tool")} + arguments))
        return fail(tr("%1 See merivo-tool --help.").arg(parser.errorText()), Usage);

    if (parser.isSet(help)) {
        m_lines.write(helpText().toUtf8());
        return Success;
    }
    if (parser.isSet(version)) {
        say({QStringLiteral("merivo-tool %1").arg(QStringLiteral(MERIVO_VERSION))});
        return Success;
    }
    if (parser.isSet(database))
        m_database = parser.value(database);
    if (m_database.isEmpty()) {
        if (parser.isSet(database))
            return fail(tr("--database needs the path of a contact database."), Usage);
        return fail(tr("%1 Name a database with --database PATH.").arg(DataFolder::notFoundMessage()));
    }

    // Reports go to standard output, which must not be one of the files
    // that nothing may write over (merivo-tool ... >> db2.mdb).
    if (const QString refusal = ProtectedFiles(m_database).refusal(m_output, tr("Standard output")); !refusal.isEmpty())
        return fail(refusal);

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return fail(tr("no command given. See merivo-tool --help."), Usage);
    const QString command = positional.takeFirst();
    const auto allow = [&](bool formatAllowed, bool exportOptionsAllowed, qsizetype least, qsizetype most) {
        if (!formatAllowed && parser.isSet(format))
            return fail(tr("%1 takes no --format.").arg(command), Usage);
        if (!exportOptionsAllowed && parser.isSet(vcardVersion))
            return fail(tr("%1 takes no --vcard-version.").arg(command), Usage);
        if (!exportOptionsAllowed && parser.isSet(spreadsheetSafe))
            return fail(tr("%1 takes no --spreadsheet-safe.").arg(command), Usage);
        if (positional.size() < least)
            return fail(tr("%1 needs a file name. See merivo-tool --help.").arg(command), Usage);
        if (positional.size() > most) {
            const QString extra = positional.at(most);
            return fail(most == 0 ? tr("%1 takes no file name: %2 is one too many.").arg(command, extra)
                                  : tr("%1 takes one file name at most: %2 is one too many.").arg(command, extra),
                        Usage);
        }
        return int(Success);
    };

    int status;
    if (command == QLatin1String("export")) {
        if ((status = allow(true, true, 0, 1)) != Success)
            return status;
        return exportContacts(parser.value(format), parser.value(vcardVersion), parser.isSet(spreadsheetSafe),
                              positional);
    }
    if (command == QLatin1String("import")) {
        if ((status = allow(true, false, 1, 1)) != Success)
            return status;
        return importContacts(parser.value(format), positional.constFirst());
    }
    if (command == QLatin1String("backup")) {
        if ((status = allow(false, false, 0, 1)) != Success)
            return status;
        return backup(positional);
    }
    if (command == QLatin1String("restore")) {
        if ((status = allow(false, false, 1, 1)) != Success)
            return status;
        return restore(positional.constFirst());
    }
    if (command == QLatin1String("check")) {
        if ((status = allow(false, false, 0, 0)) != Success)
            return status;
        return check();
    }
    if (command == QLatin1String("convert-columns")) {
        if ((status = allow(false, false, 0, 0)) != Success)
            return status;
        return convertColumns();
    }
    return fail(tr("unknown command %1. See merivo-tool --help.").arg(command), Usage);
}

int MerivoTool::exportContacts(const QString &format, const QString &vcardVersion, bool spreadsheetSafe,
                               const QStringList &files)
{
    if (format.isEmpty())
        return fail(tr("export needs --format vcard or --format csv."), Usage);
    const std::optional<ContactExport::Format> chosen = ContactExport::formatNamed(format, vcardVersion);
    if (!chosen) {
        if (format != QLatin1String("vcard") && format != QLatin1String("csv"))
            return fail(tr("unknown format %1: export writes vcard or csv.").arg(format), Usage);
        if (format == QLatin1String("csv"))
            return fail(tr("--vcard-version goes with --format vcard only."), Usage);
        return fail(tr("unknown vCard version %1: export writes 4.0 or 3.0.").arg(vcardVersion), Usage);
    }
    if (spreadsheetSafe && *chosen != ContactExport::Format::Csv)
        return fail(tr("--spreadsheet-safe goes with --format csv only."), Usage);

    ContactExport exporter;
    exporter.setSpreadsheetSafe(spreadsheetSafe);
    const auto notes = [&] {
        QStringList lines;
        if (exporter.converted() > 0)
            lines.append(Utf8Text::conversionNote(exporter.converted()));
        if (exporter.madeInert() > 0) {
            lines.append(tr("Values that a spreadsheet program would take for formulas, written with an apostrophe "
                            "before them: %1.")
                             .arg(exporter.madeInert()));
        }
        return lines;
    };
    if (files.isEmpty()) {
        if (!exporter.run(m_database, *chosen, m_output))
            return fail(exporter.lastError());
        note(notes()); // standard output holds the contacts
        return Success;
    }

    const QString target = files.constFirst();
    const QString refusal = ProtectedFiles(m_database).refusal(target);
    if (!refusal.isEmpty())
        return fail(tr("Not exported: %1").arg(refusal));
    // The file appears whole or not at all; an existing one stays as it was
    // when the export fails.
    AtomicFile file(target);
    if (file.open() && !exporter.run(m_database, *chosen, *file.device()))
        return fail(exporter.lastError());
    if (!file.commit())
        return fail(tr("Could not write %1: %2").arg(target, file.errorString()));
    say(QStringList{tr("Exported %1 contacts from %2 to %3.").arg(exporter.count()).arg(m_database, target)} + notes());
    return Success;
}

int MerivoTool::importContacts(const QString &format, const QString &file)
{
    ContactImport::Format chosen = ContactImport::Format::Detect;
    if (!format.isEmpty()) {
        const std::optional<ContactImport::Format> named = ContactImport::formatNamed(format);
        if (!named)
            return fail(tr("unknown format %1: import reads vcard, csv or mdb.").arg(format), Usage);
        chosen = *named;
    }
    ContactImport import;
    if (!import.run(file, m_database, chosen))
        return fail(import.lastError());
    say(import.report().lines(file, m_database));
    return Success;
}

int MerivoTool::backup(const QStringList &files)
{
    QString error;
    QString target;
    if (files.isEmpty()) {
        target = DatabaseBackup::keepCopy(m_database, timeStamp(), DatabaseBackup::Content::Consistent, &error);
        if (target.isEmpty())
            return fail(error);
    } else {
        target = files.constFirst();
        if (!DatabaseBackup::copy(m_database, target, &error))
            return fail(error);
    }
    say({tr("Backed up %1 to %2.").arg(m_database, target)});
    return Success;
}

int MerivoTool::restore(const QString &file)
{
    QString error;
    if (!DatabaseBackup::verify(file, &error))
        return fail(tr("Not restored: %1").arg(error));
    error = DatabaseBackup::sameFileProblem(file, m_database);
    if (!error.isEmpty())
        return fail(tr("Not restored: %1").arg(error));
    error = DatabaseBackup::writeProblem(m_database);
    if (!error.isEmpty())
        return fail(tr("Not restored: %1 cannot be written: %2.").arg(m_database, error));

    QStringList lines;
    if (QFileInfo::exists(m_database)) {
        // A sound database is copied consistently; a damaged or foreign
        // file byte for byte, as it is.
        QString problem;
        const DatabaseBackup::Content content = DatabaseBackup::verify(m_database, &problem)
            ? DatabaseBackup::Content::Consistent
            : DatabaseBackup::Content::AsItIs;
        const QString kept =
            DatabaseBackup::keepCopy(m_database, QStringLiteral("before-restore-") + timeStamp(), content, &error);
        if (kept.isEmpty())
            return fail(tr("Not restored: the current database could not be kept: %1").arg(error));
        lines.append(tr("Kept the current database as %1.").arg(kept));
    }
    if (!DatabaseBackup::replaceContents(file, m_database, &error))
        return fail(tr("Not restored: %1").arg(error));
    lines.append(tr("Restored %1 from %2.").arg(m_database, file));
    say(lines);
    return Success;
}

int MerivoTool::check()
{
    DatabaseCheck checking;
    if (!checking.run(m_database))
        return fail(checking.problem());
    say(checking.report());
    return Success;
}

int MerivoTool::convertColumns()
{
    ColumnConversion conversion;
    if (!conversion.run(m_database, QStringLiteral("before-convert-") + timeStamp()))
        return fail(conversion.problem());
    say(conversion.report());
    return Success;
}
