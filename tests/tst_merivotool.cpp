// merivo-tool as a user runs it: exit status, one plain line on errors,
// data on standard output, files written whole or not at all.

#include "TransferTestTools.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QByteArray output;
    QByteArray errors;
};

Run tool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(MERIVO_TOOL), arguments);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

} // namespace

class TestMerivoTool : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database;

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
        const auto row = [](const char *name, const QStringList &arguments, int status, const char *saying) {
            QTest::newRow(name) << arguments << status << QString::fromUtf8(saying);
        };
        row("no command", {}, 2, "no command given");
        row("unknown command", {QStringLiteral("frobnicate")}, 2, "unknown command frobnicate");
        row("unknown option", {QStringLiteral("--bogus"), QStringLiteral("check")}, 2, "bogus");
        row("export without a format", {QStringLiteral("export")}, 2, "export needs --format");
        row("export to an unknown format", {QStringLiteral("export"), QStringLiteral("--format=xml")}, 2,
            "unknown format xml");
        row("vCard version with CSV",
            {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("--vcard-version"),
             QStringLiteral("3.0")},
            2, "--vcard-version goes with --format vcard only");
        row("unknown vCard version",
            {QStringLiteral("export"), QStringLiteral("--format"), QStringLiteral("vcard"), QStringLiteral("--vcard-version"),
             QStringLiteral("2.1")},
            2, "unknown vCard version 2.1");
        row("import without a file", {QStringLiteral("import")}, 2, "import needs a file name");
        row("check with a file", {QStringLiteral("check"), QStringLiteral("x")}, 2, "x is one too many");
        row("backup with a format", {QStringLiteral("backup"), QStringLiteral("--format"), QStringLiteral("csv")}, 2,
            "backup takes no --format");
        row("check of a missing database", {QStringLiteral("check")}, 1, "There is no contact database at");
        row("import of a missing file", {QStringLiteral("import"), QStringLiteral("/nonexistent/cards.vcf")}, 1,
            "Could not read /nonexistent/cards.vcf");
    }

    void wrongCommandLinesAreOnePlainLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, saying);
        const Run run = tool(QStringList{QStringLiteral("--database"), m_database} + arguments);
        QCOMPARE(run.status, status);
        QCOMPARE(run.output, QByteArray());
        QVERIFY2(run.errors.startsWith("merivo-tool: ") && run.errors.endsWith('\n') && run.errors.count('\n') == 1,
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

        run = tool({QStringLiteral("--database"), m_database, QStringLiteral("export"), QStringLiteral("--format"),
                    QStringLiteral("csv")});
        QCOMPARE(run.status, 0);
        const QByteArray csv = "Name,Address,Phone Number,Position,Office address,Office Phone Number,Email Address,"
                               "Website Address\r\nAnn,,,,,,,\r\nBob,,,,,,,\r\n";
        QCOMPARE(run.output, csv);

        const QString file = m_dir.filePath(QStringLiteral("out.csv"));
        run = tool({QStringLiteral("--database"), m_database, QStringLiteral("export"), QStringLiteral("--format"),
                    QStringLiteral("csv"), file});
        QCOMPARE(run.status, 0);
        QCOMPARE(readFile(file), csv);

        // A failed export leaves the file there as it was.
        run = tool({QStringLiteral("--database"), m_dir.filePath(QStringLiteral("missing.mdb")), QStringLiteral("export"),
                    QStringLiteral("--format"), QStringLiteral("vcard"), file});
        QCOMPARE(run.status, 1);
        QCOMPARE(readFile(file), csv);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("out.csv*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("out.csv")});
    }

    void backupWithoutAFileGoesBesideTheDatabase()
    {
        QVERIFY(storeContacts(m_database, {contact({QStringLiteral("Ann")})}));
        const Run run = tool({QStringLiteral("--database"), m_database, QStringLiteral("backup")});
        QCOMPARE(run.status, 0);
        const QStringList copies = QDir(m_dir.filePath(QStringLiteral("backups")))
                                       .entryList({QFileInfo(m_database).completeBaseName() + QStringLiteral("-*.mdb")});
        QCOMPARE(copies.size(), 1);
        QVERIFY(run.output.contains(copies.first().toUtf8()));
    }
};

QTEST_GUILESS_MAIN(TestMerivoTool)
#include "tst_merivotool.moc"
