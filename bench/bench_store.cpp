// Speed and memory of the contact store over a large db2.mdb.
//
//   merivo_bench            1,000,000 contacts (the file is made once, in a
//                           temporary folder, and keyed as a file made in the
//                           sqlite3 shell would be)
//   merivo_bench --quick    10,000 contacts, fewer rounds
//
// Each figure is the median of single operations timed one by one. The raw
// SQLite figures use the C API on the same file in the same run. A summary
// with the targets and ratios follows Google Benchmark's own table.

#include "contacts/DataControl.h"
#include "contacts/Recordset.h"

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
};

QString contactName(int i)
{
    // One in ten names is not plain ASCII, so both ways of folding are used.
    return i % 10 == 0 ? QStringLiteral("Émile Zoë %1").arg(i) : QStringLiteral("Contact %1").arg(i);
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

QString selectColumns()
{
    QStringList columns{QStringLiteral("rowid")};
    for (const QString &name : contactFieldNames())
        columns.append(QLatin1Char('"') + name + QLatin1Char('"'));
    return columns.join(QStringLiteral(", "));
}

// ---- the file

// Table1 as the store creates it, filled in one transaction without the
// name keys; the first store to open it then keys every name once, as it
// does for a file made in the sqlite3 shell. Returns that keying time in ms.
double makeContactFile(const QString &path, int contacts)
{
    {
        Recordset creator;
        check(creator.open(path), "create the file", creator.lastError());
    }
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db,
                 "PRAGMA synchronous=OFF;"
                 "DROP TRIGGER merivo_name_after_insert; DROP TRIGGER merivo_name_after_update;"
                 "DROP TRIGGER merivo_name_after_delete; DROP INDEX merivo_name_on_table1;"
                 "DROP TABLE merivo_name_variant; DROP TABLE merivo_name_pending; DROP TABLE merivo_name_scheme;"
                 "BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO Table1 VALUES (?1, ?2 || ' Long Street, Springfield', '+1 555 ' || ?3, "
                       "'Sales manager', '1 Office Park, Springfield', '+1 555 0100', "
                       "'contact' || ?3 || '@example.com', 'https://example.com/' || ?3)",
                       -1, &insert, nullptr);
    for (int i = 1; i <= contacts; ++i) {
        const QByteArray name = contactName(i).toUtf8();
        sqlite3_bind_text(insert, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 2, i);
        sqlite3_bind_int(insert, 3, i);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK, "fill the file");
    sqlite3_close(db);

    QElapsedTimer keying;
    keying.start();
    Recordset keyer;
    check(keyer.open(path) && keyer.searchesByIndex(), "key the names", keyer.lastError());
    return keying.nsecsElapsed() / 1e6;
}

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
        const QByteArray select =
            QStringLiteral("SELECT %1 FROM Table1 WHERE \"Name\" = ?1 ORDER BY rowid LIMIT 1").arg(selectColumns()).toUtf8();
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
                      records->lastError());
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
        std::unique_ptr<QWidget> form;
        DataControl *data = nullptr;
        QLineEdit *name = nullptr;
        timeEach(state, "open store, show first record",
                 [&](int) { check(data->open(path) && name->text() == contactName(1), "open", data->lastError()); },
                 [&](int) {
                     form = std::make_unique<QWidget>();
                     data = new DataControl(form.get());
                     for (int field = 0; field < ContactFieldCount; ++field) {
                         auto *box = new QLineEdit(form.get());
                         data->bind(static_cast<ContactField>(field), box);
                         if (field == 0)
                             name = box;
                     }
                 });
    }
};

void printSummary(const Config &config, const QString &path, double keyingMs, double storeMb, double sqliteMb)
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
    const std::vector<Line> lines = {
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

    std::printf("\nMerivo contact store: %d contacts in %s (%.0f MB)\n", config.contacts, qPrintable(path),
                QFileInfo(path).size() / 1e6);
    std::printf("Keying every name once, as for a file made in the sqlite3 shell: %.0f ms\n\n", keyingMs);
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

} // namespace

int main(int argc, char **argv)
{
    Config config;
    std::vector<char *> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick")
            config = Config{10000, 1000, 2000, 20, 20};
        else
            arguments.push_back(argv[i]);
    }
    int benchmarkArgc = int(arguments.size());
    benchmark::Initialize(&benchmarkArgc, arguments.data());

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    Bench bench;
    bench.config = config;
    bench.path = dir.filePath(QStringLiteral("db2.mdb"));
    std::fprintf(stderr, "Making %d contacts in %s ...\n", config.contacts, qPrintable(bench.path));
    const double keyingMs = makeContactFile(bench.path, config.contacts);

    std::mt19937 random(2002);
    std::uniform_int_distribution<int> anyContact(1, config.contacts);
    for (int i = 0; i < 1000; ++i) {
        const int n = anyContact(random);
        bench.hits.push_back(n);
        bench.hitCriteria.push_back(QStringLiteral("name= '%1 '").arg(contactName(n).toUpper()));
        bench.missCriteria.push_back(QStringLiteral("Name= 'Nobody %1 '").arg(n));
    }

    // Memory: what one more store adds to a process that has one open
    // already (the SQL driver loaded, its memory in use), after it has
    // searched and moved about enough to fill its page cache.
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

    printSummary(config, bench.path, keyingMs, storeMb, sqliteMb);
    bench.raw.reset();
    bench.records.reset();
    return g_failed ? 1 : 0;
}
