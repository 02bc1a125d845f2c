// merivo-tool as a user runs it: exit status, one plain line on errors,
// data on standard output, files written whole or not at all.

#include "ContactTestTools.h"
#include "TransferTestTools.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace {

struct Run
{
    int status = -1;
    QByteArray output;
    QByteArray errors;
};

// Runs merivo-tool; prepare may set up the process further (where its
// standard output goes, which user it runs as).
Run tool(const QStringList &arguments, const std::function<void(QProcess &)> &prepare = {})
{
    QProcess process;
    if (prepare)
        prepare(process);
    process.start(QStringLiteral(MERIVO_TOOL), arguments);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

// One plain line: what the terminal shows is what the bytes say.
bool isOnePlainLine(const QByteArray &text)
{
    for (const char c : text.chopped(text.endsWith('\n') ? 1 : 0)) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    return !text.contains("\xc2\x9b") && text.count('\n') <= 1;
}

// The words of a command line, split at blanks.
QStringList words(const char *line)
{
    return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}

mode_t modeOf(const QString &path)
{
    struct stat status;
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 0777 : 0;
}

} // namespace

class TestMerivoTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;

    // merivo-tool on the test's database.
    Run toolOn(const QString &database, const QStringList &arguments,
               const std::function<void(QProcess &)> &prepare = {})
    {
        return tool(QStringList{QStringLiteral("--database"), database} + arguments, prepare);
    }

private Q_SLOTS:
    void init()
    {
        static int count = 0;
        m_database = m_dir.filePath(QStringLiteral("db%1.mdb").arg(++count));
    }

    void helpGoesToStandardOutput()
    {
        const Run run = tool({QStringLiteral("--help")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.output.startsWith("Usage: merivo-tool [--database PATH] COMMAND"));
        for (const char *command : {"export --format vcard|csv", "import [--format vcard|csv|mdb] FILE", "backup [FILE]",
                                    "restore FILE", "check"})
            QVERIFY2(run.output.contains(command), command);
        QCOMPARE(run.errors, QByteArray());
    }

    void wrongCommandLinesAreOnePlainLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("saying");
        const auto row = [](const char *name, const char *arguments, int status, const char *saying) {
            QTest::newRow(name) << words(arguments) << status << QString::fromUtf8(saying);
        };
        row("no command", "", 2, "no command given");
        row("unknown command", "frobnicate", 2, "unknown command frobnicate");
        row("unknown option", "--bogus check", 2, "bogus");
        row("export without a format", "export", 2, "export needs --format");
        row("export to an unknown format", "export --format=xml", 2, "unknown format xml");
        row("vCard version with CSV", "export --format csv --vcard-version 3.0", 2,
            "--vcard-version goes with --format vcard only");
        row("unknown vCard version", "export --format vcard --vcard-version 2.1", 2, "unknown vCard version 2.1");
        row("import without a file", "import", 2, "import needs a file name");
        row("check with a file", "check x", 2, "x is one too many");
        row("backup with a format", "backup --format csv", 2, "backup takes no --format");
        row("check of a missing database", "check", 1, "There is no contact database at");
        row("import of a missing file", "import /nonexistent/cards.vcf", 1, "Could not read /nonexistent/cards.vcf");
        row("spreadsheet-safe vCards", "export --format=vcard --spreadsheet-safe", 2,
            "--spreadsheet-safe goes with --format csv only");
        row("spreadsheet-safe backup", "backup --spreadsheet-safe", 2, "backup takes no --spreadsheet-safe");
        row("control characters in a file name", "import /nonexistent/\x1b]0;owned\x07\r.vcf", 1,
            "/nonexistent/\\x1b]0;owned\\x07\\r.vcf");
    }

    void wrongCommandLinesAreOnePlainLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, saying);
        const Run run = toolOn(m_database, arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(run.output, QByteArray());
        QVERIFY2(run.errors.startsWith("merivo-tool: ") && run.errors.endsWith('\n') && isOnePlainLine(run.errors),
                 run.errors.constData());
        QVERIFY2(QString::fromUtf8(run.errors).contains(saying), run.errors.constData());
        QVERIFY(!QFileInfo::exists(m_database));
    }

    void importsAndExportsThroughFilesAndStandardOutput()
    {
        const QString cards = m_dir.filePath(QStringLiteral("in.vcf"));
        QVERIFY(writeFile(cards, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nNOTE:x\r\nEND:VCARD\r\n"
                                 "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob\r\nEND:VCARD\r\n"));
        Run run = tool({QStringLiteral("import"), cards, QStringLiteral("--database"), m_database});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.output, QStringLiteral("Imported %1 (vCard) into %2: 2 contacts added.\nNot kept: NOTE (1).\n")
                                 .arg(cards, m_database)
                                 .toUtf8());

        run = toolOn(m_database, words("export --format csv"));
        QCOMPARE(run.status, 0);
        const QByteArray csv = "Name,Address,Phone Number,Position,Office address,Office Phone Number,Email Address,"
                               "Website Address\r\nAnn,,,,,,,\r\nBob,,,,,,,\r\n";
        QCOMPARE(run.output, csv);

        const QString file = m_dir.filePath(QStringLiteral("out.csv"));
        run = toolOn(m_database, words("export --format csv") << file);
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(file), csv);

        // A failed export leaves the file there as it was.
        run = toolOn(m_dir.filePath(QStringLiteral("missing.mdb")), words("export --format vcard") << file);
        QCOMPARE(run.status, 1);
        QCOMPARE(readFile(file), csv);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("out.csv*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("out.csv")});
    }

    void neverWritesOverTheDatabaseOrWhatBelongsToIt_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("target");
        const char *const targets[] = {
            "the database",        "the database spelt another way", "a symbolic link to it", "a hard link to it",
            "its journal, not there yet", "a link to its journal, not there yet", "its WAL file, not there yet",
            "its shared memory", "a kept copy", "a hard link to a kept copy",
        };
        for (const char *command : {"export", "backup"}) {
            for (const char *target : targets)
                QTest::addRow("%s to %s", command, target) << QString::fromLatin1(command) << QString::fromLatin1(target);
        }
    }

    void neverWritesOverTheDatabaseOrWhatBelongsToIt()
    {
        QFETCH(QString, command);
        QFETCH(QString, target);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-');
        const QDir data(m_dir.filePath(QStringLiteral("data-") + tag));
        QVERIFY(data.mkpath(QStringLiteral("backups")));
        const QString database = data.filePath(QStringLiteral("db2.mdb"));
        QVERIFY(storeContacts(database, {contact({QStringLiteral("Ann"), QStringLiteral("1 Way")})}));
        const QString kept = data.filePath(QStringLiteral("backups/db2-2024-05-01.mdb"));
        QVERIFY(storeContacts(kept, {contact({QStringLiteral("Kept")})}));
        QVERIFY(writeFile(database + QStringLiteral("-shm"), ""));
        const QByteArray before = fileDigest(database);
        const QByteArray keptBefore = fileDigest(kept);

        const QString elsewhere = m_dir.filePath(QStringLiteral("elsewhere-") + tag);
        QString path;
        QString protectedPath = database;
        if (target == QLatin1String("the database")) {
            path = database;
        } else if (target == QLatin1String("the database spelt another way")) {
            path = data.filePath(QStringLiteral("backups/../././db2.mdb"));
        } else if (target == QLatin1String("a symbolic link to it")) {
            path = elsewhere;
            QVERIFY(QFile::link(database, path));
        } else if (target == QLatin1String("a hard link to it")) {
            path = elsewhere;
            QCOMPARE(::link(QFile::encodeName(database).constData(), QFile::encodeName(path).constData()), 0);
        } else if (target == QLatin1String("its journal, not there yet")) {
            path = protectedPath = database + QStringLiteral("-journal");
        } else if (target == QLatin1String("a link to its journal, not there yet")) {
            path = elsewhere;
            protectedPath = database + QStringLiteral("-journal");
            QVERIFY(QFile::link(protectedPath, path));
        } else if (target == QLatin1String("its WAL file, not there yet")) {
            path = protectedPath = database + QStringLiteral("-wal");
        } else if (target == QLatin1String("its shared memory")) {
            path = protectedPath = database + QStringLiteral("-shm");
        } else if (target == QLatin1String("a kept copy")) {
            path = protectedPath = kept;
        } else if (target == QLatin1String("a hard link to a kept copy")) {
            path = elsewhere;
            protectedPath = kept;
            QCOMPARE(::link(QFile::encodeName(kept).constData(), QFile::encodeName(path).constData()), 0);
        }

        QStringList arguments{command};
        if (command == QLatin1String("export"))
            arguments << QStringLiteral("--format") << QStringLiteral("csv");
        const Run run = toolOn(database, arguments << path);
        QCOMPARE(run.status, 1);
        QVERIFY2(isOnePlainLine(run.errors) && run.errors.contains(path.toUtf8())
                     && run.errors.contains(QFileInfo(protectedPath).fileName().toUtf8())
                     && run.errors.contains("is the same file as"),
                 run.errors.constData());
        QCOMPARE(fileDigest(database), before);
        QCOMPARE(fileDigest(kept), keptBefore);
        for (const char *companion : {"-journal", "-wal"})
            QVERIFY(!QFileInfo::exists(database + QLatin1String(companion)));
        QCOMPARE(QFileInfo(database + QStringLiteral("-shm")).size(), 0);
    }

    void standardOutputIsNeverTheDatabase()
    {
        QVERIFY(storeContacts(m_database, {contact({QStringLiteral("Ann")})}));
        const QByteArray before = fileDigest(m_database);
        for (const char *command : {"check", "export --format=csv", "deleted", "account list", "sync"}) {
            const Run run = toolOn(m_database, words(command), [&](QProcess &process) {
                process.setStandardOutputFile(m_database, QIODevice::Append);
            });
            QCOMPARE(run.status, 1);
            QVERIFY2(run.errors.contains("Standard output is the same file as the contact database"),
                     run.errors.constData());
            QCOMPARE(fileDigest(m_database), before);
        }
    }

    void outputThatCannotBeWrittenIsAFailure_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("check") << QStringList{QStringLiteral("check")} << false;
        QTest::newRow("export to standard output") << words("export --format=vcard") << false;
        QTest::newRow("export to a file") << words("export --format=csv /dev/full") << true;
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << false;
        QTest::newRow("backup report") << QStringList{QStringLiteral("backup")} << false;
        QTest::newRow("deleted contacts") << QStringList{QStringLiteral("deleted")} << false;
        QTest::newRow("accounts") << words("account list") << false;
    }

    void outputThatCannotBeWrittenIsAFailure()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, toFile);
        const QFileInfo full(QStringLiteral("/dev/full"));
        if (!full.exists() || full.isFile())
            QSKIP("this system has no /dev/full device");
        QVERIFY(storeContacts(m_database, {contact({QStringLiteral("Ann")})}));
        const Run run = toolOn(m_database, arguments, [&](QProcess &process) {
            if (!toFile)
                process.setStandardOutputFile(QStringLiteral("/dev/full"));
        });
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errors.startsWith("merivo-tool: ") && run.errors.contains("No space left on device"),
                 run.errors.constData());
        QVERIFY(QFileInfo::exists(full.filePath()) && !QFileInfo(full.filePath()).isFile()); // written, not replaced
    }

    void controlCharactersInFilesAreShownEscaped()
    {
        // Placeholders in names stay as they are too.
        const QString csv = m_dir.filePath(QStringLiteral("evil%4.csv"));
        QVERIFY(writeFile(csv, "Name,Colour\x1b[31m\xc2\x9b" "2J\x7f,Size %2\r\nAnn,red,2\r\n"));
        Run run = toolOn(m_database, {QStringLiteral("import"), csv});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.output.startsWith(QStringLiteral("Imported %1 (CSV)").arg(csv).toUtf8())
                     && run.output.contains("Not kept: Colour\\x1b[31m\\x9b2J\\x7f (1), Size %2 (1)."),
                 run.output.constData());
        for (const QByteArray &line : run.output.split('\n'))
            QVERIFY2(isOnePlainLine(line), line.constData());

        const QString cards = m_dir.filePath(QStringLiteral("evil.vcf"));
        QVERIFY(writeFile(cards, "BEGIN:VCARD\r\nFN:Bo\r\nEND:VCARD\r\nBEGIN:\x1b]0;owned\x07\r\n"));
        run = toolOn(m_database, {QStringLiteral("import"), cards});
        QCOMPARE(run.status, 1);
        QVERIFY2(isOnePlainLine(run.errors) && run.errors.contains("BEGIN:\\x1b]0;owned\\x07 where a vCard"),
                 run.errors.constData());

        // Names that another program stored, as the list of deleted contacts shows them.
        QVERIFY(storeContacts(m_database, {contact({QStringLiteral("Eve\x1b]0;owned\x07\rMal")})}));
        QCOMPARE(execSql(m_database, QStringLiteral("DELETE FROM Table1 WHERE \"Name\" LIKE 'Eve%';")), QString());
        run = toolOn(m_database, {QStringLiteral("deleted")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.output.contains("Eve\\x1b]0;owned\\x07"), run.output.constData());
        for (const QByteArray &line : run.output.split('\n'))
            QVERIFY2(isOnePlainLine(line), line.constData());
    }

    void filesMadeAreForTheirOwnerOnly()
    {
        const QString cards = m_dir.filePath(QStringLiteral("modes.vcf"));
        QVERIFY(writeFile(cards, "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n"));
        QCOMPARE(toolOn(m_database, {QStringLiteral("import"), cards}).status, 0);
        QCOMPARE(modeOf(m_database), mode_t(0600));

        const QString exported = m_dir.filePath(QStringLiteral("modes-new.csv"));
        const QString existing = m_dir.filePath(QStringLiteral("modes-existing.csv"));
        const QString copy = m_dir.filePath(QStringLiteral("modes-copy.mdb"));
        QVERIFY(writeFile(existing, "old"));
        QVERIFY(QFile::setPermissions(existing, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        for (const QString &file : {exported, existing})
            QCOMPARE(toolOn(m_database, words("export --format=csv") << file).status, 0);
        const Run backup = toolOn(m_database, {QStringLiteral("backup")});
        QCOMPARE(backup.status, 0);
        QCOMPARE(toolOn(m_database, {QStringLiteral("backup"), copy}).status, 0);

        QCOMPARE(modeOf(exported), mode_t(0600));
        QCOMPARE(modeOf(existing), mode_t(0644)); // as it was
        QCOMPARE(modeOf(copy), mode_t(0600));
        const QString kept = QString::fromUtf8(backup.output).section(QStringLiteral(" to "), 1).chopped(2);
        QCOMPARE(modeOf(kept), mode_t(0600));
        QCOMPARE(modeOf(QFileInfo(kept).absolutePath()), mode_t(0700));
    }

    void aFolderThatMayNotBeWrittenIsNamedAsTheCause()
    {
        // As root every folder may be written: the tool runs as "nobody".
        const passwd *nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
        if (geteuid() == 0 && !nobody)
            QSKIP("running as root, and there is no user nobody to run as");
        const uid_t uid = nobody ? nobody->pw_uid : geteuid();
        const gid_t gid = nobody ? nobody->pw_gid : getegid();
        const QDir folder(m_dir.filePath(QStringLiteral("unwritable")));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        const QString database = folder.filePath(QStringLiteral("db2.mdb"));
        QVERIFY(storeContacts(database, {contact({QStringLiteral("Ann")})}));
        const QString copy = m_dir.filePath(QStringLiteral("for-unwritable.mdb"));
        QVERIFY(storeContacts(copy, {contact({QStringLiteral("Bo")})}));
        const QString cards = m_dir.filePath(QStringLiteral("for-unwritable.vcf"));
        QVERIFY(writeFile(cards, "BEGIN:VCARD\r\nFN:Cy\r\nEND:VCARD\r\n"));
        for (const QString &path : {database, copy, cards})
            QCOMPARE(::chown(QFile::encodeName(path).constData(), uid, gid), 0);
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        const auto writable = qScopeGuard([&] {
            QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QByteArray before = fileDigest(database);

        for (const QString &command : {QStringLiteral("restore"), QStringLiteral("import")}) {
            const QString file = command == QLatin1String("restore") ? copy : cards;
            const Run run = toolOn(database, {command, file}, [&](QProcess &process) {
                if (nobody) {
                    process.setChildProcessModifier([uid, gid] {
                        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                            _exit(99);
                    });
                }
            });
            QCOMPARE(run.status, 1);
            QVERIFY2(run.errors.contains(QStringLiteral("folder %1 may not be written").arg(folder.path()).toUtf8())
                         && !run.errors.contains("readonly") && !run.errors.contains("read-only"),
                     run.errors.constData());
        }
        QCOMPARE(fileDigest(database), before);
    }

    void backupWithoutAFileGoesBesideTheDatabase()
    {
        QVERIFY(storeContacts(m_database, {contact({QStringLiteral("Ann")})}));
        const Run run = toolOn(m_database, {QStringLiteral("backup")});
        QCOMPARE(run.status, 0);
        const QStringList copies = QDir(m_dir.filePath(QStringLiteral("backups")))
                                       .entryList({QFileInfo(m_database).completeBaseName() + QStringLiteral("-*.mdb")});
        QCOMPARE(copies.size(), 1);
        QVERIFY(run.output.contains(copies.first().toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestMerivoTool)
#include "tst_merivotool.moc"
