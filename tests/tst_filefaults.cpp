// The record forms over a contact database that is not what it should be:
// a foreign file, one that may only be read, one locked by another program,
// one removed while the forms are open. Every failure is told in a message
// that names the file and the cause, the file stays exactly as it was, and
// the program stays usable as far as it can.

#include "ContactTestTools.h"

#include "maintenance/frmadd.h"
#include "maintenance/frmfind.h"
#include "recordform/DataControl.h"
#include "support/RecordFormFixture.h"
#include "support/TestProgram.h"
#include "toolkit/Controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace RecordFormFixture;
using Box = ScriptedDialogs::Box;

namespace {

// Root may write any file, so the permission cases would prove nothing:
// the test runs as the unprivileged user "nobody" when started as root.
bool runAsOrdinaryUser()
{
    if (geteuid() != 0)
        return true;
    const passwd *nobody = getpwnam("nobody");
    if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
        return false;
    // A changed user makes the process undumpable, which would keep the
    // leak checker from stopping its threads at exit.
    prctl(PR_SET_DUMPABLE, 1);
    return true;
}

// What there is at a path: the bytes of a file, or its kind.
QByteArray fingerprint(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return "folder";
    if (!info.exists())
        return "nothing";
    if (!info.isFile())
        return "special";
    return fileDigest(path);
}

QStringList folderListing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                  QDir::Name);
}

void setMode(const QString &path, mode_t mode)
{
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
}

void verifyNamesPathAndCause(const Box &box, const QString &path, const QString &cause)
{
    QCOMPARE(box.kind, Box::Message);
    QCOMPARE(box.style, int(MsgBox::OkOnly));
    QVERIFY2(box.prompt.contains(path), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(cause), qPrintable(box.prompt));
}

// Clicks `button`, answers its question (when there is one) with
// `answer`, and expects the work refused by a message naming the file and
// the cause.
void verifyRefused(TestProgram &t, QAbstractButton *button, std::optional<int> answer, const QString &path,
                   const QString &cause)
{
    if (answer)
        t.dialogs().answer(*answer);
    t.dialogs().answer(MsgBox::Ok);
    button->click();
    const auto asked = t.dialogs().takeAsked();
    QCOMPARE(asked.size(), answer ? 2 : 1);
    verifyNamesPathAndCause(asked.last(), path, cause);
}

void search(TestProgram &t, RecordForm *form, const QString &name)
{
    t.dialogs().type(name);
    form->findChild<QPushButton *>(QStringLiteral("cmdFind"))->click();
}

} // namespace

class TestFileFaults : public QObject
{
    Q_OBJECT

public:
    explicit TestFileFaults(bool ordinaryUser) : m_ordinaryUser(ordinaryUser) {}

private:
    bool m_ordinaryUser;

    void needOrdinaryUser()
    {
        if (!m_ordinaryUser)
            QSKIP("running as root, and could not become an ordinary user");
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!haveSqliteShell())
            QSKIP("the sqlite3 shell is not installed");
    }

    void foreignFilesAreReportedAndLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("needsOrdinaryUser");

        QTest::newRow("text") << "text" << "not an SQLite database" << false;
        QTest::newRow("random bytes") << "random" << "not an SQLite database" << false;
        QTest::newRow("SQLite without Table1") << "no Table1" << "no table Table1" << false;
        QTest::newRow("Table1 with other fields") << "other fields" << "\"Fax\"" << false;
        QTest::newRow("SQLite in WAL mode without Table1") << "wal" << "no table Table1" << false;
        QTest::newRow("a folder") << "folder" << "is a folder" << false;
        QTest::newRow("a pipe") << "pipe" << "not a plain file" << false;
        QTest::newRow("no file, folder may not be written") << "folder read-only" << "may not be written" << true;
        QTest::newRow("folder may not be read") << "folder closed" << "may not be read" << true;
        QTest::newRow("change cut short, file may not be written") << "crashed read-only" << "cut short" << true;
    }

    // The form opens with the message and no contact; Find says why it
    // cannot search, Exit goes back to the main window; nothing changes on disk.
    void foreignFilesAreReportedAndLeftAlone()
    {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        QFETCH(bool, needsOrdinaryUser);
        if (needsOrdinaryUser)
            needOrdinaryUser();

        TestProgram t;
        const QString folder = t.dataDirectory();
        const QString path = databasePath(t);
        if (kind == QLatin1String("text")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Name,Address\nAnn,Elm Street\n");
        } else if (kind == QLatin1String("random")) {
            QByteArray bytes(4096, '\0');
            QRandomGenerator random(7);
            for (char &byte : bytes)
                byte = char(random.bounded(256));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        } else if (kind == QLatin1String("no Table1")) {
            QCOMPARE(sqliteShell(path, QStringLiteral("CREATE TABLE Contacts(%1);").arg(EightFields)).errors, QString());
        } else if (kind == QLatin1String("other fields")) {
            QCOMPARE(sqliteShell(path, QStringLiteral("CREATE TABLE Table1(%1, \"Fax\");").arg(EightFields)).errors,
                     QString());
        } else if (kind == QLatin1String("wal")) {
            QCOMPARE(sqliteShell(path, QStringLiteral("PRAGMA journal_mode=WAL; CREATE TABLE Contacts(\"Name\");"
                                                      "INSERT INTO Contacts VALUES ('Ann');"))
                         .errors,
                     QString());
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("pipe")) {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0644) == 0);
        } else if (kind == QLatin1String("crashed read-only")) {
            seed(t, {QStringLiteral("Ann")});
            killShellMidTransaction(path);
            setMode(path, 0444);
        }
        const QStringList listing = folderListing(folder);
        const QByteArray before = fingerprint(path);
        const QByteArray journal = fingerprint(path + QStringLiteral("-journal"));
        if (kind == QLatin1String("folder read-only"))
            setMode(folder, 0555);
        if (kind == QLatin1String("folder closed"))
            setMode(folder, 0);

        t.dialogs().answer(MsgBox::Ok);
        auto *f = t.show<frmfind>(QStringLiteral("frmfind"));
        verifyNamesPathAndCause(t.dialogs().takeOnly(), path, cause);
        QVERIFY(f->isVisible());
        QCOMPARE(f->txtName->text(), QString());
        QCOMPARE(f->Data1->caption(), QString());

        t.dialogs().answer(MsgBox::Ok);
        search(t, f, QStringLiteral("Ann"));
        const auto asked = t.dialogs().takeAsked();
        QCOMPARE(asked.size(), 2);
        QVERIFY2(asked[1].prompt.contains(QLatin1String("not open")), qPrintable(asked[1].prompt));

        t.dialogs().answer(MsgBox::Yes);
        f->cmdExit->click();
        t.settle();
        QVERIFY(!t.program().isOpen(QStringLiteral("frmfind")));
        QCOMPARE(t.visibleForms(), QStringList{QStringLiteral("MDIMain")});

        setMode(folder, 0700);
        QCOMPARE(fingerprint(path), before);
        QCOMPARE(fingerprint(path + QStringLiteral("-journal")), journal);
        QCOMPARE(folderListing(folder), listing);
        if (kind == QLatin1String("crashed read-only"))
            setMode(path, 0644);
    }

    // Created by a program that was killed before it finished: the change
    // is undone, which leaves an empty file, and the database made anew.
    void anInterruptedCreationIsUndone()
    {
        TestProgram t;
        const QString path = databasePath(t);
        killShellMidTransaction(path, untypedTableSql());

        auto *f = t.show<frmadd>(QStringLiteral("frmadd"));
        QCOMPARE(t.dialogs().takeAsked().size(), 0);
        QCOMPARE(f->txtName->text(), QString());
        startWork(t, f);
        f->txtName->setText(QStringLiteral("Ann"));
        f->cmdok->click();
        QCOMPARE(t.dialogs().takeAsked().size(), 0);
        QCOMPARE(storedNames(t), QStringList{QStringLiteral("Ann")});
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
        QCOMPARE(sqliteShell(path, QStringLiteral("PRAGMA integrity_check;")).output, QStringLiteral("ok"));
    }

    void readOnlyDatabasesBrowseAndSavingSaysWhy_data()
    {
        QTest::addColumn<bool>("folderOnly");
        QTest::addColumn<QString>("why");
        QTest::newRow("file may not be written") << false << "the file may not be written";
        QTest::newRow("folder may not be written") << true << "may not be written, and every change keeps a journal";
    }

    void readOnlyDatabasesBrowseAndSavingSaysWhy()
    {
        QFETCH(bool, folderOnly);
        QFETCH(QString, why);
        needOrdinaryUser();

        TestProgram t;
        const QString path = databasePath(t);
        seed(t, {QStringLiteral("Ann"), QStringLiteral("Bob"), QStringLiteral("Émile")});
        setMode(folderOnly ? t.dataDirectory() : path, folderOnly ? 0555 : 0444);
        const QByteArray before = fileDigest(path);
        const QStringList listing = folderListing(t.dataDirectory());

        // Browsing and finding work, without a word.
        auto *find = t.show<frmfind>(QStringLiteral("frmfind"));
        QCOMPARE(t.dialogs().takeAsked().size(), 0);
        QCOMPARE(find->txtName->text(), QStringLiteral("Ann"));
        clickArrow(find->Data1, "moveNext");
        QCOMPARE(find->Data1->caption(), QStringLiteral("Bob"));
        search(t, find, QStringLiteral("ÉMILE"));
        QCOMPARE(t.dialogs().takeAsked().size(), 1);
        QCOMPARE(find->txtAddress->text(), QStringLiteral("Émile/1"));

        // Every change says why it cannot be made, and the form stays as it was.
        verifyRefused(t, find->cmdEdit, MsgBox::Yes, path, why);
        QVERIFY(find->txtName->isReadOnly());
        QVERIFY(!find->cmdUpdate->isVisible());

        auto *add = t.show<frmadd>(QStringLiteral("frmadd"));
        verifyRefused(t, add->cmdAdd, MsgBox::Yes, path, why);
        QVERIFY(add->cmdAdd->isVisible() && !add->cmdok->isVisible());
        QVERIFY(add->txtName->isReadOnly());

        verifyRefused(t, add->cmdDelete, MsgBox::Ok, path, why);
        QCOMPARE(add->txtName->text(), QStringLiteral("Ann"));

        setMode(t.dataDirectory(), 0700);
        QCOMPARE(fileDigest(path), before);
        QCOMPARE(folderListing(t.dataDirectory()), listing);
        setMode(path, 0644);
    }

    // Another program holds the file: the form waits a little, then says so;
    // once the lock is gone, a new opening shows the contacts.
    void aLockedDatabaseIsWaitedForThenReported()
    {
        TestProgram t;
        const QString path = databasePath(t);
        seed(t, {QStringLiteral("Ann")});
        LockingConnection other;
        QVERIFY(other.lock(path));

        t.dialogs().answer(MsgBox::Ok);
        QElapsedTimer waited;
        waited.start();
        auto *f = t.show<frmfind>(QStringLiteral("frmfind"));
        const qint64 ms = waited.elapsed();
        verifyNamesPathAndCause(t.dialogs().takeOnly(), path, QStringLiteral("locked by another program"));
        QVERIFY2(ms >= 1000 && ms < 30000, qPrintable(QString::number(ms)));
        QCOMPARE(f->txtName->text(), QString());

        other.release();
        t.dialogs().answer(MsgBox::Yes);
        f->cmdExit->click();
        t.settle();
        f = t.show<frmfind>(QStringLiteral("frmfind"));
        QCOMPARE(t.dialogs().takeAsked().size(), 1); // only the exit question
        QCOMPARE(f->txtName->text(), QStringLiteral("Ann"));
    }

    // A lock taken while the user types: the save says so and keeps
    // everything typed, and succeeds once the lock is gone.
    void aLockTakenWhileTypingKeepsTheWork()
    {
        TestProgram t;
        const QString path = databasePath(t);
        auto *find = showWith<frmfind>(t, QStringLiteral("frmfind"), {QStringLiteral("Ann")});
        auto *add = t.show<frmadd>(QStringLiteral("frmadd"));
        startWork(t, find);
        find->txtPhone->setText(QStringLiteral("555 0100"));
        startWork(t, add);
        add->txtName->setText(QStringLiteral("Bob"));

        LockingConnection other;
        QVERIFY(other.lock(path));
        const QString locked = QStringLiteral("locked by another program");
        verifyRefused(t, find->cmdUpdate, std::nullopt, path, locked);
        QVERIFY(find->cmdUpdate->isVisible());
        QCOMPARE(find->txtPhone->text(), QStringLiteral("555 0100"));
        verifyRefused(t, add->cmdok, std::nullopt, path, locked);
        QVERIFY(add->cmdok->isVisible());
        QCOMPARE(add->txtName->text(), QStringLiteral("Bob"));

        other.release();
        find->cmdUpdate->click();
        add->cmdok->click();
        QCOMPARE(t.dialogs().takeAsked().size(), 0);
        const QList<ContactValues> all = stored(t);
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0][2], QStringLiteral("555 0100"));
        QCOMPARE(all[1][0], QStringLiteral("Bob"));
    }

    // The open forms keep showing what they read, every change says the
    // file is gone, and a new opening starts a new database.
    void aDatabaseRemovedWhileFormsAreOpen()
    {
        TestProgram t;
        const QString path = databasePath(t);
        auto *find = showWith<frmfind>(t, QStringLiteral("frmfind"), {QStringLiteral("Ann"), QStringLiteral("Bob")});
        auto *add = t.show<frmadd>(QStringLiteral("frmadd"));
        QVERIFY(QFile::remove(path));

        const QString cause = QStringLiteral("moved or deleted");
        startWork(t, find);
        find->txtName->setText(QStringLiteral("Annie"));
        verifyRefused(t, find->cmdUpdate, std::nullopt, path, cause);
        QVERIFY(find->cmdUpdate->isVisible());
        find->cmdCancel->click();
        clickArrow(find->Data1, "moveNext");
        QCOMPARE(find->txtName->text(), QStringLiteral("Bob"));

        startWork(t, add);
        add->txtName->setText(QStringLiteral("Cy"));
        verifyRefused(t, add->cmdok, std::nullopt, path, cause);
        QVERIFY(add->cmdok->isVisible());
        add->cmdCancel->click();

        verifyRefused(t, add->cmdDelete, MsgBox::Ok, path, cause);
        QVERIFY(!QFile::exists(path));

        t.program().Unload(QStringLiteral("frmfind"));
        t.program().Unload(QStringLiteral("frmadd"));
        t.settle();
        add = t.show<frmadd>(QStringLiteral("frmadd"));
        QCOMPARE(t.dialogs().takeAsked().size(), 0);
        QCOMPARE(add->txtName->text(), QString());
        startWork(t, add);
        add->txtName->setText(QStringLiteral("Cy"));
        add->cmdok->click();
        QCOMPARE(storedNames(t), QStringList{QStringLiteral("Cy")});
    }
};

int main(int argc, char **argv)
{
    const bool ordinaryUser = runAsOrdinaryUser();
    // Qt's caches and runtime files go to a place of this run's own.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    TestFileFaults test(ordinaryUser);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_filefaults.moc"
