// Speed and memory of the contact report, over contacts in the Latin script
// only and over contacts in six scripts (Latin, Greek, Cyrillic, Han, Arabic,
// Devanagari: one in six each, with names, addresses and job titles of
// realistic length in their own script, telephone numbers, e-mail and web
// addresses in ASCII).
//
//   merivo_report_bench                  1,000 / 10,000 / 100,000 / 1,000,000 contacts
//   merivo_report_bench --sizes=1000,10000
//   merivo_report_bench --quick          200 and 1,000 contacts, to keep it working in CI
//   merivo_report_bench --sample=FILE    writes a report of 40 six-script contacts, in the
//                                        table's order, to the PDF file FILE, and ends
//
// For each kind of data and size it measures, from the definition file on:
//   rows       the rows read and sorted (ReportQuery)
//   on screen  the report control's action as the menu runs it (definition,
//              rows, layout, window) with the window's first page painted
//   to PDF     the report made and every page written (ReportPdf)
// The first run on screen of a process is given besides the median (fonts
// and caches are cold then). Peak memory (the resident high-water mark,
// reset through /proc/self/clear_refs before each) is taken at the largest
// size for the window and for the writer. A summary follows Google
// Benchmark's table with the six-script / Latin ratios and the ratios of
// each size to the one ten times smaller.

#include "contacts/ContactRecord.h"
#include "printing/ReportControl.h"
#include "printing/ReportWindow.h"
#include "report/Report.h"
#include "report/ReportDefinition.h"
#include "report/ReportDocument.h"
#include "report/ReportEngine.h"
#include "report/ReportPdf.h"
#include "report/ReportQuery.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Printer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::map<std::string, std::vector<double>> g_seconds;
std::map<std::string, std::vector<double>> g_processorSeconds;
std::map<std::string, double> g_peakMb;
bool g_failed = false;

void check(bool ok, const char *what, const QString &error = QString())
{
    if (!ok && !g_failed) {
        std::fprintf(stderr, "FAILED: %s %s\n", what, qPrintable(error));
        g_failed = true;
    }
}

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double peakMemoryMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

class NoDialogs final : public Dialogs
{
public:
    int messageBox(const QString &prompt, int, const std::optional<QString> &) override
    {
        check(false, "message box", prompt);
        return MsgBox::Ok;
    }
    QString inputBox(const QString &, const QString &) override { return QString(); }
};

class NoPrinter final : public Printer
{
public:
    using Printer::print;
    PrintResult print(const PrintDocument &, const PageProgress &) override { return {false, QStringLiteral("none")}; }
};

// --- the contacts -------------------------------------------------------------

struct Script
{
    std::vector<const char *> given, family, streets, cities, titles;
    QString (*address)(std::mt19937 &, const Script &);
};

const char *pick(std::mt19937 &random, const std::vector<const char *> &from)
{
    return from[random() % from.size()];
}

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

const std::vector<Script> &scripts()
{
    static const std::vector<Script> all = {
        {{"Anna", "Bob", "Chloé", "Émile", "Günter", "Józef", "Marta", "Noah", "Pablo", "Siobhán", "Łukasz", "Zoë"},
         {"Byrne", "Durand", "Weiß", "Quist", "Novák", "Silva", "Kowalski", "Rossi", "Moreau", "O'Neill", "Ångström"},
         {"Harbour Street", "Rue de la Paix", "Hauptstraße", "Calle Mayor", "Via Roma", "Market Square"},
         {"Northfield", "Lyon", "Köln", "Sevilla", "Bologna", "Kraków", "Göteborg"},
         {"Head of Purchasing", "Accountant", "Sales Manager", "Chef de projet", "Ingeniera"},
         [](std::mt19937 &r, const Script &s) {
             return QStringLiteral("%1 %2, Flat %3, %4 %5")
                 .arg(r() % 300)
                 .arg(u8(pick(r, s.streets)))
                 .arg(r() % 40)
                 .arg(10000 + r() % 89999)
                 .arg(u8(pick(r, s.cities)));
         }},
        {{"Αλέξανδρος", "Μαρία", "Γιώργος", "Ελένη", "Νίκος", "Σοφία", "Δημήτρης", "Κατερίνα"},
         {"Παπαδόπουλος", "Νικολάου", "Γεωργίου", "Οικονόμου", "Βασιλείου", "Κωνσταντίνου"},
         {"Ερμού", "Πανεπιστημίου", "Σταδίου", "Αθηνάς", "Τσιμισκή", "Εγνατίας"},
         {"Αθήνα", "Θεσσαλονίκη", "Πάτρα", "Ηράκλειο", "Λάρισα"},
         {"Λογιστής", "Διευθυντής Πωλήσεων", "Μηχανικός", "Υπεύθυνη Αγορών"},
         [](std::mt19937 &r, const Script &s) {
             return QStringLiteral("Οδός %1 %2, %3 %4")
                 .arg(u8(pick(r, s.streets)))
                 .arg(1 + r() % 200)
                 .arg(10000 + r() % 89999)
                 .arg(u8(pick(r, s.cities)));
         }},
        {{"Дмитрий", "Анна", "Сергей", "Ольга", "Иван", "Наталья", "Алексей", "Татьяна"},
         {"Иванов", "Смирнова", "Кузнецов", "Попова", "Соколов", "Лебедева", "Новиков"},
         {"Тверская", "Невский пр.", "Арбат", "Ленинская", "Садовая", "Пушкинская"},
         {"Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Казань"},
         {"Инженер", "Бухгалтер", "Менеджер по продажам", "Директор"},
         [](std::mt19937 &r, const Script &s) {
             return QStringLiteral("ул. %1, д. %2, кв. %3, %4")
                 .arg(u8(pick(r, s.streets)))
                 .arg(1 + r() % 120)
                 .arg(1 + r() % 300)
                 .arg(u8(pick(r, s.cities)));
         }},
        {{"太郎", "花子", "健", "美咲", "翔", "陽菜", "伟", "芳"},
         {"山田", "佐藤", "鈴木", "高橋", "田中", "王", "李", "张"},
         {"港区芝公園", "北区梅田", "中央区銀座", "朝阳区建国路", "浦东新区世纪大道"},
         {"東京都", "大阪府", "京都府", "北京市", "上海市"},
         {"営業部長", "会計士", "技術者", "销售经理", "工程师"},
         [](std::mt19937 &r, const Script &s) {
             return QStringLiteral("%1%2%3丁目%4-%5")
                 .arg(u8(pick(r, s.cities)))
                 .arg(u8(pick(r, s.streets)))
                 .arg(1 + r() % 9)
                 .arg(1 + r() % 30)
                 .arg(1 + r() % 20);
         }},
        {{"محمد", "فاطمة", "أحمد", "مريم", "علي", "نور", "عمر", "ليلى"},
         {"عبد الله", "الحسن", "الخطيب", "النجار", "حداد", "السيد", "الشامي"},
         {"الملك فهد", "الملك عبدالعزيز", "التحلية", "الأمير سلطان", "العليا"},
         {"الرياض", "جدة", "الدمام", "القاهرة", "عمّان", "بيروت"},
         {"مدير المبيعات", "محاسب", "مهندس", "مديرة المشتريات"},
         [](std::mt19937 &r, const Script &s) {
             return QStringLiteral("%1 شارع %2، %3 %4")
                 .arg(1 + r() % 400)
                 .arg(u8(pick(r, s.streets)))
                 .arg(u8(pick(r, s.cities)))
                 .arg(10000 + r() % 89999);
         }},
        {{"अर्जुन", "प्रिया", "राहुल", "अंजलि", "विक्रम", "स्नेहा", "आदित्य", "कृष्णा"},
         {"शर्मा", "वर्मा", "गुप्ता", "सिंह", "मिश्रा", "त्रिपाठी", "श्रीवास्तव"},
         {"महात्मा गांधी मार्ग", "नेहरू प्लेस", "स्टेशन रोड", "कृष्ण नगर", "शास्त्री नगर"},
         {"नई दिल्ली", "मुंबई", "लखनऊ", "जयपुर", "वाराणसी"},
         {"प्रबंधक", "लेखाकार", "अभियंता", "विक्रय प्रबंधक"},
         [](std::mt19937 &r, const Script &s) {
             return QStringLiteral("%1, %2, %3 %4")
                 .arg(1 + r() % 500)
                 .arg(u8(pick(r, s.streets)))
                 .arg(u8(pick(r, s.cities)))
                 .arg(110000 + r() % 800000);
         }},
    };
    return all;
}

enum class Data { Latin, Mixed };

const char *dataName(Data data)
{
    return data == Data::Latin ? "Latin" : "six scripts";
}

void writeContacts(const QString &path, int count, Data data)
{
    std::mt19937 random(42);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QStringList columns;
    for (const QString &name : contactFieldNames())
        columns.append(QStringLiteral("\"%1\" TEXT NOT NULL DEFAULT ''").arg(name));
    sqlite3_exec(db, QStringLiteral("CREATE TABLE Table1 (%1)").arg(columns.join(u',')).toUtf8().constData(), nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Table1 VALUES (?,?,?,?,?,?,?,?)", -1, &insert, nullptr);
    for (int i = 0; i < count; ++i) {
        const Script &s = scripts()[data == Data::Latin ? 0 : size_t(i) % scripts().size()];
        const QString name = QStringLiteral("%1 %2").arg(u8(pick(random, s.given)), u8(pick(random, s.family)));
        const QStringList values = {
            name,
            s.address(random, s),
            QStringLiteral("+%1 %2 %3").arg(1 + random() % 98).arg(random() % 1000).arg(random() % 10000000),
            u8(pick(random, s.titles)),
            s.address(random, s),
            QStringLiteral("+%1 %2 %3 ext %4").arg(1 + random() % 98).arg(random() % 1000).arg(random() % 10000000).arg(i % 100),
            QStringLiteral("contact%1@example-%2.org").arg(i).arg(random() % 50),
            QStringLiteral("www.example-%1.org/people/%2").arg(random() % 50).arg(i),
        };
        for (int field = 0; field < ContactFieldCount; ++field) {
            const QByteArray text = values[field].toUtf8();
            sqlite3_bind_text(insert, field + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

QString makeData(const QTemporaryDir &root, int count, Data data)
{
    const QString folder =
        QDir(root.path()).filePath(QStringLiteral("%1-%2").arg(data == Data::Latin ? QStringLiteral("latin") : QStringLiteral("mixed")).arg(count));
    QDir().mkpath(folder);
    writeContacts(QDir(folder).filePath(QStringLiteral("db2.mdb")), count, data);
    const QString definition = QDir(folder).filePath(ReportDefinitionFile::FileName);
    check(ReportDefinitionFile::writeDefaultIfMissing(definition) == ReportDefinitionFile::Outcome::Created,
          "definition");
    return definition;
}

std::string figure(const char *what, Data data, int contacts)
{
    return std::string(what) + " " + std::to_string(contacts) + " " + dataName(data);
}

// The process's processor time so far, every thread's, in seconds.
double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall-clock and processor time from its start: on a machine shared with
// other work the first depends on the load, the second much less.
struct Stopwatch
{
    Clock::time_point wall = Clock::now();
    double processor = processorSeconds();
};

void record(const std::string &name, const Stopwatch &start, benchmark::State &state)
{
    const std::chrono::duration<double> took = Clock::now() - start.wall;
    state.SetIterationTime(took.count());
    g_seconds[name].push_back(took.count());
    g_processorSeconds[name].push_back(processorSeconds() - start.processor);
}

// --- the measures -----------------------------------------------------------------

void sortedRows(benchmark::State &state, const QString &definition, Data data, int contacts)
{
    const auto loaded = ReportDefinitionFile::read(definition);
    for (auto _ : state) {
        const Stopwatch start;
        const ReportQuery::Result rows = ReportQuery::run(*loaded.definition);
        record(figure("rows", data, contacts), start, state);
        check(rows.rows && rows.rows->rowCount() == contacts, "rows", rows.error);
    }
}

void onScreen(benchmark::State &state, const QString &definition, Data data, int contacts, bool measureMemory)
{
    NoDialogs dialogs;
    NoPrinter printer;
    for (auto _ : state) {
        if (measureMemory)
            resetPeakMemory();
        ReportControl control(dialogs, printer);
        const Stopwatch start;
        control.assign(ReportControl::ReportFile, definition);
        control.assign(ReportControl::FreshData, true);
        control.assign(ReportControl::Action, QVariant::fromValue<qint16>(1));
        ReportWindow *window = control.windows().value(0);
        check(window && window->document().report().rows->rowCount() == contacts, "report window");
        if (window)
            window->repaint(); // painted now, not when the event loop gets to it
        record(figure("on screen", data, contacts), start, state);
        if (measureMemory)
            g_peakMb[figure("window", data, contacts)] = std::max(g_peakMb[figure("window", data, contacts)], peakMemoryMb());
    }
}

void toPdf(benchmark::State &state, const QString &definition, Data data, int contacts, bool measureMemory)
{
    const QString pdf = QFileInfo(definition).absolutePath() + QStringLiteral("/report.pdf");
    for (auto _ : state) {
        if (measureMemory)
            resetPeakMemory();
        const Stopwatch start;
        ReportEngine engine;
        const ReportEngine::Produced produced = engine.produce(definition, true);
        check(produced.report && produced.report->rows->rowCount() == contacts, "produce", produced.error);
        if (produced.report) {
            const PrintResult written = ReportPdf::write(ReportDocument(produced.report), pdf);
            check(bool(written), "PDF", written.error);
            state.counters["pages"] = produced.report->pageCount();
        }
        record(figure("to PDF", data, contacts), start, state);
        if (measureMemory)
            g_peakMb[figure("writer", data, contacts)] = std::max(g_peakMb[figure("writer", data, contacts)], peakMemoryMb());
    }
    state.counters["PDF MB"] = double(QFileInfo(pdf).size()) / (1024.0 * 1024.0);
}

// The machine's load average over the last minute, as uptime gives it.
std::string loadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string load;
    file >> load;
    return load;
}

void printSummary(const std::vector<int> &sizes, const std::string &loadAtStart)
{
    const auto seconds = [](const std::string &name) { return median(g_seconds[name]); };
    const auto processor = [](const std::string &name) { return median(g_processorSeconds[name]); };
    const auto first = [](const std::string &name) {
        return g_seconds[name].empty() ? 0.0 : g_seconds[name].front();
    };
    std::printf("\nReport summary: median seconds of wall-clock time [processor time of all threads];"
                " first run on screen after it; six scripts / Latin (wall-clock)\n");
    std::printf("  load average %s at the start, %s at the end\n", loadAtStart.c_str(), loadAverage().c_str());
    std::printf("  %-10s %10s %28s %28s %6s\n", "contacts", "measure", "Latin", "six scripts", "ratio");
    for (const int contacts : sizes) {
        for (const char *what : {"rows", "on screen", "to PDF"}) {
            char text[2][64];
            for (const Data data : {Data::Latin, Data::Mixed}) {
                const std::string name = figure(what, data, contacts);
                const int n = std::snprintf(text[int(data)], sizeof text[0], "%.3f [%.3f]", seconds(name), processor(name));
                if (std::string(what) == "on screen")
                    std::snprintf(text[int(data)] + n, sizeof text[0] - size_t(n), " first %.3f", first(name));
            }
            const double latin = seconds(figure(what, Data::Latin, contacts));
            std::printf("  %-10d %10s %28s %28s %6.2f\n", contacts, what, text[0], text[1],
                        latin > 0 ? seconds(figure(what, Data::Mixed, contacts)) / latin : 0);
        }
    }
    std::printf("\n  growth, each size against the one before it (wall-clock [processor] time ratio)\n");
    for (size_t i = 1; i < sizes.size(); ++i) {
        for (const Data data : {Data::Latin, Data::Mixed}) {
            for (const char *what : {"rows", "on screen", "to PDF"}) {
                const double small = seconds(figure(what, data, sizes[i - 1]));
                const double large = seconds(figure(what, data, sizes[i]));
                const double smallProcessor = processor(figure(what, data, sizes[i - 1]));
                const double largeProcessor = processor(figure(what, data, sizes[i]));
                std::printf("  %-9s %d/%d %-12s %8.2f [%.2f]   (%.0f times the contacts)\n", what, sizes[i],
                            sizes[i - 1], dataName(data), small > 0 ? large / small : 0,
                            smallProcessor > 0 ? largeProcessor / smallProcessor : 0, double(sizes[i]) / sizes[i - 1]);
            }
        }
    }
    const int largest = sizes.back();
    std::printf("\n  peak memory at %d contacts (MB)\n", largest);
    for (const Data data : {Data::Latin, Data::Mixed}) {
        std::printf("  %-12s window %8.1f   writer %8.1f\n", dataName(data), g_peakMb[figure("window", data, largest)],
                    g_peakMb[figure("writer", data, largest)]);
    }
    std::printf("\n  targets: 100,000 six scripts to PDF < 3 s and < 1.5 x Latin; 1,000,000: rows < 4 s,"
                " to PDF < 25 s, window and writer < 400 MB each; 100,000 on screen < 1 s\n");
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<char *> arguments;
    std::vector<int> sizes = {1000, 10000, 100000, 1000000};
    QString sample;
    for (int i = 0; i < argc; ++i) {
        const std::string argument(argv[i]);
        if (argument == "--quick") {
            sizes = {200, 1000};
            continue;
        }
        if (argument.rfind("--sample=", 0) == 0) {
            sample = QString::fromStdString(argument.substr(9));
            continue;
        }
        if (argument.rfind("--sizes=", 0) == 0) {
            sizes.clear();
            for (const QString &size : QString::fromStdString(argument.substr(8)).split(u','))
                sizes.push_back(size.toInt());
            continue;
        }
        arguments.push_back(argv[i]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    int benchmarkArgc = int(arguments.size());
    benchmark::Initialize(&benchmarkArgc, arguments.data());

    const QTemporaryDir root;
    if (!sample.isEmpty()) {
        // The default definition without its sort: the scripts come mixed, as added.
        const QString definition = makeData(root, 40, Data::Mixed);
        QFile file(definition);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(ReportDefinitionFile::defaultText().replace(
            ",\n    \"sort\": { \"field\": \"Name\", \"caseSensitive\": false }", ""));
        file.close();
        ReportEngine engine;
        const ReportEngine::Produced produced = engine.produce(definition, true);
        check(bool(produced.report), "sample", produced.error);
        if (produced.report) {
            const PrintResult written = ReportPdf::write(ReportDocument(produced.report), sample);
            check(bool(written), "sample PDF", written.error);
        }
        return g_failed ? 1 : 0;
    }
    const std::string loadAtStart = loadAverage();
    std::map<std::pair<Data, int>, QString> definitions;
    for (const int contacts : sizes) {
        for (const Data data : {Data::Latin, Data::Mixed})
            definitions[{data, contacts}] = makeData(root, contacts, data);
    }

    // Latin and six-script runs take turns, round by round, so that a load
    // that changes meanwhile weighs on both alike.
    using Measure = void (*)(benchmark::State &, const QString &, Data, int, bool);
    const std::pair<const char *, Measure> measures[] = {
        {"report_rows", [](benchmark::State &state, const QString &definition, Data data, int contacts, bool) {
             sortedRows(state, definition, data, contacts);
         }},
        {"report_on_screen", onScreen},
        {"report_to_pdf", toPdf},
    };
    const int largest = sizes.back();
    for (const int contacts : sizes) {
        const int rounds = contacts >= 1000000 ? 1 : contacts >= 100000 ? 3 : 5;
        for (const auto &[name, measure] : measures) {
            for (int round = 1; round <= rounds; ++round) {
                for (const Data data : {Data::Latin, Data::Mixed}) {
                    const QString definition = definitions[{data, contacts}];
                    const std::string label = QStringLiteral("%1/%2/%3/round:%4")
                                                  .arg(QLatin1String(name))
                                                  .arg(contacts)
                                                  .arg(data == Data::Latin ? u"latin" : u"mixed")
                                                  .arg(round)
                                                  .toStdString();
                    benchmark::RegisterBenchmark(label.c_str(),
                                                 [=, measure = measure](benchmark::State &state) {
                                                     measure(state, definition, data, contacts, contacts == largest);
                                                 })
                        ->Iterations(1)
                        ->UseManualTime()
                        ->Unit(benchmark::kMillisecond);
                }
            }
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    printSummary(sizes, loadAtStart);
    return g_failed ? 1 : 0;
}
