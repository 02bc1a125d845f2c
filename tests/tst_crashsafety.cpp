// A writer killed at random moments loses no change it reported done and
// leaves nothing half-written. crash_writer adds, changes and deletes
// contacts through the contact store and journals each call that returned;
// this test kills it with SIGKILL again and again and, after every kill,
// checks the file against the journal.

#include "CrashWorkload.h"

#include "contacts/NameKey.h"
#include "contacts/Recordset.h"
#include "contacts/SqliteStatement.h"
#include "maintenance/FindByName.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
        m_ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    }
    ~Database() { sqlite3_close(m_db); }
    bool isOpen() const { return m_ok; }

    QList<QStringList> rows(const char *sql) const
    {
        QList<QStringList> result;
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return {{QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(m_db))}};
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                row.append(textFromUtf8(QByteArrayView(text, sqlite3_column_bytes(statement, i))));
            }
            result.append(row);
        }
        sqlite3_finalize(statement);
        return result;
    }

private:
    sqlite3 *m_db = nullptr;
    bool m_ok = false;
};

QString describe(const Contacts &contacts)
{
    QStringList rows;
    for (const auto &[id, values] : contacts)
        rows.append(QStringLiteral("%1:%2").arg(id).arg(values[0].left(30)));
    return rows.join(QStringLiteral(", "));
}

struct Figures
{
    int kills = 0;
    int journalled = 0;    // changes reported done, all found in the file
    int doneUnjournalled = 0; // killed after the commit, before the journal line
    int freshFiles = 0;    // runs that began with no database at all
    int killedWhileOpening = 0;
};

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_copies;
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
            QCOMPARE(db.rows("PRAGMA integrity_check").value(0).value(0), QStringLiteral("ok"));
            const bool hasTable = !db.rows("SELECT 1 FROM sqlite_schema WHERE name = 'Table1'").isEmpty();
            if (hasTable) {
                for (const QStringList &row : db.rows("SELECT rowid, * FROM Table1")) {
                    QCOMPARE(row.size(), ContactFieldCount + 1);
                    ContactValues values;
                    for (int i = 0; i < ContactFieldCount; ++i)
                        values[i] = row[i + 1];
                    actual[row[0].toLongLong()] = values;
                }
                verifyNameKeys(db, actual);
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

    // Each stored name has its folded key, and nothing else is keyed. A run
    // killed before the keys were first made has none yet: the next opening
    // makes them.
    static void verifyNameKeys(const Database &db, const Contacts &contacts)
    {
        if (db.rows("SELECT 1 FROM sqlite_schema WHERE name = 'merivo_name_scheme'").isEmpty())
            return;
        std::set<QString> names;
        for (const auto &[id, values] : contacts)
            names.insert(values[0]);
        const QList<QStringList> variants = db.rows("SELECT name, key FROM merivo_name_variant");
        QCOMPARE(variants.size(), qsizetype(names.size()));
        for (const QStringList &variant : variants) {
            QVERIFY(names.count(variant[0]) == 1);
            QCOMPARE(variant[1], nameKey(variant[0]));
        }
        QCOMPARE(db.rows("SELECT count(*) FROM merivo_name_pending").value(0).value(0), QStringLiteral("0"));
    }

    // One run of the writer, killed at a random moment: mostly while it
    // changes contacts, sometimes while it opens or creates the file.
    void killOneRun(quint64 seed, QRandomGenerator &random)
    {
        const bool fresh = seed % 20 == 1;
        const bool whileOpening = fresh || seed % 7 == 0;
        if (fresh) {
            QFile::remove(m_path);
            QFile::remove(m_path + QStringLiteral("-journal"));
            m_model.clear();
            ++m_figures.freshFiles;
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
            QVERIFY(records.FindFirst(FindByName::criterion(QStringLiteral("name= "), values[0])));
            QVERIFY(!records.NoMatch());
            QCOMPARE(nameKey(records.currentValues()[0]), nameKey(values[0]));
        }

        qInfo("%d kills in %.1f s: %d changes journalled and all found, %d done but killed before the journal, "
              "%d runs from no file, %d killed while opening; %d contacts at the end",
              m_figures.kills, double(elapsed.elapsed()) / 1000, m_figures.journalled, m_figures.doneUnjournalled,
              m_figures.freshFiles, m_figures.killedWhileOpening, int(m_model.size()));
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
