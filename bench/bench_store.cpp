// Speed and memory of the contact store over a large db2.mdb.
//
//   merivo_bench            1,000,000 contacts with 900,000 distinct names
//                           of several scripts, written as the sqlite3 shell
//                           would, without Merivo's name keys
//   merivo_bench --quick    10,000 contacts, fewer rounds
//
// First a form's store opens that file, and the name keys are made in the
// background; then the figures of the keyed file. Each figure is the median
// of single operations timed one by one. The raw SQLite figures use the C
// API on the same file in the same run. Before all that, a form opens over
// a contact whose address another program made 50 MB long. A summary with
// the targets and ratios follows Google Benchmark's own table.

#include "contacts/Recordset.h"
#include "maintenance/FindByName.h"
#include "recordform/DataControl.h"
#include "recordform/TypedTextLimit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Config
{
    int contacts = 1000000;
    int lookups = 5000;
    int moves = 20000;
    int opens = 100;
    int saves = 100;
    int unkeyedOpens = 5;
    int hugeFieldBytes = 50 * 1024 * 1024;
};

// Names as an address book of many countries holds them: given names and
// family names of several scripts, mixed, some family names in capitals.
// (None with a dotless ı, which upper-casing turns into I: Find, searching
// for them in capitals, would rightly not find them.)
// The first 900,000 are all different; later ones repeat earlier ones.
QString contactName(int i)
{
    static const QStringList given = {
        QStringLiteral("Émile"), QStringLiteral("Zoë"), QStringLiteral("José"), QStringLiteral("François"),
        QStringLiteral("Søren"), QStringLiteral("Łukasz"), QStringLiteral("Ærø"), QStringLiteral("Jürgen"),
        QStringLiteral("Åsa"), QStringLiteral("Çetin"), QStringLiteral("Ingrid"), QStringLiteral("Anna"),
        QStringLiteral("John"), QStringLiteral("Mary"), QStringLiteral("Oliver"), QStringLiteral("Chloe"),
        QStringLiteral("Σωκράτης"), QStringLiteral("Ελένη"), QStringLiteral("Νίκος"), QStringLiteral("Αθηνά"),
        QStringLiteral("Иван"), QStringLiteral("Мария"), QStringLiteral("Сергей"), QStringLiteral("Ольга"),
        QStringLiteral("小龍"), QStringLiteral("美玲"), QStringLiteral("太郎"), QStringLiteral("민준"),
        QStringLiteral("محمد"), QStringLiteral("فاطمة"), QStringLiteral("יוסף"), QStringLiteral("שרה"),
        QStringLiteral("Ngọc"), QStringLiteral("Thảo"), QStringLiteral("Ayşe"), QStringLiteral("Priya"),
        QStringLiteral("Björk"), QStringLiteral("Dražen"), QStringLiteral("Małgorzata"), QStringLiteral("Ștefan"),
    };
    static const QStringList middle = [] {
        QStringList all;
        for (const char *part : {"de", "van", "al", "von", "da", "ben", "Mac", "O'", "di", "le"})
            for (const char *initial : {"A.", "B.", "C.", "D.", "É.", "Ł.", "Σ.", "Ж.", "J.", "K.", "M.", "R."})
                all.append(QString::fromUtf8(part) + u' ' + QString::fromUtf8(initial));
        return all;
    }();
    static const QStringList family = {
        QStringLiteral("Zola"), QStringLiteral("Dupont"), QStringLiteral("Müller"), QStringLiteral("Straße"),
        QStringLiteral("García"), QStringLiteral("Kowalski"), QStringLiteral("Øster"), QStringLiteral("Öztürk"),
        QStringLiteral("Nørgaard"), QStringLiteral("Smith"), QStringLiteral("Brown"), QStringLiteral("Ďurica"),
        QStringLiteral("Παπαδόπουλος"), QStringLiteral("Οδυσσέας"), QStringLiteral("Петров"), QStringLiteral("Смирнова"),
        QStringLiteral("李"), QStringLiteral("王"), QStringLiteral("山田"), QStringLiteral("김"),
        QStringLiteral("علي"), QStringLiteral("حسن"), QStringLiteral("כהן"), QStringLiteral("לוי"),
        QStringLiteral("Nguyễn"), QStringLiteral("Trần"), QStringLiteral("Doğan"), QStringLiteral("Şahin"),
        QStringLiteral("Sharma"), QStringLiteral("Ólafsson"), QStringLiteral("Þórsdóttir"), QStringLiteral("Ñúñez"),
    };
    const qsizetype distinct = given.size() * middle.size() * family.size() * 2;
    qsizetype n = i < 900000 ? i : (qsizetype(i) * 7919) % 900000;
    n %= distinct;
    QString last = family.at((n / (given.size() * middle.size())) % family.size());
    if (n / (given.size() * middle.size() * family.size()) % 2)
        last = last.toUpper();
    return given.at(n % given.size()) + u' ' + middle.at((n / given.size()) % middle.size()) + u' ' + last;
}

// Medians in microseconds, by figure name, in the order they were measured.
std::vector<std::pair<std::string, double>> g_medians;
bool g_failed = false;

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

double medianOf(const std::string &figure)
{
    for (const auto &[name, value] : g_medians) {
        if (name == figure)
            return value;
    }
    return 0;
}

void check(bool ok, const char *what, const QString &error = QString())
{
    if (!ok && !g_failed) {
        std::fprintf(stderr, "FAILED: %s %s\n", what, qPrintable(error));
        g_failed = true;
    }
}

// Times `operation` once per iteration; `between` runs untimed before it.
void timeEach(benchmark::State &state, const std::string &figure, const std::function<void(int)> &operation,
              const std::function<void(int)> &between = {})
{
    std::vector<double> samples;
    samples.reserve(state.max_iterations);
    int i = 0;
    for (auto _ : state) {
        if (between)
            between(i);
        const auto start = Clock::now();
        operation(i);
        const std::chrono::duration<double> took = Clock::now() - start;
        state.SetIterationTime(took.count());
        samples.push_back(took.count() * 1e6);
        ++i;
    }
    const double m = median(samples);
    state.counters["median_us"] = m;
    g_medians.emplace_back(figure, m);
}

long residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * sysconf(_SC_PAGESIZE) : 0;
}

// The most memory the process has held since resetPeakResident().
long peakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() * 1024;
    }
    return 0;
}

// Processor time of the whole process, every thread, in ms.
double processorMs()
{
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return time.tv_sec * 1e3 + time.tv_nsec / 1e6;
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// ---- the files

QString createTableSql()
{
    QStringList columns;
    for (const QString &name : contactFieldNames())
        columns.append(QStringLiteral("\"%1\" TEXT NOT NULL DEFAULT ''").arg(name));
    return QStringLiteral("CREATE TABLE Table1 (%1)").arg(columns.join(QStringLiteral(", ")));
}

// Table1 filled in one transaction, as the sqlite3 shell would fill it: no
// name keys.
void makeContactFile(const QString &path, int contacts)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    const QByteArray create = createTableSql().toUtf8();
    check(sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr) == SQLITE_OK, "create the file");
    sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Table1 VALUES (?1, ?2 || ' Long Street, Springfield', '+1 555 ' || ?2, "
                       "'Sales manager', '1 Office Park, Springfield', '+1 555 0100', "
                       "'contact' || ?2 || '@example.com', 'https://example.com/' || ?2)",
                       -1, &insert, nullptr);
    for (int i = 1; i <= contacts; ++i) {
        const QByteArray name = contactName(i).toUtf8();
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 2, i);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK, "fill the file");
    sqlite3_close(db);
}

// One contact whose address another program made `bytes` long, of mixed
// scripts, written in pieces so that the bench never holds it whole.
void makeHugeFieldFile(const QString &path, int bytes)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    const QByteArray create = createTableSql().toUtf8();
    sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr);
    const QByteArray insert = QByteArrayLiteral("INSERT INTO Table1(\"Name\", \"Address\") VALUES ('Huge', zeroblob(")
        + QByteArray::number(bytes) + "))";
    sqlite3_exec(db, insert.constData(), nullptr, nullptr, nullptr);
    sqlite3_blob *blob = nullptr;
    sqlite3_blob_open(db, "main", "Table1", "Address", 1, 1, &blob);
    const QByteArray piece = QStringLiteral("Émile Zoë, 12 rue de la Paix; Σωκράτης; Иван; 小龍; محمد; 😀 ").toUtf8();
    QByteArray chunk;
    while (chunk.size() < 1024 * 1024)
        chunk += piece;
    chunk.truncate(1024 * 1024);
    for (int offset = 0; offset < bytes; offset += int(chunk.size()))
        sqlite3_blob_write(blob, chunk.constData(), qMin(int(chunk.size()), bytes - offset), offset);
    sqlite3_blob_close(blob);
    // Another program's text: cut through a character at each piece's end,
    // so not all of it is UTF-8.
    sqlite3_exec(db, "UPDATE Table1 SET \"Address\" = CAST(\"Address\" AS TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A record form's bar with its eight boxes, limited as the forms limit them.
struct FormBoxes
{
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    DataControl *data = new DataControl(form.get());
    QLineEdit *name = nullptr;

    FormBoxes()
    {
        for (int field = 0; field < ContactFieldCount; ++field) {
            auto *box = new QLineEdit(form.get());
            box->setGeometry(0, 30 * field + 30, 300, 25);
            new TypedTextLimit(box, DataControl::LongestShownText);
            data->bind(static_cast<ContactField>(field), box);
            if (field == 0)
                name = box;
        }
    }
};

// A connection of our own with the store's durability settings.
struct RawConnection
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *lookup = nullptr;
    sqlite3_stmt *insert = nullptr;

    explicit RawConnection(const QString &path)
    {
        sqlite3_open(QFile::encodeName(path).constData(), &db);
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        // Through the index the store's keys add, by the name as stored.
        const QByteArray select = QStringLiteral("SELECT %1 FROM Table1 WHERE lower(rtrim(\"Name\")) = lower(rtrim(?1)) "
                                                 "ORDER BY rowid LIMIT 1")
                                      .arg(QStringLiteral("rowid, ") + contactFieldList())
                                      .toUtf8();
        sqlite3_prepare_v2(db, select.constData(), -1, &lookup, nullptr);
        sqlite3_prepare_v2(db, "INSERT INTO Table1 VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1, &insert, nullptr);
    }
    ~RawConnection()
    {
        sqlite3_finalize(lookup);
        sqlite3_finalize(insert);
        sqlite3_close(db);
    }

    // The row with exactly this name, its eight texts read as the store reads them.
    bool find(const QByteArray &name)
    {
        sqlite3_bind_text(lookup, 1, name.constData(), int(name.size()), SQLITE_STATIC);
        const bool found = sqlite3_step(lookup) == SQLITE_ROW;
        if (found) {
            benchmark::DoNotOptimize(sqlite3_column_int64(lookup, 0));
            for (int column = 1; column <= ContactFieldCount; ++column)
                benchmark::DoNotOptimize(sqlite3_column_text16(lookup, column));
        }
        sqlite3_reset(lookup);
        return found;
    }

    bool add(const QByteArray &name)
    {
        bool ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        for (int column = 1; column <= ContactFieldCount; ++column)
            sqlite3_bind_text(insert, column, name.constData(), int(name.size()), SQLITE_STATIC);
        ok = sqlite3_step(insert) == SQLITE_DONE && ok;
        sqlite3_reset(insert);
        return sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK && ok;
    }
};

// ---- the figures

struct Bench
{
    Config config;
    QString path;
    std::unique_ptr<Recordset> records;
    std::unique_ptr<RawConnection> raw;
    std::vector<int> hits;           // contact numbers, in a random order
    std::vector<QString> hitCriteria; // as the Find button writes them, in capitals
    std::vector<QString> missCriteria;

    void registerAll()
    {
        const auto add = [](const char *name, std::function<void(benchmark::State &)> body, int iterations) {
            benchmark::RegisterBenchmark(name, [body](benchmark::State &state) { body(state); })
                ->UseManualTime()
                ->Iterations(iterations)
                ->Unit(benchmark::kMicrosecond);
        };

        add("open_store_and_show_first_record", [this](benchmark::State &state) { openAndShow(state); }, config.opens);
        add("FindFirst_hit", [this](benchmark::State &state) {
            timeEach(state, "FindFirst hit", [this](int i) {
                check(records->FindFirst(hitCriteria[i % hitCriteria.size()]) && !records->NoMatch(), "FindFirst hit",
                      records->lastError() + hitCriteria[i % hitCriteria.size()]);
            });
        }, config.lookups);
        add("FindFirst_miss", [this](benchmark::State &state) {
            timeEach(state, "FindFirst miss", [this](int i) {
                check(records->FindFirst(missCriteria[i % missCriteria.size()]) && records->NoMatch(), "FindFirst miss",
                      records->lastError());
            });
        }, config.lookups);
        add("raw_indexed_lookup_hit", [this](benchmark::State &state) {
            std::vector<QByteArray> names;
            for (int n : hits)
                names.push_back(contactName(n).toUtf8());
            timeEach(state, "raw lookup hit", [&](int i) { check(raw->find(names[i % names.size()]), "raw hit"); });
        }, config.lookups);
        add("raw_indexed_lookup_miss", [this](benchmark::State &state) {
            std::vector<QByteArray> names;
            for (int n : hits)
                names.push_back(QStringLiteral("Nobody %1").arg(n).toUtf8());
            timeEach(state, "raw lookup miss", [&](int i) { check(!raw->find(names[i % names.size()]), "raw miss"); });
        }, config.lookups);
        add("MoveNext", [this](benchmark::State &state) {
            timeEach(state, "MoveNext", [this](int) { check(records->MoveNext(), "MoveNext"); },
                     [this](int i) { if (i == 0 || !records->hasCurrentRecord()) records->FindFirst(hitCriteria[0]); });
        }, config.moves);
        add("MovePrevious", [this](benchmark::State &state) {
            timeEach(state, "MovePrevious", [this](int) { check(records->MovePrevious(), "MovePrevious"); },
                     [this](int i) { if (i == 0 || !records->hasCurrentRecord()) records->FindFirst(hitCriteria[1]); });
        }, config.moves);
        add("MoveFirst", [this](benchmark::State &state) {
            timeEach(state, "MoveFirst", [this](int) { check(records->MoveFirst(), "MoveFirst"); });
        }, config.moves);
        add("MoveLast", [this](benchmark::State &state) {
            timeEach(state, "MoveLast", [this](int) { check(records->MoveLast(), "MoveLast"); });
        }, config.moves);
        add("raw_durable_insert", [this](benchmark::State &state) {
            timeEach(state, "raw durable insert", [this](int i) {
                check(raw->add(QStringLiteral("Raw %1").arg(i).toUtf8()), "raw insert", QString::fromUtf8(sqlite3_errmsg(raw->db)));
            });
        }, config.saves);
        add("add_and_save_durable", [this](benchmark::State &state) {
            timeEach(state, "add and save", [this](int i) {
                records->AddNew();
                for (int field = 0; field < ContactFieldCount; ++field)
                    records->setValue(static_cast<ContactField>(field), QStringLiteral("Added %1").arg(i));
                check(records->Update(), "add and save", records->lastError());
            });
        }, config.saves);
    }

    // A record form's bar with its eight boxes: opening shows the first record.
    void openAndShow(benchmark::State &state)
    {
        std::unique_ptr<FormBoxes> form;
        timeEach(state, "open store, show first record",
                 [&](int) {
                     check(form->data->open(path) && form->name->text() == contactName(1), "open",
                           form->data->lastError());
                 },
                 [&](int) { form = std::make_unique<FormBoxes>(); });
    }
};

// What happens before the figures of the keyed file.
struct FirstOpening
{
    double hugeFieldMs = 0;
    double hugeFieldPeakMb = 0;
    double bytesBefore = 0;
    double bytesAfter = 0;
    double keyingMs = 0;
    double keyingCpuMs = 0; // all threads: what the keys cost on a machine of its own
};

void printSummary(const Config &config, const QString &path, const FirstOpening &first, double storeMb,
                  double sqliteMb)
{
    struct Line
    {
        const char *figure;
        double value;
        const char *unit;
        double target; // 0: none
    };
    const auto ms = [](const char *figure) { return medianOf(figure) / 1000.0; };
    const auto us = [](const char *figure) { return medianOf(figure); };
    const auto ratio = [](const char *a, const char *b) { return medianOf(b) > 0 ? medianOf(a) / medianOf(b) : 0; };
    const double growth = first.bytesBefore > 0 ? (first.bytesAfter / first.bytesBefore - 1) * 100 : 0;
    const std::vector<Line> lines = {
        {"open a form over a 50 MB address", first.hugeFieldMs, "ms", 500},
        {"  peak memory of the process", first.hugeFieldPeakMb, "MB", 200},
        {"open store, file without keys", ms("open store, file without keys"), "ms", 200},
        {"make the name keys (background)", first.keyingMs, "ms", 2000},
        {"  processor time, all threads", first.keyingCpuMs, "ms", 0},
        {"file growth by the name keys", growth, "%", 25},
        {"FindFirst while keys are made", ms("FindFirst while keys are made"), "ms", 0},
        {"open store, show first record", ms("open store, show first record"), "ms", 5},
        {"FindFirst, hit", us("FindFirst hit"), "us", 500},
        {"FindFirst, miss", us("FindFirst miss"), "us", 500},
        {"raw SQLite indexed lookup, hit", us("raw lookup hit"), "us", 0},
        {"raw SQLite indexed lookup, miss", us("raw lookup miss"), "us", 0},
        {"FindFirst hit / raw lookup hit", ratio("FindFirst hit", "raw lookup hit"), "x", 3},
        {"FindFirst miss / raw lookup miss", ratio("FindFirst miss", "raw lookup miss"), "x", 3},
        {"MoveNext", us("MoveNext"), "us", 100},
        {"MovePrevious", us("MovePrevious"), "us", 100},
        {"MoveFirst", us("MoveFirst"), "us", 100},
        {"MoveLast", us("MoveLast"), "us", 100},
        {"add and save, durable", ms("add and save"), "ms", 0},
        {"raw SQLite durable insert", ms("raw durable insert"), "ms", 0},
        {"add and save / raw insert", ratio("add and save", "raw durable insert"), "x", 2},
        {"memory added by an open store", std::max(storeMb, sqliteMb), "MB", 10},
        {"  resident set growth", storeMb, "MB", 0},
        {"  SQLite heap growth", sqliteMb, "MB", 0},
    };

    std::printf("\nMerivo contact store: %d contacts in %s (%.0f MB without name keys, %.0f MB with them)\n\n",
                config.contacts, qPrintable(path), first.bytesBefore / 1e6, first.bytesAfter / 1e6);
    std::printf("%-36s %12s   %-10s %s\n", "figure (median)", "value", "target", "");
    for (const Line &line : lines) {
        char target[32] = "";
        const char *verdict = "";
        if (line.target > 0) {
            std::snprintf(target, sizeof target, "<= %g %s", line.target, line.unit);
            verdict = line.value <= line.target ? "met" : "MISSED";
        }
        std::printf("%-36s %9.3f %-2s   %-10s %s\n", line.figure, line.value, line.unit, target, verdict);
    }
    std::fflush(stdout);
}

// A form opens over a contact whose address is `bytes` long: the time until
// it is shown, and the most memory the process held meanwhile.
void openOverHugeField(const QString &path, int bytes, FirstOpening &first)
{
    makeHugeFieldFile(path, bytes);
    resetPeakResident();
    QElapsedTimer timer;
    timer.start();
    {
        FormBoxes boxes;
        boxes.form->show();
        check(boxes.data->open(path), "open over a huge field", boxes.data->lastError());
        QCoreApplication::processEvents();
        boxes.form->repaint();
        first.hugeFieldMs = timer.nsecsElapsed() / 1e6;
        first.hugeFieldPeakMb = peakResidentBytes() / 1e6;
        check(boxes.name->text() == QLatin1String("Huge"), "show the huge field's contact");
    }
    QFile::remove(path);
}

// The first openings of a file without keys: a form's store opens and shows
// the first record while the keys are made behind it; closing stops them.
void openWithoutKeys(const QString &path, int opens)
{
    std::vector<double> samples;
    for (int i = 0; i < opens; ++i) {
        FormBoxes boxes;
        const auto start = Clock::now();
        check(boxes.data->open(path) && boxes.name->text() == contactName(1), "open without keys",
              boxes.data->lastError());
        samples.push_back(std::chrono::duration<double>(Clock::now() - start).count() * 1e6);
    }
    g_medians.emplace_back("open store, file without keys", median(samples));
}

// The keys made in the background from the first opening to the end.
void makeKeys(const QString &path, FirstOpening &first)
{
    first.bytesBefore = QFileInfo(path).size();
    const double cpuBefore = processorMs();
    QElapsedTimer timer;
    timer.start();
    Recordset records;
    check(records.open(path) && records.waitForNameKeys(600000) && records.searchesByIndex(), "make the keys",
          records.lastError());
    first.keyingMs = timer.nsecsElapsed() / 1e6;
    first.keyingCpuMs = processorMs() - cpuBefore;
    first.bytesAfter = QFileInfo(path).size();
}

// Find while the keys are made: every name folded as it is read. The keys
// are dropped to be made again, in pages the file already holds.
void findWhileKeying(const QString &path, const std::vector<QString> &criteria)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db,
                 "DROP TRIGGER merivo_name_after_insert; DROP TRIGGER merivo_name_after_update;"
                 "DROP TRIGGER merivo_name_after_delete; DROP INDEX merivo_name_folded;"
                 "DROP TABLE merivo_name_variant; DROP TABLE merivo_name_pending; DROP TABLE merivo_name_scheme;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    Recordset records;
    check(records.open(path), "open while keys are made", records.lastError());
    std::vector<double> samples;
    for (int i = 0; i < 3 && !records.searchesByIndex(); ++i) {
        const auto start = Clock::now();
        check(records.FindFirst(criteria[i]) && !records.NoMatch(), "FindFirst while keys are made",
              records.lastError());
        samples.push_back(std::chrono::duration<double>(Clock::now() - start).count() * 1e6);
    }
    g_medians.emplace_back("FindFirst while keys are made", median(samples));
    check(records.waitForNameKeys(600000), "make the keys again");
}

} // namespace

int main(int argc, char **argv)
{
    Config config;
    std::vector<char *> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick")
            config = Config{10000, 1000, 2000, 20, 20, 2, 5 * 1024 * 1024};
        else
            arguments.push_back(argv[i]);
    }
    int benchmarkArgc = int(arguments.size());
    benchmark::Initialize(&benchmarkArgc, arguments.data());

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    FirstOpening first;
    // While the process is still small, so that its peak is the form's.
    openOverHugeField(dir.filePath(QStringLiteral("huge.mdb")), config.hugeFieldBytes, first);

    Bench bench;
    bench.config = config;
    bench.path = dir.filePath(QStringLiteral("db2.mdb"));
    std::fprintf(stderr, "Making %d contacts in %s ...\n", config.contacts, qPrintable(bench.path));
    makeContactFile(bench.path, config.contacts);

    std::mt19937 random(2002);
    std::uniform_int_distribution<int> anyContact(1, config.contacts);
    for (int i = 0; i < 1000; ++i) {
        const int n = anyContact(random);
        bench.hits.push_back(n);
        bench.hitCriteria.push_back(FindByName::criterion(QStringLiteral("name= "), contactName(n).toUpper()));
        bench.missCriteria.push_back(QStringLiteral("Name= 'Nobody %1 '").arg(n));
    }

    openWithoutKeys(bench.path, config.unkeyedOpens);
    makeKeys(bench.path, first);
    findWhileKeying(bench.path, bench.hitCriteria);

    // Memory: what one more store adds to a process that has one open
    // already (SQLite's memory in use), after it has searched and moved
    // about enough to fill its page cache.
    double storeMb = 0;
    double sqliteMb = 0;
    Recordset firstStore;
    check(firstStore.open(bench.path), "open", firstStore.lastError());
    const long rssBefore = residentBytes();
    const sqlite3_int64 sqliteBefore = sqlite3_memory_used();
    bench.records = std::make_unique<Recordset>();
    check(bench.records->open(bench.path), "open", bench.records->lastError());
    for (const QString &criterion : bench.hitCriteria)
        bench.records->FindFirst(criterion);
    for (int i = 0; i < 2000; ++i)
        bench.records->MoveNext();
    storeMb = (residentBytes() - rssBefore) / 1e6;
    sqliteMb = (sqlite3_memory_used() - sqliteBefore) / 1e6;
    firstStore.close();

    bench.raw = std::make_unique<RawConnection>(bench.path);
    bench.registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    printSummary(config, bench.path, first, storeMb, sqliteMb);
    bench.raw.reset();
    bench.records.reset();
    return g_failed ? 1 : 0;
}
