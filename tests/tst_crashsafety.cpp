// A writer killed at random moments loses no change it reported done and
// leaves nothing half-written. crash_writer adds, changes and deletes
// contacts through the contact store and journals each call that returned;
// this test kills it with SIGKILL again and again and, after every kill,
// checks the file against the journal. Now and then the writer starts on a
// table another program made, holding values Merivo never writes (NULL,
// numbers, BLOBs, text that is not UTF-8) and no name keys yet: its changes
// must leave every value it does not change exactly as it was, and the keys
// made in the background must survive the kills too.

#include "ContactTestTools.h"
#include "CrashWorkload.h"

#include "contacts/NameKey.h"
#include "contacts/Recordset.h"
#include "maintenance/FindByName.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <chrono>
#include <set>
#include <thread>

using namespace CrashWorkload;

namespace {

constexpr int Kills = 200;
// Far more than the kills take (about a minute under the sanitizers): a
// bound against a writer that hangs, not a speed target.
constexpr qint64 TimeLimitMs = 240000;

struct JournalLine
{
    int step = 0;
    Kind kind = Kind::Insert;
    qint64 id = 0;
};

// The lines the writer completed; a line cut short by the kill is not one.
QList<JournalLine> readJournal(const QString &path)
{
    QFile file(path);
    QList<JournalLine> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    const QByteArray all = file.readAll();
    const QList<QByteArray> parts = all.left(all.lastIndexOf('\n') + 1).split('\n');
    for (const QByteArray &part : parts) {
        const QList<QByteArray> fields = part.split(' ');
        if (fields.size() == 3 && fields[1].size() == 1)
            lines.append({fields[0].toInt(), Kind(fields[1].at(0)), fields[2].toLongLong()});
    }
    return lines;
}

class Database
{
public:
    explicit Database(const QString &path)
    {
        // Read and write, so that a change cut short is undone as any
        // program opening the file would.
        m_ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                               nullptr)
            == SQLITE_OK;
    }
    ~Database() { sqlite3_close(m_db); }
    bool isOpen() const { return m_ok; }
    sqlite3 *handle() const { return m_db; }

    QString firstText(const char *sql) const
    {
        const QList<QList<StoredValue>> rows = storedRows(m_db, sql);
        return rows.isEmpty() ? QString() : rows.first().value(0).text();
    }

    Contacts contacts() const
    {
        Contacts all;
        for (const QList<StoredValue> &row : storedRows(m_db, "SELECT rowid, * FROM Table1")) {
            StoredRecord record;
            std::copy(row.begin() + 1, row.end(), record.begin());
            all[row[0].text().toLongLong()] = record;
        }
        return all;
    }

private:
    sqlite3 *m_db = nullptr;
    bool m_ok = false;
};

QString describe(const Contacts &contacts)
{
    QStringList rows;
    for (const auto &[id, values] : contacts)
        rows.append(QStringLiteral("%1:%2").arg(id).arg(values[0].text().left(30)));
    return rows.join(QStringLiteral(", "));
}

// Table1 as the sqlite3 shell makes it, without declared types, with rows
// holding what only other programs store.
bool makeForeignTable(const QString &path)
{
    return execSql(path, untypedTableSql()
                             + QStringLiteral(
                                 "INSERT INTO Table1 VALUES ('Ωmega', X'00FF10', NULL, 42, 1.5, CAST(X'C3A928E9' AS TEXT), -0.0, '');"
                                 "INSERT INTO Table1 VALUES (CAST(X'D0FF' AS TEXT), NULL, 9007199254740993, X'', 'ÉMILE', NULL, "
                                 "CAST(X'80' AS TEXT), 1e300);"
                                 "INSERT INTO Table1 VALUES (NULL, 'plain', 'text', '', '', '', '', '');"))
        .isEmpty();
}

struct Figures
{
    int kills = 0;
    int journalled = 0;    // changes reported done, all found in the file
    int doneUnjournalled = 0; // killed after the commit, before the journal line
    int freshFiles = 0;    // runs that began with no database at all
    int foreignTables = 0; // runs that began on a table another program made
    int killedWhileOpening = 0;
};

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

    // A kill loses nothing that reached the kernel, so memory serves as well
    // as a disk, where every save would wait for the device instead.
    static QString scratchFolder()
    {
        return QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm/merivo-crash-XXXXXX")
                                                                  : QDir::tempPath() + QStringLiteral("/merivo-crash-XXXXXX");
    }

    QTemporaryDir m_dir{scratchFolder()};
    QTemporaryDir m_copies{scratchFolder()};
    QString m_path;
    QString m_journal;
    Contacts m_model; // what the file holds, as checked after the last kill
    Figures m_figures;

    // Everything the journal says is done is there, exactly; besides, at
    // most the one change that was under way when the writer died.
    void verifyAfterKill(quint64 seed)
    {
        Contacts expected = m_model;
        int step = 0;
        for (const JournalLine &line : readJournal(m_journal)) {
            QCOMPARE(line.step, step);
            const Operation op = operation(seed, step, expected);
            QCOMPARE(line.kind, op.kind);
            if (op.kind != Kind::Insert)
                QCOMPARE(line.id, op.id);
            apply(op, line.id, expected);
            ++step;
        }
        m_figures.journalled += step;

        // A copy is checked, so that the next writer finds the file exactly
        // as the killed one left it, with any change to undo still there.
        const QString copy = m_copies.filePath(QStringLiteral("copy.mdb"));
        for (const QString &suffix : {QString(), QStringLiteral("-journal")}) {
            QFile::remove(copy + suffix);
            if (QFile::exists(m_path + suffix))
                QVERIFY(QFile::copy(m_path + suffix, copy + suffix));
        }
        Contacts actual;
        if (QFile::exists(copy)) {
            Database db(copy);
            QVERIFY(db.isOpen());
            QCOMPARE(db.firstText("PRAGMA integrity_check"), QStringLiteral("ok"));
            if (!db.firstText("SELECT 1 FROM sqlite_schema WHERE name = 'Table1'").isEmpty()) {
                actual = db.contacts();
                // A run killed before the keys were first made has none
                // yet: the next opening makes them.
                const QString keys = nameKeyProblem(db.handle());
                QVERIFY2(keys.isEmpty(), qPrintable(keys));
            }
        }

        if (actual != expected) {
            const Operation pending = operation(seed, step, expected);
            qint64 id = pending.id;
            if (pending.kind == Kind::Insert) {
                for (const auto &entry : actual) {
                    if (!expected.count(entry.first))
                        id = entry.first;
                }
            }
            apply(pending, id, expected);
            QVERIFY2(actual == expected, qPrintable(QStringLiteral("after step %1 of run %2:\n file:     %3\n expected: %4")
                                                         .arg(step)
                                                         .arg(seed)
                                                         .arg(describe(actual), describe(expected))));
            ++m_figures.doneUnjournalled;
        }
        m_model = actual;
    }

    // One run of the writer, killed at a random moment: mostly while it
    // changes contacts, sometimes while it opens or creates the file.
    void killOneRun(quint64 seed, QRandomGenerator &random)
    {
        const bool fresh = seed % 20 == 1;
        const bool foreign = seed % 20 == 11;
        const bool whileOpening = fresh || seed % 7 == 0;
        if (fresh || foreign) {
            QFile::remove(m_path);
            QFile::remove(m_path + QStringLiteral("-journal"));
            m_model.clear();
            ++(fresh ? m_figures.freshFiles : m_figures.foreignTables);
        }
        if (foreign) {
            QVERIFY(makeForeignTable(m_path));
            m_model = Database(m_path).contacts();
        }
        QFile::remove(m_journal);

        QProcess writer;
        writer.setProcessChannelMode(QProcess::SeparateChannels);
        writer.start(QStringLiteral(CRASH_WRITER), {m_path, m_journal, QString::number(seed)});
        QByteArray said;
        const QByteArray awaited = whileOpening ? "started\n" : "ready\n";
        while (!said.contains(awaited)) {
            if (!writer.waitForReadyRead(30000)) {
                QFAIL(qPrintable(QStringLiteral("run %1: the writer ended before \"%2\": %3")
                                     .arg(seed)
                                     .arg(QString::fromLatin1(awaited.trimmed()),
                                          QString::fromLocal8Bit(writer.readAllStandardError()))));
            }
            said += writer.readAllStandardOutput();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(whileOpening ? 40000 : 50000)));
        writer.kill();
        QVERIFY(writer.waitForFinished(30000));
        // Any other end means the store refused or failed a call.
        QVERIFY2(writer.exitStatus() == QProcess::CrashExit,
                 qPrintable(QString::fromLocal8Bit(writer.readAllStandardError())));
        ++m_figures.kills;
        if (whileOpening)
            ++m_figures.killedWhileOpening;
        verifyAfterKill(seed);
    }

private Q_SLOTS:
    void killedWritersLoseNothingAndLeaveNothingHalfWritten()
    {
        QVERIFY(m_dir.isValid() && m_copies.isValid());
        m_path = m_dir.filePath(QStringLiteral("db2.mdb"));
        m_journal = m_dir.filePath(QStringLiteral("journal.txt"));
        QRandomGenerator random(20240612);
        QElapsedTimer elapsed;
        elapsed.start();

        for (quint64 seed = 1; m_figures.kills < Kills; ++seed) {
            killOneRun(seed, random);
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(elapsed.elapsed() < TimeLimitMs,
                     qPrintable(QStringLiteral("only %1 kills in %2 s").arg(m_figures.kills).arg(TimeLimitMs / 1000)));
        }

        // The store opens what the last kill left, and finds every contact.
        Recordset records;
        QVERIFY2(records.open(m_path), qPrintable(records.lastError()));
        for (const auto &[id, values] : m_model) {
            QVERIFY(records.FindFirst(FindByName::criterion(QStringLiteral("name= "), values[0].text())));
            QVERIFY(!records.NoMatch());
            QCOMPARE(nameKey(records.currentValues()[0]), nameKey(values[0].text()));
        }

        qInfo("%d kills in %.1f s: %d changes journalled and all found, %d done but killed before the journal, "
              "%d runs from no file, %d from a table another program made, %d killed while opening; "
              "%d contacts at the end",
              m_figures.kills, double(elapsed.elapsed()) / 1000, m_figures.journalled, m_figures.doneUnjournalled,
              m_figures.freshFiles, m_figures.foreignTables, m_figures.killedWhileOpening, int(m_model.size()));
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
