// Where the programs keep their data: the folder a build fixed, or else the
// running user's own, whoever that is and wherever the program starts.

#include "contacts/DataFolder.h"
#include "merivo_config.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Unset = QStringLiteral("(unset)");

} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rule_data()
    {
        QTest::addColumn<QString>("fixed");
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("accountHome");
        QTest::addColumn<QString>("folder");
        const QString fixed = QStringLiteral("/srv/merivo");
        const QString home = QStringLiteral("/home/ann");
        const QString account = QStringLiteral("/var/lib/ann");
        const QString inHome = QStringLiteral("/home/ann/.local/share/merivo");

        QTest::newRow("fixed by the build") << fixed << "/data/ann" << home << account << fixed;
        QTest::newRow("fixed, with a trailing slash") << fixed + QLatin1Char('/') << Unset << Unset << QString() << fixed;
        QTest::newRow("XDG_DATA_HOME") << QString() << "/data/ann" << home << account << "/data/ann/merivo";
        QTest::newRow("XDG_DATA_HOME with a trailing slash") << QString() << "/data/ann/" << home << account
                                                             << "/data/ann/merivo";
        QTest::newRow("XDG_DATA_HOME unset") << QString() << Unset << home << account << inHome;
        QTest::newRow("XDG_DATA_HOME empty") << QString() << "" << home << account << inHome;
        QTest::newRow("XDG_DATA_HOME relative") << QString() << "data" << home << account << inHome;
        QTest::newRow("HOME unset") << QString() << Unset << Unset << account << "/var/lib/ann/.local/share/merivo";
        QTest::newRow("HOME relative") << QString() << Unset << "ann" << account << "/var/lib/ann/.local/share/merivo";
        QTest::newRow("HOME is the root") << QString() << Unset << "/" << account << "/.local/share/merivo";
        QTest::newRow("no home at all") << QString() << Unset << Unset << QString() << QString();
        QTest::newRow("only relative homes") << QString() << "data" << "ann" << "ann" << QString();
    }

    void rule()
    {
        QFETCH(QString, fixed);
        QFETCH(QString, dataHome);
        QFETCH(QString, home);
        QFETCH(QString, accountHome);
        QFETCH(QString, folder);
        QProcessEnvironment environment;
        if (dataHome != Unset)
            environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        if (home != Unset)
            environment.insert(QStringLiteral("HOME"), home);
        QCOMPARE(DataFolder::locate(fixed, environment, accountHome), folder);
    }

    // Both programs, started elsewhere, as a user whose folders are new.
    void programsUseTheRunningUsersFolder_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("withDataHome");
        QTest::addColumn<QString>("madeFile");
        const QStringList import{QStringLiteral("import"), QStringLiteral("card.vcf")};
        QTest::newRow("merivo-tool, XDG_DATA_HOME") << MERIVO_TOOL << import << true << "db2.mdb";
        QTest::newRow("merivo-tool, HOME") << MERIVO_TOOL << import << false << "db2.mdb";
        QTest::newRow("merivo, XDG_DATA_HOME") << MERIVO_PROGRAM << QStringList() << true << "plimo.rpt";
        QTest::newRow("merivo, HOME") << MERIVO_PROGRAM << QStringList() << false << "plimo.rpt";
    }

    void programsUseTheRunningUsersFolder()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(bool, withDataHome);
        QFETCH(QString, madeFile);
        if (!QStringLiteral(MERIVO_DATA_DIR).isEmpty())
            QSKIP("This build keeps every user's data in one folder fixed by MERIVO_DATA_DIR.");

        QTemporaryDir user;
        QTemporaryDir started;
        QVERIFY(user.isValid() && started.isValid());
        QFile card(QDir(started.path()).filePath(QStringLiteral("card.vcf")));
        QVERIFY(card.open(QIODevice::WriteOnly));
        card.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Archer\r\nEND:VCARD\r\n");
        card.close();

        const QString home = user.filePath(QStringLiteral("home"));
        const QString dataHome = user.filePath(QStringLiteral("data"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        if (withDataHome)
            environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        const QString folder = withDataHome ? dataHome + QStringLiteral("/merivo")
                                            : home + QStringLiteral("/.local/share/merivo");

        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(started.path());
        process.start(program, arguments);
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(folder).filePath(madeFile)), 30000);
        // merivo stays open: the file it makes as it starts is enough.
        const bool staysOpen = arguments.isEmpty();
        if (staysOpen)
            process.kill();
        // The wait above runs the event loop, so a short command may have finished already.
        QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(30000));
        if (!staysOpen)
            QCOMPARE(process.exitCode(), 0);

        // Nothing where the program was started, nor in the folder the other way would have taken.
        QCOMPARE(QDir(started.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{QStringLiteral("card.vcf")});
        const QString otherFolder = withDataHome ? home : dataHome;
        QVERIFY2(!QFileInfo::exists(otherFolder), qPrintable(otherFolder));
        // The folders made for the contacts are the user's alone.
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        for (QString made = folder; made != user.path(); made = QFileInfo(made).absolutePath())
            QCOMPARE(QFile::permissions(made) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), ownerOnly);
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
